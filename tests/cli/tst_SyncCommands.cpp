#include "Activity.h"
#include "FakeDropboxServer.h"
#include "SyncLock.h"
#include "TestHome.h"
#include "storage/StoreController.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QDir>
#include "PenduloRun.h"

#include <QProcess>
#include <QSettings>
#include <QTest>

namespace {

using Run = PenduloRun;

Run pendulo(const QStringList &arguments)
{
    return runPendulo(arguments);
}

void setSetting(const QString &key, const QVariant &value)
{
    QSettings settings(TestHome::configHome() + QStringLiteral("/Pendulo/Pendulo.conf"),
                       QSettings::IniFormat);
    settings.setValue(key, value);
}

} // namespace

// `pendulo dropbox ...` and `pendulo sync` run as programs against the fake Dropbox server. The steps
// that keep a token need the desktop's secret store: they run in the test keyring of scripts/test.
class TestSyncCommands : public QObject
{
    Q_OBJECT

private:
    FakeDropboxServer m_server;

    void addActivity()
    {
        QVERIFY(QDir().mkpath(StoreController::databaseDirectory()));
        PdError error;
        std::unique_ptr<ObjectStore> store = ObjectStore::open(StoreController::storeFilePath(), &error);
        QVERIFY2(store, qPrintable(error.toString()));
        Activity *activity = store->mainContext().insertActivity();
        activity->setText(QStringLiteral("Write offer @Acme"));
        activity->setTimeFrom(QDateTime(QDate(2016, 3, 7), QTime(9, 0)));
        activity->setTimeTo(QDateTime(QDate(2016, 3, 7), QTime(10, 0)));
        QVERIFY2(store->mainContext().save(&error), qPrintable(error.toString()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.exportEnvironment();
        m_server.addAccount(QStringLiteral("dbid:ada"), QStringLiteral("Ada Lovelace"));
        m_server.addToken(QStringLiteral("good-token"), QStringLiteral("dbid:ada"));
    }

    void init() { TestHome::reset(); }

    void syncRefusesWithoutAConnectedAccount_data()
    {
        QTest::addColumn<int>("syncMethod");
        QTest::addColumn<QString>("message");

        QTest::newRow("sync off") << 0 << "sync is switched off";
        QTest::newRow("no account")
            << 1
            << "Error occurred: Dropbox is not connected. Please configure Dropbox sync in "
               "preferences";
    }

    void syncRefusesWithoutAConnectedAccount()
    {
        QFETCH(int, syncMethod);
        QFETCH(QString, message);
        if (syncMethod == 1 && !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            pendulo({QStringLiteral("dropbox"), QStringLiteral("disconnect")});
        setSetting(QStringLiteral("syncMethod"), syncMethod);
        const Run run = pendulo({QStringLiteral("sync")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void syncRefusesWhileAnotherProgramHoldsTheLock()
    {
        setSetting(QStringLiteral("syncMethod"), 1);
        SyncLock desktop(StoreController::applicationFilesDirectory());
        QVERIFY(desktop.tryLock());
        const Run run = pendulo({QStringLiteral("sync")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("process %1").arg(QCoreApplication::applicationPid())),
                 qPrintable(run.err));
        QVERIFY(m_server.requests().isEmpty());
    }

    void connectsSyncsAndDisconnects()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a D-Bus session with a Secret Service; run through scripts/test");

        Run run = pendulo({QStringLiteral("dropbox"), QStringLiteral("connect"), QStringLiteral("--token"),
                           QStringLiteral("refused-token")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("Dropbox refused the token")), qPrintable(run.err));
        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("status")});
        QVERIFY2(run.out.contains(QStringLiteral("Dropbox status: not connected")), qPrintable(run.out));

        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("connect"), QStringLiteral("--token"),
                       QStringLiteral("good-token")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Connected with Dropbox as Ada Lovelace (dbid:ada)\n"));
        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("status")});
        QVERIFY2(run.out.contains(QStringLiteral("Dropbox status: connected with Ada Lovelace\n")),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("Last sync date: not synced yet")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("Sync method: Dropbox")), qPrintable(run.out));

        addActivity();
        run = pendulo({QStringLiteral("sync")});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains(QStringLiteral("Retrieving list of changes...\n")), qPrintable(run.out));
        QVERIFY2(run.out.endsWith(QStringLiteral("Sync operation completed!\n")), qPrintable(run.out));
        const std::optional<QByteArray> month =
            m_server.fileContent(QStringLiteral("dbid:ada"), QStringLiteral("/sync/2016-03.json"));
        QVERIFY(month && month->contains("Write offer @Acme"));
        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("status")});
        QVERIFY2(!run.out.contains(QStringLiteral("not synced yet")), qPrintable(run.out));

        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("disconnect")});
        QCOMPARE(run.exitCode, 0);
        run = pendulo({QStringLiteral("dropbox"), QStringLiteral("status")});
        QVERIFY2(run.out.contains(QStringLiteral("Dropbox status: not connected")), qPrintable(run.out));
        run = pendulo({QStringLiteral("sync")});
        QCOMPARE(run.exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(TestSyncCommands)
#include "tst_SyncCommands.moc"
