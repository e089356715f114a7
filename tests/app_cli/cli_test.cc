// The trelix_eb executable as a user runs it: exit status, stdout and stderr
// of real processes against a demo site in a temporary folder.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Output must not depend on the machine's locale.
    setenv("TRELIX_DECIMAL_SEPARATOR", ".", 1);
    setenv("LC_ALL", "C", 1);
    for (const char* name : {"TRELIX_CONNECTION", "TRELIX_PROJECT", "TRELIX_SPECS", "TRELIX_CONFIG", "TRELIX_PORT"}) {
      unsetenv(name);
    }
    dir_ = fs::temp_directory_path() / ("trelix_app_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    Outcome created = Exec({"demo-db", dir_.string()});
    if (created.exit_code != 0) setup_error_ = "demo-db: " + created.err + created.out;
  }

  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  void SetUp() override { ASSERT_EQ(setup_error_, ""); }

  static std::string Connection() { return "sqlite:" + dir_.string(); }

  // Runs trelix_eb with `args` (each quoted for the shell); stdout and
  // stderr go through files so that neither can fill a pipe and block the child.
  static Outcome Exec(const std::vector<std::string>& args) {
    static int counter = 0;
    const std::string base = (fs::temp_directory_path() / ("trelix_cli_run_" + std::to_string(::getpid()) + "_" +
                                                           std::to_string(++counter)))
                                 .string();
    std::string command = std::string(TRELIX_BINARY_DIR) + "/trelix_eb";
    for (const std::string& arg : args) command += " '" + std::regex_replace(arg, std::regex("'"), "'\\''") + "'";
    const int status = std::system((command + " </dev/null >" + base + ".out 2>" + base + ".err").c_str());
    Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(base + ".out"),
                ReadFile(base + ".err")};
    fs::remove(base + ".out");
    fs::remove(base + ".err");
    return run;
  }

  // A component subcommand on the demo site.
  static Outcome ExecOnSite(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--connection", Connection()});
    return Exec(args);
  }

  static inline fs::path dir_;
  static inline std::string setup_error_;
};

std::string Describe(const std::vector<std::string>& args, const Outcome& run) {
  std::string text;
  for (const std::string& arg : args) text += arg + " ";
  return text + "\n exit " + std::to_string(run.exit_code) + "\n out: " + run.out.substr(0, 400) +
         "\n err: " + run.err.substr(0, 400);
}

TEST_F(CliTest, SuccessfulCallsPrintTheirResult) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {  // the arguments, a text in the output
      {{"version"}, "2005 2 8"}, {{"specs", "--category", "ENG", "--language", "1", "--vehicle", "1001"}, ""},
      {{"compare", "--vehicles", "1001,1004", "--language", "1", "--currencies", "EUR", "--option-price-field",
        "msrp"},
       ""},
      {{"descriptions", "--category", "ENG", "--language", "1"}, ""},
  };
  for (const auto& [args, expected_in_out] : cases) {
    Outcome run = ExecOnSite(args);
    SCOPED_TRACE(Describe(args, run));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_FALSE(run.out.empty());
    EXPECT_NE(run.out.find(expected_in_out), std::string::npos);
  }
}

TEST_F(CliTest, JsonOfSpecsIsARecordsetWithRows) {
  std::vector<std::string> args = {"specs", "--category", "ENG", "--language", "1", "--vehicle", "1001",
                                   "--format", "json"};
  Outcome run = ExecOnSite(args);
  ASSERT_EQ(run.exit_code, 0) << Describe(args, run);
  Json json = Json::parse(run.out, nullptr, false);
  ASSERT_FALSE(json.is_discarded()) << run.out.substr(0, 400);
  ASSERT_TRUE(json["fields"].is_array());
  ASSERT_TRUE(json["rows"].is_array());
  EXPECT_FALSE(json["rows"].empty());

  // The XML form holds the same rows.
  args.back() = "xml";
  Outcome xml = ExecOnSite(args);
  ASSERT_EQ(xml.exit_code, 0) << Describe(args, xml);
  size_t rows = 0;
  for (size_t at = xml.out.find("<z:row"); at != std::string::npos; at = xml.out.find("<z:row", at + 1)) ++rows;
  EXPECT_EQ(rows, json["rows"].size());
}

