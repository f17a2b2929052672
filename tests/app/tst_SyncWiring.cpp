#include "DropboxAuthorization.h"
#include "DropboxConnection.h"
#include "InMemoryBackend.h"
#include "PDDropboxSyncBackend.h"
#include "PdSettings.h"
#include "Pendulo_AppDelegate.h"
#include "SyncLock.h"
#include "TestHome.h"
#include "controller/DesktopSyncScheduler.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeKeychain.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeNotifications.h"
#include "fakes/FakeStatusItem.h"
#include "storage/ErrorPresenter.h"
#include "store/ObjectStore.h"
#include "window/MainWindow.h"
#include "window/PDMainWindowStatusbarView.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTest>

#include <memory>

namespace {

class IgnoringErrorPresenter final : public ErrorPresenter
{
public:
    bool presentError(const PdError &) override { return false; }
};

// The desktop program as DesktopController puts it together, with the in-memory remote for Dropbox.
struct Program
{
    explicit Program(FakeClock &clock)
        : qsettings(TestHome::configHome() + QStringLiteral("/Pendulo/Pendulo.conf"), QSettings::IniFormat)
        , settings(&qsettings, PdSettings::Platform{&loginItem, {}})
        , storeController(settings, clock, errorPresenter)
        , remote(std::make_shared<InMemoryRemote>())
    {
        platform.clock = &clock;
        platform.statusItem = &tray;
        platform.keychain = &keychain;
    }

    DesktopSyncScheduler &makeSync(FakeClock &clock)
    {
        PDSyncManager::Dependencies dependencies;
        dependencies.makeContext = [this]() -> std::unique_ptr<Context> {
            ObjectStore *store = storeController.store();
            return store ? store->newContext(true) : nullptr;
        };
        dependencies.makeBackend = [this] {
            ++backendsMade;
            return std::make_shared<InMemoryBackend>(remote);
        };
        dependencies.cacheFolder = TestHome::cacheHome() + QStringLiteral("/sync");
        sync = std::make_unique<DesktopSyncScheduler>(settings, clock, std::move(dependencies),
                                                      StoreController::applicationFilesDirectory());
        sync->setInform([this](const QString &, const QString &text) { informed.append(text); });
        return *sync;
    }

    Pendulo_AppDelegate &launch(Pendulo_AppDelegate::Features features = {})
    {
        features.syncManager = sync.get();
        delegate = std::make_unique<Pendulo_AppDelegate>(settings, storeController, platform, features);
        [&] { QVERIFY(delegate->applicationDidFinishLaunching({})); }();
        return *delegate;
    }

    unsigned indicator() const { return delegate->statusbarView()->syncStatus(); }

    FakeLoginItem loginItem;
    QSettings qsettings;
    PdSettings settings;
    IgnoringErrorPresenter errorPresenter;
    StoreController storeController;
    FakeStatusItem tray;
    FakeKeychain keychain;
    Pendulo_AppDelegate::Platform platform;
    std::shared_ptr<InMemoryRemote> remote;
    int backendsMade = 0;
    QStringList informed;
    std::unique_ptr<DesktopSyncScheduler> sync;
    std::unique_ptr<Pendulo_AppDelegate> delegate;
};

bool lockIsFree()
{
    SyncLock probe(StoreController::applicationFilesDirectory());
    return probe.tryLock();
}

} // namespace

