#include "PdMigrationManager.h"

#include "Clock.h"
#include "FolderMove.h"
#include "PDActivityToActivityPolicy.h"
#include "StorageErrors.h"
#include "StorageLog.h"
#include "store/TagEntity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QUrl>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

namespace {

const QString dbFolderName = QStringLiteral("db");
constexpr int maxBackupSuffix = 99;

struct StoreMetadata
{
    int userVersion = 0;
    int tableCount = 0;
};

// Reads the store's model version without writing to it: a read-only connection never rewrites the
// file. Reading a store in WAL mode makes SQLite create empty "-wal" and "-shm" companions; those that
// were not there before are removed again, so a store that is then refused is left as it was found.
bool readMetadata(const QString &path, StoreMetadata *metadata, int *errorCode, QString *errorText)
{
    const QString wal = path + QStringLiteral("-wal");
    const QString shm = path + QStringLiteral("-shm");
    const bool hadWal = QFileInfo::exists(wal);
    const bool hadShm = QFileInfo::exists(shm);
    bool read = false;
    try {
        SQLite::Database db(QFile::encodeName(path).toStdString(), SQLite::OPEN_READONLY);
        metadata->userVersion = db.execAndGet("PRAGMA user_version").getInt();
        metadata->tableCount =
            db.execAndGet("SELECT count(*) FROM sqlite_master WHERE type = 'table'").getInt();
        read = true;
    } catch (const SQLite::Exception &e) {
        *errorCode = e.getErrorCode();
        *errorText = QString::fromUtf8(e.what());
    }
    if (!hadWal && QFileInfo(wal).size() == 0)
        QFile::remove(wal);
    if (!hadShm && !QFileInfo::exists(wal))
        QFile::remove(shm);
    return read;
}

// The store's case folding that makes project and task names unique regardless of letter case.
void nameKey(sqlite3_context *context, int, sqlite3_value **arguments)
{
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
    const QByteArray key = TagEntity::nameKeyFor(QString::fromUtf8(text)).toUtf8();
    sqlite3_result_text(context, key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

struct Column
{
    QString name;
    bool required = false; // NOT NULL without a default and not the row id
};

QMap<QString, QList<Column>> tablesOf(const StoreModel &model)
{
    SQLite::Database db(":memory:", SQLite::OPEN_READWRITE);
    db.exec(model.sql.toStdString());
    QMap<QString, QList<Column>> tables;
    SQLite::Statement names(db, "SELECT name FROM sqlite_master WHERE type = 'table' "
                                "AND name NOT LIKE 'sqlite_%'");
    while (names.executeStep()) {
        const QString table = QString::fromStdString(names.getColumn(0).getString());
        SQLite::Statement info(db,
                               "SELECT name, \"notnull\", dflt_value IS NULL, pk FROM pragma_table_info(?)");
        info.bind(1, table.toStdString());
        QList<Column> columns;
        while (info.executeStep()) {
            const bool notNull = info.getColumn(1).getInt() != 0;
            const bool noDefault = info.getColumn(2).getInt() != 0;
            const bool primaryKey = info.getColumn(3).getInt() != 0;
            columns.append(
                {QString::fromStdString(info.getColumn(0).getString()), notNull && noDefault && !primaryKey});
        }
        tables.insert(table, columns);
    }
    return tables;
}

QString quoted(const QString &identifier)
{
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

} // namespace

// ---- Earlier layout -------------------------------------------------------------------------------

bool PdMigrationManager::migrateStore(const QString &name, const QString &applicationFilesDir, PdError *error)
{
    auto failWith = [error](const PdError &e) {
        if (error)
            *error = e;
        return false;
    };
    if (error)
        *error = PdError();

    const QString dbDir = applicationFilesDir + QLatin1Char('/') + dbFolderName;
    const QString storePath = dbDir + QLatin1Char('/') + name;
    const QFileInfo store(storePath);
    if (store.exists()) {
        if (store.isDir()) {
            qCWarning(lcStorage, "Error: Expects db/storedata to be a file, but it's a directory");
            return failWith(StorageErrors::storeIsFolder(storePath));
        }
        return true;
    }

    const QFileInfo db(dbDir);
    if (db.exists() && !db.isDir()) {
        qCWarning(lcStorage, "Error: Expects db/ to be a directory but it's a file");
        return failWith(StorageErrors::dbFolderIsFile(dbDir));
    }
    if (!db.exists() && !QDir().mkpath(dbDir)) {
        qCWarning(lcStorage, "Error: Failed to create db/ directory");
        return failWith(StorageErrors::file(StorageErrors::CreateFolderFailed,
                                            QStringLiteral("Could not create the folder %1.").arg(dbDir)));
    }

    const QStringList names = {name, name + QStringLiteral("-wal"), name + QStringLiteral("-shm")};
    QStringList moved;
    for (const QString &fileName : names) {
        const QString from = applicationFilesDir + QLatin1Char('/') + fileName;
        const QString to = dbDir + QLatin1Char('/') + fileName;
        if (!QFileInfo::exists(from)) {
            if (fileName == name)
                return true;
            continue;
        }
        QFile file(from);
        if (file.rename(to)) {
            moved.append(fileName);
            continue;
        }
        qCWarning(lcStorage).noquote() << QStringLiteral("ERROR: Failed to move %1").arg(from);
        if (fileName == names.at(2))
            continue; // the shared-memory index is rebuilt by SQLite
        // Without its write-ahead log the store would lose committed changes: put back what moved.
        for (const QString &done : std::as_const(moved))
            QFile::rename(dbDir + QLatin1Char('/') + done, applicationFilesDir + QLatin1Char('/') + done);
        return failWith(StorageErrors::file(
            StorageErrors::MoveFailed,
            QStringLiteral("Could not move %1 to %2: %3").arg(from, to, file.errorString())));
    }
    return true;
}

// ---- Examination ------------------------------------------------------------------------------------

PdMigrationManager::PdMigrationManager(const StoreModel &objectModel, const QString &storeType,
                                       const QString &url, const QString &name, Clock &clock,
                                       const Bundle &bundle)
    : m_currentModelVersion(StoreModel::versionOf(objectModel))
    , m_currentModel(objectModel)
    , m_storeType(storeType)
    , m_sourceDir(url)
    , m_dbName(name)
    , m_clock(clock)
    , m_bundle(bundle)
{
    examineStore();
}

void PdMigrationManager::examineStore()
{
    const QFileInfo store(storePath());
    if (!store.isFile() || store.size() == 0)
        return; // nothing to migrate: a new store is made in the current version

    StoreMetadata metadata;
    int errorCode = 0;
    QString errorText;
    if (!readMetadata(store.absoluteFilePath(), &metadata, &errorCode, &errorText)) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Failed to get metadata when performing migration, will skip migration. "
                              "Error domain: %1, error code: %2, description: %3")
                   .arg(QStringLiteral("SQLite"))
                   .arg(errorCode)
                   .arg(errorText);
        return;
    }

    const int targetVersion = StoreModel::versionOf(m_currentModel);
    if (metadata.userVersion == targetVersion || (metadata.userVersion == 0 && metadata.tableCount == 0))
        return;

    m_requiresMigrations = true;
    if (!loadModelPaths())
        return;
    if (metadata.userVersion > targetVersion) {
        fail(StorageErrors::migration(
            QStringLiteral("The store %1 has model version %2, which is newer than this version of "
                           "Pendulo can open (%3).")
                .arg(storePath())
                .arg(metadata.userVersion)
                .arg(targetVersion)));
        return;
    }
    const StoreModel storeModel = m_models.value(metadata.userVersion);
    if (!storeModel.isValid()) {
        qCWarning(lcStorage, "Failed to get version for current model");
        fail(StorageErrors::migration(
            QStringLiteral("The store %1 has no known model version (found %2); it is not a Pendulo store.")
                .arg(storePath())
                .arg(metadata.userVersion)));
        return;
    }
    setCurrentModel(storeModel);
}

bool PdMigrationManager::loadModelPaths()
{
    if (m_modelsLoaded || error())
        return !error();
    m_modelsLoaded = true;

    const QDir dir(m_bundle.modelsDir);
    const QStringList files = dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        return fail(StorageErrors::migration(QStringLiteral("No models found in bundle")));

    for (const QString &file : files) {
        const StoreModel model = StoreModel::load(dir.filePath(file));
        const int version = versionForModel(model);
        if (version < 0)
            return fail(StorageErrors::migration(QStringLiteral("Failed to get version for model")));
        qCDebug(lcStorage).noquote() << QStringLiteral("Discovered model version: %1").arg(version);
        m_models.insert(version, model);
    }
    return true;
}

int PdMigrationManager::versionForModel(const StoreModel &model) const
{
    const int version = StoreModel::versionOf(model);
    if (version >= 0)
        qCDebug(lcStorage).noquote() << QStringLiteral("Version for model: %1").arg(version);
    return version;
}

void PdMigrationManager::setCurrentModel(const StoreModel &model)
{
    m_currentModel = model;
    m_currentModelVersion = versionForModel(model);
}

PdError PdMigrationManager::error() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_error;
}

