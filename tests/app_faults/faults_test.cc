// Faults under the component, seen from the operations the service runs:
// damaged or locked SQLite files, a PostgreSQL server stopped in the middle
// of a run and started again, a statement held up past the statement
// timeout, Redis going away and corrupt cache entries, an error log that
// cannot be written. Every case ends with a clear error to the caller (or,
// for the cache, a reported miss), a log line, no session left leased, and
// the same answers as before once the fault is gone.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/operations.h"
#include "app/output.h"
#include "base/cache_counters.h"
#include "base/connection_pool.h"
#include "base/connector.h"
#include "base/datagen/generators.h"
#include "base/recordset_cache.h"
#include "common/modVelloxLITE.h"
#include "support/scoped_error_log.h"
#include "throwaway_servers.h"

namespace trelix::app {
namespace {

namespace fs = std::filesystem;
using base::kErrCommand;
using base::kErrConnection;
using base::kErrTimeout;

// Without its programs a server case skips, or fails where CI promises
// the services (TRELIX_REQUIRE_SERVICES=1).
#define NEED_PROGRAMS_OR_SKIP(missing)                                \
  do {                                                                \
    if (const std::string why = (missing); !why.empty()) {            \
      const char* required = std::getenv("TRELIX_REQUIRE_SERVICES");  \
      if (required && std::string(required) == "1") FAIL() << why;    \
      GTEST_SKIP() << why;                                            \
    }                                                                 \
  } while (0)

struct Outcome {
  bool ok = false;
  std::string output;  // the JSON answer
  int32_t number = 0;
  std::string description;
};

Outcome Call(const HostSettings& host, const std::string& name, const RawArgs& args) {
  const OperationSpec* spec = FindOperation(name);
  if (!spec || ValidateArguments(*spec, args)) {
    ADD_FAILURE() << "bad call " << name;
    return {};
  }
  try {
    OperationResult result = RunOperation(*spec, args, host);
    return {true, RenderResult(result, OutputFormat::kJson), 0, ""};
  } catch (const ComError& error) {
    return {false, "", error.number(), error.description()};
  }
}

const RawArgs kSheet = {{"category", "ENG"}, {"language", "1"}, {"vehicle", "1001"}};

// Every lease has come back: whatever is open is idle.
void ExpectNoSessionLeased() {
  const auto stats = base::SharedConnectionPool()->stats();
  EXPECT_EQ(stats.open, stats.idle) << "a session is still leased";
}

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { base::SharedConnectionPool()->Clear(); }  // earlier cases' sessions are not this case's

  // Log lines of failed spec sheets: the outermost procedure logs once per call.
  size_t SheetFailuresLogged() const {
    size_t count = 0;
    for (const std::string& line : log_.Lines()) {
      count += line.find("occurred in module Categories, Function GetSpecs, line") != std::string::npos;
    }
    return count;
  }

  // The demo site on SQLite in this case's folder; `options` follow the path.
  HostSettings SqliteSite(const std::string& options = "") {
    fs::create_directory(dir_ / "site");
    const Status created = datagen::CreateDemoSite("sqlite:" + (dir_ / "site").string());
    EXPECT_TRUE(created.ok()) << created.message();
    HostSettings host;
    host.connection = "sqlite:" + (dir_ / "site").string() + options;
    return host;
  }

