#include "common/modVelloxLITE.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string_view>

#include "common/error_monitor.h"
#include "common/vb_runtime.h"

// Where the log lives: beside the file the running code was loaded from.
// In the product that is trelix_eb.so, so the log is trelix_eb_errorlog.txt
// in the library's folder. When this code is linked statically into an
// executable (the test programs), the executable is that file: its folder
// holds the log, named after the executable. SetComponentPathOverride
// redirects both.
//
// We record no source line numbers, so every report names line 0.

namespace trelix {
namespace {

constexpr std::string_view kLogSuffix = "_errorlog.txt";
constexpr std::string_view kMonitorVersion = "6.60 LITE";
// The module name was always read into a 255-character buffer; a longer
// path is cut there, as it always was.
constexpr size_t kModulePathLimit = 255;

// --- Component path -------------------------------------------------------

std::string DiscoverComponentPath() {
  Dl_info info;
  link_map* map = nullptr;
  std::string path;
  if (::dladdr1(reinterpret_cast<void*>(&DiscoverComponentPath), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) != 0 &&
      map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
    path = map->l_name;
    if (path[0] != '/') {
      // A library opened by a relative name: make the path absolute.
      if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
      }
    }
  } else {
    // The main program itself (static link): its link map has no name.
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length > 0) path.assign(buffer, static_cast<size_t>(length));
  }
  if (path.size() > kModulePathLimit) path.resize(kModulePathLimit);
  return path;
}

struct PathOverride {
  std::mutex mutex;
  std::optional<std::string> path;
};

PathOverride& TheOverride() {
  static PathOverride instance;
  return instance;
}

std::string_view BaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view Folder(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// The base name of the component file without its extension.
std::string ComponentNameOf(std::string_view path) {
  std::string_view name = BaseName(path);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

std::string LogPathOf(std::string_view path) {
  std::string log(Folder(path));
  log += '/';
  log += ComponentNameOf(path);
  log += kLogSuffix;
  return log;
}

// --- Numbers in sources ------------------------------------------------------

// The leading number of a text as Val reads it: blanks, tabs and line feeds
// are skipped anywhere, then an optional sign, digits, one ".", and an
// exponent (E or D); 0 when the text does not begin with a number. (The
// &H/&O forms never begin a source and are not read.)
double LeadingNumber(std::string_view text) {
  char buffer[64];
  size_t length = 0;
  bool negative = false;
  bool seen_sign = false, seen_digit = false, seen_point = false;
  size_t pos = 0;
  auto skip_blanks = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r')) ++pos;
  };
  for (;; ++pos) {
    skip_blanks();
    if (pos >= text.size() || length + 8 >= sizeof(buffer)) break;
    const char c = text[pos];
    if ((c == '-' || c == '+') && !seen_sign && !seen_digit && !seen_point) {
      seen_sign = true;
      negative = c == '-';
    } else if (c >= '0' && c <= '9') {
      seen_digit = true;
      buffer[length++] = c;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      buffer[length++] = c;
    } else {
      break;
    }
  }
  if (!seen_digit) return 0;
  // Exponent: only when digits follow the marker (and its sign).
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e' || text[pos] == 'D' || text[pos] == 'd')) {
    size_t look = pos + 1;
    char exponent[16];
    size_t exponent_length = 0;
    exponent[exponent_length++] = 'e';
    if (look < text.size() && (text[look] == '-' || text[look] == '+')) exponent[exponent_length++] = text[look++];
    const size_t digits_start = exponent_length;
    while (look < text.size() && text[look] >= '0' && text[look] <= '9' && exponent_length < sizeof(exponent)) {
      exponent[exponent_length++] = text[look++];
    }
    if (exponent_length > digits_start && length + exponent_length < sizeof(buffer)) {
      for (size_t i = 0; i < exponent_length; ++i) buffer[length++] = exponent[i];
    }
  }
  double value = 0;
  std::from_chars(buffer, buffer + length, value);
  return negative ? -value : value;
}

// The first character of the shortest decimal text of `value`.
char FirstCharOfNumber(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return result.ec == std::errc() ? buffer[0] : '0';
}

// --- Per-thread module state --------------------------------------------------

struct ErrorLogState {
  bool initialized = false;
  MonitorConnection monitor;  // not connected: no monitor was found
  std::string banner;
};

thread_local ErrorLogState state;

std::string BannerTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof(buffer), "%m-%d-%Y,%H:%M:%S", &local);
  return buffer;
}

// Looks once per thread for a listening monitor and greets it. The process
// error mode and the timer resolution the monitor once wanted have no
// counterpart here, so nothing else changes when one is found.
void InitErrorLog(const std::string& component_name) {
  try {
    state.monitor = MonitorConnection::FindFirst();
    if (state.monitor.connected()) {
      state.banner = component_name;
      state.banner += " START VELLOX ";
      state.banner += kMonitorVersion;
      state.banner += ' ';
      state.banner += BannerTime();
      state.banner += "\r\n";
      state.monitor.Send(state.banner);
    }
  } catch (...) {
    // A monitor is a convenience; the report goes on without one.
  }
  state.initialized = true;
}

