#include "app/cli.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

#include "app/output.h"
#include "app/tools.h"

namespace trelix::app {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : fallback;
}

// Options every subcommand takes.
struct CommonOptions {
  std::string connection;
  std::string project;
  std::string specs;
  std::string format = "table";
  std::string trace_file;
};

void AddCommonOptions(CLI::App& command, CommonOptions& options, bool with_format = true) {
  command.add_option("--connection", options.connection, "connection string (env TRELIX_CONNECTION)");
  command.add_option("--project", options.project, "project database name (env TRELIX_PROJECT)");
  command.add_option("--specs", options.specs, "specs database name (env TRELIX_SPECS)");
  if (with_format) {
    command.add_option("--format", options.format, "output: table, json or xml")
        ->check(CLI::IsMember({"table", "json", "xml"}));
  }
  command.add_option("--trace", options.trace_file, "append one JSON line per connector call to FILE");
}

// Values of one component operation's arguments as given on the command line.
struct OperationBinding {
  const OperationSpec* spec;
  CLI::App* command;
  std::map<std::string, CLI::Option*> options;
  std::map<std::string, std::string> values;
};

RawArgs CollectArgs(OperationBinding& binding) {
  RawArgs args;
  for (const ArgSpec& arg : binding.spec->args) {
    CLI::Option* option = binding.options.at(arg.name);
    if (option->count() == 0) continue;
    std::string value = binding.values[arg.name];
    // "--cache" alone names cache 1; a flag alone is on.
    if (value.empty() && arg.kind == ArgKind::kInt32) value = "1";
    if (arg.kind == ArgKind::kFlag && value.empty()) value = "true";
    args[arg.name] = value;
  }
  return args;
}

}  // namespace

std::string DefaultDemoDirectory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "demo";
  return (exe.parent_path() / "demo").string();
}

HostSettings ResolveHostSettings(const std::string& connection, const std::string& project, const std::string& specs) {
  HostSettings host;
  host.connection = !connection.empty() ? connection : EnvOr("TRELIX_CONNECTION", "sqlite:" + DefaultDemoDirectory());
  host.project = !project.empty() ? project : EnvOr("TRELIX_PROJECT", "demo_project");
  host.specs = !specs.empty() ? specs : EnvOr("TRELIX_SPECS", "demo_specs");
  return host;
}

int RunCli(int argc, char** argv) {
  CLI::App app{"trelix_eb: vehicle spec sheets, key advantages and feature comparisons"};
  app.require_subcommand(1);
  app.set_help_all_flag("--help-all", "help for every subcommand");
  CommonOptions common;

  // Component operations, generated from the one table the service uses too.
  std::vector<std::unique_ptr<OperationBinding>> bindings;
  for (const OperationSpec& spec : ComponentOperations()) {
    auto binding = std::make_unique<OperationBinding>();
    binding->spec = &spec;
    binding->command = app.add_subcommand(spec.name, spec.summary);
    // format-advantage has an argument named --format (the advantage's format
    // code); its text result is printed as it is.
    bool has_format_arg = false;
    for (const ArgSpec& arg : spec.args) {
      has_format_arg |= arg.name == "format";
      std::string flag = "--" + arg.name;
      CLI::Option* option = binding->command->add_option(flag, binding->values[arg.name], arg.help);
      if (arg.kind == ArgKind::kFlag || arg.kind == ArgKind::kInt32) option->expected(0, 1);
      if (arg.required) option->required();
      binding->options[arg.name] = option;
    }
    AddCommonOptions(*binding->command, common, !has_format_arg);
    bindings.push_back(std::move(binding));
  }

  ToolCommands tools = AddToolCommands(app, common.connection, common.project, common.specs, common.format,
                                       common.trace_file);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }

  OutputFormat format = OutputFormat::kTable;
  ParseOutputFormat(common.format, &format);
  HostSettings host = ResolveHostSettings(common.connection, common.project, common.specs);

  for (auto& binding : bindings) {
    if (!binding->command->parsed()) continue;
    RawArgs args = CollectArgs(*binding);
    std::optional<ArgumentError> problem = ValidateArguments(*binding->spec, args);
    if (!problem) problem = CheckArgumentsAgainstData(*binding->spec, args, host);
    if (problem) {
      std::cerr << "trelix_eb: --" << problem->parameter << " " << problem->message << "\n";
      return 2;
    }
    // Only the component's own connector calls go to the trace, not the
    // argument checks above.
    TraceScope trace(common.trace_file);
    try {
      OperationResult result = RunOperation(*binding->spec, args, host);
      std::cout << RenderResult(result, format);
      return 0;
    } catch (const ComError& error) {
      std::cerr << ErrorLine(error) << "\n";
      if (format == OutputFormat::kJson) std::cout << ErrorJson(error) << "\n";
      return 1;
    }
  }
  TraceScope trace(common.trace_file);
  return RunToolCommand(tools, host, format);
}

}  // namespace trelix::app
