// The HTTP service end to end: a demo site in a temporary folder, the
// service on a free loopback port, requests through a real HTTP client.

#include <brotli/decode.h>
#include <httplib.h>
#include <zlib.h>

#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/http_service.h"
#include "app/operations.h"
#include "base/datagen/generators.h"

namespace trelix::app {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

// One service for the whole suite: creating the site and binding a port
// once keeps the suite fast.
class ServiceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("trelix_app_service_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    if (Status created = datagen::CreateDemoSite("sqlite:" + dir_.string()); !created.ok()) {
      return Publish(-1, "demo site: " + created.message());
    }
    ServiceOptions options;
    options.port = 0;
    options.threads = 4;
    options.access_log = false;
    options.host.connection = "sqlite:" + dir_.string();
    thread_ = std::thread([this, options] {
      Status status = RunService(options, [this](int port) { Publish(port, ""); }, &stop_);
      if (!status.ok()) Publish(-1, status.message());
    });
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, std::chrono::seconds(30), [this] { return port_ != 0; });
  }
  void TearDown() override {
    if (thread_.joinable()) {
      stop_.store(true);
      thread_.join();
    }
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  int port() const { return port_; }
  const std::string& setup_error() const { return setup_error_; }

 private:
  void Publish(int port, std::string error) {
    std::lock_guard lock(mutex_);
    port_ = port;
    setup_error_ = std::move(error);
    ready_.notify_all();
  }

  fs::path dir_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable ready_;
  int port_ = 0;
  std::string setup_error_;
};
ServiceEnvironment* const kService =
    static_cast<ServiceEnvironment*>(::testing::AddGlobalTestEnvironment(new ServiceEnvironment));

struct Answer {
  int status = 0;
  std::string body;
  std::string content_type;
};

class HttpServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(kService->port(), 0) << kService->setup_error();
    client_ = std::make_unique<httplib::Client>("127.0.0.1", kService->port());
    // Targets are sent byte for byte as written: the tests encode themselves.
    client_->set_url_encode(false);
    client_->set_read_timeout(30, 0);
  }

  Answer Get(const std::string& target) {
    auto result = client_->Get(target.c_str());
    if (!result) return Answer{-1, "transport error " + httplib::to_string(result.error()), ""};
    return Answer{result->status, result->body, result->get_header_value("Content-Type")};
  }

  static Json Parse(const Answer& answer) {
    Json json = Json::parse(answer.body, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << answer.body.substr(0, 400);
    return json;
  }

  std::unique_ptr<httplib::Client> client_;
};

TEST_F(HttpServiceTest, HealthAndDemoPagesAnswer) {
  const Answer health = Get("/health"), page = Get("/");
  EXPECT_EQ(std::tuple(health.status, health.body), std::tuple(200, "ok"));
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.content_type.find("text/html"), std::string::npos);
}

TEST_F(HttpServiceTest, SpecsAnswerARecordsetInJsonAndTheSameRowsInXml) {
  Answer answer = Get("/api/specs?category=ENG&language=1&vehicle=1001");
  ASSERT_EQ(answer.status, 200) << answer.body;
  EXPECT_NE(answer.content_type.find("application/json"), std::string::npos);
  Json json = Parse(answer);
  ASSERT_TRUE(json["fields"].is_array() && json["rows"].is_array() && !json["fields"].empty() && !json["rows"].empty())
      << answer.body.substr(0, 400);
  for (const Json& field : json["fields"]) {
    EXPECT_TRUE(field["name"].is_string() && field["type"].is_number_integer() && field.contains("size")) << field;
  }
  // Every row carries exactly the fields, by name.
  for (const Json& row : json["rows"]) {
    ASSERT_TRUE(row.is_object());
    EXPECT_EQ(row.size(), json["fields"].size());
    for (const Json& field : json["fields"]) EXPECT_TRUE(row.contains(field["name"].get<std::string>()));
  }

  // The XML format is the persistence text of the same rows.
  Answer xml = Get("/api/specs?category=ENG&language=1&vehicle=1001&format=xml");
  ASSERT_EQ(xml.status, 200) << xml.body;
  EXPECT_NE(xml.content_type.find("xml"), std::string::npos);
  EXPECT_NE(xml.body.find("<xml"), std::string::npos) << xml.body.substr(0, 300);
  EXPECT_NE(xml.body.find("<s:Schema"), std::string::npos);
  size_t rows = 0;
  for (size_t at = xml.body.find("<z:row"); at != std::string::npos; at = xml.body.find("<z:row", at + 1)) ++rows;
  EXPECT_EQ(rows, json["rows"].size());
}

