#pragma once
// PostgreSQL and Redis servers of one test process, on free loopback ports
// in a temporary folder: the fault tests stop and restart them, which the
// shared servers of scripts/services must never see.

#include <string>

namespace trelix::testing {

// Why a server cannot be started here ("" when it can): its programs are
// not installed.
std::string PostgresMissing();
std::string RedisMissing();

class ThrowawayPostgres {
 public:
  ThrowawayPostgres();  // initdb and start; error() says what failed
  ~ThrowawayPostgres();
  ThrowawayPostgres(const ThrowawayPostgres&) = delete;
  ThrowawayPostgres& operator=(const ThrowawayPostgres&) = delete;

  bool Start();
  bool Stop();  // fast shutdown: open sessions are cut
  // "postgresql://postgres@127.0.0.1:PORT/trelix"
  const std::string& connection() const { return connection_; }
  const std::string& error() const { return error_; }

 private:
  bool Run(const std::string& command);
  std::string dir_, bin_, connection_, error_;
  int port_ = 0;
};

class ThrowawayRedis {
 public:
  ThrowawayRedis();
  ~ThrowawayRedis();
  ThrowawayRedis(const ThrowawayRedis&) = delete;
  ThrowawayRedis& operator=(const ThrowawayRedis&) = delete;

  bool Start();
  bool Stop();
  // Runs redis-cli with `arguments` (shell words) and returns its output.
  std::string Cli(const std::string& arguments) const;
  const std::string& url() const { return url_; }  // "redis://127.0.0.1:PORT"
  const std::string& error() const { return error_; }

 private:
  std::string dir_, url_, error_;
  int port_ = 0;
};

// The output of a shell command; empty when it fails.
std::string ShellOutput(const std::string& command);

// A loopback TCP port nobody listens on right now.
int FreeLoopbackPort();

}  // namespace trelix::testing
