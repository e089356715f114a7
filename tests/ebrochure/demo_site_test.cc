// Categories on the demo site through the real connector: SQLite always,
// PostgreSQL when TRELIX_TEST_PG names a server (required when
// TRELIX_REQUIRE_SERVICES=1).

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "ebrochure/categories.h"
#include "ebrochure/fake_site.h"
#include "frame/object_context.h"

namespace trelix {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The demo site of one engine, made once per test process and removed at its
// end. PostgreSQL schema names carry the process id, so that test processes
// sharing a server do not meet.
class DemoDatabases {
 public:
  explicit DemoDatabases(bool postgres)
      : postgres_(postgres),
        suffix_(postgres ? "_" + std::to_string(::getpid()) : ""),
        project_("ebt_project" + suffix_),
        specs_("ebt_specs" + suffix_) {
    if (postgres) {
      connection_ = Env("TRELIX_TEST_PG");
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / "trelix_ebrochure_XXXXXX").string();
      if (mkdtemp(pattern.data())) dir_ = pattern;
      connection_ = "sqlite:" + dir_;
    }
    const Status status = datagen::CreateDemoSite(connection_, project_, specs_);
    if (!status.ok()) error_ = status.message();
    base::RegisterConnector();
  }
  ~DemoDatabases() {
    if (!postgres_) {
      std::error_code ignored;
      if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
      return;
    }
    PGconn* conn = PQconnectdb(connection_.c_str());
    if (PQstatus(conn) == CONNECTION_OK) {
      const std::string drop = "SET client_min_messages = warning; DROP SCHEMA IF EXISTS " + project_ +
                               " CASCADE; DROP SCHEMA IF EXISTS " + specs_ + " CASCADE";
      PQclear(PQexec(conn, drop.c_str()));
    }
    PQfinish(conn);
  }

  const std::string& connection() const { return connection_; }
  const std::string& project() const { return project_; }
  const std::string& specs() const { return specs_; }
  const std::string& error() const { return error_; }

 private:
  bool postgres_;
  std::string suffix_, project_, specs_, dir_, connection_, error_;
};

const DemoDatabases& Demo(bool postgres) {
  static DemoDatabases sqlite(false);
  if (!postgres) return sqlite;
  static DemoDatabases server(true);
  return server;
}

class DemoSite : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && Env("TRELIX_TEST_PG").empty()) {
      if (Env("TRELIX_REQUIRE_SERVICES") == "1") FAIL() << "TRELIX_TEST_PG is not set";
      GTEST_SKIP() << "TRELIX_TEST_PG is not set";
    }
    const DemoDatabases& demo = Demo(GetParam());
    ASSERT_EQ(demo.error(), "");
    connection_ = demo.connection();
    project_ = demo.project();
    specs_ = demo.specs();
  }

  // The sheet as row id -> row.
  std::map<int32_t, testing::SheetRow> Sheet(const std::string& category, double vehicle, Variant options = Variant(),
                                             int16_t language = 1, const std::string& price = "msrp",
                                             int16_t segmentation = 0) {
    Categories categories;
    RecordsetRef result = categories.GetSpecs(category, language, vehicle, specs_, project_, price, options,
                                              segmentation, 0, connection_);
    std::map<int32_t, testing::SheetRow> rows;
    for (const testing::SheetRow& row : testing::Rows(*result)) rows[row.row_id] = row;
    return rows;
  }

  std::string connection_, project_, specs_;
};

Variant Ids(std::vector<int32_t> ids) {
  std::vector<Variant> items;
  for (int32_t id : ids) items.emplace_back(id);
  return Variant::Array(std::move(items));
}

