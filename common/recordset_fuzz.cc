#include "common/recordset_fuzz.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "common/com_error.h"
#include "common/recordset.h"
#include "common/recordset_json.h"

namespace trelix {
namespace {

std::shared_ptr<Recordset> FuzzTarget() {
  auto rs = std::make_shared<Recordset>();
  rs->AppendField("id", DataType::kInteger);
  rs->AppendField("name", DataType::kVarWChar, 50);
  rs->AppendField("price", DataType::kCurrency);
  rs->AppendField("qty", DataType::kDouble);
  rs->AppendField("when", DataType::kDate);
  rs->AppendField("flag", DataType::kBoolean);
  rs->AppendField("big", DataType::kBigInt);
  rs->AppendField("v", DataType::kVariant);
  rs->Open();
  const char* names[] = {"alpha", "Beta", "GAMMA", "d'elta", "Ärger", "", "x*y"};
  for (int i = 0; i < 40; ++i) {
    std::vector<Variant> row;
    row.emplace_back(int32_t{i % 7});
    row.push_back(i % 9 == 0 ? Variant::Null() : Variant(names[i % 7]));
    row.emplace_back(Currency{i * 12345});
    row.emplace_back(i * 0.5 - 3);
    row.push_back(Variant::Date(45000 + i));
    row.emplace_back(i % 2 == 0);
    row.emplace_back(int64_t{i} << 40);
    row.push_back(i % 3 == 0 ? Variant(names[i % 7]) : Variant(i));
    rs->AppendRow(std::move(row));
  }
  rs->SetOptimize("id", true);
  rs->SetOptimize("name", true);
  return rs;
}

}  // namespace

void FuzzRecordsetCriteria(const uint8_t* data, size_t size) {
  static std::shared_ptr<Recordset> rs = FuzzTarget();
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    rs->SetFilter(Variant(text));
    for (int i = 0; i < 3 && !rs->IsEOF(); ++i) rs->MoveNext();
  } catch (const ComError&) {
  }
  try {
    rs->SetFilter(Variant(int32_t{0}));
    rs->Find(text, static_cast<int32_t>(size % 3), size % 2 ? 1 : -1);
  } catch (const ComError&) {
  }
  try {
    rs->SetSort(text);
  } catch (const ComError&) {
  }
  try {
    rs->SetSort("");
  } catch (const ComError&) {
  }
}

void FuzzRecordsetXml(const uint8_t* data, size_t size) {
  std::shared_ptr<Recordset> rs;
  try {
    rs = Recordset::LoadXml(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const ComError&) {
    return;
  }
  // What loaded must save and load again: a failure here is a defect.
  std::string xml = rs->SaveXml();
  auto again = Recordset::LoadXml(xml);
  if (again->RecordCount() != rs->RecordCount() || again->SaveXml() != xml) std::abort();
  (void)RecordsetToJson(*rs);
  (void)RecordsetToTable(*rs);
}

}  // namespace trelix
