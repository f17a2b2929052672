-- Mapping from model version 4 to 5. The version-4 store is attached as "src"; the version-5 schema
-- already exists in the main database. Activity goes through the Activity policy (modelVersion 5):
-- activity_year_month() gives year * 100 + month of the start in the user's calendar, 0 without a start.

INSERT INTO project (id, name, name_key, position, visible)
    SELECT id, name, name_key, position, coalesce(visible, 1) FROM src.project;

INSERT INTO task (id, name, name_key, position, visible)
    SELECT id, name, name_key, position, coalesce(visible, 1) FROM src.task;

INSERT INTO activity (id, uid, text, time_from, time_to, created_at, modified_at, is_invoiced,
                      year_month, project_id)
    SELECT id, uid, text, time_from, time_to, created_at, modified_at, coalesce(is_invoiced, 0),
           activity_year_month(time_from), project_id
    FROM src.activity;

INSERT INTO activity_task (activity_id, task_id)
    SELECT activity_id, task_id FROM src.activity_task;

INSERT INTO deleted_activity (id, uid, deleted_at, is_synced)
    SELECT id, uid, deleted_at, coalesce(is_synced, 0) FROM src.deleted_activity;

INSERT INTO sync_file (id, name, revision, activity_hash)
    SELECT id, name, revision, activity_hash FROM src.sync_file;
