// Fields, Open/Close, navigation, values and their conversion, editing,
// Clone and late binding.

#include <cmath>

#include "common/stream.h"
#include "test_data.h"

namespace trelix {
namespace {

using testing_rs::ErrorOf;
using testing_rs::Fabricated;
using testing_rs::People;
using testing_rs::VisibleIds;
using ::testing::ElementsAre;

constexpr int32_t kMultipleStep = -2147217887;

TEST(Fields, AppendRulesAndLookup) {
  Recordset rs;
  rs.AppendField("schema_id", DataType::kInteger);
  rs.AppendField("Data_Value", DataType::kVarWChar, 50);
  EXPECT_EQ(ErrorOf([&] { rs.AppendField("SCHEMA_ID", DataType::kBigInt); }), 3367);
  EXPECT_EQ(ErrorOf([&] { rs.AppendField("x", static_cast<DataType>(99)); }), 3001);
  EXPECT_EQ(ErrorOf([&] { rs.AppendField("x", DataType::kVarWChar, -1); }), 3001);
  EXPECT_EQ(rs.FieldCount(), 2);
  EXPECT_EQ(rs.FindField("data_value"), 1);
  EXPECT_EQ(rs.FindField("nope"), -1);
  EXPECT_EQ(ErrorOf([&] { rs.FieldIndex("nope"); }), 3265);
  EXPECT_EQ(rs.Field(1).defined_size, 50);
  // Appended together, the same checks against earlier fields and each other.
  Recordset together;
  together.AppendField("Data_Value", DataType::kVarWChar, 50);
  EXPECT_EQ(ErrorOf([&] { together.AppendFields({FieldInfo{"x"}, FieldInfo{"DATA_VALUE"}}); }), 3367);
  EXPECT_EQ(ErrorOf([&] { together.AppendFields({FieldInfo{"Straße"}, FieldInfo{"STRASSE"}}); }), 3367);
  EXPECT_EQ(ErrorOf([&] { together.AppendFields({FieldInfo{""}}); }), 3001);
  EXPECT_EQ(together.FieldCount(), 3);  // as many as one by one would have appended
  rs.Open();
  EXPECT_EQ(ErrorOf([&] { rs.AppendField("late", DataType::kInteger); }), 3367);
  EXPECT_EQ(ErrorOf([&] { rs.Open(); }), 3705);
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(rs.FieldCount(), 0);  // Close empties a fabricated recordset's fields
  EXPECT_EQ(ErrorOf([&] { (void)rs.RecordCount(); }), 3704);
  EXPECT_EQ(ErrorOf([&] { rs.Close(); }), 3704);
}

TEST(Navigation, EmptyRecordset) {
  auto owner = Fabricated({{"a", DataType::kInteger}});
  Recordset& rs = *owner;
  EXPECT_EQ(std::tuple(rs.IsBOF(), rs.IsEOF(), rs.RecordCount()), std::tuple(true, true, 0));
  for (auto move : {&Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext, &Recordset::MovePrevious}) {
    EXPECT_EQ(ErrorOf([&] { (rs.*move)(); }), 3021);
  }
  EXPECT_EQ(ErrorOf([&] { (void)rs.Value(0); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.SetValue(0, Variant(int32_t{1})); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.Delete(1); }), 3021);
}

TEST(Navigation, WalkBothWaysWithPositions) {
  auto rs = People();
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MoveLast();
  EXPECT_EQ(rs->AbsolutePosition(), 6);
  rs->MoveNext();
  EXPECT_EQ(std::tuple(rs->IsEOF(), rs->IsBOF(), rs->AbsolutePosition()), std::tuple(true, false, -3));
  EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value("id"); }), 3021);
  rs->MovePrevious();
  EXPECT_EQ(rs->Value("id").integer(), 6);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_EQ(std::tuple(rs->IsBOF(), rs->AbsolutePosition()), std::tuple(true, -2));
  EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), 3021);
  rs->MoveNext();
  EXPECT_EQ(rs->Value("ID").integer(), 1);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value("nope"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value(7); }), 3265);
}

