#include "Activity.h"
#include "DeletedActivity.h"
#include "PDSyncFile.h"
#include "Project.h"
#include "StoreFixture.h"
#include "Task.h"
#include "store/StoreErrors.h"

#include <SQLiteCpp/Database.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <ctime>
#include <latch>

namespace {

const QDateTime nine(QDate(2016, 3, 14), QTime(9, 0));

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Runs a function on a new thread and waits for it.
template <class F> void runOnThread(F function)
{
    std::unique_ptr<QThread> thread(QThread::create(std::move(function)));
    thread->start();
    QVERIFY(thread->wait(30000));
}

// The statements of a store's indexes, sorted.
QStringList indexSql(const QString &path)
{
    SQLite::Database database(path.toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement query(database,
                            "SELECT sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL "
                            "ORDER BY name");
    QStringList statements;
    while (query.executeStep())
        statements.append(QString::fromStdString(query.getColumn(0).getString()));
    return statements;
}

} // namespace

class TestObjectStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newStoreHasSchemaWalAndForeignKeys()
    {
        StoreFixture fixture;
        SQLite::Database database(fixture.path().toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(database.execAndGet("PRAGMA user_version").getInt(), 5);
        QCOMPARE(QString::fromStdString(database.execAndGet("PRAGMA journal_mode").getString()),
                 QStringLiteral("wal"));
        // foreign keys are per connection: delete a project that an activity refers to
        Activity *activity = StoreFixture::saveActivity(
            fixture.context(), QStringLiteral("Call @Acme #phone"), nine, nine.addSecs(60));
        const QString uid = activity->uid();
        const ObjectId projectId = activity->project()->objectId();
        fixture.context().deleteObject(activity->project());
        QVERIFY(fixture.context().save());
        fixture.reopen();
        Activity *reloaded = fixture.context().activityWithUid(uid);
        QVERIFY(reloaded);
        QVERIFY(!reloaded->project());
        QCOMPARE(reloaded->tasksStr(), QStringLiteral("phone"));
        QCOMPARE(fixture.context().count(EntityType::Project, QStringLiteral("id = ?"), {projectId.rowId}),
                 0);
    }

    void valuesSurviveReopening()
    {
        StoreFixture fixture;
        const QDateTime from(QDate(2016, 3, 14), QTime(10, 0, 0, 900));
        Activity *activity = StoreFixture::makeActivity(
            fixture.context(), QStringLiteral("Write @Acme #ab #cd"), from, from.addMSecs(3600250));
        activity->setInvoiced(true);
        QVERIFY(fixture.context().save());
        const QString uid = activity->uid();
        fixture.reopen();
        Activity *reloaded = fixture.context().activityWithUid(uid);
        QVERIFY(reloaded);
        QCOMPARE(reloaded->text(), QStringLiteral("Write @Acme #ab #cd"));
        QCOMPARE(reloaded->timeFrom(), from);
        QCOMPARE(reloaded->timeFrom().time(), QTime(10, 0, 0, 900)); // read back in local time
        QCOMPARE(reloaded->timeTo(), from.addMSecs(3600250));
        QCOMPARE(reloaded->createdAt(), nine);
        QVERIFY(reloaded->isInvoiced());
        QCOMPARE(reloaded->yearMonth(), 201603);
        QCOMPARE(reloaded->durationSecs(), 3601);
        QCOMPARE(reloaded->project()->name(), QStringLiteral("Acme"));
        QCOMPARE(reloaded->tasksStr(), QStringLiteral("ab, cd"));
    }

    // Times read from the store are shown in the zone in force when asked, so a loaded activity follows
    // a change of the system's time zone; its moment stays.
    void loadedTimesFollowAZoneChange()
    {
        StoreFixture fixture;
        StoreFixture::saveActivity(fixture.context(), QStringLiteral("a"), nine, nine.addSecs(60));
        fixture.reopen();
        Activity *loaded = fixture.context().fetch<Activity>().value(0);
        QVERIFY(loaded);
        QCOMPARE(loaded->timeFrom().time(), QTime(9, 0));
        const qint64 moment = nine.toMSecsSinceEpoch();

        struct RestoreZone
        {
            QByteArray zone = qgetenv("TZ");
            ~RestoreZone()
            {
                qputenv("TZ", zone);
                tzset();
            }
        } restore;
        qputenv("TZ", "America/New_York");
        tzset();
        QCOMPARE(loaded->timeFrom().time(), QTime(4, 0)); // 08:00 UTC, daylight saving time there
        QCOMPARE(loaded->timeFrom().toMSecsSinceEpoch(), moment);
    }

