#pragma once
// Reading the rows of a CSV file (RFC 4180: quoted fields may hold commas,
// quotes doubled, line breaks), from the file itself or from a member of a
// zip archive extracted on the fly by the `unzip` tool.

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"

namespace trelix::datagen {

class CsvInput {
 public:
  // `path` is a CSV file, or a zip archive (recognised by its signature)
  // from which `member` is read. NotFound for a missing file; IOError when
  // the unzip tool cannot be started.
  static Result<std::unique_ptr<CsvInput>> Open(const std::string& path, const std::string& member);

  CsvInput(const CsvInput&) = delete;
  CsvInput& operator=(const CsvInput&) = delete;
  ~CsvInput();

  // The next record into `fields`; false at the end of the input.
  bool Next(std::vector<std::string>& fields);

  // Ends reading. Corruption when the archive could not be extracted (not a
  // zip, no such member) or a quoted field never ended; reading may stop
  // early without error.
  Status Close();

 private:
  CsvInput(FILE* file, pid_t child, std::string path) : file_(file), child_(child), path_(std::move(path)) {}

  FILE* file_;
  pid_t child_;  // the unzip process, or 0
  std::string path_;
  bool at_end_ = false;
  bool unterminated_quote_ = false;
};

}  // namespace trelix::datagen
