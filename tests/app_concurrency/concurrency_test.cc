// Many threads calling every operation at once, the way the service's
// workers do (RunOperation, shared session pool, shared cache): each answer
// is the one the call gives alone, and the error log keeps every line whole.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/operations.h"
#include "app/output.h"
#include "base/connection_pool.h"
#include "base/datagen/generators.h"
#include "common/modVelloxLITE.h"
#include "support/scoped_error_log.h"

namespace trelix::app {
namespace {

namespace fs = std::filesystem;

struct CallCase {
  std::string operation;
  RawArgs args;
};

struct Outcome {
  bool ok = false;
  std::string text;  // the JSON answer, or the error number and description
  bool operator==(const Outcome&) const = default;
};

Outcome Call(const HostSettings& host, const CallCase& call) {
  const OperationSpec* spec = FindOperation(call.operation);
  if (!spec || ValidateArguments(*spec, call.args)) return {false, "rejected call " + call.operation};
  try {
    OperationResult result = RunOperation(*spec, call.args, host);
    return {true, RenderResult(result, OutputFormat::kJson)};
  } catch (const ComError& error) {
    return {false, std::to_string(error.number()) + " " + error.description()};
  }
}

// Every operation, with and without a cache handle where it takes one, and
// two that fail inside the component.
const std::vector<CallCase>& Calls() {
  static const std::vector<CallCase> calls = {
      {"version", {}},
      {"specs", {{"category", "ENG"}, {"language", "1"}, {"vehicle", "1001"}}},
      {"specs", {{"language", "3"}, {"vehicle", "1004"}, {"options", "12,15"}, {"cache", "11"}}},
      {"specs", {{"category", "ENG"}, {"language", "5"}, {"vehicle", "1002"}, {"segmentation", "2"}, {"cache", "11"}}},
      {"specs", {{"category", "XERR"}, {"language", "1"}, {"vehicle", "1001"}}},
      {"descriptions", {{"category", "ENG"}, {"language", "1"}, {"cache", "11"}}},
      {"descriptions", {{"language", "3"}}},
      {"standard-descriptions", {{"category", "ENG"}, {"language", "1"}, {"vehicles", "1001,1004"}}},
      {"compare", {{"vehicles", "1001,1004"}, {"language", "1"}, {"currencies", "EUR"}, {"option-price-field", "msrp"}}},
      {"compare",
       {{"vehicles", "1002,1005"}, {"language", "3"}, {"currencies", "EUR,GBP"}, {"option-price-field", "msrp"},
        {"cache", "11"}, {"website-cache", "12"}, {"optional-advantages", "true"}}},
      {"advantage-descriptions", {{"language", "1"}, {"cache", "11"}}},
      {"advantage-specs", {{"vehicles", "1001,1004"}, {"language", "1"}, {"price-field", "msrp"}}},
      {"format-advantage",
       {{"description", "More power"}, {"format", "#0"}, {"winner-value", "110"}, {"winner-text", "110"},
        {"loser-value", "96"}, {"loser-text", "96"}, {"language", "3"}}},
      {"format-currency", {{"currencies", "EUR,GBP"}, {"price", "24950"}, {"language", "3"}}},
      {"convert-currency", {{"to", "GBP"}, {"price", "24950"}, {"from", "EUR"}}},
      {"convert-currency", {{"to", "XXX"}, {"price", "10"}, {"from", "EUR"}}},
      {"features", {{"vehicles", "1001,1002,1004"}, {"language", "1"}}},
      {"features", {{"vehicles", "1001,1004,1006"}, {"language", "3"}, {"primary", "1001"}}},
  };
  return calls;
}

// The demo site and the error log in one fresh folder.
class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.connection = "sqlite:" + log_.folder();
    ASSERT_TRUE(datagen::CreateDemoSite(host_.connection).ok());
  }
  std::string Log() const { return log_.Text(); }

  testing::ScopedErrorLog log_;
  HostSettings host_;
};

TEST_F(ConcurrencyTest, EveryOperationAnswersFromManyThreadsAsItDoesAlone) {
  std::set<std::string> covered;
  for (const CallCase& call : Calls()) covered.insert(call.operation);
  for (const OperationSpec& spec : ComponentOperations()) EXPECT_TRUE(covered.count(spec.name)) << spec.name;

  std::vector<Outcome> alone;
  for (const CallCase& call : Calls()) alone.push_back(Call(host_, call));
  for (size_t i = 0; i < alone.size(); ++i) {
    const bool fails = Calls()[i].args.count("category") ? Calls()[i].args.at("category") == "XERR"
                                                         : Calls()[i].args.count("to") && Calls()[i].args.at("to") == "XXX";
    EXPECT_EQ(alone[i].ok, !fails) << Calls()[i].operation << ": " << alone[i].text.substr(0, 300);
  }

  constexpr int kThreads = 8, kRounds = 5;
  std::atomic<int> calls{0}, different{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const size_t n = Calls().size();
      for (int round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < n; ++k) {
          const size_t i = (k + static_cast<size_t>(t) * 5) % n;  // every thread starts elsewhere
          ++calls;
          if (!(Call(host_, Calls()[i]) == alone[i])) ++different;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(calls.load(), kThreads * kRounds * static_cast<int>(Calls().size()));
  EXPECT_EQ(different.load(), 0);
  const auto pool = base::SharedConnectionPool()->stats();
  EXPECT_EQ(pool.open, pool.idle) << "a session is still leased";
  EXPECT_LE(pool.open, 2u * kThreads);
}

TEST_F(ConcurrencyTest, ErrorLogLinesAreWholeAndNoneIsLost) {
  const CallCase failing[] = {
      {"specs", {{"category", "XERR"}, {"language", "1"}, {"vehicle", "1001"}}},
      {"convert-currency", {{"to", "XXX"}, {"price", "10"}, {"from", "EUR"}}},
  };
  // Lines one failure writes (nested procedures each log it once).
  size_t lines_per_call[2];
  for (int i = 0; i < 2; ++i) {
    const std::string earlier = Log();
    const size_t before = std::count(earlier.begin(), earlier.end(), '\n');
    ASSERT_FALSE(Call(host_, failing[i]).ok);
    const std::string log = Log();
    lines_per_call[i] = std::count(log.begin(), log.end(), '\n') - before;
    ASSERT_GT(lines_per_call[i], 0u);
  }
  fs::remove(log_.path());

  constexpr int kThreads = 8, kCallsPerThread = 40;
  std::vector<std::thread> threads;
  std::atomic<int> raised{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsPerThread; ++i) raised += !Call(host_, failing[(t + i) % 2]).ok;
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_EQ(raised.load(), kThreads * kCallsPerThread);

  const std::string log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  const std::regex whole(
      R"([0-9/: APM]+\t reports [^\t\r\n]+ program error #-?[0-9]+ \([^\r\n]*\) occurred in module [A-Za-z]+, [A-Za-z_ ]+, line 0\.( This error was generated remotely by [^\r\n]+\.)?)");
  size_t lines = 0, sheets = 0;
  for (size_t start = 0; start < log.size();) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    ++lines;
    EXPECT_TRUE(std::regex_match(line, whole)) << line.substr(0, 300);
    sheets += line.find("occurred in module Categories, Function GetSpecs, line") != std::string::npos;
    start = end + 2;
  }
  const size_t half = kThreads * kCallsPerThread / 2;
  EXPECT_EQ(lines, half * (lines_per_call[0] + lines_per_call[1]));
  EXPECT_EQ(sheets, half);
}

}  // namespace
}  // namespace trelix::app