bool PdMigrationManager::fail(const PdError &error)
{
    QMutexLocker lock(&m_errorMutex);
    if (!m_error)
        m_error = error;
    return false;
}

// ---- One step ---------------------------------------------------------------------------------------

bool PdMigrationManager::migrateToVersion(int version, bool useMappingModel)
{
    if (error())
        return false;
    if (!m_requiresMigrations || version <= m_currentModelVersion)
        return true;

    qCInfo(lcStorage).noquote() << QStringLiteral("Migrate store to version: %1").arg(version);
    if (!loadModelPaths())
        return false;
    const StoreModel target = m_models.value(version);
    if (!target.isValid())
        return fail(StorageErrors::migration(QStringLiteral("No model found for version %1").arg(version)));

    const QString mappingSql =
        useMappingModel ? mappingModel(m_currentModelVersion, version) : inferMapping(m_currentModel, target);
    if (mappingSql.isEmpty())
        return false;

    const QString workDir = makeWorkFolder(version);
    if (workDir.isEmpty())
        return false;
    if (!buildMigratedStore(workDir + QLatin1Char('/') + m_dbName, version, mappingSql) ||
        !swapInMigratedStore(workDir)) {
        QDir(workDir).removeRecursively();
        return false;
    }

    setCurrentModel(target);
    return true;
}

