// XML persistence: round trips of every type, files written by the cursor
// engine and by other writers, hierarchies, pending changes, malformed input.

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <tuple>

#include "common/recordset_fuzz.h"
#include "common/recordset_values.h"
#include "common/recordset_xml.h"
#include "common/stream.h"
#include "test_data.h"

namespace trelix {
namespace {

using testing_rs::ErrorOf;
using testing_rs::Fabricated;
using testing_rs::People;
using testing_rs::VisibleIds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int32_t kBadXml = -2147467259;

std::string ReadSample(const std::string& name) {
  std::ifstream in("/work/shared/reference/ado-samples/" + name, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

struct TypedValue {
  DataType type;
  int32_t size;
  std::vector<Variant> values;  // one per row; the last row holds Null everywhere
};

std::vector<TypedValue> EveryType() {
  const std::string tricky = "O'Neil & \"Sons\" <b>\t\r\n\x01 ünï©ødé 😀";
  return {
      {DataType::kSmallInt, 0, {Variant(int16_t{-32768}), Variant(int16_t{32767})}},
      {DataType::kInteger, 0, {Variant(int32_t{INT32_MIN}), Variant(int32_t{7})}},
      {DataType::kSingle, 0, {Variant(0.1f), Variant(-3.4e38f)}},
      {DataType::kDouble, 0, {Variant(3.141592653589793), Variant(1e-300)}},
      {DataType::kCurrency, 0, {Variant(Currency{INT64_MIN}), Variant(Currency{26352300})}},
      {DataType::kDate, 0, {Variant::Date(45444 + 45000.0 / 86400.0), Variant::Date(-1.25)}},
      {DataType::kBSTR, 0, {Variant(tricky), Variant("")}},
      {DataType::kBoolean, 0, {Variant(true), Variant(false)}},
      {DataType::kDecimal, 0, {Variant::Decimal(12345.678), Variant::Decimal(-0.5)}},
      {DataType::kUnsignedTinyInt, 0, {Variant(uint8_t{255}), Variant(uint8_t{0})}},
      {DataType::kBigInt, 0, {Variant(int64_t{INT64_MAX}), Variant(int64_t{-1})}},
      {DataType::kGUID, 0, {Variant("{6B29FC40-CA47-1067-B31D-00DD010662DA}"), Variant("{00000000-0000-0000-0000-000000000000}")}},
      {DataType::kBinary, 8, {Variant(std::string("\x00\xff\x10 a", 5)), Variant(std::string())}},
      {DataType::kChar, 10, {Variant("fixed"), Variant(" ")}},
      {DataType::kNumeric, 0, {Variant::Decimal(99999.99), Variant::Decimal(0)}},
      {DataType::kDBTimeStamp, 0, {Variant::Date(2958465 + 86399.0 / 86400.0), Variant::Date(-657434)}},
      {DataType::kVarChar, 50, {Variant("plain"), Variant("a'b")}},
      {DataType::kLongVarChar, 0, {Variant(std::string(10000, 'L')), Variant("x")}},
      {DataType::kVarWChar, 60, {Variant(tricky), Variant("\xe2\x80\x8b")}},
      {DataType::kLongVarWChar, 0, {Variant(tricky + tricky), Variant("")}},
  };
}

TEST(XmlRoundTrip, EveryTypeWithNulls) {
  auto rs = std::make_shared<Recordset>();
  const auto types = EveryType();
  for (size_t i = 0; i < types.size(); ++i) {
    rs->AppendField("f" + std::to_string(static_cast<int>(types[i].type)), types[i].type, types[i].size);
  }
  rs->Open();
  for (size_t row = 0; row < 3; ++row) {
    rs->AddNew();
    for (size_t i = 0; i < types.size(); ++i) {
      rs->SetValue(static_cast<int>(i), row < 2 ? types[i].values[row] : Variant::Null());
    }
  }
  rs->UpdateBatch(3);
  const std::string xml = rs->SaveXml();
  auto back = Recordset::LoadXml(xml);
  ASSERT_EQ(back->FieldCount(), rs->FieldCount());
  ASSERT_EQ(back->RecordCount(), 3);
  for (int f = 0; f < rs->FieldCount(); ++f) {
    const FieldInfo &a = back->Field(f), &b = rs->Field(f);
    EXPECT_EQ(std::tie(a.name, a.type, a.defined_size), std::tie(b.name, b.type, b.defined_size));
    for (int32_t row = 0; row < 3; ++row) {
      EXPECT_EQ(back->ValueAt(row, f), rs->ValueAt(row, f)) << rs->Field(f).name << " row " << row;
    }
  }
  // Empty text is not Null: it is written as an empty attribute.
  EXPECT_THAT(xml, HasSubstr("f8=''"));
  EXPECT_EQ(back->SaveXml(), xml);
}

TEST(XmlRoundTrip, LayoutOfAFabricatedRecordset) {
  Recordset rs;
  rs.AppendField("row_id", DataType::kInteger);
  rs.AppendField("description", DataType::kVarWChar, 50);
  rs.Open();
  rs.AddNew();
  rs.SetValue("row_id", Variant(int32_t{1}));
  rs.UpdateBatch();
  EXPECT_EQ(rs.SaveXml(),
            "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
            "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
            "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
            "\txmlns:z='#RowsetSchema'>\n"
            "<s:Schema id='RowsetSchema'>\n"
            "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n"
            "\t\t<s:AttributeType name='row_id' rs:number='1' rs:nullable='true' rs:maydefer='true' rs:write='true'>\n"
            "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='0' rs:fixedlength='true'/>\n"
            "\t\t</s:AttributeType>\n"
            "\t\t<s:AttributeType name='description' rs:number='2' rs:nullable='true' rs:maydefer='true' "
            "rs:write='true'>\n"
            "\t\t\t<s:datatype dt:type='string' dt:maxLength='50' rs:precision='0'/>\n"
            "\t\t</s:AttributeType>\n"
            "\t\t<s:extends type='rs:rowbase'/>\n"
            "\t</s:ElementType>\n"
            "</s:Schema>\n"
            "<rs:data>\n"
            "\t<z:row row_id='1'/>\n"
            "</rs:data>\n"
            "</xml>");
}

TEST(XmlRoundTrip, NamesThatNeedAnAlias) {
  Recordset rs;
  for (const char* name : {"Città", "two words", "COUNT(*)", "c1", "xmlish", "ok_name"}) {
    rs.AppendField(name, DataType::kVarWChar, 20);
  }
  rs.Open();
  rs.AddNew();
  for (int f = 0; f < rs.FieldCount(); ++f) rs.SetValue(f, Variant("v" + std::to_string(f)));
  rs.UpdateBatch();
  std::string xml = rs.SaveXml();
  EXPECT_THAT(xml, HasSubstr("name='c0' rs:name='Città'"));
  EXPECT_THAT(xml, HasSubstr("name='ok_name' rs:number='6'"));
  auto back = Recordset::LoadXml(xml);
  for (int f = 0; f < rs.FieldCount(); ++f) {
    EXPECT_EQ(back->Field(f).name, rs.Field(f).name);
    EXPECT_EQ(back->ValueAt(0, f), rs.ValueAt(0, f)) << rs.Field(f).name;
  }
}

TEST(XmlRoundTrip, SavesTheViewAndMovesToItsFirstRow) {
  auto rs = People();
  rs->SetFilter(Variant("flag = false"));
  rs->SetSort("qty DESC");
  rs->MoveLast();
  Stream stream;
  rs->Save(stream, 1);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  EXPECT_EQ(rs->Filter().string(), "flag = false");  // Save changes neither filter nor sort
  rs->Close();
  // Reopened straight from the stream, whose position is at its end.
  rs->Open(stream);
  EXPECT_EQ(rs->Filter(), Variant(int32_t{0}));
  EXPECT_THAT(VisibleIds(*rs), ElementsAre(6, 2, 4));
  EXPECT_EQ(ErrorOf([&] { rs->Open(stream); }), 3705);
  EXPECT_EQ(ErrorOf([&] { rs->Save(stream, 0); }), 3001);
  Recordset closed;
  EXPECT_EQ(ErrorOf([&] { closed.Save(stream, 1); }), 3704);
}

TEST(XmlRoundTrip, PendingChangesSurvive) {
  auto rs = People();
  rs->MoveFirst();
  rs->SetValue("note", Variant::Null());  // a change to Null must not read as "unchanged"
  rs->SetValue("qty", Variant(99.0));
  rs->MoveNext();
  rs->Delete(1);
  rs->AddNew();
  rs->SetValue("id", Variant(int32_t{7}));
  std::string xml = rs->SaveXml();
  for (const char* part : {"<rs:update>", "rs:forcenull='note'", "<rs:insert>", "<rs:delete>"}) {
    EXPECT_THAT(xml, HasSubstr(part));
  }
  auto back = Recordset::LoadXml(xml);
  EXPECT_THAT(VisibleIds(*back), ElementsAre(1, 3, 4, 5, 6, 7));
  back->MoveFirst();
  EXPECT_TRUE(back->Value("note").IsNull());
  EXPECT_EQ(back->Value("qty"), Variant(99.0));
  back->SetFilter(Variant(int32_t{1}));  // pending: the update and the insert
  EXPECT_THAT(VisibleIds(*back), ElementsAre(1, 7));
  back->UpdateBatch(3);
  const std::string accepted = back->SaveXml();
  for (const char* section : {"<rs:update", "<rs:insert", "<rs:delete"}) {
    EXPECT_THAT(accepted, ::testing::Not(HasSubstr(section)));
  }
}

TEST(XmlSamples, ShippersFromTheDocumentation) {
  auto rs = Recordset::LoadXml(ReadSample("02_doc_shippers_flat.xml"));
  ASSERT_EQ(rs->FieldCount(), 3);
  const FieldInfo &id = rs->Field(0), &name = rs->Field(1);
  EXPECT_EQ(std::tuple(id.name, id.type, id.nullable, id.attributes & 0x8000),  // a key column
            std::tuple("ShipperID", DataType::kInteger, false, 0x8000));
  EXPECT_EQ(std::tuple(name.type, name.defined_size), std::tuple(DataType::kVarWChar, 40));
  EXPECT_THAT(VisibleIds(*rs, "ShipperID"), ElementsAre(1, 2, 3));
  rs->MoveLast();
  EXPECT_EQ(rs->Value("CompanyName").string() + " " + rs->Value("Phone").string(), "Federal Shipping (503) 555-9931");
}

TEST(XmlSamples, AliasedFabricatedColumn) {
  auto rs = Recordset::LoadXml(ReadSample("05_doc_fabricated_alias_c1_rsname.xml"));
  ASSERT_EQ(rs->FieldCount(), 1);
  EXPECT_EQ(std::tuple(rs->Field(0).name, rs->Field(0).defined_size, rs->RecordCount()), std::tuple("Cities", 255, 2));
  EXPECT_EQ(rs->Value("Cities").string(), "Seattle");
  rs->SetFilter(Variant("Cities = 'REDMOND'"));
  EXPECT_EQ(rs->RecordCount(), 1);
}

// Shapes that other writers produce: other prefixes, double quotes, types on
// the AttributeType, types and attributes never written here, hidden
// columns, synonyms, no type at all, a chapter column.
TEST(XmlSamples, ForeignShapesAndTypes) {
  const char* xml = R"(<?xml version="1.0"?>
<root xmlns:a="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882" xmlns:b="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"
      xmlns:r="urn:schemas-microsoft-com:rowset" xmlns:q="#RowsetSchema">
  <a:Schema id="RowsetSchema">
    <a:ElementType name="row" content="eltOnly" r:CommandTimeout="30" r:ReshapeName="DSRowset1">
      <a:AttributeType name="u2" r:number="1" b:type="ui2"/>
      <a:AttributeType name="i4" r:number="2"><a:datatype b:type="i4"/></a:AttributeType>
      <a:AttributeType name="r8" r:number="3"><a:datatype b:type="r8" r:maybenull="false"/></a:AttributeType>
      <a:AttributeType name="b64" r:number="4"><a:datatype b:type="bin.base64" b:maxLength="10"/></a:AttributeType>
      <a:AttributeType name="tz" r:number="5"><a:datatype b:type="dateTime.tz"/></a:AttributeType>
      <a:AttributeType name="odd" r:number="6"><a:datatype b:type="something.new"/></a:AttributeType>
      <a:AttributeType name="untyped" r:number="7"/>
      <a:AttributeType name="ROWID" r:number="8" r:hidden="true"><a:datatype b:type="string"/></a:AttributeType>
      <a:AttributeType name="money" r:number="9"><a:datatype b:type="number" r:dbtype="currency"/></a:AttributeType>
      <a:AttributeType name="vn" r:number="10"><a:datatype b:type="number" r:dbtype="varnumeric" r:scale="255" r:precision="38"/></a:AttributeType>
      <a:ElementType name="kids" r:number="11" content="eltOnly" r:relation="010000000100000000000000">
        <a:AttributeType name="k" r:number="1"><a:datatype b:type="int"/></a:AttributeType>
        <a:extends type="r:rowbase"/>
      </a:ElementType>
      <a:extends type="r:rowbase"/>
    </a:ElementType>
  </a:Schema>
  <r:data>
    <q:row u2="65535" i4="-4" r8="1E+300" b64="AP8Q" tz="2024-03-04T05:06:07.5Z" odd="?" untyped="text"
           ROWID="AAA" money="2635.23" vn="1.5" unknown="ignored">
      <kids k="1"/><kids k="2"/><other/>
    </q:row>
    <q:row/>
    <something_else/>
  </r:data>
</root>)";
  auto rs = Recordset::LoadXml(xml);
  ASSERT_EQ(rs->FieldCount(), 10);  // the hidden column is left out
  using enum DataType;
  const DataType types[] = {kInteger, kInteger,  kDouble,   kBinary,   kDBTimeStamp,
                            kVarWChar, kVarWChar, kCurrency, kNumeric, kChapter};
  for (int f = 0; f < 10; ++f) EXPECT_EQ(rs->Field(f).type, types[f]) << rs->Field(f).name;
  EXPECT_FALSE(rs->Field(2).nullable);
  EXPECT_EQ(rs->Field(8).precision, 38);
  ASSERT_EQ(rs->RecordCount(), 2);
  for (const auto& [field, value] : std::initializer_list<std::pair<const char*, Variant>>{
           {"u2", Variant(int32_t{65535})}, {"i4", Variant(int32_t{-4})}, {"r8", Variant(1e300)},
           {"b64", Variant(std::string("\x00\xff\x10", 3))}, {"money", Variant(Currency{26352300})},
           {"untyped", Variant("text")}}) {
    EXPECT_EQ(rs->Value(field), value) << field;
  }
  EXPECT_EQ(rs->Value("tz").real(), 45355 + (5 * 3600 + 6 * 60 + 7.5) / 86400.0);
  auto kids = rs->Value("kids").As<Recordset>();
  ASSERT_TRUE(kids);
  EXPECT_THAT(VisibleIds(*kids, "k"), ElementsAre(1, 2));
  rs->MoveNext();
  EXPECT_TRUE(rs->Value("i4").IsNull());
  EXPECT_EQ(rs->Value("kids").As<Recordset>()->RecordCount(), 0);
}

// A schema that lost its columns still carries rows; saving rows that have
// no cells must not index past the (empty) cell store.
TEST(XmlSamples, RowsWithoutColumnsRoundTrip) {
  const char* xml =
      "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset'"
      " xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'/>"
      "</s:Schema><rs:data><z:row c1='Seattle'/><z:row/></rs:data></xml>";
  auto rs = Recordset::LoadXml(xml);
  EXPECT_EQ(rs->RecordCount(), 2);
  auto again = Recordset::LoadXml(rs->SaveXml());
  EXPECT_EQ(again->RecordCount(), 2);
  EXPECT_EQ(again->SaveXml(), rs->SaveXml());
}

TEST(XmlHierarchy, ChaptersRoundTripAndNest) {
  auto child_of = [](int parent, int count) {
    auto child = Fabricated(
        {{"ord_num", DataType::kVarWChar, 20}, {"qty", DataType::kSmallInt}, {"detail", DataType::kChapter}});
    for (int i = 0; i < count; ++i) {
      auto grandchild = Fabricated({{"line", DataType::kInteger}}, {{Variant(int32_t{parent * 100 + i})}});
      child->AppendRow({Variant("P" + std::to_string(parent) + "-" + std::to_string(i)),
                        Variant(int16_t(i)), Variant(grandchild)});
    }
    return child;
  };
  auto rs = Fabricated(
      {{"stor_id", DataType::kChar, 4}, {"rsSales", DataType::kChapter}, {"city", DataType::kVarWChar, 20}},
      {{Variant("7066"), Variant(child_of(1, 2)), Variant("Seattle")},
       {Variant("7067"), Variant(child_of(2, 0)), Variant::Null()}});
  std::string xml = rs->SaveXml();
  EXPECT_THAT(xml, HasSubstr("<s:ElementType name='rsSales' rs:number='2'"));
  EXPECT_THAT(xml, HasSubstr("<rsSales ord_num='P1-0' qty='0'>"));
  auto back = Recordset::LoadXml(xml);
  ASSERT_EQ(back->FieldCount(), 3);
  EXPECT_EQ(back->Field(1).name, "rsSales");  // field order from rs:number, chapter in the middle
  EXPECT_EQ(back->Field(2).name, "city");
  auto sales = back->Value("rsSales").As<Recordset>();
  ASSERT_TRUE(sales);
  ASSERT_EQ(sales->RecordCount(), 2);
  sales->MoveLast();
  EXPECT_EQ(sales->Value("ord_num").string(), "P1-1");
  EXPECT_EQ(sales->Value("detail").As<Recordset>()->Value("line").integer(), 101);
  back->MoveNext();
  EXPECT_EQ(back->Value("rsSales").As<Recordset>()->RecordCount(), 0);
  EXPECT_EQ(back->SaveXml(), xml);
  // A clone owns copies of its chapters.
  auto copy = back->Clone();
  copy->MoveFirst();
  copy->Value("rsSales").As<Recordset>()->SetValue("qty", Variant(int16_t{9}));
  back->MoveFirst();
  auto original = back->Value("rsSales").As<Recordset>();
  original->MoveFirst();
  EXPECT_EQ(original->Value("qty").integer(), 0);
}

struct MalformedCase {
  const char* name;
  std::string xml;
};

class MalformedXmlTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedXmlTest, IsAClearError) {
  try {
    Recordset::LoadXml(GetParam().xml);
    FAIL() << "loaded";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), kBadXml);
    EXPECT_THAT(e.description(), HasSubstr("Recordset cannot be created"));
  }
}