    void badFilesAreRefusedAndLeftUntouched_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("text file") << QByteArray("text") << int(StoreErrors::NotAStore);
        QTest::newRow("damaged pages") << QByteArray("damaged") << int(StoreErrors::Damaged);
        QTest::newRow("truncated") << QByteArray("truncated") << int(StoreErrors::Damaged);
        QTest::newRow("newer version") << QByteArray("v6") << int(StoreErrors::OtherVersion);
        QTest::newRow("older version") << QByteArray("v4") << int(StoreErrors::OtherVersion);
        QTest::newRow("other SQLite database") << QByteArray("foreign") << int(StoreErrors::Damaged);
    }

    void badFilesAreRefusedAndLeftUntouched()
    {
        QFETCH(QByteArray, kind);
        QFETCH(int, code);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("storedata"));
        makeBadFile(path, kind);
        const QByteArray before = fileDigest(path);
        QVERIFY(!before.isEmpty());

        PdError error;
        FakeClock clock;
        QVERIFY(!ObjectStore::open(path, clock, &error));
        QCOMPARE(error.domain, StoreErrors::domain);
        QCOMPARE(error.code, code);
        QVERIFY2(error.description.contains(QDir::toNativeSeparators(path)), qPrintable(error.description));
        QCOMPARE(fileDigest(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
        QVERIFY(!QFile::exists(path + QStringLiteral("-shm")));
    }

    void folderMustExist()
    {
        QTemporaryDir folder;
        PdError error;
        QVERIFY(!ObjectStore::open(folder.filePath(QStringLiteral("missing/storedata")), &error));
        QCOMPARE(error.code, int(StoreErrors::CannotOpen));
    }

    void identityMapGivesOneObjectPerRecord()
    {
        StoreFixture fixture;
        Activity *saved =
            StoreFixture::saveActivity(fixture.context(), QStringLiteral("a"), nine, nine.addSecs(1));
        const ObjectId id = saved->objectId();
        QVERIFY(!id.isNull());
        QCOMPARE(fixture.context().objectWithId<Activity>(id), saved);
        QCOMPARE(fixture.context().fetch<Activity>().value(0), saved);

        std::unique_ptr<Context> other = fixture.store().newContext(false);
        Activity *there = other->objectWithId<Activity>(id);
        QVERIFY(there && there != saved);
        QCOMPARE(there->objectId(), id);
        QCOMPARE(there->uid(), saved->uid());
        QVERIFY(!other->objectWithId<Activity>({EntityType::Activity, id.rowId + 100}));
        QVERIFY(!other->objectWithId<Project>(id)); // an id of another entity
    }

    void saveIsAllOrNothing()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *good =
            StoreFixture::makeActivity(context, QStringLiteral("good @Acme"), nine, nine.addSecs(5));
        Activity *bad = StoreFixture::makeActivity(context, QStringLiteral("bad #x"), nine, nine);
        QVERIFY(!context.save());
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 0);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 0);
        QVERIFY(context.hasChanges());
        QVERIFY(good->isInserted() && good->objectId().isNull());

        bad->setTimeTo(nine.addSecs(1));
        QVERIFY(context.save());
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 2);
        QVERIFY(!context.hasChanges());
    }

    void failedTransactionWritesNothing()
    {
        // An update of a record another context deleted fails the whole save, inserts included.
        StoreFixture fixture;
        Activity *activity =
            StoreFixture::saveActivity(fixture.context(), QStringLiteral("a"), nine, nine.addSecs(9));
        std::unique_ptr<Context> stale = fixture.store().newContext(true);
        Activity *staleCopy = stale->objectWithId<Activity>(activity->objectId());
        fixture.context().deleteObject(activity);
        QVERIFY(fixture.context().save());

        staleCopy->setText(QStringLiteral("edited"));
        Activity *added =
            StoreFixture::makeActivity(*stale, QStringLiteral("new @Fresh"), nine, nine.addSecs(2));
        PdError error;
        QVERIFY(!stale->save(&error));
        QCOMPARE(error.code, int(StoreErrors::ObjectGone));
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 0);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 0);
        QVERIFY(added->objectId().isNull());

        stale->refreshObject(staleCopy);
        QVERIFY(!staleCopy->isValid());
        QVERIFY(stale->save());
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 1);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 1);
    }

    // A save adding thousands of activities to a table holding fewer builds the indexes after the rows
    // (an import into a new store); the indexes come back complete, also when the save fails.
    void bulkInsertKeepsEveryIndex_data()
    {
        QTest::addColumn<bool>("failing");
        QTest::newRow("saved") << false;
        QTest::newRow("failed") << true;
    }

    void bulkInsertKeepsEveryIndex()
    {
        QFETCH(bool, failing);
        StoreFixture fixture;
        Activity *existing =
            StoreFixture::saveActivity(fixture.context(), QStringLiteral("old #t1"), nine, nine.addSecs(9));
        const QStringList indexesBefore = indexSql(fixture.path());
        QVERIFY(indexesBefore.size() >= 7);

        std::unique_ptr<Context> context = fixture.store().newContext(true);
        if (failing) {
            // An update of a record deleted meanwhile fails the save after the inserted activities.
            Activity *stale = context->objectWithId<Activity>(existing->objectId());
            fixture.context().deleteObject(existing);
            QVERIFY(fixture.context().save());
            stale->setText(QStringLiteral("edited"));
        }
        constexpr int count = 6000;
        for (int i = 0; i < count; ++i)
            StoreFixture::makeActivity(*context, QStringLiteral("bulk @P%1 #t%2").arg(i % 9).arg(i % 4),
                                       nine.addSecs(i * 60), nine.addSecs(i * 60 + 30));
        QCOMPARE(context->save(), !failing);

        QCOMPARE(indexSql(fixture.path()), indexesBefore);
        SQLite::Database database(fixture.path().toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(QString::fromStdString(database.execAndGet("PRAGMA integrity_check").getString()),
                 QStringLiteral("ok"));
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), failing ? 0 : count + 1);
        if (!failing) {
            // The rebuilt indexes answer lookups.
            QCOMPARE(database
                         .execAndGet("SELECT COUNT(*) FROM activity INDEXED BY activity_time_from "
                                     "WHERE time_from >= 0")
                         .getInt(),
                     count + 1);
            QCOMPARE(fixture.rowCount(QStringLiteral("activity_task")), count + 1);
        }
    }

    void rollbackDropsPendingChanges()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *kept =
            StoreFixture::saveActivity(context, QStringLiteral("kept @Acme"), nine, nine.addSecs(60));
        Activity *removed =
            StoreFixture::saveActivity(context, QStringLiteral("removed"), nine, nine.addSecs(60));
        Project *acme = kept->project();

        kept->setText(QStringLiteral("changed @Other"));
        kept->setTimeTo(nine.addSecs(120));
        context.deleteObject(removed);
        Activity *added = context.insertActivity();
        context.rollback();

        QVERIFY(!context.hasChanges());
        QVERIFY(!added->isValid());
        QCOMPARE(kept->text(), QStringLiteral("kept @Acme"));
        QCOMPARE(kept->durationSecs(), 60);
        QCOMPARE(kept->project(), acme);
        QVERIFY(!removed->isDeleted());
        QCOMPARE(removed->text(), QStringLiteral("removed"));
        QVERIFY(context.save());
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 2);
    }

    void saveAnnouncesInsertedUpdatedDeleted()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *first =
            StoreFixture::saveActivity(context, QStringLiteral("first"), nine, nine.addSecs(60));
        Activity *second =
            StoreFixture::saveActivity(context, QStringLiteral("second"), nine, nine.addSecs(60));
        QSignalSpy spy(&fixture.store(), &ObjectStore::saved);

        first->setText(QStringLiteral("first @Acme"));
        context.deleteObject(second);
        const ObjectId secondId = second->objectId();
        QVERIFY(context.save());

        QCOMPARE(spy.count(), 1);
        const auto notification = spy.at(0).at(0).value<SaveNotification>();
        QCOMPARE(notification.source, &context);
        QCOMPARE(notification.updated, QSet<ObjectId>{first->objectId()});
        QCOMPARE(notification.deleted, QSet<ObjectId>{secondId});
        QCOMPARE(notification.inserted, QSet<ObjectId>{first->project()->objectId()});
        QVERIFY(!second->isValid());

        QVERIFY(context.save()); // nothing pending: no announcement
        QCOMPARE(spy.count(), 1);
    }

    void privateSaveOnAnotherThreadIsMergedIntoMainContext()
    {
        StoreFixture fixture;
        Context &main = fixture.context();
        Activity *clean = StoreFixture::saveActivity(main, QStringLiteral("clean"), nine, nine.addSecs(60));
        Activity *edited = StoreFixture::saveActivity(main, QStringLiteral("edited"), nine, nine.addSecs(60));
        Activity *gone = StoreFixture::saveActivity(main, QStringLiteral("gone"), nine, nine.addSecs(60));
        edited->setText(QStringLiteral("edited here"));
        QSignalSpy merged(&fixture.store(), &ObjectStore::mainContextMerged);

        const ObjectId cleanId = clean->objectId(), editedId = edited->objectId(), goneId = gone->objectId();
        QString newUid;
        std::unique_ptr<Context> worker = fixture.store().newContext(true);
        QVERIFY(worker);
        bool saved = false;
        runOnThread([&] {
            worker->objectWithId<Activity>(cleanId)->setText(QStringLiteral("clean @Synced"));
            worker->objectWithId<Activity>(editedId)->setText(QStringLiteral("edited there"));
            worker->deleteObject(worker->objectWithId<Activity>(goneId));
            Activity *added =
                StoreFixture::makeActivity(*worker, QStringLiteral("new"), nine, nine.addSecs(1));
            newUid = added->uid();
            saved = worker->save();
        });
        QVERIFY(saved);
        QCOMPARE(clean->text(), QStringLiteral("clean")); // merged on the main thread, not before
        QTRY_COMPARE(merged.count(), 1);

        QCOMPARE(clean->text(), QStringLiteral("clean @Synced"));
        QCOMPARE(clean->project()->name(), QStringLiteral("Synced"));
        QCOMPARE(edited->text(), QStringLiteral("edited here"));
        QVERIFY(edited->hasChanges());
        QVERIFY(!gone->isValid());
        QVERIFY(main.activityWithUid(newUid));

        QVERIFY(main.save()); // the main context's own change wins
        fixture.reopen();
        QCOMPARE(fixture.context().objectWithId<Activity>(editedId)->text(), QStringLiteral("edited here"));
    }

    void mergingCanBeSuspended()
    {
        StoreFixture fixture;
        Activity *activity =
            StoreFixture::saveActivity(fixture.context(), QStringLiteral("a"), nine, nine.addSecs(60));
        fixture.store().setMergingSuspended(true);
        std::unique_ptr<Context> other = fixture.store().newContext(false);
        other->objectWithId<Activity>(activity->objectId())->setText(QStringLiteral("b"));
        QVERIFY(other->save());
        QCoreApplication::processEvents();
        QCOMPARE(activity->text(), QStringLiteral("a"));
    }

    void concurrentFindOrCreateMakesOneRecord_data()
    {
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("secondName");
        QTest::newRow("same name") << QStringLiteral("Acme") << QStringLiteral("Acme");
        QTest::newRow("other case, non-ASCII") << QStringLiteral("ärger") << QStringLiteral("ÄRGER");
    }

    void concurrentFindOrCreateMakesOneRecord()
    {
        QFETCH(QString, firstName);
        QFETCH(QString, secondName);
        StoreFixture fixture;
        std::latch bothLooked(2);
        bool saved[2] = {false, false};
        const QString names[2] = {firstName, secondName};
        auto work = [&](int index) {
            std::unique_ptr<Context> context = fixture.store().newContext(true);
            Project *project = context->findOrCreateProject(names[index]);
            const bool isNew = project->isInserted();
            bothLooked.arrive_and_wait(); // neither saves before both found no record
            Activity *activity = StoreFixture::makeActivity(*context, QStringLiteral("x @") + names[index],
                                                            nine, nine.addSecs(10));
            saved[index] =
                isNew && context->save() && activity->project() == project && !project->objectId().isNull();
        };
        std::unique_ptr<QThread> first(QThread::create(work, 0));
        std::unique_ptr<QThread> second(QThread::create(work, 1));
        first->start();
        second->start();
        QVERIFY(first->wait(30000) && second->wait(30000));
        QVERIFY(saved[0]);
        QVERIFY(saved[1]);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 1);
        SQLite::Database database(fixture.path().toStdString(), SQLite::OPEN_READONLY);
        QCOMPARE(database.execAndGet("SELECT COUNT(DISTINCT project_id) FROM activity").getInt(), 1);
    }

    void namesMatchUnicodeCaseInsensitively_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("looked");
        QTest::addColumn<bool>("found");
        QTest::newRow("umlaut") << QStringLiteral("ärger") << QStringLiteral("ÄRGER") << true;
        QTest::newRow("greek") << QStringLiteral("Σοφία") << QStringLiteral("σοφία") << true;
        QTest::newRow("different") << QStringLiteral("Acme") << QStringLiteral("Acne") << false;
        QTest::newRow("prefix only") << QStringLiteral("Acme") << QStringLiteral("Ac") << false;
    }

    void namesMatchUnicodeCaseInsensitively()
    {
        QFETCH(QString, stored);
        QFETCH(QString, looked);
        QFETCH(bool, found);
        StoreFixture fixture;
        fixture.context().findOrCreateTask(stored);
        QVERIFY(fixture.context().taskNamed(looked) ? found : !found); // unsaved new records count too
        QVERIFY(fixture.context().save());
        std::unique_ptr<Context> other = fixture.store().newContext(false);
        QCOMPARE(other->taskNamed(looked) != nullptr, found);
    }

    // Name lookups see pending projects under their current name only, and forget them once dropped.
    void lookupsFollowRenamesAndRollbacks()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Project *stored = context.findOrCreateProject(QStringLiteral("Acme"));
        QVERIFY(context.save());

        Project *fresh = context.findOrCreateProject(QStringLiteral("Beta"));
        fresh->setName(QStringLiteral("Gamma"));
        stored->setName(QStringLiteral("Delta"));
        QCOMPARE(context.projectNamed(QStringLiteral("gamma")), fresh);
        QCOMPARE(context.projectNamed(QStringLiteral("Beta")), nullptr);
        QCOMPARE(context.projectNamed(QStringLiteral("DELTA")), stored);
        QCOMPARE(context.projectNamed(QStringLiteral("Acme")), nullptr);
        // A new project may take the name the stored one gave up.
        Project *reused = context.findOrCreateProject(QStringLiteral("Acme"));
        QVERIFY(reused != stored);

        context.rollback();
        QCOMPARE(context.projectNamed(QStringLiteral("Gamma")), nullptr);
        QCOMPARE(context.projectNamed(QStringLiteral("Acme")), stored);
        QCOMPARE(context.findOrCreateProject(QStringLiteral("gamma"))->name(), QStringLiteral("gamma"));
        QVERIFY(context.save());
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 2);
    }

    // One save of many activities naming the same few tags makes each tag once.
    void largeSaveMakesEachTagOnce()
    {
        StoreFixture fixture;
        for (int i = 0; i < 300; ++i)
            StoreFixture::makeActivity(fixture.context(),
                                       QStringLiteral("work @P%1 #t%2 #T%3").arg(i % 7).arg(i % 5).arg(i % 3),
                                       nine.addSecs(i * 60), nine.addSecs(i * 60 + 30));
        QVERIFY(fixture.context().save());
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 7);
        QCOMPARE(fixture.rowCount(QStringLiteral("task")), 5);
        // #tN and #TN name the same task when i % 5 == i % 3, that is for i % 15 in {0, 1, 2}.
        QCOMPARE(fixture.rowCount(QStringLiteral("activity_task")), 300 * 2 - 60);
    }

    void deletingAnActivityKeepsItsProjectAndTasks()
    {
        StoreFixture fixture;
        Activity *activity = StoreFixture::saveActivity(fixture.context(), QStringLiteral("a @Acme #xx #yy"),
                                                        nine, nine.addSecs(5));
        fixture.context().deleteObject(activity);
        QVERIFY(fixture.context().save());
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 0);
        QCOMPARE(fixture.rowCount(QStringLiteral("activity_task")), 0);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 1);
        QCOMPARE(fixture.rowCount(QStringLiteral("task")), 2);
    }

    void otherEntitiesRoundTrip()
    {
        StoreFixture fixture;
        PDSyncFile *file = fixture.context().insertSyncFile();
        file->setName(QStringLiteral("2016-03"));
        file->setRevision(QStringLiteral("1:abc"));
        file->setActivityHash(QStringLiteral("d41d8cd9"));
        DeletedActivity *tombstone = fixture.context().insertDeletedActivity();
        tombstone->setUid(QStringLiteral("UID"));
        tombstone->setDeletedAt(nine);
        QVERIFY(fixture.context().save());
        fixture.reopen();
        PDSyncFile *reloaded = fixture.context().fetch<PDSyncFile>().value(0);
        QVERIFY(reloaded);
        QCOMPARE(reloaded->year(), 2016);
        QCOMPARE(reloaded->month(), 3);
        QVERIFY(reloaded->hasRevisionPrefix(QStringLiteral("1")));
        QVERIFY(!reloaded->hasRevisionPrefix(QStringLiteral("1:")));
        QVERIFY(!reloaded->hasRevisionPrefix(QString()));
        QCOMPARE(reloaded->activityHash(), QStringLiteral("d41d8cd9"));
        const auto tombstones =
            fixture.context().fetch<DeletedActivity>({QStringLiteral("is_synced = ?"), {false}, {}, -1});
        QCOMPARE(tombstones.size(), 1);
        QCOMPARE(tombstones.at(0)->deletedAt(), nine);
    }

