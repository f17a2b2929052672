#include "PDDropboxSyncBackend.h"
#include "PDSyncManager.h"
#include "PDSyncService.h"

#include "Activity.h"
#include "FakeDropboxServer.h"
#include "PdSettings.h"
#include "SyncComputer.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeKeychain.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

QDateTime day(int dayOfMonth, int hour, int minute = 0)
{
    return QDateTime(QDate(2016, 3, dayOfMonth), QTime(hour, minute));
}

// The service processes this test process started.
QList<qint64> courierProcesses()
{
    QList<qint64> found;
    const QString self = QString::number(::getpid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(stat.readAll());
        const qsizetype end = line.lastIndexOf(QLatin1Char(')'));
        const QString command =
            line.mid(line.indexOf(QLatin1Char('(')) + 1, end - line.indexOf(QLatin1Char('(')) - 1);
        const QStringList fields = line.mid(end + 2).split(QLatin1Char(' '));
        if (command == u"pendulo-courier" && fields.size() > 1 && fields.at(1) == self)
            found << entry.toLongLong();
    }
    return found;
}

// One computer: its own store, cache folder, settings and keychain, syncing through the real service
// program with the Dropbox backend and the sync manager of the application.
class Computer
{
public:
    Computer(const QString &folder, FakeClock &clock)
        : machine(folder, std::make_shared<InMemoryRemote>(), clock)
    {
        machine.settings().setSyncMethod(PdSettings::SyncDropbox);
        PDSyncManager::Dependencies dependencies;
        dependencies.makeContext = [this] { return machine.store().newContext(true); };
        dependencies.makeBackend = [this] {
            return std::make_shared<PDDropboxSyncBackend>(machine.settings(), keychain);
        };
        dependencies.cacheFolder = machine.cacheFolder();
        manager = std::make_unique<PDSyncManager>(machine.settings(), clock, std::move(dependencies));
    }

    struct Run
    {
        int status = 0;
        QString message;
        QString log;
    };

    // Starts a run; `whileRunning` is called until the run ends and may act on the world meanwhile.
    Run sync(const std::function<void()> &whileRunning = {})
    {
        Run run;
        const QMetaObject::Connection connection =
            QObject::connect(manager.get(), &PDSyncManager::syncOperationChanged,
                             [&run](PDSyncManager *, int status, PDSyncService *service) {
                                 if (status == PDSyncManager::Started)
                                     return;
                                 run.status = status;
                                 run.message = service->currentProgressMessage();
                                 run.log = service->activityLog();
                             });
        manager->startSync();
        const bool ended = QTest::qWaitFor(
            [&] {
                if (whileRunning)
                    whileRunning();
                return run.status != 0;
            },
            60000);
        QObject::disconnect(connection);
        if (!ended)
            qWarning("The sync run did not end");
        QTest::qWait(1);
        QCoreApplication::processEvents();
        return run;
    }

    SyncComputer machine;
    FakeKeychain keychain;
    std::unique_ptr<PDSyncManager> manager;
};

} // namespace

class TestDropboxEndToEnd : public QObject
{
    Q_OBJECT

private:
    FakeDropboxServer m_server;
    QTemporaryDir m_folder;
    FakeClock m_clock;
    int m_accounts = 0;
    QString m_account;
    QString m_token;

    // A new account on the server with a token for it.
    void newAccount()
    {
        ++m_accounts;
        m_account = QStringLiteral("dbid:%1").arg(m_accounts);
        m_token = QStringLiteral("token-%1").arg(m_accounts);
        m_server.addAccount(m_account, QStringLiteral("Account %1").arg(m_accounts));
        m_server.addToken(m_token, m_account);
    }

    std::unique_ptr<Computer> computer(const QString &name, bool connected = true)
    {
        auto made = std::make_unique<Computer>(
            m_folder.filePath(QStringLiteral("%1-%2").arg(m_accounts).arg(name)), m_clock);
        if (connected)
            made->keychain.setItem(QStringLiteral("oauth2_token"), m_token);
        return made;
    }

    QString remoteMonth() const
    {
        return QString::fromUtf8(
            m_server.fileContent(m_account, QStringLiteral("/sync/2016-03.json")).value_or(""));
    }