TEST_F(CliTest, UsageErrorsExitWith2) {
  const std::vector<std::vector<std::string>> cases = {
      {},                                                      // no subcommand
      {"no-such-command"},                                     // unknown subcommand
      {"specs", "--category", "ENG", "--vehicle", "1001"},     // missing --language
      {"specs", "--language", "x", "--vehicle", "1001"},       // not a number
      {"specs", "--language", "1", "--vehicle", "10'01"},      // quote in an id
      {"specs", "--language", "1", "--vehicle", "1001", "--format", "yaml"},
      {"specs", "--language", "1", "--vehicle", "1001", "--bogus", "1"},
      {"compare", "--vehicles", "1001,1004", "--language", "1", "--currencies", "EURO", "--option-price-field",
       "msrp"},
      {"convert-currency", "--to", "EUR", "--price", "1e5", "--from", "GBP"},
      {"compare", "--vehicles", "1001,1004", "--language", "1", "--currencies", "EUR", "--option-price-field",
       "msrp", "--base-options", "12"},                         // one option list without the other
      {"calculate", "1+1", "--format", "xml"},                 // a text has no XML form
      {"serve", "--config", "/nonexistent/trelix.json"},
      {"serve", "--port", "70000"},
      {"sql", "SELECT 1"},                                     // missing --dialect
      {"sql", "--dialect", "oracle", "SELECT 1"},
      {"eval"},                                                // missing expression
  };
  for (const auto& args : cases) {
    // Rejected before any database is opened: no connection needed.
    Outcome run = Exec(args);
    SCOPED_TRACE(Describe(args, run));
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_FALSE(run.err.empty());
  }
}

TEST_F(CliTest, ComponentErrorsExitWith1AndNameTheError) {
  const std::pair<std::vector<std::string>, int> cases[] = {  // the arguments ("@": the site), the error number
      {{"convert-currency", "--connection", "@", "--to", "XXX", "--price", "10", "--from", "EUR"}, 1000},
      {{"format-currency", "--connection", "@", "--currencies", "XYZ", "--price", "5"}, 3021},
      {{"specs", "--connection", "@", "--category", "NOPE", "--language", "1", "--vehicle", "1001"}, 3021},
      {{"calculate", "1/0"}, 11},
  };
  const std::regex line(R"(trelix_eb: error (-?\d+) \(([^)]+)\): (.+)\n?)");
  for (auto [args, number] : cases) {
    std::replace(args.begin(), args.end(), std::string("@"), Connection());
    Outcome run = Exec(args);
    SCOPED_TRACE(Describe(args, run));
    EXPECT_EQ(run.exit_code, 1);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(run.err, match, line));
    EXPECT_EQ(std::stoi(match[1]), number);
    EXPECT_FALSE(match[3].str().empty());

    // With --format json the same triple is on stdout as a JSON object.
    args.insert(args.end(), {"--format", "json"});
    Outcome json_run = Exec(args);
    EXPECT_EQ(json_run.exit_code, 1);
    Json json = Json::parse(json_run.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << json_run.out;
    EXPECT_EQ(json["error"]["number"], number);
    EXPECT_EQ(json["error"]["source"], match[2].str());
    EXPECT_EQ(json["error"]["description"], match[3].str());
  }
}

