#include "Activity.h"
#include "ActivityCSVFormatter.h"
#include "ActivityExporter.h"
#include "DateFormatterCache.h"
#include "ExportFixture.h"
#include "ExportFormatSettings.h"
#include "PdSettings.h"
#include "store/Context.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The system's interpreter (the one the setup script installs) when there is one: version-manager shims
// found first on PATH can take seconds to start.
QString python3()
{
    const QString system =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    return system.isEmpty() ? QStringLiteral("python3") : system;
}

// Reads a CSV file with Python's csv module and gives its rows.
QList<QStringList> rowsReadByPython(const QString &path, const QString &delimiter)
{
    const QString script =
        QStringLiteral("import csv, json, sys\n"
                       "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                       "    print(json.dumps(list(csv.reader(f, delimiter=sys.argv[2], strict=True))))\n");
    QByteArray output, errors;
    const int exitCode =
        runTool(python3(), {QStringLiteral("-c"), script, path, delimiter}, &output, &errors);
    if (exitCode != 0)
        qWarning("python3 failed (%d): %s", exitCode, errors.constData());
    QList<QStringList> rows;
    for (const QJsonValue &row : QJsonDocument::fromJson(output).array()) {
        QStringList values;
        for (const QJsonValue &value : row.toArray())
            values << value.toString();
        rows << values;
    }
    return rows;
}

} // namespace

