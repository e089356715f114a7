-- Specs database of a trelix_eb site: vehicles, their equipment and options, item texts and standard feature
-- texts.
--
-- Generated from base/datagen/schema.cc; edit there and regenerate (see tests/base_datagen).
--
-- Column types are SQL Server type names (int, bigint, smallint, bit, nvarchar(n), varchar(n), ntext, float,
-- money, decimal(p,s), datetime). Every character column compares, sorts and groups without regard to case,
-- as under SQL Server's default collation. The catalogue table trelix_column_types names the SQL Server type
-- of every column of the database.
--
-- Conventions of the data: equipment option 0 is the standard vehicle; data_value '-' means not available and
-- numbers are stored with '.' as decimal separator; location '-' means no location; parent_schema_id 0 means
-- no parent; record and option ids stay at or below 32767 per vehicle (the sheet holds them in 16-bit
-- integers). There are no foreign keys: sheet lines of a category without a categories row are deliberate
-- (the all-categories queries leave them out).
--
-- SQLite: one file NAME.sqlite per database. Character columns are COLLATE NOCASE, which the connector
-- replaces by a Unicode-aware comparison (case folding, then code point order; on ASCII the same as SQLite's
-- own). The generators build the indexes under that comparison too, and their key columns hold ASCII text, so
-- the files also work with plain SQLite. Declared types are the SQL Server names (sqlite3_column_decltype
-- returns them, SQLite spelling its own names such as INT in capitals); datetime values are stored as text
-- 'YYYY-MM-DD HH:MM:SS', bit as 0/1, money and decimal as numbers.

-- The vehicles' values per item: option 0 is the standard vehicle, any other option a row that a chosen
-- option adds or changes.
CREATE TABLE equipment (
  vehicle_id int NOT NULL,
  -- 0 standard; otherwise option_list.option_id of the same vehicle (at most 32767)
  option_id int NOT NULL,
  -- number of the row within its vehicle (at most 32767)
  record_id int NOT NULL,
  -- schema_info.schema_id
  schema_id int NOT NULL,
  -- location code; '-' for none
  location nvarchar(10) COLLATE NOCASE NOT NULL,
  -- raw value: '-' not available, 'S' present, a code with a schema_text translation, or a number written
  -- with '.' as decimal separator. 999 / 9999 (items 23502, 23602 ... 24002 and 123502 ... 124002) and 999999
  -- / 9999999 (items 23503 ... 24003 and 123503 ... 124003) mean unlimited
  data_value nvarchar(50) COLLATE NOCASE NOT NULL,
  -- for option rows: condition on the chosen options, e.g. ({12} or {15}) and not {20}; when it fails, all
  -- rows of the option are ignored. NULL: always
  condition nvarchar(255) COLLATE NOCASE,
  PRIMARY KEY (vehicle_id, record_id)
);
CREATE INDEX ix_equipment_vehicle_schema ON equipment (vehicle_id, schema_id, option_id);
CREATE INDEX ix_equipment_schema ON equipment (schema_id);

-- Items (features and measured values). parent_schema_id links an item to the item it refines: a line without
-- a value of its own falls back to the parent's standard value, and the parent's standard_text is the line's
-- standard text.
CREATE TABLE schema_info (
  schema_id int NOT NULL,
  -- 0 for none
  parent_schema_id int NOT NULL,
  -- English working name
  schema_name nvarchar(100) COLLATE NOCASE NOT NULL,
  -- feature, text, number, date or price
  data_type varchar(10) COLLATE NOCASE NOT NULL,
  unit nvarchar(20) COLLATE NOCASE,
  PRIMARY KEY (schema_id)
);
CREATE INDEX ix_schema_info_parent ON schema_info (parent_schema_id);

-- Translated texts of coded values (joined on data_value without regard to case).
CREATE TABLE schema_text (
  schema_id int NOT NULL,
  data_value nvarchar(50) COLLATE NOCASE NOT NULL,
  language_id smallint NOT NULL,
  full_text nvarchar(255) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (schema_id, data_value, language_id)
);

-- Options of a vehicle with their prices. A page names the price column to use (msrp, or the column
-- prc<schema_id> of a price item); standard rows (option 0) have no row here, so their price is NULL.
CREATE TABLE option_list (
  vehicle_id int NOT NULL,
  option_id int NOT NULL,
  option_code varchar(20) COLLATE NOCASE,
  -- the maker's name of the option
  Manuf_name nvarchar(100) COLLATE NOCASE NOT NULL,
  -- list price
  msrp money,
  -- price in the market of price item 90001
  prc90001 money,
  weight_kg decimal(7,2),
  -- 1: the option was derived from the source data, not sourced
  derived bit NOT NULL,
  valid_from datetime,
  PRIMARY KEY (vehicle_id, option_id)
);

