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
-- PostgreSQL: each database is a schema of one PostgreSQL database; run this file with that schema first on
-- the search_path (CREATE SCHEMA demo_project; SET search_path = demo_project;). Character columns use the
-- ICU collation ci (und-u-ks-level2, not deterministic: case-insensitive, accent-sensitive), created in the
-- same schema. PostgreSQL has no SQL Server type names and a domain cannot take a length, so columns get the
-- nearest native type (nvarchar(n)/varchar(n) -> varchar(n), ntext -> text, int -> integer, bit -> boolean,
-- float -> double precision, money -> numeric(19,4), decimal(p,s) -> numeric(p,s), datetime -> timestamp(3))
-- and the SQL Server name is kept in trelix_column_types: a result column that comes from a table column
-- (PQftable/PQftablecol) finds its type by joining the catalogue to pg_class/pg_attribute of the schema.
-- Tables and columns are created unquoted, so Manuf_name is stored as manuf_name.

CREATE COLLATION IF NOT EXISTS ci (provider = icu, locale = 'und-u-ks-level2', deterministic = false);

-- The vehicles' values per item: option 0 is the standard vehicle, any other option a row that a chosen
-- option adds or changes.
CREATE TABLE equipment (
  vehicle_id integer NOT NULL,
  -- 0 standard; otherwise option_list.option_id of the same vehicle (at most 32767)
  option_id integer NOT NULL,
  -- number of the row within its vehicle (at most 32767)
  record_id integer NOT NULL,
  -- schema_info.schema_id
  schema_id integer NOT NULL,
  -- location code; '-' for none
  location varchar(10) COLLATE ci NOT NULL,
  -- raw value: '-' not available, 'S' present, a code with a schema_text translation, or a number written
  -- with '.' as decimal separator. 999 / 9999 (items 23502, 23602 ... 24002 and 123502 ... 124002) and 999999
  -- / 9999999 (items 23503 ... 24003 and 123503 ... 124003) mean unlimited
  data_value varchar(50) COLLATE ci NOT NULL,
  -- for option rows: condition on the chosen options, e.g. ({12} or {15}) and not {20}; when it fails, all
  -- rows of the option are ignored. NULL: always
  condition varchar(255) COLLATE ci,
  PRIMARY KEY (vehicle_id, record_id)
);
CREATE INDEX ix_equipment_vehicle_schema ON equipment (vehicle_id, schema_id, option_id);
CREATE INDEX ix_equipment_schema ON equipment (schema_id);

-- Items (features and measured values). parent_schema_id links an item to the item it refines: a line without
-- a value of its own falls back to the parent's standard value, and the parent's standard_text is the line's
-- standard text.
CREATE TABLE schema_info (
  schema_id integer NOT NULL,
  -- 0 for none
  parent_schema_id integer NOT NULL,
  -- English working name
  schema_name varchar(100) COLLATE ci NOT NULL,
  -- feature, text, number, date or price
  data_type varchar(10) COLLATE ci NOT NULL,
  unit varchar(20) COLLATE ci,
  PRIMARY KEY (schema_id)
);
CREATE INDEX ix_schema_info_parent ON schema_info (parent_schema_id);

-- Translated texts of coded values (joined on data_value without regard to case).
CREATE TABLE schema_text (
  schema_id integer NOT NULL,
  data_value varchar(50) COLLATE ci NOT NULL,
  language_id smallint NOT NULL,
  full_text varchar(255) COLLATE ci NOT NULL,
  PRIMARY KEY (schema_id, data_value, language_id)
);

-- Options of a vehicle with their prices. A page names the price column to use (msrp, or the column
-- prc<schema_id> of a price item); standard rows (option 0) have no row here, so their price is NULL.
CREATE TABLE option_list (
  vehicle_id integer NOT NULL,
  option_id integer NOT NULL,
  option_code varchar(20) COLLATE ci,
  -- the maker's name of the option
  Manuf_name varchar(100) COLLATE ci NOT NULL,
  -- list price
  msrp numeric(19,4),
  -- price in the market of price item 90001
  prc90001 numeric(19,4),
  weight_kg numeric(7,2),
  -- 1: the option was derived from the source data, not sourced
  derived boolean NOT NULL,
  valid_from timestamp(3),
  PRIMARY KEY (vehicle_id, option_id)
);

-- Standard feature texts of a vehicle per item and language (an empty text is still a feature).
CREATE TABLE standard_text (
  vehicle_id integer NOT NULL,
  schema_id integer NOT NULL,
  language_id smallint NOT NULL,
  content text COLLATE ci NOT NULL,
  PRIMARY KEY (vehicle_id, schema_id, language_id)
);
CREATE INDEX ix_standard_text_schema ON standard_text (schema_id, language_id);

-- The vehicles (read by the pages to list and name them, not by the component).
CREATE TABLE vehicles (
  vehicle_id integer NOT NULL,
  make varchar(50) COLLATE ci NOT NULL,
  model varchar(100) COLLATE ci NOT NULL,
  trim_name varchar(100) COLLATE ci,
  model_year smallint NOT NULL,
  body_class varchar(60) COLLATE ci,
  -- competitor_sets.competitor_set_id
  competitor_set_id integer,
  -- identifier in the source data
  source_id bigint,
  base_price numeric(19,4),
  modified_on timestamp(3),
  PRIMARY KEY (vehicle_id)
);
CREATE INDEX ix_vehicles_competitor_set ON vehicles (competitor_set_id);

-- Vehicles that compete with each other (same model year and body class).
CREATE TABLE competitor_sets (
  competitor_set_id integer NOT NULL,
  model_year smallint NOT NULL,
  body_class varchar(60) COLLATE ci NOT NULL,
  set_name varchar(120) COLLATE ci NOT NULL,
  PRIMARY KEY (competitor_set_id)
);

-- Where the data came from: generator, source, licence, and which rows are derived rather than sourced.
CREATE TABLE dataset_info (
  info_key varchar(50) COLLATE ci NOT NULL,
  info_value varchar(400) COLLATE ci NOT NULL,
  PRIMARY KEY (info_key)
);

-- SQL Server type of every column of this database (including this table).
CREATE TABLE trelix_column_types (
  table_name varchar(128) COLLATE ci NOT NULL,
  column_name varchar(128) COLLATE ci NOT NULL,
  -- SQL Server type name, e.g. nvarchar(50)
  type_name varchar(40) COLLATE ci NOT NULL,
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
