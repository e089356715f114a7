#pragma once
// SiteWriter creates the two databases of a site (project and specs)
// from the schema description (schema.h) and streams rows into them.
//
//   sqlite:DIR          -> DIR/PROJECT.sqlite and DIR/SPECS.sqlite (DIR is
//                          created when missing). The files are written under
//                          temporary names in one transaction each, with
//                          prepared inserts, and renamed over any old files by
//                          Commit.
//   postgresql:CONNINFO -> schemas PROJECT and SPECS of that database (also
//   postgresql://URI       "postgres:"), dropped and recreated inside one
//                          transaction; rows go in with COPY.
//
// Nothing of the new data is visible before Commit succeeds; after a failure
// (or when the writer is destroyed without Commit) the previous databases are
// untouched. Rows are checked against the schema as they come (column count,
// NOT NULL, text length and UTF-8, integer ranges), so a generator bug is
// the same clear error on every engine.
//
// Usage:
//   auto writer = SiteWriter::Open("sqlite:/tmp/site", "demo_project", "demo_specs");
//   if (!writer.ok()) return writer.status();
//   Status s = (*writer)->Insert(TableId::kCategories, {"ENG", 1, 2, 3});
//   ...
//   s = (*writer)->Commit();

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/datagen/schema.h"
#include "common/status.h"

namespace trelix::datagen {

// One value of a row: NULL, an integer, a real or a text. Texts are borrowed
// for the duration of the Insert call only.
class Cell {
 public:
  enum class Kind : uint8_t { kNull, kInteger, kReal, kText };

  Cell() = default;
  Cell(std::nullptr_t) {}
  Cell(int value) : kind_(Kind::kInteger), integer_(value) {}
  Cell(int64_t value) : kind_(Kind::kInteger), integer_(value) {}
  Cell(double value) : kind_(Kind::kReal), real_(value) {}
  Cell(std::string_view text) : kind_(Kind::kText), text_(text) {}
  Cell(const char* text) : kind_(Kind::kText), text_(text) {}
  Cell(const std::string& text) : kind_(Kind::kText), text_(text) {}

  Kind kind() const { return kind_; }
  bool is_null() const { return kind_ == Kind::kNull; }
  int64_t integer() const { return integer_; }
  double real() const { return real_; }
  std::string_view text() const { return text_; }

 private:
  Kind kind_ = Kind::kNull;
  int64_t integer_ = 0;
  double real_ = 0;
  std::string_view text_;
};

class SiteWriter {
 public:
  // Opens the target for writing. Errors: InvalidArgument for a connection
  // string of another kind, an unsafe database name or equal project and
  // specs names; IOError for a directory or file that cannot be written;
  // Unavailable for a PostgreSQL server that cannot be reached.
  static Result<std::unique_ptr<SiteWriter>> Open(std::string_view connection, std::string_view project_name,
                                                  std::string_view specs_name);

  SiteWriter(const SiteWriter&) = delete;
  SiteWriter& operator=(const SiteWriter&) = delete;
  virtual ~SiteWriter() = default;

  // Appends one row of `table`, cells in the table's column order. After the
  // first failure every later call returns that failure.
  Status Insert(TableId table, std::span<const Cell> cells);
  Status Insert(TableId table, std::initializer_list<Cell> cells) {
    return Insert(table, std::span<const Cell>(cells.begin(), cells.size()));
  }

  // Builds the secondary indexes and makes both databases visible.
  Status Commit();

  // Rows accepted so far, per table and in total.
  int64_t rows(TableId table) const { return rows_[static_cast<size_t>(table)]; }
  int64_t total_rows() const;

 protected:
  SiteWriter() = default;
  virtual Status DoInsert(const TableDef& table, std::span<const Cell> cells) = 0;
  virtual Status DoCommit() = 0;

 private:
  Status CheckRow(const TableDef& table, std::span<const Cell> cells) const;

  Status failure_;
  bool committed_ = false;
  int64_t rows_[static_cast<size_t>(TableId::kCount)] = {};
};

// Database names end up in file names and SQL identifiers: a letter or '_'
// followed by letters, digits or '_', at most 63 characters.
Status ValidateSiteDatabaseName(std::string_view name);

}  // namespace trelix::datagen
