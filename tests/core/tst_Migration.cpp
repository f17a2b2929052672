#include "TestHome.h"
#include "fakes/FakeClock.h"
#include "storage/FolderMove.h"
#include "storage/PdMigrationManager.h"
#include "storage/StorageErrors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

// Collects the messages of the "pendulo.core" category while alive.
class LogCapture
{
public:
    LogCapture() { s_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture()
    {
        qInstallMessageHandler(s_previous);
        s_lines.clear();
    }
    QStringList lines() const { return s_lines; }
    QStringList matching(const QString &prefix) const { return s_lines.filter(prefix); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (qstrcmp(context.category, "pendulo.core") == 0)
            s_lines.append(message);
        if (s_previous)
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_lines;
};

double localSecs(int year, int month, int day, int hour, int minute)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute)).toSecsSinceEpoch() + 0.25;
}

// Start times chosen to fall in another month in UTC than in the local (Berlin) calendar.
const double janLate = localSecs(2016, 1, 31, 23, 30); // 22:30 UTC, still January
const double marEarly = localSecs(2016, 3, 1, 0, 15);  // 23:15 UTC on 29 February
const double julLate = localSecs(2016, 7, 31, 23, 30); // summer time, 21:30 UTC

QString num(double value)
{
    return QString::number(value, 'f', 2);
}

// The data of a store of the given model version: four activities, projects that differ only in letter
// case before version 4 (merged by the mapping to 4), tasks from version 2, tombstones and sync files
// from version 3.
QString fixtureSql(int version)
{
    QString sql;
    const bool keyed = version >= 4;
    if (keyed) {
        sql += QStringLiteral("INSERT INTO project (id, name, name_key, position, visible) VALUES "
                              "(1, 'Acme', 'acme', NULL, 1), (3, 'Ärger', 'ärger', 7, 0);");
    } else if (version == 3) {
        sql +=
            QStringLiteral("INSERT INTO project (id, name, position, visible) VALUES (1, 'Acme', NULL, 1), "
                           "(2, 'ACME', 2, 1), (3, 'Ärger', 7, 0), (4, 'ärger', NULL, 1);");
    } else {
        sql += QStringLiteral("INSERT INTO project (id, name) VALUES (1, 'Acme'), (2, 'ACME'), (3, 'Ärger'), "
                              "(4, 'ärger');");
    }
    const QString invoicedColumn = version >= 2 ? QStringLiteral(", is_invoiced") : QString();
    auto activity = [&](int id, const QString &from, const QString &text, const QString &project,
                        int invoiced) {
        return QStringLiteral(
                   "INSERT INTO activity (id, uid, text, time_from, time_to, created_at, "
                   "modified_at, project_id%1) VALUES (%2, 'UID-%2', '%3', %4, %5, 100.5, 200.5, %6%7);")
            .arg(invoicedColumn)
            .arg(id)
            .arg(text, from,
                 from == QLatin1String("NULL") ? QStringLiteral("NULL") : from + QStringLiteral(" + 3600"),
                 project, version >= 2 ? QStringLiteral(", %1").arg(invoiced) : QString());
    };
    sql += activity(1, num(janLate), QStringLiteral("Call @Acme #Docs"), QStringLiteral("1"), 1);
    sql += activity(2, num(marEarly), QStringLiteral("Plan @ACME #ui"),
                    keyed ? QStringLiteral("1") : QStringLiteral("2"), 0);
    sql += activity(3, num(julLate), QStringLiteral("Fix @ärger"),
                    keyed ? QStringLiteral("3") : QStringLiteral("4"), 0);
    sql += activity(4, QStringLiteral("NULL"), QStringLiteral("Draft"), QStringLiteral("NULL"), 0);
    if (version >= 2 && !keyed)
        sql += QStringLiteral("INSERT INTO task (id, name) VALUES (1, 'Docs'), (2, 'docs'), (3, 'ui');"
                              "INSERT INTO activity_task VALUES (1, 1), (1, 2), (2, 3);");
    if (keyed)
        sql += QStringLiteral(
            "INSERT INTO task (id, name, name_key) VALUES (1, 'Docs', 'docs'), (3, 'ui', 'ui');"
            "INSERT INTO activity_task VALUES (1, 1), (2, 3);");
    if (version >= 3)
        sql += QStringLiteral("INSERT INTO deleted_activity VALUES (1, 'GONE-1', 300.5, 1);"
                              "INSERT INTO sync_file VALUES (1, '2016-01.json', 'rev1', 'hash1');");
    if (version >= 5)
        sql += QStringLiteral("UPDATE activity SET year_month = 201601 WHERE id = 1;");
    return sql;
}