std::string WithRow(const std::string& type, const std::string& value) {
  return "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'"
         " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'>"
         "<s:ElementType name='row'><s:AttributeType name='v'><s:datatype dt:type='" +
         type + "'/></s:AttributeType></s:ElementType></s:Schema><rs:data><z:row v='" + value +
         "'/></rs:data></xml>";
}

std::string DeepChapters(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<s:ElementType name='c" + std::to_string(i) + "'>";
    close += "</s:ElementType>";
  }
  return "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'><s:Schema><s:ElementType name='row'>" + open +
         close + "</s:ElementType></s:Schema></xml>";
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MalformedXmlTest,
    ::testing::ValuesIn(std::vector<MalformedCase>{
        {"Empty", ""}, {"NotXml", "not xml at all"}, {"Truncated", WithRow("int", "1").substr(0, 200)},
        {"NoSchema", "<xml><rs:data/></xml>"},
        {"WrongNamespace", "<xml xmlns:s='urn:other'><s:Schema><s:ElementType name='row'/></s:Schema></xml>"},
        {"BadInteger", WithRow("int", "12x")}, {"IntegerOverflow", WithRow("i2", "40000")},
        {"BadDate", WithRow("dateTime", "2024-02-30T00:00:00")}, {"BadBoolean", WithRow("boolean", "yes")},
        {"BadCurrency", WithRow("number' rs:dbtype='currency", "1.2.3")}, {"OddHex", WithRow("bin.hex", "abc")},
        {"BadHex", WithRow("bin.hex", "zz")}, {"MismatchedTags", "<xml><a></b></xml>"},
        {"DeepChapters", DeepChapters(200)}}),
    [](const auto& info) { return info.param.name; });