class TestSyncWiring : public QObject
{
    Q_OBJECT

private:
    FakeClock m_clock;
    std::unique_ptr<Program> m_program;

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        m_clock.setNow(QDateTime(QDate(2016, 3, 14), QTime(9, 0)));
        m_program = std::make_unique<Program>(m_clock);
        m_program->settings.setSyncMethod(PdSettings::SyncDropbox);
        m_program->settings.setDropboxSyncInterval(0);
    }

    void cleanup() { m_program.reset(); }

    void holdsTheSyncLockFromLaunchToQuit()
    {
        Program &program = *m_program;
        QVERIFY(lockIsFree());
        program.makeSync(m_clock);
        Pendulo_AppDelegate &app = program.launch();
        QVERIFY(program.sync->holdsLock());
        QVERIFY(!lockIsFree());

        app.requestQuit();
        program.delegate.reset();
        program.sync.reset();
        QVERIFY(lockIsFree());
    }

    void indicatorFollowsTheRuns_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<unsigned>("ending");

        QTest::newRow("finished") << QString() << unsigned(PDMainWindowStatusbarView::SyncFinished);
        QTest::newRow("failed") << QStringLiteral("Server said no")
                                << unsigned(PDMainWindowStatusbarView::SyncFailed);
    }

    void indicatorFollowsTheRuns()
    {
        QFETCH(QString, failure);
        QFETCH(unsigned, ending);
        Program &program = *m_program;
        if (!failure.isEmpty())
            program.remote->injectFailure(InMemoryRemote::Operation::Fetch, failure);
        program.makeSync(m_clock);
        Pendulo_AppDelegate &app = program.launch();

        app.onSyncAction();
        QCOMPARE(program.indicator(), unsigned(PDMainWindowStatusbarView::SyncStarted));
        QVERIFY(program.sync->isRunning(1));
        QTRY_COMPARE_WITH_TIMEOUT(program.indicator(), ending, 30000);
        QVERIFY(!program.sync->isRunning(1));
        QCOMPARE(program.backendsMade, 1);

        // The indicator's button tells the outcome of the run and puts the indicator away.
        app.onSyncStatusButton();
        QCOMPARE(program.informed.size(), 1);
        if (!failure.isEmpty())
            QCOMPARE(program.informed.constFirst(), failure);
        QCOMPARE(program.indicator(), unsigned(PDMainWindowStatusbarView::SyncCancelled));
    }

    void firstRunFollowsTheLaunch()
    {
        Program &program = *m_program;
        program.settings.setDropboxSyncInterval(3); // hourly
        program.makeSync(m_clock);
        program.launch();
        const std::optional<QDateTime> first = program.sync->manager().nextAutoSyncTime();
        QVERIFY(first);
        QCOMPARE(*first, m_clock.now().addSecs(30));
    }

    void runsWaitWhileAnotherProgramSyncs()
    {
        Program &program = *m_program;
        SyncLock other(StoreController::applicationFilesDirectory());
        QVERIFY(other.tryLock());
        program.makeSync(m_clock);
        Pendulo_AppDelegate &app = program.launch();
        QVERIFY(!program.sync->holdsLock());

        // The program runs, but its sync is skipped, with the reason shown and on the indicator.
        app.onSyncAction();
        QCOMPARE(program.backendsMade, 0);
        QCOMPARE(program.informed,
                 QStringList{DesktopSyncScheduler::lockedMessage(QCoreApplication::applicationPid())});
        QTRY_COMPARE(program.indicator(), unsigned(PDMainWindowStatusbarView::SyncFailed));

        // Once the other program is done, the next sync takes the lock and runs.
        other.unlock();
        app.onSyncAction();
        QVERIFY(program.sync->holdsLock());
        QCOMPARE(program.backendsMade, 1);
        QTRY_COMPARE_WITH_TIMEOUT(program.indicator(), unsigned(PDMainWindowStatusbarView::SyncFinished),
                                  30000);
    }

    void setupSyncExplainsTheCommandLine()
    {
        Program &program = *m_program;
        program.settings.setSyncMethod(PdSettings::SyncNone);
        program.makeSync(m_clock);
        Pendulo_AppDelegate &app = program.launch();

        app.onSyncAction();
        QCOMPARE(program.backendsMade, 0);
        auto *box = app.window()->findChild<QMessageBox *>();
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QVERIFY(box->text().contains(QStringLiteral("pendulo dropbox connect --token")));
    }

    void dropboxAddressConnectsTheAccount()
    {
        Program &program = *m_program;
        DropboxAuthorization authorization(QUrl(QStringLiteral("https://dropbox.invalid/authorize")),
                                           QStringLiteral("key"));
        QVERIFY(authorization.authorizationUrl());
        FakeNotifications notifications;
        DropboxConnection connection(authorization, program.settings, program.keychain, notifications);
        Pendulo_AppDelegate::Features features;
        features.dropboxAuthorization = &authorization;
        features.dropboxConnection = &connection;
        program.makeSync(m_clock);
        Pendulo_AppDelegate &app = program.launch(features);

        app.handleArguments({QStringLiteral("penduloapp://dropbox#access_token=token-7&token_type=bearer"
                                            "&account_id=dbid:7&state=") +
                             authorization.pendingState()});
        QCOMPARE(program.keychain.items().value(PDDropboxSyncBackend::tokenAccount),
                 QStringLiteral("token-7"));
        QCOMPARE(notifications.shown.size(), 1);
        QCOMPARE(notifications.shown.constFirst().second, QStringLiteral("Connected with Dropbox"));
    }
};

QTEST_MAIN(TestSyncWiring)
#include "tst_SyncWiring.moc"