  testing::ScopedErrorLog log_;  // the sites go into its folder too
  const fs::path dir_ = log_.folder();
};

// Another process holding the lock a committing writer holds: readers wait
// for it and give up after the busy timeout. (Locks of this process would
// not keep its own connections out.)
class WriterLock {
 public:
  explicit WriterLock(const std::string& file) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);  // or the release never reads end-of-file
      const int fd = ::open(file.c_str(), O_RDWR);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      lock.l_start = 0x40000000;  // the pending, reserved and shared lock bytes
      lock.l_len = 512;
      char c = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 1 : 0;
      (void)!::write(ready[1], &c, 1);
      (void)!::read(release[0], &c, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char c = 0;
    held_ = ::read(ready[0], &c, 1) == 1 && c == 1;
    ::close(ready[0]);
    release_ = release[1];
  }
  ~WriterLock() {
    if (pid_ <= 0) return;
    ::close(release_);
    ::waitpid(pid_, nullptr, 0);
  }
  bool held() const { return held_; }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

TEST_F(FaultTest, SqliteFileMissingLockedOrDamaged) {
  const HostSettings host = SqliteSite("?statement_timeout=300");
  const fs::path file = dir_ / "site" / "demo_project.sqlite";
  const fs::path saved = dir_ / "saved.sqlite";
  fs::copy_file(file, saved);
  const Outcome before = Call(host, "specs", kSheet);
  ASSERT_TRUE(before.ok) << before.description;

  auto overwrite = [&](size_t offset, const std::string& bytes) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  std::unique_ptr<WriterLock> lock;
  struct Fault {
    const char* name;
    std::function<void()> apply, undo;
    std::vector<int32_t> numbers;  // acceptable error numbers
    const char* says;              // in the description
  };
  auto restore = [&] { fs::copy_file(saved, file, fs::copy_options::overwrite_existing); };
  const std::vector<Fault> faults = {
      {"missing", [&] { fs::rename(file, dir_ / "away.sqlite"); }, [&] { fs::rename(dir_ / "away.sqlite", file); },
       {kErrConnection}, "demo_project"},
      {"locked", [&] { lock = std::make_unique<WriterLock>(file.string()); ASSERT_TRUE(lock->held()); },
       [&] { lock.reset(); }, {kErrTimeout, kErrConnection}, "locked"},
      {"header overwritten", [&] { overwrite(0, std::string(100, 'x')); }, restore, {kErrConnection}, "not a database"},
      // A write gone wrong: the pages are garbage, and the header's change
      // counter moved, so readers drop what they had cached.
      {"pages overwritten",
       [&] {
         overwrite(4096, std::string(fs::file_size(file) - 4096, '\x5a'));
         overwrite(24, "\x7f\x7f\x7f\x7f");
       },
       restore, {kErrConnection, kErrCommand}, "malformed"},
      {"truncated", [&] { fs::resize_file(file, fs::file_size(file) / 3); }, restore, {kErrConnection, kErrCommand},
       ""},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const size_t logged = SheetFailuresLogged();
    fault.apply();
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Outcome failed = Call(host, "specs", kSheet);
      ASSERT_FALSE(failed.ok) << "a damaged site answered: " << failed.output.substr(0, 200);
      EXPECT_NE(std::find(fault.numbers.begin(), fault.numbers.end(), failed.number), fault.numbers.end())
          << failed.number << " " << failed.description;
      EXPECT_NE(failed.description.find(fault.says), std::string::npos) << failed.description;
      ExpectNoSessionLeased();
    }
    EXPECT_EQ(SheetFailuresLogged(), logged + 2);
    fault.undo();
    const Outcome after = Call(host, "specs", kSheet);
    ASSERT_TRUE(after.ok) << after.description;
    EXPECT_EQ(after.output, before.output);
    ExpectNoSessionLeased();
  }
  EXPECT_LE(base::SharedConnectionPool()->stats().open, 2u);
}

TEST_F(FaultTest, UnwritableErrorLogFolderKeepsTheLinesOnStderr) {
  const HostSettings host = SqliteSite();
  // The component's folder is a file: nothing can be created in it, even by root.
  std::ofstream(dir_ / "not_a_folder") << "x";
  SetComponentPathOverride((dir_ / "not_a_folder" / "trelix_eb.so").string());
  RawArgs failing = kSheet;
  failing["category"] = "XERR";  // a category without its sheet row: error 13
  ::testing::internal::CaptureStderr();
  const Outcome failed = Call(host, "specs", failing);
  const std::string diverted = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.number, 13);
  EXPECT_NE(diverted.find("program error #13"), std::string::npos) << diverted;
  EXPECT_NE(diverted.find("Function GetSpecs, line 0"), std::string::npos) << diverted;
  ExpectNoSessionLeased();
  // Writable again: the log takes the next line, and the service answers.
  SetComponentPathOverride(log_.component());
  EXPECT_FALSE(Call(host, "specs", failing).ok);
  EXPECT_EQ(SheetFailuresLogged(), 1u);
  EXPECT_TRUE(Call(host, "specs", kSheet).ok);
}

