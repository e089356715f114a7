#pragma once
// The PostgreSQL engine behind "postgresql:" connections (libpq).
//
// One PostgreSQL database holds every component database as a schema of the
// same name in lower case (created unquoted). A session serves one database:
// its search_path is that schema, so unqualified tables resolve there and
// NAME.table reaches another. Sessions are read-only
// (default_transaction_read_only), dates print as ISO, money as 'C'.
//
// Field types come from the declared type of each result column's table
// column: the SQL Server type name the schema's catalogue table
// trelix_column_types (table_name, column_name, type_name) gives it, else a
// domain named after an SQL Server type (nvarchar, ntext, money, datetime,
// ... possibly schema-qualified) with the length or precision of its base
// type, else the native type's SQL Server counterpart (integer -> int, character varying(n) ->
// nvarchar(n), text -> ntext, boolean -> bit, double precision -> float,
// numeric(p,s) -> decimal(p,s), timestamp -> datetime). Expressions are typed
// from their result type the same way, text as nvarchar(4000).

#include <memory>
#include <optional>
#include <string_view>

#include "base/driver.h"

namespace trelix::base {

std::unique_ptr<Driver> MakePostgresDriver();

// Run by every session before its other settings. The sites' tables are
// small and stay in memory, where an index look-up costs about what a
// sequential read does; at the server's default random_page_cost (4) the
// planner hashes whole tables instead (a 2-vehicle key-advantage statement
// read all 80,000 option rows: 20-70 ms against 2 ms through the index). A
// value the server's configuration or the connection (options=-c ...)
// sets is left alone.
inline constexpr const char* kPlannerSetup =
    "SELECT set_config('random_page_cost', '1.1', false) FROM pg_settings"
    " WHERE name = 'random_page_cost' AND source = 'default'";

// The SQL Server type name for a PostgreSQL format_type() text
// ("character varying(50)" -> "nvarchar(50)"); nullopt when none fits.
std::optional<std::string> SqlServerTypeOfPostgresType(std::string_view format_type);

}  // namespace trelix::base
