#include "Activity.h"
#include "ActivityManager.h"
#include "PdSettings.h"
#include "TestHome.h"
#include "fakes/FakeClock.h"
#include "storage/ErrorPresenter.h"
#include "storage/QuitConfirmation.h"
#include "storage/StoreController.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include <SQLiteCpp/Database.h>

namespace {

class RecordingErrorPresenter : public ErrorPresenter
{
public:
    QList<PdError> presented;
    bool recovers = false;

    bool presentError(const PdError &error) override
    {
        presented.append(error);
        return recovers;
    }
};

class ScriptedQuitConfirmation : public QuitConfirmation
{
public:
    bool answerQuit = false;
    QList<QuitQuestion> asked;

    bool confirmQuit(const QuitQuestion &question) override
    {
        asked.append(question);
        return answerQuit;
    }
};

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A store file of the given model version holding one activity that starts on 31 January 2016, 23:30
// local time (22:30 UTC).
void writeStore(const QString &path, int version, const QString &extraSql = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("PRAGMA synchronous = OFF");
    db.exec(StoreModel::load(QStringLiteral(":/schema/v%1.sql").arg(version)).sql.toStdString());
    const double from = QDateTime(QDate(2016, 1, 31), QTime(23, 30)).toSecsSinceEpoch();
    db.exec(QStringLiteral("INSERT INTO activity (uid, text, time_from, time_to, created_at, modified_at) "
                           "VALUES ('UID-1', 'Call', %1, %1 + 60, %1, %1)")
                .arg(from, 0, 'f', 0)
                .toStdString());
    if (version >= 5)
        db.exec("UPDATE activity SET year_month = 201601");
    if (!extraSql.isEmpty())
        db.exec(extraSql.toStdString());
}

} // namespace

class TestStoreController : public QObject
{
    Q_OBJECT

private:
    QString appDir() const { return StoreController::applicationFilesDirectory(); }
    QStringList backups() const { return QDir(appDir()).entryList({QStringLiteral("db-backup-*")}); }

    std::unique_ptr<QSettings> m_qsettings;
    std::unique_ptr<PdSettings> m_settings;
    FakeClock m_clock{QDateTime(QDate(2016, 3, 14), QTime(9, 0))};
    RecordingErrorPresenter m_presenter;
    ScriptedQuitConfirmation m_confirmation;
    std::unique_ptr<StoreController> m_controller;

