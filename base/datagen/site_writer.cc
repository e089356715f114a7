#include "base/datagen/site_writer.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/datagen/site_writer_backends.h"

namespace trelix::datagen {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Length in UTF-16 code units (how SQL Server counts nvarchar), or -1 for
// text that is not valid UTF-8.
int64_t Utf16Units(std::string_view text) {
  int64_t units = 0;
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length;
    if (c < 0x80) {
      length = 1;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      length = 2;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      length = 4;
    } else {
      return -1;
    }
    if (i + length > text.size()) return -1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return -1;
    }
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

bool IsDateTimeText(std::string_view text) {
  // YYYY-MM-DD or YYYY-MM-DD HH:MM:SS
  auto digits = [&](size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i) {
      if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
  };
  if (text.size() != 10 && text.size() != 19) return false;
  if (!digits(0, 4) || text[4] != '-' || !digits(5, 2) || text[7] != '-' || !digits(8, 2)) return false;
  if (text.size() == 10) return true;
  return text[10] == ' ' && digits(11, 2) && text[13] == ':' && digits(14, 2) && text[16] == ':' && digits(17, 2);
}

// What a column accepts, worked out once per column from its type name.
struct ColumnRule {
  enum class Kind : uint8_t { kText, kDateTime, kInteger, kNumber } kind = Kind::kNumber;
  int64_t low = 0, high = 0;  // kInteger
  int text_limit = 0;         // kText; 0 for no limit
  double max_abs = 0;         // kNumber; 0 for no limit
};

ColumnRule RuleFor(std::string_view declared) {
  const std::string type = Lower(declared);
  ColumnRule rule;
  if (IsTextType(type)) {
    rule.kind = ColumnRule::Kind::kText;
    rule.text_limit = TextLength(type);
  } else if (type == "datetime") {
    rule.kind = ColumnRule::Kind::kDateTime;
  } else if (type == "int" || type == "smallint" || type == "bit" || type == "bigint") {
    rule.kind = ColumnRule::Kind::kInteger;
    if (type == "int") rule.low = INT32_MIN, rule.high = INT32_MAX;
    if (type == "smallint") rule.low = INT16_MIN, rule.high = INT16_MAX;
    if (type == "bit") rule.low = 0, rule.high = 1;
    if (type == "bigint") rule.low = INT64_MIN, rule.high = INT64_MAX;
  } else if (type.starts_with("decimal(")) {
    const int precision = std::atoi(type.c_str() + 8);
    const size_t comma = type.find(',');
    const int scale = comma == std::string::npos ? 0 : std::atoi(type.c_str() + comma + 1);
    rule.max_abs = std::pow(10.0, precision - scale);
  }
  return rule;
}

const std::vector<std::vector<ColumnRule>>& Rules() {
  static const std::vector<std::vector<ColumnRule>> rules = [] {
    std::vector<std::vector<ColumnRule>> all;
    for (const TableDef& table : Tables()) {
      std::vector<ColumnRule> columns;
      for (const ColumnDef& column : table.columns) columns.push_back(RuleFor(column.type));
      all.push_back(std::move(columns));
    }
    return all;
  }();
  return rules;
}

Status CheckCell(const TableDef& table, const ColumnDef& column, const ColumnRule& rule, const Cell& cell) {
  auto fail = [&](const std::string& what) {
    return Status::InvalidArgument(std::string(table.name) + "." + std::string(column.name) + " (" +
                                   std::string(column.type) + "): " + what);
  };
  if (cell.is_null()) return column.nullable ? Status::Ok() : fail("NULL in a NOT NULL column");
  switch (rule.kind) {
    case ColumnRule::Kind::kText: {
      if (cell.kind() != Cell::Kind::kText) return fail("a number where text is expected");
      const int64_t units = Utf16Units(cell.text());
      if (units < 0) return fail("text that is not valid UTF-8");
      if (rule.text_limit > 0 && units > rule.text_limit) {
        return fail("text longer than " + std::to_string(rule.text_limit) + ": '" + std::string(cell.text()) + "'");
      }
      return Status::Ok();
    }
    case ColumnRule::Kind::kDateTime:
      if (cell.kind() != Cell::Kind::kText || !IsDateTimeText(cell.text())) return fail("not 'YYYY-MM-DD HH:MM:SS'");
      return Status::Ok();
    case ColumnRule::Kind::kInteger:
      if (cell.kind() != Cell::Kind::kInteger) return fail("not an integer");
      if (cell.integer() < rule.low || cell.integer() > rule.high) {
        return fail("out of range: " + std::to_string(cell.integer()));
      }
      return Status::Ok();
    case ColumnRule::Kind::kNumber:
      break;
  }
  if (cell.kind() == Cell::Kind::kText) return fail("text where a number is expected");
  const double value = cell.kind() == Cell::Kind::kInteger ? static_cast<double>(cell.integer()) : cell.real();
  if (!std::isfinite(value)) return fail("not a finite number");
  if (rule.max_abs > 0 && std::fabs(value) >= rule.max_abs) return fail("too large");
  return Status::Ok();
}

}  // namespace

