#pragma once
// The SQLite engine behind "sqlite:DIR" connections.
//
// Database NAME is the file DIR/NAME.sqlite (matched case-insensitively when
// the exact name is absent, as SQL Server database names are), opened
// read-only: the connector only reads, a missing file is an error and never
// created, and a statement cannot change the data. Other databases a
// statement reaches (NAME.table after translation) are attached read-only
// under their names on first use.
//
// Every connection replaces the NOCASE collation by a Unicode-aware one
// (ICU full case folding, then code point order: case-insensitive,
// accent-sensitive) and LIKE by a Unicode case-folding LIKE, so that text
// compares, groups and matches as under SQL Server's default collation.
// Left to the implementer: ordering is code point order after folding, not
// linguistic order. It keeps SQLite's own NOCASE order on ASCII, so files
// indexed by writers without this collation stay valid; accented letters
// sort after 'z' here while PostgreSQL's ICU collation sorts them by letter.

#include <memory>

#include "base/driver.h"

struct sqlite3;

namespace trelix::base {

std::unique_ptr<Driver> MakeSqliteDriver();

// Installs the collation and LIKE above on a connection. Files whose NOCASE
// columns are indexed on non-ASCII keys must be written by connections with
// them installed, or the index order differs from the order queries expect.
// Returns an SQLite result code (SQLITE_OK = 0).
int InstallSqliteCollations(sqlite3* db);

}  // namespace trelix::base
