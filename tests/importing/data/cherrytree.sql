CREATE TABLE node (node_id INTEGER UNIQUE, name TEXT, txt TEXT, syntax TEXT, tags TEXT, is_ro INTEGER,
  is_richtxt INTEGER, has_codebox INTEGER, has_table INTEGER, has_image INTEGER, level INTEGER,
  ts_creation INTEGER, ts_lastsave INTEGER);
CREATE TABLE codebox (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, syntax TEXT, width INTEGER,
  height INTEGER, is_width_pix INTEGER, do_highl_bra INTEGER, do_show_linenum INTEGER);
CREATE TABLE grid (node_id INTEGER, offset INTEGER, justification TEXT, txt TEXT, col_min INTEGER, col_max INTEGER);
CREATE TABLE image (node_id INTEGER, offset INTEGER, justification TEXT, anchor TEXT, png BLOB, filename TEXT,
  link TEXT, time INTEGER);
CREATE TABLE children (node_id INTEGER UNIQUE, father_id INTEGER, sequence INTEGER, master_id INTEGER);
CREATE TABLE bookmark (node_id INTEGER UNIQUE, sequence INTEGER);
INSERT INTO node VALUES (1, 'برمجة', '<?xml version="1.0" encoding="UTF-8"?><node/>', 'custom-colors', '', 0, 1, 0, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (2, 'Python', '<?xml version="1.0" encoding="UTF-8"?><node><rich_text></rich_text></node>', 'custom-colors', '', 0, 1, 0, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (3, 'قراءة ملف', 'with open("a") as f:
    print(f.read())', 'python3', '', 0, 0, 0, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (4, 'شرح', '<?xml version="1.0" encoding="UTF-8"?><node><rich_text>يعرض الملف </rich_text><rich_text weight="heavy">كاملاً</rich_text><rich_text>
then counts lines</rich_text></node>', 'custom-colors', '', 0, 1, 1, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (5, 'قراءة ملف', 'with open("a") as f:
    print(f.read())', 'python3', '', 0, 0, 0, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (6, 'Notes', 'plain words', 'plain-text', '', 0, 0, 0, 0, 0, 0, 0, 0);
INSERT INTO node VALUES (7, 'نص فقط', '<?xml version="1.0" encoding="UTF-8"?><node><rich_text>لا كود هنا</rich_text></node>', 'custom-colors', '', 0, 1, 0, 0, 0, 0, 0, 0);
INSERT INTO codebox VALUES (4, 30, 'left', 'wc -l a.txt', 'sh', 500, 100, 1, 1, 0);
INSERT INTO codebox VALUES (4, 12, 'left', 'cat a.txt', 'sh', 500, 100, 1, 1, 0);
INSERT INTO children VALUES (1, 0, 1, 0);
INSERT INTO children VALUES (2, 1, 1, 0);
INSERT INTO children VALUES (3, 2, 1, 0);
INSERT INTO children VALUES (4, 2, 2, 0);
INSERT INTO children VALUES (5, 2, 3, 0);
INSERT INTO children VALUES (6, 0, 2, 0);
INSERT INTO children VALUES (7, 1, 2, 0);