TEST_F(CliTest, TraceWritesOneJsonLinePerConnectorCall) {
  fs::path trace = dir_ / "trace.jsonl";
  std::vector<std::string> args = {"specs", "--category", "ENG", "--language", "1", "--vehicle", "1001",
                                   "--cache", "7", "--trace", trace.string()};
  Outcome run = ExecOnSite(args);
  ASSERT_EQ(run.exit_code, 0) << Describe(args, run);
  std::istringstream lines(ReadFile(trace));
  const std::set<std::string> ops = {"ExecuteQuery", "ExecuteShape", "GetCachedRecordset", "CacheRecordset"};
  std::set<std::string> seen;
  int count = 0;
  for (std::string text; std::getline(lines, text);) {
    ++count;
    Json json = Json::parse(text, nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << text;
    ASSERT_TRUE(json["op"].is_string() && json["database"].is_string() && json["text"].is_string() &&
                json["handle"].is_number_integer() && json["ms"].is_number())
        << text;
    const std::string op = json["op"];
    EXPECT_TRUE(ops.count(op)) << text;
    EXPECT_FALSE(json["text"].get<std::string>().empty()) << text;
    EXPECT_GE(json["ms"].get<double>(), 0.0);
    seen.insert(op);
    if (op != "ExecuteShape") {
      EXPECT_EQ(json["handle"], op == "ExecuteQuery" ? 0 : 7) << text;
    }
  }
  EXPECT_GT(count, 0);
  EXPECT_TRUE(seen.count("ExecuteQuery") || seen.count("ExecuteShape"));
  EXPECT_TRUE(seen.count("GetCachedRecordset"));

  // The file is appended to, never truncated.
  ASSERT_EQ(ExecOnSite(args).exit_code, 0);
  const std::string both = ReadFile(trace);
  EXPECT_GE(std::count(both.begin(), both.end(), '\n'), 2 * count - 1);
}

TEST_F(CliTest, ToolSubcommandsPrintTheirValue) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {  // the arguments, the whole output
      {{"eval", "1+2"}, "3\n"}, {{"eval", "\"a\" & 1"}, "a1\n"}, {{"eval", "7\\2"}, "3\n"}, {{"eval", "1/4"}, "0.25\n"},
      {{"eval", "Null"}, "Null\n"}, {{"condition", "({12} or {15}) and not {20}", "--options", "12"}, "True\n"},
      {{"condition", "({12} or {15}) and not {20}", "--options", "12,20"}, "False\n"},
      {{"condition", "({12} or {15}) and not {20}", "--options", ""}, "False\n"}, {{"calculate", "10/4"}, "2.5\n"},
      {{"calculate", "3*4"}, "12\n"}, {{"calculate", "10/4", "--format", "json"}, "\"2.5\"\n"},
      {{"condition", "{12}", "--options", "12", "--format", "json"}, "\"True\"\n"},
      {{"format-number", "1234.5", "--decimals", "2", "--language", "3", "--format", "json"}, "\"1.234,50\"\n"},
      {{"format-number", "1234.5", "--decimals", "2", "--language", "1"}, "1,234.50\n"},
      {{"format-number", "1234.5", "--decimals", "2", "--language", "3"}, "1.234,50\n"},
      {{"sql", "--dialect", "sqlite", "SELECT TOP 5 a FROM t ORDER BY a DESC"},
       "SELECT a AS \"a\" FROM t ORDER BY a DESC LIMIT 5\n"},
      {{"sql", "--dialect", "postgres", "SELECT TOP 5 a FROM t ORDER BY a DESC"},
       "SELECT a AS \"a\" FROM t ORDER BY a DESC NULLS LAST LIMIT 5\n"},
  };
  for (const auto& [args, out] : cases) {
    Outcome run = Exec(args);
    SCOPED_TRACE(Describe(args, run));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, out);
  }
}

TEST_F(CliTest, EvalJsonNamesTheVbScriptType) {
  struct Case {
    const char *expression, *type;
    Json value;
  };
  const Case cases[] = {
      {"1+2", "Integer", 3}, {"32767+1", "Long", 32768}, {"2147483647+1", "Double", 2147483648.0},
      {"1/4", "Double", 0.25}, {"\"x\" & \"y\"", "String", "xy"}, {"1=1", "Boolean", true}, {"Null", "Null", nullptr},
      {"Empty", "Empty", nullptr}, {"CCur(1.5)", "Currency", 1.5},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"eval", c.expression, "--format", "json"};
    Outcome run = Exec(args);
    SCOPED_TRACE(Describe(args, run));
    ASSERT_EQ(run.exit_code, 0);
    Json json = Json::parse(run.out, nullptr, false);
    ASSERT_FALSE(json.is_discarded());
    EXPECT_EQ(json["type"], c.type);
    if (c.value.is_number()) {
      ASSERT_TRUE(json["value"].is_number());
      EXPECT_DOUBLE_EQ(json["value"].get<double>(), c.value.get<double>());
    } else {
      EXPECT_EQ(json["value"], c.value);
    }
  }
}

}  // namespace
