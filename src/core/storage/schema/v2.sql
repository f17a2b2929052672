-- Pendulo store, model version 2 (PRAGMA user_version = 2): adds task tags and the invoiced flag.

CREATE TABLE project (
    id    INTEGER PRIMARY KEY,
    name  TEXT    NOT NULL
);

CREATE TABLE task (
    id    INTEGER PRIMARY KEY,
    name  TEXT    NOT NULL
);

CREATE TABLE activity (
    id           INTEGER PRIMARY KEY,
    uid          TEXT    NOT NULL,
    text         TEXT,
    time_from    REAL,
    time_to      REAL,
    created_at   REAL,
    modified_at  REAL,
    is_invoiced  INTEGER NOT NULL DEFAULT 0,
    project_id   INTEGER REFERENCES project(id) ON DELETE SET NULL
);

CREATE TABLE activity_task (
    activity_id  INTEGER NOT NULL REFERENCES activity(id) ON DELETE CASCADE,
    task_id      INTEGER NOT NULL REFERENCES task(id) ON DELETE CASCADE,
    PRIMARY KEY (activity_id, task_id)
);

CREATE INDEX activity_uid ON activity(uid);
CREATE INDEX activity_time_from ON activity(time_from);
CREATE INDEX activity_task_task ON activity_task(task_id);

PRAGMA user_version = 2;