TEST_P(DemoSite, SheetLines) {
  struct Case {
    const char* category;
    double vehicle;
    std::vector<int32_t> options;  // empty: not an array
    const char* price;
    int16_t language;
    testing::SheetRow expected;
  };
  const char* const kKestrelEngine = "1.5-litre turbo petrol engine, 96 kW";
  const std::vector<Case> cases = {
      // availability: cheapest option by the price column asked for
      {"Comfort", 1001, {}, "msrp", 1, {305, "@O heated front seats", 5, 47, "S", ""}},
      {"Comfort", 1001, {}, "prc90001", 1, {305, "@O heated front seats", 12, 51, "S", ""}},
      // a chosen option on a schema without standard row: the parent answers
      {"Comfort", 1001, {12}, "msrp", 1, {305, "@U heated front seats", 0, 0, "", ""}},
      // option 15 needs option 12: alone it is dropped
      {"Comfort", 1001, {15}, "msrp", 1, {306, "@X navigation system", 0, 0, "-", ""}},
      {"Comfort", 1001, {12, 15}, "msrp", 1, {306, "@O navigation system", 15, 54, "S", ""}},
      {"Safety", 1001, {21}, "msrp", 1, {409, "@D spare wheel", 21, 59, "-", ""}},
      {"Safety", 1001, {20, 21}, "msrp", 1, {409, "@S spare wheel", 0, 31, "S", ""}},
      {"Comfort", 1004, {}, "msrp", 1, {310, "@X front parking sensors", 0, 0, "", ""}},
      {"Comfort", 1006, {}, "msrp", 1, {309, "@S adaptive cruise control", 0, 18, "acc", ""}},
      {"ENG", 1003, {}, "msrp", 1, {115, "@O all-wheel drive", 30, 65, "AWD", ""}},
      {"Safety", 1006, {}, "msrp", 1, {407, "@U", 0, 0, "", ""}},
      {"Safety", 1004, {}, "msrp", 1, {407, "@X", 0, 0, "", ""}},
      // texts
      {"Comfort", 1006, {}, "msrp", 1,
       {307, "Navigation with 9-inch touchscreen", 0, 16, "9.0", "Navigation with 9-inch touchscreen"}},
      {"Comfort", 1001, {}, "msrp", 1, {303, "Cloth", 0, 15, "CLO", "Cloth seats, height-adjustable driver's seat"}},
      {"Comfort", 1001, {}, "msrp", 1, {304, "", 0, 15, "CLO", "Cloth seats, height-adjustable driver's seat"}},
      {"Comfort", 1007, {}, "msrp", 1, {304, "Leather", 0, 15, "LEA", "Heated leather seats"}},
      {"ENG", 1001, {}, "msrp", 1, {116, "96 kW (raw value)", 0, 3, "96", kKestrelEngine}},
      // numbers
      {"ENG", 1001, {}, "msrp", 1, {104, "131 PS (DIN)", 0, 3, "96", kKestrelEngine}},
      {"ENG", 1006, {}, "msrp", 1, {111, "0 g/mi", 0, 6, "0", ""}},
      {"ENG", 1006, {}, "msrp", 1, {102, "@U cc", 0, 0, "", ""}},
      {"DIM", 1001, {}, "msrp", 1, {209, "2024-01-15", 0, 40, "20240115", ""}},
      {"DIM", 1008, {}, "msrp", 1, {209, "99991231", 0, 44, "99991231", ""}},
      {"DIM", 1008, {}, "msrp", 1, {210, "11.60  m", 0, 45, "11.6", ""}},
      {"Price", 1001, {}, "msrp", 1, {500, "CUR|24950", 0, 42, "24950", ""}},
      {"Warranty", 1007, {}, "msrp", 1, {600, "Unlimited years", 0, 46, "9999", ""}},
      {"Warranty", 1008, {}, "msrp", 7, {603, "Unlimited km", 0, 51, "9999999", ""}},
      {"Warranty", 1006, {}, "msrp", 1, {604, "999,999 km", 0, 44, "999999", ""}},
      // other languages
      {"ENG", 1001, {}, "msrp", 3, {102, "1.498 cc", 0, 2, "1498", "1,5-Liter-Turbobenziner, 96 kW"}},
      {"ENG", 1001, {}, "msrp", 3, {108, "9,4 s", 0, 6, "9.4", ""}},
      {"ENG", 1008, {}, "msrp", 8, {101, "ハイブリッド", 0, 1, "HYB", ""}},
  };
  for (const Case& c : cases) {
    const Variant options = c.options.empty() ? Variant() : Ids(c.options);
    const auto rows = Sheet(c.category, c.vehicle, options, c.language, c.price);
    auto found = rows.find(c.expected.row_id);
    ASSERT_NE(found, rows.end()) << c.category << " " << c.expected.row_id;
    EXPECT_EQ(found->second, c.expected) << c.category << " vehicle " << c.vehicle << " language " << c.language;
  }
}