TEST(Editing, AddNewStartsEmptyAndCountsAtOnce) {
  auto owner = Fabricated({{"a", DataType::kInteger}, {"b", DataType::kVarWChar, 10}});
  Recordset& rs = *owner;
  rs.AddNew();
  EXPECT_EQ(std::tuple(rs.IsEOF(), rs.IsBOF(), rs.RecordCount()), std::tuple(false, false, 1));
  EXPECT_TRUE(rs.Value("a").IsEmpty());
  rs.SetValue("a", Variant(int32_t{5}));
  rs.Update();
  rs.AddNew();
  rs.SetValue("b", Variant("x"));
  rs.UpdateBatch(3);
  EXPECT_EQ(std::tuple(rs.RecordCount(), rs.AbsolutePosition()), std::tuple(2, 2));
  rs.MoveFirst();
  EXPECT_EQ(rs.Value("a"), Variant(int32_t{5}));
  EXPECT_TRUE(rs.Value("b").IsEmpty());
}

TEST(Editing, DeleteKeepsDeletedRowCurrentUntilMove) {
  auto rs = People();
  rs->MoveNext();
  rs->Delete(1);
  EXPECT_EQ(std::tuple(rs->RecordCount(), rs->IsEOF()), std::tuple(5, false));
  EXPECT_EQ(ErrorOf([&] { (void)rs->Value("id"); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs->Delete(1); }), 3021);
  rs->MoveNext();
  EXPECT_EQ(rs->Value("id").integer(), 3);
  // Deleting the last row: EOF only once the cursor moves on.
  rs->MoveLast();
  rs->Delete(1);
  EXPECT_FALSE(rs->IsEOF());
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(1, 3, 4, 5));
  // The walk-and-delete loop that callers write.
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
    if (rs->Value("flag").boolean()) rs->Delete(1);
  }
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(4));
  EXPECT_EQ(ErrorOf([&] { rs->Delete(3); }), 3001);
}

struct ConversionCase {
  DataType type;
  int32_t size;
  Variant input, stored;  // stored: expected when error == 0
  int32_t error;
};

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, ConvertsToTheFieldType) {
  const ConversionCase& c = GetParam();
  auto rs = Fabricated({{"f", c.type, c.size}});
  rs->AddNew();
  EXPECT_EQ(ErrorOf([&] { rs->SetValue("f", c.input); }), c.error);
  // A failed write leaves the value alone.
  EXPECT_EQ(rs->Value("f"), c.error == 0 ? c.stored : Variant());
  // A whole row converts each value the same way, or appends nothing.
  auto rows = Fabricated({{"f", c.type, c.size}});
  EXPECT_EQ(ErrorOf([&] { rows->AppendConvertedRow({c.input}); }), c.error);
  ASSERT_EQ(rows->RecordCount(), c.error == 0 ? 1 : 0);
  if (c.error == 0) {
    EXPECT_EQ(rows->ValueAt(0, 0), c.stored);  // == compares the type too
  }
}