Status ValidateSiteDatabaseName(std::string_view name) {
  bool ok = !name.empty() && name.size() <= 63 && (std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_');
  for (char c : name) ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (!ok) {
    return Status::InvalidArgument("database name '" + std::string(name) +
                                   "': use a letter or '_' followed by letters, digits or '_' (at most 63)");
  }
  return Status::Ok();
}

Result<std::unique_ptr<SiteWriter>> SiteWriter::Open(std::string_view connection, std::string_view project_name,
                                                     std::string_view specs_name) {
  if (Status s = ValidateSiteDatabaseName(project_name); !s.ok()) return s;
  if (Status s = ValidateSiteDatabaseName(specs_name); !s.ok()) return s;
  // Both databases have a dataset_info and a type catalogue: one file or
  // schema cannot hold the two.
  if (Lower(project_name) == Lower(specs_name)) {
    return Status::InvalidArgument("project and specs databases need different names");
  }
  const size_t colon = connection.find(':');
  const std::string scheme = colon == std::string_view::npos ? "" : Lower(connection.substr(0, colon));
  const std::string rest = colon == std::string_view::npos ? "" : std::string(connection.substr(colon + 1));
  if (scheme == "sqlite") {
    if (rest.empty()) return Status::InvalidArgument("sqlite: needs a directory (sqlite:DIR)");
    return internal::OpenSqliteSiteWriter(rest, std::string(project_name), std::string(specs_name));
  }
  if (scheme == "postgresql" || scheme == "postgres") {
    // A URI keeps its scheme for libpq; key=value text goes as written.
    const std::string conninfo = StartsWith(rest, "//") ? "postgresql:" + rest : rest;
    return internal::OpenPostgresSiteWriter(conninfo, std::string(project_name), std::string(specs_name));
  }
  if (scheme == "mssql") {
    return Status::Unsupported("creating site databases on SQL Server is not supported; use sqlite: or postgresql:");
  }
  return Status::InvalidArgument("connection string '" + std::string(connection) +
                                 "': expected sqlite:DIR or postgresql:...");
}

Status SiteWriter::CheckRow(const TableDef& table, std::span<const Cell> cells) const {
  if (cells.size() != table.columns.size()) {
    return Status::InvalidArgument(std::string(table.name) + ": " + std::to_string(cells.size()) + " values for " +
                                   std::to_string(table.columns.size()) + " columns");
  }
  const std::vector<ColumnRule>& rules = Rules()[static_cast<size_t>(table.id)];
  for (size_t i = 0; i < cells.size(); ++i) {
    if (Status s = CheckCell(table, table.columns[i], rules[i], cells[i]); !s.ok()) return s;
  }
  return Status::Ok();
}

Status SiteWriter::Insert(TableId id, std::span<const Cell> cells) {
  if (!failure_.ok()) return failure_;
  if (committed_) return Status::InvalidArgument("site already committed");
  const TableDef& table = Table(id);
  Status s = CheckRow(table, cells);
  if (s.ok()) s = DoInsert(table, cells);
  if (!s.ok()) {
    failure_ = s;
    return s;
  }
  ++rows_[static_cast<size_t>(id)];
  return Status::Ok();
}

Status SiteWriter::Commit() {
  if (!failure_.ok()) return failure_;
  if (committed_) return Status::Ok();
  Status s = DoCommit();
  if (!s.ok()) {
    failure_ = s;
    return s;
  }
  committed_ = true;
  return Status::Ok();
}

int64_t SiteWriter::total_rows() const {
  int64_t total = 0;
  for (int64_t n : rows_) total += n;
  return total;
}

}  // namespace trelix::datagen
