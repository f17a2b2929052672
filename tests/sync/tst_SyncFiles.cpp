#include "ActivityHashItem.h"
#include "DeletedActivity.h"
#include "PDSyncFile.h"
#include "PDTmpSyncFile.h"
#include "SyncDate.h"
#include "SyncJson.h"

#include "Activity.h"
#include "fakes/FakeClock.h"
#include "store/ObjectStore.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString uidA = QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000A");
const QString uidB = QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000B");

QDateTime at(int day, int hour, int minute, int second, int msec = 0)
{
    return QDateTime(QDate(2016, 3, day), QTime(hour, minute, second, msec));
}

QJsonObject element(const QString &uid = uidA)
{
    return QJsonObject{{"uid", uid},
                       {"text", "Write offer @Acme #sales"},
                       {"time_from", "2016-03-05T14:07:09"},
                       {"time_to", "2016-03-05T15:00:00"},
                       {"created_at", "2016-03-05T14:07:09"},
                       {"modified_at", "2016-03-05T15:00:00"},
                       {"is_invoiced", false}};
}

QByteArray json(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

const QString emptyMd5 = QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");

} // namespace

class TestSyncFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recognisesRemoteNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("recognised");
        QTest::addColumn<bool>("deletedIndex");
        QTest::addColumn<qint64>("year");
        QTest::addColumn<qint64>("month");

        QTest::newRow("month in folder") << "/sync/2016-03.json"
                                         << "sync" << true << false << 2016LL << 3LL;
        QTest::newRow("no leading slash") << "sync/2016-12.json"
                                          << "sync" << true << false << 2016LL << 12LL;
        QTest::newRow("no folder asked") << "2016-03.json" << QString() << true << false << 2016LL << 3LL;
        QTest::newRow("folder ignored when none asked")
            << "/a/b/2016-03.json" << QString() << true << false << 2016LL << 3LL;
        QTest::newRow("other case folder") << "/Sync/2016-03.json"
                                           << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("nested folder") << "/old/sync/2016-03.json"
                                       << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("no folder but one asked") << "2016-03.json"
                                                 << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("one-digit month") << "2016-3.json" << QString() << false << false << 0LL << 0LL;
        QTest::newRow("upper-case extension") << "2016-03.JSON" << QString() << false << false << 0LL << 0LL;
        QTest::newRow("two-digit year") << "16-03.json" << QString() << false << false << 0LL << 0LL;
        QTest::newRow("month 13") << "/sync/2016-13.json"
                                  << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("month 00") << "/sync/2016-00.json"
                                  << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("year 0000") << "/sync/0000-05.json"
                                   << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("deleted index") << "/sync/deleted.json"
                                       << "sync" << true << true << 0LL << 0LL;
        QTest::newRow("prefixed deleted") << "/sync/x-deleted.json"
                                          << "sync" << false << false << 0LL << 0LL;
        QTest::newRow("deleted in other folder") << "/other/deleted.json"
                                                 << "sync" << false << false << 0LL << 0LL;
    }
    void recognisesRemoteNames()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(bool, recognised);
        QFETCH(bool, deletedIndex);
        QFETCH(qint64, year);
        QFETCH(qint64, month);
        const auto file = PDTmpSyncFile::fromFileName(path, folder, 1, QStringLiteral("a1b2"));
        QCOMPARE(file.has_value(), recognised);
        if (!file)
            return;
        QCOMPARE(file->isDeletedIndexFile(), deletedIndex);
        QCOMPARE(file->year(), year);
        QCOMPARE(file->month(), month);
        QCOMPARE(file->revision(), QStringLiteral("dropbox:a1b2"));
        QVERIFY(!file->wasDeleted());
        const auto gone = PDTmpSyncFile::deletedFileFromFileName(path, folder);
        QVERIFY(gone && gone->wasDeleted() && gone->revisionValue().isNull());
    }

    void namesAndComposedRevisions()
    {
        QCOMPARE(PDTmpSyncFile(2016, 3).name(), QStringLiteral("2016-03"));
        QCOMPARE(PDTmpSyncFile(987, 11).name(), QStringLiteral("987-11"));
        QCOMPARE(PDTmpSyncFile::deletedIndexFile().name(), QStringLiteral("deleted"));
        QCOMPARE(PDTmpSyncFile(2016, 3, 1, QStringLiteral("a1b2")).revision(),
                 QStringLiteral("dropbox:a1b2"));
        QCOMPARE(PDTmpSyncFile(2016, 3, 0, QStringLiteral("a1b2")).revision(), QStringLiteral("a1b2"));
        QVERIFY(PDTmpSyncFile(2016, 3, 1).revision().isNull());
        PDTmpSyncFile file(2016, 3);
        file.setSyncMethod(1, QStringLiteral("c3"));
        QCOMPARE(file.revision(), QStringLiteral("dropbox:c3"));
    }

    void recordsTurnIntoFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("revision");
        QTest::addColumn<qint64>("method");
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<QString>("revisionValue");

        QTest::newRow("own prefix") << "2016-03"
                                    << "dropbox:a1b2" << 1LL << true << "a1b2";
        QTest::newRow("prefix for method 0") << "2016-03"
                                             << "dropbox:a1b2" << 0LL << true << QString();
        QTest::newRow("bare, method 1") << "2016-03"
                                        << "a1b2" << 1LL << true << "a1b2";
        QTest::newRow("bare, method 0") << "2016-03"
                                        << "a1b2" << 0LL << true << "a1b2";
        QTest::newRow("foreign prefix") << "2016-03"
                                        << "box:a1b2" << 1LL << true << QString();
        QTest::newRow("deleted index") << "deleted"
                                       << "dropbox:d1" << 1LL << true << "d1";
        QTest::newRow("month 13") << "2016-13"
                                  << "dropbox:a1" << 1LL << false << QString();
        QTest::newRow("no sync name") << "notes"
                                      << "dropbox:a1" << 1LL << false << QString();
    }
    void recordsTurnIntoFiles()
    {
        QFETCH(QString, name);
        QFETCH(QString, revision);
        QFETCH(qint64, method);
        QFETCH(bool, isFile);
        QFETCH(QString, revisionValue);
        QTemporaryDir folder;
        FakeClock clock;
        auto store = ObjectStore::open(folder.filePath(QStringLiteral("storedata")), clock);
        PDSyncFile *record = store->mainContext().insertSyncFile();
        record->setName(name);
        record->setRevision(revision);
        record->setActivityHash(QStringLiteral("abc"));
        const auto file = PDTmpSyncFile::fromSyncFile(record, method);
        QCOMPARE(file.has_value(), isFile);
        if (!file)
            return;
        QCOMPARE(file->name(), name);
        QCOMPARE(file->revisionValue(), revisionValue);
        QCOMPARE(file->revisionValue().isNull(), revisionValue.isNull());
        QCOMPARE(file->activityHash(), QStringLiteral("abc"));
        QVERIFY(!PDTmpSyncFile::fromSyncFile(nullptr, method));
    }

    void storeLeavesOneRecordAndRemoveDeletesAll()
    {
        QTemporaryDir folder;
        FakeClock clock;
        auto store = ObjectStore::open(folder.filePath(QStringLiteral("storedata")), clock);
        Context &context = store->mainContext();
        for (int i = 0; i < 2; ++i) {
            PDSyncFile *duplicate = context.insertSyncFile();
            duplicate->setName(QStringLiteral("2016-03"));
            duplicate->setRevision(QStringLiteral("dropbox:old%1").arg(i));
        }
        PDSyncFile *other = context.insertSyncFile();
        other->setName(QStringLiteral("2016-04"));
        QVERIFY(context.save());

        PDTmpSyncFile march(2016, 3, 1, QStringLiteral("new"));
        march.setActivityHash(QStringLiteral("h1"));
        QVERIFY(march.store(context));
        QVERIFY(context.save());
        QList<PDSyncFile *> records =
            context.fetch<PDSyncFile>({QStringLiteral("name = ?"), {"2016-03"}, {}});
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first()->revision(), QStringLiteral("dropbox:new"));
        QCOMPARE(records.first()->activityHash(), QStringLiteral("h1"));

        // a second store updates the one record in place
        const ObjectId kept = records.first()->objectId();
        march.setSyncMethod(1, QStringLiteral("newer"));
        QVERIFY(march.store(context));
        QVERIFY(context.save());
        records = context.fetch<PDSyncFile>({QStringLiteral("name = ?"), {"2016-03"}, {}});
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first()->objectId(), kept);
        QCOMPARE(records.first()->revision(), QStringLiteral("dropbox:newer"));

        QVERIFY(march.remove(context));
        QVERIFY(context.save());
        QCOMPARE(context.count(EntityType::SyncFile), 1);
    }

    void monthHash()
    {
        QCOMPARE(ActivityHashItem::hashForItems({}), emptyMd5);
        const ActivityHashItem a(uidA, at(5, 14, 7, 9));
        const ActivityHashItem b(uidB, at(5, 15, 0, 0));
        const QString expected = md5String(QStringLiteral("2016-03-05T14:07:09") + uidA +
                                           QStringLiteral("2016-03-05T15:00:00") + uidB);
        QCOMPARE(ActivityHashItem::hashForItems({a, b}), expected);
        QCOMPARE(ActivityHashItem::hashForItems({b, a}), expected);
        QVERIFY(expected.size() == 32 && expected == expected.toLower());
        // below a second: the same; a whole second: another hash
        QCOMPARE(ActivityHashItem::hashForItems({ActivityHashItem(uidA, at(5, 14, 7, 9, 600)), b}), expected);
        QVERIFY(ActivityHashItem::hashForItems({ActivityHashItem(uidA, at(5, 14, 7, 10)), b}) != expected);
        // same uid twice: ordered by time, so input order does not matter either
        const ActivityHashItem a2(uidA, at(6, 8, 0, 0));
        QCOMPARE(ActivityHashItem::hashForItems({a2, a}), ActivityHashItem::hashForItems({a, a2}));
        QCOMPARE(hexadecimalString({}), QString());
        QCOMPARE(hexadecimalString(QByteArray("\x00\xff", 2)), QStringLiteral("00ff"));
    }

    void dateForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("date");
        QTest::newRow("plain") << "2016-03-05T14:07:09" << at(5, 14, 7, 9);
        QTest::newRow("summer time") << "2016-07-01T00:00:00" << QDateTime(QDate(2016, 7, 1), QTime(0, 0));
        QTest::newRow("zone designator") << "2016-03-05T14:07:09Z" << QDateTime();
        QTest::newRow("fraction") << "2016-03-05T14:07:09.5" << QDateTime();
        QTest::newRow("no T") << "2016-03-05 14:07:09" << QDateTime();
        QTest::newRow("day 30 of February") << "2016-02-30T10:00:00" << QDateTime();
        QTest::newRow("hour 24") << "2016-03-05T24:00:00" << QDateTime();
        QTest::newRow("two-digit year") << "16-03-05T14:07:09" << QDateTime();
        QTest::newRow("letters") << "2016-0a-05T14:07:09" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
        // skipped by the change to summer time in Berlin: read as the moment after the change
        QTest::newRow("gap") << "2016-03-27T02:30:00" << QDateTime(QDate(2016, 3, 27), QTime(3, 30));
    }
    void dateForm()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, date);
        const QDateTime read = SyncDate::fromString(text);
        QCOMPARE(read.isValid(), date.isValid());
        if (!date.isValid())
            return;
        QCOMPARE(read, date);
        if (!text.contains(QLatin1String("-27T02")))
            QCOMPARE(SyncDate::toString(read), text);
    }

    void writingDropsFractions()
    {
        QCOMPARE(SyncDate::toString(at(5, 14, 7, 9, 999)), QStringLiteral("2016-03-05T14:07:09"));
        QCOMPARE(SyncDate::toString(at(5, 14, 7, 9).toUTC()), QStringLiteral("2016-03-05T14:07:09"));
    }

    void monthFileChecks_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("message");
        const QJsonValue missing(QJsonValue::Undefined);
        QTest::newRow("time_from number") << "time_from" << QJsonValue(5) << "Invalid data for activity(1)!";
        QTest::newRow("time_to missing") << "time_to" << missing << "Invalid data for activity(2)!";
        QTest::newRow("created_at null") << "created_at" << QJsonValue() << "Invalid data for activity(3)!";
        QTest::newRow("modified_at bool")
            << "modified_at" << QJsonValue(true) << "Invalid data for activity(4)!";
        QTest::newRow("uid empty") << "uid" << QJsonValue("") << "No UID for activity!";
        QTest::newRow("uid missing") << "uid" << missing << "No UID for activity!";
        QTest::newRow("bad start") << "time_from" << QJsonValue("yesterday") << "No start time for activity!";
        QTest::newRow("bad end") << "time_to" << QJsonValue("2016-03-05") << "No end time for activity!";
        QTest::newRow("start after end") << "time_from" << QJsonValue("2016-03-05T15:00:01")
                                         << "Start time for activity is greater than end time";
        QTest::newRow("bad created") << "created_at" << QJsonValue("x")
                                     << "No 'created at' time for activity!";
        QTest::newRow("bad modified")
            << "modified_at" << QJsonValue("x") << "No 'modified at' time for activity!";
        QTest::newRow("text empty") << "text" << QJsonValue("") << "No text for activity!";
        QTest::newRow("text number") << "text" << QJsonValue(1) << "No text for activity!";
        QTest::newRow("invoiced missing")
            << "is_invoiced" << missing << "Invalid invoiced value for activity!";
        QTest::newRow("invoiced text")
            << "is_invoiced" << QJsonValue("1") << "Invalid invoiced value for activity!";
        QTest::newRow("invoiced 2") << "is_invoiced" << QJsonValue(2)
                                    << "Invalid invoiced value for activity (0/1)!";
        QTest::newRow("invoiced -1") << "is_invoiced" << QJsonValue(-1)
                                     << "Invalid invoiced value for activity (0/1)!";
        QTest::newRow("invoiced true") << "is_invoiced" << QJsonValue(true) << "";
        QTest::newRow("invoiced 1") << "is_invoiced" << QJsonValue(1) << "";
        QTest::newRow("start equals end") << "time_from" << QJsonValue("2016-03-05T15:00:00") << "";
        QTest::newRow("start in the same second") << "time_to" << QJsonValue("2016-03-05T14:07:09") << "";
        QTest::newRow("extra member") << "colour" << QJsonValue("red") << "";
    }
    void monthFileChecks()
    {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QString, message);
        QJsonObject broken = element(uidB);
        if (value.isUndefined())
            broken.remove(key);
        else
            broken.insert(key, value);
        // the faulty element comes second: the whole file is refused, the good first element with it
        const SyncJson::MonthFile file = SyncJson::readMonthFile(json({element(), broken}));
        QCOMPARE(file.error, message);
        QCOMPARE(file.activities.size(), message.isEmpty() ? 2 : 0);
    }

    void monthFileReadsValues()
    {
        QJsonObject invoiced = element();
        invoiced.insert("is_invoiced", 1);
        const SyncJson::MonthFile file = SyncJson::readMonthFile(json({invoiced}));
        QVERIFY(file.ok());
        const SyncActivityRecord &record = file.activities.first();
        QCOMPARE(record.uid, uidA);
        QCOMPARE(record.text, QStringLiteral("Write offer @Acme #sales"));
        QCOMPARE(record.timeFrom, at(5, 14, 7, 9));
        QCOMPARE(record.timeTo, at(5, 15, 0, 0));
        QCOMPARE(record.createdAt, at(5, 14, 7, 9));
        QCOMPARE(record.modifiedAt, at(5, 15, 0, 0));
        QVERIFY(record.isInvoiced);
    }

    void monthFileRefusesBadDocuments_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("not json") << QByteArray("[{") << "Failed to load json file. ";
        QTest::newRow("object") << QByteArray("{}") << "Failed to load json file. ";
        QTest::newRow("invalid UTF-8")
            << QByteArray("[{\"uid\":\"\xff\xfe\"}]") << "Failed to load json file. ";
        QTest::newRow("deep nesting")
            << (QByteArray(5000, '[') + QByteArray(5000, ']')) << "Failed to load json file. ";
        QTest::newRow("element not an object") << QByteArray("[1]") << "Invalid json file content!";
    }
    void monthFileRefusesBadDocuments()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, messageStart);
        const SyncJson::MonthFile file = SyncJson::readMonthFile(content);
        QVERIFY2(file.error.startsWith(messageStart), qPrintable(file.error));
        QVERIFY(file.error.size() > messageStart.size() || messageStart.endsWith(QLatin1Char('!')));
        QVERIFY(file.activities.isEmpty());
    }

    void hugeFilesAreRefusedUnread()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("2016-03.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(SyncJson::maxFileSize + 1));
        file.close();
        const SyncJson::MonthFile read = SyncJson::readMonthFileAt(path);
        QVERIFY2(read.error.startsWith(QLatin1String("Failed to load json file. ")), qPrintable(read.error));
        QVERIFY(read.error.contains(QLatin1String("larger")));
        QVERIFY(SyncJson::readDeletedIndexAt(path).error.startsWith(
            QLatin1String("Failed to read deleted.json ")));
    }

    void deletedIndex_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("entries");
        QTest::addColumn<QString>("logLine");
        const QByteArray good = "{\"uid\":\"U1\",\"deleted_at\":\"2016-03-05T10:00:05\"}";
        QTest::newRow("two entries") << "[" + good +
                                            ",{\"uid\":\"U2\",\"deleted_at\":\"2016-03-06T10:00:05\"}]"
                                     << "" << 2 << "";
        QTest::newRow("empty array") << QByteArray("[]") << "" << 0 << "";
        QTest::newRow("not json") << QByteArray("nope") << "Failed to read deleted.json " << 0 << "";
        QTest::newRow("object") << QByteArray("{}") << "deleted.json does not contain array of items!" << 0
                                << "";
        QTest::newRow("missing deleted_at")
            << "[" + good + ",{\"uid\":\"U2\"}]"
            << "" << 0 << "Invalid deleted.json entity (uid: U2; deleted_at: (null)).";
        QTest::newRow("null uid")
            << "[" + good + ",{\"uid\":null,\"deleted_at\":\"2016-03-06T10:00:05\"}]"
            << "" << 0 << "Invalid deleted.json entity (uid: (null); deleted_at: 2016-03-06T10:00:05).";
        QTest::newRow("number date") << "[" + good + ",{\"uid\":\"U2\",\"deleted_at\":7}]"
                                     << "" << 0 << "Invalid deleted.json entity (uid: U2; deleted_at: 7).";
        QTest::newRow("bad date") << "[" + good + ",{\"uid\":\"U2\",\"deleted_at\":\"soon\"}]"
                                  << "" << 0
                                  << "Invalid date for deleted.json entity (uid: U2; deleted_at: soon).";
        QTest::newRow("not an object") << "[" + good + ",3]"
                                       << "" << 0 << "";
    }
    void deletedIndex()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QFETCH(int, entries);
        QFETCH(QString, logLine);
        QStringList log;
        const SyncJson::DeletedIndex index =
            SyncJson::readDeletedIndex(content, [&log](const QString &line) { log.append(line); });
        QVERIFY2(error.isEmpty() ? index.error.isEmpty() : index.error.startsWith(error),
                 qPrintable(index.error));
        QCOMPARE(index.entries.size(), entries);
        QCOMPARE(log, logLine.isEmpty() ? QStringList() : QStringList{logLine});
        if (entries > 0) {
            QCOMPARE(index.entries.first().uid(), QStringLiteral("U1"));
            QCOMPARE(index.entries.first().modifiedAt(), at(5, 10, 0, 5));
        }
    }

    void writersAreCompactAndReadBack()
    {
        QTemporaryDir folder;
        FakeClock clock;
        auto store = ObjectStore::open(folder.filePath(QStringLiteral("storedata")), clock);
        Context &context = store->mainContext();
        Activity *activity = context.insertActivity();
        activity->setUid(uidA);
        activity->setText(QStringLiteral("Call \"Ann\" @Acme"));
        activity->setTimeFrom(at(5, 14, 7, 9, 400));
        activity->setTimeTo(at(5, 15, 0, 0));
        activity->setCreatedAt(at(5, 14, 7, 9));
        activity->setModifiedAt(at(5, 15, 0, 0, 900));
        activity->setInvoiced(true);
        const QByteArray month = SyncJson::monthFileJson(QList<Activity *>{activity});
        QVERIFY(!month.contains('\n') && !month.contains(": "));
        const SyncJson::MonthFile read = SyncJson::readMonthFile(month);
        QVERIFY(read.ok());
        QCOMPARE(read.activities.size(), 1);
        QCOMPARE(read.activities.first().text, activity->text());
        QCOMPARE(read.activities.first().timeFrom, at(5, 14, 7, 9));
        QCOMPARE(read.activities.first().modifiedAt, at(5, 15, 0, 0));
        QVERIFY(read.activities.first().isInvoiced);
        QCOMPARE(QJsonDocument::fromJson(month).array().first().toObject().keys().size(), 7);

        DeletedActivity *tombstone = context.insertDeletedActivity();
        tombstone->setUid(uidB);
        tombstone->setDeletedAt(at(6, 10, 0, 5, 300));
        const QByteArray deleted = SyncJson::deletedIndexJson({tombstone});
        QCOMPARE(deleted,
                 QByteArray("[{\"deleted_at\":\"2016-03-06T10:00:05\",\"uid\":\"" + uidB.toUtf8() + "\"}]"));
    }
};

QTEST_GUILESS_MAIN(TestSyncFiles)
#include "tst_SyncFiles.moc"