private:
    static void makeBadFile(const QString &path, const QByteArray &kind)
    {
        if (kind == "text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("activity,from,to\nWrite offer,2016-03-14,2016-03-15\n");
            return;
        }
        if (kind == "foreign") {
            SQLite::Database database(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            database.exec("CREATE TABLE notes (body TEXT); PRAGMA user_version = 5;");
            return;
        }
        {
            FakeClock clock;
            std::unique_ptr<ObjectStore> store = ObjectStore::open(path, clock);
            QVERIFY(store);
            for (int i = 0; i < 300; ++i)
                StoreFixture::makeActivity(store->mainContext(),
                                           QStringLiteral("activity %1 @Project%1 #task%1").arg(i),
                                           nine.addSecs(i * 60), nine.addSecs(i * 60 + 30));
            QVERIFY(store->mainContext().save());
        }
        if (kind == "v6" || kind == "v4") {
            SQLite::Database database(path.toStdString(), SQLite::OPEN_READWRITE);
            database.exec(kind == "v6" ? "PRAGMA user_version = 6" : "PRAGMA user_version = 4");
            database.exec("PRAGMA journal_mode = DELETE");
            return;
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (kind == "truncated") {
            QVERIFY(file.resize(file.size() / 2));
            return;
        }
        // Overwrite the inside of two pages beyond the first with garbage.
        QVERIFY(file.size() > 4 * 4096);
        file.seek(2 * 4096);
        file.write(QByteArray(2 * 4096, '\x5a'));
    }
};

QTEST_GUILESS_MAIN(TestObjectStore)
#include "tst_ObjectStore.moc"
