#include "base/postgres_driver.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/column_types.h"
#include "base/connection_string.h"
#include "base/result_builder.h"

namespace trelix::base {
namespace {

// Type OIDs of pg_type that results use (stable across server versions).
constexpr Oid kBoolOid = 16, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kOidOid = 26, kFloat4Oid = 700,
              kFloat8Oid = 701, kMoneyOid = 790, kBpcharOid = 1042, kVarcharOid = 1043, kDateOid = 1082, kTimestampOid = 1114, kTimestampTzOid = 1184,
              kNumericOid = 1700;

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string TrimMessage(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ' || message.back() == '\r'))
    message.pop_back();
  return message;
}

// "(50)" or "(19,4)" of a format_type text, with the parentheses; "" if none.
std::string_view Modifier(std::string_view text) {
  size_t open = text.find('(');
  if (open == std::string_view::npos) return {};
  size_t close = text.find(')', open);
  return close == std::string_view::npos ? std::string_view() : text.substr(open, close - open + 1);
}

// The field of an expression column, from its result type and modifier.
FieldInfo FieldOfResultType(Oid type, int modifier) {
  std::string declared;
  switch (type) {
    case kBoolOid: declared = "bit"; break;
    case kInt2Oid: declared = "smallint"; break;
    case kInt4Oid: declared = "int"; break;
    case kInt8Oid:
    case kOidOid: declared = "bigint"; break;
    case kFloat4Oid: declared = "real"; break;
    case kFloat8Oid: declared = "float"; break;
    case kMoneyOid: declared = "money"; break;
    case kDateOid:
    case kTimestampOid:
    case kTimestampTzOid: declared = "datetime"; break;
    case kNumericOid:
      // typmod = ((precision << 16) | scale) + 4; unconstrained numeric has none.
      declared = modifier >= 4 ? "decimal(" + std::to_string((modifier - 4) >> 16) + "," +
                                     std::to_string((modifier - 4) & 0xFFFF) + ")"
                               : "decimal(38,0)";
      break;
    case kVarcharOid:
    case kBpcharOid:
      if (modifier >= 5) declared = "nvarchar(" + std::to_string(modifier - 4) + ")";
      break;
    default: break;
  }
  // Everything else (text, name, unknown literals, types with no SQL Server
  // counterpart) arrives as text: an unsized expression's nvarchar.
  if (declared.empty()) declared = "nvarchar(" + std::to_string(kComputedTextSize) + ")";
  return *FieldFromDeclaredType(declared);
}

class PostgresSession : public Session {
 public:
  PostgresSession(PGconn* conn, std::string schema, int statement_timeout_ms)
      : conn_(conn), schema_(std::move(schema)), statement_timeout_ms_(statement_timeout_ms) {}
  ~PostgresSession() override { PQfinish(conn_); }

  bool Healthy() const override { return healthy_ && PQstatus(conn_) == CONNECTION_OK; }

  void BeginCall() override { in_call_ = true; }
  void EndCall() override {
    EndSnapshot();
    in_call_ = false;
  }
  uint64_t Snapshot() const override { return in_snapshot_ ? snapshot_ : 0; }
  // A read-only repeatable-read transaction, begun only when asked: a call
  // whose statements all differ pays no extra round trip.
  uint64_t BeginSnapshot() override {
    SettleSnapshot();
    if (in_call_ && !in_snapshot_ && Healthy()) {
      PGresult* begun = PQexec(conn_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
      ResultGuard guard{begun};
      if (PQresultStatus(begun) == PGRES_COMMAND_OK) {
        in_snapshot_ = true;
        ++snapshot_;
      }
    }
    return Snapshot();
  }

  Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>& databases) override {
    SettleSnapshot();
    auto result = Run(statement, databases);
    SettleSnapshot();
    // A statement that opened a transaction of its own (BEGIN) must not
    // leave it to the next caller: the session is closed after it.
    if (!in_snapshot_ && PQtransactionStatus(conn_) != PQTRANS_IDLE) healthy_ = false;
    return result;
  }

