#include "base/mssql_driver.h"

#include <string>

#include "base/connection_string.h"

#ifdef TRELIX_WITH_MSSQL
#define MSDBLIB 1
#include <sybdb.h>
#include <sybfront.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/column_types.h"
#include "base/result_builder.h"
#endif

namespace trelix::base {
namespace {

#ifdef TRELIX_WITH_MSSQL

// db-lib reports errors through process-wide callbacks, always on the thread
// that made the call; each thread keeps the last message for its caller.
thread_local std::string last_error;

int OnError(DBPROCESS*, int, int, int, char* text, char* os_text) {
  if (last_error.empty()) {
    last_error = text ? text : "SQL Server client error";
    if (os_text && *os_text) last_error += std::string(" (") + os_text + ")";
  }
  return INT_CANCEL;
}

int OnMessage(DBPROCESS*, DBINT, int, int severity, char* text, char*, char*, int) {
  // Severity 10 and below are informational ("Changed database context").
  if (severity > 10 && text) last_error = text;
  return 0;
}

Status InitializeLibrary() {
  static Status status = [] {
    if (dbinit() == FAIL) return Status::Unavailable("SQL Server client library failed to initialise");
    dberrhandle(OnError);
    dbmsghandle(OnMessage);
    dbsetlogintime(10);
    dbsettime(60);
    return Status::Ok();
  }();
  return status;
}

std::string TakeError(const char* fallback) {
  std::string message = last_error.empty() ? fallback : last_error;
  last_error.clear();
  return message;
}

// The SQL Server type name of a result column as db-lib describes it.
std::string DeclaredType(DBPROCESS* proc, int column) {
  const int length = dbcollen(proc, column);
  switch (dbcoltype(proc, column)) {
    case SYBINT1: return "tinyint";
    case SYBINT2: return "smallint";
    case SYBINT4: return "int";
    case SYBINT8: return "bigint";
    case SYBINTN: return length == 1 ? "tinyint" : length == 2 ? "smallint" : length == 8 ? "bigint" : "int";
    case SYBBIT:
    case SYBBITN: return "bit";
    case SYBFLT8: return "float";
    case SYBREAL: return "real";
    case SYBFLTN: return length == 4 ? "real" : "float";
    case SYBMONEY:
    case SYBMONEYN:
    case SYBMONEY4: return "money";
    case SYBDECIMAL:
    case SYBNUMERIC: {
      DBTYPEINFO* info = dbcoltypeinfo(proc, column);
      return info ? "decimal(" + std::to_string(info->precision) + "," + std::to_string(info->scale) + ")"
                  : "decimal";
    }
    case SYBDATETIME:
    case SYBDATETIME4:
    case SYBDATETIMN:
    case SYBMSDATE:
    case SYBMSDATETIME2: return "datetime";
    case SYBTEXT:
    case SYBNTEXT: return "ntext";
    // db-lib does not tell nvarchar from varchar reliably; the wide type is
    // the one the component's schemas use.
    case SYBCHAR:
    case SYBVARCHAR:
    case SYBNVARCHAR: return "nvarchar(" + std::to_string(length > 0 ? length : kComputedTextSize) + ")";
    default: return "nvarchar(" + std::to_string(kComputedTextSize) + ")";
  }
}

Status AddValue(DBPROCESS* proc, int column, ResultBuilder& builder) {
  BYTE* data = dbdata(proc, column);
  const DBINT length = dbdatlen(proc, column);
  if (!data) return builder.AddNull();
  const int type = dbcoltype(proc, column);
  auto integer = [&]() -> int64_t {
    switch (length) {
      case 1: return *data;
      case 2: { int16_t v; std::memcpy(&v, data, 2); return v; }
      case 4: { int32_t v; std::memcpy(&v, data, 4); return v; }
      default: { int64_t v = 0; std::memcpy(&v, data, std::min<DBINT>(length, 8)); return v; }
    }
  };
  switch (type) {
    case SYBINT1: case SYBINT2: case SYBINT4: case SYBINT8: case SYBINTN: case SYBBIT: case SYBBITN:
      return builder.AddInteger(integer());
    case SYBFLT8: case SYBREAL: case SYBFLTN: {
      if (length == 4) { float v; std::memcpy(&v, data, 4); return builder.AddReal(v); }
      double v; std::memcpy(&v, data, 8); return builder.AddReal(v);
    }
    case SYBDATETIME: case SYBDATETIME4: case SYBDATETIMN: case SYBMSDATE: case SYBMSDATETIME2: {
      DBDATEREC2 parts;
      if (dbanydatecrack(proc, &parts, type, data) == FAIL) return Status::IOError(TakeError("bad date value"));
      char text[64];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%09d", parts.year, parts.month, parts.day,
                    parts.hour, parts.minute, parts.second, parts.nanosecond);
      return builder.AddText(text);
    }
    case SYBCHAR: case SYBVARCHAR: case SYBNVARCHAR: case SYBTEXT: case SYBNTEXT:
      return builder.AddText(std::string_view(reinterpret_cast<const char*>(data), length));
    default: {
      // money, decimal and the rest: the library's own text form.
      std::string text(static_cast<size_t>(length) * 2 + 64, '\0');
      DBINT written = dbconvert(proc, type, data, length, SYBCHAR, reinterpret_cast<BYTE*>(text.data()),
                                static_cast<DBINT>(text.size()));
      if (written < 0) return Status::IOError(TakeError("value conversion failed"));
      text.resize(static_cast<size_t>(written));
      return builder.AddText(text);
    }
  }
}

class SqlServerSession : public Session {
 public:
  explicit SqlServerSession(DBPROCESS* proc) : proc_(proc) {}
  ~SqlServerSession() override { dbclose(proc_); }

