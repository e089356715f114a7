#include "base/datagen/schema.h"

#include <cctype>
#include <stdexcept>

namespace trelix::datagen {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The schema. Names of columns that statements use without a table alias
// (category, category_name, location, row_id, vehicle_id, con_schema_id,
// con_text, con_format, advantage_rule, eb_order_id) exist in exactly one of
// the tables each statement joins, or the engines call them ambiguous.
std::vector<TableDef> BuildTables() {
  using C = ColumnDef;
  std::vector<TableDef> t;

  // ---------------------------------------------------------------- project
  t.push_back({TableId::kCategories, Database::kProject, "categories",
               "Categories of sheet lines, key advantages and standard features, with their display orders. "
               "The display name is the application text whose text_id is the category code.",
               {
                   C{"category_name", "nvarchar(50)", false, "category code, as used in the category columns"},
                   C{"eb_order_id", "int", false, "order of the category on a spec sheet of all categories"},
                   C{"ka_order_id", "int", false, "order of the category among key advantages"},
                   C{"sc_order_id", "int", false, "order of the category among standard descriptions"},
               },
               {"category_name"},
               {}});

  t.push_back({TableId::kEBrochure, Database::kProject, "e_brochure",
               "Lines of the vehicle sheet (e-brochure). Lines of a category without a categories row are left out "
               "of the all-categories sheet. eb_order_id lives in categories only: a second column of that name "
               "here would make the sheet statements ambiguous.",
               {
                   C{"row_id", "int", false, ""},
                   C{"category", "nvarchar(50)", false, "category code (compared without regard to case)"},
                   C{"order_id", "int", false, "order of the line within its category"},
                   C{"con_schema_id", "int", false,
                     "item shown on the line; 0 for a heading line (its con_text is the column heading)"},
                   C{"con_schema_id_val", "nvarchar(40)", true,
                     "sought value: the line asks whether the vehicle has this data_value; empty or NULL for any value"},
                   C{"con_text", "nvarchar(255)", true,
                     "untranslated text printed after the value (units begin with a blank: ' kW')"},
                   C{"location", "nvarchar(10)", true, "location code of the item (F front, R rear ...); '-' or empty for none"},
                   C{"con_format", "nvarchar(40)", true,
                     "A availability code (@S standard, @O option, @D dropped by a chosen option, @X none, @U parent "
                     "only); T translated value text; S availability with the parent's standard text in place of @S; "
                     "#n number with n decimals; #D date yyyymmdd printed yyyy-mm-dd (99991231 unchanged); #C "
                     "currency amount (CUR|value); # or #<letter> number with 0 decimals; '=' and a formula with ? "
                     "for the value converts it first (#0=?*1.36); any other letter: the raw value"},
                   C{"con_customtextid", "nvarchar(50)", true,
                     "text_id of a translated application text printed after the value; character type because it "
                     "is joined to text_id"},
               },
               {"row_id"},
               {{"ix_e_brochure_category", {"category", "order_id"}}, {"ix_e_brochure_schema", {"con_schema_id"}}}});

  t.push_back({TableId::kEBrochureText, Database::kProject, "e_brochure_text",
               "Translated descriptions of the sheet lines (grouped by the descriptions query, so nvarchar, not ntext).",
               {
                   C{"ebrochure_row_id", "int", false, "e_brochure.row_id"},
                   C{"language_id", "smallint", false, ""},
                   C{"e_brochure_text", "nvarchar(255)", false, ""},
               },
               {"ebrochure_row_id", "language_id"},
               {}});

  t.push_back({TableId::kEbSegmentation, Database::kProject, "eb_segmentation",
               "Sheet lines of a segmentation and their order, as the descriptions query reads them.",
               {
                   C{"segmentation_id", "smallint", false, ""},
                   C{"e_brochure_row_id", "int", false, "e_brochure.row_id"},
                   C{"segment_order_id", "int", false, ""},
               },
               {"segmentation_id", "e_brochure_row_id"},
               {{"ix_eb_segmentation_row", {"e_brochure_row_id"}}}});

  t.push_back({TableId::kSegmentation, Database::kProject, "segmentation",
               "Sheet lines of a segmentation and their order, as the vehicle sheet reads them.",
               {
                   C{"segmentation_id", "smallint", false, ""},
                   C{"e_brochure_row_id", "int", false, "e_brochure.row_id"},
                   C{"segment_order_id", "int", false, ""},
               },
               {"segmentation_id", "e_brochure_row_id"},
               {{"ix_segmentation_row", {"e_brochure_row_id"}}}});

  t.push_back({TableId::kApplicationTexts, Database::kProject, "application_texts",
               "Translated application texts: 'unlimited' (printed for the unlimited sentinels), the display "
               "names of categories (text_id = category code), the custom line texts of e_brochure and the "
               "icon texts icon_equipment_adds / _deletes / _changes of the feature comparison.",
               {
                   C{"text_id", "nvarchar(50)", false, ""},
                   C{"language_id", "smallint", false, ""},
                   C{"application_text", "nvarchar(255)", true, "an empty text counts as missing for 'unlimited'"},
               },
               {"text_id", "language_id"},
               {}});

  t.push_back({TableId::kKeyAdvantages, Database::kProject, "key_advantages",
               "Key advantages of a category: which item is compared, how, and how the sentence prints the values.",
               {
                   C{"row_id", "int", false, ""},
                   C{"category", "nvarchar(50)", false, "category code"},
                   C{"con_schema_id", "int", false, "item compared"},
                   C{"con_schema_id_val", "nvarchar(255)", true, "required value for presence rules; '' or '-' for none"},
                   C{"location", "nvarchar(10)", true, "location code; '-' (or empty) for none"},
                   C{"con_format", "nvarchar(40)", true,
                     "T translated values; #n n decimals; #D raw value; #C currency; #<other> 0 decimals; a "
                     "numeric rule applies the formula after '=' (#0=?/1.609) before comparing; any other first "
                     "letter leaves =? and =! in the sentence"},
                   C{"advantage_rule", "nvarchar(255)", true,
                     "'@' presence (the vehicle that has the item wins); '#>' higher wins, '#<' lower wins, "
                     "optionally followed by a threshold (#>10 absolute, #<5% relative to the base vehicle); any "
                     "other text: values best first, separated by ','. NULL: never used"},
               },
               {"row_id"},
               {{"ix_key_advantages_category", {"category"}}}});

  t.push_back({TableId::kKeyAdvantageText, Database::kProject, "key_advantage_text",
               "Translated advantage sentences: =? winner's value, =! loser's value, =# difference "
               "(selected DISTINCT, so nvarchar, not ntext).",
               {
                   C{"key_advantage_row_id", "int", false, "key_advantages.row_id"},
                   C{"language_id", "smallint", false, ""},
                   C{"key_advantage_text", "nvarchar(400)", false, ""},
               },
               {"key_advantage_row_id", "language_id"},
               {}});

  t.push_back({TableId::kKaSegmentation, Database::kProject, "ka_segmentation",
               "Key advantages of a segmentation and their order.",
               {
                   C{"segmentation_id", "smallint", false, ""},
                   C{"key_advantage_row_id", "int", false, "key_advantages.row_id"},
                   C{"segment_order_id", "int", false, ""},
               },
               {"segmentation_id", "key_advantage_row_id"},
               {{"ix_ka_segmentation_row", {"key_advantage_row_id"}}}});

  t.push_back({TableId::kCurrencySymbol, Database::kProject, "currency_symbol",
               "Currencies: an amount in A is amount / conversion(A) * conversion(B) in B.",
               {
                   C{"code", "varchar(3)", false, "ISO code (EUR, GBP ...)"},
                   C{"symbol", "nvarchar(10)", false, ""},
                   C{"symbolafter", "bit", true, "1: symbol after the number; 0 or NULL: before"},
                   C{"decimals", "int", false, "decimals shown"},
                   C{"conversion", "float", false, "units of this currency per unit of the common reference"},
                   C{"description", "nvarchar(50)", true, ""},
               },
               {"code"},
               {}});

  t.push_back({TableId::kStandardContent, Database::kProject, "standard_content",
               "Standard features listed by the standard descriptions and the feature comparison, per category "
               "and segment. order_id is unique within a segment: the comparison merges two lists by it.",
               {
                   C{"row_id", "int", false, ""},
                   C{"schema_id", "int", false, "item whose standard_text is shown"},
                   C{"category", "nvarchar(50)", false, "category code"},
                   C{"segment", "nvarchar(50)", false, "feature segment; 'Default' unless a page asks for another"},
                   C{"order_id", "int", false, ""},
               },
               {"row_id"},
               {{"ix_standard_content_segment", {"segment", "category", "order_id"}},
                {"ix_standard_content_schema", {"schema_id"}}}});

  t.push_back({TableId::kProjectDatasetInfo, Database::kProject, "dataset_info",
               "Where the data came from: generator, source, licence, and which rows are derived rather than sourced.",
               {
                   C{"info_key", "nvarchar(50)", false, ""},
                   C{"info_value", "nvarchar(400)", false, ""},
               },
               {"info_key"},
               {}});

  // ------------------------------------------------------------------ specs
  t.push_back({TableId::kEquipment, Database::kSpecs, "equipment",
               "The vehicles' values per item: option 0 is the standard vehicle, any other option a row "
               "that a chosen option adds or changes.",
               {
                   C{"vehicle_id", "int", false, ""},
                   C{"option_id", "int", false,
                     "0 standard; otherwise option_list.option_id of the same vehicle (at most 32767)"},
                   C{"record_id", "int", false, "number of the row within its vehicle (at most 32767)"},
                   C{"schema_id", "int", false, "schema_info.schema_id"},
                   C{"location", "nvarchar(10)", false, "location code; '-' for none"},
                   C{"data_value", "nvarchar(50)", false,
                     "raw value: '-' not available, 'S' present, a code with a schema_text translation, or a "
                     "number written with '.' as decimal separator. 999 / 9999 (items 23502, 23602 ... 24002 and "
                     "123502 ... 124002) and 999999 / 9999999 (items 23503 ... 24003 and 123503 ... 124003) mean "
                     "unlimited"},
                   C{"condition", "nvarchar(255)", true,
                     "for option rows: condition on the chosen options, e.g. ({12} or {15}) and not {20}; when it "
                     "fails, all rows of the option are ignored. NULL: always"},
               },
               {"vehicle_id", "record_id"},
               {{"ix_equipment_vehicle_schema", {"vehicle_id", "schema_id", "option_id"}},
                {"ix_equipment_schema", {"schema_id"}}}});

  t.push_back({TableId::kSchemaInfo, Database::kSpecs, "schema_info",
               "Items (features and measured values). parent_schema_id links an item to the item it refines: a line without a "
               "value of its own falls back to the parent's standard value, and the parent's standard_text is "
               "the line's standard text.",
               {
                   C{"schema_id", "int", false, ""},
                   C{"parent_schema_id", "int", false, "0 for none"},
                   C{"schema_name", "nvarchar(100)", false, "English working name"},
                   C{"data_type", "varchar(10)", false, "feature, text, number, date or price"},
                   C{"unit", "nvarchar(20)", true, ""},
               },
               {"schema_id"},
               {{"ix_schema_info_parent", {"parent_schema_id"}}}});

  t.push_back({TableId::kSchemaText, Database::kSpecs, "schema_text",
               "Translated texts of coded values (joined on data_value without regard to case).",
               {
                   C{"schema_id", "int", false, ""},
                   C{"data_value", "nvarchar(50)", false, ""},
                   C{"language_id", "smallint", false, ""},
                   C{"full_text", "nvarchar(255)", false, ""},
               },
               {"schema_id", "data_value", "language_id"},
               {}});

  t.push_back({TableId::kOptionList, Database::kSpecs, "option_list",
               "Options of a vehicle with their prices. A page names the price column to use (msrp, or the "
               "column prc<schema_id> of a price item); standard rows (option 0) have no row here, so their "
               "price is NULL.",
               {
                   C{"vehicle_id", "int", false, ""},
                   C{"option_id", "int", false, ""},
                   C{"option_code", "varchar(20)", true, ""},
                   C{"Manuf_name", "nvarchar(100)", false, "the maker's name of the option"},
                   C{"msrp", "money", true, "list price"},
                   C{"prc90001", "money", true, "price in the market of price item 90001"},
                   C{"weight_kg", "decimal(7,2)", true, ""},
                   C{"derived", "bit", false, "1: the option was derived from the source data, not sourced"},
                   C{"valid_from", "datetime", true, ""},
               },
               {"vehicle_id", "option_id"},
               {}});

  t.push_back({TableId::kStandardText, Database::kSpecs, "standard_text",
               "Standard feature texts of a vehicle per item and language (an empty text is still a feature).",
               {
                   C{"vehicle_id", "int", false, ""},
                   C{"schema_id", "int", false, ""},
                   C{"language_id", "smallint", false, ""},
                   C{"content", "ntext", false, ""},
               },
               {"vehicle_id", "schema_id", "language_id"},
               {{"ix_standard_text_schema", {"schema_id", "language_id"}}}});

  t.push_back({TableId::kVehicles, Database::kSpecs, "vehicles",
               "The vehicles (read by the pages to list and name them, not by the component).",
               {
                   C{"vehicle_id", "int", false, ""},
                   C{"make", "nvarchar(50)", false, ""},
                   C{"model", "nvarchar(100)", false, ""},
                   C{"trim_name", "nvarchar(100)", true, ""},
                   C{"model_year", "smallint", false, ""},
                   C{"body_class", "nvarchar(60)", true, ""},
                   C{"competitor_set_id", "int", true, "competitor_sets.competitor_set_id"},
                   C{"source_id", "bigint", true, "identifier in the source data"},
                   C{"base_price", "money", true, ""},
                   C{"modified_on", "datetime", true, ""},
               },
               {"vehicle_id"},
               {{"ix_vehicles_competitor_set", {"competitor_set_id"}}}});

  t.push_back({TableId::kCompetitorSets, Database::kSpecs, "competitor_sets",
               "Vehicles that compete with each other (same model year and body class).",
               {
                   C{"competitor_set_id", "int", false, ""},
                   C{"model_year", "smallint", false, ""},
                   C{"body_class", "nvarchar(60)", false, ""},
                   C{"set_name", "nvarchar(120)", false, ""},
               },
               {"competitor_set_id"},
               {}});

  t.push_back({TableId::kSpecsDatasetInfo, Database::kSpecs, "dataset_info",
               "Where the data came from: generator, source, licence, and which rows are derived rather than sourced.",
               {
                   C{"info_key", "nvarchar(50)", false, ""},
                   C{"info_value", "nvarchar(400)", false, ""},
               },
               {"info_key"},
               {}});
  return t;
}

std::string ColumnList(const std::vector<std::string_view>& columns) {
  std::string out;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) out += ", ";
    out += columns[i];
  }
  return out;
}

