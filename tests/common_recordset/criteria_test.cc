// Filter, Sort and Find: the criteria grammar, comparison semantics, errors
// and what each does to the cursor.

#include <random>
#include <thread>

#include "test_data.h"

namespace trelix {
namespace {

using testing_rs::ErrorOf;
using testing_rs::People;
using testing_rs::VisibleIds;
using ::testing::ElementsAreArray;

struct FilterCase {
  const char* criteria;
  std::vector<int> ids;
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {};

// Through the indexes too: optimizing every field never changes which rows a
// filter selects.
TEST_P(FilterTest, SelectsRowsScannedAndIndexed) {
  for (bool indexed : {false, true}) {
    SCOPED_TRACE(indexed ? "indexed" : "scanned");
    auto rs = People();
    for (int f = 0; indexed && f < rs->FieldCount(); ++f) rs->SetOptimize(rs->Field(f).name, true);
    rs->SetFilter(Variant(GetParam().criteria));
    EXPECT_EQ(rs->RecordCount(), static_cast<int32_t>(GetParam().ids.size()));
    EXPECT_THAT(VisibleIds(*rs), ElementsAreArray(GetParam().ids)) << GetParam().criteria;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, FilterTest,
    ::testing::ValuesIn(std::vector<FilterCase>{
        {"id = 3", {3}}, {"id=3", {3}}, {"  id = 2  ", {2}}, {"id <> 3", {1, 2, 4, 5, 6}}, {"id < 3", {1, 2}},
        {"id <= 3", {1, 2, 3}}, {"id > 4", {5, 6}}, {"id >= 5", {5, 6}}, {"id = '4'", {4}}, {"id = 3.5", {}},
        {"id < 2.5", {1, 2}}, {"id = -1", {}},
        // Texts ignore case, Unicode-aware (full folding: ß is ss).
        {"name = 'alpha'", {1, 5}}, {"name = 'ärger'", {4}}, {"name = 'STRASSE'", {6}}, {"name > 'beta'", {3, 4, 6}},
        {"note = 'O''Malley'", {3}}, {"note = #O'Malley#", {3}}, {"name LIKE 'al*'", {1, 5}},
        {"name like 'AL%'", {1, 5}}, {"name LIKE '%RAY%'", {3}}, {"name LIKE '*ä*'", {4}}, {"name LIKE 'beta'", {2}},
        {"name LIKE '*'", {1, 2, 3, 4, 5, 6}}, {"note LIKE '*'", {1, 3, 4, 5, 6}},
        // Null: only the Null tests match it.
        {"note = Null", {2}}, {"note <> NULL", {1, 3, 4, 5, 6}}, {"note <> 'x'", {3, 4, 5, 6}}, {"price > 10", {1, 2}},
        {"price = '20'", {2}}, {"price = $20.00", {2}}, {"price < 0", {6}}, {"price = 10.5", {1}}, {"qty = 1.5E0", {1}},
        {"qty < 0", {3}}, {"qty = 325e-2", {5}}, {"when = #1/15/2024#", {1, 5}}, {"when > '2024-01-01'", {1, 3, 5}},
        {"when = #2024-06-01 12:30:00#", {3}}, {"when = #6/1/2024 12:30:00 PM#", {3}}, {"when = Null", {4}},
        {"flag = True", {1, 3, 5}}, {"flag = 0", {2, 4, 6}}, {"flag = -1", {1, 3, 5}},
        // AND, OR, groups: an OR of AND-groups; AND binds tighter.
        {"id = 1 AND name = 'alpha'", {1}}, {"id = 1 OR id = 2", {1, 2}}, {"id = 1 or id = 2", {1, 2}},
        {"(id = 1 AND flag = true) OR (id = 2)", {1, 2}}, {"id = 1 OR id = 2 AND flag = true", {1}},
        {"id = 2 AND flag = false OR id = 6", {2, 6}}, {"(id=1) AND (flag=true)", {1}}, {"((id = 1))", {1}},
        {"((((((((((((((((((((id = 1))))))))))))))))))))", {1}}, {"(id = 1 OR id = 2) OR id = 3", {1, 2, 3}},
        {"[name] = 'beta'", {2}}, {" id <>3 AND id <>4", {1, 2, 5, 6}},
        {"(id = 1 AND flag = true)  OR (id = 2 AND name = 'BETA')", {1, 2}},
        {"(name = 'alpha' AND id = 5) OR (name = 'alpha' AND id = 1)", {1, 5}},
    }));

struct ErrorCase {
  std::string criteria;
  int32_t number;
};

class FilterErrorTest : public ::testing::TestWithParam<ErrorCase> {};

// A rejected criteria raises and leaves filter, rows and position as they were.
TEST_P(FilterErrorTest, RaisesAndKeepsState) {
  auto rs = People();
  rs->SetFilter(Variant("id > 2"));
  rs->MoveNext();
  EXPECT_EQ(ErrorOf([&] { rs->SetFilter(Variant(GetParam().criteria)); }), GetParam().number) << GetParam().criteria;
  EXPECT_EQ(std::tuple(rs->Filter().string(), rs->RecordCount(), rs->Value("id").integer()), std::tuple("id > 2", 4, 4));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FilterErrorTest,
    ::testing::ValuesIn(std::vector<ErrorCase>{
        {"id = ", 3001}, {"id", 3001}, {"= 3", 3001}, {"(id = 1 OR id = 2) AND flag = true", 3001},
        {"flag = true AND (id = 1 OR id = 2)", 3001}, {"nosuch = 1", 3265}, {"id = 1 AND nosuch = 1", 3265},
        {"name LIKE '*pha'", 3001}, {"name LIKE 'a*a'", 3001}, {"id = 'abc'", 3001}, {"id > Null", 3001},
        {"name = 'open", 3001}, {"id = 1 AND", 3001}, {"id = 1 OR", 3001}, {"(id = 1", 3001}, {"id = 1)", 3001},
        {"id == 1", 3001}, {"name = abc", 3001}, {"id LIKE '1*'", 3001}, {"id = 1 id = 2", 3001},
        {"when = #13/45/2024#", 3001}, {"[name = 'x'", 3001}, {"id = 1 AND AND id = 2", 3001}, {"note = #x", 3001},
        // Nesting this deep is refused, not a crash.
        {std::string(100000, '(') + "id = 1" + std::string(100000, ')'), 3001},
    }));

// Compiled criteria are kept per thread by field shape: one text on
// recordsets of other field orders or types, on other threads and after the
// thread has met more shapes than it keeps, still reads each one's own fields.
TEST(FilterState, OneTextOverRecordsetsOfOtherShapes) {
  auto make = [](std::vector<FieldInfo> fields, std::vector<Variant> row) {
    for (auto& field : fields) field.defined_size = 10;
    auto rs = testing_rs::Fabricated(fields);
    rs->AppendConvertedRow(std::move(row));
    return rs;
  };
  auto selected = [](Recordset& rs) {
    rs.SetFilter(Variant("a = 1"));
    return rs.RecordCount();
  };
  auto a_first = make({{"a", DataType::kInteger}, {"b", DataType::kInteger}}, {Variant(int32_t{1}), Variant(int32_t{2})});
  auto b_first = make({{"b", DataType::kInteger}, {"a", DataType::kInteger}}, {Variant(int32_t{1}), Variant(int32_t{2})});
  auto a_text = make({{"a", DataType::kVarWChar}, {"b", DataType::kInteger}}, {Variant("1"), Variant(int32_t{2})});
  EXPECT_EQ(selected(*b_first), 0);
  EXPECT_EQ(selected(*a_first), 1);
  EXPECT_EQ(selected(*a_text), 1);
  EXPECT_EQ(selected(*b_first), 0);
  // Shaped on another thread first, then filtered here.
  auto other = make({{"b", DataType::kInteger}, {"a", DataType::kInteger}}, {Variant(int32_t{2}), Variant(int32_t{1})});
  std::thread([&] { EXPECT_EQ(selected(*other), 1); }).join();
  EXPECT_EQ(selected(*other), 1);
  for (int n = 0; n < 300; ++n) {
    auto shape = make({{"a", DataType::kInteger}, {"x" + std::to_string(n), DataType::kInteger}},
                      {Variant(int32_t{1}), Variant(int32_t{n})});
    EXPECT_EQ(selected(*shape), 1);
  }
  EXPECT_EQ(selected(*b_first), 0);
  EXPECT_EQ(selected(*other), 1);
}

TEST(FilterState, ReadsBackAsSetAndClearsToZero) {
  auto rs = People();
  EXPECT_EQ(rs->Filter(), Variant(int32_t{0}));
  rs->SetFilter(Variant("id <>12  AND id <>15 "));
  EXPECT_EQ(rs->Filter().string(), "id <>12  AND id <>15 ");
  rs->SetFilter(Variant(""));
  EXPECT_EQ(rs->Filter(), Variant(int32_t{0}));
  EXPECT_EQ(rs->RecordCount(), 6);
  rs->SetFilter(Variant("id = 2"));
  rs->SetFilter(Variant(int16_t{0}));
  EXPECT_EQ(rs->Filter(), Variant(int32_t{0}));
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(ErrorOf([&] { rs->SetFilter(Variant()); }), 3001);  // Empty is not a filter
  EXPECT_EQ(ErrorOf([&] { rs->SetFilter(Variant(int32_t{7})); }), 3001);
}

TEST(FilterState, SettingMovesToFirstVisibleRowAndEmptyResultIsBofAndEof) {
  auto rs = People();
  rs->MoveLast();
  rs->SetFilter(Variant("flag = false"));
  EXPECT_EQ(std::tuple(rs->Value("id").integer(), rs->AbsolutePosition()), std::tuple(2, 1));
  rs->SetFilter(Variant("id > 100"));
  EXPECT_EQ(std::tuple(rs->RecordCount(), rs->IsBOF(), rs->IsEOF()), std::tuple(0, true, true));
  EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value("id"); }), 3021);
  rs->SetFilter(Variant(int32_t{0}));
  EXPECT_EQ(rs->Value("id").integer(), 1);
}

TEST(FilterState, RowsAddedOrDeletedUnderAFilter) {
  auto rs = People();
  rs->SetFilter(Variant("flag = true"));  // 1, 3, 5
  rs->AddNew();                           // visible until the filter is set again
  rs->SetValue("id", Variant(int32_t{7}));
  rs->SetValue("flag", Variant(false));
  rs->UpdateBatch();
  EXPECT_EQ(rs->RecordCount(), 4);
  rs->MoveFirst();
  rs->MoveNext();
  rs->Delete(1);  // row 3
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value("id"); }), 3021);
  rs->MoveNext();
  EXPECT_EQ(rs->Value("id").integer(), 5);
  rs->SetFilter(Variant("flag = true"));
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({1, 5}));
  rs->SetFilter(Variant(int32_t{0}));
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({1, 2, 4, 5, 6, 7}));
}