TEST_P(DemoSite, SheetScope) {
  // A segmentation gives its lines in its order.
  Categories categories;
  Variant options;
  RecordsetRef segment = categories.GetSpecs("", 1, 1001, specs_, project_, "msrp", options, 2, 0, connection_);
  std::vector<int32_t> ids;
  for (const testing::SheetRow& row : testing::Rows(*segment)) ids.push_back(row.row_id);
  EXPECT_EQ(ids, (std::vector<int32_t>{103, 109, 301, 305, 401, 500}));

  // All categories: lines of categories without a categories row are left
  // out; the lower-case 'eng' line is in.
  const auto all = Sheet("", 1001);
  EXPECT_EQ(all.count(900), 0u);
  EXPECT_EQ(all.count(116), 1u);
  EXPECT_EQ(all.count(100), 0u) << "heading lines have no schema";

  // A number line over a text value fails the whole sheet.
  try {
    categories.GetSpecs("XERR", 1, 1001, specs_, project_, "msrp", options, 0, 0, connection_);
    FAIL() << "no error";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), kErrTypeMismatch);
    EXPECT_NE(error.description().find("Function GetSpecs"), std::string::npos);
  }
}

TEST_P(DemoSite, CachedSheet) {
  const int32_t handle = GetParam() ? 72 : 71;
  ObjectContext context;
  ScopedObjectContext scope(context);
  Variant options = Ids({12});
  Categories first;
  RecordsetRef fresh = first.GetSpecs("Comfort", 1, 1004, specs_, project_, "msrp", options, 0, handle, connection_);
  Categories second;
  RecordsetRef cached = second.GetSpecs("Comfort", 1, 1004, specs_, project_, "msrp", options, 0, handle, connection_);
  EXPECT_EQ(testing::Rows(*cached), testing::Rows(*fresh));
  EXPECT_EQ(second.UnlimitedText(), "") << "a cache hit runs no query";
  EXPECT_EQ(context.complete_count(), 2);
}

TEST_P(DemoSite, Descriptions) {
  Categories categories;
  RecordsetRef eng = categories.GetDescriptions("ENG", 1, specs_, project_, 0, 0, connection_);
  ASSERT_EQ(eng->FieldCount(), 4);
  EXPECT_EQ(eng->Field(1).name, "Description");
  EXPECT_EQ(eng->Field(3).name, "column_heading");
  EXPECT_EQ(eng->RecordCount(), 17);
  eng->MoveFirst();
  EXPECT_EQ(eng->Value("row_id").integer(), 100);
  EXPECT_EQ(eng->Value("column_heading").string(), "Engine data");

  RecordsetRef all = categories.GetDescriptions("", 1, specs_, project_, 0, 0, connection_);
  ASSERT_EQ(all->FieldCount(), 5);
  EXPECT_EQ(all->Field(3).name, "eb_order_id");

  RecordsetRef segmented = categories.GetDescriptions("ENG", 1, specs_, project_, 2, 0, connection_);
  std::vector<int64_t> ids;
  for (int32_t row = 0; row < segmented->RecordCount(); ++row) ids.push_back(segmented->ValueAt(row, 0).integer());
  EXPECT_EQ(ids, (std::vector<int64_t>{103, 109}));
}

TEST_P(DemoSite, StandardDescriptions) {
  Categories categories;
  Variant vehicles = Ids({1001, 1002});
  RecordsetRef top = categories.StandardDescriptions("", 1, vehicles, specs_, project_, connection_);
  ASSERT_EQ(top->FieldCount(), 4);
  EXPECT_EQ(top->Field(0).name, "vehicles");
  std::vector<std::string> categories_seen;
  for (int32_t row = 0; row < top->RecordCount(); ++row) categories_seen.push_back(vb::ToText(top->ValueAt(row, 3)));
  EXPECT_EQ(categories_seen, (std::vector<std::string>{"Safety", "Comfort", "Engine and performance"}));
  // Comfort: each vehicle's own texts.
  auto comfort = top->ValueAt(1, 0).As<Recordset>();
  ASSERT_TRUE(comfort);
  ASSERT_EQ(comfort->RecordCount(), 2);
  EXPECT_EQ(comfort->ValueAt(0, 1).integer(), 1001);
  auto texts = comfort->ValueAt(0, 0).As<Recordset>();
  ASSERT_TRUE(texts);
  EXPECT_EQ(texts->RecordCount(), 6);

  Variant one = Ids({1002});
  RecordsetRef limited = categories.StandardDescriptions("Comfort", 1, one, specs_, project_, connection_, 3);
  ASSERT_EQ(limited->RecordCount(), 1);
  EXPECT_EQ(limited->ValueAt(0, 0).As<Recordset>()->ValueAt(0, 0).As<Recordset>()->RecordCount(), 3);
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, DemoSite, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "PostgreSQL" : "SQLite"; });

}  // namespace trelix
