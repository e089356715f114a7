#include "app/tools.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "app/cli.h"
#include "app/http_service.h"
#include "app/service_config.h"
#include "base/datagen/generators.h"
#include "base/recordset_cache.h"
#include "base/sql/translator.h"
#include "base/trace.h"
#include "common/Utilitys.h"
#include "common/connector_interface.h"
#include "common/error_monitor.h"
#include "common/modLocaleUtilities.h"
#include "common/recordset.h"
#include "common/stream.h"
#include "common/vb_runtime.h"
#include "common/vbscript_engine.h"
#include <nlohmann/json.hpp>

namespace trelix::app {

// One registered tool subcommand: its parsed flag and what it runs.
struct ToolCommand {
  CLI::App* command = nullptr;
  std::function<int(const HostSettings&, OutputFormat)> run;
};

struct ToolState {
  std::vector<ToolCommand> commands;
  // Option values of the tool subcommands; they live as long as the parse.
  std::string value, decimals = "0", language = "1", options, database, dialect, file, filter, sort, find;
  std::string caption = "Brantel Vellox";
  std::string directory, project_name, specs_name;
  int64_t vehicles = 10000, lines = 1000, max_vehicles = 0;
  // serve: the flag of every setting, and the values of those not bound to
  // the common options.
  std::string config_file;
  std::map<std::string, CLI::Option*> serve_options;
  std::map<std::string, std::string> serve_values;
  bool quiet = false;
  double rows_per_vehicle = 1.0;
};

namespace {

// Runs `body`, printing a component error the way every subcommand does.
int Report(OutputFormat format, const std::function<void()>& body) {
  try {
    body();
    return 0;
  } catch (const ComError& error) {
    std::cerr << ErrorLine(error) << "\n";
    if (format == OutputFormat::kJson) std::cout << ErrorJson(error) << "\n";
    return 1;
  }
}

void PrintText(const std::string& text, OutputFormat format) {
  OperationResult result;
  result.text = text;
  std::cout << RenderResult(result, format);
}

void PrintRecordset(const RecordsetRef& recordset, OutputFormat format) {
  OperationResult result;
  result.kind = OperationResult::Kind::kRecordset;
  result.recordset = recordset;
  std::cout << RenderResult(result, format);
}

// " 12 20 ": every chosen item between blanks, as stored conditions expect.
std::string ItemListText(const std::string& comma_list) {
  std::string list = " ";
  for (const std::string& item : vb::Split(comma_list, ",")) {
    if (!item.empty()) list += item + " ";
  }
  return list;
}

ToolCommand& Add(ToolState& state, CLI::App& app, const char* name, const char* summary) {
  state.commands.push_back({app.add_subcommand(name, summary), nullptr});
  return state.commands.back();
}

void AddCommon(CLI::App& command, std::string& connection, std::string& project, std::string& specs,
               std::string& format, std::string& trace_file) {
  command.add_option("--connection", connection, "connection string (env TRELIX_CONNECTION)");
  command.add_option("--project", project, "project database name (env TRELIX_PROJECT)");
  command.add_option("--specs", specs, "specs database name (env TRELIX_SPECS)");
  command.add_option("--format", format, "output: table, json or xml")->check(CLI::IsMember({"table", "json", "xml"}));
  command.add_option("--trace", trace_file, "append one JSON line per connector call to FILE");
}

// --format of the subcommands that print one text: table prints it as it
// is, json as a JSON string; a text has no XML form.
void AddTextFormat(CLI::App& command, std::string& format) {
  command.add_option("--format", format, "output: table or json")->check(CLI::IsMember({"table", "json"}));
}

}  // namespace

ToolCommands AddToolCommands(CLI::App& app, std::string& connection, std::string& project, std::string& specs,
                             std::string& format, std::string& trace_file) {
  auto state = std::make_shared<ToolState>();
  ToolState& s = *state;
  s.commands.reserve(32);

  {
    ToolCommand& tool = Add(s, app, "format-number", "A number in the conventions of a language");
    tool.command->add_option("VALUE", s.value, "the number, with '.' as decimal point")->required();
    tool.command->add_option("--decimals", s.decimals, "digits after the decimal point");
    tool.command->add_option("--language", s.language, "language id");
    AddTextFormat(*tool.command, format);
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      return Report(format, [&] {
        std::optional<double> value = vb::ParseNumber(vb::Replace(s.value, ".", std::string(1, vb::DecimalSeparator())));
        if (!value) RaiseVbError(kErrTypeMismatch);
        PrintText(FormatLocaleNumber(*value, static_cast<int32_t>(vb::CLng(Variant(s.decimals))),
                                     vb::CInt(Variant(s.language))),
                  format);
      });
    };
  }
  {
    ToolCommand& tool = Add(s, app, "condition", "Whether a stored condition holds for chosen options");
    tool.command->add_option("CONDITION", s.value, "e.g. \"({12} or {15}) and not {20}\"")->required();
    tool.command->add_option("--options", s.options, "chosen option ids, e.g. 12,20");
    AddTextFormat(*tool.command, format);
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      return Report(format, [&] {
        std::string condition = s.value;
        bool met = ConditionMet(condition, ItemListText(s.options));
        PrintText(vb::CStr(Variant(met)), format);
      });
    };
  }
  {
    ToolCommand& tool = Add(s, app, "eval", "Evaluate a VBScript expression");
    tool.command->add_option("EXPRESSION", s.value, "the expression")->required();
    tool.command->add_option("--format", format, "output: table or json")->check(CLI::IsMember({"table", "json"}));
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      return Report(format, [&] {
        Variant value = vbscript::ThreadScriptEngine().Eval(s.value);
        std::string type = vbscript::VbScriptTypeName(value);
        if (format != OutputFormat::kJson) {
          std::cout << (value.IsNull() ? std::string("Null") : vb::ToText(value)) << "\n";
          return;
        }
        nlohmann::json body;
        if (value.IsNull() || value.IsEmpty()) body["value"] = nullptr;
        else if (value.type() == VarType::kBoolean) body["value"] = value.boolean();
        else if (value.IsNumericType()) body["value"] = vb::CDbl(value);
        else body["value"] = vb::ToText(value);
        body["type"] = type;
        std::cout << body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
      });
    };
  }
  {
    ToolCommand& tool = Add(s, app, "calculate", "A one-operator formula, such as 10/4");
    tool.command->add_option("EXPRESSION", s.value, "the formula")->required();
    AddTextFormat(*tool.command, format);
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      return Report(format, [&] { PrintText(Calculate(Variant(s.value)), format); });
    };
  }
  for (const char* name : {"query", "shape"}) {
    bool shape = std::string(name) == "shape";
    ToolCommand& tool = Add(s, app, name, shape ? "Run a data-shaping command through the connector"
                                                : "Run a T-SQL statement through the connector");
    tool.command->add_option("--database", s.database, "database name")->required();
    tool.command->add_option("STATEMENT", s.value, "the statement")->required();
    AddCommon(*tool.command, connection, project, specs, format, trace_file);
    tool.run = [&s, shape](const HostSettings& host, OutputFormat format) {
      return Report(format, [&] {
        ConnectorRef connector = CreateConnector();
        RecordsetRef result = shape ? connector->ExecuteShape(s.value, s.database, host.connection)
                                    : connector->ExecuteQuery(s.value, s.database, host.connection);
        PrintRecordset(result, format);
      });
    };
  }
  {
    ToolCommand& tool = Add(s, app, "sql", "Translate a T-SQL statement to an engine's dialect");
    tool.command->add_option("--dialect", s.dialect, "sqlite or postgres")
        ->required()
        ->check(CLI::IsMember({"sqlite", "postgres"}));
    tool.command->add_option("STATEMENT", s.value, "the T-SQL statement")->required();
    AddTextFormat(*tool.command, format);
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      sql::Dialect dialect = s.dialect == "sqlite" ? sql::Dialect::kSqlite : sql::Dialect::kPostgres;
      Result<sql::Translation> translation = sql::Translate(s.value, dialect);
      if (!translation.ok()) {
        std::cerr << "trelix_eb: " << translation.status().message() << "\n";
        return 1;
      }
      PrintText(translation->text, format);
      return 0;
    };
  }
  {
    ToolCommand& tool = Add(s, app, "recordset", "Print a saved recordset (XML persistence file)");
    tool.command->add_option("FILE", s.file, "the XML file")->required()->check(CLI::ExistingFile);
    tool.command->add_option("--filter", s.filter, "filter criteria");
    tool.command->add_option("--sort", s.sort, "sort order, e.g. \"price DESC\"");
    tool.command->add_option("--find", s.find, "find criteria (the found row and those after it are printed)");
    tool.command->add_option("--format", format, "output: table, json or xml")
        ->check(CLI::IsMember({"table", "json", "xml"}));
    tool.run = [&s](const HostSettings&, OutputFormat format) {
      return Report(format, [&] {
        std::ifstream in(s.file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        RecordsetRef recordset = Recordset::LoadXml(text.str());
        if (!s.filter.empty()) recordset->SetFilter(Variant(s.filter));
        if (!s.sort.empty()) recordset->SetSort(s.sort);
        if (!s.find.empty()) {
          if (recordset->RecordCount() > 0) {
            recordset->MoveFirst();
            recordset->Find(s.find);
          }
          // Keep the found row and the rows after it: the rows a caller would
          // walk from the position Find left.
          RecordsetRef found = std::make_shared<Recordset>();
          for (int i = 0; i < recordset->FieldCount(); ++i) found->AppendField(recordset->Field(i));
          found->Open();
          for (; recordset->RecordCount() > 0 && !recordset->IsEOF(); recordset->MoveNext()) {
            std::vector<Variant> row;
            for (int i = 0; i < recordset->FieldCount(); ++i) row.push_back(recordset->Value(i));
            found->AppendRow(std::move(row));
          }
          recordset = found;
        }
        PrintRecordset(recordset, format);
      });
    };
  }
  {
    ToolCommand& tool = Add(s, app, "demo-db", "Create the demo databases (fictional site, vehicles 1001..1008)");
    tool.command->add_option("DIR", s.directory, "folder of the SQLite files (default: the demo folder)");
    tool.command->add_option("--connection", connection, "a postgresql: connection instead of a folder");
    tool.command->add_option("--project", project, "project database name");
    tool.command->add_option("--specs", specs, "specs database name");
    tool.run = [&s](const HostSettings& host, OutputFormat) {
      std::string target = !s.directory.empty() ? "sqlite:" + s.directory : host.connection;
      if (target.rfind("sqlite:", 0) == 0) std::filesystem::create_directories(target.substr(7));
      Status status = datagen::CreateDemoSite(target, host.project, host.specs);
      if (!status.ok()) {
        std::cerr << "trelix_eb: demo-db: " << status.message() << "\n";
        return 1;
      }
      std::cout << "demo databases " << host.project << " and " << host.specs << " written to " << target << "\n";
      return 0;
    };
  }
  {
    ToolCommand& tool = Add(s, app, "import-epa", "Build a real-data site from the public fuel-economy table");
    tool.command->add_option("FILE", s.file, "vehicles.csv or the zip holding it")->required();
    tool.command->add_option("DIR", s.directory, "folder of the SQLite files")->required();
    tool.command->add_option("--project", s.project_name, "project database name (default epa_project)");
    tool.command->add_option("--specs", s.specs_name, "specs database name (default epa_specs)");
    tool.command->add_option("--max-vehicles", s.max_vehicles, "import only the first N vehicles");
    tool.run = [&s](const HostSettings&, OutputFormat) {
      datagen::EpaImportOptions options;
      if (!s.project_name.empty()) options.project_name = s.project_name;
      if (!s.specs_name.empty()) options.specs_name = s.specs_name;
      options.max_vehicles = s.max_vehicles;
      std::string target = s.directory.rfind("postgresql:", 0) == 0 ? s.directory : "sqlite:" + s.directory;
      if (target.rfind("sqlite:", 0) == 0) std::filesystem::create_directories(s.directory);
      Result<datagen::EpaImportStats> stats = datagen::ImportEpa(s.file, target, options);
      if (!stats.ok()) {
        std::cerr << "trelix_eb: import-epa: " << stats.status().message() << "\n";
        return 1;
      }
      std::cout << stats->vehicles << " vehicles, " << stats->equipment_rows << " equipment rows, "
                << stats->competitor_sets << " competitor sets, " << stats->derived_options
                << " derived options written to " << target << " (" << options.project_name << ", "
                << options.specs_name << ")\n";
      return 0;
    };
  }
  {
    ToolCommand& tool = Add(s, app, "gen-db", "Create scaled synthetic databases for benchmarks");
    tool.command->add_option("DIR", s.directory, "folder of the SQLite files (or a postgresql: connection)")->required();
    tool.command->add_option("--vehicles", s.vehicles, "number of vehicles");
    tool.command->add_option("--lines", s.lines, "sheet lines");
    tool.command->add_option("--rows-per-vehicle", s.rows_per_vehicle, "equipment rows per vehicle, times lines");
    tool.command->add_option("--project", s.project_name, "project database name (default bench_project)");
    tool.command->add_option("--specs", s.specs_name, "specs database name (default bench_specs)");
    tool.run = [&s](const HostSettings&, OutputFormat) {
      datagen::ScaleOptions options;
      options.vehicles = s.vehicles;
      options.lines = s.lines;
      options.rows_per_vehicle = s.rows_per_vehicle;
      if (!s.project_name.empty()) options.project_name = s.project_name;
      if (!s.specs_name.empty()) options.specs_name = s.specs_name;
      std::string target = s.directory.rfind("postgresql:", 0) == 0 ? s.directory : "sqlite:" + s.directory;
      if (target.rfind("sqlite:", 0) == 0) std::filesystem::create_directories(s.directory);
      Result<datagen::ScaleStats> stats = datagen::GenerateScaled(target, options);
      if (!stats.ok()) {
        std::cerr << "trelix_eb: gen-db: " << stats.status().message() << "\n";
        return 1;
      }
      std::cout << stats->vehicles << " vehicles, " << stats->lines << " lines, " << stats->equipment_rows
                << " equipment rows written to " << target << "\n";
      return 0;
    };
  }
  {
    ToolCommand& tool = Add(s, app, "serve", "Run the HTTP service and the demo pages");
    tool.command->add_option("--config", s.config_file, "JSON configuration file (env TRELIX_CONFIG)");
    for (const SettingKey& key : ServeSettingKeys()) {
      std::string name = key.key;
      std::string help = std::string(key.help) + " (env " + key.env + ")";
      if (name == "connection" || name == "project" || name == "specs") {
        // Bound to the common options so that every subcommand reads them alike.
        std::string& target = name == "connection" ? connection : name == "project" ? project : specs;
        s.serve_options[name] = tool.command->add_option("--" + name, target, help);
      } else if (name == "quiet") {
        s.serve_options[name] = tool.command->add_flag("--quiet", s.quiet, help);
      } else {
        s.serve_options[name] = tool.command->add_option("--" + name, s.serve_values[name], help);
      }
    }
    tool.run = [&s, &connection, &project, &specs](const HostSettings&, OutputFormat) {
      SettingValues flags;
      for (const auto& [name, option] : s.serve_options) {
        if (option->count() == 0) continue;
        flags[name] = name == "connection" ? connection
                      : name == "project"  ? project
                      : name == "specs"    ? specs
                      : name == "quiet"    ? "true"
                                           : s.serve_values[name];
      }
      SettingValues file;
      const char* config_env = std::getenv("TRELIX_CONFIG");
      std::string config = !s.config_file.empty() ? s.config_file : (config_env ? config_env : "");
      if (!config.empty()) {
        Result<SettingValues> read = ReadServeConfigFile(config);
        if (!read.ok()) {
          std::cerr << "trelix_eb: " << read.status().message() << "\n";
          return 2;
        }
        file = std::move(read.value());
      }
      Result<ServeSettings> settings =
          ResolveServeSettings(flags, ServeSettingsFromEnvironment(std::getenv), file, "sqlite:" + DefaultDemoDirectory());
      if (!settings.ok()) {
        std::cerr << "trelix_eb: " << settings.status().message() << "\n";
        return 2;
      }
      const ServiceOptions& options = settings->service;
      if (!settings->cache.empty()) {
        Status status = base::ConfigureCache(settings->cache);
        if (!status.ok()) {
          std::cerr << "trelix_eb: cache: " << status.message() << "\n";
          return 2;
        }
      }
      Status status = RunService(options, [&](int port) {
        std::cout << "trelix_eb: serving http://" << options.bind << ":" << port << "/ (" << options.host.connection
                  << ", " << options.host.project << ", " << options.host.specs << ")" << std::endl;
      });
      if (!status.ok()) {
        std::cerr << "trelix_eb: " << status.message() << "\n";
        return 1;
      }
      return 0;
    };
  }
  {
    ToolCommand& tool = Add(s, app, "monitor", "Listen as the error-log monitor and print what arrives");
    tool.command->add_option("--name", s.caption, "monitor caption: \"Brantel Vellox\" or \"Brantel Vellox - ...\"");
    tool.run = [&s](const HostSettings&, OutputFormat) {
      std::cerr << "trelix_eb: listening as \"" << s.caption << "\"\n";
      Status status = RunMonitor(s.caption, std::cout);
      if (!status.ok()) {
        std::cerr << "trelix_eb: " << status.message() << "\n";
        return 1;
      }
      return 0;
    };
  }
  return ToolCommands{state};
}

int RunToolCommand(ToolCommands& tools, const HostSettings& host, OutputFormat format) {
  for (ToolCommand& tool : tools.state->commands) {
    if (tool.command->parsed()) return tool.run(host, format);
  }
  return 2;
}

}  // namespace trelix::app

namespace trelix::app {

TraceScope::TraceScope(const std::string& path) : active_(!path.empty()) {
  if (!active_) return;
  Status status = base::TraceToFile(path);
  if (!status.ok()) {
    std::cerr << "trelix_eb: --trace: " << status.message() << "\n";
    active_ = false;
  }
}

TraceScope::~TraceScope() {
  if (active_) base::SetTraceSink(nullptr);
}

}  // namespace trelix::app
