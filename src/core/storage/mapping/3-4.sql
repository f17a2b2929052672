-- Mapping from model version 3 to 4. The version-3 store is attached as "src"; the version-4 schema
-- already exists in the main database. name_key() is the case folding Pendulo uses for name lookups.
-- Projects (and tasks) whose names differ only in letter case become one record: the one with the
-- lowest id, keeping its name, position and visibility; every reference moves to it.

CREATE TEMP TABLE project_key (old_id INTEGER PRIMARY KEY, key TEXT NOT NULL);
INSERT INTO project_key (old_id, key) SELECT id, name_key(name) FROM src.project;
CREATE TEMP TABLE project_kept (key TEXT PRIMARY KEY, new_id INTEGER NOT NULL);
INSERT INTO project_kept (key, new_id) SELECT key, min(old_id) FROM project_key GROUP BY key;

INSERT INTO project (id, name, name_key, position, visible)
    SELECT p.id, p.name, k.key, p.position, coalesce(p.visible, 1)
    FROM src.project p JOIN project_kept k ON k.new_id = p.id;

CREATE TEMP TABLE task_key (old_id INTEGER PRIMARY KEY, key TEXT NOT NULL);
INSERT INTO task_key (old_id, key) SELECT id, name_key(name) FROM src.task;
CREATE TEMP TABLE task_kept (key TEXT PRIMARY KEY, new_id INTEGER NOT NULL);
INSERT INTO task_kept (key, new_id) SELECT key, min(old_id) FROM task_key GROUP BY key;

INSERT INTO task (id, name, name_key, position, visible)
    SELECT t.id, t.name, k.key, t.position, coalesce(t.visible, 1)
    FROM src.task t JOIN task_kept k ON k.new_id = t.id;

INSERT INTO activity (id, uid, text, time_from, time_to, created_at, modified_at, is_invoiced, project_id)
    SELECT a.id, a.uid, a.text, a.time_from, a.time_to, a.created_at, a.modified_at,
           coalesce(a.is_invoiced, 0), k.new_id
    FROM src.activity a
    LEFT JOIN project_key m ON m.old_id = a.project_id
    LEFT JOIN project_kept k ON k.key = m.key;

INSERT OR IGNORE INTO activity_task (activity_id, task_id)
    SELECT at.activity_id, k.new_id
    FROM src.activity_task at
    JOIN task_key m ON m.old_id = at.task_id
    JOIN task_kept k ON k.key = m.key;

INSERT INTO deleted_activity (id, uid, deleted_at, is_synced)
    SELECT id, uid, deleted_at, coalesce(is_synced, 0) FROM src.deleted_activity;

INSERT INTO sync_file (id, name, revision, activity_hash)
    SELECT id, name, revision, activity_hash FROM src.sync_file;

DROP TABLE project_key;
DROP TABLE project_kept;
DROP TABLE task_key;
DROP TABLE task_kept;
