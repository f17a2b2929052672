-- Pendulo store, model version 1 (PRAGMA user_version = 1): activities with an optional project.
-- Times are REAL seconds since the Unix epoch (UTC).

CREATE TABLE project (
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
    project_id   INTEGER REFERENCES project(id) ON DELETE SET NULL
);

CREATE INDEX activity_uid ON activity(uid);
CREATE INDEX activity_time_from ON activity(time_from);

PRAGMA user_version = 1;
