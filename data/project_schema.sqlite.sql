-- Project database of a trelix_eb site: the site's sheet lines, key advantages, texts, currencies and
-- standard feature lists.
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

-- Categories of sheet lines, key advantages and standard features, with their display orders. The display
-- name is the application text whose text_id is the category code.
CREATE TABLE categories (
  -- category code, as used in the category columns
  category_name nvarchar(50) COLLATE NOCASE NOT NULL,
  -- order of the category on a spec sheet of all categories
  eb_order_id int NOT NULL,
  -- order of the category among key advantages
  ka_order_id int NOT NULL,
  -- order of the category among standard descriptions
  sc_order_id int NOT NULL,
  PRIMARY KEY (category_name)
);

-- Lines of the vehicle sheet (e-brochure). Lines of a category without a categories row are left out of the
-- all-categories sheet. eb_order_id lives in categories only: a second column of that name here would make
-- the sheet statements ambiguous.
CREATE TABLE e_brochure (
  row_id int NOT NULL,
  -- category code (compared without regard to case)
  category nvarchar(50) COLLATE NOCASE NOT NULL,
  -- order of the line within its category
  order_id int NOT NULL,
  -- item shown on the line; 0 for a heading line (its con_text is the column heading)
  con_schema_id int NOT NULL,
  -- sought value: the line asks whether the vehicle has this data_value; empty or NULL for any value
  con_schema_id_val nvarchar(40) COLLATE NOCASE,
  -- untranslated text printed after the value (units begin with a blank: ' kW')
  con_text nvarchar(255) COLLATE NOCASE,
  -- location code of the item (F front, R rear ...); '-' or empty for none
  location nvarchar(10) COLLATE NOCASE,
  -- A availability code (@S standard, @O option, @D dropped by a chosen option, @X none, @U parent only); T
  -- translated value text; S availability with the parent's standard text in place of @S; #n number with n
  -- decimals; #D date yyyymmdd printed yyyy-mm-dd (99991231 unchanged); #C currency amount (CUR|value); # or
  -- #<letter> number with 0 decimals; '=' and a formula with ? for the value converts it first (#0=?*1.36);
  -- any other letter: the raw value
  con_format nvarchar(40) COLLATE NOCASE,
  -- text_id of a translated application text printed after the value; character type because it is joined to
  -- text_id
  con_customtextid nvarchar(50) COLLATE NOCASE,
  PRIMARY KEY (row_id)
);
CREATE INDEX ix_e_brochure_category ON e_brochure (category, order_id);
CREATE INDEX ix_e_brochure_schema ON e_brochure (con_schema_id);

-- Translated descriptions of the sheet lines (grouped by the descriptions query, so nvarchar, not ntext).
CREATE TABLE e_brochure_text (
  -- e_brochure.row_id
  ebrochure_row_id int NOT NULL,
  language_id smallint NOT NULL,
  e_brochure_text nvarchar(255) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (ebrochure_row_id, language_id)
);

-- Sheet lines of a segmentation and their order, as the descriptions query reads them.
CREATE TABLE eb_segmentation (
  segmentation_id smallint NOT NULL,
  -- e_brochure.row_id
  e_brochure_row_id int NOT NULL,
  segment_order_id int NOT NULL,
  PRIMARY KEY (segmentation_id, e_brochure_row_id)
);
CREATE INDEX ix_eb_segmentation_row ON eb_segmentation (e_brochure_row_id);

-- Sheet lines of a segmentation and their order, as the vehicle sheet reads them.
CREATE TABLE segmentation (
  segmentation_id smallint NOT NULL,
  -- e_brochure.row_id
  e_brochure_row_id int NOT NULL,
  segment_order_id int NOT NULL,
  PRIMARY KEY (segmentation_id, e_brochure_row_id)
);
CREATE INDEX ix_segmentation_row ON segmentation (e_brochure_row_id);

-- Translated application texts: 'unlimited' (printed for the unlimited sentinels), the display names of
-- categories (text_id = category code), the custom line texts of e_brochure and the icon texts
-- icon_equipment_adds / _deletes / _changes of the feature comparison.
CREATE TABLE application_texts (
  text_id nvarchar(50) COLLATE NOCASE NOT NULL,
  language_id smallint NOT NULL,
  -- an empty text counts as missing for 'unlimited'
  application_text nvarchar(255) COLLATE NOCASE,
  PRIMARY KEY (text_id, language_id)
);

