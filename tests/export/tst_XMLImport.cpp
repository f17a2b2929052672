#include "Activity.h"
#include "ActivityExporter.h"
#include "ActivityXMLReader.h"
#include "ExportFixture.h"
#include "ExportFormatSettings.h"
#include "ImportStore.h"
#include "Project.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using Status = ActivityXMLReader::Status;
Q_DECLARE_METATYPE(ActivityXMLReader::Status)

namespace {

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QString describe(const ActivityXMLReader::Record &record)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(record.uid, record.invoiced ? QStringLiteral("1") : QStringLiteral("0"),
             record.timeFrom.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
             record.timeTo.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), record.text);
}

QByteArray element(const QByteArray &attributes, const QByteArray &content = "x")
{
    return "<activity " + attributes + ">" + content + "</activity>";
}

const QByteArray span = R"(from="2016-03-05T09:00:00" to="2016-03-05T10:00:00")";

// A text of random pieces that XML and CSV writers must take care of.
QString randomText(QRandomGenerator &random)
{
    static const QStringList pieces{
        QStringLiteral("\""),     QStringLiteral("'"),        QStringLiteral("<"),
        QStringLiteral(">"),      QStringLiteral("&"),        QStringLiteral("&amp;"),
        QStringLiteral("]]>"),    QStringLiteral("\n"),       QStringLiteral("\r\n"),
        QStringLiteral("\r"),     QStringLiteral("\t"),       QStringLiteral(" "),
        QStringLiteral("  "),     QStringLiteral("🎉"),        QStringLiteral("👩‍💻"),
        QStringLiteral("Привет"), QStringLiteral("読む"),     QStringLiteral("مرحبا"),
        QStringLiteral("Ärger"),  QStringLiteral("@Acme"),    QStringLiteral("#dev"),
        QStringLiteral("word"),   QStringLiteral("<!-- -->"), QStringLiteral("&#13;"),
        QStringLiteral("\u00A0")};
    QString text;
    const int count = random.bounded(0, 12);
    for (int i = 0; i < count; ++i)
        text += pieces.at(random.bounded(pieces.size()));
    return text;
}

// A local time between 1990 and 2040 with milliseconds. Hour 2 is left out: on the night clocks go back,
// 02:00 to 03:00 happens twice, and a file of local wall-clock times cannot tell the two apart.
QDateTime randomLocalTime(QRandomGenerator &random)
{
    const QDate date = QDate(1990, 1, 1).addDays(random.bounded(0, 50 * 365));
    int hour = random.bounded(0, 23);
    if (hour >= 2)
        ++hour;
    return QDateTime(date, QTime(hour, random.bounded(60), random.bounded(60), random.bounded(1000)));
}

qint64 wholeSeconds(const QDateTime &moment)
{
    return moment.toSecsSinceEpoch();
}

} // namespace