TEST(FilterState, PendingRecordsGroup) {
  auto rs = People();
  rs->AddNew();
  rs->SetValue("id", Variant(int32_t{9}));
  rs->MoveFirst();
  rs->SetValue("name", Variant("changed"));
  rs->SetFilter(Variant(int32_t{1}));  // adFilterPendingRecords
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({1, 9}));
  rs->UpdateBatch(3);
  rs->SetFilter(Variant(int32_t{1}));
  EXPECT_EQ(rs->RecordCount(), 0);
}

struct SortCase {
  const char* sort;
  std::vector<int> ids;
};

class SortTest : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortTest, OrdersRows) {
  auto rs = People();
  rs->MoveLast();
  rs->SetSort(GetParam().sort);
  EXPECT_EQ(rs->Sort(), GetParam().sort);
  EXPECT_EQ(rs->AbsolutePosition(), 1);  // the first row of the new order is current
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray(GetParam().ids)) << GetParam().sort;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SortTest,
    ::testing::ValuesIn(std::vector<SortCase>{
        {"id DESC", {6, 5, 4, 3, 2, 1}}, {"id", {1, 2, 3, 4, 5, 6}},
        // Equal keys keep their order (stable); texts compare folded, in code
        // point order.
        {"name", {1, 5, 2, 3, 6, 4}}, {"name DESC", {4, 6, 3, 2, 1, 5}}, {"name ASC, id DESC", {5, 1, 2, 3, 6, 4}},
        // Null first ascending, last descending.
        {"price", {5, 6, 4, 3, 1, 2}}, {"price desc", {2, 1, 3, 4, 6, 5}}, {"when, id desc", {4, 6, 2, 5, 1, 3}},
        {"flag, qty DESC", {6, 2, 4, 5, 1, 3}}, {"[note] desc", {4, 1, 6, 3, 5, 2}}, {" qty , id ", {3, 4, 1, 2, 5, 6}},
        {"", {1, 2, 3, 4, 5, 6}},
    }));

