#include "app/service_config.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <nlohmann/json.hpp>
#include <sstream>

namespace trelix::app {
namespace {

bool ParseRange(const std::string& text, int64_t min, int64_t max, int64_t* out) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min || value > max)
    return false;
  *out = value;
  return true;
}

// Database names become schema, file or catalog names: an identifier only.
bool IsDatabaseName(const std::string& text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return !(text[0] >= '0' && text[0] <= '9');
}

const SettingKey* FindKey(const std::string& key) {
  for (const SettingKey& known : ServeSettingKeys()) {
    if (key == known.key) return &known;
  }
  return nullptr;
}

// Applies one value to `settings`; the problem in words when it is bad.
std::optional<std::string> Apply(const std::string& key, const std::string& value, ServeSettings& settings) {
  ServiceOptions& service = settings.service;
  int64_t number = 0;
  if (key == "bind") {
    if (value.empty()) return "must be an address";
    service.bind = value;
  } else if (key == "port") {
    if (!ParseRange(value, 0, 65535, &number)) return "must be a port number from 0 to 65535";
    service.port = static_cast<int>(number);
  } else if (key == "threads") {
    if (!ParseRange(value, 1, 1024, &number)) return "must be a number of threads from 1 to 1024";
    service.threads = static_cast<int>(number);
  } else if (key == "connection") {
    if (value.empty()) return "must be a connection string";
    service.host.connection = value;
  } else if (key == "project" || key == "specs") {
    if (!IsDatabaseName(value)) return "must be a database name (a letter or '_', then letters, digits or '_')";
    (key == "project" ? service.host.project : service.host.specs) = value;
  } else if (key == "cache") {
    settings.cache = value;  // checked where it is configured
  } else if (key == "max-query-bytes") {
    if (!ParseRange(value, 256, 1 << 20, &number)) return "must be a number of bytes from 256 to 1048576";
    service.max_query_bytes = static_cast<size_t>(number);
  } else if (key == "read-timeout") {
    if (!ParseRange(value, 1, 3600, &number)) return "must be a number of seconds from 1 to 3600";
    service.read_timeout_seconds = static_cast<int>(number);
  } else if (key == "quiet") {
    if (value != "true" && value != "false" && value != "1" && value != "0") return "must be true or false";
    service.access_log = !(value == "true" || value == "1");
  } else {
    return "is not a setting";
  }
  return std::nullopt;
}

}  // namespace

const std::vector<SettingKey>& ServeSettingKeys() {
  static const std::vector<SettingKey> keys = {
      {"bind", "TRELIX_BIND", "address to listen on (default 127.0.0.1)"},
      {"port", "TRELIX_PORT", "port (default 8080; 0: any free port)"},
      {"threads", "TRELIX_THREADS", "worker threads, one per open connection (default 32)"},
      {"connection", "TRELIX_CONNECTION", "connection string (default sqlite: + the demo folder)"},
      {"project", "TRELIX_PROJECT", "project database name (default demo_project)"},
      {"specs", "TRELIX_SPECS", "specs database name (default demo_specs)"},
      {"cache", "TRELIX_CACHE", "cache of non-zero handles: memory[:MiB] or redis://HOST:PORT[/DB]"},
      {"max-query-bytes", "TRELIX_MAX_QUERY_BYTES", "longest request target accepted (default 8192)"},
      {"read-timeout", "TRELIX_READ_TIMEOUT", "seconds to wait for a request (default 5)"},
      {"quiet", "TRELIX_QUIET", "no access log (default false)"},
  };
  return keys;
}

Result<SettingValues> ReadServeConfigFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::InvalidArgument("cannot read the configuration file " + path);
  std::stringstream text;
  text << in.rdbuf();
  nlohmann::json json = nlohmann::json::parse(text.str(), nullptr, false);
  if (json.is_discarded() || !json.is_object())
    return Status::InvalidArgument("the configuration file " + path + " is not a JSON object");
  SettingValues values;
  for (const auto& [key, value] : json.items()) {
    if (!FindKey(key)) return Status::InvalidArgument(path + ": unknown setting \"" + key + "\"");
    if (value.is_string()) values[key] = value.get<std::string>();
    else if (value.is_boolean()) values[key] = value.get<bool>() ? "true" : "false";
    else if (value.is_number_integer()) values[key] = value.dump();
    else return Status::InvalidArgument(path + ": \"" + key + "\" must be a string, an integer or true/false");
  }
  return values;
}

SettingValues ServeSettingsFromEnvironment(const std::function<const char*(const char*)>& getenv) {
  SettingValues values;
  for (const SettingKey& key : ServeSettingKeys()) {
    const char* value = getenv(key.env);
    if (value && *value) values[key.key] = value;
  }
  return values;
}

Result<ServeSettings> ResolveServeSettings(const SettingValues& flags, const SettingValues& environment,
                                           const SettingValues& file, const std::string& default_connection) {
  ServeSettings settings;
  settings.service.host.connection = default_connection;
  // Lowest precedence first, so that each later layer overrides.
  const SettingValues* layers[] = {&file, &environment, &flags};
  for (int layer = 0; layer < 3; ++layer) {
    for (const auto& [key, value] : *layers[layer]) {
      const SettingKey* known = FindKey(key);
      if (!known) return Status::InvalidArgument("unknown setting \"" + key + "\"");
      std::string origin = layer == 0 ? std::string("the configuration file")
                           : layer == 1 ? std::string(known->env)
                                        : "--" + key;
      if (auto problem = Apply(key, value, settings))
        return Status::InvalidArgument(key + " from " + origin + " " + *problem + " (got \"" + value + "\")");
    }
  }
  return settings;
}

}  // namespace trelix::app