// One case per field type and kind of value; DataType's enumerators by name.
using enum DataType;
INSTANTIATE_TEST_SUITE_P(
    Types, ConversionTest,
    ::testing::ValuesIn(std::vector<ConversionCase>{
        {kInteger, 0, Variant("42"), Variant(int32_t{42}), 0}, {kInteger, 0, Variant(int32_t{7}), Variant(int32_t{7}), 0},
        {kDouble, 0, Variant(int32_t{2}), Variant(2.0), 0}, {kBigInt, 0, Variant(int32_t{2}), Variant(int64_t{2}), 0},
        {kInteger, 0, Variant(int64_t{2}), Variant(int32_t{2}), 0}, {kVariant, 0, Variant("x"), Variant("x"), 0},
        {kInteger, 0, Variant(2.5), Variant(int32_t{2}), 0}, {kInteger, 0, Variant(3.5), Variant(int32_t{4}), 0},
        {kInteger, 0, Variant(true), Variant(int32_t{-1}), 0}, {kInteger, 0, Variant("abc"), Variant(), 13},
        {kInteger, 0, Variant(3e9), Variant(), kMultipleStep},
        {kSmallInt, 0, Variant(int32_t{40000}), Variant(), kMultipleStep},
        {kSmallInt, 0, Variant(int32_t{-32768}), Variant(int16_t{-32768}), 0},
        {kUnsignedTinyInt, 0, Variant(int32_t{255}), Variant(uint8_t{255}), 0},
        {kUnsignedTinyInt, 0, Variant(int32_t{-1}), Variant(), kMultipleStep},
        {kBigInt, 0, Variant(int64_t{1} << 40), Variant(int64_t{1} << 40), 0},
        {kVarWChar, 5, Variant("abcde"), Variant("abcde"), 0}, {kVarWChar, 5, Variant("äöüßé"), Variant("äöüßé"), 0},
        {kVarWChar, 5, Variant("abcdef"), Variant(), kMultipleStep},
        {kVarWChar, 1, Variant("😀"), Variant(), kMultipleStep},  // two UTF-16 units
        {kVarWChar, 10, Variant(int32_t{12}), Variant("12"), 0}, {kVarWChar, 10, Variant(1.5), Variant("1.5"), 0},
        {kBSTR, 0, Variant(std::string(5000, 'x')), Variant(std::string(5000, 'x')), 0},
        {kBoolean, 0, Variant("True"), Variant(true), 0}, {kBoolean, 0, Variant(int32_t{0}), Variant(false), 0},
        {kBoolean, 0, Variant("maybe"), Variant(), 13},
        {kCurrency, 0, Variant("1.23456"), Variant(Currency{12346}), 0},
        {kCurrency, 0, Variant(-2.5), Variant(Currency{-25000}), 0}, {kDouble, 0, Variant("1.5"), Variant(1.5), 0},
        {kSingle, 0, Variant(0.1), Variant(0.1f), 0}, {kDate, 0, Variant("2024-01-02"), Variant::Date(45293), 0},
        {kDate, 0, Variant("1/2/2024 6:00 PM"), Variant::Date(45293.75), 0},
        {kDBTimeStamp, 0, Variant("31/31/2024"), Variant(), 13}, {kChapter, 0, Variant("x"), Variant(), 13},
        {kInteger, 0, Variant::Null(), Variant::Null(), 0}, {kVariant, 0, Variant(int16_t{3}), Variant(int16_t{3}), 0},
    }));

TEST(Editing, NullNeedsANullableField) {
  const std::vector<FieldInfo> fields = {{"strict", DataType::kInteger, 0, 0}, {"nullable", DataType::kInteger, 0, 0x20}};
  auto rs = Fabricated(fields);
  rs->AddNew();
  EXPECT_EQ(ErrorOf([&] { rs->SetValue("strict", Variant::Null()); }), kMultipleStep);
  rs->SetValue("nullable", Variant::Null());
  EXPECT_TRUE(rs->Value("nullable").IsNull());
  // A whole row takes the same rule, Null or not already of the field type.
  auto rows = Fabricated(fields);
  EXPECT_EQ(ErrorOf([&] { rows->AppendConvertedRow({Variant::Null(), Variant::Null()}); }), kMultipleStep);
  rows->AppendConvertedRow({Variant(int32_t{1}), Variant::Null()});
  EXPECT_TRUE(rows->ValueAt(0, 1).IsNull());
  EXPECT_EQ(rows->RecordCount(), 1);
}

TEST(Clone, CopiesVisibleRowsIndependently) {
  auto rs = People();
  rs->SetOptimize("name", true);
  rs->SetFilter(Variant("flag = true"));
  rs->SetSort("id DESC");
  auto copy = rs->Clone();
  EXPECT_EQ(std::tuple(copy->Filter(), copy->Sort(), copy->Optimize("name")), std::tuple(Variant(int32_t{0}), "", true));
  EXPECT_THAT(VisibleIds(*copy), ElementsAre(5, 3, 1));
  copy->MoveFirst();
  copy->SetValue("name", Variant("changed"));
  EXPECT_EQ(rs->Value("name").string(), "alpha");
  copy->SetFilter(Variant("name = 'CHANGED'"));
  EXPECT_EQ(copy->RecordCount(), 1);
}