// CSV rows and files.
class TestCSVExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCOMPARE(QLocale::system().name(), QStringLiteral("en_US")); }

    void defaultFormatRow()
    {
        ExportFixture fixture;
        Activity *activity =
            fixture.addActivity(QStringLiteral("Call \"Bob\" @Acme"), localTime(2016, 3, 5, 9, 7, 3),
                                localTime(2016, 3, 5, 10, 19, 48));
        const ActivityCSVFormatter formatter(ExportFormatSettings::getDefaultCSVFormat());
        QCOMPARE(formatter.rowForActivity(*activity, QStringLiteral(";")),
                 QStringLiteral(R"("3/5/16";"09:07:03";"01:12:45";"Acme";"Call ""Bob"" @Acme";"0")"));
    }

    void rows_data()
    {
        QTest::addColumn<QString>("separatorSetting");
        QTest::addColumn<QList<int>>("columns"); // value codes of Activity fields
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("two rows, no line break at the end")
            << ";" << QList<int>{400, 401} << QByteArray("\"Write @Acme\";\"Acme\"\r\n\"Read\";\"\"");
        QTest::newRow("tab separator")
            << "{TAB}" << QList<int>{401, 404} << QByteArray("\"Acme\"\t\"1\"\r\n\"\"\t\"0\"");
        QTest::newRow("lower-case tab is literal")
            << "{tab}" << QList<int>{404, 404} << QByteArray("\"1\"{tab}\"1\"\r\n\"0\"{tab}\"0\"");
        QTest::newRow("empty format gives empty rows") << ";" << QList<int>() << QByteArray("\r\n");
    }
    void rows()
    {
        QFETCH(QString, separatorSetting);
        QFETCH(QList<int>, columns);
        QFETCH(QByteArray, expected);
        ExportFixture fixture;
        QList<Activity *> activities{fixture.addActivity(QStringLiteral("Write @Acme"),
                                                         localTime(2016, 3, 5, 9, 0),
                                                         localTime(2016, 3, 5, 10, 0), true),
                                     fixture.addActivity(QStringLiteral("Read"), localTime(2016, 3, 5, 11, 0),
                                                         localTime(2016, 3, 5, 12, 0))};
        QList<CSVTokenField> format;
        for (int code : columns)
            format << CSVTokenField(0, 400, code);

        QSettings store(fixture.filePath(QStringLiteral("Pendulo.conf")), QSettings::IniFormat);
        PdSettings settings(&store);
        ExportFormatSettings formats(settings);
        formats.setCSVFormat(format);
        settings.setCsvFieldSeparator(separatorSetting);

        const QString path = fixture.filePath(QStringLiteral("out.csv"));
        QCOMPARE(ActivityExporter::exportActivities(activities, path, ActivityExporter::CSV, formats),
                 QString());
        QCOMPARE(readAll(path), expected);
    }

    void fileIsUtf8WithoutByteOrderMark()
    {
        ExportFixture fixture;
        const QList<Activity *> activities{fixture.addActivity(
            QStringLiteral("Прочитать 読む 🎉"), localTime(2016, 3, 5, 9, 0), localTime(2016, 3, 5, 10, 0))};
        const QString path = fixture.filePath(QStringLiteral("out.csv"));
        QCOMPARE(
            ActivityExporter::exportCSV(activities, path, {CSVTokenField(0, 400, 400)}, QStringLiteral(";")),
            QString());
        QCOMPARE(readAll(path), QStringLiteral("\"Прочитать 読む 🎉\"").toUtf8());

        QCOMPARE(ActivityExporter::exportCSV({}, path, {CSVTokenField(0, 400, 400)}, QStringLiteral(";")),
                 QString());
        QCOMPARE(readAll(path), QByteArray());
    }

    void writeFailureLeavesNoPartialFile()
    {
        ExportFixture fixture;
        const QList<Activity *> activities{fixture.addActivity(
            QStringLiteral("x"), localTime(2016, 3, 5, 9, 0), localTime(2016, 3, 5, 10, 0))};
        const QString missingFolder = fixture.filePath(QStringLiteral("missing/out.csv"));
        QCOMPARE(
            ActivityExporter::exportCSV(activities, missingFolder, {CSVTokenField()}, QStringLiteral(";")),
            QStringLiteral("Failed to write CSV data to file!"));
        QVERIFY(!QFile::exists(missingFolder));
        QCOMPARE(ActivityExporter::exportXML(activities, missingFolder,
                                             ExportFormatSettings::getDefaultXMLFormat()),
                 QStringLiteral("Failed to write XML data to file!"));
        QSettings store(fixture.filePath(QStringLiteral("Pendulo.conf")), QSettings::IniFormat);
        PdSettings settings(&store);
        const QString path = fixture.filePath(QStringLiteral("out.txt"));
        QCOMPARE(ActivityExporter::exportActivities(activities, path, 2, ExportFormatSettings(settings)),
                 QStringLiteral("Unknown export format!"));
        QVERIFY(!QFile::exists(path));
    }

    void exportEmptiesTheFormatterCache()
    {
        ExportFixture fixture;
        const auto before = DateFormatterCache::getFormatterForValue(121);
        ActivityExporter::exportCSV({}, fixture.filePath(QStringLiteral("out.csv")), {}, QStringLiteral(";"));
        QVERIFY(DateFormatterCache::getFormatterForValue(121) != before);
    }

    void pythonReadsTheValuesBack_data()
    {
        QTest::addColumn<QString>("separator");
        QTest::newRow("semicolon") << ";";
        QTest::newRow("tab") << "\t";
    }
    void pythonReadsTheValuesBack()
    {
        QFETCH(QString, separator);
        ExportFixture fixture;
        const QStringList texts{QStringLiteral("Plain @Acme #dev"), QStringLiteral("Say \"hi\"; then\tleave"),
                                QStringLiteral("Two\r\nlines and\na third"), QStringLiteral("\"\"\";;\t\t\""),
                                QStringLiteral("Ünïcödé 読む 🎉 @Ärger")};
        QList<Activity *> activities;
        for (int i = 0; i < texts.size(); ++i)
            activities << ExportFixture::makeActivity(fixture.context(), texts.at(i),
                                                      localTime(2016, 3, 5 + i, 9, 0),
                                                      localTime(2016, 3, 5 + i, 10, 30));
        QVERIFY(fixture.context().save());
        const QList<CSVTokenField> format{CSVTokenField(0, 400, 400), CSVTokenField(0, 400, 401),
                                          CSVTokenField(0, 100, 121), CSVTokenField(0, 200, 300),
                                          CSVTokenField(0, 400, 403)};
        const QString path = fixture.filePath(QStringLiteral("out.csv"));
        QCOMPARE(ActivityExporter::exportCSV(activities, path, format, separator), QString());

        const QStringList projects{QStringLiteral("Acme"), QString(), QString(), QString(),
                                   QStringLiteral("Ärger")};
        const QList<QStringList> rows = rowsReadByPython(path, separator);
        QCOMPARE(rows.size(), texts.size());
        for (int i = 0; i < texts.size(); ++i) {
            const QStringList expected{
                texts.at(i), projects.at(i),
                QStringLiteral("2016-03-%1T09:00:00").arg(5 + i, 2, 10, QLatin1Char('0')),
                QStringLiteral("01:30:00"), activities.at(i)->uid()};
            QCOMPARE(rows.at(i), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestCSVExport)
#include "tst_CSVExport.moc"