TEST(SortState, CombinesWithFilterInEitherOrder) {
  auto rs = People();
  rs->SetSort("qty DESC");
  rs->SetFilter(Variant("flag = false"));
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({6, 2, 4}));
  rs->SetSort("");
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({2, 4, 6}));
  rs->SetOptimize("flag", true);
  rs->SetSort("qty");
  rs->SetFilter(Variant("flag = true"));
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({3, 1, 5}));
}

TEST(SortState, FollowsValueChanges) {
  auto rs = People();
  rs->SetSort("qty");
  rs->MoveFirst();  // id 3 (qty -1)
  rs->SetValue("qty", Variant(100.0));
  rs->SetSort("qty");
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({4, 1, 2, 5, 6, 3}));
}

TEST(SortState, Errors) {
  auto rs = People();
  rs->SetSort("id DESC");
  for (const char* sort : {"id DOWN", "id,,name", "[id"}) EXPECT_EQ(ErrorOf([&] { rs->SetSort(sort); }), 3001) << sort;
  EXPECT_EQ(ErrorOf([&] { rs->SetSort("nosuch"); }), 3265);
  EXPECT_EQ(rs->Sort(), "id DESC");
  EXPECT_THAT(VisibleIds(*rs), ElementsAreArray({6, 5, 4, 3, 2, 1}));
}