// A copy of a whole, unfiltered recordset shares its cells until a write:
// writes on either side, before or after the other side's, stay private.
TEST(Clone, WholeCopyStaysIndependentOfWritesOnEitherSide) {
  auto rs = People();
  rs->MoveFirst();
  rs->SetValue("qty", Variant(7.0));  // a pending change the copy carries along
  auto copy = rs->Clone();
  auto second = copy->Clone();
  const Variant& read_before = copy->Value("name");
  copy->MoveFirst();
  copy->SetValue("name", Variant("copy"));
  EXPECT_EQ(read_before.string(), "Alpha");  // values read before a write stay valid
  rs->MoveLast();
  rs->SetValue("name", Variant("source"));
  rs->AddNew();
  rs->SetValue("id", Variant(int32_t{8}));
  second->MoveFirst();
  second->Delete(1);
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(1, 2, 3, 4, 5, 6, 8));
  EXPECT_THAT(VisibleIds(*copy), ElementsAre(1, 2, 3, 4, 5, 6));
  EXPECT_THAT(VisibleIds(*second), ElementsAre(2, 3, 4, 5, 6));
  copy->MoveFirst();
  EXPECT_EQ(copy->Value("name").string(), "copy");
  copy->MoveLast();
  EXPECT_NE(copy->Value("name").string(), "source");
  copy->SetFilter(Variant(int32_t{1}));  // the change made before the copy is still pending there
  EXPECT_THAT(VisibleIds(*copy), ElementsAre(1));
}

// Rows appended as one block behave as rows appended one by one (cursor,
// index, filter, sort, later appends); taking the visible values follows the
// view, closes the recordset and leaves a copy sharing the cells whole.
TEST(Blocks, AppendRowsAndTakeVisibleValues) {
  auto rs = Fabricated({{"id", DataType::kInteger}, {"name", DataType::kVarWChar, 10}});
  rs->SetOptimize("name", true);
  rs->AppendRows({Variant(int32_t{1}), Variant("a"), Variant(int32_t{2}), Variant("b"), Variant(int32_t{3}), Variant("a")});
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->SetFilter(Variant("name = 'A'"));
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(1, 3));
  rs->AppendRows({Variant(int32_t{4}), Variant("a")});
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(1, 3, 4));
  EXPECT_EQ(ErrorOf([&] { rs->AppendRows({Variant(int32_t{5})}); }), 3001);
  rs->SetFilter(Variant("id > 1"));
  rs->SetSort("id DESC");
  EXPECT_EQ(rs->TakeVisibleValues(), (std::vector<Variant>{Variant(int32_t{4}), Variant("a"), Variant(int32_t{3}),
                                                           Variant("a"), Variant(int32_t{2}), Variant("b")}));
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(ErrorOf([&] { rs->TakeVisibleValues(); }), 3704);

  auto whole = People();
  EXPECT_EQ(whole->Clone()->TakeVisibleValues(), People()->TakeVisibleValues());
  EXPECT_THAT(VisibleIds(*whole), ElementsAre(1, 2, 3, 4, 5, 6));
  EXPECT_EQ(whole->ValueAt(0, 1).string(), "Alpha");
}