void createStore(const QString &path, int version, const QString &extraSql = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("PRAGMA synchronous = OFF");
    db.exec(StoreModel::load(QStringLiteral(":/schema/v%1.sql").arg(version)).sql.toStdString());
    db.exec(fixtureSql(version).toStdString());
    if (!extraSql.isEmpty())
        db.exec(extraSql.toStdString());
}

// Rows of a query as "a|b|c" texts; REAL values with two decimals.
QStringList rows(const QString &path, const QString &query)
{
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement statement(db, query.toStdString());
    QStringList result;
    while (statement.executeStep()) {
        QStringList values;
        for (int i = 0; i < statement.getColumnCount(); ++i) {
            const SQLite::Column column = statement.getColumn(i);
            values.append(column.isFloat()  ? num(column.getDouble())
                          : column.isNull() ? QStringLiteral("NULL")
                                            : QString::fromStdString(column.getString()));
        }
        result.append(values.join(QLatin1Char('|')));
    }
    return result;
}

int userVersion(const QString &path)
{
    return rows(path, QStringLiteral("PRAGMA user_version")).value(0).toInt();
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A manager whose final move of the migrated store fails, optionally after leaving something at the
// destination (as a half-finished copy would).
class FailingMoveManager : public PdMigrationManager
{
public:
    using PdMigrationManager::PdMigrationManager;
    bool leavePartialCopy = false;
    QStringList backupsSeenAtMove;

protected:
    bool moveFolder(const QString &from, const QString &to, QString *errorText) override
    {
        backupsSeenAtMove = QDir(QFileInfo(to).absolutePath()).entryList({QStringLiteral("db-backup-*")});
        if (leavePartialCopy)
            QDir().mkpath(to);
        *errorText = QStringLiteral("injected failure");
        return false;
    }
};

// Records which backup folders exist while the migrated store moves into place.
class ObservingManager : public PdMigrationManager
{
public:
    using PdMigrationManager::PdMigrationManager;
    QStringList backupsSeenAtMove;
    QString backupStoreDigestAtMove;

protected:
    bool moveFolder(const QString &from, const QString &to, QString *errorText) override
    {
        backupsSeenAtMove = QDir(QFileInfo(to).absolutePath()).entryList({QStringLiteral("db-backup-*")});
        return PdMigrationManager::moveFolder(from, to, errorText);
    }
};

} // namespace

class TestMigration : public QObject
{
    Q_OBJECT

private:
    QString appDir() const { return TestHome::dataHome() + QStringLiteral("/Pendulo"); }
    QString dbDir() const { return appDir() + QStringLiteral("/db"); }
    QString storePath() const { return dbDir() + QStringLiteral("/storedata"); }
    QString tempDir() const { return TestHome::cacheHome() + QStringLiteral("/tmp"); }

    void runOpeningSteps(PdMigrationManager &manager)
    {
        manager.migrateToVersion(3, false);
        manager.migrateToVersion(4, true);
        manager.migrateToVersion(5, true);
    }

    QStringList backups() const { return QDir(appDir()).entryList({QStringLiteral("db-backup-*")}); }
    QStringList workFolders() const
    {
        return QDir(tempDir()).entryList({QStringLiteral("pendulo-migration-*")});
    }

