// KeyAdvantages on the demo site through the real connector: SQLite always,
// PostgreSQL when TRELIX_TEST_PG names a server (required when
// TRELIX_REQUIRE_SERVICES=1). The expected rows follow the demo site's
// documented cases for each rule.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/connector.h"
#include "base/datagen/generators.h"
#include "common/com_error.h"
#include "common/vb_runtime.h"
#include "keyadvantages/fake_site.h"
#include "keyadvantages/key_advantages.h"

namespace trelix::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The demo site of one engine, made once per test process and removed at
// its end. PostgreSQL schema names carry the process id.
class DemoDatabases {
 public:
  explicit DemoDatabases(bool postgres)
      : postgres_(postgres),
        suffix_(postgres ? "_" + std::to_string(::getpid()) : ""),
        project_("kat_project" + suffix_),
        specs_("kat_specs" + suffix_) {
    if (postgres) {
      connection_ = Env("TRELIX_TEST_PG");
    } else {
      std::string pattern = (std::filesystem::temp_directory_path() / "trelix_keyadv_XXXXXX").string();
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

class KeyAdvantagesDemo : public ::testing::TestWithParam<bool> {
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

  CompareCall Call(const char* vehicles, const char* category, int16_t language = 1) {
    CompareCall call;
    call.vehicles = vehicles;
    call.category = category;
    call.language = language;
    call.specs = specs_;
    call.project = project_;
    call.connection = connection_;
    call.currencies = "EUR,GBP";
    return call;
  }
  static Variant Ids(std::vector<int32_t> ids) {
    std::vector<Variant> items;
    for (int32_t id : ids) items.emplace_back(id);
    return Variant::Array(std::move(items));
  }

  std::string connection_, project_, specs_;
};

TEST_P(KeyAdvantagesDemo, PresenceAdvantages) {
  KeyAdvantages ka;
  CompareCall plain = Call("1001,1004", "Comfort");
  EXPECT_THAT(Rows(*plain.Run(ka)),
              ElementsAre(ResultRow{"1", "Air conditioning: standard (competitor: -)", "1001", "0", "2000", "12",
                                    "Comfort"}));

  // Chosen options count as the base vehicle's equipment.
  CompareCall chosen = Call("1001,1004", "Comfort");
  chosen.base_options = Ids({15, 12});
  chosen.competitor_options = Ids({});
  const std::vector<ResultRow> rows = Rows(*chosen.Run(ka));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[2], (ResultRow{"3", "Adaptive cruise control: adaptive cruise control", "1001", "15", "2040", "15",
                                "Comfort"}));

  // A required value in lower case; a location the competitor lacks; a parent
  // feature recorded as not available.
  EXPECT_THAT(Rows(*Call("1006,1002", "Comfort").Run(ka)),
              ::testing::Contains(ResultRow{"3", "Adaptive cruise control: adaptive cruise control", "1006", "0",
                                            "2040", "15", "Comfort"}));
  EXPECT_THAT(Rows(*Call("1002,1004", "Comfort").Run(ka)),
              ::testing::Contains(ResultRow{"4", "Front parking sensors: standard", "1002", "0", "2050", "0",
                                            "Comfort"}));
  EXPECT_THAT(Rows(*Call("1001,1004", "Safety").Run(ka)),
              ::testing::Contains(ResultRow{"21", "Autonomous emergency braking: standard", "1001", "0", "5030", "0",
                                            "Safety"}));
  for (const ResultRow& row : Rows(*Call("1001,1006", "Safety").Run(ka))) {
    EXPECT_NE(row.row_id, "21") << "the competitor's parent says it has the feature: data missing, no winner";
  }
}

TEST_P(KeyAdvantagesDemo, OptionalAdvantagesByOptionPrice) {
  KeyAdvantages ka;
  CompareCall msrp = Call("1001,1004", "Comfort");
  msrp.display_optional = true;
  RecordsetRef by_msrp = msrp.Run(ka);
  std::vector<std::string> ids;
  for (const ResultRow& row : Rows(*by_msrp)) ids.push_back(row.row_id);
  EXPECT_THAT(ids, ElementsAre("1", "2", "4", "8")) << "keyless: equal prices tie";

  // By the other price column the keyless option is cheaper on the base.
  CompareCall prc = msrp;
  prc.option_price_field = "prc90001";
  const std::vector<ResultRow> rows = Rows(*prc.Run(ka));
  ASSERT_THAT(rows, ::testing::Contains(::testing::Field(&ResultRow::row_id, "7")));
  for (const ResultRow& row : rows) {
    if (row.row_id == "7") EXPECT_EQ(row.winner, "1001");
  }

  CompareCall lane = Call("1001,1004", "Safety");
  lane.display_optional = true;
  RecordsetRef safety = lane.Run(ka);
  for (safety->MoveFirst(); !safety->IsEOF(); safety->MoveNext()) {
    if (vb::ToText(safety->Value("row_id")) != "20") continue;
    EXPECT_EQ(vb::ToText(safety->Value("winner")), "1004") << "only the competitor offers lane assist";
    EXPECT_TRUE(vb::CBool(safety->Value("optionaladvantage")));
  }
}

TEST_P(KeyAdvantagesDemo, RankingAndNumericAdvantages) {
  KeyAdvantages ka;
  struct Case {
    const char* vehicles;
    const char* category;
    int16_t language;
    ResultRow expected;
  };
  const Case cases[] = {
      {"1003,1004", "Comfort", 1,
       {"5", "microfibre upholstery instead of cloth", "1003", "0", "2011", "0", "Comfort"}},
      {"1002,1005", "Comfort", 1, {"5", "leather upholstery instead of cloth", "1005", "0", "2011", "9", "Comfort"}},
      {"1001,1004", "ENG", 1, {"10", "96 kW: 15 kW more power than 81 kW", "1001", "0", "10020", "0", "ENG"}},
      {"1002,1005", "ENG", 3, {"10", "121 kW: 11 kW mehr Leistung als 110 kW", "1005", "0", "10020", "0", "ENG"}},
      {"1007,1008", "ENG", 1, {"11", "Only 6.9 l/100 km (competitor 7.2 l/100 km)", "1008", "0", "10060", "0", "ENG"}},
      {"1001,1005", "ENG", 1, {"12", "0.7 l/100 km lower fuel consumption", "1001", "0", "10060", "0", "ENG"}},
      {"1001,1004", "ENG", 1, {"13", "Top speed 127 mph (competitor 117 mph)", "1001", "0", "10040", "0", "ENG"}},
      {"1002,1005", "ENG", 3, {"14", "0-100 km/h in 8,1 s, 0,4 s schneller", "1005", "0", "10050", "0", "ENG"}},
      {"1007,1006", "ENG", 1, {"16", "All-wheel drive (=?)", "1007", "0", "10100", "0", "ENG"}},
      {"1001,1004", "DIM", 1, {"42", "Turning circle 10.40 m (0.50 m tighter)", "1004", "0", "30100", "0", "DIM"}},
      {"1001,1004", "DIM", 1, {"43", "Kerb weight 1,155 kg, 125 kg lighter", "1004", "0", "30060", "0", "DIM"}},
      {"1006,1007", "Warranty", 1,
       {"50", "unlimited years warranty (competitor: 8 years)", "1007", "0", "23502", "0", "Warranty"}},
      {"1008,1007", "Warranty", 3, {"51", "Garantie bis unbegrenzt km", "1008", "0", "23503", "0", "Warranty"}},
      {"1006,1007", "Warranty", 1, {"52", "Service interval 999,999 km", "1006", "0", "23504", "0", "Warranty"}},
  };
  for (const Case& c : cases) {
    KeyAdvantages fresh;  // the "unlimited" word is per object and language
    CompareCall call = Call(c.vehicles, c.category, c.language);
    EXPECT_THAT(Rows(*call.Run(fresh)), ::testing::Contains(c.expected)) << c.vehicles << " " << c.category;
  }
  // No winner: a tie on the best value, a difference equal to the threshold,
  // a difference under the percentage, one side without a record.
  auto row_ids = [&](const char* vehicles, const char* category) {
    std::vector<std::string> ids;
    CompareCall call = Call(vehicles, category);
    for (const ResultRow& row : Rows(*call.Run(ka))) ids.push_back(row.row_id);
    return ids;
  };
  EXPECT_THAT(row_ids("1001,1004", "Comfort"), ::testing::Not(::testing::Contains("5")));
  EXPECT_THAT(row_ids("1007,1006", "ENG"), ::testing::Not(::testing::Contains("10")));
  EXPECT_THAT(row_ids("1007,1008", "ENG"), ::testing::Not(::testing::Contains("12")));
  EXPECT_THAT(row_ids("1007,1006", "ENG"), ::testing::Not(::testing::Contains("17")));
}

TEST_P(KeyAdvantagesDemo, PriceSchemaAndTheCachedAnswer) {
  KeyAdvantages ka;
  CompareCall call = Call("1001,1002", "Price", 3);
  call.price_field = "prc90001";
  call.base_total = 25000;
  call.competitor_total = 28000;
  call.cache = 4711 + (GetParam() ? 1 : 0);
  const std::vector<ResultRow> expected = {
      {"30", "€25.000,00 (21.250,00 £) statt €28.000,00 (23.800,00 £) (€3.000,00 (2.550,00 £) günstiger)", "1001",
       "0", "90001", "0", "Price"}};
  EXPECT_EQ(Rows(*call.Run(ka)), expected);
  call.base_total = 30000;  // would make the competitor win, but the answer is cached
  EXPECT_EQ(Rows(*call.Run(ka)), expected);
  call.cache = 0;
  EXPECT_EQ(Rows(*call.Run(ka)).at(0).winner, "1002");
}

TEST_P(KeyAdvantagesDemo, QueriesAndCurrencies) {
  KeyAdvantages ka;
  RecordsetRef segment = ka.getAdvantageDescriptions("", 1, specs_, project_, 2, 0, connection_);
  std::vector<std::string> ids;
  for (segment->MoveFirst(); !segment->IsEOF(); segment->MoveNext()) ids.push_back(vb::ToText(segment->Value("row_id")));
  EXPECT_THAT(ids, ElementsAre("10", "30", "1", "20"));

  RecordsetRef all = ka.getAdvantageDescriptions("", 1, specs_, project_, 0, 0, connection_);
  bool saw_location_condition = false;
  for (all->MoveFirst(); !all->IsEOF(); all->MoveNext()) {
    EXPECT_NE(vb::ToText(all->Value("row_id")), "24") << "advantages without a rule are never returned";
    if (vb::ToText(all->Value("row_id")) == "4") {
      EXPECT_EQ(vb::ToText(all->Value("SQL")), "OR (eq.schema_id=2050 AND Location='F')");
      saw_location_condition = true;
    }
    if (vb::ToText(all->Value("row_id")) == "3") {
      EXPECT_EQ(vb::ToText(all->Value("SQL")), "OR (eq.schema_id=2040 AND eq.data_value='ACC')");
    }
  }
  EXPECT_TRUE(saw_location_condition);

  RecordsetRef specs = ka.GetKeyAdvantageSpecs("1001,1004", "x", 1, specs_, project_, "y", Variant("msrp"), 3, 0,
                                               connection_);
  RecordsetRef same = ka.GetKeyAdvantageSpecs("1001,1004", "", 1, specs_, project_, "", Variant("msrp"), 0, 0,
                                              connection_);
  ASSERT_GT(specs->RecordCount(), 0);
  EXPECT_EQ(specs->RecordCount(), same->RecordCount());
  int32_t previous_schema = -1, previous_option = 0;
  for (specs->MoveFirst(); !specs->IsEOF(); specs->MoveNext()) {
    const int32_t schema = vb::CLng(specs->Value("schema_id"));
    const int32_t option = vb::CLng(specs->Value("option_id"));
    ASSERT_TRUE(schema > previous_schema || (schema == previous_schema && option <= previous_option))
        << "by schema ascending, then option descending";
    previous_schema = schema;
    previous_option = option;
  }

  EXPECT_EQ(ka.Format_Currency("EUR,GBP,USD,CHF,JPY", 1000, project_, connection_, 3),
            "€1.000,00 (850,00 £ $ 1.080,00 CHF 960,00 ¥ 162.500)");
  EXPECT_EQ(ka.Convert_Currency("JPY", 100, "EUR", project_, connection_), "16250");
  EXPECT_THROW(ka.Convert_Currency("EUR", 100, "XYZ", project_, connection_), ComError);
}

INSTANTIATE_TEST_SUITE_P(Engines, KeyAdvantagesDemo, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("PostgreSQL") : std::string("SQLite");
                         });

}  // namespace
}  // namespace trelix::testing