// One write() of the whole text: on a descriptor opened with O_APPEND every
// line lands whole at the end of the file, however many threads and
// processes append at once. False when the text was not written in full.
bool WriteWhole(int fd, std::string_view text) {
  ssize_t written;
  do {
    written = ::write(fd, text.data(), text.size());
  } while (written < 0 && errno == EINTR);
  return written == static_cast<ssize_t>(text.size());
}

// Appends the line to the log file. A log that cannot be written (a
// read-only or missing folder, a full disk) must not lose the report: the
// line goes to stderr instead, after a one-time note naming the file and
// the reason, so the host's own log keeps it.
void AppendToLog(const std::string& path, std::string_view line) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  int error = errno;
  if (fd >= 0) {
    const bool written = WriteWhole(fd, line);
    error = errno;
    ::close(fd);
    if (written) return;
  }
  static std::once_flag noted;
  std::call_once(noted, [&] {
    const std::string note = "trelix_eb: cannot write the error log " + path + " (" + std::strerror(error) +
                             "); its lines follow on stderr\n";
    WriteWhole(STDERR_FILENO, note);
  });
  WriteWhole(STDERR_FILENO, line);
}

}  // namespace

std::string ComponentPath() {
  {
    PathOverride& override_path = TheOverride();
    std::lock_guard lock(override_path.mutex);
    if (override_path.path) return *override_path.path;
  }
  static const std::string discovered = DiscoverComponentPath();
  return discovered;
}

void SetComponentPathOverride(std::optional<std::string> path) {
  PathOverride& override_path = TheOverride();
  std::lock_guard lock(override_path.mutex);
  override_path.path = std::move(path);
}

std::string ErrorLogPath() { return LogPathOf(ComponentPath()); }

ComError ToComError(const std::exception& error) {
  if (const auto* com_error = dynamic_cast<const ComError*>(&error)) return *com_error;
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    constexpr int32_t kErrOutOfMemory = 7;
    return ComError(kErrOutOfMemory, kComponentName, VbErrorDescription(kErrOutOfMemory));
  }
  constexpr int32_t kErrAutomation = 440;
  std::string description = error.what();
  if (description.empty()) description = VbErrorDescription(kErrAutomation);
  return ComError(kErrAutomation, kComponentName, std::move(description));
}

void HandleProcedureError(const std::string& module_name, const std::string& procedure_label, const ComError& pending,
                          int32_t line) {
  const std::string component_path = ComponentPath();
  const std::string component_name = ComponentNameOf(component_path);
  if (!state.initialized) InitErrorLog(component_name);

  const int32_t number = pending.number();
  const std::string& description = pending.description();
  const std::string& source = pending.source();
  const std::string number_text = std::to_string(number);
  const std::string line_text = std::to_string(line);
  const double source_number = LeadingNumber(source);

  // From here on a failing step is skipped: the error is always raised again.
  if (state.monitor.connected()) {
    try {
      std::string text = "[" + component_name + "] ERROR " + number_text + " \"" + description + "\" at " +
                         module_name + " : " + procedure_label + " : " + line_text + "\r\n";
      state.monitor.Send(text);
    } catch (...) {
    }
  }

  std::string remote_note;  // stays empty when it cannot be built, as a failed step leaves it
  try {
    if (source_number != 0) {
      const size_t bang = source.find('!');
      if (bang != std::string::npos) {
        remote_note = ". This error was generated remotely by " + source.substr(1, bang - 1) + ", a component of " +
                      component_path + ".";
      }
    } else {
      remote_note = ".";
    }
  } catch (...) {
  }

  try {
    // No empty line between entries: one line per failure keeps the file
    // countable and greppable line by line.
    std::string log_line = vb::FormatGeneralDate(vb::Now());
    log_line += "\t reports ";
    log_line += component_path;
    log_line += " program error #";
    log_line += number_text;
    log_line += " (";
    log_line += description;
    log_line += ") occurred in module ";
    log_line += module_name;
    log_line += ", ";
    log_line += procedure_label;
    log_line += ", line ";
    log_line += line_text;
    log_line += remote_note;
    log_line += "\r\n";
    AppendToLog(LogPathOf(component_path), log_line);
  } catch (...) {
  }

  std::string new_source = source;
  try {
    // The leading number counts the instrumented components the error has
    // passed: "1" for an error born here, one more for each further one.
    std::string chain = source_number == 0 ? "0" + component_path : source + "!" + component_path;
    chain[0] = FirstCharOfNumber(LeadingNumber(chain) + 1);
    chain += "!" + module_name + "!" + procedure_label + "!" + line_text + "!" + number_text;
    new_source = std::move(chain);
  } catch (...) {
  }

  throw ComError(number, std::move(new_source),
                 description + " in " + module_name + ", " + procedure_label + " at line number " + line_text,
                 pending.help_file(), pending.help_context());
}

}  // namespace trelix