void AppendComment(std::string& out, std::string_view indent, std::string_view text) {
  // Wrap at about 110 columns so the files read well.
  constexpr size_t kWidth = 110;
  std::string line;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t next = text.find(' ', pos);
    if (next == std::string_view::npos) next = text.size();
    std::string_view word = text.substr(pos, next - pos);
    if (!line.empty() && indent.size() + 3 + line.size() + 1 + word.size() > kWidth) {
      out.append(indent).append("-- ").append(line).append("\n");
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line.append(word);
    pos = next + 1;
  }
  if (!line.empty()) out.append(indent).append("-- ").append(line).append("\n");
}

constexpr std::string_view kCommonHeader =
    "Generated from base/datagen/schema.cc; edit there and regenerate (see tests/base_datagen).\n"
    "\n"
    "Column types are SQL Server type names (int, bigint, smallint, bit, nvarchar(n), varchar(n), ntext, "
    "float, money, decimal(p,s), datetime). Every character column compares, sorts and groups without regard "
    "to case, as under SQL Server's default collation. The catalogue table trelix_column_types names the "
    "SQL Server type of every column of the database.\n"
    "\n"
    "Conventions of the data: equipment option 0 is the standard vehicle; data_value '-' means not "
    "available and numbers are stored with '.' as decimal separator; location '-' means no location; "
    "parent_schema_id 0 means no parent; record and option ids stay at or below 32767 per vehicle (the "
    "sheet holds them in 16-bit integers). There are no foreign keys: sheet lines of a category without a "
    "categories row are deliberate (the all-categories queries leave them out).\n";

