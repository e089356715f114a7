#pragma once
// The tables of a site: the project database (the site's configuration and
// texts) and the specs database (the vehicles' equipment), described
// once here and turned into the DDL of each engine. data/*.sql are generated
// from this description (tests/base_datagen checks they are current), so the
// readable DDL and what the generators create cannot drift apart.
//
// Column types are SQL Server type names ("int", "nvarchar(50)", "money" ...).
// SQLite declares them as they are (the declared type is what the connector
// reads); PostgreSQL gets the nearest native type, and every database also
// holds the catalogue table `trelix_column_types` (table_name, column_name,
// type_name) naming the SQL Server type of every column.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelix::datagen {

enum class Database : uint8_t { kProject, kSpecs };

// Every table the generators fill, in creation order.
enum class TableId : uint8_t {
  // project database
  kCategories,
  kEBrochure,
  kEBrochureText,
  kEbSegmentation,
  kSegmentation,
  kApplicationTexts,
  kKeyAdvantages,
  kKeyAdvantageText,
  kKaSegmentation,
  kCurrencySymbol,
  kStandardContent,
  kProjectDatasetInfo,
  // specs database
  kEquipment,
  kSchemaInfo,
  kSchemaText,
  kOptionList,
  kStandardText,
  kVehicles,
  kCompetitorSets,
  kSpecsDatasetInfo,
  kCount,
};

struct ColumnDef {
  std::string_view name;  // as the statements write it (PostgreSQL folds it to lower case)
  std::string_view type;  // SQL Server type name
  bool nullable;
  std::string_view comment;  // meaning of the values; empty when the name says it all
};

struct IndexDef {
  std::string_view name;
  std::vector<std::string_view> columns;
};

struct TableDef {
  TableId id;
  Database database;
  std::string_view name;
  std::string_view comment;
  std::vector<ColumnDef> columns;
  std::vector<std::string_view> primary_key;
  std::vector<IndexDef> indexes;

  // Position of `column` (case-insensitive), or -1.
  int ColumnIndex(std::string_view column) const;
};

// The catalogue table present in both databases.
inline constexpr std::string_view kColumnTypesTable = "trelix_column_types";

const std::vector<TableDef>& Tables();
const TableDef& Table(TableId id);

// True for the character types (nvarchar, varchar, ntext): declared
// case-insensitive on every engine.
bool IsTextType(std::string_view sql_server_type);
// The declared length of nvarchar(n)/varchar(n); 0 for other types.
int TextLength(std::string_view sql_server_type);
// The PostgreSQL type standing in for an SQL Server type name.
std::string PostgresType(std::string_view sql_server_type);

// Which statements of the DDL: all of them (what data/ holds), or the tables
// and the catalogue first and the secondary indexes after a bulk load.
enum class DdlPart : uint8_t { kAll, kTables, kIndexes };

// The DDL of one database: tables, indexes, the type catalogue and its rows.
// SQLite: for a fresh file. PostgreSQL: for an empty schema that is first on
// the search_path (the collation `ci` is created in it).
std::string SqliteDdl(Database database, DdlPart part = DdlPart::kAll);
std::string PostgresDdl(Database database, DdlPart part = DdlPart::kAll);

// File names under data/: project_schema.sqlite.sql, specs_schema.postgres.sql ...
std::string DdlFileName(Database database, bool postgres);

}  // namespace trelix::datagen