 private:
  Result<RecordsetRef> Run(std::string_view statement, const std::vector<std::string>& /*databases*/) {
    // Other databases are schemas of the same server database: NAME.table
    // resolves without preparation.
    const std::string text(statement);
    // The extended protocol runs exactly one statement: a second one,
    // smuggled into concatenated values, is refused by the server.
    PGresult* result = PQexecParams(conn_, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    ResultGuard guard{result};
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY) {
      if (status == PGRES_EMPTY_QUERY) return Status::InvalidArgument("The statement is empty");
      // A statement that changed the session (SET search_path, RESET ...)
      // must not reach the next caller: the session is closed after it.
      const std::string_view tag = PQcmdStatus(result);
      if (tag.rfind("SET", 0) == 0 || tag.rfind("RESET", 0) == 0 || tag.rfind("DISCARD", 0) == 0) healthy_ = false;
      return std::make_shared<Recordset>();  // no rowset: closed, as ADO gives it
    }
    if (status != PGRES_TUPLES_OK) return Failure(result);

    const int columns = PQnfields(result);
    const int rows = PQntuples(result);
    ResultBuilder builder;
    builder.ExpectRows(static_cast<size_t>(rows));
    // Expressions of type bigint (count(*), sum(int)) are typed by value, as
    // on SQLite: int when every value fits, as SQL Server types COUNT.
    std::vector<bool> by_value(static_cast<size_t>(columns), false);
    for (int i = 0; i < columns; ++i) {
      auto field = DeclaredField(PQftable(result, i), PQftablecol(result, i));
      if (!field.ok()) return field.status();
      if (!field.value() && PQftype(result, i) == kInt8Oid) {
        by_value[static_cast<size_t>(i)] = true;
        builder.AddColumn(PQfname(result, i), std::nullopt);
        continue;
      }
      builder.AddColumn(PQfname(result, i),
                        field.value() ? field.value() : FieldOfResultType(PQftype(result, i), PQfmod(result, i)));
    }
    for (int r = 0; r < rows; ++r) {
      for (int i = 0; i < columns; ++i) {
        const std::string_view text(PQgetvalue(result, r, i), PQgetlength(result, r, i));
        int64_t integer = 0;
        Status added;
        if (PQgetisnull(result, r, i)) {
          added = builder.AddNull();
        } else if (by_value[static_cast<size_t>(i)] &&
                   std::from_chars(text.data(), text.data() + text.size(), integer).ec == std::errc()) {
          added = builder.AddInteger(integer);
        } else {
          added = builder.AddText(text);
        }
        if (!added.ok()) return added;
      }
      builder.EndRow();
    }
    return builder.Finish();
  }

 public:
  Status Setup() {
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    PGresult* found = Query("SELECT 1 FROM pg_namespace WHERE nspname = $1", schema_);
    ResultGuard guard{found};
    if (PQresultStatus(found) != PGRES_TUPLES_OK) return Failure(found);
    if (PQntuples(found) == 0) {
      return Status::NotFound("Cannot open database \"" + schema_ + "\": no such schema");
    }
    char* quoted = PQescapeIdentifier(conn_, schema_.c_str(), schema_.size());
    if (!quoted) return Status::InvalidArgument(TrimMessage(PQerrorMessage(conn_)));
    const std::string setup = std::string(kPlannerSetup) + "; SET search_path TO " + quoted +
                              "; SET default_transaction_read_only = on; SET DateStyle = 'ISO, YMD';"
                              " SET lc_monetary = 'C'; SET IntervalStyle = 'postgres'" +
                              // Without one the server's own setting (or libpq's options=) holds.
                              (statement_timeout_ms_ > 0
                                   ? "; SET statement_timeout = " + std::to_string(statement_timeout_ms_)
                                   : std::string());
    PQfreemem(quoted);
    PGresult* set = PQexec(conn_, setup.c_str());
    ResultGuard set_guard{set};
    if (PQresultStatus(set) != PGRES_COMMAND_OK) return Failure(set);
    return Status::Ok();
  }

