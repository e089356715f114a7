#include "keyadvantages/advantage_rules.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "common/Utilitys.h"
#include "common/vb_runtime.h"
#include "keyadvantages/key_advantages.h"
#include "keyadvantages/vb_division.h"

namespace trelix::keyadvantages_internal {

namespace {

constexpr const char* kOptionOrder = "option_id desc";

std::string Text(const Variant& value) { return vb::ToText(value); }

double Number(const std::string& text) { return vb::CDblOfText(text); }

// Vehicle ids are searched as the text of their number, so "1001" and
// "1001.0" find the same records. Fractional ids are accepted but written
// in the process's regional settings, so they only match with a "."
// decimal separator; the site's ids are whole numbers.
std::string VehicleCriteria(const std::string& vehicle) {
  return "vehicle_id=" + vb::FormatGeneralNumber(vb::CDblOfText(vehicle));
}

// The winner field holds the vehicle id as a 64-bit integer.
Variant VehicleNumber(const std::string& vehicle) { return Variant(vb::CLngLng(Variant(vehicle))); }

}  // namespace

std::string AdvantageDefinition::FeatureFilter() const {
  std::string filter = "schema_id=" + schema_id;
  if (HasLocation()) filter += " AND Location='" + location + "'";
  return filter;
}

bool AdvantageOutcome::HasWinner() const {
  if (winner.IsEmpty() || winner.IsNull()) return false;
  return vb::CDbl(winner) > 0;
}

AdvantageOutcome AdvantageRules::Decide(const AdvantageDefinition& advantage, const std::string& advantage_filter) {
  AdvantageOutcome out;
  const std::string head = vb::Left(advantage.rule, 2);
  if (advantage.rule == "@") {
    Presence(advantage, advantage_filter, out);
  } else if (head == "#>" || head == "#<") {
    Numeric(advantage, out);
  } else {
    Ranking(advantage, advantage_filter, out);
  }
  return out;
}

void AdvantageRules::SortByOption() {
  // Every filter builds its view in the current order, so sorting again by
  // the same keys would only rebuild that view; with rows in it the caller
  // moves to the first row next, so skipping leaves the very same state.
  if (specs_.RecordCount() > 0 && specs_.Sort() == kOptionOrder) return;
  specs_.SetSort(kOptionOrder);
}

bool AdvantageRules::Locate(const std::string& vehicle, bool sort) {
  if (sort) SortByOption();
  if (specs_.RecordCount() == 0) return false;
  specs_.MoveFirst();
  specs_.Find(CriteriaOf(vehicle));
  return !specs_.IsEOF();
}

const std::string& AdvantageRules::CriteriaOf(const std::string& vehicle) {
  // Made on first use, not up front: an id that is not a number fails only
  // where a search for it is made.
  auto found = vehicle_criteria_.find(vehicle);
  if (found == vehicle_criteria_.end()) found = vehicle_criteria_.emplace(vehicle, VehicleCriteria(vehicle)).first;
  return found->second;
}

void AdvantageRules::TakeRecord(SideState& side, AdvantageOutcome& out) {
  KeyAdvantages::SetValue(specs_, side.value, side.translated);
  out.option_id = specs_.Value("option_id");
  parent_schema_ = CurrentParentSchema();
}

void AdvantageRules::Refilter(const std::string& criteria) {
  // The new filter replaces the old one outright; clearing it first would
  // only rebuild (and re-sort) the view of every record for nothing.
  specs_.SetFilter(Variant(criteria));
}

int32_t AdvantageRules::CurrentParentSchema() const {
  // An item without a recorded parent has no separate parent feature.
  const Variant& parent = specs_.Value("parent_schema_id");
  return parent.IsNull() || parent.IsEmpty() ? 0 : vb::CLng(parent);
}

double AdvantageRules::CurrentOptionPrice() const {
  const Variant& price = specs_.Value(sides_.option_price_field);
  return price.IsNull() || price.IsEmpty() ? 0 : vb::CDbl(price);
}

// --- Presence ---------------------------------------------------------------

void AdvantageRules::Presence(const AdvantageDefinition& advantage, const std::string& advantage_filter,
                              AdvantageOutcome& out) {
  auto look_at = [&](const std::string& vehicle, SideState& side) {
    if (!Locate(vehicle)) {
      side.missing = true;
      return;
    }
    side.missing = false;
    const std::string data = Text(specs_.Value("data_value"));
    side.has = vb::TextEquals(data, advantage.required_value) || (advantage.required_value.empty() && data != "-");
    if (side.has) TakeRecord(side, out);
  };
  look_at(sides_.base_vehicle, out.base);
  look_at(sides_.competitor_vehicle, out.competitor);

  if (sides_.display_optional && !out.base.has && !out.competitor.has) OptionalOffers(advantage, out);

  if (out.base.has == out.competitor.has && out.base.optional == out.competitor.optional) return;
  ResolveMissingData(advantage, advantage_filter, out);
  if (out.base.Counts() && !out.competitor.missing) {
    out.winner = VehicleNumber(sides_.base_vehicle);
  } else if (out.competitor.Counts() && !out.base.missing) {
    out.winner = VehicleNumber(sides_.competitor_vehicle);
  }
  if (sides_.display_optional) out.optional_advantage = !(out.base.has || out.competitor.has);
}

void AdvantageRules::OptionalOffers(const AdvantageDefinition& advantage, AdvantageOutcome& out) {
  // Options that bring the feature, chosen or not; the location term of the
  // feature filter is repeated on purpose, it costs nothing.
  std::string filter = advantage.FeatureFilter();
  filter += advantage.HasLocation() ? " AND option_id>0 AND Location='" + advantage.location + "'"
                                    : std::string(" AND option_id>0");
  filter += advantage.required_value.empty() ? std::string(" AND data_value='S'")
                                             : " AND data_value='" + advantage.required_value + "'";
  Refilter(filter);
  specs_.SetSort(sides_.option_price_field + " asc");

  if (specs_.RecordCount() > 0) {
    specs_.MoveFirst();
    specs_.Find(CriteriaOf(sides_.base_vehicle));
    if (!specs_.IsEOF()) {
      out.base.optional = true;
      out.base.option_price = CurrentOptionPrice();
      TakeRecord(out.base, out);
    }
  }
  if (specs_.RecordCount() > 0) {
    specs_.MoveFirst();
    specs_.Find(CriteriaOf(sides_.competitor_vehicle));
    if (!specs_.IsEOF()) {
      const double price = CurrentOptionPrice();
      if (out.base.optional && price == out.base.option_price) {
        // The same price on both sides is no advantage for either.
        out.base.optional = false;
      } else if (!out.base.optional || out.base.option_price > price) {
        out.base.optional = false;
        out.competitor.optional = true;
        out.competitor.option_price = price;
        TakeRecord(out.competitor, out);
      }
    }
  }
}

// --- Missing data -------------------------------------------------------------

void AdvantageRules::ResolveMissingData(const AdvantageDefinition& advantage, const std::string& advantage_filter,
                                        AdvantageOutcome& out) {
  const std::optional<double> schema = vb::ParseNumber(advantage.schema_id);
  const bool own_parent = parent_schema_ == 0 || (schema && *schema == parent_schema_);
  const bool any_missing = out.base.missing || out.competitor.missing;

  if (any_missing && own_parent) {
    if (advantage.HasLocation()) {
      // A standard record at another location shows the vehicle lacks the
      // feature at this one.
      auto recheck = [&](const std::string& vehicle, SideState& side) {
        if (!side.missing) return;
        Refilter("schema_id=" + advantage.schema_id + " AND option_id=0 AND vehicle_id=" + vehicle);
        side.missing = specs_.RecordCount() == 0;
      };
      recheck(sides_.base_vehicle, out.base);
      recheck(sides_.competitor_vehicle, out.competitor);
    }
  } else {
    // The parent feature recorded as not available, or recorded at another
    // location, shows the vehicle lacks the feature.
    const std::string parent = std::to_string(parent_schema_);
    auto parent_template = [&](const std::string& vehicle) {
      if (!advantage.HasLocation()) {
        return "schema_id=" + parent + " AND option_id=0 AND data_value='-' AND vehicle_id=" + vehicle;
      }
      return "(schema_id=" + parent + " AND option_id=0 AND data_value='-' AND vehicle_id=" + vehicle +
             ") OR (schema_id=" + parent + " AND option_id=0 AND location<>'" + advantage.location +
             "' AND vehicle_id=" + vehicle + ")";
    };
    if (out.base.Counts() && out.competitor.missing) {
      Refilter(parent_template(sides_.competitor_vehicle));
      out.competitor.missing = specs_.RecordCount() == 0;
    }
    if (out.competitor.Counts() && out.base.missing) {
      Refilter(parent_template(sides_.base_vehicle));
      out.base.missing = specs_.RecordCount() == 0;
    }
  }
  Refilter(advantage_filter);
}

// --- Numeric ------------------------------------------------------------------

void AdvantageRules::Numeric(const AdvantageDefinition& advantage, AdvantageOutcome& out) {
  const std::string& separator = sides_.decimal_separator;
  // Stored numbers use "."; read them in the regional settings.
  auto read_side = [&](SideState& side) {
    KeyAdvantages::SetValue(specs_, side.value, side.translated);
    // InStr(value, ".") > 0: an ASCII byte is never part of another character.
    if (side.value.find('.') != std::string::npos) side.value = vb::Replace(side.value, ".", separator);
  };
  Locate(sides_.base_vehicle);
  read_side(out.base);
  Locate(sides_.competitor_vehicle, /*sort=*/false);
  read_side(out.competitor);

  bool numeric = vb::ParseNumber(out.base.value).has_value() && vb::ParseNumber(out.competitor.value).has_value();
  if (!numeric) return;

  // The UTF-16 position is needed only when there is an "=" at all.
  const int32_t equals = advantage.format.find('=') == std::string::npos ? 0 : vb::InStr(advantage.format, "=");
  if (equals == 0) {
    out.base.value = vb::FormatGeneralNumber(Number(out.base.value));
    out.competitor.value = vb::FormatGeneralNumber(Number(out.competitor.value));
  } else {
    const std::string formula = vb::Replace(vb::Mid(advantage.format, equals + 1), ".", separator);
    auto apply = [&](const std::string& value) {
      return vb::FormatGeneralNumber(Number(Calculate(Variant(vb::Replace(formula, "?", value)))));
    };
    out.competitor.value = apply(out.competitor.value);
    out.base.value = apply(out.base.value);
  }

  // The price schema compares the total prices of the configured vehicles.
  if (vb::Left(advantage.schema_id, 2) == "90" && vb::TextEquals(vb::Mid(sides_.price_field, 4), advantage.schema_id)) {
    out.competitor.value = vb::FormatGeneralNumber(sides_.competitor_total_price);
    out.base.value = vb::FormatGeneralNumber(sides_.base_total_price);
  }

  const double base = Number(out.base.value);
  const double competitor = Number(out.competitor.value);
  if (vb::Len(advantage.rule) > 2) {
    const int32_t percent = vb::InStr(advantage.rule, "%");
    double threshold;
    double difference;
    if (percent > 0) {
      threshold = Number(vb::Replace(vb::Mid(advantage.rule, 3, percent - 3), ".", separator)) / 100;
      difference = std::fabs(VbDivide(base - competitor, base));
    } else {
      threshold = Number(vb::Replace(vb::Mid(advantage.rule, 3), ".", separator));
      difference = std::fabs(base - competitor);
    }
    numeric = difference > threshold;
  }
  if (!numeric || base == competitor) return;

  const bool higher_wins = vb::Left(advantage.rule, 2) == "#>";
  const bool base_wins = (base > competitor) == higher_wins;
  SideState& winner = base_wins ? out.base : out.competitor;
  Locate(base_wins ? sides_.base_vehicle : sides_.competitor_vehicle, /*sort=*/false);
  winner.has = true;
  out.winner = specs_.Value("vehicle_id");
  out.option_id = specs_.Value("option_id");
}

// --- Ranking ------------------------------------------------------------------

void AdvantageRules::Ranking(const AdvantageDefinition& advantage, const std::string& advantage_filter,
                             AdvantageOutcome& out) {
  SortByOption();
  specs_.MoveFirst();
  parent_schema_ = CurrentParentSchema();

  auto look_at = [&](const std::string& vehicle, SideState& side) {
    const bool found = Locate(vehicle);
    side.missing = !found;
    side.has = found;
    KeyAdvantages::SetValue(specs_, side.value, side.translated);
  };
  look_at(sides_.base_vehicle, out.base);
  look_at(sides_.competitor_vehicle, out.competitor);

  ResolveMissingData(advantage, advantage_filter, out);
  if (out.base.missing || out.competitor.missing) return;

  const double base_vehicle = Number(sides_.base_vehicle);
  for (const std::string& value : vb::Split(advantage.rule, ",", -1, vb::CompareMode::kText)) {
    const std::string criteria = "data_value='" + value + "'";
    specs_.MoveFirst();
    out.base.has = false;
    out.competitor.has = false;
    out.winner = Variant();
    out.option_id = Variant(int32_t{0});
    specs_.Find(criteria);
    while (!specs_.IsEOF()) {
      if (vb::CDbl(specs_.Value("vehicle_id")) == base_vehicle) {
        out.base.has = true;
      } else {
        out.competitor.has = true;
      }
      out.winner = specs_.Value("vehicle_id");
      out.option_id = specs_.Value("option_id");
      specs_.MoveNext();
      if (!specs_.IsEOF()) specs_.Find(criteria);
    }
    if (out.base.has != out.competitor.has) return;
    if (out.base.has) {
      out.winner = Variant(int32_t{0});  // both have the best value: a tie
      return;
    }
  }
}

}  // namespace trelix::keyadvantages_internal
