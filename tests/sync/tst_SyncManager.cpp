#include "PDSyncManager.h"

#include "InMemoryBackend.h"
#include "PDSyncService.h"
#include "PdSettings.h"
#include "SyncLock.h"
#include "fakes/FakeClock.h"
#include "store/ObjectStore.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <optional>

namespace {

constexpr int Never = std::numeric_limits<int>::min();

} // namespace

class TestSyncManager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    FakeClock m_clock;
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<PdSettings> m_settings;
    std::unique_ptr<ObjectStore> m_objects;
    std::shared_ptr<InMemoryRemote> m_remote;
    int m_backendsMade = 0;

    std::unique_ptr<PDSyncManager> manager()
    {
        PDSyncManager::Dependencies dependencies;
        dependencies.makeContext = [this] { return m_objects->newContext(true); };
        dependencies.makeBackend = [this] {
            ++m_backendsMade;
            return std::make_shared<InMemoryBackend>(m_remote);
        };
        dependencies.cacheFolder = m_folder.filePath(QStringLiteral("cache"));
        return std::make_unique<PDSyncManager>(*m_settings, m_clock, std::move(dependencies));
    }

    static QList<int> statuses(const QSignalSpy &spy)
    {
        QList<int> list;
        for (const QList<QVariant> &arguments : spy)
            list << arguments.at(1).toInt();
        return list;
    }