std::string Header(Database database, bool postgres) {
  std::string text = database == Database::kProject
                         ? "Project database of a trelix_eb site: the site's sheet lines, key advantages, "
                           "texts, currencies and standard feature lists.\n\n"
                         : "Specs database of a trelix_eb site: vehicles, their equipment and options, "
                           "item texts and standard feature texts.\n\n";
  text += kCommonHeader;
  text += "\n";
  if (postgres) {
    text +=
        "PostgreSQL: each database is a schema of one PostgreSQL database; run this file with that schema first "
        "on the search_path (CREATE SCHEMA demo_project; SET search_path = demo_project;). Character columns "
        "use the ICU collation ci (und-u-ks-level2, not deterministic: case-insensitive, accent-sensitive), "
        "created in the same schema. PostgreSQL has no SQL Server type names and a domain cannot take a length, "
        "so columns get the nearest native type (nvarchar(n)/varchar(n) -> varchar(n), ntext -> text, int -> "
        "integer, bit -> boolean, float -> double precision, money -> numeric(19,4), decimal(p,s) -> "
        "numeric(p,s), datetime -> timestamp(3)) and the SQL Server name is kept in trelix_column_types: a "
        "result column that comes from a table column (PQftable/PQftablecol) finds its type by joining the "
        "catalogue to pg_class/pg_attribute of the schema. Tables and columns are created unquoted, so "
        "Manuf_name is stored as manuf_name.\n";
  } else {
    text +=
        "SQLite: one file NAME.sqlite per database. Character columns are COLLATE NOCASE, which the connector "
        "replaces by a Unicode-aware comparison (case folding, then code point order; on ASCII the same as "
        "SQLite's own). The generators build the indexes under that comparison too, and their key columns hold "
        "ASCII text, so the files also work with plain SQLite. Declared types are the SQL Server names "
        "(sqlite3_column_decltype returns them, SQLite spelling its own names such as INT in capitals); "
        "datetime values are stored as text 'YYYY-MM-DD HH:MM:SS', bit as 0/1, money and decimal as numbers.\n";
  }
  std::string out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view paragraph(text.data() + start, end - start);
    if (paragraph.empty()) {
      out += "--\n";
    } else {
      AppendComment(out, "", paragraph);
    }
    start = end + 1;
  }
  return out;
}

