// Settings of `serve`: one set of keys and checks for flags, environment and
// the configuration file, with flags > environment > file > defaults.

#include "app/service_config.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace trelix::app {
namespace {

namespace fs = std::filesystem;

class ServiceConfigTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }

  std::string Write(const std::string& text) {
    std::ofstream(path_, std::ios::binary) << text;
    return path_.string();
  }

  fs::path path_ = fs::temp_directory_path() / ("trelix_serve_config_" + std::to_string(::getpid()) + ".json");
};

TEST_F(ServiceConfigTest, LayersOverrideInOrderOfPrecedence) {
  Result<SettingValues> file = ReadServeConfigFile(Write(R"({"port": 9000, "threads": 3, "bind": "0.0.0.0",
      "project": "file_project", "cache": "redis://cache:6379/1", "quiet": true, "max-query-bytes": 4096})"));
  ASSERT_TRUE(file.ok()) << file.status().message();
  std::map<std::string, std::string> variables = {{"TRELIX_PORT", "9100"}, {"TRELIX_THREADS", "5"},
                                                  {"TRELIX_SPECS", "env_specs"}, {"TRELIX_BIND", ""}};
  SettingValues environment = ServeSettingsFromEnvironment([&](const char* name) -> const char* {
    auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  });
  EXPECT_FALSE(environment.count("bind"));  // set but empty: not given
  Result<ServeSettings> settings = ResolveServeSettings({{"port", "9200"}}, environment, file.value(), "sqlite:/demo");
  ASSERT_TRUE(settings.ok()) << settings.status().message();
  const ServiceOptions& service = settings->service;
  EXPECT_EQ(service.port, 9200);                      // flag
  EXPECT_EQ(service.threads, 5);                      // environment over file
  EXPECT_EQ(service.host.specs, "env_specs");         // environment over default
  EXPECT_EQ(service.host.project, "file_project");    // file over default
  EXPECT_EQ(service.bind, "0.0.0.0");
  EXPECT_EQ(service.max_query_bytes, 4096u);
  EXPECT_FALSE(service.access_log);
  EXPECT_EQ(settings->cache, "redis://cache:6379/1");
  EXPECT_EQ(service.host.connection, "sqlite:/demo");  // default
  EXPECT_EQ(service.read_timeout_seconds, 5);
}

TEST_F(ServiceConfigTest, BadFilesAreClearErrors) {
  const std::pair<const char*, const char*> cases[] = {  // text, expected (in the message)
      {"port = 8080", "not a JSON object"}, {"[1, 2]", "not a JSON object"},
      {R"({"prot": 8080})", "unknown setting \"prot\""}, {R"({"port": 80.5})", "\"port\" must be"},
      {R"({"threads": [4]})", "\"threads\" must be"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    Result<SettingValues> file = ReadServeConfigFile(Write(text));
    ASSERT_FALSE(file.ok());
    EXPECT_NE(file.status().message().find(expected), std::string::npos) << file.status().message();
  }
  EXPECT_FALSE(ReadServeConfigFile("/nonexistent/trelix.json").ok());
}

TEST_F(ServiceConfigTest, BadValuesNameTheKeyAndWhereTheyCameFrom) {
  struct Case {
    SettingValues flags, environment, file;
    const char* expected;
  };
  const Case cases[] = {
      {{{"port", "70000"}}, {}, {}, "port from --port"}, {{}, {{"port", "80x"}}, {}, "port from TRELIX_PORT"},
      {{}, {}, {{"threads", "0"}}, "threads from the configuration file"},
      {{}, {}, {{"project", "demo;drop"}}, "project from the configuration file"},
      {{}, {{"specs", "1abc"}}, {}, "specs from TRELIX_SPECS"},
      {{}, {}, {{"quiet", "yes"}}, "quiet from the configuration file"},
      {{}, {}, {{"max-query-bytes", "10"}}, "max-query-bytes"},
      {{{"colour", "red"}}, {}, {}, "unknown setting \"colour\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Result<ServeSettings> settings = ResolveServeSettings(c.flags, c.environment, c.file, "sqlite:/demo");
    ASSERT_FALSE(settings.ok());
    EXPECT_NE(settings.status().message().find(c.expected), std::string::npos) << settings.status().message();
  }
  // A bad value in a lower layer is an error even when a higher one overrides it.
  EXPECT_FALSE(ResolveServeSettings({{"port", "1"}}, {}, {{"port", "x"}}, "").ok());
}

}  // namespace
}  // namespace trelix::app
