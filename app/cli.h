#pragma once
// The command-line tool: one subcommand per operation of the component, the
// tools around it (expression engines, SQL translation, recordset files,
// demo data) and the HTTP service.

#include <string>

#include "app/operations.h"

namespace trelix::app {

// Runs the tool; returns the process exit status: 0 success, 1 a component
// error (reported on stderr, and as JSON on stdout with --format json),
// 2 a usage error.
int RunCli(int argc, char** argv);

// The folder of the demo databases: "demo" beside the executable.
std::string DefaultDemoDirectory();

// Host settings from the given values, falling back to TRELIX_CONNECTION,
// TRELIX_PROJECT, TRELIX_SPECS and then the demo defaults.
HostSettings ResolveHostSettings(const std::string& connection, const std::string& project, const std::string& specs);

}  // namespace trelix::app