TEST_F(HttpServiceTest, OtherOperationsAnswer) {
  const std::pair<const char*, std::string> cases[] = {  // the target, its answer: a recordset or vehicles
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=msrp", "recordset"},
      {"/api/compare?vehicles=1001,1004&category=&language=1&currencies=EUR,GBP&option-price-field=msrp"
       "&base-options=12&competitor-options=&optional-advantages=true",
       "recordset"},
      {"/api/features?vehicles=1001,1002,1004&language=1", "vehicles"},
      {"/api/features?vehicles=1001,1004&language=3&primary=1001", "vehicles"},
      {"/api/descriptions?category=ENG&language=1", "recordset"},
  };
  for (const auto& [target, kind] : cases) {
    SCOPED_TRACE(target);
    Answer answer = Get(target);
    ASSERT_EQ(answer.status, 200) << answer.body.substr(0, 400);
    Json json = Parse(answer);
    if (kind == "recordset") {
      EXPECT_TRUE(json["fields"].is_array() && json["rows"].is_array());
    } else {
      EXPECT_TRUE(json["vehicles"].is_array() && !json["vehicles"].empty());
    }
  }
  EXPECT_EQ(Parse(Get("/api/version")).get<std::string>(), "2005 2 8");
}

TEST_F(HttpServiceTest, RefusedParametersAnswer400Or404NamingTheParameter) {
  const std::pair<const char*, const char*> cases[] = {  // the target, the parameter named
      {"/api/specs?language=1", "vehicle"},                                     // missing
      {"/api/specs?vehicle=1001", "language"},                                  // missing
      {"/api/specs?language=1&vehicle=1001&colour=red", "colour"},              // unknown
      {"/api/specs?language=1&vehicle=1001&language=3", "language"},            // repeated
      {"/api/specs?language=one&vehicle=1001", "language"},                     // not a number
      {"/api/specs?language=40000&vehicle=1001", "language"},                   // beyond 16 bits
      {"/api/specs?language=1&vehicle=1001%27", "vehicle"},                     // quote
      {"/api/specs?language=1&vehicle=1001&category=ENG%27%20OR%201%3D1", "category"},
      {"/api/specs?language=1&vehicle=1001&price-field=msrp;DROP", "price-field"},
      {"/api/specs?language=1&vehicle=1001&options=12,,15", "options"},
      {"/api/specs?language=1&vehicle=1001&format=table", "format"},
      {"/api/specs?language=1&vehicle=", "vehicle"},                             // empty value
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EURO&option-price-field=msrp", "currencies"},
      {"/api/compare?vehicles=1001;1004&language=1&currencies=EUR&option-price-field=msrp", "vehicles"},
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=msrp&base-total=1e9",
       "base-total"},
      {"/api/features?vehicles=1001&language=1&primary=x", "primary"},
      {"/api/format-currency?currencies=EUR&price=12%2C5", "price"},
      {"/api/version?x=1", "x"},
      {"/api/version?format=xml", "format"},  // a text result has no XML form
      // The raw query as sent: identical repeats are not merged, "=" in a
      // value stays in it, escapes and UTF-8 must be well-formed.
      {"/api/specs?language=1&vehicle=1001&vehicle=1001", "vehicle"},
      {"/api/format-currency?currencies=EUR&price=1=2", "price"},
      {"/api/specs?language=1&vehicle=1001&category=EN%G1", "category"},
      {"/api/specs?language=1&vehicle=1001&category=%C3%28", "category"},
      // Well-formed, but the component could only fail on them.
      {"/api/specs?category=ENG&language=1&vehicle=1001&price-field=nosuch", "price-field"},
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=nosuch", "option-price-field"},
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=msrp&base-options=12",
       "competitor-options"},
      {"/api/compare?vehicles=1001,1004&language=1&currencies=EUR&option-price-field=msrp&competitor-options=",
       "base-options"},
  };
  // Names of nothing answer 404.
  const std::pair<const char*, const char*> unknown[] = {
      {"/api/no-such-operation", "operation"},
      {"/api/features?vehicles=1001,1002&language=1&category=NOPE", "category"},
      {"/api/features?vehicles=1001,1002&language=1&segment=Nowhere", "segment"},
  };
  using Cases = std::span<const std::pair<const char*, const char*>>;
  for (const auto& [list, status] : {std::pair(Cases(cases), 400), std::pair(Cases(unknown), 404)}) {
    for (const auto& [target, parameter] : list) {
      SCOPED_TRACE(target);
      Answer answer = Get(target);
      EXPECT_EQ(answer.status, status) << answer.body;
      Json json = Parse(answer);
      ASSERT_TRUE(json.contains("error")) << answer.body;
      EXPECT_EQ(json["error"].value("parameter", ""), parameter);
      EXPECT_FALSE(json["error"].value("message", "").empty());
    }
  }
}