std::string SqlLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string Ddl(Database database, bool postgres, DdlPart part) {
  const bool tables = part != DdlPart::kIndexes;
  const bool indexes = part != DdlPart::kTables;
  std::string out;
  if (part == DdlPart::kAll) out = Header(database, postgres) + "\n";
  if (postgres && tables) {
    out += "CREATE COLLATION IF NOT EXISTS ci (provider = icu, locale = 'und-u-ks-level2', deterministic = false);\n\n";
  }
  auto column_type = [&](const ColumnDef& c) {
    std::string type = postgres ? PostgresType(c.type) : std::string(c.type);
    if (IsTextType(c.type)) type += postgres ? " COLLATE ci" : " COLLATE NOCASE";
    return type;
  };
  auto emit_table = [&](std::string_view name, std::string_view comment, const std::vector<ColumnDef>& columns,
                        const std::vector<std::string_view>& primary_key, const std::vector<IndexDef>& table_indexes) {
    if (!tables) {
      for (const IndexDef& index : table_indexes) {
        out += "CREATE INDEX " + std::string(index.name) + " ON " + std::string(name) + " (" +
               ColumnList(index.columns) + ");\n";
      }
      return;
    }
    if (!comment.empty()) AppendComment(out, "", comment);
    out += "CREATE TABLE ";
    out += name;
    out += " (\n";
    for (const ColumnDef& c : columns) {
      if (!c.comment.empty()) AppendComment(out, "  ", c.comment);
      out += "  ";
      out += c.name;
      out += ' ';
      out += column_type(c);
      if (!c.nullable) out += " NOT NULL";
      out += ",\n";
    }
    out += "  PRIMARY KEY (" + ColumnList(primary_key) + ")\n);\n";
    for (const IndexDef& index : table_indexes) {
      if (!indexes) break;
      out += "CREATE INDEX ";
      out += index.name;
      out += " ON ";
      out += name;
      out += " (" + ColumnList(index.columns) + ");\n";
    }
    out += "\n";
  };

  const std::vector<ColumnDef> catalogue_columns = {
      {"table_name", "varchar(128)", false, ""},
      {"column_name", "varchar(128)", false, ""},
      {"type_name", "varchar(40)", false, "SQL Server type name, e.g. nvarchar(50)"},
  };
  for (const TableDef& table : Tables()) {
    if (table.database != database) continue;
    emit_table(table.name, table.comment, table.columns, table.primary_key, table.indexes);
  }
  if (!tables) return out;
  emit_table(kColumnTypesTable, "SQL Server type of every column of this database (including this table).",
             catalogue_columns, {"table_name", "column_name"}, {});
  out += "INSERT INTO ";
  out += kColumnTypesTable;
  out += " (table_name, column_name, type_name) VALUES\n";
  std::vector<std::string> rows;
  for (const TableDef& table : Tables()) {
    if (table.database != database) continue;
    for (const ColumnDef& c : table.columns) {
      rows.push_back("(" + SqlLiteral(table.name) + ", " + SqlLiteral(c.name) + ", " + SqlLiteral(c.type) + ")");
    }
  }
  for (const ColumnDef& c : catalogue_columns) {
    rows.push_back("(" + SqlLiteral(kColumnTypesTable) + ", " + SqlLiteral(c.name) + ", " + SqlLiteral(c.type) + ")");
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    out += "  " + rows[i] + (i + 1 < rows.size() ? ",\n" : ";\n");
  }
  return out;
}

}  // namespace