  bool Healthy() const override { return !DBDEAD(proc_); }

  Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>&) override {
    last_error.clear();
    const std::string text(statement);
    if (dbcmd(proc_, text.c_str()) == FAIL || dbsqlexec(proc_) == FAIL) return Failure("the statement failed");
    RecordsetRef recordset;
    RETCODE rc;
    while ((rc = dbresults(proc_)) != NO_MORE_RESULTS) {
      if (rc == FAIL) return Failure("the statement failed");
      if (recordset || dbnumcols(proc_) == 0) {
        dbcanquery(proc_);  // only the first rowset is the result
        continue;
      }
      ResultBuilder builder;
      const int columns = dbnumcols(proc_);
      for (int i = 1; i <= columns; ++i) {
        const char* name = dbcolname(proc_, i);
        builder.AddColumn(name ? name : "", FieldFromDeclaredType(DeclaredType(proc_, i)));
      }
      STATUS row;
      while ((row = dbnextrow(proc_)) != NO_MORE_ROWS) {
        if (row == FAIL) return Failure("reading the rows failed");
        if (row != REG_ROW) continue;
        for (int i = 1; i <= columns; ++i) {
          if (Status status = AddValue(proc_, i, builder); !status.ok()) {
            dbcancel(proc_);
            return status;
          }
        }
        builder.EndRow();
      }
      auto finished = builder.Finish();
      if (!finished.ok()) {
        dbcancel(proc_);
        return finished.status();
      }
      recordset = finished.value();
    }
    return recordset ? recordset : std::make_shared<Recordset>();
  }

 private:
  Status Failure(const char* fallback) {
    std::string message = TakeError(fallback);
    if (DBDEAD(proc_)) return Status::Unavailable(message);
    dbcancel(proc_);
    return Status::InvalidArgument(message);
  }

  DBPROCESS* proc_;
};

class SqlServerDriver : public Driver {
 public:
  sql::Dialect dialect() const override { return sql::Dialect::kSqlServer; }
  std::string_view name() const override { return "SQL Server"; }

  Result<std::unique_ptr<Session>> Open(std::string_view connection, std::string_view database) override {
    if (Status status = InitializeLibrary(); !status.ok()) return status;
    auto parsed = ParseConnectionString(connection);
    if (!parsed.ok()) return parsed.status();
    auto address = ParseSqlServerAddress(parsed->rest);
    if (!address.ok()) return address.status();
    if (Status valid = ValidateDatabaseName(database); !valid.ok()) return valid;

    last_error.clear();
    LOGINREC* login = dblogin();
    if (!login) return Status::Unavailable("SQL Server client: out of memory");
    DBSETLUSER(login, address->user.c_str());
    DBSETLPWD(login, address->password.c_str());
    DBSETLAPP(login, "trelix_eb");
    DBSETLCHARSET(login, "UTF-8");
    const std::string server = address->host + ":" + std::to_string(address->port);
    DBPROCESS* proc = dbopen(login, server.c_str());
    dbloginfree(login);
    if (!proc) return Status::Unavailable(TakeError("cannot connect to SQL Server"));
    auto session = std::make_unique<SqlServerSession>(proc);
    const std::string catalog(database);
    if (dbuse(proc, catalog.c_str()) == FAIL) {
      return Status::NotFound(TakeError(("Cannot open database \"" + catalog + "\"").c_str()));
    }
    return std::unique_ptr<Session>(std::move(session));
  }
};

#else  // !TRELIX_WITH_MSSQL

class SqlServerDriver : public Driver {
 public:
  sql::Dialect dialect() const override { return sql::Dialect::kSqlServer; }
  std::string_view name() const override { return "SQL Server"; }
  Result<std::unique_ptr<Session>> Open(std::string_view connection, std::string_view) override {
    auto parsed = ParseConnectionString(connection);
    if (!parsed.ok()) return parsed.status();
    auto address = ParseSqlServerAddress(parsed->rest);
    if (!address.ok()) return address.status();
    return Status::Unsupported("SQL Server connections are not available in this build (built without FreeTDS)");
  }
};

#endif

}  // namespace

std::unique_ptr<Driver> MakeSqlServerDriver() { return std::make_unique<SqlServerDriver>(); }

}  // namespace trelix::base