// Random edits of valid inputs (replaced, dropped and repeated pieces) must
// load or fail with an error, never crash.
template <class Fuzz>
void FuzzMutations(const std::vector<std::string>& seeds, const char* alphabet, int runs, uint32_t seed, Fuzz fuzz) {
  std::mt19937 rng(seed);
  const size_t letters = std::strlen(alphabet);
  for (int i = 0; i < runs; ++i) {
    std::string text = seeds[static_cast<size_t>(i) % seeds.size()];
    for (int m = 0, n = 1 + static_cast<int>(rng() % 4); m < n && !text.empty(); ++m) {
      size_t at = rng() % text.size();
      switch (rng() % 4) {
        case 0: text[at] = alphabet[rng() % letters]; break;
        case 1: text.erase(at, 1 + rng() % 8); break;
        case 2: text.insert(at, 1, alphabet[rng() % letters]); break;
        default: text.insert(at, text.substr(rng() % text.size(), 1 + rng() % 16)); break;
      }
    }
    fuzz(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
}

TEST(XmlFuzz, MutatedDocumentsNeverCrash) {
  FuzzMutations({People()->SaveXml(), ReadSample("02_doc_shippers_flat.xml"),
                 ReadSample("05_doc_fabricated_alias_c1_rsname.xml")},
                "<>/='\"&;:#zrs \t\n0123456789-.TxyE", 3000, 1234, FuzzRecordsetXml);
}

TEST(CriteriaFuzz, MutatedCriteriaNeverCrash) {
  FuzzMutations({"(id = 1 AND name LIKE 'al*') OR (price > $5 AND when < #1/1/2030#)", "v = 'x' OR big >= 1E3",
                 "flag = True AND qty <> Null", "name, id DESC"},
                "()[]'#=<>*% ANDORLIKEnul0123456789.$-eidnameflagv", 5000, 99, FuzzRecordsetCriteria);
}

// The deepest hierarchy the reader takes is one the writer writes, and a
// recordset that holds itself is refused, not followed forever.
TEST(XmlHierarchy, DepthLimits) {
  auto top = Fabricated({{"v", DataType::kInteger}}, {{Variant(int32_t{1})}});
  for (int level = 0; level < 32; ++level) top = Fabricated({{"child", DataType::kChapter}}, {{Variant(top)}});
  auto back = Recordset::LoadXml(top->SaveXml());
  EXPECT_EQ(back->SaveXml(), top->SaveXml());

  auto loop = Fabricated({{"self", DataType::kChapter}});
  loop->AppendRow({Variant(loop)});
  EXPECT_EQ(ErrorOf([&] { (void)loop->SaveXml(); }), 3001);
  loop->Close();  // breaks the cycle
}

// --- The direct copy against a real save and reload ----------------------------------

bool SameValue(const Variant& a, const Variant& b) {
  if (a.type() != b.type()) return false;
  using enum VarType;
  switch (a.type()) {
    case kEmpty: case kNull: return true;
    case kString: return a.string() == b.string();
    case kSingle: case kDouble: case kDate: case kDecimal: {
      const double x = a.real(), y = b.real();
      return std::memcmp(&x, &y, sizeof x) == 0;  // bit for bit: -0.0 is not 0.0
    }
    case kCurrency: return a.currency() == b.currency();
    case kInteger: case kLong: case kLongLong: case kByte: case kBoolean: case kError: return a.integer() == b.integer();
    default: return recordset_internal::DisplayText(a) == recordset_internal::DisplayText(b);
  }
}

// Field facts, every value with its type, the cursor of both results and of
// the source afterwards.
void ExpectSameAsReload(const std::string& label, const std::function<std::shared_ptr<Recordset>()>& make) {
  SCOPED_TRACE(label);
  auto source = make();
  RecordsetRef copy = CopyVisibleRowsAsPersisted(*source);
  const int32_t source_after_copy = source->AbsolutePosition();
  auto other = make();
  Stream stream;
  stream.Open();
  other->Save(stream, 1);
  const int32_t source_after_save = other->AbsolutePosition();
  stream.SetPosition(0);
  Recordset reloaded;
  reloaded.Open(stream);
  EXPECT_EQ(source_after_copy, source_after_save);
  ASSERT_EQ(copy->FieldCount(), reloaded.FieldCount());
  for (int f = 0; f < reloaded.FieldCount(); ++f) {
    const FieldInfo &a = copy->Field(f), &b = reloaded.Field(f);
    EXPECT_EQ(std::tie(a.name, a.type, a.defined_size, a.attributes, a.precision, a.numeric_scale, a.nullable),
              std::tie(b.name, b.type, b.defined_size, b.attributes, b.precision, b.numeric_scale, b.nullable));
  }
  // The copy of a source closed afterwards, whose own values may move over.
  auto taken_source = make();
  RecordsetRef taken = TakeVisibleRowsAsPersisted(*taken_source);
  EXPECT_FALSE(taken_source->IsOpen());
  for (Recordset* result : {copy.get(), taken.get()}) {
    SCOPED_TRACE(result == copy.get() ? "copied" : "taken");
    EXPECT_TRUE(SameValue(result->Filter(), reloaded.Filter()));
    EXPECT_EQ(result->Sort(), reloaded.Sort());
    EXPECT_EQ(result->AbsolutePosition(), reloaded.AbsolutePosition());
    ASSERT_EQ(result->RecordCount(), reloaded.RecordCount());
    for (int32_t row = 0; row < reloaded.RecordCount(); ++row) {
      for (int f = 0; f < reloaded.FieldCount(); ++f) {
        const Variant& a = result->ValueAt(row, f);
        const Variant& b = reloaded.ValueAt(row, f);
        EXPECT_TRUE(SameValue(a, b)) << "row " << row << " field " << reloaded.Field(f).name << ": '"
                                     << recordset_internal::DisplayText(a) << "' vs '"
                                     << recordset_internal::DisplayText(b) << "'";
      }
    }
    // Pending changes and deletions travel too: the next batch sees the same.
    EXPECT_EQ(result->SaveXml(), reloaded.SaveXml());
  }
}

// Texts, integers and Nulls only: the values a taken copy moves over.
std::shared_ptr<Recordset> Plain(int rows) {
  auto rs = Fabricated({{"id", DataType::kInteger}, {"big", DataType::kBigInt}, {"name", DataType::kVarWChar, 20},
                        {"any", DataType::kVariant}});
  for (int32_t i = 0; i < rows; ++i) {
    rs->AppendRow({Variant(i), Variant(int64_t{i} << 40), i % 4 == 3 ? Variant::Null() : Variant("name " + std::to_string(i)),
                   Variant("any " + std::to_string(i))});
  }
  return rs;
}

// Every type, plus a Variant field holding each kind of value, fields with
// explicit attributes and names the persistence form has to alias.
std::shared_ptr<Recordset> Varied(int rows) {
  auto rs = std::make_shared<Recordset>();
  const auto types = EveryType();
  for (const TypedValue& t : types) rs->AppendField("f" + std::to_string(static_cast<int>(t.type)), t.type, t.size);
  rs->AppendField("tiny", DataType::kTinyInt);
  rs->AppendField("two words", DataType::kVarWChar, 20, 0x20 | 0x4 | 0x8000);
  rs->AppendField("xmlish", DataType::kInteger, 0, 0x10 | 0x100);
  rs->AppendField("c0", DataType::kVariant);
  rs->Open();
  const std::vector<Variant> variants = {
      Variant(int16_t{-3}), Variant(int32_t{1} << 30), Variant(int64_t{INT64_MIN}), Variant(uint8_t{200}),
      Variant(0.1),         Variant(1.5f),            Variant(Currency{-12345}),   Variant::Date(45444.5),
      Variant(true),        Variant::Decimal(-2.25),  Variant("ünï 😀\t<&>"),    Variant(""),
      Variant::Error(5),    Variant(1e308),           Variant(-0.0),             Variant::Null()};
  for (int row = 0; row < rows; ++row) {
    rs->AddNew();
    const bool nulls = row % 3 == 2;
    for (size_t i = 0; i < types.size(); ++i) {
      if (!nulls) rs->SetValue(static_cast<int>(i), types[i].values[row % 2]);  // else left Empty
    }
    const int base = static_cast<int>(types.size());
    rs->SetValue(base, nulls ? Variant::Null() : Variant(int16_t(row % 2 ? -128 : 127)));
    rs->SetValue(base + 1, Variant("r" + std::to_string(row)));
    rs->SetValue(base + 2, Variant(int32_t{row}));
    rs->SetValue(base + 3, variants[static_cast<size_t>(row) % variants.size()]);
  }
  rs->UpdateBatch(3);
  return rs;
}

std::shared_ptr<Recordset> Filtered(std::shared_ptr<Recordset> rs, const char* criteria) {
  rs->SetFilter(Variant(criteria));
  return rs;
}

TEST(PersistedCopy, SameAsSaveAndReload) {
  using Make = std::function<std::shared_ptr<Recordset>()>;
  const std::vector<std::pair<std::string, Make>> cases = {
      {"varied", [] { return Varied(32); }},
      {"no rows", [] { return Varied(0); }},
      {"no fields", [] { return Fabricated({}); }},
      {"filtered and sorted, cursor at the end",
       [] {
         auto rs = Varied(32);
         rs->SetFilter(Variant("xmlish <> 3 AND xmlish <> 7 AND xmlish < 30"));
         rs->SetSort("xmlish DESC");
         while (!rs->IsEOF()) rs->MoveNext();
         return rs;
       }},
      {"filter leaving nothing", [] { return Filtered(Varied(5), "xmlish > 100"); }},
      {"optimized field filtered by equality",
       [] {
         auto rs = People();
         rs->SetOptimize("name", true);
         return Filtered(rs, "name <> 'Ann'");
       }},
      {"reloaded rows, whose fields carry read attributes",
       [] { return Recordset::LoadXml(Varied(6)->SaveXml()); }},
      {"accepted deletion", [] {
         auto rs = Varied(6);
         rs->MoveFirst();
         rs->Delete();
         rs->UpdateBatch(3);
         return rs;
       }},
      {"plain values, filtered", [] { return Filtered(Plain(12), "id <> 4 AND id <> 9"); }},
      {"plain values with an Empty", [] {
         auto rs = Plain(3);
         rs->AppendRow({Variant(int32_t{3}), Variant(int64_t{3}), Variant("x"), Variant()});
         return rs;
       }},
      // The cases the copy hands to the text route.
      {"pending insert, change and deletion of a hidden row",
       [] {
         auto rs = Varied(6);
         rs->MoveFirst();
         rs->Delete();
         rs->MoveNext();
         rs->SetValue("two words", Variant("changed"));
         rs->SetValue("f202", Variant::Null());
         rs->Update();
         rs->AddNew();
         rs->SetValue("xmlish", Variant(int32_t{99}));
         rs->Update();
         return Filtered(rs, "xmlish <> 3");
       }},
      {"NUL inside a text", [] {
         auto rs = Varied(2);
         rs->MoveFirst();
         rs->SetValue("c0", Variant(std::string("a\0b", 3)));
         rs->UpdateBatch(3);
         return rs;
       }},
  };
  for (const auto& [label, make] : cases) ExpectSameAsReload(label, make);
}

TEST(PersistedCopy, ClosedSourceRaises) {
  Recordset closed;
  EXPECT_EQ(ErrorOf([&] { CopyVisibleRowsAsPersisted(closed); }), 3704);
  EXPECT_EQ(ErrorOf([&] { TakeVisibleRowsAsPersisted(closed); }), 3704);
}

// Values shared with another recordset are copied, never moved away from it.
TEST(PersistedCopy, TakingFromASharingCopyLeavesTheOtherWhole) {
  auto original = Plain(6);
  auto sharing = original->Clone();
  const std::string before = original->SaveXml();
  RecordsetRef taken = TakeVisibleRowsAsPersisted(*sharing);
  EXPECT_FALSE(sharing->IsOpen());
  EXPECT_EQ(taken->RecordCount(), 6);
  EXPECT_EQ(original->SaveXml(), before);
}

// Parsed schemas are kept per field shape: more shapes than are kept (two
// of each width, with names of the same length), each copied again after
// the others, still get their own fields.
TEST(PersistedCopy, ManyFieldShapesInTurn) {
  for (int round = 0; round < 2; ++round) {
    for (int shape = 0; shape < 12; ++shape) {
      const int width = shape / 2 + 1;
      const std::string prefix = shape % 2 ? "b" : "a";
      SCOPED_TRACE("round " + std::to_string(round) + ", shape " + std::to_string(shape));
      std::vector<FieldInfo> fields;
      std::vector<Variant> row;
      for (int f = 0; f < width; ++f) {
        fields.push_back({prefix + std::to_string(f), DataType::kInteger});
        row.emplace_back(int32_t{f});
      }
      auto rs = Fabricated(fields, {row});
      RecordsetRef copy = CopyVisibleRowsAsPersisted(*rs);
      ASSERT_EQ(copy->FieldCount(), width);
      EXPECT_EQ(copy->Field(width - 1).name, fields.back().name);
      EXPECT_EQ(copy->ValueAt(0, width - 1).integer(), width - 1);
    }
  }
}

}  // namespace
}  // namespace trelix
