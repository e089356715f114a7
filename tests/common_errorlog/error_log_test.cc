// The procedure error log: the raised error, the log line, concurrent
// appends, a log that cannot be written, and the path found from the
// running module.

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/modVelloxLITE.h"
#include "support/scoped_error_log.h"

namespace trelix {
namespace {

namespace fs = std::filesystem;

// A fresh folder holding a pretend component file; the log goes beside it.
class ErrorLogTest : public ::testing::Test {
 protected:
  static ComError Report(const std::string& module, const std::string& label, const ComError& pending,
                         int32_t line = 0) {
    try {
      HandleProcedureError(module, label, pending, line);
    } catch (const ComError& raised) {
      return raised;
    }
    ADD_FAILURE() << "HandleProcedureError returned without raising";
    return pending;
  }

  testing::ScopedErrorLog log_;
  const std::string& component_ = log_.component();
};

TEST_F(ErrorLogTest, PathsFollowTheComponentFile) {
  EXPECT_EQ(ComponentPath(), component_);
  EXPECT_EQ(ErrorLogPath(), log_.path());
  SetComponentPathOverride("/srv/site/bin/other.component.so");
  EXPECT_EQ(ErrorLogPath(), "/srv/site/bin/other.component_errorlog.txt");
}

TEST(ErrorLogPathTest, DiscoveredFromTheRunningModule) {
  // Linked statically, the running module is this test program.
  SetComponentPathOverride(std::nullopt);
  const std::string exe = fs::canonical("/proc/self/exe").string();
  EXPECT_EQ(ComponentPath(), exe);
  const fs::path exe_path(exe);
  EXPECT_EQ(ErrorLogPath(), (exe_path.parent_path() / (exe_path.stem().string() + "_errorlog.txt")).string());
}

struct ChainCase {
  const char* name;
  const char* source;
  // "<C>" stands for the component path.
  const char* expected_source;
  const char* expected_note;
};

std::string Expand(std::string text, const std::string& component) {
  for (size_t at; (at = text.find("<C>")) != std::string::npos;) text.replace(at, 3, component);
  return text;
}

TEST_F(ErrorLogTest, SourceChainAndLogLine) {
  const ChainCase cases[] = {
      {"born here", "Conversion", "1<C>!KeyAdvantages!Function Convert_Currency!0!1000", "."},
      {"empty source", "", "1<C>!KeyAdvantages!Function Convert_Currency!0!1000", "."},
      {"passed one component", "1/opt/a/base.so!Connector!Function ExecuteQuery!0!1000",
       "2/opt/a/base.so!Connector!Function ExecuteQuery!0!1000!<C>!KeyAdvantages!Function Convert_Currency!0!1000",
       ". This error was generated remotely by /opt/a/base.so, a component of <C>."},
      {"passed here already", "1<C>!Utilitys!Function Calculate!0!1000",
       "2<C>!Utilitys!Function Calculate!0!1000!<C>!KeyAdvantages!Function Convert_Currency!0!1000",
       ". This error was generated remotely by <C>, a component of <C>."},
      // A leading number without any "!" has no name to report.
      {"number without location", "3 components", "4 components!<C>!KeyAdvantages!Function Convert_Currency!0!1000",
       ""},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_.path());
    const ComError raised = Report("KeyAdvantages", "Function Convert_Currency",
                                   ComError(1000, Expand(c.source, component_), "Currency not found", "help.chm", 77));
    EXPECT_EQ(raised.number(), 1000);
    EXPECT_EQ(raised.source(), Expand(c.expected_source, component_));
    EXPECT_EQ(raised.description(), "Currency not found in KeyAdvantages, Function Convert_Currency at line number 0");
    EXPECT_EQ(raised.help_file(), "help.chm");
    EXPECT_EQ(raised.help_context(), 77);

    const std::vector<std::string> lines = log_.Lines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string tail = "\t reports " + component_ +
                             " program error #1000 (Currency not found) occurred in module KeyAdvantages, Function "
                             "Convert_Currency, line 0" +
                             Expand(c.expected_note, component_);
    ASSERT_GT(lines[0].size(), tail.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - tail.size()), tail);
    // The date in front: the general date format, e.g. 5/12/2026 2:03:04 PM.
    EXPECT_TRUE(std::regex_match(lines[0].substr(0, lines[0].size() - tail.size()),
                                 std::regex(R"(\d{1,2}/\d{1,2}/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?)")))
        << lines[0];
  }
}

