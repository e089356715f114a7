// Synthetic sites of any size for benchmarks, with the shape of the demo
// site: items in groups of ten (a feature group item and nine items that
// refine it), one sheet line per item with the same mix of format codes,
// key advantages of every rule kind, options with conditions and two price
// columns, standard texts per group, currencies and icon texts.
//
// Every value is a function of (seed, vehicle, item), not of the order of
// generation, so a site is reproducible and two sizes share their common
// part.

#include <cmath>
#include <string>

#include "base/datagen/generators.h"
#include "base/datagen/row_sink.h"
#include "base/datagen/site_common.h"
#include "base/datagen/site_writer.h"

namespace trelix::datagen {
namespace {

constexpr int kFirstItem = 1000;
constexpr int kLinesPerCategory = 50;
constexpr int kOptionsPerVehicle = 8;
constexpr int kVehiclesPerSet = 20;
constexpr int64_t kFirstVehicle = 100000;
constexpr int kMaxRowsPerVehicle = 32767;  // record ids are read as 16-bit integers
constexpr double kOptionShare = 0.05;      // option rows on top of the standard rows

uint64_t Mix(uint64_t x) {
  // splitmix64 finaliser
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

uint64_t Hash(uint64_t seed, uint64_t a, uint64_t b, uint64_t salt) {
  return Mix(seed ^ Mix(a * 0x100000001B3ULL ^ Mix(b + 0x51ED27ULL * salt)));
}

// What an item holds and how its sheet line prints it, by position in its
// group of ten.
enum class Kind { kGroup, kInteger, kDecimal1, kText, kFeature, kFormula, kDate, kCurrency, kStandardText, kDecimal2 };

Kind KindOf(int64_t index) { return static_cast<Kind>(index % 10); }

class ScaledSite {
 public:
  ScaledSite(RowSink& sink, const ScaleOptions& options) : sink_(sink), options_(options) {}

  int ItemId(int64_t index) const {
    // The last two items carry the "unlimited" sentinels.
    if (index == options_.lines - 2) return 23502;
    if (index == options_.lines - 1) return 23503;
    return kFirstItem + static_cast<int>(index);
  }
  int GroupOf(int64_t index) const { return kFirstItem + static_cast<int>(index / 10 * 10); }
  std::string Category(int64_t index) const {
    const int64_t n = index / kLinesPerCategory + 1;
    return std::string("CAT") + (n < 10 ? "0" : "") + std::to_string(n);
  }
  int64_t Categories() const { return (options_.lines + kLinesPerCategory - 1) / kLinesPerCategory; }

  std::string ValueOf(int64_t vehicle, int64_t index, uint64_t salt) const {
    const uint64_t h = Hash(options_.seed, static_cast<uint64_t>(vehicle), static_cast<uint64_t>(index), salt);
    const int id = ItemId(index);
    if (id == 23502) return h % 20 == 0 ? "9999" : std::to_string(3 + h % 8);
    if (id == 23503) return h % 20 == 0 ? "999999" : std::to_string(100000 + (h % 11) * 10000);
    switch (KindOf(index)) {
      case Kind::kGroup:
      case Kind::kFeature:
      case Kind::kStandardText:
        return h % 10 < 7 ? "S" : "-";
      case Kind::kInteger:
      case Kind::kFormula:
        return std::to_string(50 + h % 950);
      case Kind::kDecimal1:
        return std::to_string(1 + h % 30) + "." + std::to_string(h / 31 % 10);
      case Kind::kDecimal2:
        return std::to_string(h % 20) + "." + std::to_string(10 + h / 29 % 90);
      case Kind::kText:
        return "V" + std::to_string(h % 5);
      case Kind::kDate: {
        if (h % 100 == 0) return "99991231";
        const int month = 1 + static_cast<int>(h / 7 % 12), day = 1 + static_cast<int>(h / 97 % 28);
        return "2023" + std::string(month < 10 ? "0" : "") + std::to_string(month) + (day < 10 ? "0" : "") +
               std::to_string(day);
      }
      case Kind::kCurrency:
        return std::to_string(20000 + h % 40000);
    }
    return "-";
  }

  void WriteProject() {
    const Tr4 languages[] = {{1, "Line", "Category", "Feature"},
                             {3, "Zeile", "Kategorie", "Ausstattung"},
                             {5, "Ligne", "Catégorie", "Équipement"},
                             {8, "行", "カテゴリー", "装備"}};
    for (int64_t c = 0; c < Categories(); ++c) {
      const std::string code = Category(c * kLinesPerCategory);
      sink_.Add(TableId::kCategories, {code, static_cast<int>(c + 1), static_cast<int>(c + 1), static_cast<int>(c + 1)});
      for (const Tr4& lang : languages) {
        sink_.Add(TableId::kApplicationTexts, {code, lang.id, std::string(lang.category) + " " + std::to_string(c + 1)});
      }
      // A heading line per category (column heading, no item).
      const int row_id = static_cast<int>(options_.lines + 1 + c);
      sink_.Add(TableId::kEBrochure, {row_id, code, 0, 0, Cell(), code, Cell(), Cell(), Cell()});
      for (const Tr4& lang : languages) {
        sink_.Add(TableId::kEBrochureText, {row_id, lang.id, std::string(lang.category) + " " + std::to_string(c + 1)});
      }
    }
    for (int t = 0; t < 10; ++t) {
      for (const Tr4& lang : languages) {
        sink_.Add(TableId::kApplicationTexts, {"ct_" + std::to_string(t), lang.id, " " + std::string(lang.feature) + " " + std::to_string(t)});
      }
    }
    for (const Tr4& lang : languages) {
      const char* unlimited = lang.id == 1 ? "unlimited" : lang.id == 3 ? "unbegrenzt" : lang.id == 5 ? "illimité" : "無制限";
      sink_.Add(TableId::kApplicationTexts, {"unlimited", lang.id, unlimited});
      sink_.Add(TableId::kApplicationTexts, {"icon_equipment_adds", lang.id, "/img/added.png"});
      sink_.Add(TableId::kApplicationTexts, {"icon_equipment_deletes", lang.id, "/img/deleted.png"});
      sink_.Add(TableId::kApplicationTexts, {"icon_equipment_changes", lang.id, "/img/changed.png"});
    }

    int advantage_id = 0;
    for (int64_t i = 0; i < options_.lines; ++i) {
      const int row_id = static_cast<int>(i + 1);
      const std::string category = Category(i);
      const char* format = "#0";
      const char* sought = "";
      const char* text = "";
      std::string custom;
      switch (KindOf(i)) {
        case Kind::kGroup: format = "A"; custom = "ct_" + std::to_string(i / 10 % 10); break;
        case Kind::kInteger: format = "#0"; text = " mm"; break;
        case Kind::kDecimal1: format = "#1"; text = " s"; break;
        case Kind::kText: format = "T"; break;
        case Kind::kFeature: format = "A"; sought = i % 20 == 4 ? "S" : ""; custom = "ct_" + std::to_string(i % 10); break;
        case Kind::kFormula: format = "#0=?*1.609"; text = " km"; break;
        case Kind::kDate: format = "#D"; break;
        case Kind::kCurrency: format = "#C"; break;
        case Kind::kStandardText: format = "S"; break;
        case Kind::kDecimal2: format = "#2"; text = "  m"; break;
      }
      if (ItemId(i) >= 23502) format = "#0", text = " km";
      sink_.Add(TableId::kEBrochure, {row_id, category, static_cast<int>(i % kLinesPerCategory + 1), ItemId(i), sought,
                                      text, "-", format, custom.empty() ? Cell() : Cell(custom)});
      for (const Tr4& lang : languages) {
        sink_.Add(TableId::kEBrochureText, {row_id, lang.id, std::string(lang.line) + " " + std::to_string(row_id)});
      }
      if (i % 3 == 0) {
        sink_.Add(TableId::kSegmentation, {1, row_id, static_cast<int>(i / 3 + 1)});
        sink_.Add(TableId::kEbSegmentation, {1, row_id, static_cast<int>(i / 3 + 1)});
      }

      // Key advantages: a numeric, a presence and a ranking rule per group,
      // with the thresholds varying between groups.
      const char* rule = nullptr;
      const char* ka_format = "#0";
      const char* sentence = "=? against =!";
      if (KindOf(i) == Kind::kInteger) rule = i % 30 == 1 ? "#>" : i % 30 == 11 ? "#<10" : "#>5%";
      if (KindOf(i) == Kind::kFeature) rule = "@", ka_format = "T", sentence = "=? (competitor: =!)";
      if (KindOf(i) == Kind::kText) rule = "V0,V1,V2,V3", ka_format = "T", sentence = "=? instead of =!";
      if (KindOf(i) == Kind::kCurrency) rule = "#<", ka_format = "#C", sentence = "=? instead of =! (=# less)";
      if (ItemId(i) >= 23502) rule = "#>", ka_format = "#0", sentence = "=? km (=# more)";
      if (rule != nullptr) {
        ++advantage_id;
        sink_.Add(TableId::kKeyAdvantages, {advantage_id, category, ItemId(i), "", "-", ka_format, rule});
        for (const Tr4& lang : languages) {
          sink_.Add(TableId::kKeyAdvantageText,
                    {advantage_id, lang.id, std::string(lang.feature) + " " + std::to_string(row_id) + ": " + sentence});
        }
        if (advantage_id % 4 == 1) sink_.Add(TableId::kKaSegmentation, {1, advantage_id, advantage_id});
      }
      if (KindOf(i) == Kind::kGroup) {
        const int group = static_cast<int>(i / 10);
        sink_.Add(TableId::kStandardContent, {group + 1, ItemId(i), category, "Default", group + 1});
      }
    }

    AddCurrencies(sink_);
    const std::string info = "synthetic benchmark site: " + std::to_string(options_.vehicles) + " vehicles, " +
                             std::to_string(options_.lines) + " lines, factor " + std::to_string(options_.rows_per_vehicle) +
                             ", seed " + std::to_string(options_.seed);
    sink_.Add(TableId::kProjectDatasetInfo, {"source", info});
    sink_.Add(TableId::kProjectDatasetInfo, {"generator", "trelix_eb gen-db"});
  }

  void WriteSpecs(ScaleStats& stats) {
    for (int64_t i = 0; i < options_.lines; ++i) {
      const Kind kind = KindOf(i);
      const int parent = kind == Kind::kGroup || ItemId(i) >= 23502 ? 0 : GroupOf(i);
      const char* type = kind == Kind::kText ? "text" : kind == Kind::kDate ? "date" : kind == Kind::kCurrency ? "price"
                         : (kind == Kind::kGroup || kind == Kind::kFeature || kind == Kind::kStandardText) ? "feature"
                                                                                                           : "number";
      sink_.Add(TableId::kSchemaInfo, {ItemId(i), parent, "Item " + std::to_string(i + 1), type, Cell()});
      const char* feature_texts[4][2] = {{"standard", "not available"}, {"Serie", "nicht erhältlich"},
                                         {"de série", "non disponible"}, {"標準", "なし"}};
      const int ids[4] = {1, 3, 5, 8};
      for (int lang = 0; lang < 4; ++lang) {
        if (kind == Kind::kText) {
          for (int v = 0; v < 5; ++v) {
            sink_.Add(TableId::kSchemaText, {ItemId(i), "V" + std::to_string(v), ids[lang],
                                             "variant " + std::to_string(v) + " (" + std::to_string(ids[lang]) + ")"});
          }
        } else if (kind == Kind::kGroup || kind == Kind::kFeature || kind == Kind::kStandardText) {
          sink_.Add(TableId::kSchemaText, {ItemId(i), "S", ids[lang], feature_texts[lang][0]});
          sink_.Add(TableId::kSchemaText, {ItemId(i), "-", ids[lang], feature_texts[lang][1]});
        }
      }
    }

    const double factor = options_.rows_per_vehicle;
    const double standard_share = std::min(1.0, factor);
    const int64_t option_rows = OptionRows();
    for (int64_t v = 0; v < options_.vehicles && sink_.ok(); ++v) {
      const int64_t vehicle = kFirstVehicle + 1 + v;
      const int vehicle_id = static_cast<int>(vehicle);
      const int set = static_cast<int>(v / kVehiclesPerSet + 1);
      sink_.Add(TableId::kVehicles, {vehicle_id, v % 2 ? "Castellan" : "Norvik", "Model " + std::to_string(v % 37 + 1),
                                     "Trim " + std::to_string(v % 5 + 1), 2024, "Class " + std::to_string(set % 9 + 1),
                                     set, Cell(), static_cast<double>(20000 + v % 40000), "2024-01-01 00:00:00"});
      if (v % kVehiclesPerSet == 0) {
        sink_.Add(TableId::kCompetitorSets, {set, 2024, "Class " + std::to_string(set % 9 + 1), "Set " + std::to_string(set)});
      }
      for (int k = 1; k <= kOptionsPerVehicle; ++k) {
        const uint64_t h = Hash(options_.seed, vehicle, k, 7);
        // The two price columns rank the options differently.
        sink_.Add(TableId::kOptionList, {vehicle_id, k, "OPT" + std::to_string(k), "Option " + std::to_string(k),
                                         static_cast<double>(100 + h % 3000), static_cast<double>(100 + (h >> 20) % 3000),
                                         static_cast<double>(h % 500) / 10.0, 0, "2024-01-01 00:00:00"});
      }
      int record_id = 0;
      for (int64_t i = 0; i < options_.lines; ++i) {
        const uint64_t h = Hash(options_.seed, vehicle, i, 1);
        if (static_cast<double>(h % 1000000) >= standard_share * 1000000.0) continue;
        sink_.Add(TableId::kEquipment, {vehicle_id, 0, ++record_id, ItemId(i), "-", ValueOf(vehicle, i, 2), Cell()});
      }
      for (int64_t r = 0; r < option_rows; ++r) {
        const uint64_t h = Hash(options_.seed, vehicle, r, 3);
        const int option = 1 + static_cast<int>(h % kOptionsPerVehicle);
        const int64_t item = static_cast<int64_t>((h >> 8) % static_cast<uint64_t>(options_.lines));
        std::string condition;
        if (h % 10 == 0) condition = "{" + std::to_string(1 + (h >> 40) % kOptionsPerVehicle) + "}";
        if (h % 10 == 1) condition = "not {" + std::to_string(1 + (h >> 40) % kOptionsPerVehicle) + "}";
        sink_.Add(TableId::kEquipment, {vehicle_id, option, ++record_id, ItemId(item), "-", ValueOf(vehicle, item, 4 + r),
                                        condition.empty() ? Cell() : Cell(condition)});
      }
      stats.equipment_rows += record_id;
      for (int64_t g = 0; g * 10 < options_.lines; ++g) {
        const uint64_t h = Hash(options_.seed, vehicle, g, 5);
        if (h % 10 < 2) continue;  // the vehicle lacks this feature
        sink_.Add(TableId::kStandardText, {vehicle_id, ItemId(g * 10), 1,
                                           "Feature " + std::to_string(g + 1) + ", variant " + std::to_string(h % 3)});
      }
      ++stats.vehicles;
    }
    sink_.Add(TableId::kSpecsDatasetInfo, {"generator", "trelix_eb gen-db"});
  }

  int64_t OptionRows() const {
    const double factor = options_.rows_per_vehicle;
    return std::llround(factor * static_cast<double>(options_.lines) * kOptionShare) +
           std::max<int64_t>(0, std::llround((factor - 1.0) * static_cast<double>(options_.lines)));
  }

 private:
  struct Tr4 {
    int id;
    const char* line;
    const char* category;
    const char* feature;
  };

  RowSink& sink_;
  const ScaleOptions& options_;
};

}  // namespace

Result<ScaleStats> GenerateScaled(std::string_view connection, const ScaleOptions& options) {
  if (options.vehicles < 2 || options.vehicles > 100000000) {
    return Status::InvalidArgument("vehicles must be between 2 and 100000000");
  }
  if (options.lines < 10 || options.lines > 22000) return Status::InvalidArgument("lines must be between 10 and 22000");
  if (!(options.rows_per_vehicle > 0) || !std::isfinite(options.rows_per_vehicle)) {
    return Status::InvalidArgument("rows_per_vehicle must be a positive number");
  }
  {
    // Worst case: every line has a standard row, plus the option rows.
    const double rows = static_cast<double>(options.lines) + options.rows_per_vehicle * options.lines * kOptionShare +
                        std::max(0.0, (options.rows_per_vehicle - 1.0) * options.lines);
    if (rows > kMaxRowsPerVehicle) {
      return Status::InvalidArgument("lines x rows_per_vehicle gives up to " + std::to_string(std::llround(rows)) +
                                     " rows per vehicle; at most " + std::to_string(kMaxRowsPerVehicle) + " fit");
    }
  }
  auto writer = SiteWriter::Open(connection, options.project_name, options.specs_name);
  if (!writer.ok()) return writer.status();
  RowSink sink(*writer.value());
  ScaledSite site(sink, options);
  ScaleStats stats;
  stats.lines = options.lines;
  site.WriteProject();
  site.WriteSpecs(stats);
  if (Status s = sink.Commit(); !s.ok()) return s;
  return stats;
}

}  // namespace trelix::datagen
