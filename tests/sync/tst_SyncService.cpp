#include "InMemoryBackend.h"
#include "PDSyncService.h"
#include "SyncComputer.h"
#include "SyncJson.h"
#include "TestHome.h"

#include "Activity.h"
#include "DeletedActivity.h"
#include "PDSyncFile.h"
#include "PdSettings.h"
#include "Project.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using Operation = InMemoryRemote::Operation;

namespace {

const QString uidA = QStringLiteral("AAAAAAAA-0000-4000-8000-000000000001");
const QString uidB = QStringLiteral("BBBBBBBB-0000-4000-8000-000000000002");

QDateTime day(int month, int dayOfMonth, int hour = 10, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2016, month, dayOfMonth), QTime(hour, minute, second));
}

SyncActivityRecord record(const QString &uid, const QString &text, const QDateTime &from,
                          const QDateTime &modified)
{
    return {uid, text, from, from.addSecs(3600), from, modified, false};
}

QByteArray deletedJson(const QList<std::pair<QString, QString>> &entries)
{
    QJsonArray array;
    for (const auto &[uid, deletedAt] : entries)
        array.append(QJsonObject{{"uid", uid}, {"deleted_at", deletedAt}});
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

int indexOfLine(const QStringList &log, const QString &line)
{
    return static_cast<int>(log.indexOf(line));
}

} // namespace

