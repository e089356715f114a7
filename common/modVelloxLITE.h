#pragma once
// The procedure error log: the one error path of every instrumented
// procedure. A failure is appended as one line to trelix_eb_errorlog.txt in
// the folder of the loaded component library, echoed to a local monitor when
// one listens, and raised again with its location added to the source and
// the description.
//
// Module state (initialised flag, monitor endpoint, banner) is per thread.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "common/com_error.h"

namespace trelix {

// Logs `pending` and raises it again as a ComError with the same number,
// the source extended by the location chain and the description extended
// by " in <module>, <label> at line number <line>". Never returns. Errors
// while logging are ignored so that the re-raise always happens.
[[noreturn]] void HandleProcedureError(const std::string& module_name, const std::string& procedure_label,
                                       const ComError& pending, int32_t line = 0);

// The log file path: the folder of the component library file, "/",
// the component name, "_errorlog.txt".
std::string ErrorLogPath();

// The full path of the loaded component library file (found from the
// running module, not configured).
std::string ComponentPath();

// Replaces the discovered component path, and with it the component name
// and the log file path, for the whole process; std::nullopt restores the
// discovery. For tests and for hosts that want the log elsewhere.
void SetComponentPathOverride(std::optional<std::string> path);

// Turns any exception into the ComError VB would have seen: ComErrors as
// they are, other exceptions as an automation error with their message.
ComError ToComError(const std::exception& error);

// Runs the body of an instrumented procedure: any error leaving `body` goes
// through HandleProcedureError with the procedure's module and label.
//   return Instrumented("KeyAdvantages", "Function Convert_Currency", [&] { ... });
template <class Body>
auto Instrumented(const char* module_name, const char* procedure_label, Body&& body) -> decltype(body()) {
  try {
    return std::forward<Body>(body)();
  } catch (const ComError& error) {
    HandleProcedureError(module_name, procedure_label, error);
  } catch (const std::exception& error) {
    HandleProcedureError(module_name, procedure_label, ToComError(error));
  }
}

}  // namespace trelix