constexpr int kAtEof = 0, kAtBof = -1, kAtBofAndEof = -2;

// The id Find lands on, or where the cursor ended outside the rows.
int FindId(Recordset& rs, const char* criteria, int32_t skip = 0, int32_t direction = 1) {
  rs.Find(criteria, skip, direction);
  if (rs.IsEOF()) return rs.IsBOF() ? kAtBofAndEof : kAtEof;
  return rs.IsBOF() ? kAtBof : static_cast<int>(rs.Value("id").integer());
}

TEST(Find, WalksTheViewBothWaysUntilEofOrBof) {
  auto rs = People();
  EXPECT_EQ(FindId(*rs, "name = 'ALPHA'"), 1);
  EXPECT_EQ(FindId(*rs, "name = 'ALPHA'"), 1);  // skip 0: the current row itself is tested
  EXPECT_EQ(FindId(*rs, "name = 'ALPHA'", 1), 5);
  EXPECT_EQ(FindId(*rs, "name = 'ALPHA'", 1), kAtEof);
  EXPECT_EQ(FindId(*rs, "name = 'ALPHA'"), kAtEof);  // at EOF nothing is found, and it is no error
  rs->MoveLast();
  EXPECT_EQ(FindId(*rs, "flag = true", 0, -1), 5);
  EXPECT_EQ(FindId(*rs, "flag = true", 1, -1), 3);
  EXPECT_EQ(FindId(*rs, "id = 6", 1, -1), kAtBof);
  // The view and its order.
  rs->SetSort("qty DESC");
  EXPECT_EQ(FindId(*rs, "note <> Null"), 6);
  rs->SetFilter(Variant("id < 3"));
  EXPECT_EQ(FindId(*rs, "id = 6"), kAtEof);
  rs->SetFilter(Variant("id > 100"));
  EXPECT_EQ(FindId(*rs, "id = 1"), kAtBofAndEof);  // an empty view, and no error
}