private Q_SLOTS:
    void init()
    {
        m_clock.setNow(QDateTime(QDate(2016, 3, 14), QTime(9, 0)));
        m_store = std::make_unique<QSettings>(m_folder.filePath(QStringLiteral("settings.ini")),
                                              QSettings::IniFormat);
        m_store->clear();
        m_settings = std::make_unique<PdSettings>(m_store.get());
        m_settings->setSyncMethod(PdSettings::SyncDropbox);
        m_settings->setDropboxSyncInterval(0);
        m_objects.reset();
        QFile::remove(m_folder.filePath(QStringLiteral("storedata")));
        PdError error;
        m_objects = ObjectStore::open(m_folder.filePath(QStringLiteral("storedata")), m_clock, &error);
        QVERIFY2(m_objects, qPrintable(error.description));
        m_remote = std::make_shared<InMemoryRemote>();
        m_backendsMade = 0;
    }

    void computesTheWait_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("secondsSinceLastSync"); // negative: in the future
        QTest::addColumn<double>("delay");
        QTest::addColumn<double>("wait");

        QTest::newRow("30 min, 10 min ago") << 2 << 600 << 0.0 << 1200.0;
        QTest::newRow("30 min, 10 min ago, delay") << 2 << 600 << 30.0 << 1230.0;
        QTest::newRow("hour, 2 h ago") << 3 << 7200 << 0.0 << 0.0;
        QTest::newRow("15 min, exactly a period ago") << 1 << 900 << 0.0 << 0.0;
        QTest::newRow("15 min, just now") << 1 << 0 << 5.0 << 905.0;
        QTest::newRow("last sync in the future") << 1 << -600 << 30.0 << 30.0;
        QTest::newRow("never synced") << 3 << Never << 30.0 << 30.0;
        QTest::newRow("manually") << 0 << 60 << 30.0 << 30.0;
        QTest::newRow("negative delay ignored") << 2 << 600 << -50.0 << 1200.0;
    }

    void computesTheWait()
    {
        QFETCH(int, interval);
        QFETCH(int, secondsSinceLastSync);
        QFETCH(double, delay);
        QFETCH(double, wait);
        const QDateTime now = m_clock.now();
        const QDateTime last =
            secondsSinceLastSync == Never ? QDateTime() : now.addSecs(-secondsSinceLastSync);
        QCOMPARE(PDSyncManager::getNextSyncIntervalWithLastSyncTime(last, interval, delay, now), wait);
    }

    void schedulesTheNextRun_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<int>("interval");
        QTest::addColumn<double>("delay");
        QTest::addColumn<int>("expectedWait"); // -1: nothing scheduled

        QTest::newRow("30 min") << 1 << 2 << 30.0 << 1230;
        QTest::newRow("manually") << 1 << 0 << 30.0 << -1;
        QTest::newRow("don't sync") << 0 << 2 << 30.0 << -1;
    }

    void schedulesTheNextRun()
    {
        QFETCH(int, method);
        QFETCH(int, interval);
        QFETCH(double, delay);
        QFETCH(int, expectedWait);
        m_settings->setSyncMethod(method);
        m_settings->setDropboxSyncInterval(interval);
        m_settings->setLastSyncTime(m_clock.now().addSecs(-600));
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);

        syncs->enqueueNextSyncWithDelay(delay);
        if (expectedWait < 0)
            QCOMPARE(syncs->nextAutoSyncTime(), std::nullopt);
        else
            QCOMPARE(syncs->nextAutoSyncTime(), m_clock.now().addSecs(expectedWait));
        QVERIFY(changes.isEmpty());

        // Scheduling again replaces the timer.
        m_clock.advanceSecs(60);
        syncs->enqueueNextSyncWithDelay(0);
        if (expectedWait >= 0)
            QCOMPARE(syncs->nextAutoSyncTime(), m_clock.now().addSecs(1800 - 660));
        syncs->cancelScheduledSync();
        QCOMPARE(syncs->nextAutoSyncTime(), std::nullopt);
    }

    void aDueRunStartsAtOnceAndRecordsItsEnd()
    {
        m_settings->setDropboxSyncInterval(3);
        m_settings->setLastSyncTime(m_clock.now().addSecs(-7200));
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);

        syncs->enqueueNextSyncWithDelay(0);
        QCOMPARE(statuses(changes), QList<int>{PDSyncManager::Started});
        QVERIFY(syncs->currentSyncService());
        // A second command while the run is going is ignored.
        syncs->startSync();
        QTRY_COMPARE_WITH_TIMEOUT(statuses(changes),
                                  (QList<int>{PDSyncManager::Started, PDSyncManager::Finished}), 30000);
        QCOMPARE(m_backendsMade, 1);
        QCOMPARE(syncs->currentSyncService(), nullptr);
        QCOMPARE(m_settings->dropboxSyncDate(), m_clock.now());
        QCOMPARE(m_settings->lastSyncTime(), m_clock.now());
        // The next automatic run follows the interval from the end of this one.
        QCOMPARE(syncs->nextAutoSyncTime(), m_clock.now().addSecs(3600));
    }

    void aFailedRunLeavesTheSyncDate()
    {
        m_remote->injectFailure(InMemoryRemote::Operation::Fetch, QStringLiteral("Server said no"));
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);
        PDSyncService *failedRun = nullptr;
        QString failure;
        connect(syncs.get(), &PDSyncManager::syncOperationChanged, this,
                [&](PDSyncManager *, int status, PDSyncService *run) {
                    if (status == PDSyncManager::Failed) {
                        failedRun = run;
                        failure = run->currentProgressMessage();
                    }
                });

        syncs->startSync();
        QTRY_COMPARE_WITH_TIMEOUT(statuses(changes),
                                  (QList<int>{PDSyncManager::Started, PDSyncManager::Failed}), 30000);
        QVERIFY(failedRun);
        QCOMPARE(failure, QStringLiteral("Server said no"));
        QVERIFY(!m_settings->dropboxSyncDate().isValid());
        QCOMPARE(m_settings->lastSyncTime(), m_clock.now());
        // "Manually": nothing scheduled after the run.
        QCOMPARE(syncs->nextAutoSyncTime(), std::nullopt);
    }

    void aCancelledRunIsReported()
    {
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);
        syncs->startSync();
        QVERIFY(syncs->currentSyncService());
        syncs->currentSyncService()->cancel();
        QTRY_COMPARE_WITH_TIMEOUT(statuses(changes),
                                  (QList<int>{PDSyncManager::Started, PDSyncManager::Cancelled}), 30000);
        QCOMPARE(syncs->currentSyncService(), nullptr);
        QVERIFY(!m_settings->dropboxSyncDate().isValid());
    }

    void withoutSyncNothingRuns()
    {
        m_settings->setSyncMethod(PdSettings::SyncNone);
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);
        syncs->startSync();
        QCOMPARE(syncs->currentSyncService(), nullptr);
        QCOMPARE(m_backendsMade, 0);
        QVERIFY(changes.isEmpty());
    }

    void theTimerStartsARun()
    {
        m_settings->setDropboxSyncInterval(1);
        // 50 ms of the 15 minutes are left.
        m_settings->setLastSyncTime(m_clock.now().addMSecs(-(900 * 1000 - 50)));
        auto syncs = manager();
        QSignalSpy changes(syncs.get(), &PDSyncManager::syncOperationChanged);
        syncs->enqueueNextSyncWithDelay(0);
        QVERIFY(syncs->nextAutoSyncTime());
        QVERIFY(changes.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(statuses(changes),
                                  (QList<int>{PDSyncManager::Started, PDSyncManager::Finished}), 30000);

        // Choosing "don't sync" leaves a scheduled timer, whose run then does nothing.
        m_settings->setLastSyncTime(m_clock.now().addMSecs(-(900 * 1000 - 50)));
        syncs->enqueueNextSyncWithDelay(0);
        m_settings->setSyncMethod(PdSettings::SyncNone);
        QTRY_COMPARE(syncs->nextAutoSyncTime(), std::nullopt);
        QTest::qWait(50);
        QCOMPARE(changes.size(), 2);
    }

    void oneProgramAtATimeHoldsTheSyncLock()
    {
        const QString folder = m_folder.filePath(QStringLiteral("store-folder"));
        SyncLock desktop(folder);
        SyncLock commandLine(folder);
        QVERIFY(desktop.tryLock());
        QVERIFY(!commandLine.tryLock());
        QCOMPARE(commandLine.holderProcessId(), QCoreApplication::applicationPid());
        desktop.unlock();
        QVERIFY(commandLine.tryLock());
        commandLine.unlock();

        // The lock of a process that has ended is taken over.
        QProcess ended;
        ended.start(QStringLiteral("true"));
        QVERIFY(ended.waitForStarted());
        const qint64 deadPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        QFile stale(SyncLock::lockFilePath(folder));
        QVERIFY(stale.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stale.write(
            QStringLiteral("%1\npendulo\n%2\n").arg(deadPid).arg(QSysInfo::machineHostName()).toUtf8());
        stale.close();
        QVERIFY(desktop.tryLock());
    }
};

QTEST_GUILESS_MAIN(TestSyncManager)
#include "tst_SyncManager.moc"