TEST_F(HttpServiceTest, ComponentErrorsAnswerTheErrorTriple) {
  // "No current record" (data asked for is not there) is 404; every other
  // component error is 500. Both carry number, source and description.
  const std::pair<const char*, int> cases[] = {
      {"/api/specs?category=NOPE&language=1&vehicle=1001", 404},        // unknown category
      {"/api/format-currency?currencies=XYZ&price=5", 404},               // currency without a rate
      {"/api/convert-currency?to=XXX&price=10&from=EUR", 500},           // the method's own error 1000
      {"/api/specs?category=XERR&language=1&vehicle=1001", 500},         // category without its row: 13
  };
  for (const auto& [target, status] : cases) {
    SCOPED_TRACE(target);
    Answer answer = Get(target);
    EXPECT_EQ(answer.status, status) << answer.body;
    Json json = Parse(answer);
    ASSERT_TRUE(json.contains("error")) << answer.body;
    const Json& error = json["error"];
    ASSERT_TRUE(error["number"].is_number_integer()) << answer.body;
    EXPECT_TRUE(error["source"].is_string());
    EXPECT_FALSE(error["description"].get<std::string>().empty());
    EXPECT_FALSE(error.contains("parameter"));
    EXPECT_EQ(error["number"].get<int>() == 3021, status == 404) << "3021 and only 3021 answers 404";
  }
}

TEST_F(HttpServiceTest, MetricsCountRequestsByOperationAndStatus) {
  ASSERT_EQ(Get("/api/version").status, 200);
  ASSERT_EQ(Get("/api/specs?language=1").status, 400);
  Answer answer = Get("/metrics");
  ASSERT_EQ(answer.status, 200);
  for (const char* line : {"trelix_requests_total{operation=\"version\",status=\"200\"}",
                           "trelix_requests_total{operation=\"specs\",status=\"400\"}",
                           "trelix_request_seconds_count{operation=\"version\"}"}) {
    EXPECT_NE(answer.body.find(line), std::string::npos) << line << "\n" << answer.body.substr(0, 1000);
  }
}

TEST_F(HttpServiceTest, OpenApiListsEveryOperationAndItsParameters) {
  Answer answer = Get("/api/openapi.json");
  ASSERT_EQ(answer.status, 200);
  Json json = Parse(answer);
  ASSERT_TRUE(json["paths"].is_object());
  for (const OperationSpec& spec : ComponentOperations()) {
    SCOPED_TRACE(spec.name);
    std::string path = "/api/" + spec.name;
    ASSERT_TRUE(json["paths"].contains(path));
    std::set<std::string> documented;
    for (const Json& parameter : json["paths"][path]["get"]["parameters"]) {
      documented.insert(parameter["name"].get<std::string>());
      EXPECT_EQ(parameter["in"], "query");
    }
    for (const ArgSpec& arg : spec.args) EXPECT_TRUE(documented.count(arg.name)) << arg.name;
  }
}

// --- compressed answers ----------------------------------------------------------