TEST(Find, Errors) {
  auto rs = People();
  rs->MoveNext();
  for (const char* term : {"id = 1 AND id = 2", "id = 1 OR id = 2", "name LIKE '*x'"}) {
    EXPECT_EQ(ErrorOf([&] { rs->Find(term); }), 3001) << term;
  }
  EXPECT_EQ(ErrorOf([&] { rs->Find("nosuch = 1"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { rs->Find("id = 1", 0, 2); }), 3001);
  EXPECT_EQ(rs->Value("id").integer(), 2);  // unmoved
}

// Many rows, repeated values, edits and deletes: every filter and find gives
// the same rows with and without the indexes.
TEST(Optimize, IndexedAndScannedResultsAgree) {
  auto build = [](bool optimize) {
    auto rs = testing_rs::Fabricated({{"schema_id", DataType::kInteger}, {"option_id", DataType::kSmallInt},
                                      {"data_value", DataType::kVarWChar, 20}, {"price", DataType::kDouble}});
    std::mt19937 rng(7);
    const char* values[] = {"-", "Yes", "yes", "NO", "12.5", "Ä", "ä"};
    for (int i = 0; i < 500; ++i) {
      // Runs of one schema first (as ordered results come), then the same
      // schemas scattered.
      rs->AppendRow({Variant(int32_t(i < 200 ? i / 25 : rng() % 20)), Variant(int16_t(rng() % 4)),
                     rng() % 11 == 0 ? Variant::Null() : Variant(values[rng() % 7]), Variant(double(rng() % 50))});
    }
    if (optimize) {
      for (const char* field : {"schema_id", "option_id", "data_value"}) rs->SetOptimize(field, true);
    }
    // Edits after the index exists must reach it.
    rs->MoveFirst();
    for (int i = 0; i < 60; ++i) {
      rs->SetValue("schema_id", Variant(int32_t{3}));
      rs->SetValue("data_value", Variant("YES"));
      rs->MoveNext();
      rs->MoveNext();
      rs->Delete(1);
      rs->MoveNext();
    }
    return rs;
  };
  auto plain = build(false);
  auto indexed = build(true);
  ASSERT_TRUE(indexed->Optimize("data_value"));
  ASSERT_FALSE(plain->Optimize("data_value"));
  const char* filters[] = {"schema_id=3", "schema_id=3 AND data_value='yes'", "data_value='ä'",
                           "(schema_id=5 AND option_id=1) OR (schema_id=7 AND option_id=0)",
                           "schema_id=3 OR data_value='-'", "data_value='nothing'", "option_id=2 AND price<10"};
  for (const char* sort : {"", "price DESC", "data_value, option_id DESC", "option_id"}) {
    for (const char* f : filters) {
      // Sort then filter (rows ranked in the order of all rows) against
      // filter then sort (the matching rows sorted by themselves).
      plain->SetFilter(Variant(int32_t{0}));
      plain->SetSort(sort);
      plain->SetFilter(Variant(f));
      indexed->SetSort("");
      indexed->SetFilter(Variant(f));
      indexed->SetSort(sort);
      ASSERT_EQ(plain->RecordCount(), indexed->RecordCount()) << f << " / " << sort;
      for (int32_t p = 0; p < plain->RecordCount(); ++p) {
        for (int field = 0; field < 4; ++field) {
          ASSERT_EQ(plain->ValueAt(p, field), indexed->ValueAt(p, field)) << f << " / " << sort;
        }
      }
      // Find walks from the first row to EOF, one hit at a time.
      plain->SetFilter(Variant(int32_t{0}));
      indexed->SetFilter(Variant(int32_t{0}));
      for (const char* term : {"data_value='yes'", "schema_id=3", "option_id=0"}) {
        plain->MoveFirst();
        indexed->MoveFirst();
        for (int hops = 0; hops < 1000 && !plain->IsEOF(); ++hops) {
          plain->Find(term, 1);
          indexed->Find(term, 1);
          ASSERT_EQ(plain->AbsolutePosition(), indexed->AbsolutePosition()) << term << " / " << sort;
        }
        ASSERT_TRUE(indexed->IsEOF());
        plain->MoveLast();
        indexed->MoveLast();
        plain->Find(term, 0, -1);
        indexed->Find(term, 0, -1);
        ASSERT_EQ(plain->AbsolutePosition(), indexed->AbsolutePosition()) << term << " backward";
      }
    }
  }
}

TEST(Optimize, PropertyReadsBackRefusesUnknownFieldsAndFollowsTheProcessSwitch) {
  auto rs = People();
  EXPECT_FALSE(rs->Optimize("name"));
  rs->SetOptimize("NAME", true);
  EXPECT_TRUE(rs->Optimize("name"));
  rs->SetOptimize("name", false);
  EXPECT_FALSE(rs->Optimize("name"));
  EXPECT_EQ(ErrorOf([&] { rs->SetOptimize("nosuch", true); }), 3265);
  // The benchmarks' naive reference: with the process switch off no index is
  // built, the filter still answers, and switching back on builds again.
  SetRecordsetIndexesEnabled(false);
  rs->SetOptimize("name", true);
  const bool built_while_off = rs->Optimize("name");
  SetRecordsetIndexesEnabled(true);
  EXPECT_FALSE(built_while_off);
  rs->SetFilter(Variant("name = 'nobody'"));
  EXPECT_TRUE(rs->IsEOF());
  rs->SetOptimize("name", true);
  EXPECT_TRUE(rs->Optimize("name"));
}

}  // namespace
}  // namespace trelix
