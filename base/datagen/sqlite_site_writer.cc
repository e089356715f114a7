// SiteWriter on SQLite: two files written under temporary names in one
// transaction each and renamed into place by Commit.

#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/datagen/site_writer_backends.h"
#include "base/sqlite_driver.h"

namespace trelix::datagen::internal {
namespace {

namespace fs = std::filesystem;

class SqliteSiteWriter final : public SiteWriter {
 public:
  SqliteSiteWriter(const fs::path& directory, const std::string& project, const std::string& specs) {
    const std::string suffix = ".sqlite." + std::to_string(::getpid()) + ".tmp";
    files_[0].database = Database::kProject;
    files_[0].target = directory / (project + ".sqlite");
    files_[0].temp = directory / ("." + project + suffix);
    files_[1].database = Database::kSpecs;
    files_[1].target = directory / (specs + ".sqlite");
    files_[1].temp = directory / ("." + specs + suffix);
  }

  ~SqliteSiteWriter() override {
    for (File& file : files_) {
      Close(file);
      if (!committed_) {
        std::error_code ignored;
        fs::remove(file.temp, ignored);
      }
    }
  }

  Status Start() {
    for (File& file : files_) {
      std::error_code ignored;
      fs::remove(file.temp, ignored);
      if (sqlite3_open_v2(file.temp.c_str(), &file.handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
          SQLITE_OK) {
        return Status::IOError("cannot create " + file.temp.string() + ": " +
                               (file.handle ? sqlite3_errmsg(file.handle) : "out of memory"));
      }
      // Indexes on text keys are built in the order the connector's NOCASE
      // (Unicode case folding) will search them.
      if (base::InstallSqliteCollations(file.handle) != SQLITE_OK) {
        return Status::IOError("cannot install the collations on " + file.temp.string());
      }
      // The file is invisible until it is renamed into place, so a crash
      // needs no journal: the half-written file is simply thrown away.
      if (Status s = Exec(file, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"); !s.ok()) return s;
      if (Status s = Exec(file, SqliteDdl(file.database, DdlPart::kTables)); !s.ok()) return s;
      file.inserts.assign(static_cast<size_t>(TableId::kCount), nullptr);
    }
    return Status::Ok();
  }

 protected:
  Status DoInsert(const TableDef& table, std::span<const Cell> cells) override {
    File& file = FileOf(table.database);
    sqlite3_stmt*& insert = file.inserts[static_cast<size_t>(table.id)];
    if (insert == nullptr) {
      std::string sql = "INSERT INTO " + std::string(table.name) + " (";
      std::string values;
      for (size_t i = 0; i < table.columns.size(); ++i) {
        sql += (i ? ", " : "") + std::string(table.columns[i].name);
        values += i ? ", ?" : "?";
      }
      sql += ") VALUES (" + values + ")";
      if (sqlite3_prepare_v2(file.handle, sql.c_str(), -1, &insert, nullptr) != SQLITE_OK) {
        return Error(file, "prepare insert into " + std::string(table.name));
      }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
      const Cell& cell = cells[i];
      const int index = static_cast<int>(i) + 1;
      switch (cell.kind()) {
        case Cell::Kind::kNull:
          sqlite3_bind_null(insert, index);
          break;
        case Cell::Kind::kInteger:
          sqlite3_bind_int64(insert, index, cell.integer());
          break;
        case Cell::Kind::kReal:
          sqlite3_bind_double(insert, index, cell.real());
          break;
        case Cell::Kind::kText:
          sqlite3_bind_text(insert, index, cell.text().data(), static_cast<int>(cell.text().size()),
                            SQLITE_TRANSIENT);
          break;
      }
    }
    const int rc = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (rc != SQLITE_DONE) {
      // A duplicate key is a generator bug: say which table.
      return Error(file, "insert into " + std::string(table.name));
    }
    return Status::Ok();
  }

  Status DoCommit() override {
    for (File& file : files_) {
      if (Status s = Exec(file, SqliteDdl(file.database, DdlPart::kIndexes)); !s.ok()) return s;
      if (Status s = Exec(file, "ANALYZE; COMMIT;"); !s.ok()) return s;
      if (!Close(file)) return Status::IOError("cannot close " + file.temp.string());
    }
    for (File& file : files_) {
      // Journal files of an older database of the same name would be
      // replayed into the new file.
      std::error_code ignored;
      for (const char* extra : {"-journal", "-wal", "-shm"}) fs::remove(file.target.string() + extra, ignored);
      std::error_code error;
      fs::rename(file.temp, file.target, error);
      if (error) return Status::IOError("cannot move " + file.temp.string() + " to " + file.target.string() + ": " +
                                        error.message());
    }
    committed_ = true;
    return Status::Ok();
  }

 private:
  struct File {
    Database database = Database::kProject;
    fs::path target;
    fs::path temp;
    sqlite3* handle = nullptr;
    std::vector<sqlite3_stmt*> inserts;
  };

  File& FileOf(Database database) { return files_[database == Database::kProject ? 0 : 1]; }

  static Status Error(File& file, const std::string& what) {
    const int code = sqlite3_extended_errcode(file.handle);
    const std::string message = what + " (" + file.temp.filename().string() + "): " + sqlite3_errmsg(file.handle);
    if ((code & 0xFF) == SQLITE_CONSTRAINT) return Status::InvalidArgument(message);
    return Status::IOError(message);
  }

  static Status Exec(File& file, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(file.handle, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string text = message ? message : sqlite3_errmsg(file.handle);
      sqlite3_free(message);
      return Status::IOError(file.temp.string() + ": " + text);
    }
    return Status::Ok();
  }

  static bool Close(File& file) {
    for (sqlite3_stmt* insert : file.inserts) sqlite3_finalize(insert);
    file.inserts.clear();
    if (file.handle == nullptr) return true;
    const bool ok = sqlite3_close(file.handle) == SQLITE_OK;
    file.handle = nullptr;
    return ok;
  }

  std::array<File, 2> files_;
  bool committed_ = false;
};

}  // namespace

Result<std::unique_ptr<SiteWriter>> OpenSqliteSiteWriter(const std::string& directory, const std::string& project,
                                                         const std::string& specs) {
  const fs::path dir(directory);
  std::error_code error;
  fs::create_directories(dir, error);
  if (error || !fs::is_directory(dir)) {
    return Status::IOError("cannot use directory '" + directory + "'" + (error ? ": " + error.message() : ""));
  }
  auto writer = std::make_unique<SqliteSiteWriter>(dir, project, specs);
  if (Status s = writer->Start(); !s.ok()) return s;
  return std::unique_ptr<SiteWriter>(std::move(writer));
}

}  // namespace trelix::datagen::internal
