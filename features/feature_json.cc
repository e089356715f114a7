#include "features/feature_json.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

namespace trelix {
namespace {

constexpr size_t kMaxText = 40;

// Display width: code points, each counted as one column.
size_t Width(std::string_view text) {
  size_t width = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

// The first `columns` code points of `text`, with "..." when cut.
std::string Cut(std::string_view text, size_t columns) {
  if (Width(text) <= columns) return std::string(text);
  size_t seen = 0, end = 0;
  for (; end < text.size(); ++end) {
    if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == columns - 3) break;
  }
  return std::string(text.substr(0, end)) + "...";
}

void Pad(std::string& out, std::string_view text, size_t width) {
  out += text;
  out.append(width - std::min(width, Width(text)), ' ');
}

char StateMark(int32_t state) {
  switch (static_cast<FeatureState>(state)) {
    case FeatureState::kInitialVehicle: return '.';
    case FeatureState::kSameAsOther: return '=';
    case FeatureState::kAdded: return '+';
    case FeatureState::kDeleted: return '-';
    case FeatureState::kChanged: return '*';
    case FeatureState::kNoState: return ' ';
  }
  return '?';
}

std::string Cell(const VehicleFeatureInfo& feature) {
  std::string cell(1, StateMark(feature.feature_state()));
  if (!feature.TranslatedText().empty()) {
    cell += ' ';
    cell += Cut(feature.TranslatedText(), kMaxText);
  }
  if (!feature.Icon().empty()) {
    cell += " [";
    cell += feature.Icon();
    cell += ']';
  }
  return cell;
}

}  // namespace

std::string FeatureComparisonJson(VehicleFeatures& features) {
  using Json = nlohmann::ordered_json;
  Json vehicles = Json::array();
  for (const auto& [vehicle_key, vehicle] : features.vehicles()) {
    Json items = Json::array();
    for (const auto& [key, feature] : vehicle->features()) {
      items.push_back(Json{{"key", key},
                           {"text", feature->TranslatedText()},
                           {"category", feature->Category()},
                           {"state", FeatureStateName(feature->feature_state())},
                           {"icon", feature->Icon()}});
    }
    vehicles.push_back(Json{{"id", vehicle->vehicle_id()}, {"features", std::move(items)}});
  }
  return Json{{"vehicles", std::move(vehicles)}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string FeatureComparisonTable(VehicleFeatures& features) {
  const VehicleFeatures::VehicleCollection& vehicles = features.vehicles();
  if (vehicles.Count() == 0) return "(no vehicles)\n";

  // Rows: as many as the longest vehicle has features; the key and the
  // category of a row come from the first vehicle that has a value for them.
  size_t rows = 0;
  for (const auto& entry : vehicles) rows = std::max(rows, entry.item->features().entries().size());
  std::vector<std::vector<std::string>> table;  // [row][column]: key, category, one cell per vehicle
  std::vector<std::string> header = {"key", "category"};
  for (const auto& entry : vehicles) header.push_back(entry.item->vehicle_id());
  table.push_back(header);
  for (size_t row = 0; row < rows; ++row) {
    std::vector<std::string> line(2);
    for (const auto& entry : vehicles) {
      const auto& items = entry.item->features().entries();
      if (row >= items.size()) {
        line.emplace_back();
        continue;
      }
      if (line[0].empty()) line[0] = items[row].key;
      if (line[1].empty()) line[1] = Cut(items[row].item->Category(), kMaxText);
      line.push_back(Cell(*items[row].item));
    }
    table.push_back(std::move(line));
  }

  std::vector<size_t> widths(header.size(), 0);
  for (const auto& line : table) {
    for (size_t column = 0; column < line.size(); ++column) widths[column] = std::max(widths[column], Width(line[column]));
  }
  std::string out;
  auto emit = [&](const std::vector<std::string>& line) {
    std::string text;
    for (size_t column = 0; column < line.size(); ++column) {
      if (column > 0) text += "  ";
      Pad(text, line[column], widths[column]);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text;
    out += '\n';
  };
  emit(table[0]);
  std::vector<std::string> rule;
  for (size_t width : widths) rule.emplace_back(width, '-');
  emit(rule);
  for (size_t row = 1; row < table.size(); ++row) emit(table[row]);
  out += "(" + std::to_string(vehicles.Count()) + (vehicles.Count() == 1 ? " vehicle, " : " vehicles, ") +
         std::to_string(rows) + (rows == 1 ? " feature" : " features") +
         "; . initial  = same  + added  - deleted  * changed)\n";
  return out;
}

}  // namespace trelix