int TableDef::ColumnIndex(std::string_view column) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsNoCase(columns[i].name, column)) return static_cast<int>(i);
  }
  return -1;
}

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = BuildTables();
  return tables;
}

const TableDef& Table(TableId id) {
  const auto& tables = Tables();
  const auto index = static_cast<size_t>(id);
  // The vector is built in enum order; a mismatch is a programming error.
  if (index >= tables.size() || tables[index].id != id) throw std::logic_error("datagen table catalogue out of order");
  return tables[index];
}

bool IsTextType(std::string_view type) {
  return StartsWithNoCase(type, "nvarchar") || StartsWithNoCase(type, "varchar") || EqualsNoCase(type, "ntext");
}

int TextLength(std::string_view type) {
  if (!StartsWithNoCase(type, "nvarchar(") && !StartsWithNoCase(type, "varchar(")) return 0;
  const size_t open = type.find('(');
  int n = 0;
  for (size_t i = open + 1; i < type.size() && std::isdigit(static_cast<unsigned char>(type[i])); ++i) {
    n = n * 10 + (type[i] - '0');
  }
  return n;
}

std::string PostgresType(std::string_view type) {
  if (StartsWithNoCase(type, "nvarchar")) return "varchar" + std::string(type.substr(8));
  if (StartsWithNoCase(type, "varchar")) return std::string(type);
  if (EqualsNoCase(type, "ntext")) return "text";
  if (EqualsNoCase(type, "int")) return "integer";
  if (EqualsNoCase(type, "bigint") || EqualsNoCase(type, "smallint")) return std::string(type);
  // PostgreSQL's bit is a bit string (1::bit = 1 fails); boolean reads as 0/1.
  if (EqualsNoCase(type, "bit")) return "boolean";
  if (EqualsNoCase(type, "float")) return "double precision";
  // PostgreSQL's money prints with a currency sign and grouping.
  if (EqualsNoCase(type, "money")) return "numeric(19,4)";
  if (StartsWithNoCase(type, "decimal")) return "numeric" + std::string(type.substr(7));
  if (EqualsNoCase(type, "datetime")) return "timestamp(3)";
  return std::string(type);
}

std::string SqliteDdl(Database database, DdlPart part) { return Ddl(database, false, part); }
std::string PostgresDdl(Database database, DdlPart part) { return Ddl(database, true, part); }

std::string DdlFileName(Database database, bool postgres) {
  return std::string(database == Database::kProject ? "project" : "specs") + "_schema." +
         (postgres ? "postgres" : "sqlite") + ".sql";
}

}  // namespace trelix::datagen