// The plain answer of a compressed body: decoded at once into a buffer far
// larger than any answer of the demo site.
std::string Decode(const std::string& body, const std::string& coding) {
  if (coding.empty()) return body;
  std::string out(size_t{1} << 24, '\0');
  size_t size = out.size();
  if (coding == "br") {
    const bool done = BrotliDecoderDecompress(body.size(), reinterpret_cast<const uint8_t*>(body.data()), &size,
                                              reinterpret_cast<uint8_t*>(out.data())) == BROTLI_DECODER_RESULT_SUCCESS;
    return done ? out.substr(0, size) : "undecodable br";
  }
  z_stream stream{};
  inflateInit2(&stream, 15 + 16);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  stream.avail_in = static_cast<uInt>(body.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(size);
  const bool done = inflate(&stream, Z_FINISH) == Z_STREAM_END;
  inflateEnd(&stream);
  return done ? out.substr(0, stream.total_out) : "undecodable gzip";
}

// Each answer in the coding the client prefers (q-values honoured), once:
// decoded, it is the plain answer byte for byte, cached or not.
TEST_F(HttpServiceTest, AnswersAreCompressedAsTheClientAccepts) {
  client_->set_decompress(false);
  auto raw = [&](const std::string& target, const std::string& accept) {
    return client_->Get(target.c_str(), httplib::Headers{{"Accept-Encoding", accept}});
  };
  const std::string cached = "/api/specs?language=1&vehicle=1001&cache=1";
  const std::string fresh = "/api/specs?language=1&vehicle=1002";
  const struct {
    std::string target, accept, coding;
  } cases[] = {
      {cached, "gzip, deflate, br", "br"},  // kept with the cached answer: the smallest
      {cached, "gzip, deflate, br", "br"},  // read back from where it is kept
      {cached, "GZIP", "gzip"},
      {cached, "br;q=0, gzip;q=0.5", "gzip"},
      {cached, "br;q=0.9, gzip", "gzip"},
      {cached, "gzip;q=0, br;q=0", ""},
      {cached, "*;q=0.1", "br"},
      {cached, "br;q=x", ""},  // malformed: ignored
      {fresh, "gzip, deflate, br", "gzip"},  // made for one answer: the fastest
      {fresh, "br", "br"},
      {"/", "br", "br"},
      {"/health", "gzip", ""},  // too short to gain
      {"/api/no-such-operation", "gzip", ""},
  };
  for (const auto& c : cases) {
    auto plain = raw(c.target, "identity");
    auto answer = raw(c.target, c.accept);
    ASSERT_TRUE(plain && answer) << c.target;
    EXPECT_EQ(answer->status, plain->status) << c.target;
    EXPECT_EQ(answer->get_header_value("Content-Encoding"), c.coding) << c.target << " " << c.accept;
    EXPECT_EQ(Decode(answer->body, c.coding), plain->body) << c.target << " " << c.accept;
    if (!c.coding.empty()) {
      EXPECT_LT(answer->body.size() * 2, plain->body.size()) << c.target;
    }
    EXPECT_EQ(answer->get_header_value("Vary"), "Accept-Encoding") << c.target;
  }
}

// --- boundary fuzz -----------------------------------------------------------

std::string PercentEncode(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", c);
    out += (c < 0x80 && std::isalnum(c)) || (c != 0 && std::strchr("-_.,", c)) ? std::string(1, static_cast<char>(c)) : escape;
  }
  return out;
}

