#include "base/datagen/csv_input.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace trelix::datagen {
namespace {

bool IsZip(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  unsigned char magic[4] = {};
  const size_t n = std::fread(magic, 1, 4, f);
  std::fclose(f);
  return n == 4 && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
}

}  // namespace

Result<std::unique_ptr<CsvInput>> CsvInput::Open(const std::string& path, const std::string& member) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return Status::NotFound("no such file: " + path);
  if (!IsZip(path)) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return Status::IOError("cannot read " + path + ": " + std::strerror(errno));
    return std::unique_ptr<CsvInput>(new CsvInput(file, 0, path));
  }

  // The archive is extracted by the unzip tool into a pipe; no shell is
  // involved, so the path needs no quoting.
  int fds[2];
  if (::pipe(fds) != 0) return Status::IOError(std::string("pipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = "unzip", flag = "-p";
  std::string archive = path, name = member;
  char* argv[] = {program.data(), flag.data(), archive.data(), name.data(), nullptr};
  pid_t child = 0;
  const int rc = posix_spawnp(&child, "unzip", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    return Status::IOError("cannot run the unzip tool (scripts/setup installs it): " + std::string(std::strerror(rc)));
  }
  FILE* file = ::fdopen(fds[0], "rb");
  if (file == nullptr) {
    ::close(fds[0]);
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    return Status::IOError(std::string("fdopen: ") + std::strerror(errno));
  }
  return std::unique_ptr<CsvInput>(new CsvInput(file, child, path));
}

CsvInput::~CsvInput() { (void)Close(); }

bool CsvInput::Next(std::vector<std::string>& fields) {
  fields.clear();
  if (at_end_ || file_ == nullptr) return false;
  std::string field;
  bool quoted = false;       // inside a quoted field
  bool any = false;          // the record has begun
  for (;;) {
    const int c = getc_unlocked(file_);
    if (c == EOF) {
      at_end_ = true;
      if (quoted) unterminated_quote_ = true;
      if (!any) return false;
      fields.push_back(std::move(field));
      return true;
    }
    any = true;
    if (quoted) {
      if (c == '"') {
        const int next = getc_unlocked(file_);
        if (next == '"') {
          field += '"';
        } else {
          quoted = false;
          if (next != EOF) ungetc(next, file_);
        }
      } else {
        field += static_cast<char>(c);
      }
      continue;
    }
    switch (c) {
      case '"':
        quoted = true;
        break;
      case ',':
        fields.push_back(std::move(field));
        field.clear();
        break;
      case '\r':
        break;  // CR LF line ends
      case '\n':
        fields.push_back(std::move(field));
        return true;
      default:
        field += static_cast<char>(c);
    }
  }
}

Status CsvInput::Close() {
  if (file_ == nullptr) return Status::Ok();
  const bool read_all = at_end_;
  std::fclose(file_);
  file_ = nullptr;
  Status status = Status::Ok();
  if (child_ != 0) {
    int wstatus = 0;
    ::waitpid(child_, &wstatus, 0);
    child_ = 0;
    // Stopping early closes the pipe under unzip, which then fails on its
    // next write (SIGPIPE, or EPIPE when the signal is ignored): not an error.
    const bool ok = !read_all || (WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    if (!ok) {
      status = Status::Corruption(path_ + ": cannot extract the table from this archive (unzip exit status " +
                                  std::to_string(WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1) + ")");
    }
  }
  if (status.ok() && unterminated_quote_) status = Status::Corruption(path_ + ": a quoted field never ends");
  return status;
}

}  // namespace trelix::datagen
