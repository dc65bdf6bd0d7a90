CREATE TABLE folders (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, defaultLanguage TEXT NOT NULL,
  parentId INTEGER, isOpen INTEGER NOT NULL, orderIndex INTEGER NOT NULL DEFAULT 0, icon TEXT,
  createdAt INTEGER NOT NULL, updatedAt INTEGER NOT NULL, FOREIGN KEY(parentId) REFERENCES folders(id));
CREATE TABLE snippets (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, description TEXT, folderId INTEGER,
  isDeleted INTEGER NOT NULL, isFavorites INTEGER NOT NULL, createdAt INTEGER NOT NULL, updatedAt INTEGER NOT NULL,
  FOREIGN KEY(folderId) REFERENCES folders(id));
CREATE TABLE snippet_contents (id INTEGER PRIMARY KEY AUTOINCREMENT, snippetId INTEGER NOT NULL, label TEXT, value TEXT,
  language TEXT, FOREIGN KEY(snippetId) REFERENCES snippets(id));
CREATE TABLE tags (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL UNIQUE, createdAt INTEGER NOT NULL,
  updatedAt INTEGER NOT NULL);
CREATE TABLE snippet_tags (snippetId INTEGER NOT NULL, tagId INTEGER NOT NULL, PRIMARY KEY(snippetId, tagId));
INSERT INTO folders VALUES (1, 'ويب', 'html', NULL, 1, 0, NULL, 1, 1);
INSERT INTO folders VALUES (2, 'CSS', 'css', 1, 0, 0, NULL, 1, 1);
INSERT INTO snippets VALUES (1, 'زر', 'زر أزرق', 2, 0, 0, 1, 1);
INSERT INTO snippets VALUES (2, 'Page', NULL, 1, 0, 0, 1, 1);
INSERT INTO snippets VALUES (3, 'زر', '', 2, 0, 1, 2, 2);
INSERT INTO snippets VALUES (4, 'Old', '', 1, 1, 0, 1, 1);
INSERT INTO snippets VALUES (5, 'Inbox one', '', NULL, 0, 0, 1, 1);
INSERT INTO snippet_contents VALUES (1, 1, 'Fragment 1', '.btn { color: blue; }', 'css');
INSERT INTO snippet_contents VALUES (2, 2, 'HTML', '<p>مرحبا</p>', 'html');
INSERT INTO snippet_contents VALUES (3, 2, 'Script', 'alert(''hi'');', 'javascript');
INSERT INTO snippet_contents VALUES (4, 3, 'Fragment 1', '.btn { color: blue; }', 'css');
INSERT INTO snippet_contents VALUES (5, 4, 'Fragment 1', 'old', 'plain_text');
INSERT INTO snippet_contents VALUES (6, 5, 'Fragment 1', 'echo مرحبا', 'sh');
