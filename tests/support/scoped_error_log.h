#pragma once
// A private error log for one test: the component path points into a fresh
// folder (named with the process id, as CTest runs cases as parallel
// processes), so the log is written there and read back from there.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/modVelloxLITE.h"

namespace trelix::testing {

class ScopedErrorLog {
 public:
  ScopedErrorLog() {
    const std::string name = "trelix_log_" + std::to_string(::getpid()) + "_XXXXXX";
    std::string pattern = (std::filesystem::temp_directory_path() / name).string();
    if (::mkdtemp(pattern.data())) folder_ = pattern;
    component_ = folder_ + "/trelix_eb.so";
    SetComponentPathOverride(component_);
  }
  ~ScopedErrorLog() {
    SetComponentPathOverride(std::nullopt);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScopedErrorLog(const ScopedErrorLog&) = delete;
  ScopedErrorLog& operator=(const ScopedErrorLog&) = delete;

  const std::string& folder() const { return folder_; }
  const std::string& component() const { return component_; }
  std::string path() const { return folder_ + "/trelix_eb_errorlog.txt"; }

  std::string Text() const {
    std::ifstream file(path(), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }
  // The lines without their "\r\n"; an unterminated tail is a line of its
  // own (a defect the tests catch).
  std::vector<std::string> Lines() const {
    const std::string text = Text();
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
      const size_t end = std::min(text.find("\r\n", start), text.size());
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

 private:
  std::string folder_, component_;
};

}  // namespace trelix::testing
