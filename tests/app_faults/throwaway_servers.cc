#include "throwaway_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace trelix::testing {
namespace {

namespace fs = std::filesystem;

std::string PostgresBin() {
  std::error_code ec;
  std::string best;
  for (fs::directory_iterator it("/usr/lib/postgresql", ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path bin = it->path() / "bin";
    if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl") && bin.string() > best) best = bin.string();
  }
  return best;
}

bool OnPath(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string TempDir(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

}  // namespace

std::string ShellOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    ::pclose(pipe);
  }
  return out;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

std::string PostgresMissing() {
  if (PostgresBin().empty()) return "no PostgreSQL server programs in /usr/lib/postgresql/*/bin";
  if (::getuid() == 0 && !::getpwnam("postgres")) return "running as root without a postgres user";
  return "";
}

std::string RedisMissing() {
  return OnPath("redis-server") && OnPath("redis-cli") ? "" : "redis-server or redis-cli is not installed";
}

// --- PostgreSQL ---------------------------------------------------------------

ThrowawayPostgres::ThrowawayPostgres() : bin_(PostgresBin()) {
  dir_ = TempDir("trelix_faults_pg_");
  port_ = FreeLoopbackPort();
  if (dir_.empty() || port_ == 0) {
    error_ = "no temporary folder or port";
    return;
  }
  connection_ = "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/trelix";
  // The server refuses to run as root: it runs as postgres, as
  // scripts/services runs it.
  if (::getuid() == 0) Run("chown postgres " + dir_);
  if (!Run(bin_ + "/initdb -D " + dir_ + "/data -U postgres --auth=trust -E UTF8 --locale=C.UTF-8") || !Start() ||
      !Run(bin_ + "/createdb -h 127.0.0.1 -p " + std::to_string(port_) + " -U postgres trelix")) {
    if (error_.empty()) error_ = "initdb, start or createdb failed";
  }
}

ThrowawayPostgres::~ThrowawayPostgres() {
  if (dir_.empty()) return;
  Stop();
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

bool ThrowawayPostgres::Run(const std::string& command) {
  const std::string as_owner = ::getuid() == 0 && command.rfind("chown", 0) != 0
                                   ? "runuser -u postgres -- " + command
                                   : command;
  if (std::system((as_owner + " >>" + dir_ + "/commands.log 2>&1").c_str()) == 0) return true;
  error_ = "failed: " + command + " (see " + dir_ + "/commands.log)";
  return false;
}

bool ThrowawayPostgres::Start() {
  return Run(bin_ + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -w -t 60 -o \"-p " +
             std::to_string(port_) + " -k " + dir_ + " -c listen_addresses=127.0.0.1 -c fsync=off\" start");
}

bool ThrowawayPostgres::Stop() { return Run(bin_ + "/pg_ctl -D " + dir_ + "/data -m fast -w stop"); }

// --- Redis ------------------------------------------------------------------------

ThrowawayRedis::ThrowawayRedis() {
  dir_ = TempDir("trelix_faults_redis_");
  port_ = FreeLoopbackPort();
  url_ = "redis://127.0.0.1:" + std::to_string(port_);
  if (dir_.empty() || port_ == 0 || !Start()) error_ = "redis-server did not start on port " + std::to_string(port_);
}

ThrowawayRedis::~ThrowawayRedis() {
  Stop();
  std::error_code ignored;
  if (!dir_.empty()) fs::remove_all(dir_, ignored);
}

bool ThrowawayRedis::Start() {
  const std::string command = "redis-server --port " + std::to_string(port_) +
                              " --bind 127.0.0.1 --save '' --appendonly no --daemonize yes --dir " + dir_ +
                              " --pidfile " + dir_ + "/redis.pid --logfile " + dir_ + "/redis.log >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  for (int i = 0; i < 100; ++i) {
    if (Cli("ping").rfind("PONG", 0) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

bool ThrowawayRedis::Stop() {
  Cli("shutdown nosave");
  for (int i = 0; i < 100; ++i) {
    if (Cli("ping").rfind("PONG", 0) != 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string ThrowawayRedis::Cli(const std::string& arguments) const {
  return ShellOutput("redis-cli -p " + std::to_string(port_) + " " + arguments + " 2>/dev/null");
}

}  // namespace trelix::testing