TEST_F(HttpServiceTest, HostileQueryStringsNeverReachTheComponentAsFaults) {
  const std::vector<std::string> hostile = {
      "", "'", "''", "\"", "1;DROP TABLE con_schema", "1' OR '1'='1", "1001 --", "1001/*", "%", "%%", "\\",
      "99999999999999999999999999", "-1", "-32769", "32768", "2147483648", "0x10", "1e308", "1.", ".5", "NaN",
      "inf", "  1001", "1001 ", "1001,", ",1001", "1001,,1002", std::string(5000, 'A'), std::string(70, 'E'),
      "\xC3\x28", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "caf\xC3\xA9", "ENG\n", "ENG\r\nX-Injected: 1",
      std::string("A\0B", 3), "<script>", "${x}", "{12}", "NULL", "true", "EUR,GBP,", "eur", "E1R", "1001",
      "0", "12,15", "ENG", "EUR"};
  // Valid calls; each request mutates one or two of their parameters, so
  // that most requests get past the other checks.
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> bases = {
      {"specs", {{"category", "ENG"}, {"language", "1"}, {"vehicle", "1001"}, {"options", "12,15"}}},
      {"compare",
       {{"vehicles", "1001,1004"}, {"language", "1"}, {"currencies", "EUR"}, {"option-price-field", "msrp"},
        {"base-options", "12"}, {"base-total", "25000"}}},
      {"features", {{"vehicles", "1001,1004"}, {"language", "1"}, {"category", ""}}},
      {"format-currency", {{"currencies", "EUR,GBP"}, {"price", "1234.5"}, {"language", "1"}}},
      {"convert-currency", {{"to", "GBP"}, {"price", "100"}, {"from", "EUR"}}},
      {"descriptions", {{"category", "ENG"}, {"language", "1"}}},
      {"standard-descriptions", {{"category", "ENG"}, {"language", "1"}, {"vehicles", "1001,1002"}, {"top", "5"}}},
      {"format-advantage",
       {{"description", "%1 more than %2"}, {"format", "0"}, {"winner-value", "5"}, {"winner-text", "five"},
        {"loser-value", "4"}, {"loser-text", "four"}}},
  };

  static const std::vector<std::string> kRawFragments = {
      "&a=b=c", "&=", "&==", "&language=1=1", "&+=+", "&%", "&vehicle=1001'", "&category=ENG+OR+1=1",
      "&options=12&options=12", "&&&", "&price=1,5", "&currencies=EUR%2C%2CGBP", "&language=%2B1"};
  std::mt19937 random(20261205);
  auto pick = [&](const auto& list) { return list[random() % list.size()]; };
  std::map<int, int> statuses;
  std::vector<std::string> faults;
  const int kRequests = 2000;
  for (int i = 0; i < kRequests; ++i) {
    const auto& [operation, base] = pick(bases);
    std::vector<std::pair<std::string, std::string>> params = base;
    int mutations = 1 + static_cast<int>(random() % 2);
    for (int m = 0; m < mutations; ++m) {
      size_t at = random() % params.size();
      switch (random() % 6) {
        case 0:  // repeat a parameter with another value
          params.emplace_back(params[at].first, pick(hostile));
          break;
        case 1:  // an unknown or hostile name
          params.emplace_back(random() % 2 ? "bogus" : pick(hostile), pick(hostile));
          break;
        case 2:  // drop one
          params.erase(params.begin() + static_cast<long>(at));
          if (params.empty()) params.emplace_back("language", "1");
          break;
        default:  // a hostile value
          params[at].second = pick(hostile);
      }
    }
    std::string query;
    for (const auto& [name, value] : params) {
      if (!query.empty()) query += '&';
      query += PercentEncode(name);
      if (random() % 20 == 0) continue;  // a name without "="
      query += '=';
      query += PercentEncode(value) + (random() % 25 == 0 ? "%G" : "");  // a broken escape now and then
    }
    // Now and then a fragment as a careless or hostile client writes it,
    // unencoded.
    if (random() % 8 == 0) query += pick(kRawFragments);
    std::string target = "/api/" + operation + "?" + query;
    Answer answer = Get(target);
    ++statuses[answer.status];
    const Json json = Json::parse(answer.body, nullptr, false);
    const bool error_object = !json.is_discarded() && json.contains("error");
    // A 500 is right only where it is the component's own answer about the
    // data: a currency pair without a rate (1000, "Conversion"). Anything
    // else is a value the boundary should have refused or a fault. Every
    // refusal but 414 carries an error object.
    const bool accepted = answer.status == 200 || answer.status == 414 ||
                          ((answer.status == 400 || answer.status == 404) && error_object) ||
                          (answer.status == 500 && error_object && json["error"].value("number", 0) == 1000);
    if (!accepted && faults.size() < 10) {
      faults.push_back(std::to_string(answer.status) + " " + target.substr(0, 300) + " -> " + answer.body.substr(0, 300));
    }
  }
  for (const std::string& fault : faults) ADD_FAILURE() << fault;
  std::string summary;
  for (auto [status, count] : statuses) summary += std::to_string(status) + ":" + std::to_string(count) + " ";
  RecordProperty("statuses", summary);
  EXPECT_GT(statuses[400], kRequests / 4) << summary;
  EXPECT_GT(statuses[200], kRequests / 20) << summary;
  EXPECT_LT(statuses[500], kRequests / 20) << summary;
  EXPECT_EQ(Get("/health").body, "ok");
}

}  // namespace
}  // namespace trelix::app