 private:
  struct ResultGuard {
    PGresult* result;
    ~ResultGuard() { PQclear(result); }
  };

  // A failed statement aborts the snapshot's transaction: rolled back at
  // once, so that the call's later statements run as they would without
  // one (each on the latest state).
  void SettleSnapshot() {
    if (!in_snapshot_) return;
    const PGTransactionStatusType state = PQtransactionStatus(conn_);
    if (state == PQTRANS_INTRANS) return;
    in_snapshot_ = false;
    if (state == PQTRANS_INERROR) {
      PGresult* rolled_back = PQexec(conn_, "ROLLBACK");
      ResultGuard guard{rolled_back};
      if (PQresultStatus(rolled_back) != PGRES_COMMAND_OK) healthy_ = false;
    } else if (state != PQTRANS_IDLE) {
      healthy_ = false;  // a broken or busy connection: not reused
    }
  }

  // A session goes back to the pool outside any transaction.
  void EndSnapshot() {
    SettleSnapshot();
    if (!in_snapshot_) return;
    in_snapshot_ = false;
    PGresult* committed = PQexec(conn_, "COMMIT");
    ResultGuard guard{committed};
    if (PQresultStatus(committed) != PGRES_COMMAND_OK || PQtransactionStatus(conn_) != PQTRANS_IDLE) healthy_ = false;
  }

  PGresult* Query(const std::string& sql, const std::string& parameter) {
    const char* values[] = {parameter.c_str()};
    return PQexecParams(conn_, sql.c_str(), 1, nullptr, values, nullptr, nullptr, 0);
  }

  Status Failure(const PGresult* result) {
    if (PQstatus(conn_) != CONNECTION_OK) {
      healthy_ = false;
      return Status::Unavailable(TrimMessage(PQerrorMessage(conn_)));
    }
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    if (statement_timeout_ms_ > 0 && state && std::string_view(state) == kQueryCanceled) {
      return Status::Timeout("The statement ran longer than the statement timeout of " +
                             std::to_string(statement_timeout_ms_) + " ms and was cancelled");
    }
    return Status::InvalidArgument(primary ? primary : TrimMessage(PQerrorMessage(conn_)));
  }

  // What a table's columns are declared as, by attribute number.
  struct TableColumns {
    std::vector<std::optional<std::string>> declared;  // SQL Server type names
    std::vector<std::optional<FieldInfo>> fields;
    std::unordered_map<std::string, int> attnum_by_name;  // lower case
  };

  // The declared field of a table column; nullopt for expressions.
  Result<std::optional<FieldInfo>> DeclaredField(Oid table, int column) {
    if (table == InvalidOid || column <= 0) return std::optional<FieldInfo>();
    auto columns = ColumnsOf(table);
    if (!columns.ok()) return columns.status();
    const auto& fields = columns.value()->fields;
    if (static_cast<size_t>(column) >= fields.size()) return std::optional<FieldInfo>();
    return fields[column];
  }

  std::optional<std::string> ColumnType(std::string_view database, std::string_view table,
                                        std::string_view column) override {
    SettleSnapshot();
    auto type = LookUpColumnType(database, table, column);
    SettleSnapshot();
    return type;
  }

  std::optional<std::string> LookUpColumnType(std::string_view database, std::string_view table,
                                              std::string_view column) {
    const std::string schema = database.empty() ? schema_ : Lower(database);
    char* quoted_schema = PQescapeIdentifier(conn_, schema.c_str(), schema.size());
    const std::string table_lower = Lower(table);
    char* quoted_table = PQescapeIdentifier(conn_, table_lower.c_str(), table_lower.size());
    std::string name = quoted_schema && quoted_table ? std::string(quoted_schema) + "." + quoted_table : "";
    PQfreemem(quoted_schema);
    PQfreemem(quoted_table);
    if (name.empty()) return std::nullopt;
    PGresult* result = Query("SELECT to_regclass($1)::oid", name);
    ResultGuard guard{result};
    if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != 1 || PQgetisnull(result, 0, 0)) {
      return std::nullopt;
    }
    auto columns = ColumnsOf(static_cast<Oid>(std::strtoul(PQgetvalue(result, 0, 0), nullptr, 10)));
    if (!columns.ok()) return std::nullopt;
    const TableColumns& found = *columns.value();
    auto attnum = found.attnum_by_name.find(Lower(column));
    if (attnum == found.attnum_by_name.end()) return std::nullopt;
    return found.declared[attnum->second];
  }