TEST_F(ErrorLogTest, LineNumberAndNegativeNumbers) {
  const ComError raised =
      Report("Utilitys", "Sub Save_Cache", ComError(-2147220991, "trelix_eb", "Vehicle not found"), 42);
  EXPECT_EQ(raised.number(), -2147220991);
  EXPECT_EQ(raised.source(), "1" + component_ + "!Utilitys!Sub Save_Cache!42!-2147220991");
  EXPECT_EQ(raised.description(), "Vehicle not found in Utilitys, Sub Save_Cache at line number 42");
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" program error #-2147220991 (Vehicle not found) occurred in module Utilitys, Sub "
                          "Save_Cache, line 42."),
            std::string::npos)
      << lines[0];
}

TEST_F(ErrorLogTest, ConcurrentAppendsNeverInterleave) {
  constexpr int kThreads = 8;
  constexpr int kReportsPerThread = 150;
  // Long lines make a torn or interleaved write visible; each thread's lines
  // follow in the order it reported them.
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string description = "thread " + std::to_string(t) + " " + std::string(2000, static_cast<char>('a' + t));
      for (int i = 0; i < kReportsPerThread; ++i) {
        try {
          HandleProcedureError("Categories", "Function GetSpecs", ComError(1000 + t, "trelix_eb", description), i);
        } catch (const ComError&) {
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kReportsPerThread));
  std::vector<int> last(kThreads, -1);
  const std::regex shape(R"([^\t]+\t reports .* program error #10(\d\d) \(thread (\d) ([a-h]{2000})\) occurred in module Categories, Function GetSpecs, line (\d+)\.)");
  for (const std::string& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, shape)) << line.substr(0, 200);
    const int thread = std::stoi(match[2]);
    ASSERT_EQ(std::stoi(match[1]), thread);
    ASSERT_EQ(match[3].str(), std::string(2000, static_cast<char>('a' + thread)));
    EXPECT_EQ(std::stoi(match[4]), last[thread] + 1) << "a line missing, repeated or out of order";
    last[thread] = std::stoi(match[4]);
  }
}

TEST_F(ErrorLogTest, UnwritableLogStillRaises) {
  // No folder at all, and a folder where the log file should be.
  const std::string missing = log_.folder() + "/no/such/folder/trelix_eb.so";
  fs::create_directory(log_.path());
  ::testing::internal::CaptureStderr();
  for (const std::string& path : {missing, component_}) {
    SetComponentPathOverride(path);
    const ComError raised = Report("KeyAdvantages", "Function Compare", ComError(6, "trelix_eb", "Overflow"));
    EXPECT_EQ(raised.number(), 6);
    EXPECT_EQ(raised.source(), "1" + path + "!KeyAdvantages!Function Compare!0!6");
    EXPECT_EQ(raised.description(), "Overflow in KeyAdvantages, Function Compare at line number 0");
  }
  // The lines are not lost: they go to stderr, whole.
  const std::string diverted = ::testing::internal::GetCapturedStderr();
  const std::regex line(R"([^\t\n]+\t reports [^\n]+ program error #6 \(Overflow\) occurred in module KeyAdvantages, Function Compare, line 0\.\r\n)");
  EXPECT_EQ(std::distance(std::sregex_iterator(diverted.begin(), diverted.end(), line), std::sregex_iterator()), 2)
      << diverted;
  EXPECT_TRUE(fs::is_directory(log_.path()));
}

TEST(ToComErrorTest, ConvertsEveryException) {
  auto triple = [](const ComError& e) { return std::tuple(e.number(), e.source(), e.description()); };
  EXPECT_EQ(triple(ToComError(ComError(91, "src", "Object variable not set"))),
            std::tuple(91, "src", "Object variable not set"));
  EXPECT_EQ(triple(ToComError(std::runtime_error("disk on fire"))), std::tuple(440, "trelix_eb", "disk on fire"));
  EXPECT_EQ(triple(ToComError(std::bad_alloc())), std::tuple(7, "trelix_eb", "Out of memory"));
}

TEST_F(ErrorLogTest, InstrumentedPassesResultsAndReportsFailures) {
  EXPECT_EQ(Instrumented("Utilitys", "Function Calculate", [] { return 42; }), 42);
  try {
    Instrumented("Utilitys", "Function Calculate", []() -> int { throw std::out_of_range("index 7"); });
    FAIL() << "no error raised";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), 440);
    EXPECT_EQ(error.source(), "1" + component_ + "!Utilitys!Function Calculate!0!440");
    EXPECT_EQ(error.description(), "index 7 in Utilitys, Function Calculate at line number 0");
  }
  EXPECT_EQ(log_.Lines().size(), 1u);
}

}  // namespace
}  // namespace trelix
