#pragma once
// The local monitor of the procedure error log. A monitor is a process that
// binds an abstract UNIX datagram socket named kMonitorNamespace followed by
// its caption; the error log of every thread looks once for the first
// listening monitor whose caption is "Brantel Vellox" or begins with
// "Brantel Vellox -" and sends it a start banner and one short line per
// failure. Delivery is best effort: nothing ever blocks on a monitor, and a
// monitor that is gone or full loses the text.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "common/status.h"

namespace trelix {

inline constexpr std::string_view kMonitorCaption = "Brantel Vellox";
// Abstract socket names are "<namespace><caption>"; the namespace keeps
// monitors apart from every other abstract socket on the host.
inline constexpr std::string_view kMonitorNamespace = "vellox-monitor/";

// True for "Brantel Vellox" exactly and for captions beginning with
// "Brantel Vellox -".
bool IsMonitorCaption(std::string_view caption);

// A connected, non-blocking sender to one monitor.
class MonitorConnection {
 public:
  MonitorConnection() = default;
  ~MonitorConnection();
  MonitorConnection(MonitorConnection&& other) noexcept;
  MonitorConnection& operator=(MonitorConnection&& other) noexcept;
  MonitorConnection(const MonitorConnection&) = delete;
  MonitorConnection& operator=(const MonitorConnection&) = delete;

  // The first listening monitor with a monitor caption, in the order the
  // system lists its sockets; an unconnected object when there is none.
  static MonitorConnection FindFirst();
  // A connection to the monitor named `caption`; unconnected when none
  // listens under that name.
  static MonitorConnection Connect(std::string_view caption);

  bool connected() const { return fd_ >= 0; }
  const std::string& caption() const { return caption_; }

  // Sends `text` as one message; false when it could not be delivered
  // (no monitor, monitor gone, its queue full).
  bool Send(std::string_view text) const;

 private:
  MonitorConnection(int fd, std::string caption) : fd_(fd), caption_(std::move(caption)) {}
  int fd_ = -1;
  std::string caption_;
};

// The receiving end: a bound monitor socket.
class MonitorEndpoint {
 public:
  MonitorEndpoint() = default;
  ~MonitorEndpoint();
  MonitorEndpoint(MonitorEndpoint&& other) noexcept;
  MonitorEndpoint& operator=(MonitorEndpoint&& other) noexcept;
  MonitorEndpoint(const MonitorEndpoint&) = delete;
  MonitorEndpoint& operator=(const MonitorEndpoint&) = delete;

  // Binds the endpoint named `caption`. Fails with InvalidArgument for a
  // caption that no error log would look for (or too long for a socket
  // name) and with Unavailable when another monitor holds the name.
  static Result<MonitorEndpoint> Bind(std::string_view caption);

  // The next message, waiting at most `timeout`; nullopt on timeout.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout) const;

 private:
  explicit MonitorEndpoint(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Listens as monitor `caption` and hands every message to `on_text` until
// it returns false. Returns the bind failure, or Ok when `on_text` stopped.
Status RunMonitor(std::string_view caption, const std::function<bool(std::string_view)>& on_text);
// Listens as monitor `caption` and writes every message to `out` as it
// arrives (messages carry their own line ends); runs until the process ends.
Status RunMonitor(std::string_view caption, std::ostream& out);

}  // namespace trelix