// A psql session of the test: holds a lock inside an open transaction.
class PsqlSession {
 public:
  explicit PsqlSession(const std::string& connection)
      : pipe_(::popen(("psql -q -v ON_ERROR_STOP=1 '" + connection + "' >/dev/null 2>&1").c_str(), "w")) {}
  ~PsqlSession() {
    if (pipe_) ::pclose(pipe_);
  }
  void Send(const std::string& sql) {
    std::fputs((sql + "\n").c_str(), pipe_);
    std::fflush(pipe_);
  }

 private:
  FILE* pipe_;
};

// Waits (up to 10 s) until some session holds an exclusive lock on the
// table: a loaded machine may start the holding session late.
bool LockGranted(const std::string& connection, const std::string& table) {
  const std::string command = "psql -tAc \"SELECT 1 FROM pg_locks l JOIN pg_class c ON c.oid = l.relation WHERE c.relname = '" +
                              table + "' AND l.mode = 'AccessExclusiveLock' AND l.granted\" '" + connection + "' 2>/dev/null";
  for (int i = 0; i < 200; ++i) {
    if (testing::ShellOutput(command).find('1') != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

TEST_F(FaultTest, PostgresStoppedMidRunRecoversWithoutRestartAndTimesOutSlowStatements) {
  NEED_PROGRAMS_OR_SKIP(testing::PostgresMissing());
  testing::ThrowawayPostgres server;
  ASSERT_EQ(server.error(), "");
  const Status created = datagen::CreateDemoSite(server.connection());
  ASSERT_TRUE(created.ok()) << created.message();
  HostSettings host;
  host.connection = server.connection() + "?statement_timeout=1000";
  const Outcome before = Call(host, "specs", kSheet);
  ASSERT_TRUE(before.ok) << before.description;

  // Callers keep asking while the server goes away and comes back: each
  // call answers in full or fails with an error, never with part of a sheet.
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0}, wrong{0};
  std::mutex mutex;
  std::vector<Outcome> failures;
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      while (!stop) {
        Outcome outcome = Call(host, "specs", kSheet);
        if (outcome.ok) {
          (outcome.output == before.output ? answered : wrong)++;
        } else {
          std::lock_guard lock(mutex);
          failures.push_back(std::move(outcome));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(server.Stop()) << server.error();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const Outcome down = Call(host, "specs", kSheet);
  ASSERT_TRUE(server.Start()) << server.error();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  stop = true;
  for (auto& caller : callers) caller.join();

  EXPECT_FALSE(down.ok);
  EXPECT_EQ(down.number, kErrConnection) << down.description;
  EXPECT_NE(down.description.find("127.0.0.1"), std::string::npos) << down.description;
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(answered.load(), 0);
  for (const Outcome& failure : failures) {
    EXPECT_TRUE(failure.number == kErrConnection || failure.number == kErrCommand)
        << failure.number << " " << failure.description;
    EXPECT_FALSE(failure.description.empty());
  }
  EXPECT_EQ(SheetFailuresLogged(), failures.size() + 1);
  ExpectNoSessionLeased();
  for (int i = 0; i < 3; ++i) {
    const Outcome after = Call(host, "specs", kSheet);
    ASSERT_TRUE(after.ok) << after.description;
    EXPECT_EQ(after.output, before.output);
  }
  EXPECT_LE(base::SharedConnectionPool()->stats().open, 8u);

  // A slow database: a table held by another session's lock keeps the
  // statement waiting until the statement timeout cancels it.
  PsqlSession holder(server.connection());
  holder.Send("BEGIN; LOCK TABLE demo_project.e_brochure IN ACCESS EXCLUSIVE MODE;");
  ASSERT_TRUE(LockGranted(server.connection(), "e_brochure")) << "the other session never took its lock";
  const size_t logged = SheetFailuresLogged();
  const auto started = std::chrono::steady_clock::now();
  const Outcome slow = Call(host, "specs", kSheet);
  EXPECT_FALSE(slow.ok);
  EXPECT_EQ(slow.number, kErrTimeout) << slow.description;
  EXPECT_NE(slow.description.find("statement timeout of 1000 ms"), std::string::npos) << slow.description;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(SheetFailuresLogged(), logged + 1);
  ExpectNoSessionLeased();
  holder.Send("ROLLBACK;");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const Outcome after = Call(host, "specs", kSheet);
  ASSERT_TRUE(after.ok) << after.description;
  EXPECT_EQ(after.output, before.output);
}

TEST_F(FaultTest, RedisStoppedRestartedAndCorruptEntriesAreReportedMisses) {
  NEED_PROGRAMS_OR_SKIP(testing::RedisMissing());
  testing::ThrowawayRedis redis;
  ASSERT_EQ(redis.error(), "");
  const HostSettings host = SqliteSite();
  ASSERT_TRUE(base::ConfigureCache(redis.url()).ok());
  std::mutex mutex;
  std::vector<std::string> reports;
  base::SetCacheReporter([&](std::string_view message) {
    std::lock_guard lock(mutex);
    reports.emplace_back(message);
  });
  auto reported = [&](const std::string& text) {
    std::lock_guard lock(mutex);
    return std::count_if(reports.begin(), reports.end(),
                         [&](const std::string& r) { return r.find(text) != std::string::npos; });
  };
  auto& counters = base::ProcessCacheCounters();
  RawArgs cached = kSheet;
  cached["cache"] = "4242";

  const Outcome first = Call(host, "specs", cached);
  ASSERT_TRUE(first.ok) << first.description;
  // The next call is the same answer, read from the cache.
  auto expect_hit = [&](const char* why) {
    const uint64_t hits = counters.hits;
    EXPECT_EQ(Call(host, "specs", cached).output, first.output);
    EXPECT_EQ(counters.hits.load(), hits + 1) << why;
  };
  expect_hit("the first answer was not cached");
  EXPECT_NE(redis.Cli("--scan --pattern 'trelix:4242:*'"), "");

  // Corrupt and truncated entries: a miss, reported, and rewritten.
  for (const char* damage : {"string.sub(v, 1, math.floor(#v / 2))", "\"<xml><rs:data><z:row\""}) {
    SCOPED_TRACE(damage);
    redis.Cli(std::string("eval 'for _, k in ipairs(redis.call(\"keys\", \"trelix:*\")) do local v = "
                          "redis.call(\"get\", k); redis.call(\"set\", k, ") +
              damage + ") end' 0");
    const auto problems = reported("does not load");
    const uint64_t misses = counters.misses;
    EXPECT_EQ(Call(host, "specs", cached).output, first.output);
    EXPECT_GT(counters.misses.load(), misses);
    EXPECT_GT(reported("does not load"), problems);
    expect_hit("the entry was not written again");
  }

  // Redis gone: answers come from the database, the outage is reported once.
  ASSERT_TRUE(redis.Stop());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Call(host, "specs", cached).output, first.output);
  EXPECT_EQ(reported("unavailable"), 1);
  ASSERT_TRUE(redis.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the cache retries once a second
  EXPECT_EQ(Call(host, "specs", cached).output, first.output);
  expect_hit("no hit once Redis is back");
  EXPECT_EQ(reported("answers again"), 1);
  ExpectNoSessionLeased();

  base::SetCacheReporter(nullptr);
  ASSERT_TRUE(base::ConfigureCache("memory").ok());
}

}  // namespace
}  // namespace trelix::app
