#pragma once
// The settings of `serve`, from four layers in this order of precedence:
// command-line flags, environment (TRELIX_…), a configuration file
// (--config FILE or TRELIX_CONFIG), built-in defaults. Every layer uses the
// same keys and the same checks, so a value means the same wherever it is
// given.
//
// The file is one JSON object, e.g.
//   {"bind": "0.0.0.0", "port": 8080, "threads": 16,
//    "connection": "postgresql:host=db dbname=site", "cache": "redis://cache:6379/0"}
// with string, number or Boolean values. Unknown keys are errors (a typo
// must not silently fall back to a default).

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/http_service.h"
#include "common/status.h"

namespace trelix::app {

// One layer's values by key, as text ("port" -> "8080").
using SettingValues = std::map<std::string, std::string>;

struct SettingKey {
  const char* key;       // file key and flag name without "--"
  const char* env;       // environment variable
  const char* help;
};

// bind, port, threads, connection, project, specs, cache, max-query-bytes,
// read-timeout, quiet.
const std::vector<SettingKey>& ServeSettingKeys();

struct ServeSettings {
  ServiceOptions service;
  std::string cache;  // "" keeps the process default (in-process)
};

// Reads the configuration file. InvalidArgument (naming the file and the
// key) for an unreadable file, text that is not a JSON object, an unknown
// key or a value that is not a string, number or Boolean.
Result<SettingValues> ReadServeConfigFile(const std::string& path);

// The TRELIX_… variables that are set (non-empty).
SettingValues ServeSettingsFromEnvironment(const std::function<const char*(const char*)>& getenv);

// Merges the layers over the defaults (connection: `default_connection`)
// and checks every value. InvalidArgument naming the key and the layer it
// came from ("port from TRELIX_PORT must be ...").
Result<ServeSettings> ResolveServeSettings(const SettingValues& flags, const SettingValues& environment,
                                           const SettingValues& file, const std::string& default_connection);

}  // namespace trelix::app