QString PdMigrationManager::inferMapping(const StoreModel &from, const StoreModel &to)
{
    const int fromVersion = StoreModel::versionOf(from);
    const int toVersion = StoreModel::versionOf(to);
    QString sql;
    try {
        const auto sourceTables = tablesOf(from);
        const auto targetTables = tablesOf(to);
        for (auto table = targetTables.cbegin(); table != targetTables.cend(); ++table) {
            const QList<Column> sourceColumns = sourceTables.value(table.key());
            QStringList shared;
            for (const Column &column : table.value()) {
                const bool inSource = std::any_of(sourceColumns.cbegin(), sourceColumns.cend(),
                                                  [&](const Column &c) { return c.name == column.name; });
                if (inSource)
                    shared.append(quoted(column.name));
                else if (column.required && sourceTables.contains(table.key())) {
                    fail(StorageErrors::migration(
                        QStringLiteral("Cannot infer a mapping from model version %1 to %2: %3.%4 has no "
                                       "value in the older model")
                            .arg(fromVersion)
                            .arg(toVersion)
                            .arg(table.key(), column.name)));
                    return {};
                }
            }
            if (shared.isEmpty())
                continue;
            const QString columns = shared.join(QStringLiteral(", "));
            sql += QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM src.%1;\n")
                       .arg(quoted(table.key()), columns);
        }
    } catch (const SQLite::Exception &e) {
        fail(StorageErrors::migration(QStringLiteral("Cannot infer a mapping from model version %1 to %2: %3")
                                          .arg(fromVersion)
                                          .arg(toVersion)
                                          .arg(QString::fromUtf8(e.what()))));
        return {};
    }
    // An empty mapping still has to run (it sets the version), so it is never an empty string.
    return sql.isEmpty() ? QStringLiteral("-- nothing to copy\n") : sql;
}