    // Waits until a request for the route has reached the server (it is held there by a slow answer).
    std::function<void()> onRequest(const QString &route, std::function<void()> action)
    {
        return [this, route, action, done = std::make_shared<bool>(false)] {
            if (!*done && !m_server.requestsFor(route).isEmpty()) {
                *done = true;
                action();
            }
        };
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        m_server.exportEnvironment();
        qputenv("PENDULO_DROPBOX_APP_KEY", "abc123def456ghi");
        qputenv("PENDULO_DROPBOX_APP_SECRET", "app-secret");
        m_server.setAppCredentials(QStringLiteral("abc123def456ghi"), QStringLiteral("app-secret"));
    }

    void init()
    {
        m_server.clearFailures();
        m_server.clearRequests();
        newAccount();
    }

    void editsAndDeletionsReachTheOtherComputer()
    {
        auto a = computer(QStringLiteral("a"));
        auto b = computer(QStringLiteral("b"));
        const QString call =
            a->machine.addActivity(QStringLiteral("Call @Acme"), day(3, 9), day(3, 10))->uid();
        const QString draft = a->machine.addActivity(QStringLiteral("Draft"), day(4, 9), day(4, 11))->uid();

        Computer::Run run = a->sync();
        QCOMPARE(run.status, int(PDSyncManager::Finished));
        QVERIFY(remoteMonth().contains(QStringLiteral("Call @Acme")));
        QCOMPARE(a->machine.settings().dropboxAccountID(), m_account);
        QCOMPARE(a->machine.settings().dropboxAccountName(), QStringLiteral("Account %1").arg(m_accounts));
        QCOMPARE(a->machine.settings().dropboxSyncDate(), m_clock.now());

        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->machine.snapshot(), a->machine.snapshot());
        QCOMPARE(b->machine.snapshot().size(), 2);
        QVERIFY(!b->machine.settings().dropboxHash().isEmpty()); // its next run lists only changes