  // Columns of a table, loaded once per session. Table oids are stable for
  // the life of a table; a recreated table has a new oid.
  Result<const TableColumns*> ColumnsOf(Oid table) {
    auto cached = tables_.find(table);
    if (cached != tables_.end()) return &cached->second;
    PGresult* result = Query(
        "SELECT a.attnum, lower(a.attname), format_type(a.atttypid, a.atttypmod), t.typtype,"
        " format_type(t.typbasetype, t.typtypmod), n.nspname, c.relname"
        " FROM pg_attribute a JOIN pg_type t ON t.oid = a.atttypid JOIN pg_class c ON c.oid = a.attrelid"
        " JOIN pg_namespace n ON n.oid = c.relnamespace"
        " WHERE a.attrelid = $1 AND a.attnum > 0 AND NOT a.attisdropped",
        std::to_string(table));
    ResultGuard guard{result};
    if (PQresultStatus(result) != PGRES_TUPLES_OK) return Failure(result);
    TableColumns columns;
    std::unordered_map<std::string, std::string> catalogue;
    if (PQntuples(result) > 0) {
      const std::string schema(PQgetvalue(result, 0, 5)), relation(PQgetvalue(result, 0, 6));
      if (Status loaded = CatalogueOf(schema, relation, catalogue); !loaded.ok()) return loaded;
    }
    for (int r = 0; r < PQntuples(result); ++r) {
      const int attnum = std::atoi(PQgetvalue(result, r, 0));
      if (attnum <= 0 || attnum > 1600) continue;
      if (columns.fields.size() <= static_cast<size_t>(attnum)) {
        columns.fields.resize(attnum + 1);
        columns.declared.resize(attnum + 1);
      }
      const std::string name = PQgetvalue(result, r, 1);
      columns.attnum_by_name[name] = attnum;
      std::optional<std::string> declared;
      if (auto entry = catalogue.find(name); entry != catalogue.end()) {
        declared = entry->second;
      } else if (PQgetvalue(result, r, 3)[0] == 'd') {
        declared = DeclaredOfDomain(PQgetvalue(result, r, 2), PQgetvalue(result, r, 4));
      } else {
        declared = SqlServerTypeOfPostgresType(PQgetvalue(result, r, 2));
      }
      if (declared) columns.fields[attnum] = FieldFromDeclaredType(*declared);
      if (columns.fields[attnum]) columns.declared[attnum] = declared;
    }
    return &tables_.emplace(table, std::move(columns)).first->second;
  }

  // Fills `entries` with the SQL Server type names a schema's catalogue table
  // trelix_column_types gives a table's columns (lower-case column name ->
  // type name); nothing when the schema has no catalogue.
  Status CatalogueOf(const std::string& schema, const std::string& table,
                     std::unordered_map<std::string, std::string>& entries) {
    auto known = has_catalogue_.find(schema);
    if (known == has_catalogue_.end()) {
      char* quoted = PQescapeIdentifier(conn_, schema.c_str(), schema.size());
      if (!quoted) return Status::InvalidArgument(TrimMessage(PQerrorMessage(conn_)));
      catalogue_names_[schema] = std::string(quoted) + ".trelix_column_types";
      PQfreemem(quoted);
      PGresult* exists = Query("SELECT to_regclass($1) IS NOT NULL", catalogue_names_[schema]);
      ResultGuard guard{exists};
      if (PQresultStatus(exists) != PGRES_TUPLES_OK) return Failure(exists);
      known = has_catalogue_.emplace(schema, PQgetvalue(exists, 0, 0)[0] == 't').first;
    }
    if (!known->second) return Status::Ok();
    PGresult* result = Query("SELECT lower(column_name), type_name FROM " + catalogue_names_[schema] +
                                 " WHERE lower(table_name) = lower($1)",
                             table);
    ResultGuard guard{result};
    if (PQresultStatus(result) != PGRES_TUPLES_OK) return Failure(result);
    for (int r = 0; r < PQntuples(result); ++r) entries[PQgetvalue(result, r, 0)] = PQgetvalue(result, r, 1);
    return Status::Ok();
  }

