CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, syntax TEXT, tags TEXT, is_ro INTEGER,
  is_richtxt INTEGER, has_codebox INTEGER, has_table INTEGER, has_image INTEGER, level INTEGER,
  ts_creation INTEGER, ts_lastsave INTEGER);
CREATE TABLE codebox (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, syntax TEXT, width INTEGER,
  height INTEGER, is_width_pix INTEGER, do_highl_bra INTEGER, do_show_linenum INTEGER);
CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, sequence INTEGER, master_id INTEGER);
INSERT INTO node VALUES (1, 'مكسورة', '<?xml version="1.0"?><node><rich_text>نص</node>', 'custom-colors', '', 0, 1, 0, 0, 0, 0, 0, 0);
INSERT INTO children VALUES (1, 0, 1, 0);