-- Key advantages of a category: which item is compared, how, and how the sentence prints the values.
CREATE TABLE key_advantages (
  row_id int NOT NULL,
  -- category code
  category nvarchar(50) COLLATE NOCASE NOT NULL,
  -- item compared
  con_schema_id int NOT NULL,
  -- required value for presence rules; '' or '-' for none
  con_schema_id_val nvarchar(255) COLLATE NOCASE,
  -- location code; '-' (or empty) for none
  location nvarchar(10) COLLATE NOCASE,
  -- T translated values; #n n decimals; #D raw value; #C currency; #<other> 0 decimals; a numeric rule
  -- applies the formula after '=' (#0=?/1.609) before comparing; any other first letter leaves =? and =! in
  -- the sentence
  con_format nvarchar(40) COLLATE NOCASE,
  -- '@' presence (the vehicle that has the item wins); '#>' higher wins, '#<' lower wins, optionally followed
  -- by a threshold (#>10 absolute, #<5% relative to the base vehicle); any other text: values best first,
  -- separated by ','. NULL: never used
  advantage_rule nvarchar(255) COLLATE NOCASE,
  PRIMARY KEY (row_id)
);
CREATE INDEX ix_key_advantages_category ON key_advantages (category);

-- Translated advantage sentences: =? winner's value, =! loser's value, =# difference (selected DISTINCT, so
-- nvarchar, not ntext).
CREATE TABLE key_advantage_text (
  -- key_advantages.row_id
  key_advantage_row_id int NOT NULL,
  language_id smallint NOT NULL,
  key_advantage_text nvarchar(400) COLLATE NOCASE NOT NULL,
  PRIMARY KEY (key_advantage_row_id, language_id)
);

-- Key advantages of a segmentation and their order.
CREATE TABLE ka_segmentation (
  segmentation_id smallint NOT NULL,
  -- key_advantages.row_id
  key_advantage_row_id int NOT NULL,
  segment_order_id int NOT NULL,
  PRIMARY KEY (segmentation_id, key_advantage_row_id)
);
CREATE INDEX ix_ka_segmentation_row ON ka_segmentation (key_advantage_row_id);

-- Currencies: an amount in A is amount / conversion(A) * conversion(B) in B.
CREATE TABLE currency_symbol (
  -- ISO code (EUR, GBP ...)
  code varchar(3) COLLATE NOCASE NOT NULL,
  symbol nvarchar(10) COLLATE NOCASE NOT NULL,
  -- 1: symbol after the number; 0 or NULL: before
  symbolafter bit,
  -- decimals shown
  decimals int NOT NULL,
  -- units of this currency per unit of the common reference
  conversion float NOT NULL,
  description nvarchar(50) COLLATE NOCASE,
  PRIMARY KEY (code)
);

-- Standard features listed by the standard descriptions and the feature comparison, per category and segment.
-- order_id is unique within a segment: the comparison merges two lists by it.
CREATE TABLE standard_content (
  row_id int NOT NULL,
  -- item whose standard_text is shown
  schema_id int NOT NULL,
  -- category code
  category nvarchar(50) COLLATE NOCASE NOT NULL,
  -- feature segment; 'Default' unless a page asks for another
  segment nvarchar(50) COLLATE NOCASE NOT NULL,
  order_id int NOT NULL,
  PRIMARY KEY (row_id)
);
CREATE INDEX ix_standard_content_segment ON standard_content (segment, category, order_id);
CREATE INDEX ix_standard_content_schema ON standard_content (schema_id);

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
  ('categories', 'category_name', 'nvarchar(50)'),
  ('categories', 'eb_order_id', 'int'),
  ('categories', 'ka_order_id', 'int'),
  ('categories', 'sc_order_id', 'int'),
  ('e_brochure', 'row_id', 'int'),
  ('e_brochure', 'category', 'nvarchar(50)'),
  ('e_brochure', 'order_id', 'int'),
  ('e_brochure', 'con_schema_id', 'int'),
  ('e_brochure', 'con_schema_id_val', 'nvarchar(40)'),
  ('e_brochure', 'con_text', 'nvarchar(255)'),
  ('e_brochure', 'location', 'nvarchar(10)'),
  ('e_brochure', 'con_format', 'nvarchar(40)'),
  ('e_brochure', 'con_customtextid', 'nvarchar(50)'),
  ('e_brochure_text', 'ebrochure_row_id', 'int'),
  ('e_brochure_text', 'language_id', 'smallint'),
  ('e_brochure_text', 'e_brochure_text', 'nvarchar(255)'),
  ('eb_segmentation', 'segmentation_id', 'smallint'),
  ('eb_segmentation', 'e_brochure_row_id', 'int'),
  ('eb_segmentation', 'segment_order_id', 'int'),
  ('segmentation', 'segmentation_id', 'smallint'),
  ('segmentation', 'e_brochure_row_id', 'int'),
  ('segmentation', 'segment_order_id', 'int'),
  ('application_texts', 'text_id', 'nvarchar(50)'),
  ('application_texts', 'language_id', 'smallint'),
  ('application_texts', 'application_text', 'nvarchar(255)'),
  ('key_advantages', 'row_id', 'int'),
  ('key_advantages', 'category', 'nvarchar(50)'),
  ('key_advantages', 'con_schema_id', 'int'),
  ('key_advantages', 'con_schema_id_val', 'nvarchar(255)'),
  ('key_advantages', 'location', 'nvarchar(10)'),
  ('key_advantages', 'con_format', 'nvarchar(40)'),
  ('key_advantages', 'advantage_rule', 'nvarchar(255)'),
  ('key_advantage_text', 'key_advantage_row_id', 'int'),
  ('key_advantage_text', 'language_id', 'smallint'),
  ('key_advantage_text', 'key_advantage_text', 'nvarchar(400)'),
  ('ka_segmentation', 'segmentation_id', 'smallint'),
  ('ka_segmentation', 'key_advantage_row_id', 'int'),
  ('ka_segmentation', 'segment_order_id', 'int'),
  ('currency_symbol', 'code', 'varchar(3)'),
  ('currency_symbol', 'symbol', 'nvarchar(10)'),
  ('currency_symbol', 'symbolafter', 'bit'),
  ('currency_symbol', 'decimals', 'int'),
  ('currency_symbol', 'conversion', 'float'),
  ('currency_symbol', 'description', 'nvarchar(50)'),
  ('standard_content', 'row_id', 'int'),
  ('standard_content', 'schema_id', 'int'),
  ('standard_content', 'category', 'nvarchar(50)'),
  ('standard_content', 'segment', 'nvarchar(50)'),
  ('standard_content', 'order_id', 'int'),
  ('dataset_info', 'info_key', 'nvarchar(50)'),
  ('dataset_info', 'info_value', 'nvarchar(400)'),
  ('trelix_column_types', 'table_name', 'varchar(128)'),
  ('trelix_column_types', 'column_name', 'varchar(128)'),
  ('trelix_column_types', 'type_name', 'varchar(40)');