  // A domain named after an SQL Server type is that type, with the length
  // or precision of the type it is based on; any other domain is its base.
  static std::optional<std::string> DeclaredOfDomain(std::string_view domain, std::string_view base) {
    std::string with_modifier = std::string(domain) + std::string(Modifier(base));
    if (FieldFromDeclaredType(with_modifier)) return with_modifier;
    return SqlServerTypeOfPostgresType(base);
  }

  // SQLSTATE of a statement the server cancelled (the timeout, or an
  // administrator's pg_cancel_backend).
  static constexpr std::string_view kQueryCanceled = "57014";

  PGconn* conn_;
  std::string schema_;
  int statement_timeout_ms_;  // 0: none
  bool healthy_ = true;
  bool in_call_ = false;      // between BeginCall and EndCall
  bool in_snapshot_ = false;  // in the call's read transaction
  uint64_t snapshot_ = 0;     // read transactions begun so far
  std::unordered_map<Oid, TableColumns> tables_;
  std::unordered_map<std::string, bool> has_catalogue_;  // by schema
  std::unordered_map<std::string, std::string> catalogue_names_;  // schema -> quoted table name
};

class PostgresDriver : public Driver {
 public:
  sql::Dialect dialect() const override { return sql::Dialect::kPostgres; }
  std::string_view name() const override { return "PostgreSQL"; }

  Result<std::unique_ptr<Session>> Open(std::string_view connection, std::string_view database) override {
    auto parsed = ParseConnectionString(connection);
    if (!parsed.ok()) return parsed.status();
    if (Status valid = ValidateDatabaseName(database); !valid.ok()) return valid;
    auto options = TakeConnectorOptions(parsed->rest);
    if (!options.ok()) return options.status();
    const std::string conninfo = PostgresConninfo(parsed.value());
    // Defaults first: values in the caller's string override them. A server
    // that does not answer fails after connect_timeout, not after minutes.
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "trelix_eb", conninfo.c_str(), nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn) return Status::Unavailable("PostgreSQL: out of memory");
    if (PQstatus(conn) != CONNECTION_OK) {
      std::string message = TrimMessage(PQerrorMessage(conn));
      PQfinish(conn);
      return Status::Unavailable(message);
    }
    auto session = std::make_unique<PostgresSession>(conn, Lower(database), options->statement_timeout_ms);
    if (Status setup = session->Setup(); !setup.ok()) return setup;
    return std::unique_ptr<Session>(std::move(session));
  }
};

}  // namespace

std::optional<std::string> SqlServerTypeOfPostgresType(std::string_view format_type) {
  const std::string text = Lower(format_type);
  const std::string modifier(Modifier(text));
  auto starts = [&](std::string_view prefix) { return text.rfind(prefix, 0) == 0; };
  if (text == "integer") return "int";
  if (text == "bigint" || text == "smallint" || text == "real" || text == "money") return text;
  if (text == "boolean") return "bit";
  if (text == "double precision") return "float";
  if (text == "text") return "ntext";
  if (starts("character varying")) return "nvarchar" + modifier;
  if (starts("character")) return "nchar" + modifier;
  if (starts("numeric")) return modifier.empty() ? "decimal(38,0)" : "decimal" + modifier;
  if (starts("timestamp") || text == "date") return "datetime";
  return std::nullopt;
}

std::unique_ptr<Driver> MakePostgresDriver() { return std::make_unique<PostgresDriver>(); }

}  // namespace trelix::base
