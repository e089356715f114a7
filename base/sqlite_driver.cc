#include "base/sqlite_driver.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "base/column_types.h"
#include "base/text_fold.h"
#include "base/connection_string.h"
#include "base/result_builder.h"

namespace trelix::base {
namespace {

namespace fs = std::filesystem;

// --- Collation and LIKE -------------------------------------------------------

// NOCASE made Unicode-aware: full case folding, then code point order. On
// ASCII text this is exactly SQLite's own NOCASE (which folds to lower case
// and compares bytes), so indexes written by connections without it stay
// valid as long as their indexed keys are ASCII.
int CompareCi(void*, int a_len, const void* a, int b_len, const void* b) {
  return CompareFolded(std::string_view(static_cast<const char*>(a), static_cast<size_t>(a_len)),
                       std::string_view(static_cast<const char*>(b), static_cast<size_t>(b_len)));
}

// Next code point of UTF-8 text, case-folded (simple folding keeps one code
// point per code point, so '_' still matches exactly one character).
// Invalid bytes fold to U+FFFD.
UChar32 NextFolded(const uint8_t* s, int32_t& i, int32_t length) {
  UChar32 c;
  U8_NEXT(s, i, length, c);
  if (c < 0) return 0xFFFD;
  return u_foldCase(c, U_FOLD_CASE_DEFAULT);
}

// SQL LIKE with % and _, an optional escape character, case-insensitive by
// Unicode simple case folding (accent-sensitive, like the collation).
bool LikeMatch(const uint8_t* pattern, int32_t pattern_len, const uint8_t* text, int32_t text_len,
               std::optional<UChar32> escape) {
  int32_t p = 0, t = 0;
  int32_t star_p = -1, star_t = 0;
  while (t < text_len) {
    if (p < pattern_len) {
      int32_t p_next = p;
      UChar32 pc;
      U8_NEXT(pattern, p_next, pattern_len, pc);
      if (escape && pc == *escape) {
        if (p_next >= pattern_len) return false;
        int32_t literal_end = p_next;
        UChar32 literal = NextFolded(pattern, literal_end, pattern_len);
        int32_t t_next = t;
        if (NextFolded(text, t_next, text_len) == literal) {
          p = literal_end;
          t = t_next;
          continue;
        }
      } else if (pc == '%') {
        star_p = p_next;
        star_t = t;
        p = p_next;
        continue;
      } else if (pc == '_') {
        UChar32 ignored;
        U8_NEXT(text, t, text_len, ignored);
        (void)ignored;
        p = p_next;
        continue;
      } else {
        int32_t folded_end = p;
        UChar32 folded = NextFolded(pattern, folded_end, pattern_len);
        int32_t t_next = t;
        if (NextFolded(text, t_next, text_len) == folded) {
          p = folded_end;
          t = t_next;
          continue;
        }
      }
    }
    if (star_p < 0) return false;
    // Backtrack: let the last % swallow one more character.
    UChar32 ignored;
    U8_NEXT(text, star_t, text_len, ignored);
    (void)ignored;
    t = star_t;
    p = star_p;
  }
  while (p < pattern_len) {
    int32_t p_next = p;
    UChar32 pc;
    U8_NEXT(pattern, p_next, pattern_len, pc);
    if (pc != '%') return false;
    p = p_next;
  }
  return true;
}

void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const auto* pattern = sqlite3_value_text(argv[0]);
  const auto* text = sqlite3_value_text(argv[1]);
  if (!pattern || !text) return;  // NULL LIKE anything is NULL
  std::optional<UChar32> escape;
  if (argc == 3) {
    const auto* esc = sqlite3_value_text(argv[2]);
    if (!esc) return;
    int32_t length = sqlite3_value_bytes(argv[2]), i = 0;
    UChar32 c;
    U8_NEXT(esc, i, length, c);
    if (c < 0 || i != length) {
      sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
      return;
    }
    escape = c;
  }
  sqlite3_result_int(context, LikeMatch(pattern, sqlite3_value_bytes(argv[0]), text,
                                        sqlite3_value_bytes(argv[1]), escape));
}

// --- Files --------------------------------------------------------------------

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// `name` equals the lower-case `lower` ignoring ASCII case.
bool EqualsLowered(std::string_view name, std::string_view lower) {
  if (name.size() != lower.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// DIR/NAME.sqlite, or a file in DIR whose name matches it ignoring case.
Result<std::string> ResolveDatabaseFile(const std::string& dir, std::string_view name) {
  if (Status valid = ValidateDatabaseName(name); !valid.ok()) return valid;
  const std::string file_name = std::string(name) + ".sqlite";
  fs::path exact = fs::path(dir) / file_name;
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact.string();
  const std::string wanted = Lower(file_name);
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (Lower(it->path().filename().string()) == wanted && it->is_regular_file(ec)) return it->path().string();
  }
  return Status::NotFound("Cannot open database \"" + std::string(name) + "\": no file " + exact.string());
}

// Which file a path names now: a database file replaced by a new one (an
// atomic rename, as the site generators write) has another identity.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{info.st_dev, info.st_ino};
}

// A read-only URI for a file path (so that ATTACH never creates a file).
std::string ReadOnlyUri(const std::string& path) {
  std::string uri = "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%%%02X", static_cast<unsigned char>(c));
      uri += buffer;
    } else {
      uri.push_back(c);
    }
  }
  return uri + "?mode=ro";
}

