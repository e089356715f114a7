#pragma once
// The CLI's subcommands around the component's classes: the feature
// comparison, the expression engines, number formatting, the connector and
// SQL translation, recordset files, data generation, the service and the
// error-log monitor.

#include <memory>
#include <string>

#include "app/operations.h"
#include "app/output.h"

namespace CLI {
class App;
}

namespace trelix::app {

struct ToolState;

// Handles of the registered tool subcommands and their option values.
struct ToolCommands {
  std::shared_ptr<ToolState> state;
};

// Registers the tool subcommands on `app`. The common option values are
// bound by reference and read after parsing.
ToolCommands AddToolCommands(CLI::App& app, std::string& connection, std::string& project, std::string& specs,
                             std::string& format, std::string& trace_file);

// Runs the tool subcommand that was parsed; returns the exit status.
int RunToolCommand(ToolCommands& tools, const HostSettings& host, OutputFormat format);

// Appends one JSON line per connector call to a file while in scope (no-op
// for an empty path).
class TraceScope {
 public:
  explicit TraceScope(const std::string& path);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  bool active_;
};

}  // namespace trelix::app
