-- Pendulo store, model version 5 (PRAGMA user_version = 5).
-- Times are REAL seconds since the Unix epoch (UTC), sub-second part kept; booleans are 0/1 integers.
-- Project and task names are unique under Unicode case-insensitive comparison: name_key holds the
-- case-folded name (computed by Pendulo, not by SQLite, whose NOCASE only folds ASCII).
-- Row ids are never reused (AUTOINCREMENT): contexts identify records by entity and row id, so a new
-- record must never take the id of one that another context still holds.

CREATE TABLE project (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    name      TEXT    NOT NULL,
    name_key  TEXT    NOT NULL UNIQUE,
    position  INTEGER,
    visible   INTEGER NOT NULL DEFAULT 1
);

CREATE TABLE task (
    id        INTEGER PRIMARY KEY AUTOINCREMENT,
    name      TEXT    NOT NULL,
    name_key  TEXT    NOT NULL UNIQUE,
    position  INTEGER,
    visible   INTEGER NOT NULL DEFAULT 1
);

CREATE TABLE activity (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    uid          TEXT    NOT NULL,
    text         TEXT,
    time_from    REAL,
    time_to      REAL,
    created_at   REAL,
    modified_at  REAL,
    is_invoiced  INTEGER NOT NULL DEFAULT 0,
    year_month   INTEGER NOT NULL DEFAULT 0,
    project_id   INTEGER REFERENCES project(id) ON DELETE SET NULL
);

CREATE TABLE activity_task (
    activity_id  INTEGER NOT NULL REFERENCES activity(id) ON DELETE CASCADE,
    task_id      INTEGER NOT NULL REFERENCES task(id) ON DELETE CASCADE,
    PRIMARY KEY (activity_id, task_id)
);

CREATE TABLE deleted_activity (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    uid         TEXT    NOT NULL,
    deleted_at  REAL,
    is_synced   INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE sync_file (
    id             INTEGER PRIMARY KEY AUTOINCREMENT,
    name           TEXT NOT NULL,
    revision       TEXT,
    activity_hash  TEXT
);

CREATE INDEX activity_uid ON activity(uid);
CREATE INDEX activity_time_from ON activity(time_from);
CREATE INDEX activity_time_to ON activity(time_to);
CREATE INDEX activity_year_month ON activity(year_month);
-- The longest span bounds the report's period search on the start index from below.
CREATE INDEX activity_span ON activity(time_to - time_from);
CREATE INDEX activity_project ON activity(project_id);
CREATE INDEX activity_task_task ON activity_task(task_id);
CREATE INDEX deleted_activity_uid ON deleted_activity(uid);
CREATE INDEX sync_file_name ON sync_file(name);

PRAGMA user_version = 5;