std::string QuoteIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  return out + "\"";
}

bool IsBlankTail(const char* tail) {
  for (; tail && *tail; ++tail) {
    if (*tail != ' ' && *tail != '\t' && *tail != '\r' && *tail != '\n' && *tail != ';') return false;
  }
  return true;
}

// How long a statement waits for another connection's lock: the statement
// timeout when there is one, since waiting is part of the statement's time.
int BusyTimeoutMs(int statement_timeout_ms) { return statement_timeout_ms > 0 ? statement_timeout_ms : 5000; }

// --- Session ----------------------------------------------------------------------

// Statements from callers may read, nothing else: attaching other files,
// detaching ours or changing the connection by PRAGMA is refused while they
// are prepared. The session's own ATTACH runs with the guard lowered.
int Authorize(void* guard, int action, const char*, const char*, const char*, const char*) {
  if (!*static_cast<bool*>(guard)) return SQLITE_OK;
  if (action == SQLITE_ATTACH || action == SQLITE_DETACH || action == SQLITE_PRAGMA) return SQLITE_DENY;
  return SQLITE_OK;
}

class SqliteSession : public Session {
 public:
  SqliteSession(sqlite3* db, std::string dir, std::string database, const std::string& file, int statement_timeout_ms)
      : db_(db), dir_(std::move(dir)), database_(std::move(database)), statement_timeout_ms_(statement_timeout_ms) {
    sqlite3_set_authorizer(db_, Authorize, &guarded_);
    if (statement_timeout_ms_ > 0) sqlite3_progress_handler(db_, kProgressSteps, PastDeadline, this);
    if (auto id = IdOf(file)) files_.emplace_back(file, *id);
  }

  ~SqliteSession() override {
    sqlite3_finalize(begin_);
    sqlite3_finalize(commit_);
    for (auto& entry : statements_) sqlite3_finalize(entry.stmt);
    sqlite3_close_v2(db_);
  }

  bool Healthy() const override { return healthy_; }

  // One read transaction for the whole call: its statements see one state
  // of the files, and the file locks (several system calls per database)
  // are taken by the first statement only.
  void BeginCall() override {
    in_call_ = true;
    files_checked_ = false;
  }
  void EndCall() override {
    EndSnapshot();
    in_call_ = false;
  }
  // The call's read transaction, while one is open: an interrupted
  // statement's rollback or an attach ends it, and the next statement
  // begins another under a new number.
  uint64_t Snapshot() const override { return in_call_ && !sqlite3_get_autocommit(db_) ? snapshot_ : 0; }