// Reading activity XML files, the temporary import store, and the round trip through a file.
class TestXMLImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin")); }

    void readerRules_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<int>("skipped");

        const QString nineToTen = QStringLiteral("2016-03-05 09:00:00|2016-03-05 10:00:00");
        QTest::newRow("one activity")
            << QByteArray("<?xml version=\"1.0\"?><activities>" +
                          element("uid=\"A\" invoiced=\"1\" " + span, "Text @P") + "</activities>")
            << Status::Ok << QStringList{"A|1|" + nineToTen + "|Text @P"} << 0;
        QTest::newRow("no declaration, whitespace between elements")
            << QByteArray("<activities>\n  " + element("uid=\"A\" " + span) + "\n</activities>") << Status::Ok
            << QStringList{"A|0|" + nineToTen + "|x"} << 0;
        QTest::newRow("uid trimmed, empty uid kept empty")
            << QByteArray("<activities>" + element("uid=\" ABC \n\" " + span) + element("uid=\"\" " + span) +
                          element(span) + "</activities>")
            << Status::Ok
            << QStringList{"ABC|0|" + nineToTen + "|x", "|0|" + nineToTen + "|x", "|0|" + nineToTen + "|x"}
            << 0;
        QTest::newRow("invoiced only for 1")
            << QByteArray("<activities>" + element("invoiced=\"true\" " + span) +
                          element("invoiced=\" 1\" " + span) + element("invoiced=\"1\" " + span) +
                          "</activities>")
            << Status::Ok
            << QStringList{"|0|" + nineToTen + "|x", "|0|" + nineToTen + "|x", "|1|" + nineToTen + "|x"} << 0;
        QTest::newRow("unreadable or missing times skip the element")
            << QByteArray("<activities>" +
                          element(R"(uid="1" from="2016-03-05T09:00:00" to="2016-03-05 10:00:00")") +
                          element(R"(uid="2" to="2016-03-05T10:00:00")") +
                          element(R"(uid="3" from="2016-03-05T09:00:00")") +
                          element(R"(uid="4" from="" to="2016-03-05T10:00:00")") +
                          element(R"(uid="5" from="2016-02-30T09:00:00" to="2016-03-05T10:00:00")") +
                          element("uid=\"6\" " + span) + "</activities>")
            << Status::Ok << QStringList{"6|0|" + nineToTen + "|x"} << 5;
        QTest::newRow("text is the string value")
            << QByteArray("<activities>" + element(span, "a<b>b<c>c</c></b><![CDATA[<d>&]]>&amp;&#13;e") +
                          "</activities>")
            << Status::Ok << QStringList{"|0|" + nineToTen + "|abc<d>&&\re"} << 0;
        QTest::newRow("empty element") << QByteArray("<activities><activity " + span + "/></activities>")
                                       << Status::Ok << QStringList{"|0|" + nineToTen + "|"} << 0;
        QTest::newRow("other attributes and elements are ignored")
            << QByteArray("<activities><note/>" + element("project=\"P\" " + span) + "</activities>")
            << Status::Ok << QStringList{"|0|" + nineToTen + "|x"} << 0;
        QTest::newRow("a document type without entities is fine")
            << QByteArray("<!DOCTYPE activities><activities>" + element(span) + "</activities>") << Status::Ok
            << QStringList{"|0|" + nineToTen + "|x"} << 0;
        QTest::newRow("all elements skipped")
            << QByteArray("<activities>" + element("from=\"x\" to=\"y\"") + "</activities>") << Status::Ok
            << QStringList() << 1;
        QTest::newRow("root is activity")
            << QByteArray("<activity " + span + ">x</activity>") << Status::WrongRoot << QStringList() << 0;
        QTest::newRow("deeper activity elements do not count")
            << QByteArray("<activities><group>" + element(span) + "</group></activities>")
            << Status::NoActivities << QStringList() << 0;
        QTest::newRow("no activity element")
            << QByteArray("<activities/>") << Status::NoActivities << QStringList() << 0;
        QTest::newRow("not XML") << QByteArray("uid;from;to\n") << Status::NotXml << QStringList() << 0;
        QTest::newRow("empty file") << QByteArray() << Status::NotXml << QStringList() << 0;
        QTest::newRow("cut off") << QByteArray("<activities>" + element(span) + "<activity") << Status::NotXml
                                 << QStringList() << 0;
        QTest::newRow("undeclared entity")
            << QByteArray("<activities>" + element(span, "&ent;") + "</activities>") << Status::NotXml
            << QStringList() << 0;
    }
    void readerRules()
    {
        QFETCH(QByteArray, xml);
        QFETCH(Status, status);
        QFETCH(QStringList, records);
        QFETCH(int, skipped);
        const ActivityXMLReader::Result result = ActivityXMLReader::readData(xml);
        QCOMPARE(result.status, status);
        QCOMPARE(result.ok(), result.message.isEmpty());
        QStringList described;
        for (const ActivityXMLReader::Record &record : result.records)
            described << describe(record);
        QCOMPARE(described, records);
        QCOMPARE(result.skipped, skipped);
    }

    void entityDeclarationsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE activities [\n<!ENTITY lol0 \"lol\">\n";
        for (int i = 1; i < 10; ++i) {
            laughs += "<!ENTITY lol" + QByteArray::number(i) + " \"";
            for (int j = 0; j < 10; ++j)
                laughs += "&lol" + QByteArray::number(i - 1) + ";";
            laughs += "\">\n";
        }
        laughs += "]>\n<activities>" + element(span, "&lol9;") + "</activities>";
        QTest::newRow("billion laughs") << laughs;
        QTest::newRow("external entity") << QByteArray(
            "<!DOCTYPE activities [<!ENTITY secret SYSTEM \"file:///etc/hostname\">]><activities>" +
            element(span, "&secret;") + "</activities>");
        QTest::newRow("external parameter entity") << QByteArray(
            "<!DOCTYPE activities [<!ENTITY % remote SYSTEM \"http://127.0.0.1:9/x.dtd\"> %remote;]>"
            "<activities>" +
            element(span) + "</activities>");
        QTest::newRow("unused internal entity") << QByteArray(
            "<!DOCTYPE activities [<!ENTITY a \"b\">]><activities>" + element(span) + "</activities>");
    }
    void entityDeclarationsAreRefused()
    {
        QFETCH(QByteArray, xml);
        QElapsedTimer timer;
        timer.start();
        const ActivityXMLReader::Result result = ActivityXMLReader::readData(xml);
        QCOMPARE(result.status, Status::EntitiesRejected);
        QVERIFY(result.records.isEmpty());
        QVERIFY(timer.elapsed() < 2000);
    }

    void endInTheRepeatedHourAfterTheStart()
    {
        // 30 October 2016: clocks go back from 03:00 summer time to 02:00 winter time.
        const QDateTime startSummer = QDateTime::fromSecsSinceEpoch(
            QDateTime(QDate(2016, 10, 30), QTime(0, 50), Qt::UTC).toSecsSinceEpoch());
        const QDateTime endWinter = startSummer.addSecs(20 * 60); // 02:10 winter time
        QCOMPARE(startSummer.time(), QTime(2, 50));
        QCOMPARE(endWinter.time(), QTime(2, 10));
        const QByteArray xml =
            "<activities>" + element(R"(from="2016-10-30T02:50:00" to="2016-10-30T02:10:00")") +
            element(R"(from="2016-10-30T01:50:00" to="2016-10-30T02:10:00")") +
            element(R"(from="2016-03-05T10:00:00" to="2016-03-05T09:00:00")") + "</activities>";
        const ActivityXMLReader::Result result = ActivityXMLReader::readData(xml);
        QVERIFY(result.ok());
        QCOMPARE(result.records.size(), 3);
        QCOMPARE(result.records.at(0).timeTo.toSecsSinceEpoch() -
                     result.records.at(0).timeFrom.toSecsSinceEpoch(),
                 20 * 60);
        QCOMPARE(result.records.at(0).timeTo, endWinter);
        // An end that already lies after the start keeps its first reading; other reversed spans stay as
        // they are.
        QCOMPARE(result.records.at(1).timeTo.toSecsSinceEpoch() -
                     result.records.at(1).timeFrom.toSecsSinceEpoch(),
                 20 * 60);
        QVERIFY(result.records.at(2).timeTo < result.records.at(2).timeFrom);
    }

    void unreadableFile()
    {
        ExportFixture fixture;
        const ActivityXMLReader::Result result =
            ActivityXMLReader::readFile(fixture.filePath(QStringLiteral("none.xml")));
        QCOMPARE(result.status, Status::Unreadable);
        QVERIFY(result.message.contains(QStringLiteral("none.xml")));
    }

    void importFillsATemporaryStore()
    {
        ExportFixture fixture;
        const QString path = fixture.filePath(QStringLiteral("in.xml"));
        QVERIFY(writeFile(path, "<activities>" + element("uid=\"A\" " + span, "Offer @Acme #sales") +
                                    element("uid=\"A\" " + span, "Again @Acme") + element(span, "No uid") +
                                    element("uid=\"B\" from=\"x\" to=\"y\"") + "</activities>"));
        QString storeFile;
        {
            ImportStore importStore(fixture.clock());
            const ActivityXMLReader::Result result =
                ActivityXMLReader::importActivitiesFromFile(path, importStore);
            QVERIFY2(result.ok(), qPrintable(result.message));
            QVERIFY(!result.saveError.isError());
            storeFile = importStore.filePath();
            QCOMPARE(QFileInfo(storeFile).absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
            QVERIFY2(QRegularExpression(QStringLiteral("^pendulo\\.[A-Za-z0-9]{6}$"))
                         .match(QFileInfo(storeFile).fileName())
                         .hasMatch(),
                     qPrintable(storeFile));

            // No duplicate check: both "A" elements become activities; a missing uid gets a fresh one.
            Context &context = *importStore.importManagedObjectContext();
            QCOMPARE(context.count(EntityType::Activity), qint64(3));
            QCOMPARE(result.activities.size(), 3);
            QCOMPARE(result.activities.at(0)->uid(), QStringLiteral("A"));
            QCOMPARE(result.activities.at(1)->uid(), QStringLiteral("A"));
            QVERIFY(!result.activities.at(2)->uid().isEmpty());
            // Tags resolve into the import store's own records; the main store stays untouched.
            QVERIFY(context.projectNamed(QStringLiteral("Acme")));
            QCOMPARE(result.activities.at(0)->project(), context.projectNamed(QStringLiteral("Acme")));
            QCOMPARE(fixture.context().count(EntityType::Activity), qint64(0));
            QVERIFY(!fixture.context().projectNamed(QStringLiteral("Acme")));
        }
        // The temporary file is kept.
        QVERIFY(QFile::exists(storeFile));
        QFile::remove(storeFile);
    }

    void failedSaveKeepsTheActivitiesInTheContext()
    {
        ExportFixture fixture;
        const QString path = fixture.filePath(QStringLiteral("in.xml"));
        QVERIFY(
            writeFile(path, "<activities>" + element("uid=\"A\" " + span) +
                                element(R"(uid="Z" from="2016-03-05T09:00:00" to="2016-03-05T09:00:00")") +
                                "</activities>"));
        ImportStore importStore(fixture.clock());
        importStore.setRemoveFilesOnDestruction(true);
        const ActivityXMLReader::Result result =
            ActivityXMLReader::importActivitiesFromFile(path, importStore);
        QVERIFY(result.ok());
        QVERIFY(result.saveError.isError());
        QCOMPARE(result.activities.size(), 2);
        QVERIFY(result.activities.at(1)->isInserted());
        QCOMPARE(result.activities.at(1)->uid(), QStringLiteral("Z"));
    }

    void unopenableStoreIsReported()
    {
        ExportFixture fixture;
        const QString path = fixture.filePath(QStringLiteral("in.xml"));
        QVERIFY(writeFile(path, "<activities>" + element(span) + "</activities>"));
        const QByteArray oldTemp = qgetenv("TMPDIR");
        // A temporary folder that is a plain file: no file can be made in it, not even by root.
        const QString notAFolder = fixture.filePath(QStringLiteral("plain-file"));
        QVERIFY(writeFile(notAFolder, "x"));
        qputenv("TMPDIR", notAFolder.toUtf8());
        ImportStore importStore(fixture.clock());
        const ActivityXMLReader::Result result =
            ActivityXMLReader::importActivitiesFromFile(path, importStore);
        qputenv("TMPDIR", oldTemp);
        QCOMPARE(result.status, Status::StoreFailed);
        QVERIFY(!result.message.isEmpty());
        QVERIFY(!importStore.store());
    }

    // Exporting generated activities and importing the file restores uid, invoiced, start and end to the
    // second, and the text exactly.
    void roundTripRestoresEveryActivity()
    {
        QRandomGenerator random(20101023);
        ExportFixture fixture;
        QList<Activity *> activities;
        for (int i = 0; i < 300; ++i) {
            const QDateTime from = randomLocalTime(random);
            const QDateTime to = from.addMSecs(random.bounded(1000, 30 * 3600 * 1000));
            const QString uid = random.bounded(4) == 0 ? QStringLiteral("custom-%1").arg(i) : QString();
            activities << ExportFixture::makeActivity(fixture.context(), randomText(random), from, to,
                                                      random.bounded(2) == 1, uid);
        }
        PdError error;
        QVERIFY2(fixture.context().save(&error), qPrintable(error.toString()));

        const QString path = fixture.filePath(QStringLiteral("round.xml"));
        QCOMPARE(ActivityExporter::exportXML(activities, path, ExportFormatSettings::getDefaultXMLFormat()),
                 QString());
        ImportStore importStore(fixture.clock());
        importStore.setRemoveFilesOnDestruction(true);
        const ActivityXMLReader::Result result =
            ActivityXMLReader::importActivitiesFromFile(path, importStore);
        QVERIFY2(result.ok(), qPrintable(result.message));
        QCOMPARE(result.skipped, 0);
        QCOMPARE(result.activities.size(), activities.size());
        for (qsizetype i = 0; i < activities.size(); ++i) {
            const Activity *original = activities.at(i);
            const Activity *imported = result.activities.at(i);
            const QByteArray where = QByteArray::number(i) + ": " + original->text().toUtf8();
            QVERIFY2(imported->uid() == original->uid(), where.constData());
            QVERIFY2(imported->isInvoiced() == original->isInvoiced(), where.constData());
            QVERIFY2(wholeSeconds(imported->timeFrom()) == wholeSeconds(original->timeFrom()),
                     where.constData());
            QVERIFY2(wholeSeconds(imported->timeTo()) == wholeSeconds(original->timeTo()), where.constData());
            QVERIFY2(imported->text() == original->text(), where.constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestXMLImport)
#include "tst_XMLImport.moc"