// Orders computed for earlier sort keys are reused only while no row
// changes; filters on optimized fields see every edit made before or after
// the property was set.
TEST(Clone, SortsAndIndexesFollowEditsAcrossSortChanges) {
  auto rs = People();
  rs->SetOptimize("name", true);
  rs->SetSort("qty");
  const std::vector<int> by_qty = VisibleIds(*rs);
  rs->SetSort("id DESC");
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(6, 5, 4, 3, 2, 1));
  rs->SetSort("qty");
  EXPECT_EQ(VisibleIds(*rs), by_qty);
  rs->SetSort("id DESC");
  rs->MoveLast();  // id 1
  rs->SetValue("qty", Variant(1000.0));
  rs->SetValue("name", Variant("renamed"));
  rs->SetSort("qty");  // the order kept for these keys predates the edit
  EXPECT_EQ(VisibleIds(*rs).back(), 1);
  rs->SetFilter(Variant("name = 'RENAMED'"));
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(1));
  rs->SetFilter(Variant("name = 'Alpha'"));  // row 5's "alpha" only
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(5));
}

TEST(LateBinding, ScriptStyleAccess) {
  auto rs = People();
  auto invoke = [](ObjectRef obj, const char* name, InvokeKind kind, std::vector<Variant> args = {}) {
    return obj->Invoke(name, kind, args);
  };
  auto get = [&](ObjectRef obj, const char* name, std::vector<Variant> args = {}) {
    return invoke(obj, name, InvokeKind::kPropertyGet, std::move(args));
  };
  // rs("name") is a Field whose default member is its value.
  Variant field = get(rs, "", {Variant("name")});
  ASSERT_TRUE(field.IsObject());
  EXPECT_EQ(get(field.object(), "").string(), "Alpha");
  EXPECT_EQ(get(field.object(), "Name").string(), "name");
  EXPECT_EQ(get(field.object(), "Type").integer(), 202);
  Variant fields = get(rs, "Fields");
  EXPECT_EQ(get(fields.object(), "Count").integer(), 7);
  EXPECT_EQ(get(get(fields.object(), "Item", {Variant(int32_t{0})}).object(), "Value").integer(), 1);
  EXPECT_FALSE(get(rs, "EOF").boolean());
  invoke(rs, "MoveNext", InvokeKind::kMethod);
  EXPECT_EQ(rs->Value("id").integer(), 2);
  invoke(rs, "Filter", InvokeKind::kPropertyPut, {Variant("id > 4")});
  EXPECT_EQ(get(rs, "RecordCount").integer(), 2);
  EXPECT_EQ(get(rs, "filter").string(), "id > 4");
  invoke(rs, "Fields", InvokeKind::kPropertyPut, {Variant("name"), Variant("renamed")});
  EXPECT_EQ(rs->Value("name").string(), "renamed");
  Variant prop = get(get(rs, "", {Variant("name")}).object(), "Properties", {Variant("Optimize")});
  invoke(prop.object(), "Value", InvokeKind::kPropertyPut, {Variant(true)});
  EXPECT_TRUE(rs->Optimize("name"));
  invoke(rs, "Find", InvokeKind::kMethod, {Variant("id = 6")});
  EXPECT_EQ(rs->Value("id").integer(), 6);
  auto stream = std::make_shared<Stream>();
  invoke(rs, "Save", InvokeKind::kMethod, {Variant(stream), Variant(int32_t{1})});
  EXPECT_GT(stream->Size(), 0);
  EXPECT_EQ(ErrorOf([&] { get(rs, "NoSuchMember"); }), 438);
  EXPECT_EQ(ErrorOf([&] { invoke(rs, "MoveNext", InvokeKind::kPropertyPut, {Variant("id = 6")}); }), 438);
}

TEST(Stream, WriteReadAndPosition) {
  Stream s;
  s.WriteText("hello world");
  EXPECT_EQ(s.Position(), 11);
  s.SetPosition(6);
  s.WriteText("there!");  // overwrites from the position, extends past the end
  EXPECT_EQ(s.text(), "hello there!");
  s.SetPosition(0);
  EXPECT_EQ(s.ReadText(5), "hello");
  EXPECT_EQ(s.ReadText(-1), " there!");
  EXPECT_EQ(s.ReadText(-1), "");
  for (int32_t outside : {13, -1}) EXPECT_EQ(ErrorOf([&] { s.SetPosition(outside); }), 3001) << outside;
}

}  // namespace
}  // namespace trelix