  std::optional<std::string> ColumnType(std::string_view database, std::string_view table,
                                        std::string_view column) override {
    std::string schema = "main";
    if (!database.empty() && Lower(database) != Lower(database_)) {
      if (!Attach(std::string(database)).ok()) return std::nullopt;
      schema = std::string(database);
    }
    const char* declared = nullptr;
    if (sqlite3_table_column_metadata(db_, schema.c_str(), std::string(table).c_str(), std::string(column).c_str(),
                                      &declared, nullptr, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !declared) {
      return std::nullopt;
    }
    return std::string(declared);
  }

  Result<RecordsetRef> Execute(std::string_view statement, const std::vector<std::string>& databases) override {
    // A connection keeps reading the file it opened even after the path
    // names a new one: a replaced file ends the session (and the connector
    // runs the statement again on a fresh one).
    // Within a call the files are checked once: its snapshot keeps reading
    // the files it started on.
    if (!in_call_ || !files_checked_) {
      for (const auto& [path, id] : files_) {
        if (IdOf(path) != id) {
          healthy_ = false;
          return Status::Unavailable("The database file " + path + " was replaced");
        }
      }
      files_checked_ = in_call_;
    }
    // The clock runs for this statement only; look-ups between statements
    // (declared column types) are never interrupted.
    struct Deadline {
      std::chrono::steady_clock::time_point& at;
      ~Deadline() { at = std::chrono::steady_clock::time_point::max(); }
    } deadline{deadline_};
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(statement_timeout_ms_);
    for (const std::string& name : databases) {
      if (Status status = Attach(name); !status.ok()) return status;
    }
    // Deferred: the first statement takes the read locks, COMMIT at the end
    // of the call drops them. An interrupted statement rolls the
    // transaction back; the next one begins another.
    if (in_call_ && sqlite3_get_autocommit(db_)) {
      if (int rc = RunPrepared(begin_, "BEGIN"); rc != SQLITE_OK) return EngineError(rc);
      ++snapshot_;
    }
    auto prepared = Prepare(statement);
    if (!prepared.ok()) return prepared.status();
    Prepared& entry = *prepared.value();
    sqlite3_stmt* stmt = entry.stmt;

    ResultBuilder builder;
    const int columns = sqlite3_column_count(stmt);
    for (int i = 0; i < columns; ++i) builder.AddColumn(entry.names[i], entry.declared[i]);
    // SQLite cannot tell the size of a result before it is read; the last
    // run of the same statement is a good guess.
    builder.ExpectRows(entry.last_rows);
    size_t rows = 0;

    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int i = 0; i < columns; ++i) {
        Status status;
        switch (sqlite3_column_type(stmt, i)) {
          case SQLITE_INTEGER: status = builder.AddInteger(sqlite3_column_int64(stmt, i)); break;
          case SQLITE_FLOAT: status = builder.AddReal(sqlite3_column_double(stmt, i)); break;
          case SQLITE_NULL: status = builder.AddNull(); break;
          default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            status = builder.AddText(std::string_view(text ? text : "", sqlite3_column_bytes(stmt, i)));
          }
        }
        if (!status.ok()) {
          sqlite3_reset(stmt);
          return status;
        }
      }
      builder.EndRow();
      ++rows;
    }
    entry.last_rows = rows;
    if (rc != SQLITE_DONE) {
      Status error = EngineError(rc);
      sqlite3_reset(stmt);
      return error;
    }
    sqlite3_reset(stmt);
    if (columns == 0) return std::make_shared<Recordset>();  // no rowset: closed, as ADO gives it
    return builder.Finish();
  }

 private:
  struct Prepared {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> names;
    std::vector<std::optional<FieldInfo>> declared;
    size_t last_rows = 0;  // rows of the last run
  };

  // Prepared statements kept per connection, least recently used dropped.
  static constexpr size_t kStatementCacheSize = 64;
  // Leaves room below SQLite's default limit of 10 attached databases.
  static constexpr size_t kMaxAttached = 8;

  // The progress handler: a non-zero answer interrupts the statement.
  static constexpr int kProgressSteps = 1000;  // virtual machine steps between checks
  static int PastDeadline(void* self) {
    return std::chrono::steady_clock::now() > static_cast<SqliteSession*>(self)->deadline_ ? 1 : 0;
  }

  // Ends the call's read transaction, if one is open: attaching needs none,
  // and a session goes back to the pool without one.
  void EndSnapshot() {
    if (sqlite3_get_autocommit(db_)) return;
    if (RunPrepared(commit_, "COMMIT") != SQLITE_OK) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (!sqlite3_get_autocommit(db_)) healthy_ = false;  // cannot be reused safely
  }

  // BEGIN and COMMIT run once per call each: prepared once, as parsing them
  // costs more than running them.
  int RunPrepared(sqlite3_stmt*& stmt, const char* sql) {
    if (!stmt) {
      if (int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr); rc != SQLITE_OK) {
        return rc;
      }
    }
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }

  Status EngineError(int rc) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_INTERRUPT && statement_timeout_ms_ > 0) {
      return Status::Timeout("The statement ran longer than the statement timeout of " +
                             std::to_string(statement_timeout_ms_) + " ms and was cancelled");
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
      // Another connection holds a lock that keeps readers out (a writer
      // committing): waited for as long as the busy timeout allows.
      return Status::Timeout(std::string("The database file stayed locked by another connection for ") +
                             std::to_string(BusyTimeoutMs(statement_timeout_ms_)) + " ms (" + sqlite3_errmsg(db_) +
                             ")");
    }
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR ||
        primary == SQLITE_CANTOPEN) {
      healthy_ = false;  // a replaced or damaged file: reopen on next use
      return Status::IOError(sqlite3_errmsg(db_));
    }
    return Status::InvalidArgument(sqlite3_errmsg(db_));
  }

  Result<Prepared*> Prepare(std::string_view sql) {
    auto found = index_.find(sql);
    if (found != index_.end()) {
      statements_.splice(statements_.begin(), statements_, found->second);
      return &*found->second;
    }
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                                &tail);
    if (rc != SQLITE_OK) return EngineError(rc);
    if (!stmt) return Status::InvalidArgument("The statement is empty");
    if (!IsBlankTail(tail)) {
      sqlite3_finalize(stmt);
      return Status::InvalidArgument("Only one statement can be run at a time");
    }
    Prepared entry;
    entry.sql = std::string(sql);
    entry.stmt = stmt;
    const int columns = sqlite3_column_count(stmt);
    for (int i = 0; i < columns; ++i) {
      const char* name = sqlite3_column_name(stmt, i);
      entry.names.emplace_back(name ? name : "");
      const char* decl = sqlite3_column_decltype(stmt, i);
      entry.declared.push_back(decl ? FieldFromDeclaredType(decl) : std::nullopt);
    }
    if (statements_.size() >= kStatementCacheSize) {
      sqlite3_finalize(statements_.back().stmt);
      index_.erase(statements_.back().sql);
      statements_.pop_back();
    }
    statements_.push_front(std::move(entry));
    index_[statements_.front().sql] = statements_.begin();
    return &statements_.front();
  }

  void DropStatements() {
    for (auto& entry : statements_) sqlite3_finalize(entry.stmt);
    statements_.clear();
    index_.clear();
  }

  Status Attach(const std::string& name) {
    // Every statement asks for its databases: the attached ones are found
    // without building a key.
    for (const std::string& attached : attached_) {
      if (EqualsLowered(name, attached)) return Status::Ok();
    }
    const std::string key = Lower(name);
    if (key == "main" || key == "temp") {
      // SQLite's own schema names: "main" already is the session's database
      // when it is named so; anything else cannot take those names.
      if (Lower(database_) == key) return Status::Ok();
      return Status::Unsupported("The database name '" + name + "' cannot be reached from another database");
    }
    auto file = ResolveDatabaseFile(dir_, name);
    if (!file.ok()) return file.status();
    EndSnapshot();  // SQLite attaches and detaches outside transactions only
    guarded_ = false;
    struct Raise {
      bool& guard;
      ~Raise() { guard = true; }
    } raise{guarded_};
    if (attached_.size() >= kMaxAttached) {
      DropStatements();
      for (const std::string& old : attached_) {
        sqlite3_exec(db_, ("DETACH DATABASE " + QuoteIdentifier(old)).c_str(), nullptr, nullptr, nullptr);
      }
      attached_.clear();
      files_.resize(std::min<size_t>(files_.size(), 1));  // the main file stays
    }
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = "ATTACH DATABASE ?1 AS " + QuoteIdentifier(name);
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
      const std::string uri = ReadOnlyUri(file.value());
      sqlite3_bind_text(stmt, 1, uri.c_str(), static_cast<int>(uri.size()), SQLITE_TRANSIENT);
      rc = sqlite3_step(stmt);
    }
    Status status = rc == SQLITE_DONE ? Status::Ok()
                                      : Status::IOError("Cannot attach database \"" + name + "\": " +
                                                        sqlite3_errmsg(db_));
    sqlite3_finalize(stmt);
    if (status.ok()) {
      attached_.push_back(key);
      if (auto id = IdOf(file.value())) files_.emplace_back(file.value(), *id);
    }
    return status;
  }

  sqlite3* db_;
  std::string dir_;
  std::string database_;
  int statement_timeout_ms_;  // 0: none
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();  // of the running statement
  bool healthy_ = true;
  bool guarded_ = true;  // callers' statements are being prepared
  sqlite3_stmt* begin_ = nullptr;   // prepared at first use
  sqlite3_stmt* commit_ = nullptr;
  bool in_call_ = false;        // between BeginCall and EndCall
  uint64_t snapshot_ = 0;       // read transactions begun so far
  bool files_checked_ = false;  // the files were checked in this call
  std::vector<std::string> attached_;  // lower case
  std::vector<std::pair<std::string, FileId>> files_;  // main first, then attached
  std::list<Prepared> statements_;
  // Looked up by the statement's view: no copy of the text per statement.
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, std::list<Prepared>::iterator, TextHash, std::equal_to<>> index_;
};

