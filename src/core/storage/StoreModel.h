#pragma once

#include <QString>

// One version of the store's model: the SQL that creates an empty store of that version. A model's
// version is the largest "PRAGMA user_version = N" it sets, so the file carries its own version.
struct StoreModel
{
    QString path;
    QString sql;

    bool isValid() const { return !sql.isEmpty(); }

    // The model file at the given path (resource or file); invalid when it cannot be read.
    static StoreModel load(const QString &path);
    // The version the model declares, or -1 when it declares none.
    static int versionOf(const StoreModel &model);

    // The application's current model (version 5).
    static StoreModel current();

    // Folders of the application's model versions and of its mapping models ("<from>-<to>.sql").
    static QString bundleModelsDir();
    static QString bundleMappingsDir();
};