    StoreController &controller()
    {
        if (!m_controller) {
            m_controller = std::make_unique<StoreController>(*m_settings, m_clock, m_presenter);
            m_controller->setQuitConfirmation(&m_confirmation);
        }
        return *m_controller;
    }

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        QDir().mkpath(TestHome::cacheHome() + QStringLiteral("/tmp"));
        qputenv("TMPDIR", (TestHome::cacheHome() + QStringLiteral("/tmp")).toLocal8Bit());
        m_qsettings = std::make_unique<QSettings>(TestHome::configHome() + QStringLiteral("/Pendulo.conf"),
                                                  QSettings::IniFormat);
        m_settings = std::make_unique<PdSettings>(m_qsettings.get());
        m_presenter = RecordingErrorPresenter();
        m_confirmation = ScriptedQuitConfirmation();
        StoreModel::bundleModelsDir(); // registers the model resources for the fixtures
    }

    void cleanup()
    {
        m_controller.reset();
        m_settings.reset();
        m_qsettings.reset();
    }

    void locationFollowsTheUsersDataFolder()
    {
        QCOMPARE(StoreController::applicationFilesDirectory(),
                 TestHome::dataHome() + QStringLiteral("/Pendulo"));
        QCOMPARE(StoreController::storeFilePath(),
                 TestHome::dataHome() + QStringLiteral("/Pendulo/db/storedata"));
    }

    void freshInstallationCreatesAnEmptyStore()
    {
        ObjectStore *store = controller().store();
        QVERIFY(store);
        QCOMPARE(controller().store(), store); // made once
        QVERIFY(QFileInfo(StoreController::storeFilePath()).isFile());
        QCOMPARE(backups(), QStringList());
        QCOMPARE(m_presenter.presented.size(), 0);
        QCOMPARE(controller().mainContext(), &store->mainContext());
        QCOMPARE(controller().mainContext()->count(EntityType::Activity), qint64(0));
    }

    void olderStoresAreMovedAndMigratedBeforeOpening_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("lastChangeInLog");

        QTest::newRow("earlier layout, current version") << QStringLiteral("storedata") << 5 << false;
        QTest::newRow("earlier layout, change only in the log") << QStringLiteral("storedata") << 5 << true;
        QTest::newRow("version 2 in db") << QStringLiteral("db/storedata") << 2 << false;
        QTest::newRow("earlier layout, version 4, change only in the log")
            << QStringLiteral("storedata") << 4 << true;
    }

    void olderStoresAreMovedAndMigratedBeforeOpening()
    {
        QFETCH(QString, location);
        QFETCH(int, version);
        QFETCH(bool, lastChangeInLog);
        const QString path = appDir() + QLatin1Char('/') + location;
        if (lastChangeInLog) { // as a killed process leaves it: the last change only in "-wal"
            const QString crashed = TestHome::cacheHome() + QStringLiteral("/crashed/storedata");
            writeStore(crashed, version);
            SQLite::Database db(crashed.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;");
            db.exec("UPDATE activity SET text = 'Call back'");
            QDir().mkpath(QFileInfo(path).absolutePath());
            for (const QString &suffix : {QString(), QStringLiteral("-wal")})
                QVERIFY(QFile::copy(crashed + suffix, path + suffix));
        } else {
            writeStore(path, version);
        }

        QVERIFY(controller().store());
        QVERIFY(!controller().isMigrating());
        QCOMPARE(m_presenter.presented.size(), 0);
        QVERIFY(!QFile::exists(appDir() + QStringLiteral("/storedata")));
        const QList<Activity *> activities = controller().mainContext()->fetch<Activity>();
        QCOMPARE(activities.size(), 1);
        QCOMPARE(activities.first()->uid(), QStringLiteral("UID-1"));
        QCOMPARE(activities.first()->text(),
                 lastChangeInLog ? QStringLiteral("Call back") : QStringLiteral("Call"));
        QCOMPARE(activities.first()->yearMonth(), 201601);
        QCOMPARE(backups(), QStringList());
    }

    void openingFailuresLeaveTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("domain");
        QTest::addColumn<qint64>("code");
        QTest::addColumn<QString>("namedPath");

        const QString db = QStringLiteral("%1/db");
        const QString store = QStringLiteral("%1/db/storedata");
        QTest::newRow("storedata is a folder")
            << QStringLiteral("store-folder") << QStringLiteral("PD_STORE_ERROR") << qint64(101) << store;
        QTest::newRow("db is a file")
            << QStringLiteral("db-file") << QStringLiteral("YOUR_ERROR_DOMAIN") << qint64(101) << db;
        QTest::newRow("not SQLite") << QStringLiteral("text") << QString() << qint64(0) << store;
        QTest::newRow("newer model version")
            << QStringLiteral("v6") << QStringLiteral("Pendulo") << qint64(8001) << store;
        QTest::newRow("damaged current store")
            << QStringLiteral("damaged") << QString() << qint64(0) << store;
    }

    void openingFailuresLeaveTheFileAsItWas()
    {
        QFETCH(QString, setup);
        QFETCH(QString, domain);
        QFETCH(qint64, code);
        QFETCH(QString, namedPath);
        const QString storePath = StoreController::storeFilePath();
        if (setup == QLatin1String("store-folder")) {
            QDir().mkpath(storePath);
        } else if (setup == QLatin1String("db-file")) {
            QDir().mkpath(appDir());
            QFile file(StoreController::databaseDirectory());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a folder");
        } else if (setup == QLatin1String("text")) {
            QDir().mkpath(StoreController::databaseDirectory());
            QFile file(storePath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Activity,Start\nCall,2016-01-01\n");
        } else if (setup == QLatin1String("v6")) {
            writeStore(storePath, 5, QStringLiteral("PRAGMA user_version = 6;"));
        } else if (setup == QLatin1String("damaged")) {
            writeStore(
                storePath, 5,
                QStringLiteral("INSERT INTO activity (uid, text) SELECT 'x', printf('%.400c', 'a') "
                               "FROM activity a, activity b, (SELECT 1 UNION SELECT 2 UNION SELECT 3 UNION "
                               "SELECT 4 UNION SELECT 5 UNION SELECT 6 UNION SELECT 7 UNION SELECT 8) c, "
                               "(SELECT 1 UNION SELECT 2 UNION SELECT 3 UNION SELECT 4 UNION SELECT 5 UNION "
                               "SELECT 6 UNION SELECT 7 UNION SELECT 8) d, (SELECT 1 UNION SELECT 2 UNION "
                               "SELECT 3 UNION SELECT 4) e;"));
            QFile file(storePath);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.size() > 16 * 4096);
            file.seek(file.size() / 2);
            file.write(QByteArray(4096, '\x5a'));
        }
        const QString watched =
            setup == QLatin1String("db-file") ? StoreController::databaseDirectory() : storePath;
        const QByteArray before = digest(watched);

        QVERIFY(!controller().store());
        QCOMPARE(m_presenter.presented.size(), 1);
        const PdError error = m_presenter.presented.first();
        QCOMPARE(controller().lastError().description, error.description);
        if (!domain.isEmpty()) {
            QCOMPARE(error.domain, domain);
            QCOMPARE(error.code, code);
        }
        QVERIFY2(error.description.contains(namedPath.arg(appDir())), qPrintable(error.toString()));
        QCOMPARE(digest(watched), before);
        QCOMPARE(backups(), QStringList());

        // Opening is not retried; context requests say the store is missing (the main context once).
        QVERIFY(!controller().mainContext());
        QVERIFY(!controller().mainContext());
        QVERIFY(!controller().newManagedObjectContext(true));
        QVERIFY(!controller().newManagedObjectContext(false));
        QCOMPARE(m_presenter.presented.size(), 4);
        for (const PdError &missing : m_presenter.presented.mid(1)) {
            QCOMPARE(missing.domain, QStringLiteral("YOUR_ERROR_DOMAIN"));
            QCOMPARE(missing.code, qint64(9999));
            QCOMPARE(missing.description, QStringLiteral("Failed to initialize the store"));
            QCOMPARE(missing.failureReason, QStringLiteral("There was an error building up the data file."));
        }
    }

    void skippingMigrationsLeavesOlderStoresAlone()
    {
        m_settings->setSkipMigrations(true);
        writeStore(appDir() + QStringLiteral("/db/storedata"), 4);
        const QByteArray before = digest(StoreController::storeFilePath());

        QVERIFY(!controller().store()); // a version-4 store cannot be opened as it is
        QCOMPARE(m_presenter.presented.size(), 1);
        QVERIFY(m_presenter.presented.first().description.contains(StoreController::storeFilePath()));
        QCOMPARE(digest(StoreController::storeFilePath()), before);
    }

    void newContextsWorkOnTheOpenedStore()
    {
        QVERIFY(controller().store());
        std::unique_ptr<Context> context = controller().newManagedObjectContext(true);
        QVERIFY(context);
        QVERIFY(!context->isMainContext());
        QCOMPARE(&context->store(), controller().store());
    }

    void quitting_data()
    {
        QTest::addColumn<bool>("unsavableChange");
        QTest::addColumn<bool>("presentationRecovers");
        QTest::addColumn<bool>("answerQuit");
        QTest::addColumn<bool>("expectQuit");
        QTest::addColumn<bool>("expectQuestion");

        QTest::newRow("nothing to save") << false << false << false << true << false;
        QTest::newRow("unsavable, user cancels") << true << false << false << false << true;
        QTest::newRow("unsavable, user quits anyway") << true << false << true << true << true;
        QTest::newRow("unsavable, presentation recovers") << true << true << true << false << false;
    }

    void quitting()
    {
        QFETCH(bool, unsavableChange);
        QFETCH(bool, presentationRecovers);
        QFETCH(bool, answerQuit);
        QFETCH(bool, expectQuit);
        QFETCH(bool, expectQuestion);
        Context *context = controller().mainContext();
        QVERIFY(context);
        ActivityManager manager(*context, *m_settings, m_clock);
        controller().setActivityManager(&manager);
        QVERIFY(manager.startTrack(QStringLiteral("Write offer @Acme")).isEmpty());
        m_clock.advanceSecs(90);
        if (unsavableChange) { // an activity of no length fails validation
            Activity *broken = context->insertActivity();
            broken->setText(QStringLiteral("Broken"));
            broken->setTimeFrom(m_clock.now());
            broken->setTimeTo(m_clock.now());
        }
        m_presenter.recovers = presentationRecovers;
        m_confirmation.answerQuit = answerQuit;

        const auto reply = controller().applicationShouldTerminate(QStringLiteral("Next thing"));

        QCOMPARE(reply == StoreController::TerminateReply::TerminateNow, expectQuit);
        QCOMPARE(m_settings->lastActivityText(), QStringLiteral("Next thing"));
        QVERIFY(!manager.isTracking());
        QCOMPARE(m_presenter.presented.size(), unsavableChange ? 1 : 0);
        QCOMPARE(m_confirmation.asked.size(), expectQuestion ? 1 : 0);
        if (expectQuestion) {
            const QuitQuestion question = m_confirmation.asked.first();
            QCOMPARE(question.message,
                     QStringLiteral("Could not save changes while quitting.  Quit anyway?"));
            QCOMPARE(question.information,
                     QStringLiteral(
                         "Quitting now will lose any changes you have made since the last successful save"));
            QCOMPARE(question.quitButton, QStringLiteral("Quit anyway"));
            QCOMPARE(question.cancelButton, QStringLiteral("Cancel"));
        }
        if (!unsavableChange) { // the stopped activity reached the file
            SQLite::Database db(StoreController::storeFilePath().toStdString(), SQLite::OPEN_READONLY);
            QCOMPARE(db.execAndGet("SELECT time_to - time_from FROM activity").getInt(), 90);
        }
        if (!expectQuit) // still running: the pending change is kept for a later save
            QVERIFY(context->hasChanges());
        controller().setActivityManager(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestStoreController)
#include "tst_StoreController.moc"