QString PdMigrationManager::mappingModel(int fromVersion, int toVersion)
{
    QFile file(
        QDir(m_bundle.mappingsDir).filePath(QStringLiteral("%1-%2.sql").arg(fromVersion).arg(toVersion)));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(StorageErrors::migration(QStringLiteral("Mapping model not found!")));
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString PdMigrationManager::makeWorkFolder(int toVersion)
{
    // Created atomically under a unique name, so no other process can take it in between.
    const QString pattern =
        QDir::tempPath() +
        QStringLiteral("/pendulo-migration-%1-%2.XXXXXXXX").arg(m_currentModelVersion).arg(toVersion);
    QTemporaryDir dir(pattern);
    if (!dir.isValid()) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Error: Failed to create temporary dir %1").arg(pattern);
        fail(StorageErrors::file(StorageErrors::CreateFolderFailed,
                                 QStringLiteral("Could not create a migration folder from %1: %2")
                                     .arg(pattern, dir.errorString())));
        return {};
    }
    dir.setAutoRemove(false);
    qCInfo(lcStorage).noquote() << QStringLiteral("Migration store path: %1").arg(dir.path());
    return dir.path();
}

bool PdMigrationManager::buildMigratedStore(const QString &targetPath, int version, const QString &mappingSql)
{
    try {
        SQLite::Database db(QFile::encodeName(targetPath).toStdString(),
                            SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_URI);
        db.createFunction("name_key", 1, true, nullptr, &nameKey);
        PDActivityToActivityPolicy(version).install(db);

        // The source is only ever read: a failed step leaves it exactly as it was.
        QUrl source = QUrl::fromLocalFile(QFileInfo(storePath()).absoluteFilePath());
        source.setQuery(QStringLiteral("mode=ro"));
        SQLite::Statement attach(db, "ATTACH DATABASE ? AS src");
        attach.bind(1, source.toString(QUrl::FullyEncoded).toStdString());
        attach.exec();

        SQLite::Transaction transaction(db);
        db.exec(m_models.value(version).sql.toStdString());
        db.exec(mappingSql.toStdString());
        transaction.commit();
        db.exec("DETACH DATABASE src");
        return true;
    } catch (const SQLite::Exception &e) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Error: failed to migrate store: %1").arg(QString::fromUtf8(e.what()));
        return fail(
            StorageErrors::migration(QStringLiteral("Failed to migrate the store %1 to model version %2: %3")
                                         .arg(storePath())
                                         .arg(version)
                                         .arg(QString::fromUtf8(e.what()))));
    }
}

QString PdMigrationManager::backupFolderName()
{
    const QString stamp = m_clock.now().toString(QStringLiteral("yyyy-MM-dd-HH-mm"));
    const QString base = applicationFilesDir() + QStringLiteral("/db-backup-") + stamp;
    if (!QFileInfo::exists(base))
        return base;
    for (int suffix = 1; suffix <= maxBackupSuffix; ++suffix) {
        const QString candidate = base + QStringLiteral("-%1").arg(suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

bool PdMigrationManager::swapInMigratedStore(const QString &workDir)
{
    const QString backup = backupFolderName();
    if (backup.isEmpty()) {
        qCWarning(lcStorage, "Error: failed to generate backup dir name");
        return fail(StorageErrors::migration(
            QStringLiteral("Can't create backup of current store, can't generate unique dir")));
    }
    if (!QDir().rename(m_sourceDir, backup)) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Error: Failed to backup existing db to %1").arg(backup);
        return fail(StorageErrors::file(StorageErrors::MoveFailed,
                                        QStringLiteral("Could not move %1 to %2.").arg(m_sourceDir, backup)));
    }

    QString reason;
    if (!moveFolder(workDir, m_sourceDir, &reason)) {
        qCWarning(lcStorage, "Error: failed to copy migrated store to final destination");
        // Put the previous data back where the application looks for it; failing that, it stays in the
        // backup.
        const bool restored = !QFileInfo::exists(m_sourceDir) && QDir().rename(backup, m_sourceDir);
        const QString where = restored ? QStringLiteral("The store was left unchanged.")
                                       : QStringLiteral("The previous data is in %1.").arg(backup);
        return fail(
            StorageErrors::file(StorageErrors::MoveFailed,
                                QStringLiteral("Could not put the migrated store in place at %1: %2. %3")
                                    .arg(m_sourceDir, reason, where)));
    }

    QDir(backup).removeRecursively();
    return true;
}

bool PdMigrationManager::moveFolder(const QString &from, const QString &to, QString *errorText)
{
    return FolderMove::move(from, to, errorText);
}

QString PdMigrationManager::storePath() const
{
    return m_sourceDir + QLatin1Char('/') + m_dbName;
}

QString PdMigrationManager::applicationFilesDir() const
{
    return QFileInfo(m_sourceDir).absolutePath();
}
