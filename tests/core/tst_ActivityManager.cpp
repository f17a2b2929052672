#include "Activity.h"
#include "ActivityManager.h"
#include "DeletedActivity.h"
#include "PdSettings.h"
#include "Project.h"
#include "StoreFixture.h"
#include "Task.h"

#include <SQLiteCpp/Database.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QDateTime nine(QDate(2016, 3, 14), QTime(9, 0));

// A store, settings in a temporary file and a manager over them.
struct ManagerFixture
{
    StoreFixture store;
    QTemporaryDir settingsFolder;
    QSettings settingsFile{settingsFolder.filePath(QStringLiteral("Pendulo.conf")), QSettings::IniFormat};
    PdSettings settings{&settingsFile};
    ActivityManager manager{store.context(), settings, store.clock()};
    QSignalSpy started{&manager, &ActivityManager::activityManagerStarted};
    QSignalSpy stopped{&manager, &ActivityManager::activityManagerStopped};

    FakeClock &clock() { return store.clock(); }

    // The stored row of the activity with that uid: text, time_to (ms), modified_at (ms), project name.
    QVariantList storedRow(const QString &uid) const
    {
        SQLite::Database database(store.path().toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement query(database,
                                "SELECT a.text, CAST(ROUND(a.time_to * 1000) AS INTEGER), "
                                "CAST(ROUND(a.modified_at * 1000) AS INTEGER), p.name "
                                "FROM activity a LEFT JOIN project p ON p.id = a.project_id WHERE a.uid = ?");
        query.bind(1, uid.toStdString());
        if (!query.executeStep())
            return {};
        return {QString::fromUtf8(query.getColumn(0).getText()), qint64(query.getColumn(1).getInt64()),
                qint64(query.getColumn(2).getInt64()),
                query.getColumn(3).isNull() ? QString() : QString::fromUtf8(query.getColumn(3).getText())};
    }
};

qint64 ms(const QDateTime &date)
{
    return date.toMSecsSinceEpoch();
}

} // namespace

class TestActivityManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isEmpty_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("empty");
        QTest::newRow("absent") << QString() << true;
        QTest::newRow("empty") << QStringLiteral("") << true;
        QTest::newRow("spaces and tabs") << QStringLiteral(" \t  ") << true;
        QTest::newRow("no-break space") << QStringLiteral("\u00a0") << true;
        QTest::newRow("only newlines") << QStringLiteral("\n\n") << false;
        QTest::newRow("text in spaces") << QStringLiteral("  a ") << false;
    }

    void isEmpty()
    {
        QFETCH(QString, text);
        QFETCH(bool, empty);
        QCOMPARE(ActivityManager::isEmpty(text), empty);
    }

    void startWithEmptyTextStaysIdle()
    {
        ManagerFixture f;
        QCOMPARE(f.manager.startTrack(QStringLiteral("  \t")), QStringLiteral("Activity can not be empty!"));
        QVERIFY(!f.manager.isTracking());
        QCOMPARE(f.started.count(), 0);
        QCOMPARE(f.store.rowCount(QStringLiteral("activity")), 0);
    }

    void startSavesAOneSecondActivity()
    {
        ManagerFixture f;
        f.clock().setNow(nine.addMSecs(400));
        const QString message = f.manager.startTrack(QStringLiteral("Write offer @Acme #sales"));
        QVERIFY2(message.isNull(), qPrintable(message));
        QCOMPARE(f.started.count(), 1);
        QCOMPARE(f.started.at(0).at(0).value<ActivityManager *>(), &f.manager);

        Activity *current = f.manager.currentActivity();
        QVERIFY(current);
        QCOMPARE(current->context(), &f.store.context());
        QVERIFY(!current->hasChanges());
        QCOMPARE(current->timeFrom(), nine.addMSecs(400));
        QCOMPARE(current->timeTo(), nine.addMSecs(1400));
        QCOMPARE(current->durationSecs(), 1);
        QCOMPARE(current->yearMonth(), 201603);
        QCOMPARE(current->modifiedAt(), nine.addMSecs(400));
        QCOMPARE(current->project()->name(), QStringLiteral("Acme"));
        QCOMPARE(current->tasksStr(), QStringLiteral("sales"));
        QCOMPARE(f.storedRow(current->uid()).value(3).toString(), QStringLiteral("Acme"));
    }

    void failedSaveReportsAndKeepsTheCurrentActivity()
    {
        ManagerFixture f;
        QVERIFY(f.manager.startTrack(QStringLiteral("running")).isNull());
        Activity *running = f.manager.currentActivity();
        QString message;
        QVERIFY(!f.manager.saveActivity(QStringLiteral("zero"), nine, nine.addMSecs(500), &message));
        QCOMPARE(message, QStringLiteral("Some kind of error!"));
        QCOMPARE(f.manager.currentActivity(), running);
        QVERIFY(!f.manager.saveActivity(QStringLiteral(" "), nine, nine.addSecs(5), &message));
        QCOMPARE(message, QStringLiteral("Activity can not be empty!"));
        QCOMPARE(f.store.rowCount(QStringLiteral("activity")), 1);
    }

    void updateTrackReplacesTheTextUntilTheNextTouch()
    {
        ManagerFixture f;
        QCOMPARE(f.manager.updateTrack(QStringLiteral("x")), QStringLiteral("Not tracking!"));
        QVERIFY(f.manager.startTrack(QStringLiteral("Call @Acme")).isNull());
        Activity *current = f.manager.currentActivity();
        QCOMPARE(f.manager.updateTrack(QStringLiteral(" ")), QStringLiteral("Activity can not be empty!"));

        f.clock().advanceSecs(10);
        QVERIFY(f.manager.updateTrack(QStringLiteral("Call @Initech")).isNull());
        QCOMPARE(current->text(), QStringLiteral("Call @Initech"));
        QCOMPARE(current->project()->name(), QStringLiteral("Acme")); // until saved
        QCOMPARE(current->modifiedAt(), nine);
        QCOMPARE(f.storedRow(current->uid()).value(0).toString(), QStringLiteral("Call @Acme"));

        f.clock().advanceSecs(20);
        f.manager.touchCurrentActivity();
        QCOMPARE(current->project()->name(), QStringLiteral("Initech"));
        QCOMPARE(f.storedRow(current->uid()),
                 (QVariantList{QStringLiteral("Call @Initech"), ms(nine.addSecs(30)), ms(nine.addSecs(30)),
                               QStringLiteral("Initech")}));
    }

    void stop_data()
    {
        QTest::addColumn<qint64>("touchAfterMs"); // -1: no touch
        QTest::addColumn<qint64>("stopAtMs");     // relative to the start
        QTest::addColumn<qint64>("expectedToMs");
        QTest::addColumn<bool>("modified");
        QTest::newRow("later than the start") << qint64(-1) << qint64(60000) << qint64(60000) << true;
        QTest::newRow("at the start keeps one second") << qint64(-1) << qint64(0) << qint64(1000) << false;
        QTest::newRow("before the start keeps the last touch")
            << qint64(30000) << qint64(-10000) << qint64(30000) << false;
        QTest::newRow("half a second is raised to one") << qint64(-1) << qint64(500) << qint64(1000) << true;
    }

    void stop()
    {
        QFETCH(qint64, touchAfterMs);
        QFETCH(qint64, stopAtMs);
        QFETCH(qint64, expectedToMs);
        QFETCH(bool, modified);
        ManagerFixture f;
        QVERIFY(f.manager.startTrack(QStringLiteral("work")).isNull());
        Activity *activity = f.manager.currentActivity();
        if (touchAfterMs >= 0) {
            f.clock().setNow(nine.addMSecs(touchAfterMs));
            f.manager.touchCurrentActivity();
        }
        f.clock().setNow(nine.addSecs(90));
        f.manager.stopCurrentActivityAt(nine.addMSecs(stopAtMs), false);

        QVERIFY(!f.manager.isTracking());
        QCOMPARE(f.stopped.count(), 1);
        QCOMPARE(activity->timeTo(), nine.addMSecs(expectedToMs));
        QVERIFY(activity->durationSecs() >= 1);
        const QVariantList row = f.storedRow(activity->uid());
        QCOMPARE(row.value(1).toLongLong(), ms(nine.addMSecs(expectedToMs)));
        QCOMPARE(row.value(2).toLongLong() == ms(nine.addSecs(90)), modified);

        f.manager.stopTrack(); // idle: nothing happens
        QCOMPARE(f.stopped.count(), 1);
    }

    void stopAndContinueStartsAgainNow()
    {
        ManagerFixture f;
        QVERIFY(f.manager.startTrack(QStringLiteral("Idle test @Acme")).isNull());
        Activity *first = f.manager.currentActivity();
        f.clock().setNow(nine.addSecs(600));
        f.manager.stopCurrentActivityAt(nine.addSecs(300), true);

        QCOMPARE(first->timeTo(), nine.addSecs(300));
        QVERIFY(f.manager.isTracking());
        Activity *second = f.manager.currentActivity();
        QVERIFY(second != first);
        QCOMPARE(second->text(), first->text());
        QCOMPARE(second->timeFrom(), nine.addSecs(600));
        QCOMPARE(f.stopped.count(), 1);
        QCOMPARE(f.started.count(), 2);
        QCOMPARE(f.store.rowCount(QStringLiteral("activity")), 2);
    }

    void currentActivityDeletedElsewhereEndsTracking()
    {
        ManagerFixture f;
        QVERIFY(f.manager.startTrack(QStringLiteral("doomed")).isNull());
        std::unique_ptr<Context> other = f.store.store().newContext(false);
        DeletedActivity::deleteActivity(
            other->objectWithId<Activity>(f.manager.currentActivity()->objectId()), *other);
        QVERIFY(other->save());
        QVERIFY(!f.manager.isTracking());
        QCOMPARE(f.stopped.count(), 1);
        f.manager.touchCurrentActivity(); // nothing left to touch
        QCOMPARE(f.store.rowCount(QStringLiteral("activity")), 0);
    }

    void findProjectTakesTheNewestCase()
    {
        ManagerFixture f;
        QVERIFY(f.manager.startTrack(QStringLiteral("x @Acme")).isNull());
        Project *acme = f.manager.currentActivity()->project();
        QCOMPARE(f.manager.findProject(QStringLiteral("acme"), f.store.context()), acme);
        QCOMPARE(acme->name(), QStringLiteral("acme"));
        QVERIFY(f.store.context().save());

        f.settings.setReportSidebarTasksOrdered(true);
        std::unique_ptr<Context> other = f.store.store().newContext(false);
        Task *task = f.manager.findTask(QStringLiteral("New"), *other);
        QVERIFY(task->isInserted());
        QCOMPARE(task->position().value_or(-1), 0);
        QCOMPARE(f.manager.findTask(QStringLiteral("NEW"), *other), task);
    }

    void nameCompletionsKeepTheTypedCase_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("changeCase");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("typed case") << "ac" << true << QStringList{"acme", "activity"};
        QTest::newRow("stored case") << "ac" << false << QStringList{"Acme", "ACtivity"};
        QTest::newRow("non-ASCII") << "Ä" << true << QStringList{"Ärger"};
        QTest::newRow("whole name") << "BETA" << true << QStringList{"BETA"};
        QTest::newRow("no match") << "x" << true << QStringList{};
        QTest::newRow("wildcards are plain text") << "a*" << true << QStringList{};
    }

    void nameCompletionsKeepTheTypedCase()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, changeCase);
        QFETCH(QStringList, expected);
        ManagerFixture f;
        for (const char *name : {"ACtivity", "Beta", "ärger", "Acme"}) {
            f.store.context().findOrCreateProject(QString::fromUtf8(name));
            f.store.context().findOrCreateTask(QString::fromUtf8(name));
        }
        QVERIFY(f.store.context().save());
        QCOMPARE(f.manager.findProjectNames(prefix, changeCase), expected);
        QCOMPARE(f.manager.findTaskNames(prefix, changeCase), expected);
    }

    void recentActivities_data()
    {
        QTest::addColumn<bool>("byDate");
        QTest::addColumn<bool>("excludeInvoiced");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by date") << true << false << 10 << QStringList{"beta", "alpha", "gamma"};
        QTest::newRow("reverse alphabetical")
            << false << false << 10 << QStringList{"gamma", "beta", "alpha"};
        QTest::newRow("without invoiced") << true << true << 10 << QStringList{"beta", "alpha"};
        QTest::newRow("limited") << false << false << 2 << QStringList{"gamma", "beta"};
        QTest::newRow("none") << true << false << 0 << QStringList{};
    }

    void recentActivities()
    {
        QFETCH(bool, byDate);
        QFETCH(bool, excludeInvoiced);
        QFETCH(int, count);
        QFETCH(QStringList, expected);
        ManagerFixture f;
        Context &context = f.store.context();
        const struct
        {
            const char *text;
            int hour;
            bool invoiced;
        } rows[] = {{"beta", 7, false},
                    {"alpha", 10, false},
                    {"gamma", 8, true},
                    {"beta", 11, false},
                    {"alpha", 6, true}};
        for (const auto &row : rows) {
            const QDateTime from(QDate(2016, 3, 13), QTime(row.hour, 0));
            StoreFixture::makeActivity(context, QString::fromUtf8(row.text), from, from.addSecs(60))
                ->setInvoiced(row.invoiced);
        }
        QVERIFY(context.save());
        f.settings.setRecentItemsOrderedByDate(byDate);
        f.settings.setRecentItemsExcludeInvoiced(excludeInvoiced);
        f.settings.setRecentItemsCount(count);
        QVERIFY(f.manager.startTrack(QStringLiteral("beta")).isNull());

        QList<RecentActivityItem> wanted;
        for (const QString &text : expected)
            wanted.append(RecentActivityItem(text, text == QLatin1String("beta")));
        // the running "beta" started today: by date it stays first
        QCOMPARE(f.manager.recentActivities(), wanted);
    }

    void todaysActivitiesNewestFirst()
    {
        ManagerFixture f;
        Context &context = f.store.context();
        const QDate today = nine.date();
        const QDateTime starts[] = {QDateTime(today.addDays(-1), QTime(23, 59, 59, 500)),
                                    QDateTime(today, QTime(0, 0)), QDateTime(today, QTime(8, 0)),
                                    QDateTime(today, QTime(23, 59, 59, 500)),
                                    QDateTime(today.addDays(1), QTime(0, 0))};
        QStringList labels;
        for (const QDateTime &start : starts)
            StoreFixture::makeActivity(context, start.toString(Qt::ISODateWithMs), start, start.addSecs(2));
        QVERIFY(context.save());
        for (const Activity *activity : f.manager.todaysActivities())
            labels.append(activity->text());
        QCOMPARE(labels, (QStringList{"2016-03-14T23:59:59.500", "2016-03-14T08:00:00.000",
                                      "2016-03-14T00:00:00.000"}));
    }

    void killedWhileTrackingLosesOnlyTheUntouchedTime()
    {
        StoreFixture store;
        const QString path = store.path();
        store.close();
        QTemporaryDir settingsFolder; // made here: the killed child cleans nothing up
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // The child tracks, touches once, runs on for a while and is killed without any clean-up.
            FakeClock clock(nine);
            std::unique_ptr<ObjectStore> opened = ObjectStore::open(path, clock);
            QSettings file(settingsFolder.filePath(QStringLiteral("Pendulo.conf")), QSettings::IniFormat);
            PdSettings settings(&file);
            ActivityManager manager(opened->mainContext(), settings, clock);
            manager.startTrack(QStringLiteral("Write offer @Acme"));
            clock.advanceSecs(30);
            manager.touchCurrentActivity();
            clock.advanceSecs(25);
            manager.currentActivity()->setTimeTo(clock.now()); // changed, never saved
            ::raise(SIGKILL);
            ::_exit(1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        store.reopen(); // passes the integrity check
        const QList<Activity *> activities = store.context().fetch<Activity>();
        QCOMPARE(activities.size(), 1);
        QCOMPARE(activities.at(0)->timeTo(), nine.addSecs(30));
        QCOMPARE(activities.at(0)->project()->name(), QStringLiteral("Acme"));
    }
};

QTEST_GUILESS_MAIN(TestActivityManager)
#include "tst_ActivityManager.moc"
