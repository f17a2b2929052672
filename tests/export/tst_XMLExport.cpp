#include "Activity.h"
#include "ActivityExporter.h"
#include "ActivityXMLReader.h"
#include "ExportFixture.h"
#include "ExportFormatSettings.h"
#include "store/Context.h"

#include <QFile>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

CSVTokenField userField(int type, int value, const QString &name)
{
    CSVTokenField field(CSVTokenField::XMLMode, type, value);
    field.setXmlPropertyName(name);
    return field;
}

// xmllint's verdict on a file: an empty text when it is well-formed, else its complaint.
QString xmllintComplaint(const QString &path)
{
    QByteArray output, errors;
    const int exitCode =
        runTool(QStringLiteral("xmllint"), {QStringLiteral("--noout"), path}, &output, &errors);
    if (exitCode == 0 && errors.isEmpty())
        return QString();
    return QStringLiteral("exit %1: %2").arg(exitCode).arg(QString::fromUtf8(errors));
}

} // namespace

// XML files as written: structure, attribute names, escaping, and characters XML cannot carry.
class TestXMLExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin")); }

    void defaultFields()
    {
        ExportFixture fixture;
        const QList<Activity *> activities{
            fixture.addActivity(QStringLiteral("Write <offer> & \"call\" @Acme"),
                                localTime(2016, 3, 5, 9, 7, 3), localTime(2016, 3, 5, 10, 19, 48), true,
                                QStringLiteral("AAA")),
            fixture.addActivity(QStringLiteral("Read"), localTime(2016, 7, 1, 23, 0),
                                localTime(2016, 7, 2, 0, 30), false, QStringLiteral("BBB"))};
        const QString path = fixture.filePath(QStringLiteral("out.xml"));
        QCOMPARE(ActivityExporter::exportXML(activities, path, ExportFormatSettings::getDefaultXMLFormat()),
                 QString());
        QCOMPARE(readAll(path), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<activities>"
                                           "<activity uid=\"AAA\" invoiced=\"1\" "
                                           "from=\"2016-03-05T09:07:03\" to=\"2016-03-05T10:19:48\">"
                                           "Write &lt;offer&gt; &amp; \"call\" @Acme</activity>"
                                           "<activity uid=\"BBB\" invoiced=\"0\" "
                                           "from=\"2016-07-01T23:00:00\" to=\"2016-07-02T00:30:00\">"
                                           "Read</activity></activities>\n"));
        QCOMPARE(xmllintComplaint(path), QString());

        QCOMPARE(ActivityExporter::exportXML({}, path, ExportFormatSettings::getDefaultXMLFormat()),
                 QString());
        QCOMPARE(readAll(path),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<activities></activities>\n"));
    }

    void userFieldNames_data()
    {
        QTest::addColumn<QList<CSVTokenField>>("added");
        QTest::addColumn<QByteArray>("attributes"); // after the four fixed ones
        QTest::newRow("user fields in order")
            << QList<CSVTokenField>{userField(400, 401, "project"), userField(200, 301, "minutes")}
            << QByteArray(" project=\"Acme\" minutes=\"73\"");
        QTest::newRow("equal names: the first wins")
            << QList<CSVTokenField>{userField(400, 401, "p"), userField(400, 400, "p")}
            << QByteArray(" p=\"Acme\"");
        QTest::newRow("invoiced keeps the fixed value")
            << QList<CSVTokenField>{userField(400, 401, "invoiced")} << QByteArray();
        QTest::newRow("names that are no XML names are left out")
            << QList<CSVTokenField>{userField(400, 401, "1st"),  userField(400, 401, "a:b"),
                                    userField(400, 401, "x<y"),  userField(400, 401, "xmlns"),
                                    userField(400, 401, "a\"b"), userField(400, 401, "ok")}
            << QByteArray(" ok=\"Acme\"");
        QTest::newRow("non-Latin names")
            << QList<CSVTokenField>{userField(400, 401, "Größe"), userField(400, 401, "項目")}
            << QStringLiteral(" Größe=\"Acme\" 項目=\"Acme\"").toUtf8();
        QTest::newRow("fields without a name are left out")
            << QList<CSVTokenField>{CSVTokenField(1, 400, 401)} << QByteArray();
    }
    void userFieldNames()
    {
        QFETCH(QList<CSVTokenField>, added);
        QFETCH(QByteArray, attributes);
        ExportFixture fixture;
        const QList<Activity *> activities{
            fixture.addActivity(QStringLiteral("Offer @Acme"), localTime(2016, 3, 5, 9, 7, 3),
                                localTime(2016, 3, 5, 10, 19, 48), true, QStringLiteral("AAA"))};
        const QString path = fixture.filePath(QStringLiteral("out.xml"));
        QCOMPARE(ActivityExporter::exportXML(activities, path,
                                             ExportFormatSettings::getDefaultXMLFormat() + added),
                 QString());
        const QByteArray fixed(
            "<activity uid=\"AAA\" invoiced=\"1\" from=\"2016-03-05T09:07:03\" to=\"2016-03-05T10:19:48\"");
        QVERIFY2(readAll(path).contains(fixed + attributes + ">Offer @Acme</activity>"),
                 readAll(path).constData());
        QCOMPARE(xmllintComplaint(path), QString());
    }

    void valuesWithMarkupAndLineBreaksInAttributes()
    {
        ExportFixture fixture;
        const QString text = QStringLiteral("a \"b\" <c> & d\te\r\nf\rg");
        const QList<Activity *> activities{
            fixture.addActivity(text, localTime(2016, 3, 5, 9, 0), localTime(2016, 3, 5, 10, 0))};
        const QString path = fixture.filePath(QStringLiteral("out.xml"));
        QCOMPARE(ActivityExporter::exportXML(activities, path,
                                             ExportFormatSettings::getDefaultXMLFormat()
                                                 << userField(400, 400, "text")),
                 QString());
        QVERIFY(readAll(path).contains("text=\"a &quot;b&quot; &lt;c&gt; &amp; d&#9;e&#13;&#10;f&#13;g\">a "
                                       "\"b\" &lt;c&gt; &amp; d\te&#13;\nf&#13;g<"));
        QCOMPARE(xmllintComplaint(path), QString());
        const ActivityXMLReader::Result read = ActivityXMLReader::readFile(path);
        QVERIFY(read.ok());
        QCOMPARE(read.records.value(0).text, text);
    }

    void charactersXmlCannotCarry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readBack");
        const QString replacement(QChar(0xFFFD));
        QTest::newRow("control characters") << QStringLiteral("a\x01"
                                                              "b\x1f"
                                                              "c\x7f"
                                                              "d")
                                            << "a" + replacement + "b" + replacement +
                                                   "c\x7f"
                                                   "d";
        QTest::newRow("NUL") << QString(QStringLiteral("x") + QChar(0) + QStringLiteral("y"))
                             << "x" + replacement + "y";
        QTest::newRow("unpaired high surrogate")
            << QString(QStringLiteral("x") + QChar(0xD83D) + QStringLiteral("y")) << "x" + replacement + "y";
        QTest::newRow("unpaired low surrogate at the end")
            << QString(QStringLiteral("x") + QChar(0xDE00)) << "x" + replacement;
        QTest::newRow("noncharacters FFFE and FFFF")
            << QString(QChar(0xFFFE)) + QChar(0xFFFF) << replacement + replacement;
        QTest::newRow("paired surrogates stay")
            << QStringLiteral("🎉 \U0001F600") << QStringLiteral("🎉 \U0001F600");
    }
    void charactersXmlCannotCarry()
    {
        QFETCH(QString, text);
        QFETCH(QString, readBack);
        ExportFixture fixture;
        const QList<Activity *> activities{
            fixture.addActivity(text, localTime(2016, 3, 5, 9, 0), localTime(2016, 3, 5, 10, 0))};
        const QString path = fixture.filePath(QStringLiteral("out.xml"));
        QCOMPARE(ActivityExporter::exportXML(activities, path,
                                             ExportFormatSettings::getDefaultXMLFormat()
                                                 << userField(400, 400, "text")),
                 QString());
        QCOMPARE(xmllintComplaint(path), QString());
        const ActivityXMLReader::Result read = ActivityXMLReader::readFile(path);
        QVERIFY2(read.ok(), qPrintable(read.message));
        QCOMPARE(read.records.value(0).text, readBack);
    }
};

QTEST_GUILESS_MAIN(TestXMLExport)
#include "tst_XMLExport.moc"
