-- The component's T-SQL statements with sample values (project db demo_project, specs db
-- demo_specs, language 1, segmentation 2, category ENG, vehicle 1001, price column msrp),
-- spacing exact; S11 holds CR LF TAB three times. Each statement follows its "-- [Snn]" and
-- "-- run against" lines; statements without their own ';' are followed by a line holding
-- only ';', which is not part of the text.
-- [S01] GetKeyAdvantageSpecs: key advantage specs query (vehicles 1001,1002)
-- run against: demo_specs
SELECT eq.vehicle_id, eq.option_id, eq.record_id, eq.schema_id, si.parent_schema_id, eq.location, eq.data_value, eq.condition, scht.full_text, ol.Manuf_name, ol.msrp FROM equipment eq INNER JOIN schema_info si on eq.schema_id = si.schema_id LEFT OUTER JOIN option_list ol ON eq.vehicle_id = ol.vehicle_id AND eq.option_id = ol.option_id LEFT OUTER JOIN schema_text scht ON eq.schema_id = scht.schema_id AND eq.data_value = scht.data_value AND scht.language_id =  1 where (eq.vehicle_id=1001 OR eq.vehicle_id=1002) order by eq.schema_id, eq.option_id desc
;

-- [S02] getAdvantageDescriptions, intSegment 0, category 'ENG'
-- run against: demo_project
SELECT DISTINCT ca.ka_order_id, ka.row_id , ka_text.key_advantage_text as Description ,  SQL='OR (eq.schema_id=' + cast(con_schema_id as varchar(7)) + case when con_schema_id_val != '' AND con_schema_id_val != '-'  then ' AND eq.data_value=''' + cast(con_schema_id_val as varchar(255)) + '''' else '' end + case  when location != '-' then ' AND Location=''' + cast(location as varchar(10)) + '''' else '' end + ')', con_schema_id as schema_id, con_schema_id_val as schema_id_value, location, con_format as format, advantage_rule, category  FROM key_advantages ka  Inner JOIN  categories ca on ka.category=ca.category_name  Inner JOIN  key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = 1 WHERE  Advantage_rule is not null and (ka.Category = 'ENG')  ORDER BY ca.ka_order_id, ka.row_id
;

-- [S03] getAdvantageDescriptions, intSegment 0, category '' (all)
-- run against: demo_project
SELECT DISTINCT ca.ka_order_id, ka.row_id , ka_text.key_advantage_text as Description ,  SQL='OR (eq.schema_id=' + cast(con_schema_id as varchar(7)) + case when con_schema_id_val != '' AND con_schema_id_val != '-'  then ' AND eq.data_value=''' + cast(con_schema_id_val as varchar(255)) + '''' else '' end + case  when location != '-' then ' AND Location=''' + cast(location as varchar(10)) + '''' else '' end + ')', con_schema_id as schema_id, con_schema_id_val as schema_id_value, location, con_format as format, advantage_rule, category  FROM key_advantages ka  Inner JOIN  categories ca on ka.category=ca.category_name  Inner JOIN  key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = 1 WHERE  Advantage_rule is not null  ORDER BY ca.ka_order_id, ka.row_id
;

-- [S04] getAdvantageDescriptions, intSegment 2, category 'ENG' (proposed text)
-- run against: demo_project
SELECT ka.row_id , ka_text.key_advantage_text as Description ,  SQL='OR (eq.schema_id=' + cast(con_schema_id as varchar(7)) + case when con_schema_id_val != '' AND con_schema_id_val != '-'  then ' AND eq.data_value=''' + cast(con_schema_id_val as varchar(255)) + '''' else '' end + case  when location != '-' then ' AND Location=''' + cast(location as varchar(10)) + '''' else '' end + ')', con_schema_id as schema_id, con_schema_id_val as schema_id_value, location, con_format as format, advantage_rule, category  FROM key_advantages ka  Inner JOIN  ka_segmentation sg ON ka.row_id = sg.key_advantage_row_id  Inner JOIN  key_advantage_text ka_text ON ka.row_id = ka_text.key_advantage_row_id AND ka_text.language_id = 1 WHERE  Advantage_rule is not null and (ka.Category = 'ENG') AND (sg.segmentation_id = 2) ORDER BY sg.segment_order_id, sg.key_advantage_row_id
;

-- [S05] Format_Currency / Convert_Currency: currency statement
-- run against: demo_project
SELECT code, symbol, symbolafter, decimals, conversion, description From currency_symbol
;

-- [S06] 'unlimited' text query (language 1)
-- run against: demo_project
SELECT application_text FROM application_texts WHERE text_id='unlimited' and language_id=1
;

-- [S07] sheet query, variant 1: segmentation 2, category 'ENG'
-- run against: demo_project
SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, eb.location,   eb.con_format, ct.application_text as con_customtext FROM e_brochure eb INNER JOIN  segmentation ON eb.row_id = segmentation.e_brochure_row_id LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id AND ct.language_id = 1 WHERE     (eb.category = 'ENG') AND (eb.con_schema_id > 0)  AND (segmentation.segmentation_id =2) ORDER BY segmentation.segment_order_id, segmentation.e_brochure_row_id, eb.order_id 
;

-- [S08] sheet query, variant 2: segmentation 2, category ''
-- run against: demo_project
SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, eb.location,   eb.con_format, ct.application_text as con_customtext FROM e_brochure eb INNER JOIN  segmentation ON eb.row_id = segmentation.e_brochure_row_id LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id AND ct.language_id = 1 INNER JOIN  categories on category = category_name  WHERE (eb.con_schema_id > 0)  AND (segmentation.segmentation_id =2) ORDER BY segmentation.segment_order_id, segmentation.e_brochure_row_id, eb.order_id 
;

-- [S09] sheet query, variant 3: segmentation 0, category 'ENG'
-- run against: demo_project
SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, eb.location,   eb.con_format, ct.application_text as con_customtext  FROM e_brochure eb LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id   AND ct.language_id = 1 where  Category='ENG' AND  eb.con_schema_id > 0 ORDER BY eb.row_id, eb.order_id
;

-- [S10] sheet query, variant 4: segmentation 0, category ''
-- run against: demo_project
SELECT eb.row_id, eb.category,  eb.order_id,   eb.con_schema_id,  eb.con_schema_id_val, eb.con_text, eb.location,   eb.con_format, ct.application_text as con_customtext  FROM e_brochure eb LEFT OUTER JOIN  application_texts ct ON eb.con_customtextid = ct.text_id   AND ct.language_id = 1 INNER JOIN  categories on category = category_name where eb.con_schema_id > 0 ORDER BY eb_order_id, eb.row_id, eb.order_id
;

-- [S11] equipment query; contains CR LF TAB
-- run against: demo_specs
SELECT eq.option_id, eq.record_id, eq.schema_id, eq.location, 
	eq.data_value, 
	eq.condition, scht.full_text, 
	ol.msrp, st.content from schema_text scht RIGHT OUTER JOIN  schema_info LEFT OUTER JOIN  equipment eq ON schema_info.schema_id = eq.schema_id LEFT OUTER JOIN   option_list ol ON eq.vehicle_id = ol.vehicle_id AND eq.option_id = ol.option_id ON scht.schema_id = eq.schema_id AND  scht.data_value = eq.data_value And scht.language_id = 1 left outer join standard_text st on st.vehicle_id = eq.vehicle_id and schema_info.parent_schema_id = st.schema_id And st.language_id = 1 where  (eq.vehicle_id=1001) AND ( ((eq.Schema_id=100)) OR ((eq.Schema_id=101) AND (eq.location='F')) OR ((eq.Schema_id=102)) OR ((eq.Schema_id=103))) order by eq.schema_id, msrp ASC
;

-- [S12] parent query (vehicle 1001)
-- run against: demo_specs
SELECT DISTINCT eq.schema_id AS parent, schema_info.schema_id, eq.data_value, eq.location, demo_project..e_brochure.con_schema_id FROM schema_info INNER JOIN  equipment eq ON schema_info.parent_schema_id = eq.schema_id INNER JOIN demo_project..e_brochure ON schema_info.schema_id = demo_project..e_brochure.con_schema_id  Where (eq.vehicle_id = 1001) And (eq.option_id = 0)  ORDER BY demo_project..e_brochure.con_schema_id
;

-- [S13] GetDescriptions, segmentation 2, category 'ENG'
-- run against: demo_project
SELECT eb.row_id , ebt.e_brochure_text as Description, category , Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading  FROM e_brochure eb INNER JOIN  eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN  e_brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1 WHERE     (eb.category = 'ENG') AND (sg.segmentation_id =2) GROUP BY eb.row_id , ebt.e_brochure_text, category ORDER BY sg.segment_order_id, sg.e_brochure_row_id
;

-- [S14] GetDescriptions, segmentation 2, category ''
-- run against: demo_project
SELECT eb.row_id , ebt.e_brochure_text as Description, category , eb_order_id , Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading  FROM e_brochure eb INNER JOIN  eb_segmentation sg ON eb.row_id = sg.e_brochure_row_id INNER JOIN  e_brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1 INNER JOIN  categories on category = category_name GROUP BY eb.row_id , ebt.e_brochure_text, category, eb_order_id ORDER BY sg.segment_order_id, sg.e_brochure_row_id
;

-- [S15] GetDescriptions, segmentation 0, category 'ENG'
-- run against: demo_project
SELECT eb.row_id , ebt.e_brochure_text as Description, category , Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading  FROM e_brochure eb INNER JOIN  e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1 WHERE     (eb.category = 'ENG')  GROUP BY eb.row_id , ebt.e_brochure_text, category ORDER BY row_id
;

-- [S16] GetDescriptions, segmentation 0, category '' (note '1INNER')
-- run against: demo_project
SELECT eb.row_id , ebt.e_brochure_text as Description, category , eb_order_id , Min(CASE WHEN con_schema_id<>0 THEN '' ELSE con_text END) as column_heading  FROM e_brochure eb INNER JOIN  e_Brochure_text ebt ON eb.row_id = ebt.ebrochure_row_id AND ebt.language_id = 1INNER JOIN  categories on category = category_name GROUP BY eb.row_id , ebt.e_brochure_text, category, eb_order_id ORDER BY eb_order_id
;

-- [S17] StandardDescriptions SHAPE command: no TOP, all categories, no start row (vehicles 1001,1002)
-- run against: demo_project
SHAPE (SHAPE {SELECT  vehicle_id, standard_content.category, demo_specs..standard_text.content, application_texts.application_text AS category_name, categories.sc_order_id  FROM standard_content INNER JOIN demo_specs..standard_text ON standard_content.schema_id = demo_specs..standard_text.schema_id AND demo_specs..standard_text.language_id = 1 INNER JOIN application_texts ON standard_content.category = application_texts.text_id AND application_texts.language_id = 1 INNER JOIN categories ON standard_content.category = categories.category_name WHERE ( vehicle_id=1001 OR vehicle_id=1002) ORDER BY categories.sc_order_id, standard_content.order_id, vehicle_id} as StandardContent COMPUTE StandardContent BY vehicle_id, sc_order_id, category, category_name) as vehicles compute vehicles by sc_order_id, category, category_name
;

-- [S18] StandardDescriptions SHAPE command: TOP 20, category 'Comfort', start row 1
-- run against: demo_project
SHAPE (SHAPE {SELECT TOP 20 vehicle_id, standard_content.category, demo_specs..standard_text.content, application_texts.application_text AS category_name, categories.sc_order_id  FROM standard_content INNER JOIN demo_specs..standard_text ON standard_content.schema_id = demo_specs..standard_text.schema_id AND demo_specs..standard_text.language_id = 1 INNER JOIN application_texts ON standard_content.category = application_texts.text_id AND application_texts.language_id = 1 INNER JOIN categories ON standard_content.category = categories.category_name WHERE ( vehicle_id=1001 OR vehicle_id=1002) AND category='Comfort'AND row_id>1 ORDER BY categories.sc_order_id, standard_content.order_id, vehicle_id} as StandardContent COMPUTE StandardContent BY vehicle_id, sc_order_id, category, category_name) as vehicles compute vehicles by sc_order_id, category, category_name
;

-- [S19] GetFeatureData: category 'Comfort', segment '' (Default)
-- run against: demo_specs
select st.vehicle_id, st.schema_id, st.content, sc.category from standard_text st inner join demo_project..standard_content sc on ( sc.schema_id = st.schema_id) where st.language_id = 1 and st.vehicle_id in (1001,1002) and sc.category = N'Comfort' and sc.segment = N'Default' order by st.vehicle_id, sc.order_id;

-- [S20] GetFeatureData: category '', segment 'Sport'
-- run against: demo_specs
select st.vehicle_id, st.schema_id, st.content, sc.category from standard_text st inner join demo_project..standard_content sc on ( sc.schema_id = st.schema_id) where st.language_id = 1 and st.vehicle_id in (1001,1002) and sc.segment = N'Sport' order by st.vehicle_id, sc.order_id;

-- [S21] GetSchemaIdList: category 'Comfort', segment ''
-- run against: demo_project
select sc.schema_id, sc.order_id, sc.row_id FROM standard_content sc WHERE sc.category = N'Comfort' and sc.segment = N'Default' order by sc.order_id;

-- [S22] GetSchemaIdList: category '', segment 'Sport'
-- run against: demo_project
select sc.schema_id, sc.order_id, sc.row_id FROM standard_content sc WHERE sc.segment = N'Sport' order by sc.order_id;

-- [S23] GetIconInformation (language 1)
-- run against: demo_project
select ats.text_id, ats.application_text from application_texts ats Where ats.language_id = 1 AND (ats.text_id like 'icon_equipment%') order by ats.text_id;