    FakeClock m_clock{QDateTime(QDate(2016, 3, 14), QTime(9, 5))};
    const QString m_stamp = QStringLiteral("db-backup-2016-03-14-09-05");

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        QDir().mkpath(tempDir());
        qputenv("TMPDIR", tempDir().toLocal8Bit());
        PdMigrationManager::Bundle::application(); // registers the model resources for the fixtures
    }

    void earlierLayoutMovesIntoDbFolder_data()
    {
        QTest::addColumn<QStringList>("inAppDir");
        QTest::addColumn<QStringList>("expectedInDb");
        QTest::addColumn<QStringList>("expectedLeftInAppDir");

        QTest::newRow("store with its log") << QStringList{"storedata", "storedata-wal"}
                                            << QStringList{"storedata", "storedata-wal"} << QStringList{};
        QTest::newRow("store with both companions")
            << QStringList{"storedata", "storedata-wal", "storedata-shm"}
            << QStringList{"storedata", "storedata-shm", "storedata-wal"} << QStringList{};
        QTest::newRow("companions without a store stay")
            << QStringList{"storedata-wal"} << QStringList{} << QStringList{"storedata-wal"};
        QTest::newRow("fresh installation") << QStringList{} << QStringList{} << QStringList{};
    }

    void earlierLayoutMovesIntoDbFolder()
    {
        QFETCH(QStringList, inAppDir);
        QFETCH(QStringList, expectedInDb);
        QFETCH(QStringList, expectedLeftInAppDir);
        QDir().mkpath(appDir());
        for (const QString &name : inAppDir) {
            QFile file(appDir() + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8());
        }

        PdError error = StorageErrors::migration(QStringLiteral("stale"));
        QVERIFY(PdMigrationManager::migrateStore(QStringLiteral("storedata"), appDir(), &error));
        QVERIFY(!error);

        QVERIFY(QFileInfo(dbDir()).isDir());
        QCOMPARE(QDir(dbDir()).entryList(QDir::Files, QDir::Name), expectedInDb);
        QCOMPARE(QDir(appDir()).entryList(QDir::Files, QDir::Name), expectedLeftInAppDir);
        for (const QString &name : expectedInDb) {
            QFile moved(dbDir() + QLatin1Char('/') + name);
            QVERIFY(moved.open(QIODevice::ReadOnly));
            QCOMPARE(moved.readAll(), name.toUtf8());
        }
    }

    void earlierLayoutNeverSeparatesStoreFromItsLog_data()
    {
        QTest::addColumn<QString>("blocked"); // a folder in db/ that the file of this name cannot replace
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QStringList>("expectedInAppDir");
        QTest::addColumn<QStringList>("expectedInDb");

        QTest::newRow("log cannot move")
            << QStringLiteral("storedata-wal") << false
            << QStringList{"storedata", "storedata-shm", "storedata-wal"} << QStringList{};
        QTest::newRow("index cannot move")
            << QStringLiteral("storedata-shm") << true << QStringList{"storedata-shm"}
            << QStringList{"storedata", "storedata-wal"};
    }

    void earlierLayoutNeverSeparatesStoreFromItsLog()
    {
        QFETCH(QString, blocked);
        QFETCH(bool, succeeds);
        QFETCH(QStringList, expectedInAppDir);
        QFETCH(QStringList, expectedInDb);
        QDir().mkpath(dbDir() + QLatin1Char('/') + blocked + QStringLiteral("/inside"));
        for (const char *name : {"storedata", "storedata-wal", "storedata-shm"}) {
            QFile file(appDir() + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name);
        }

        PdError error;
        QCOMPARE(PdMigrationManager::migrateStore(QStringLiteral("storedata"), appDir(), &error), succeeds);
        QCOMPARE(error.isError(), !succeeds);
        QCOMPARE(QDir(appDir()).entryList(QDir::Files, QDir::Name), expectedInAppDir);
        QCOMPARE(QDir(dbDir()).entryList(QDir::Files, QDir::Name), expectedInDb);
    }

    void storeAlreadyInDbFolderIsKept()
    {
        createStore(storePath(), 5);
        QFile old(appDir() + QStringLiteral("/storedata"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older copy");
        old.close();
        const QByteArray before = digest(storePath());

        QVERIFY(PdMigrationManager::migrateStore(QStringLiteral("storedata"), appDir(), nullptr));
        QCOMPARE(digest(storePath()), before);
        QVERIFY(QFile::exists(appDir() + QStringLiteral("/storedata")));
    }

    void earlierLayoutRejectsWrongKinds_data()
    {
        QTest::addColumn<QString>("folderToMake");
        QTest::addColumn<QString>("fileToMake");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");

        QTest::newRow("storedata is a folder")
            << QStringLiteral("db/storedata") << QString() << 101
            << QStringLiteral(
                   "Expected a file to store application data, found a directory (%1/db/storedata).");
        QTest::newRow("db is a file")
            << QString() << QStringLiteral("db") << 102
            << QStringLiteral("Expected a directory to store application data, found a file (%1/db).");
    }

    void earlierLayoutRejectsWrongKinds()
    {
        QFETCH(QString, folderToMake);
        QFETCH(QString, fileToMake);
        QFETCH(int, code);
        QFETCH(QString, description);
        QDir().mkpath(appDir());
        if (!folderToMake.isEmpty())
            QDir(appDir()).mkpath(folderToMake);
        if (!fileToMake.isEmpty()) {
            QFile file(appDir() + QLatin1Char('/') + fileToMake);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QFile store(appDir() + QStringLiteral("/storedata"));
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write("data");
        store.close();

        PdError error;
        QVERIFY(!PdMigrationManager::migrateStore(QStringLiteral("storedata"), appDir(), &error));
        QCOMPARE(error.domain, QStringLiteral("PD_STORE_ERROR"));
        QCOMPARE(error.code, qint64(code));
        QCOMPARE(error.description, description.arg(appDir()));
        QVERIFY(QFile::exists(appDir() + QStringLiteral("/storedata")));
    }

    void migratesOlderStoresToCurrentVersion_data()
    {
        QTest::addColumn<int>("fromVersion");
        QTest::addColumn<QStringList>("expectedSteps");

        QTest::newRow("1") << 1 << QStringList{"3", "4", "5"};
        QTest::newRow("2") << 2 << QStringList{"3", "4", "5"};
        QTest::newRow("3") << 3 << QStringList{"4", "5"};
        QTest::newRow("4") << 4 << QStringList{"5"};
    }

    void migratesOlderStoresToCurrentVersion()
    {
        QFETCH(int, fromVersion);
        QFETCH(QStringList, expectedSteps);
        createStore(storePath(), fromVersion);
        LogCapture log;

        PdMigrationManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock);
        QVERIFY(manager.requiresMigrations());
        QCOMPARE(manager.currentModelVersion(), fromVersion);
        runOpeningSteps(manager);

        QVERIFY2(!manager.error(), qPrintable(manager.error().toString()));
        QCOMPARE(manager.currentModelVersion(), 5);
        QStringList steps;
        for (const QString &line : log.matching(QStringLiteral("Migrate store to version: ")))
            steps.append(line.section(QLatin1Char(' '), -1));
        QCOMPARE(steps, expectedSteps);
        const QStringList workPaths = log.matching(QStringLiteral("Migration store path: "));
        QCOMPARE(workPaths.size(), expectedSteps.size());
        const QRegularExpression workName(
            QStringLiteral("^Migration store path: %1/pendulo-migration-%2-%3\\.[^/]{8}$")
                .arg(QRegularExpression::escape(tempDir()))
                .arg(fromVersion)
                .arg(expectedSteps.first()));
        QVERIFY2(workName.match(workPaths.first()).hasMatch(), qPrintable(workPaths.first()));

        QCOMPARE(userVersion(storePath()), 5);
        QCOMPARE(backups(), QStringList());
        QCOMPARE(workFolders(), QStringList());

        // Every activity keeps its values; yearMonth follows the start in the local calendar; links to
        // projects and tasks that differed only in letter case now point at the one kept record.
        const QString invoiced = fromVersion >= 2 ? QStringLiteral("1") : QStringLiteral("0");
        QCOMPARE(rows(storePath(),
                      QStringLiteral("SELECT uid, text, time_from, time_to, created_at, modified_at, "
                                     "is_invoiced, year_month, project_id FROM activity ORDER BY id")),
                 (QStringList{
                     QStringLiteral("UID-1|Call @Acme #Docs|%1|%2|100.50|200.50|%3|201601|1")
                         .arg(num(janLate), num(janLate + 3600), invoiced),
                     QStringLiteral("UID-2|Plan @ACME #ui|%1|%2|100.50|200.50|0|201603|1")
                         .arg(num(marEarly), num(marEarly + 3600)),
                     QStringLiteral("UID-3|Fix @ärger|%1|%2|100.50|200.50|0|201607|3")
                         .arg(num(julLate), num(julLate + 3600)),
                     QStringLiteral("UID-4|Draft|NULL|NULL|100.50|200.50|0|0|NULL"),
                 }));
        const bool fromV3 = fromVersion >= 3;
        QCOMPARE(
            rows(storePath(),
                 QStringLiteral("SELECT id, name, name_key, position, visible FROM project ORDER BY id")),
            (QStringList{QStringLiteral("1|Acme|acme|NULL|1"),
                         fromV3 ? QStringLiteral("3|Ärger|ärger|7|0")
                                : QStringLiteral("3|Ärger|ärger|NULL|1")}));
        if (fromVersion >= 2) {
            QCOMPARE(rows(storePath(), QStringLiteral("SELECT id, name, name_key FROM task ORDER BY id")),
                     (QStringList{QStringLiteral("1|Docs|docs"), QStringLiteral("3|ui|ui")}));
            QCOMPARE(rows(storePath(),
                          QStringLiteral("SELECT * FROM activity_task ORDER BY activity_id, task_id")),
                     (QStringList{QStringLiteral("1|1"), QStringLiteral("2|3")}));
        }
        QCOMPARE(rows(storePath(), QStringLiteral("SELECT * FROM deleted_activity")),
                 fromV3 ? QStringList{QStringLiteral("1|GONE-1|300.50|1")} : QStringList{});
        QCOMPARE(rows(storePath(), QStringLiteral("SELECT * FROM sync_file")),
                 fromV3 ? QStringList{QStringLiteral("1|2016-01.json|rev1|hash1")} : QStringList{});
        // The migrated store has the current schema, indexes included.
        QVERIFY(rows(storePath(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"))
                    .contains(QStringLiteral("activity_year_month")));
    }

    void migrationKeepsChangesStillInTheWriteAheadLog()
    {
        // A store left by a killed process: committed changes only in "-wal", no "-shm".
        const QString crashed = TestHome::cacheHome() + QStringLiteral("/crashed/storedata");
        createStore(crashed, 4);
        {
            SQLite::Database db(crashed.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;");
            db.exec(
                "INSERT INTO activity (id, uid, text, time_from) VALUES (5, 'UID-5', 'Late', 1454279400)");
            QDir().mkpath(dbDir());
            for (const QString &suffix : {QString(), QStringLiteral("-wal")})
                QVERIFY(QFile::copy(crashed + suffix, storePath() + suffix));
        }

        PdMigrationManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock);
        runOpeningSteps(manager);

        QVERIFY2(!manager.error(), qPrintable(manager.error().toString()));
        QCOMPARE(rows(storePath(), QStringLiteral("SELECT text, year_month FROM activity WHERE id = 5")),
                 QStringList{QStringLiteral("Late|201601")});
        QCOMPARE(QDir(dbDir()).entryList(QDir::Files), QStringList{QStringLiteral("storedata")});
    }

    void currentOrAbsentStoreNeedsNoMigration_data()
    {
        QTest::addColumn<bool>("storeExists");
        QTest::newRow("current version") << true;
        QTest::newRow("fresh installation") << false;
    }

    void currentOrAbsentStoreNeedsNoMigration()
    {
        QFETCH(bool, storeExists);
        QDir().mkpath(dbDir());
        if (storeExists)
            createStore(storePath(), 5);
        const QByteArray before = digest(storePath());
        LogCapture log;

        PdMigrationManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock);
        QVERIFY(!manager.requiresMigrations());
        runOpeningSteps(manager);

        QVERIFY(!manager.error());
        QCOMPARE(log.matching(QStringLiteral("Migrate store to version")), QStringList());
        QCOMPARE(digest(storePath()), before);
        QCOMPARE(QFile::exists(storePath()), storeExists);
        QCOMPARE(backups(), QStringList());
        QCOMPARE(workFolders(), QStringList());
    }

    void backupNameAvoidsExistingFolders_data()
    {
        QTest::addColumn<int>("occupied");
        QTest::addColumn<QString>("expectedBackup");

        QTest::newRow("free") << 0 << QString();
        QTest::newRow("stamp taken") << 1 << QStringLiteral("-1");
        QTest::newRow("stamp, -1 and -2 taken") << 3 << QStringLiteral("-3");
        QTest::newRow("all taken") << 100 << QStringLiteral("none");
    }

    void backupNameAvoidsExistingFolders()
    {
        QFETCH(int, occupied);
        QFETCH(QString, expectedBackup);
        createStore(storePath(), 4);
        const QByteArray before = digest(storePath());
        QStringList taken;
        for (int i = 0; i < occupied; ++i)
            taken.append(m_stamp + (i == 0 ? QString() : QStringLiteral("-%1").arg(i)));
        for (const QString &name : taken)
            QDir(appDir()).mkdir(name);

        ObservingManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                 QStringLiteral("storedata"), m_clock);
        const bool migrated = manager.migrateToVersion(5, true);

        std::sort(taken.begin(), taken.end());
        if (expectedBackup == QLatin1String("none")) {
            QVERIFY(!migrated);
            QCOMPARE(manager.error().domain, QStringLiteral("Pendulo"));
            QCOMPARE(manager.error().code, qint64(8001));
            QCOMPARE(manager.error().description,
                     QStringLiteral("Can't create backup of current store, can't generate unique dir"));
            QCOMPARE(digest(storePath()), before);
            QCOMPARE(workFolders(), QStringList());
        } else {
            QVERIFY(migrated);
            QStringList seen = taken;
            seen.append(m_stamp + expectedBackup);
            std::sort(seen.begin(), seen.end());
            QCOMPARE(manager.backupsSeenAtMove, seen);
            QCOMPARE(userVersion(storePath()), 5);
        }
        QCOMPARE(backups(), taken); // the step's own backup is gone, the others are untouched
    }

    void failedFinalMoveNeverLosesData_data()
    {
        QTest::addColumn<bool>("leavePartialCopy");
        QTest::newRow("store restored from the backup") << false;
        QTest::newRow("store kept in the backup") << true;
    }

    void failedFinalMoveNeverLosesData()
    {
        QFETCH(bool, leavePartialCopy);
        createStore(storePath(), 4);
        const QByteArray before = digest(storePath());

        FailingMoveManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock);
        manager.leavePartialCopy = leavePartialCopy;
        QVERIFY(!manager.migrateToVersion(5, true));
        QCOMPARE(manager.backupsSeenAtMove, QStringList{m_stamp});

        const PdError error = manager.error();
        QVERIFY(error.isError());
        QCOMPARE(error.domain, StorageErrors::fileDomain);
        const QString backupStore = appDir() + QLatin1Char('/') + m_stamp + QStringLiteral("/storedata");
        if (leavePartialCopy) {
            QCOMPARE(digest(backupStore), before);
            QVERIFY2(error.description.contains(appDir() + QLatin1Char('/') + m_stamp),
                     qPrintable(error.description));
        } else {
            QCOMPARE(digest(storePath()), before);
            QCOMPARE(backups(), QStringList());
        }
        QCOMPARE(workFolders(), QStringList());
        // The first error stops every later step.
        QVERIFY(!manager.migrateToVersion(5, true));
    }

    void migratedStoreCanCrossFileSystems()
    {
        // The fallback taken when the temporary folder is on another file system than the store.
        const QString from = tempDir() + QStringLiteral("/work");
        QDir().mkpath(from + QStringLiteral("/inner"));
        for (const QString &name : {QStringLiteral("storedata"), QStringLiteral("inner/note")}) {
            QFile file(from + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8());
        }
        QDir().mkpath(appDir());
        QString errorText;

        QVERIFY2(FolderMove::moveByCopy(from, dbDir(), &errorText), qPrintable(errorText));
        QVERIFY(!QFileInfo::exists(from));
        QFile inner(dbDir() + QStringLiteral("/inner/note"));
        QVERIFY(inner.open(QIODevice::ReadOnly));
        QCOMPARE(inner.readAll(), QByteArray("inner/note"));
        QCOMPARE(QDir(appDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("db")});                // no staging folder left
        QVERIFY(!FolderMove::move(tempDir(), dbDir(), &errorText)); // never onto an existing folder
    }

    void unreadableOrForeignStoresAreLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("extraSql");
        QTest::addColumn<bool>("expectError");

        QTest::newRow("not SQLite") << QByteArray("Activity,Start\nCall,2016-01-01\n") << 0 << QString()
                                    << false;
        QTest::newRow("newer model version")
            << QByteArray() << 5 << QStringLiteral("PRAGMA user_version = 6; PRAGMA journal_mode = WAL;")
            << true;
        QTest::newRow("foreign database")
            << QByteArray() << 5 << QStringLiteral("PRAGMA user_version = 0;") << true;
        QTest::newRow("damaged older store")
            << QByteArray("damage") << 2
            << QStringLiteral("INSERT INTO activity (uid, text) SELECT 'x', "
                              "printf('%.400c', 'a') FROM activity a, activity b, "
                              "activity c, activity d;")
            << true;
    }

    void unreadableOrForeignStoresAreLeftUntouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, version);
        QFETCH(QString, extraSql);
        QFETCH(bool, expectError);
        if (version > 0) {
            createStore(storePath(), version, extraSql);
            if (!content.isEmpty()) { // overwrite a page in the middle of the table's data
                QFile file(storePath());
                QVERIFY(file.open(QIODevice::ReadWrite));
                QVERIFY(file.size() > 8 * 4096);
                file.seek(file.size() / 2);
                file.write(QByteArray(4096, '\x5a'));
            }
        } else {
            QDir().mkpath(dbDir());
            QFile file(storePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const QByteArray before = digest(storePath());
        const QStringList filesBefore = QDir(dbDir()).entryList(QDir::Files);

        PdMigrationManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock);
        runOpeningSteps(manager);

        QCOMPARE(QDir(dbDir()).entryList(QDir::Files), filesBefore); // no companion files made either
        QCOMPARE(manager.error().isError(), expectError);
        if (expectError)
            QVERIFY2(manager.error().description.contains(storePath()),
                     qPrintable(manager.error().description));
        QCOMPARE(digest(storePath()), before);
        QCOMPARE(backups(), QStringList());
        QCOMPARE(workFolders(), QStringList());
    }

    void modelAndMappingErrors_data()
    {
        QTest::addColumn<QStringList>("modelFiles"); // empty: the application's own models
        QTest::addColumn<int>("targetVersion");
        QTest::addColumn<bool>("useMapping");
        QTest::addColumn<QString>("description");

        QTest::newRow("no models") << QStringList{QString()} << 5 << true
                                   << QStringLiteral("No models found in bundle");
        QTest::newRow("model without version")
            << QStringList{QStringLiteral("v3.sql:CREATE TABLE project (id INTEGER PRIMARY KEY);")} << 5
            << true << QStringLiteral("Failed to get version for model");
        QTest::newRow("no model for version")
            << QStringList{} << 6 << false << QStringLiteral("No model found for version 6");
        QTest::newRow("no mapping for the pair")
            << QStringList{} << 5 << true << QStringLiteral("Mapping model not found!");
        QTest::newRow("required column cannot be inferred")
            << QStringList{QStringLiteral(
                               "v3.sql:CREATE TABLE project (id INTEGER PRIMARY KEY, name TEXT NOT NULL); "
                               "PRAGMA user_version = 3;"),
                           QStringLiteral(
                               "v5.sql:CREATE TABLE project (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                               "name_key TEXT NOT NULL); PRAGMA user_version = 5;")}
            << 5 << false
            << QStringLiteral(
                   "Cannot infer a mapping from model version 3 to 5: project.name_key has no value in the "
                   "older model");
    }

    void modelAndMappingErrors()
    {
        QFETCH(QStringList, modelFiles);
        QFETCH(int, targetVersion);
        QFETCH(bool, useMapping);
        QFETCH(QString, description);
        createStore(storePath(), 3);
        const QByteArray before = digest(storePath());

        PdMigrationManager::Bundle bundle = PdMigrationManager::Bundle::application();
        if (!modelFiles.isEmpty()) {
            bundle.modelsDir = TestHome::cacheHome() + QStringLiteral("/models");
            QDir().mkpath(bundle.modelsDir);
            for (const QString &entry : modelFiles) {
                if (entry.isEmpty())
                    continue;
                QFile file(bundle.modelsDir + QLatin1Char('/') + entry.section(QLatin1Char(':'), 0, 0));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(entry.section(QLatin1Char(':'), 1).toUtf8());
            }
        }
        PdMigrationManager manager(StoreModel::current(), PdMigrationManager::sqliteStoreType, dbDir(),
                                   QStringLiteral("storedata"), m_clock, bundle);
        const bool migrated = manager.migrateToVersion(targetVersion, useMapping);

        QVERIFY(!migrated);
        QCOMPARE(manager.error().domain, QStringLiteral("Pendulo"));
        QCOMPARE(manager.error().code, qint64(8001));
        QCOMPARE(manager.error().description, description);
        QVERIFY(!manager.migrateToVersion(4, true)); // the first error holds
        QCOMPARE(manager.error().description, description);
        QCOMPARE(digest(storePath()), before);
        QCOMPARE(workFolders(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestMigration)
#include "tst_Migration.moc"