        m_clock.advanceSecs(60);
        a->machine.edit(
            call, [](Activity *activity) { activity->setText(QStringLiteral("Call @Acme about prices")); });
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->machine.activity(call)->text(), QStringLiteral("Call @Acme about prices"));

        m_clock.advanceSecs(60);
        b->machine.remove(draft);
        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(a->machine.activity(draft), nullptr);
        QCOMPARE(a->machine.snapshot(), b->machine.snapshot());
        QCOMPARE(a->machine.snapshot().size(), 1);
    }

    void aConflictOnTheSameMonthIsMergedByTheNextRun()
    {
        auto a = computer(QStringLiteral("a"));
        auto b = computer(QStringLiteral("b"));
        const QString shared = a->machine.addActivity(QStringLiteral("Shared"), day(3, 9), day(3, 10))->uid();
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));

        m_clock.advanceSecs(60);
        a->machine.edit(shared,
                        [](Activity *activity) { activity->setText(QStringLiteral("Shared, edited on A")); });
        const QString added =
            b->machine.addActivity(QStringLiteral("Added on B"), day(5, 9), day(5, 10))->uid();

        // B's upload reaches the server, and is held there while A writes the same month.
        m_server.clearRequests();
        m_server.failNextRequests(FakeDropboxServer::Failure::Slow, 1, QStringLiteral("files/upload"), 6000);
        Computer::Run aRun;
        const Computer::Run failed =
            b->sync(onRequest(QStringLiteral("files/upload"), [&] { aRun = a->sync(); }));
        QCOMPARE(aRun.status, int(PDSyncManager::Finished));
        QCOMPARE(failed.status, int(PDSyncManager::Failed));
        QVERIFY2(failed.message.endsWith(QStringLiteral("\n\nPlease retry sync")),
                 qPrintable(failed.message));
        QVERIFY2(failed.message.contains(QStringLiteral("409")), qPrintable(failed.message));
        QCOMPARE(b->machine.settings().dropboxHash(), QString()); // the next run lists everything
        QVERIFY(!remoteMonth().contains(QStringLiteral("Added on B")));

        const Computer::Run retried = b->sync();
        QCOMPARE(retried.status, int(PDSyncManager::Finished));
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(a->machine.snapshot(), b->machine.snapshot());
        QCOMPARE(b->machine.activity(shared)->text(), QStringLiteral("Shared, edited on A"));
        QVERIFY(a->machine.activity(added));
    }

    void anOldTokenIsUpgradedOnTheFirstRunOnly()
    {
        m_server.addOAuth1Token(QStringLiteral("old-token"), QStringLiteral("old-secret"), m_account);
        auto a = computer(QStringLiteral("a"), false);
        a->keychain.setItem(QStringLiteral("oauth_token"), QStringLiteral("old-token"));
        a->keychain.setItem(QStringLiteral("oauth_token_secret"), QStringLiteral("old-secret"));
        a->machine.addActivity(QStringLiteral("Before the upgrade"), day(3, 9), day(3, 10));

        const Computer::Run first = a->sync();
        QCOMPARE(first.status, int(PDSyncManager::Finished));
        QVERIFY(first.log.contains(QStringLiteral("Updating oauth token...")));
        const QString upgraded = a->keychain.items().value(QStringLiteral("oauth2_token"));
        QVERIFY(!upgraded.isEmpty());
        QVERIFY(m_server.isTokenValid(upgraded));
        QVERIFY(remoteMonth().contains(QStringLiteral("Before the upgrade")));

        const Computer::Run second = a->sync();
        QCOMPARE(second.status, int(PDSyncManager::Finished));
        QVERIFY(!second.log.contains(QStringLiteral("Updating oauth token...")));
        QCOMPARE(m_server.requestsFor(QStringLiteral("auth/token/from_oauth1")).size(), 1);
    }

    void aTokenExpiringMidRunLosesNothing()
    {
        auto a = computer(QStringLiteral("a"));
        auto b = computer(QStringLiteral("b"));
        a->machine.addActivity(QStringLiteral("Synced"), day(3, 9), day(3, 10));
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        const QByteArray remoteBefore = remoteMonth().toUtf8();
        const QString pending =
            a->machine.addActivity(QStringLiteral("Pending"), day(6, 9), day(6, 10))->uid();

        m_server.clearRequests();
        m_server.failNextRequests(FakeDropboxServer::Failure::Slow, 1, QStringLiteral("files/upload"), 1500);
        const Computer::Run failed =
            a->sync(onRequest(QStringLiteral("files/upload"), [&] { m_server.expireToken(m_token); }));
        QCOMPARE(failed.status, int(PDSyncManager::Failed));
        QVERIFY2(failed.message.contains(QStringLiteral("access token expired (401)")),
                 qPrintable(failed.message));
        QVERIFY(a->machine.activity(pending));
        QCOMPARE(remoteMonth().toUtf8(), remoteBefore);

        // Connected again with a new token, the next run delivers what was pending.
        const QString fresh = m_token + QStringLiteral("-new");
        m_server.addToken(fresh, m_account);
        QVERIFY(PDDropboxSyncBackend(a->machine.settings(), a->keychain)
                    .connectDropboxAccountWithName(QString(), m_account, fresh));
        b->keychain.setItem(QStringLiteral("oauth2_token"), fresh);
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->machine.snapshot(), a->machine.snapshot());
        QVERIFY(b->machine.activity(pending));
    }

    void aCrashedServiceFailsTheRunAndTheNextOneRecovers()
    {
        auto a = computer(QStringLiteral("a"));
        auto b = computer(QStringLiteral("b"));
        a->machine.addActivity(QStringLiteral("First"), day(3, 9), day(3, 10));
        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        const QString second = a->machine.addActivity(QStringLiteral("Second"), day(7, 9), day(7, 10))->uid();

        m_server.clearRequests();
        m_server.failNextRequests(FakeDropboxServer::Failure::Slow, 1, QStringLiteral("files/upload"), 3000);
        const Computer::Run failed = a->sync(onRequest(QStringLiteral("files/upload"), [] {
            const QList<qint64> services = courierProcesses();
            QVERIFY(!services.isEmpty());
            for (qint64 service : services)
                ::kill(pid_t(service), SIGKILL);
        }));
        QCOMPARE(failed.status, int(PDSyncManager::Failed));
        QVERIFY2(failed.message.contains(QStringLiteral("(code: 2)")), qPrintable(failed.message));
        QVERIFY2(failed.message.contains(QStringLiteral("Dropbox service")), qPrintable(failed.message));
        QVERIFY(a->machine.activity(second));
        // The upload the service had sent still reaches Dropbox after its answer was lost.
        QTRY_VERIFY_WITH_TIMEOUT(remoteMonth().contains(QStringLiteral("Second")), 15000);

        QCOMPARE(a->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->sync().status, int(PDSyncManager::Finished));
        QCOMPARE(b->machine.snapshot(), a->machine.snapshot());
        QVERIFY(b->machine.activity(second));
    }
};

QTEST_GUILESS_MAIN(TestDropboxEndToEnd)
#include "tst_DropboxEndToEnd.moc"