-- Standard feature texts of a vehicle per item and language (an empty text is still a feature).
CREATE TABLE standard_text (
  vehicle_id int NOT NULL,
  schema_id int NOT NULL,
  language_id smallint NOT NULL,
  content ntext COLLATE NOCASE NOT NULL,
  PRIMARY KEY (vehicle_id, schema_id, language_id)
);
CREATE INDEX ix_standard_text_schema ON standard_text (schema_id, language_id);

-- The vehicles (read by the pages to list and name them, not by the component).
CREATE TABLE vehicles (
  vehicle_id int NOT NULL,
  make nvarchar(50) COLLATE NOCASE NOT NULL,
  model nvarchar(100) COLLATE NOCASE NOT NULL,
  trim_name nvarchar(100) COLLATE NOCASE,
  model_year smallint NOT NULL,
  body_class nvarchar(60) COLLATE NOCASE,
  -- competitor_sets.competitor_set_id
  competitor_set_id int,
  -- identifier in the source data
  source_id bigint,
  base_price money,
  modified_on datetime,
  PRIMARY KEY (vehicle_id)
);
CREATE INDEX ix_vehicles_competitor_set ON vehicles (competitor_set_id);

-- Vehicles that compete with each other (same model year and body class).
CREATE TABLE competitor_sets (
  competitor_set_id int NOT NULL,
  model_year smallint NOT NULL,
  body_class nvarchar(60) COLLATE NOCASE NOT NULL,
  set_name nvarchar(120) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (competitor_set_id)
);

-- Where the data came from: generator, source, licence, and which rows are derived rather than sourced.
CREATE TABLE dataset_info (
  info_key nvarchar(50) COLLATE NOCASE NOT NULL,
  info_value nvarchar(400) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (info_key)
);

-- SQL Server type of every column of this database (including this table).
CREATE TABLE trelix_column_types (
  table_name varchar(128) COLLATE NOCASE NOT NULL,
  column_name varchar(128) COLLATE NOCASE NOT NULL,
  -- SQL Server type name, e.g. nvarchar(50)
  type_name varchar(40) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (table_name, column_name)
);

INSERT INTO trelix_column_types (table_name, column_name, type_name) VALUES
  ('equipment', 'vehicle_id', 'int'),
  ('equipment', 'option_id', 'int'),
  ('equipment', 'record_id', 'int'),
  ('equipment', 'schema_id', 'int'),
  ('equipment', 'location', 'nvarchar(10)'),
  ('equipment', 'data_value', 'nvarchar(50)'),
  ('equipment', 'condition', 'nvarchar(255)'),
  ('schema_info', 'schema_id', 'int'),
  ('schema_info', 'parent_schema_id', 'int'),
  ('schema_info', 'schema_name', 'nvarchar(100)'),
  ('schema_info', 'data_type', 'varchar(10)'),
  ('schema_info', 'unit', 'nvarchar(20)'),
  ('schema_text', 'schema_id', 'int'),
  ('schema_text', 'data_value', 'nvarchar(50)'),
  ('schema_text', 'language_id', 'smallint'),
  ('schema_text', 'full_text', 'nvarchar(255)'),
  ('option_list', 'vehicle_id', 'int'),
  ('option_list', 'option_id', 'int'),
  ('option_list', 'option_code', 'varchar(20)'),
  ('option_list', 'Manuf_name', 'nvarchar(100)'),
  ('option_list', 'msrp', 'money'),
  ('option_list', 'prc90001', 'money'),
  ('option_list', 'weight_kg', 'decimal(7,2)'),
  ('option_list', 'derived', 'bit'),
  ('option_list', 'valid_from', 'datetime'),
  ('standard_text', 'vehicle_id', 'int'),
  ('standard_text', 'schema_id', 'int'),
  ('standard_text', 'language_id', 'smallint'),
  ('standard_text', 'content', 'ntext'),
  ('vehicles', 'vehicle_id', 'int'),
  ('vehicles', 'make', 'nvarchar(50)'),
  ('vehicles', 'model', 'nvarchar(100)'),
  ('vehicles', 'trim_name', 'nvarchar(100)'),
  ('vehicles', 'model_year', 'smallint'),
  ('vehicles', 'body_class', 'nvarchar(60)'),
  ('vehicles', 'competitor_set_id', 'int'),
  ('vehicles', 'source_id', 'bigint'),
  ('vehicles', 'base_price', 'money'),
  ('vehicles', 'modified_on', 'datetime'),
  ('competitor_sets', 'competitor_set_id', 'int'),
  ('competitor_sets', 'model_year', 'smallint'),
  ('competitor_sets', 'body_class', 'nvarchar(60)'),
  ('competitor_sets', 'set_name', 'nvarchar(120)'),
  ('dataset_info', 'info_key', 'nvarchar(50)'),
  ('dataset_info', 'info_value', 'nvarchar(400)'),
  ('trelix_column_types', 'table_name', 'varchar(128)'),
  ('trelix_column_types', 'column_name', 'varchar(128)'),
  ('trelix_column_types', 'type_name', 'varchar(40)');
