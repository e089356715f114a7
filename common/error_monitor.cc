#include "common/error_monitor.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <ostream>
#include <vector>

namespace trelix {
namespace {

// A monitor line is short; anything longer than this is cut by the kernel
// (MSG_TRUNC), which only a misbehaving sender would cause.
constexpr size_t kMaxMessage = 64 * 1024;

// The abstract address of monitor `caption`: a leading NUL, the namespace
// and the caption, with the length counting exactly those bytes (abstract
// names are not NUL-terminated).
bool MakeAddress(std::string_view caption, sockaddr_un* address, socklen_t* length) {
  const size_t name_length = 1 + kMonitorNamespace.size() + caption.size();
  if (name_length > sizeof(address->sun_path)) return false;
  std::memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path + 1, kMonitorNamespace.data(), kMonitorNamespace.size());
  std::memcpy(address->sun_path + 1 + kMonitorNamespace.size(), caption.data(), caption.size());
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name_length);
  return true;
}

// The captions of the bound monitor sockets, in the order the kernel lists
// them in /proc/net/unix ("Num RefCount Protocol Flags Type St Inode Path";
// abstract paths are shown with a leading '@' and may contain blanks).
std::vector<std::string> ListedMonitorCaptions() {
  std::vector<std::string> captions;
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);  // header
  constexpr std::string_view kDatagramType = "0002";
  while (std::getline(table, line)) {
    size_t pos = 0;
    std::string_view type;
    bool complete = true;
    for (int field = 0; field < 7; ++field) {
      pos = line.find_first_not_of(' ', pos);
      if (pos == std::string::npos) {
        complete = false;
        break;
      }
      size_t end = line.find(' ', pos);
      if (end == std::string::npos) end = line.size();
      if (field == 4) type = std::string_view(line).substr(pos, end - pos);
      pos = end;
    }
    if (!complete || type != kDatagramType || pos >= line.size()) continue;
    std::string_view path = std::string_view(line).substr(pos + 1);
    if (path.size() < 1 + kMonitorNamespace.size() || path[0] != '@' ||
        path.substr(1, kMonitorNamespace.size()) != kMonitorNamespace) {
      continue;
    }
    std::string_view caption = path.substr(1 + kMonitorNamespace.size());
    if (IsMonitorCaption(caption)) captions.emplace_back(caption);
  }
  return captions;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

bool IsMonitorCaption(std::string_view caption) {
  if (caption == kMonitorCaption) return true;
  return caption.size() >= kMonitorCaption.size() + 2 && caption.substr(0, kMonitorCaption.size()) == kMonitorCaption &&
         caption.substr(kMonitorCaption.size(), 2) == " -";
}

// --- MonitorConnection --------------------------------------------------------

MonitorConnection::~MonitorConnection() { CloseFd(fd_); }

MonitorConnection::MonitorConnection(MonitorConnection&& other) noexcept
    : fd_(other.fd_), caption_(std::move(other.caption_)) {
  other.fd_ = -1;
}

MonitorConnection& MonitorConnection::operator=(MonitorConnection&& other) noexcept {
  if (this != &other) {
    CloseFd(fd_);
    fd_ = other.fd_;
    caption_ = std::move(other.caption_);
    other.fd_ = -1;
  }
  return *this;
}

MonitorConnection MonitorConnection::FindFirst() {
  for (const std::string& caption : ListedMonitorCaptions()) {
    // A monitor that closed since the table was read refuses the connect;
    // the walk goes on to the next one.
    MonitorConnection connection = Connect(caption);
    if (connection.connected()) return connection;
  }
  return MonitorConnection();
}

MonitorConnection MonitorConnection::Connect(std::string_view caption) {
  sockaddr_un address;
  socklen_t length;
  if (!MakeAddress(caption, &address, &length)) return MonitorConnection();
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return MonitorConnection();
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return MonitorConnection();
  }
  return MonitorConnection(fd, std::string(caption));
}

bool MonitorConnection::Send(std::string_view text) const {
  if (fd_ < 0) return false;
  return ::send(fd_, text.data(), text.size(), MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// --- MonitorEndpoint ----------------------------------------------------------

MonitorEndpoint::~MonitorEndpoint() { CloseFd(fd_); }

MonitorEndpoint::MonitorEndpoint(MonitorEndpoint&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

MonitorEndpoint& MonitorEndpoint::operator=(MonitorEndpoint&& other) noexcept {
  if (this != &other) {
    CloseFd(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

Result<MonitorEndpoint> MonitorEndpoint::Bind(std::string_view caption) {
  if (!IsMonitorCaption(caption)) {
    return Status::InvalidArgument("a monitor caption is \"Brantel Vellox\" or begins with \"Brantel Vellox -\"");
  }
  if (caption.find('\n') != std::string_view::npos || caption.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument("a monitor caption cannot hold line breaks or NUL characters");
  }
  sockaddr_un address;
  socklen_t length;
  if (!MakeAddress(caption, &address, &length)) return Status::InvalidArgument("monitor caption too long");
  int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Status::IOError(std::string("cannot create the monitor socket: ") + std::strerror(errno));
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EADDRINUSE) return Status::Unavailable("another monitor is listening as \"" + std::string(caption) + "\"");
    return Status::IOError(std::string("cannot bind the monitor socket: ") + std::strerror(error));
  }
  return MonitorEndpoint(fd);
}

std::optional<std::string> MonitorEndpoint::Receive(std::chrono::milliseconds timeout) const {
  if (fd_ < 0) return std::nullopt;
  pollfd waiting{fd_, POLLIN, 0};
  const int ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return std::nullopt;
  std::string text(kMaxMessage, '\0');
  const ssize_t received = ::recv(fd_, text.data(), text.size(), MSG_DONTWAIT);
  if (received < 0) return std::nullopt;
  text.resize(static_cast<size_t>(received));
  return text;
}

Status RunMonitor(std::string_view caption, const std::function<bool(std::string_view)>& on_text) {
  Result<MonitorEndpoint> endpoint = MonitorEndpoint::Bind(caption);
  if (!endpoint.ok()) return endpoint.status();
  constexpr std::chrono::milliseconds kWait(1000);
  for (;;) {
    std::optional<std::string> text = endpoint->Receive(kWait);
    if (text && !on_text(*text)) return Status::Ok();
  }
}

Status RunMonitor(std::string_view caption, std::ostream& out) {
  return RunMonitor(caption, [&out](std::string_view text) {
    out << text;
    out.flush();
    return true;
  });
}

}  // namespace trelix