class TestSyncService : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakeClock> m_clock;
    std::shared_ptr<InMemoryRemote> m_remote;
    std::unique_ptr<SyncComputer> m_computer;

    SyncComputer &computer() { return *m_computer; }
    QList<PDSyncFile *> records()
    {
        return computer().context().fetch<PDSyncFile>({QString(), {}, "name", -1});
    }
    QStringList recordNames()
    {
        QStringList names;
        for (const PDSyncFile *file : records())
            names.append(file->name());
        return names;
    }

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_clock = std::make_unique<FakeClock>(day(3, 14, 9));
        m_remote = std::make_shared<InMemoryRemote>();
        m_computer = std::make_unique<SyncComputer>(m_folder->path(), m_remote, *m_clock);
    }
    void cleanup()
    {
        m_computer.reset();
        m_remote.reset();
    }

    void defaultCacheFolderIsBelowXdgCacheHome()
    {
        TestHome::reset();
        QCOMPARE(PDSyncService::defaultCacheFolder(QStringLiteral("dropbox")),
                 TestHome::cacheHome() + QStringLiteral("/Pendulo/dropbox-sync"));
        // an unconfigured run uses it and creates it
        SyncComputer::Result result;
        {
            PDSyncService service(std::make_shared<InMemoryBackend>(m_remote), {},
                                  computer().store().newContext(true));
            QCOMPARE(service.localCacheFolder(),
                     PDSyncService::defaultCacheFolder(QStringLiteral("dropbox")));
            QSignalSpy finish(&service, &PDSyncService::syncServiceFinish);
            service.sync();
            QVERIFY(finish.wait(10000));
        }
        QVERIFY(QFileInfo(TestHome::cacheHome() + QStringLiteral("/Pendulo/dropbox-sync")).isDir());
    }

    void firstSyncWritesOneFilePerMonth()
    {
        Activity *january =
            computer().addActivity(QStringLiteral("Plan @Acme"), day(1, 31, 23, 30), day(2, 1, 0, 30));
        computer().addActivity(QStringLiteral("Write offer @Acme #sales"), day(3, 5), day(3, 5, 11));
        m_clock->advanceSecs(5);
        const SyncComputer::Result result = computer().sync();
        QVERIFY2(result.completed(), qPrintable(result.log.join('\n')));
        QCOMPARE(result.message, QStringLiteral("Sync operation completed!"));
        QCOMPARE(result.finishSignals, 1);
        QVERIFY(result.log.contains(QStringLiteral("Sync completed!")));

        // the activity crossing into February belongs to January only, and February stays empty
        QCOMPARE(m_remote->fileNames(), (QStringList{"2016-01.json", "2016-03.json"}));
        const SyncJson::MonthFile janFile = SyncJson::readMonthFile(*m_remote->content("2016-01.json"));
        QVERIFY(janFile.ok());
        QCOMPARE(janFile.activities.size(), 1);
        QCOMPARE(janFile.activities.first().uid, january->uid());
        QCOMPARE(m_remote->operationCount(Operation::Upload), 2);

        // each record holds the new revision with the prefix
        QCOMPARE(recordNames(), (QStringList{"2016-01", "2016-03"}));
        for (const PDSyncFile *file : records())
            QCOMPARE(file->revision(),
                     QStringLiteral("dropbox:") + m_remote->revision(file->name() + ".json"));
        // the cache holds exactly the files of the records
        QCOMPARE(QDir(computer().cacheFolder()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"2016-01.json", "2016-03.json"}));
        QCOMPARE(computer().settings().dropboxSyncDate(), m_clock->now());
        QVERIFY(computer().backend().savedCursor().has_value());
    }

    void unchangedSecondRunTransfersNothing()
    {
        computer().addActivity(QStringLiteral("Write offer"), day(3, 5), day(3, 5, 11));
        QVERIFY(computer().sync().completed());
        m_remote->resetCounts();
        const SyncComputer::Result second = computer().sync();
        QVERIFY(second.completed());
        QVERIFY(second.log.contains(QStringLiteral("Nothing changed for 2016-03. Skipping.")));
        // its own upload comes back in the change list and is recognised
        QVERIFY(second.log.contains(QStringLiteral("Nothing to update, skipping file 2016-03")));
        QCOMPARE(m_remote->operationCount(Operation::Download), 0);
        QCOMPARE(m_remote->operationCount(Operation::Upload), 0);
        QCOMPARE(m_remote->operationCount(Operation::Delete), 0);
    }

    void emptyStoreCompletesWithoutFiles()
    {
        const SyncComputer::Result result = computer().sync();
        QVERIFY(result.completed());
        QVERIFY(m_remote->fileNames().isEmpty());
        QVERIFY(!result.log.contains(QStringLiteral("Cleaning up files ...")));
    }

    void runningActivityIsNeverExported()
    {
        Activity *done = computer().addActivity(QStringLiteral("Done"), day(3, 5), day(3, 5, 11));
        Activity *running = computer().addActivity(QStringLiteral("Running"), day(3, 14, 8), day(3, 14, 9));
        Activity *aloneInApril = computer().addActivity(QStringLiteral("Early"), day(4, 1), day(4, 1, 11));
        computer().currentActivity = running->objectId();
        QVERIFY(computer().sync().completed());
        const SyncJson::MonthFile march = SyncJson::readMonthFile(*m_remote->content("2016-03.json"));
        QCOMPARE(march.activities.size(), 1);
        QCOMPARE(march.activities.first().uid, done->uid());

        // while it runs, its changes do not make the month change
        computer().edit(running->uid(), [](Activity *a) { a->setTimeTo(day(3, 14, 10)); });
        m_remote->resetCounts();
        const SyncComputer::Result second = computer().sync();
        QVERIFY(second.log.contains(QStringLiteral("Nothing changed for 2016-03. Skipping.")));
        QCOMPARE(m_remote->operationCount(Operation::Upload), 0);

        // the running activity alone in its month: the month is visited, nothing is written, and the
        // clean-up does not take it for empty
        computer().currentActivity = aloneInApril->objectId();
        const SyncComputer::Result third = computer().sync();
        QVERIFY(third.completed());
        QVERIFY(third.log.contains(QStringLiteral("Number of activities for: 2016-04 0")));
        computer().currentActivity = {};
        QVERIFY(computer().sync().completed());
        QCOMPARE(SyncJson::readMonthFile(*m_remote->content("2016-03.json")).activities.size(), 2);
    }

    void activityInTheLastSecondFractionIsExported()
    {
        // starts within the fraction of the month's last whole second
        computer().addActivity(QStringLiteral("Midnight"), day(3, 31, 23, 59, 59).addMSecs(500),
                               day(4, 1, 0, 30));
        QVERIFY(computer().sync().completed());
        QCOMPARE(m_remote->fileNames(), QStringList{"2016-03.json"});
        QCOMPARE(SyncJson::readMonthFile(*m_remote->content("2016-03.json")).activities.size(), 1);
    }

    void monthMergeRule_data()
    {
        QTest::addColumn<int>("remoteOffsetMs");
        QTest::addColumn<bool>("remoteWins");
        QTest::addColumn<bool>("localUploaded");
        // a tie keeps the local copy, and as the month hash is the same, the remote file stays as it is
        QTest::newRow("same second") << 0 << false << false;
        QTest::newRow("half a second later, same second") << 500 << false << false;
        QTest::newRow("one second later") << 1000 << true << false;
        QTest::newRow("earlier") << -5000 << false << true;
    }
    void monthMergeRule()
    {
        QFETCH(int, remoteOffsetMs);
        QFETCH(bool, remoteWins);
        QFETCH(bool, localUploaded);
        Activity *local = computer().addActivity(QStringLiteral("Local @Here"), day(3, 5), day(3, 5, 11));
        const QString uid = local->uid();
        const QDateTime localModified = day(3, 14, 9);
        computer().edit(uid, [](Activity *) {});
        QCOMPARE(local->modifiedAt(), localModified);
        SyncActivityRecord remote{uid,       QStringLiteral("Remote @There"),        day(3, 6), day(3, 6, 12),
                                  day(2, 1), localModified.addMSecs(remoteOffsetMs), true};
        // written as whole seconds, as a real file holds them
        remote.modifiedAt = QDateTime::fromSecsSinceEpoch(remote.modifiedAt.toSecsSinceEpoch());
        m_remote->putFile(QStringLiteral("2016-03.json"),
                          SyncJson::monthFileJson(QList<SyncActivityRecord>{remote}));
        QVERIFY(computer().sync().completed());
        Activity *merged = computer().activity(uid);
        QVERIFY(merged);
        QCOMPARE(merged->text(), remoteWins ? remote.text : QStringLiteral("Local @Here"));
        QCOMPARE(merged->timeFrom(), remoteWins ? remote.timeFrom : day(3, 5));
        QCOMPARE(merged->createdAt(), remoteWins ? remote.createdAt : day(3, 14, 9));
        QCOMPARE(merged->isInvoiced(), remoteWins);
        QCOMPARE(merged->project() ? merged->project()->name() : QString(),
                 remoteWins ? QStringLiteral("There") : QStringLiteral("Here"));
        const SyncJson::MonthFile written = SyncJson::readMonthFile(*m_remote->content("2016-03.json"));
        QCOMPARE(written.activities.first().text,
                 localUploaded ? QStringLiteral("Local @Here") : remote.text);
    }

    void tombstonesInTheMonthMerge_data()
    {
        QTest::addColumn<int>("modifiedAfterDeletion");
        QTest::addColumn<bool>("applied");
        QTest::newRow("same second as the deletion") << 0 << false;
        QTest::newRow("before the deletion") << -10 << false;
        QTest::newRow("one second after") << 1 << true;
    }
    void tombstonesInTheMonthMerge()
    {
        QFETCH(int, modifiedAfterDeletion);
        QFETCH(bool, applied);
        Activity *local = computer().addActivity(QStringLiteral("Gone"), day(3, 5), day(3, 5, 11));
        const QString uid = local->uid();
        computer().remove(uid); // deleted at 09:00:00
        const SyncActivityRecord remote = record(uid, QStringLiteral("Edited elsewhere"), day(3, 5),
                                                 day(3, 14, 9).addSecs(modifiedAfterDeletion));
        m_remote->putFile(QStringLiteral("2016-03.json"),
                          SyncJson::monthFileJson(QList<SyncActivityRecord>{remote}));
        QVERIFY(computer().sync().completed());
        QCOMPARE(computer().activity(uid) != nullptr, applied);
        QCOMPARE(computer().context().count(EntityType::DeletedActivity), applied ? 0 : 1);
    }

    void deletedIndexMerge_data()
    {
        QTest::addColumn<QString>("remoteDeletedAt");
        QTest::addColumn<int>("localModifiedSecond");
        QTest::addColumn<int>("localTombstoneSecond"); // -1: none
        QTest::addColumn<bool>("activityStays");
        QTest::addColumn<QString>("tombstoneAt"); // empty: no tombstone afterwards
        QTest::newRow("deleted at the modification second")
            << "2016-03-14T10:00:05" << 5 << -1 << false << "2016-03-14T10:00:05";
        QTest::newRow("modified one second later") << "2016-03-14T10:00:05" << 6 << -1 << true << "";
        QTest::newRow("later local tombstone wins")
            << "2016-03-14T10:00:05" << 1 << 7 << false << "2016-03-14T10:00:07";
        QTest::newRow("earlier local tombstone replaced")
            << "2016-03-14T10:00:05" << 1 << 3 << false << "2016-03-14T10:00:05";
    }
    void deletedIndexMerge()
    {
        QFETCH(QString, remoteDeletedAt);
        QFETCH(int, localModifiedSecond);
        QFETCH(int, localTombstoneSecond);
        QFETCH(bool, activityStays);
        QFETCH(QString, tombstoneAt);
        m_clock->setNow(day(3, 14, 10, 0, localModifiedSecond));
        Activity *local = computer().addActivity(QStringLiteral("Maybe"), day(3, 5), day(3, 5, 11));
        const QString uid = local->uid();
        if (localTombstoneSecond >= 0) {
            // a tombstone of a copy deleted here (the activity itself came back from elsewhere)
            DeletedActivity *tombstone = computer().context().insertDeletedActivity();
            tombstone->setUid(uid);
            tombstone->setDeletedAt(day(3, 14, 10, 0, localTombstoneSecond));
            QVERIFY(computer().context().save());
        }
        m_clock->setNow(day(3, 14, 11));
        m_remote->putFile(QStringLiteral("deleted.json"), deletedJson({{uid, remoteDeletedAt}}));
        const SyncComputer::Result result = computer().sync();
        QVERIFY2(result.completed(), qPrintable(result.log.join('\n')));
        QVERIFY(result.log.contains(QStringLiteral("Processing deleted activities...")));
        QCOMPARE(computer().activity(uid) != nullptr, activityStays);
        const QList<DeletedActivity *> tombstones = computer().context().fetch<DeletedActivity>();
        QCOMPARE(tombstones.size(), tombstoneAt.isEmpty() ? 0 : 1);
        if (!tombstoneAt.isEmpty()) {
            QCOMPARE(tombstones.first()->deletedAt(), QDateTime::fromString(tombstoneAt, Qt::ISODate));
            QVERIFY(tombstones.first()->isSynced());
        }
    }

    void deletedIndexDownloadDecision()
    {
        Activity *kept = computer().addActivity(QStringLiteral("Kept"), day(3, 5), day(3, 5, 11));
        m_remote->putFile(QStringLiteral("deleted.json"), deletedJson({}));
        QVERIFY(computer().sync().completed());
        QCOMPARE(m_remote->operationCount(Operation::Download), 1);
        // listed with the recorded revision (a full listing) and no unsynced tombstone: not downloaded
        m_remote->resetCounts();
        computer().backend().deleteSavepoint();
        const SyncComputer::Result quiet = computer().sync();
        QVERIFY(quiet.completed());
        QCOMPARE(m_remote->operationCount(Operation::Download), 0);
        QCOMPARE(m_remote->operationCount(Operation::Upload), 0);
        // the same with an unsynced local tombstone: downloaded, then uploaded with it
        computer().remove(kept->uid());
        computer().backend().deleteSavepoint();
        QVERIFY(computer().sync().completed());
        QCOMPARE(m_remote->operationCount(Operation::Download), 1);
        const SyncJson::DeletedIndex uploaded =
            SyncJson::readDeletedIndex(*m_remote->content("deleted.json"));
        QCOMPARE(uploaded.entries.size(), 1);
        QCOMPARE(uploaded.entries.first().uid(), kept->uid());
        QVERIFY(computer().context().fetch<DeletedActivity>().first()->isSynced());
        m_remote->resetCounts();
        QVERIFY(computer().sync().completed());
        QCOMPARE(m_remote->operationCount(Operation::Upload), 0);
    }

    void withoutRemoteIndexLocalTombstonesCreateIt()
    {
        Activity *gone = computer().addActivity(QStringLiteral("Gone"), day(3, 5), day(3, 5, 11));
        computer().addActivity(QStringLiteral("Kept"), day(3, 6), day(3, 6, 11));
        computer().remove(gone->uid());
        const SyncComputer::Result result = computer().sync();
        QVERIFY(result.completed());
        QCOMPARE(m_remote->operationCount(Operation::Download), 0);
        QVERIFY(m_remote->content("deleted.json").has_value());
        QVERIFY(recordNames().contains(QStringLiteral("deleted")));
    }

    void badDeletedIndexEntriesYieldNothing()
    {
        Activity *kept = computer().addActivity(QStringLiteral("Kept"), day(3, 5), day(3, 5, 11));
        QVERIFY(computer().sync().completed());
        m_remote->putFile(QStringLiteral("deleted.json"),
                          "[{\"uid\":\"" + kept->uid().toUtf8() +
                              "\",\"deleted_at\":\"2020-01-01T00:00:00\"},{\"uid\":\"X\"}]");
        const SyncComputer::Result result = computer().sync();
        QVERIFY(result.completed());
        QVERIFY(
            result.log.contains(QStringLiteral("Invalid deleted.json entity (uid: X; deleted_at: (null)).")));
        QVERIFY(computer().activity(kept->uid()));
        // recorded with the empty hash, so the local (empty) set replaces the remote file
        QCOMPARE(SyncJson::readDeletedIndex(*m_remote->content("deleted.json")).entries.size(), 0);
    }

    void badMonthFilesEndTheRunAndSaveNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QJsonArray tenth;
        for (int i = 0; i < 10; ++i) {
            const SyncActivityRecord r = record(
                QStringLiteral("U%1").arg(i), QStringLiteral("Item %1").arg(i), day(3, 1 + i), day(3, 14, 8));
            tenth.append(QJsonDocument::fromJson(SyncJson::monthFileJson(QList<SyncActivityRecord>{r}))
                             .array()
                             .first());
        }
        QJsonObject broken = tenth.last().toObject();
        broken.remove("time_to");
        tenth.replace(9, broken);
        QTest::newRow("tenth lacks time_to")
            << QJsonDocument(tenth).toJson(QJsonDocument::Compact) << "Invalid data for activity(2)!";
        QTest::newRow("invalid UTF-8")
            << QByteArray("[{\"uid\":\"\xc3\x28\"}]") << "Failed to load json file. ";
        QTest::newRow("deep nesting")
            << (QByteArray(100000, '[') + QByteArray(100000, ']')) << "Failed to load json file. ";
        QTest::newRow("not an array") << QByteArray("{\"uid\":1}") << "Failed to load json file. ";
        QTest::newRow("zero length") << SyncJson::monthFileJson(QList<SyncActivityRecord>{
                                            {QStringLiteral("Z"), QStringLiteral("Zero"), day(3, 2),
                                             day(3, 2), day(3, 2), day(3, 2), false}})
                                     << "Local storage error (25): ";
    }
    void badMonthFilesEndTheRunAndSaveNothing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        // January merges fine before March fails: January stays merged
        m_remote->putFile(QStringLiteral("2016-01.json"),
                          SyncJson::monthFileJson(QList<SyncActivityRecord>{
                              record(uidA, QStringLiteral("January"), day(1, 5), day(1, 6))}));
        m_remote->putFile(QStringLiteral("2016-03.json"), content);
        const SyncComputer::Result result = computer().sync();
        QCOMPARE(result.status, PDSyncService::Failed);
        QCOMPARE(result.errorSignals, 1);
        QCOMPARE(result.message, QStringLiteral("Failed to merge data from file: 2016-03"));
        const auto specific = std::find_if(result.log.begin(), result.log.end(),
                                           [&](const QString &line) { return line.startsWith(message); });
        QVERIFY2(specific != result.log.end(), qPrintable(result.log.join('\n')));
        QVERIFY(indexOfLine(result.log, "Error occurred") < indexOfLine(result.log, *specific));
        QCOMPARE(computer().context().count(EntityType::Activity), 1);
        QVERIFY(computer().activity(uidA));
        QCOMPARE(recordNames(), QStringList{"2016-01"});
        // the cursor was not saved: the next run sees the same changes again
        QVERIFY(!computer().backend().savedCursor().has_value());
        QVERIFY(!m_remote->content("2016-01.json")->contains("March"));
    }

    void monthsOutsideTheCalendarAreIgnored()
    {
        m_remote->putFile(QStringLiteral("2016-13.json"), "garbage");
        m_remote->putFile(QStringLiteral("2016-00.json"), "garbage");
        m_remote->putFile(QStringLiteral("notes.txt"), "hello");
        // a record of such a name (written by an old version) is skipped as well
        PDSyncFile *odd = computer().context().insertSyncFile();
        odd->setName(QStringLiteral("2016-13"));
        odd->setRevision(QStringLiteral("dropbox:1"));
        QVERIFY(computer().context().save());
        computer().addActivity(QStringLiteral("Real"), day(3, 5), day(3, 5, 11));
        const SyncComputer::Result result = computer().sync();
        QVERIFY2(result.completed(), qPrintable(result.log.join('\n')));
        QCOMPARE(m_remote->operationCount(Operation::Download), 0);
        // the full listing has no file for the odd record: it goes
        QCOMPARE(recordNames(), QStringList{"2016-03"});
    }

    void foreignRecordsAreDropped()
    {
        for (const QString &revision : {QStringLiteral("box:1"), QStringLiteral("plain")}) {
            PDSyncFile *foreign = computer().context().insertSyncFile();
            foreign->setName(revision == "plain" ? QStringLiteral("2016-02") : QStringLiteral("2016-01"));
            foreign->setRevision(revision);
        }
        QVERIFY(computer().context().save());
        QVERIFY(computer().sync().completed());
        QVERIFY(recordNames().isEmpty());
    }

    void remoteFileDeletions()
    {
        computer().addActivity(QStringLiteral("March"), day(3, 5), day(3, 5, 11));
        computer().addActivity(QStringLiteral("April"), day(4, 5), day(4, 5, 11));
        QVERIFY(computer().sync().completed());
        const QString oldRevision = m_remote->revision("2016-03.json");
        // someone removed March remotely: the record goes and the month is written again as a new file
        m_remote->removeFile(QStringLiteral("2016-03.json"));
        QVERIFY(computer().sync().completed());
        QVERIFY(m_remote->content("2016-03.json").has_value());
        QVERIFY(m_remote->revision("2016-03.json") != oldRevision);
        QCOMPARE(computer().context().count(EntityType::Activity), 2);

        // a full listing without April removes its record and cached copy, not its activities
        m_remote->removeFile(QStringLiteral("2016-04.json"));
        computer().backend().deleteSavepoint();
        QFile::copy(computer().cacheFolder() + "/2016-03.json", computer().cacheFolder() + "/stray.json");
        const SyncComputer::Result full = computer().sync();
        QVERIFY(full.completed());
        QCOMPARE(computer().context().count(EntityType::Activity), 2);
        // April is written again because it still holds an activity
        QVERIFY(m_remote->content("2016-04.json").has_value());
        QVERIFY(!QFile::exists(computer().cacheFolder() + "/stray.json"));
    }

    void emptiedMonthIsDeletedRemotely()
    {
        Activity *only = computer().addActivity(QStringLiteral("Only"), day(3, 5), day(3, 5, 11));
        computer().addActivity(QStringLiteral("April"), day(4, 5), day(4, 5, 11));
        QVERIFY(computer().sync().completed());
        computer().remove(only->uid());
        m_remote->resetCounts();
        const SyncComputer::Result result = computer().sync();
        QVERIFY(result.completed());
        QCOMPARE(m_remote->fileNames(), (QStringList{"2016-04.json", "deleted.json"}));
        QCOMPARE(m_remote->operationCount(Operation::Delete), 1);
        QCOMPARE(recordNames(), (QStringList{"2016-04", "deleted"}));
        QVERIFY(!QFile::exists(computer().cacheFolder() + "/2016-03.json"));
    }

    void recordedMonthWithoutActivitiesIsDeletedRemotely()
    {
        computer().addActivity(QStringLiteral("March"), day(3, 5), day(3, 5, 11));
        QVERIFY(computer().sync().completed());
        // a record of a month without activities
        const QString revision = m_remote->putFile(QStringLiteral("2015-12.json"), "[]");
        PDSyncFile *december = computer().context().insertSyncFile();
        december->setName(QStringLiteral("2015-12"));
        december->setRevision(QStringLiteral("dropbox:") + revision);
        QVERIFY(computer().context().save());
        m_remote->resetCounts();
        const SyncComputer::Result result = computer().sync();
        QVERIFY2(result.completed(), qPrintable(result.log.join('\n')));
        QVERIFY(!m_remote->content("2015-12.json").has_value());
        QCOMPARE(recordNames(), QStringList{"2016-03"});
    }

    void cachePathThatIsAFile()
    {
        QFile blocker(computer().cacheFolder());
        QDir().mkpath(QFileInfo(computer().cacheFolder()).path());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const SyncComputer::Result result = computer().sync();
        QCOMPARE(result.status, PDSyncService::Failed);
        QCOMPARE(result.message,
                 QStringLiteral("Cache path is not a directory: \"%1\"!").arg(computer().cacheFolder()));
        QCOMPARE(m_remote->operationCount(Operation::Initialize), 0);
    }

    void backendFailuresEndTheRun_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("initialize") << int(Operation::Initialize) << "";
        QTest::newRow("fetch") << int(Operation::Fetch) << "";
        QTest::newRow("download month") << int(Operation::Download) << "2016-01.json";
        QTest::newRow("download deleted index") << int(Operation::Download) << "deleted.json";
        QTest::newRow("upload deleted index") << int(Operation::Upload) << "deleted.json";
        QTest::newRow("upload month") << int(Operation::Upload) << "2016-03.json";
        QTest::newRow("delete emptied month") << int(Operation::Delete) << "2016-02.json";
    }
    void backendFailuresEndTheRun()
    {
        QFETCH(int, operation);
        QFETCH(QString, fileName);
        // remote: January from elsewhere, a deleted index; local: February record to empty, March new
        m_remote->putFile(QStringLiteral("2016-01.json"),
                          SyncJson::monthFileJson(
                              QList<SyncActivityRecord>{record(uidA, "January", day(1, 5), day(1, 6))}));
        m_remote->putFile(QStringLiteral("deleted.json"), deletedJson({}));
        Activity *february = computer().addActivity(QStringLiteral("February"), day(2, 5), day(2, 5, 11));
        QVERIFY(computer().sync().completed());
        computer().remove(february->uid());
        computer().addActivity(QStringLiteral("March"), day(3, 5), day(3, 5, 11));
        m_remote->putFile(QStringLiteral("2016-01.json"),
                          SyncJson::monthFileJson(
                              QList<SyncActivityRecord>{record(uidA, "January 2", day(1, 5), day(3, 1))}));
        m_remote->putFile(QStringLiteral("deleted.json"), deletedJson({}));
        const QStringList before = computer().snapshot();

        m_remote->injectFailure(static_cast<Operation>(operation), QStringLiteral("Remote says no"),
                                fileName);
        const SyncComputer::Result failed = computer().sync();
        QCOMPARE(failed.status, PDSyncService::Failed);
        QCOMPARE(failed.message, QStringLiteral("Remote says no"));
        QCOMPARE(failed.errorSignals, 1);
        QCOMPARE(failed.finishSignals, 0);
        QVERIFY(failed.log.contains(QStringLiteral("Error occurred")));
        QVERIFY(!failed.log.contains(QStringLiteral("Sync completed!")));

        // the next run repairs everything
        const SyncComputer::Result next = computer().sync();
        QVERIFY2(next.completed(), qPrintable(next.log.join('\n')));
        QVERIFY(computer().snapshot() != before);
        QCOMPARE(computer().activity(uidA)->text(), QStringLiteral("January 2"));
        QCOMPARE(m_remote->fileNames(), (QStringList{"2016-01.json", "2016-03.json", "deleted.json"}));
        m_remote->resetCounts();
        const SyncComputer::Result quiet = computer().sync();
        QVERIFY(quiet.completed());
        QCOMPARE(m_remote->operationCount(Operation::Upload) + m_remote->operationCount(Operation::Download),
                 0);
    }

    void completionsOnTheSameThreadWork()
    {
        SyncComputer immediate(m_folder->filePath("immediate"), m_remote, *m_clock,
                               InMemoryBackend::Delivery::SameThread);
        immediate.addActivity(QStringLiteral("Now"), day(3, 5), day(3, 5, 11));
        QVERIFY(immediate.sync().completed());
        m_remote->injectFailure(Operation::Fetch, QStringLiteral("offline"));
        const SyncComputer::Result failed = immediate.sync();
        QCOMPARE(failed.status, PDSyncService::Failed);
        QCOMPARE(failed.message, QStringLiteral("offline"));
    }

    void cancelWhileDownloading()
    {
        for (int month = 1; month <= 3; ++month) {
            m_remote->putFile(QStringLiteral("2016-%1.json").arg(month, 2, 10, QLatin1Char('0')),
                              SyncJson::monthFileJson(QList<SyncActivityRecord>{record(
                                  QStringLiteral("U%1").arg(month), "Remote", day(month, 5), day(3, 1))}));
        }
        computer().addActivity(QStringLiteral("Local"), day(4, 5), day(4, 5, 11));
        const SyncComputer::Result result = computer().sync([this](PDSyncService &service) {
            m_remote->setOperationHook([&service](Operation operation, const QString &) {
                if (operation == Operation::Download)
                    service.cancel();
            });
        });
        m_remote->setOperationHook({});
        QCOMPARE(result.status, PDSyncService::Cancelled);
        QCOMPARE(result.cancelSignals, 1);
        QCOMPARE(result.errorSignals + result.finishSignals, 0);
        QCOMPARE(result.message, QStringLiteral("Sync. operation cancelled"));
        QVERIFY(result.log.contains(QStringLiteral("Cancelling sync operation...")));
        // the download under way finished and was merged; nothing after it ran
        QCOMPARE(m_remote->operationCount(Operation::Download), 1);
        QCOMPARE(m_remote->operationCount(Operation::Upload), 0);
        QCOMPARE(computer().context().count(EntityType::Activity), 2);
        QVERIFY(!computer().backend().savedCursor().has_value());

        const SyncComputer::Result next = computer().sync();
        QVERIFY(next.completed());
        QCOMPARE(computer().context().count(EntityType::Activity), 4);
    }

    void cancelBeforeStartOnlyTellsObservers()
    {
        PDSyncService service(std::make_shared<InMemoryBackend>(m_remote), {},
                              computer().store().newContext(true));
        QSignalSpy cancelled(&service, &PDSyncService::syncServiceCancelled);
        service.cancel();
        QCOMPARE(cancelled.count(), 1); // before cancel() returned
        QCOMPARE(service.syncStatus(), PDSyncService::NotStarted);
        QCOMPARE(service.activityLog(), QStringLiteral("Cancelling sync operation..."));
    }

    void destroyingARunningServiceIsSafe()
    {
        computer().addActivity(QStringLiteral("Local"), day(4, 5), day(4, 5, 11));
        {
            PDSyncService service(std::make_shared<InMemoryBackend>(m_remote), {},
                                  computer().store().newContext(true));
            service.setLocalCacheFolder(computer().cacheFolder());
            service.sync();
        }
        // completions that arrive afterwards go nowhere; the store still works
        QTest::qWait(50);
        QVERIFY(computer().sync().completed());
    }
};

QTEST_GUILESS_MAIN(TestSyncService)
#include "tst_SyncService.moc"
