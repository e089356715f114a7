#pragma once
// Recordsets the recordset tests share.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/recordset.h"
#include "support/raised.h"

namespace trelix::testing_rs {

// id, name, price, qty, when, flag, note: six rows with Nulls, Unicode and
// quotes in them.
inline std::shared_ptr<Recordset> People() {
  auto rs = std::make_shared<Recordset>();
  rs->AppendField("id", DataType::kInteger);
  rs->AppendField("name", DataType::kVarWChar, 50);
  rs->AppendField("price", DataType::kCurrency);
  rs->AppendField("qty", DataType::kDouble);
  rs->AppendField("when", DataType::kDBTimeStamp);
  rs->AppendField("flag", DataType::kBoolean);
  rs->AppendField("note", DataType::kVarChar, 20);
  rs->Open();
  struct Row {
    int id;
    const char* name;
    Variant price, qty, when;
    bool flag;
    Variant note;
  };
  const double jan15 = 45306, dec31 = 45291, jun1_1230 = 45444 + 0.5208333333333334;
  const Row rows[] = {
      {1, "Alpha", Currency{105000}, 1.5, Variant::Date(jan15), true, "x"},
      {2, "beta", Currency{200000}, 2.0, Variant::Date(dec31), false, Variant::Null()},
      {3, "Gamma ray", Currency{52500}, -1.0, Variant::Date(jun1_1230), true, "O'Malley"},
      {4, "ÄRGER", Currency{0}, 0.0, Variant::Null(), false, "ärger"},
      {5, "alpha", Variant::Null(), 3.25, Variant::Date(jan15), true, "*star"},
      {6, "Straße", Currency{-10000}, 10.0, Variant::Date(dec31), false, "STRASSE"},
  };
  for (const Row& r : rows) {
    rs->AddNew();
    rs->SetValue("id", Variant(int32_t{r.id}));
    rs->SetValue("name", Variant(r.name));
    rs->SetValue("price", r.price);
    rs->SetValue("qty", r.qty);
    rs->SetValue("when", r.when);
    rs->SetValue("flag", Variant(r.flag));
    rs->SetValue("note", r.note);
    rs->UpdateBatch(3);
  }
  rs->MoveFirst();
  return rs;
}

// An open fabricated recordset with `fields` (name, type, size, attributes
// appended one by one) and `rows` appended as they are.
inline std::shared_ptr<Recordset> Fabricated(const std::vector<FieldInfo>& fields,
                                              std::vector<std::vector<Variant>> rows = {}) {
  auto rs = std::make_shared<Recordset>();
  for (const FieldInfo& f : fields) rs->AppendField(f.name, f.type, f.defined_size, f.attributes);
  rs->Open();
  for (auto& row : rows) rs->AppendRow(std::move(row));
  return rs;
}

// The ids of the visible rows, walking from the first; leaves the cursor at EOF.
inline std::vector<int> VisibleIds(Recordset& rs, const char* field = "id") {
  std::vector<int> ids;
  if (rs.RecordCount() == 0) return ids;
  for (rs.MoveFirst(); !rs.IsEOF(); rs.MoveNext()) ids.push_back(static_cast<int>(rs.Value(field).integer()));
  return ids;
}

// The ComError number `body` raises, or 0.
inline int32_t ErrorOf(const std::function<void()>& body) { return testing::Raised(body).number(); }

}  // namespace trelix::testing_rs
