#pragma once

#include "PdError.h"
#include "StoreModel.h"

#include <QMap>
#include <QMutex>
#include <QString>

class Clock;

// Brings the store file up to the current model version before it is opened. It examines the store once
// when made; each migrateToVersion() step then builds the next version in a work folder of its own inside
// one SQLite transaction and swaps it in through a backup of the database folder. The first error stops
// every later step; the previous data is always either still in the database folder or in the backup.
class PdMigrationManager
{
public:
    // Where the model versions ("vN.sql") and the mapping models ("<from>-<to>.sql") are found.
    struct Bundle
    {
        QString modelsDir;
        QString mappingsDir;

        // The models and mappings shipped with the application.
        static Bundle application()
        {
            return {StoreModel::bundleModelsDir(), StoreModel::bundleMappingsDir()};
        }
    };

    static inline const QString sqliteStoreType = QStringLiteral("SQLite");

    // Moves a store of the earlier layout (the store file and its companions directly in the application
    // files folder) into its "db" folder. Succeeds without work when db/<name> is already a file.
    static bool migrateStore(const QString &name, const QString &applicationFilesDir, PdError *error);

    // Examines the store <url>/<name> against the current model. `clock` dates the backup folders.
    PdMigrationManager(const StoreModel &objectModel, const QString &storeType, const QString &url,
                       const QString &name, Clock &clock, const Bundle &bundle = Bundle::application());
    virtual ~PdMigrationManager() = default;

    // One migration step to `version`, inferred from the two models or, with `useMappingModel`, through
    // the mapping model shipped for the pair. Succeeds without work when the store is already there.
    bool migrateToVersion(int version, bool useMappingModel);

    bool requiresMigrations() const { return m_requiresMigrations; }
    int currentModelVersion() const { return m_currentModelVersion; }
    StoreModel currentModel() const { return m_currentModel; }
    QString storeType() const { return m_storeType; }
    QString sourceDir() const { return m_sourceDir; }
    QString dbName() const { return m_dbName; }
    // The first error met, or no error.
    PdError error() const;

protected:
    // Moves a folder into place; the migrated store crosses from the temporary folder. Virtual so that
    // tests can make a move fail.
    virtual bool moveFolder(const QString &from, const QString &to, QString *errorText);

private:
    void examineStore();
    bool loadModelPaths();
    int versionForModel(const StoreModel &model) const;
    void setCurrentModel(const StoreModel &model);
    bool fail(const PdError &error);

    QString inferMapping(const StoreModel &from, const StoreModel &to);
    QString mappingModel(int fromVersion, int toVersion);
    QString makeWorkFolder(int toVersion);
    bool buildMigratedStore(const QString &targetPath, int version, const QString &mappingSql);
    QString backupFolderName();
    bool swapInMigratedStore(const QString &workDir);

    QString storePath() const;
    QString applicationFilesDir() const;

    QMap<int, StoreModel> m_models;
    bool m_modelsLoaded = false;
    int m_currentModelVersion = 0;
    StoreModel m_currentModel;
    QString m_storeType;
    QString m_sourceDir;
    QString m_dbName;
    bool m_requiresMigrations = false;
    Clock &m_clock;
    Bundle m_bundle;

    mutable QMutex m_errorMutex;
    PdError m_error;
};