class SqliteDriver : public Driver {
 public:
  sql::Dialect dialect() const override { return sql::Dialect::kSqlite; }
  std::string_view name() const override { return "SQLite"; }

  Result<std::unique_ptr<Session>> Open(std::string_view connection, std::string_view database) override {
    auto parsed = ParseConnectionString(connection);
    if (!parsed.ok()) return parsed.status();
    std::string& dir = parsed->rest;
    auto options = TakeConnectorOptions(dir);
    if (!options.ok()) return options.status();
    const int timeout_ms = options->statement_timeout_ms;
    if (dir.empty()) return Status::InvalidArgument("Invalid connection string: sqlite: needs a folder");
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
      return Status::NotFound("Cannot open database \"" + std::string(database) + "\": no folder " + dir);
    }
    auto file = ResolveDatabaseFile(dir, database);
    if (!file.ok()) return file.status();

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(ReadOnlyUri(file.value()).c_str(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
      std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
      sqlite3_close_v2(db);
      return Status::IOError("Cannot open database \"" + std::string(database) + "\": " + message);
    }
    // Files are untrusted: no schema-defined functions with side effects, no
    // writes to the schema by any path.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // "name" is an identifier, never a string: otherwise a misspelt quoted
    // column silently becomes a text constant.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db, BusyTimeoutMs(timeout_ms));
    rc = InstallSqliteCollations(db);
    // Reading the schema now turns a file that is not a database into an
    // error here rather than at the first statement.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      std::string message = sqlite3_errmsg(db);
      sqlite3_close_v2(db);
      return Status::IOError("Cannot open database \"" + std::string(database) + "\": " + message);
    }
    return std::unique_ptr<Session>(std::make_unique<SqliteSession>(db, dir, std::string(database), file.value(), timeout_ms));
  }
};

}  // namespace

int InstallSqliteCollations(sqlite3* db) {
  int rc = sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, CompareCi, nullptr);
  if (rc != SQLITE_OK) return rc;
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  rc = sqlite3_create_function(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_create_function(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr);
  return rc;
}

std::unique_ptr<Driver> MakeSqliteDriver() { return std::make_unique<SqliteDriver>(); }

}  // namespace trelix::base
