// SiteWriter on PostgreSQL: both schemas are dropped, recreated and filled
// with COPY inside one transaction, so readers see the old site or the new
// one, never a mix.

#include <libpq-fe.h>

#include <charconv>
#include <cctype>
#include <string>
#include <vector>

#include "base/datagen/site_writer_backends.h"

namespace trelix::datagen::internal {
namespace {

// COPY data is sent once a table's buffer passes this size.
constexpr size_t kFlushBytes = 8 << 20;

std::string QuotedLower(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out + "\"";
}

// COPY text format: backslash escapes for the characters that delimit.
void AppendCopyText(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
}

class PostgresSiteWriter final : public SiteWriter {
 public:
  PostgresSiteWriter(PGconn* connection, const std::string& project, const std::string& specs)
      : connection_(connection), buffers_(static_cast<size_t>(TableId::kCount)) {
    schemas_[0] = QuotedLower(project);
    schemas_[1] = QuotedLower(specs);
  }
  ~PostgresSiteWriter() override { PQfinish(connection_); }  // an open transaction is rolled back

  Status Start() {
    std::string sql = "SET client_min_messages = warning; SET client_encoding = 'UTF8'; BEGIN;";
    for (Database database : {Database::kProject, Database::kSpecs}) {
      const std::string& schema = Schema(database);
      sql += " DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema +
             "; SET LOCAL search_path = " + schema + ";\n" + PostgresDdl(database, DdlPart::kTables);
    }
    return Exec(sql);
  }

 protected:
  Status DoInsert(const TableDef& table, std::span<const Cell> cells) override {
    std::string& buffer = buffers_[static_cast<size_t>(table.id)];
    char number[32];
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) buffer += '\t';
      const Cell& cell = cells[i];
      switch (cell.kind()) {
        case Cell::Kind::kNull:
          buffer += "\\N";
          break;
        case Cell::Kind::kInteger: {
          auto [end, ec] = std::to_chars(number, number + sizeof number, cell.integer());
          buffer.append(number, end);
          break;
        }
        case Cell::Kind::kReal: {
          auto [end, ec] = std::to_chars(number, number + sizeof number, cell.real());
          buffer.append(number, end);
          break;
        }
        case Cell::Kind::kText:
          AppendCopyText(buffer, cell.text());
          break;
      }
    }
    buffer += '\n';
    if (buffer.size() >= kFlushBytes) return Flush(table);
    return Status::Ok();
  }

  Status DoCommit() override {
    for (const TableDef& table : Tables()) {
      if (Status s = Flush(table); !s.ok()) return s;
    }
    // Indexes after the rows, and statistics so that the first queries on
    // the new site get sensible plans.
    std::string sql;
    for (Database database : {Database::kProject, Database::kSpecs}) {
      sql += "SET LOCAL search_path = " + Schema(database) + ";\n" + PostgresDdl(database, DdlPart::kIndexes);
      for (const TableDef& table : Tables()) {
        if (table.database == database) sql += "ANALYZE " + Schema(database) + "." + std::string(table.name) + ";\n";
      }
    }
    sql += "COMMIT;";
    return Exec(sql);
  }

 private:
  const std::string& Schema(Database database) const { return schemas_[database == Database::kProject ? 0 : 1]; }

  Status Exec(const std::string& sql) {
    PGresult* result = PQexec(connection_, sql.c_str());
    Status status = Status::Ok();
    // PQexec returns the result of the last statement; an earlier failure
    // stops the batch and is what comes back.
    const ExecStatusType code = PQresultStatus(result);
    if (code != PGRES_COMMAND_OK && code != PGRES_TUPLES_OK) {
      status = Status::IOError(std::string("PostgreSQL: ") + PQerrorMessage(connection_));
    }
    PQclear(result);
    return status;
  }

  Status Flush(const TableDef& table) {
    std::string& buffer = buffers_[static_cast<size_t>(table.id)];
    if (buffer.empty()) return Status::Ok();
    std::string sql = "COPY " + Schema(table.database) + "." + std::string(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) sql += (i ? ", " : "") + std::string(table.columns[i].name);
    sql += ") FROM STDIN";
    PGresult* result = PQexec(connection_, sql.c_str());
    const bool copying = PQresultStatus(result) == PGRES_COPY_IN;
    PQclear(result);
    if (!copying) return Status::IOError("PostgreSQL: " + sql + ": " + PQerrorMessage(connection_));
    const bool sent = PQputCopyData(connection_, buffer.data(), static_cast<int>(buffer.size())) == 1;
    PQputCopyEnd(connection_, sent ? nullptr : "client failed to send data");
    Status status = Status::Ok();
    while ((result = PQgetResult(connection_)) != nullptr) {
      if (PQresultStatus(result) != PGRES_COMMAND_OK && status.ok()) {
        status = Status::IOError("PostgreSQL: loading " + std::string(table.name) + ": " +
                                 PQresultErrorMessage(result));
      }
      PQclear(result);
    }
    buffer.clear();
    return status;
  }

  PGconn* connection_;
  std::string schemas_[2];
  std::vector<std::string> buffers_;
};

}  // namespace

Result<std::unique_ptr<SiteWriter>> OpenPostgresSiteWriter(const std::string& conninfo, const std::string& project,
                                                           const std::string& specs) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  if (connection == nullptr) return Status::Unavailable("PostgreSQL: out of memory");
  if (PQstatus(connection) != CONNECTION_OK) {
    std::string message = PQerrorMessage(connection);
    PQfinish(connection);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    return Status::Unavailable("cannot connect to PostgreSQL: " + message);
  }
  auto writer = std::make_unique<PostgresSiteWriter>(connection, project, specs);
  if (Status s = writer->Start(); !s.ok()) return s;
  return std::unique_ptr<SiteWriter>(std::move(writer));
}

}  // namespace trelix::datagen::internal
