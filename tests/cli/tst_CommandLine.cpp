#include "Activity.h"
#include "CommandLine.h"
#include "TestHome.h"
#include "storage/StoreController.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include "PenduloRun.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Run = PenduloRun;

Run pendulo(const QStringList &arguments)
{
    return runPendulo(arguments);
}

QDateTime local(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2016, month, day), QTime(hour, minute));
}

struct Sample
{
    const char *uid;
    const char *text;
    QDateTime from;
    QDateTime to;
    bool invoiced;
};

// Week of Wednesday 2016-03-09: Write offer, Call, Review. Also one in February, one the next week.
const QList<Sample> &samples()
{
    static const QList<Sample> list = {
        {"11111111-1111-1111-1111-111111111111", "Write offer @Acme #sales", local(3, 7, 9),
         local(3, 7, 10, 30), false},
        {"22222222-2222-2222-2222-222222222222", "Call @Acme #support", local(3, 8, 14), local(3, 8, 14, 45),
         true},
        {"33333333-3333-3333-3333-333333333333", "Review @Beta #sales", local(3, 9, 10), local(3, 9, 11),
         false},
        {"44444444-4444-4444-4444-444444444444", "Old work @Beta", local(2, 20, 8), local(2, 20, 9), false},
        {"55555555-5555-5555-5555-555555555555", "Network setup #admin", local(3, 14, 9), local(3, 14, 9, 30),
         false},
    };
    return list;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The texts of the listed rows, in the order printed (the first line is the heading).
QStringList listedTexts(const QString &output)
{
    QStringList texts;
    for (const QString &line : output.split(QLatin1Char('\n'))) {
        for (const Sample &sample : samples()) {
            if (line.contains(QLatin1StringView(sample.text)))
                texts.append(QString::fromLatin1(sample.text));
        }
    }
    return texts;
}

QString lastLine(const QString &output)
{
    return output.trimmed().split(QLatin1Char('\n')).constLast();
}

} // namespace

// The `pendulo` program run with a verb, against a store and settings in the test's own XDG folders.
class TestCommandLine : public QObject
{
    Q_OBJECT

private:
    QString storePath() const { return StoreController::storeFilePath(); }

    void fillStore()
    {
        QVERIFY(QDir().mkpath(StoreController::databaseDirectory()));
        PdError error;
        std::unique_ptr<ObjectStore> store = ObjectStore::open(storePath(), &error);
        QVERIFY2(store, qPrintable(error.toString()));
        Context &context = store->mainContext();
        for (const Sample &sample : samples()) {
            Activity *activity = context.insertActivity();
            activity->setUid(QString::fromLatin1(sample.uid));
            activity->setText(QString::fromLatin1(sample.text));
            activity->setTimeFrom(sample.from);
            activity->setTimeTo(sample.to);
            activity->setInvoiced(sample.invoiced);
        }
        QVERIFY2(context.save(&error), qPrintable(error.toString()));
    }

    // The store's files as they lie on disk (the program has ended, so nothing is pending).
    QByteArray storeChecksum() const
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (const char *suffix : {"", "-wal"})
            hash.addData(readFile(storePath() + QLatin1StringView(suffix)));
        return hash.result().toHex();
    }

    qint64 storedActivities() const
    {
        std::unique_ptr<ObjectStore> store = ObjectStore::open(storePath());
        return store ? store->mainContext().count(EntityType::Activity) : -1;
    }

    QString settingsFile() const { return TestHome::configHome() + QStringLiteral("/Pendulo/Pendulo.conf"); }

    QTemporaryDir m_files;

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        fillStore();
    }

    void reportListsTheFilteredRowsNewestFirstWithTheirTotal_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("total");

        const QString offer = QStringLiteral("Write offer @Acme #sales");
        const QString call = QStringLiteral("Call @Acme #support");
        const QString review = QStringLiteral("Review @Beta #sales");
        const QString old = QStringLiteral("Old work @Beta");
        const QString network = QStringLiteral("Network setup #admin");

        QTest::newRow("week by default")
            << QStringList{"--date", "2016-03-09"} << QStringList{review, call, offer} << "Total: 03:15:00";
        QTest::newRow("day") << QStringList{"--period", "day", "--date", "2016-03-08"} << QStringList{call}
                             << "Total: 00:45:00";
        QTest::newRow("month") << QStringList{"--period", "month", "--date", "2016-03-31"}
                               << QStringList{network, review, call, offer} << "Total: 03:45:00";
        QTest::newRow("all") << QStringList{"--period", "all"}
                             << QStringList{network, review, call, offer, old} << "Total: 04:45:00";
        QTest::newRow("project in another letter case") << QStringList{"--period", "all", "--project", "acme"}
                                                        << QStringList{call, offer} << "Total: 02:15:00";
        QTest::newRow("two projects, one typed with @")
            << QStringList{"--period", "all", "--project", "Acme", "--project", "@Beta"}
            << QStringList{review, call, offer, old} << "Total: 04:15:00";
        QTest::newRow("task") << QStringList{"--period", "all", "--task", "#sales"}
                              << QStringList{review, offer} << "Total: 02:30:00";
        QTest::newRow("project and task")
            << QStringList{"--period", "all", "--project", "Acme", "--task", "sales"} << QStringList{offer}
            << "Total: 01:30:00";
        QTest::newRow("search in any case")
            << QStringList{"--period", "all", "--search", "NET"} << QStringList{network} << "Total: 00:30:00";
        QTest::newRow("search with a wildcard") << QStringList{"--period", "all", "--search", "w*offer"}
                                                << QStringList{offer} << "Total: 01:30:00";
        QTest::newRow("invoiced") << QStringList{"--period", "all", "--invoiced", "yes"} << QStringList{call}
                                  << "Total: 00:45:00";
        QTest::newRow("not invoiced") << QStringList{"--date", "2016-03-09", "--invoiced", "no"}
                                      << QStringList{review, offer} << "Total: 02:30:00";
        QTest::newRow("nothing listed")
            << QStringList{"--date", "2017-01-01"} << QStringList{} << "Total: 00:00:00";
    }

    void reportListsTheFilteredRowsNewestFirstWithTheirTotal()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, texts);
        QFETCH(QString, total);

        const Run run = pendulo(QStringList{"report"} + arguments);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(listedTexts(run.out), texts);
        QCOMPARE(lastLine(run.out), total);
    }

    void reportRowShowsEveryColumnAndMarksInvoiced()
    {
        const Run run = pendulo({"report", "--period", "day", "--date", "2016-03-08"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.trimmed().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith(QLatin1String("Start")), qPrintable(lines[0]));
        const QString row = lines[1];
        const QString start = Activity::dateStr(local(3, 8, 14));
        const QString end = Activity::dateStr(local(3, 8, 14, 45));
        QVERIFY2(row.startsWith(start), qPrintable(row));
        for (const QString &cell :
             {end, QStringLiteral("00:45:00"), QStringLiteral("Acme"), QStringLiteral("support")})
            QVERIFY2(row.contains(cell), qPrintable(row));
        QVERIFY2(row.endsWith(QLatin1String("Call @Acme #support [Invoiced]")), qPrintable(row));
    }

    void reportDurationFormat_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("storedFormat");
        QTest::addColumn<QString>("rowDuration");
        QTest::addColumn<QString>("total");

        const QStringList week{"--date", "2016-03-09"};
        QTest::newRow("formatted") << (week + QStringList{"--duration-format", "formatted"}) << "2"
                                   << "01:30:00"
                                   << "Total: 03:15:00";
        QTest::newRow("minutes") << (week + QStringList{"--duration-format", "minutes"}) << QString() << "90"
                                 << "Total: 195";
        QTest::newRow("decimal") << (week + QStringList{"--duration-format", "decimal"}) << QString()
                                 << "1.5000"
                                 << "Total: 3.2500";
        QTest::newRow("the report window's setting") << week << "1"
                                                     << "90"
                                                     << "Total: 195";
    }

    void reportDurationFormat()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, storedFormat);
        QFETCH(QString, rowDuration);
        QFETCH(QString, total);

        if (!storedFormat.isEmpty()) {
            QSettings settings(settingsFile(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("report_duration_format"), storedFormat);
        }
        const Run run = pendulo(QStringList{"report"} + arguments);
        QCOMPARE(run.exitCode, 0);
        const QString offerLine =
            run.out.split(QLatin1Char('\n')).filter(QStringLiteral("Write offer")).value(0);
        QVERIFY2(offerLine.contains(QStringLiteral("  %1  ").arg(rowDuration)), qPrintable(offerLine));
        QCOMPARE(lastLine(run.out), total);
        // Choosing a format on the command line does not change the stored one.
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat)
                     .value(QStringLiteral("report_duration_format"))
                     .toString(),
                 storedFormat);
    }

    void reportWithoutOptionsListsTheCurrentWeek()
    {
        // One activity running across now, one long before this week.
        {
            std::unique_ptr<ObjectStore> store = ObjectStore::open(storePath());
            QVERIFY(store);
            const QDateTime now = QDateTime::currentDateTime();
            Activity *current = store->mainContext().insertActivity();
            current->setText(QStringLiteral("Running now"));
            current->setTimeFrom(now.addSecs(-60));
            current->setTimeTo(now.addSecs(120));
            QVERIFY(store->mainContext().save());
        }
        const Run run = pendulo({"report"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QLatin1String("Running now")), qPrintable(run.out));
        QCOMPARE(listedTexts(run.out), QStringList());
    }

    void exportWritesTheFilteredActivitiesInTheStoredCsvFormat_data()
    {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("stored columns and tab")
            << QStringList{"csv_row_format", "403, 121, 301, 401, 402, 404", "csvFieldSeparator", "{TAB}"}
            << QByteArray(
                   "\"22222222-2222-2222-2222-222222222222\"\t\"2016-03-08T14:00:00\"\t\"45\"\t\"Acme\"\t"
                   "\"support\"\t\"1\"\r\n"
                   "\"11111111-1111-1111-1111-111111111111\"\t\"2016-03-07T09:00:00\"\t\"90\"\t\"Acme\"\t"
                   "\"sales\"\t\"0\"");
        QTest::newRow("text and end time, semicolon")
            << QStringList{"csv_row_format", "400 170", "csvFieldSeparator", ";"}
            << QByteArray(
                   "\"Call @Acme #support\";\"14:45:00\"\r\n\"Write offer @Acme #sales\";\"10:30:00\"");
    }

    void exportWritesTheFilteredActivitiesInTheStoredCsvFormat()
    {
        QFETCH(QStringList, settings);
        QFETCH(QByteArray, expected);

        for (qsizetype i = 0; i < settings.size(); i += 2)
            QCOMPARE(pendulo({"settings", settings[i], settings[i + 1]}).exitCode, 0);
        const QString output = m_files.filePath(QStringLiteral("acme.csv"));
        const Run run = pendulo(
            {"export", "--format", "csv", "--output", output, "--period", "all", "--project", "Acme"});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(QLatin1String("Exported 2 activities")), qPrintable(run.out));
        QCOMPARE(readFile(output), expected);
    }

    void xmlExportImportsBackIntoAnEmptyStore()
    {
        QCOMPARE(pendulo({"settings", "xml_properties", "project=401"}).exitCode, 0);
        const QString output = m_files.filePath(QStringLiteral("all.xml"));
        Run run = pendulo({"export", "--format", "xml", "--output", output, "--period", "all"});
        QCOMPARE(run.exitCode, 0);
        const QString xml = QString::fromUtf8(readFile(output));
        QVERIFY2(xml.contains(QLatin1String("<activities>")), qPrintable(xml));
        QCOMPARE(xml.count(QLatin1String("<activity ")), samples().size());
        QVERIFY2(xml.contains(QLatin1String("project=\"Acme\"")), qPrintable(xml));
        const QString before = pendulo({"report", "--period", "all"}).out;

        QVERIFY(QDir(StoreController::databaseDirectory()).removeRecursively());
        run = pendulo({"import", output});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Imported 5 activities\n"));
        QCOMPARE(pendulo({"report", "--period", "all"}).out, before);

        // Once more: every activity is overwritten by its uid, none added.
        run = pendulo({"import", output});
        QCOMPARE(run.out, QStringLiteral("Imported 5 activities\n"));
        QCOMPARE(storedActivities(), qint64(samples().size()));
    }

    void importDryRunListsAndChangesNothing()
    {
        const QString file = m_files.filePath(QStringLiteral("two.xml"));
        writeFile(
            file,
            "<?xml version=\"1.0\"?>\n<activities>"
            "<activity uid=\"22222222-2222-2222-2222-222222222222\" invoiced=\"0\" "
            "from=\"2016-03-08T14:00:00\" to=\"2016-03-08T15:00:00\">Call @Acme #support</activity>"
            "<activity uid=\"NEW-ONE\" from=\"2016-04-01T08:00:00\" to=\"2016-04-01T08:10:00\">"
            "Plan @Gamma</activity>"
            "<activity uid=\"NEW-ONE\" from=\"2016-04-02T08:00:00\" to=\"2016-04-02T08:05:00\">"
            "Plan again @Gamma</activity>"
            "<activity from=\"2016-04-01 08:00:00\" to=\"2016-04-01T09:00:00\">No valid start</activity>"
            "</activities>");
        const QByteArray checksum = storeChecksum();

        const Run run = pendulo({"import", "--dry-run", file});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QLatin1String("Plan @Gamma")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QLatin1String("Call @Acme #support")), qPrintable(run.out));
        QVERIFY(!run.out.contains(QLatin1String("No valid start")));
        QCOMPARE(lastLine(run.out),
                 QStringLiteral("Would import 3 activities (1 new, 2 overwriting stored ones)"));
        QVERIFY2(run.err.contains(QLatin1String("skipped 1")), qPrintable(run.err));
        QCOMPARE(storeChecksum(), checksum);

        const Run imported = pendulo({"import", file});
        QCOMPARE(imported.out, QStringLiteral("Imported 3 activities\n"));
        QCOMPARE(storedActivities(), qint64(samples().size() + 1));
        const Run report = pendulo({"report", "--period", "day", "--date", "2016-03-08"});
        QCOMPARE(lastLine(report.out), QStringLiteral("Total: 01:00:00"));
        QVERIFY2(!report.out.contains(QLatin1String("[Invoiced]")), qPrintable(report.out));
    }

    void importOfAFileWithoutActivitiesChangesNothing()
    {
        const QString file = m_files.filePath(QStringLiteral("empty.xml"));
        writeFile(file, "<?xml version=\"1.0\"?>\n<activities/>\n");
        const QByteArray checksum = storeChecksum();
        const Run run = pendulo({"import", file});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Imported 0 activities\n"));
        QCOMPARE(storeChecksum(), checksum);
    }

    void settingsShowAndSetThroughTheSettingsObject_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");

        QTest::newRow("clamped count") << "recentItemsCount"
                                       << "80"
                                       << "50";
        QTest::newRow("idle timeout out of range") << "idleDetectionTimeout"
                                                   << "0"
                                                   << "15";
        QTest::newRow("duration format out of range") << "report_duration_format"
                                                      << "3"
                                                      << "0";
        QTest::newRow("boolean as yes") << "reportFilterVisible"
                                        << "yes"
                                        << "true";
        QTest::newRow("key in another letter case") << "RECENTITEMSORDEREDBY"
                                                    << "text"
                                                    << "text";
        QTest::newRow("tab separator") << "csvFieldSeparator"
                                       << "{TAB}"
                                       << "{TAB}";
        QTest::newRow("csv columns") << "csv_row_format"
                                     << "110 120,300"
                                     << "110, 120, 300";
        QTest::newRow("csv default") << "csv_row_format"
                                     << "default"
                                     << "111, 120, 300, 401, 400, 404";
        QTest::newRow("xml fields") << "xml_properties"
                                    << "  my field =401, tasks=402"
                                    << "my-field=401, tasks=402";
        QTest::newRow("no xml fields") << "xml_properties"
                                       << ""
                                       << "";
    }

    void settingsShowAndSetThroughTheSettingsObject()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, shown);

        const Run set = pendulo({"settings", key, value});
        QCOMPARE(set.err, QString());
        QCOMPARE(set.exitCode, 0);
        const QString storedKey = set.out.section(QLatin1String(" = "), 0, 0);
        QCOMPARE(set.out, QStringLiteral("%1 = %2\n").arg(storedKey, shown));
        QCOMPARE(pendulo({"settings", key}).out, shown + QLatin1Char('\n'));
        QVERIFY2(pendulo({"settings"}).out.contains(QStringLiteral("\n%1 = %2\n").arg(storedKey, shown)),
                 qPrintable(storedKey));
    }

    void settingsListsEveryKeyWithItsValue()
    {
        const Run run = pendulo({"settings"});
        QCOMPARE(run.exitCode, 0);
        for (const char *line :
             {"recentItemsCount = 10", "csvFieldSeparator = ;", "idleDetectionTimeout = 15",
              "csv_row_format = 111, 120, 300, 401, 400, 404",
              "xml_properties = ", "reminderNotificationInterval = 1",
              "eventScreenLockedStopTracking = false", "syncMethod = 0", "dropbox_hash = "})
            QVERIFY2(run.out.contains(QLatin1StringView(line)), line);
    }

    void failedCommandsSayWhyOnOneLineAndLeaveTheStoreAlone_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        const QString missing = m_files.filePath(QStringLiteral("missing.xml"));
        const QString notXml = m_files.filePath(QStringLiteral("not.xml"));
        const QString wrongRoot = m_files.filePath(QStringLiteral("root.xml"));
        const QString entities = m_files.filePath(QStringLiteral("entities.xml"));
        const QString invalid = m_files.filePath(QStringLiteral("invalid.xml"));
        writeFile(notXml, "uid;from;to\n1;2;3\n");
        writeFile(wrongRoot,
                  "<activity uid=\"X\" from=\"2016-03-08T14:00:00\" to=\"2016-03-08T15:00:00\">x</activity>");
        writeFile(entities,
                  "<?xml version=\"1.0\"?><!DOCTYPE activities [<!ENTITY a \"aaaaaaaa\">"
                  "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><activities><activity "
                  "from=\"2016-03-08T14:00:00\" to=\"2016-03-08T15:00:00\">&b;</activity></activities>");
        // Ends before it starts: the whole import is refused.
        writeFile(invalid,
                  "<activities><activity uid=\"11111111-1111-1111-1111-111111111111\" "
                  "from=\"2016-05-01T10:00:00\" to=\"2016-05-01T11:00:00\">Fine</activity>"
                  "<activity from=\"2016-05-01T10:00:00\" to=\"2016-05-01T09:00:00\">Backwards</activity>"
                  "</activities>");

        QTest::newRow("unknown command") << QStringList{"reprot"} << 2 << "not a command";
        QTest::newRow("unknown option") << QStringList{"report", "--frobnicate"} << 2 << "frobnicate";
        QTest::newRow("bad period") << QStringList{"report", "--period", "year"} << 2 << "--period";
        QTest::newRow("bad date") << QStringList{"report", "--date", "2016-13-01"} << 2 << "--date";
        QTest::newRow("bad invoiced") << QStringList{"report", "--invoiced", "maybe"} << 2 << "--invoiced";
        QTest::newRow("bad duration format")
            << QStringList{"report", "--duration-format", "hours"} << 2 << "--duration-format";
        QTest::newRow("unknown project")
            << QStringList{"report", "--project", "Nobody"} << 1 << "no project named \"Nobody\"";
        QTest::newRow("unknown task")
            << QStringList{"export", "--format", "csv", "--output", m_files.filePath(QStringLiteral("t.csv")),
                           "--task", "nap"}
            << 1 << "no task named \"nap\"";
        QTest::newRow("bad export format")
            << QStringList{"export", "--format", "pdf", "--output", "x.pdf"} << 2 << "--format";
        QTest::newRow("export without output") << QStringList{"export", "--format", "csv"} << 2 << "--output";
        QTest::newRow("output folder missing") << QStringList{"export", "--format", "xml", "--output",
                                                              m_files.filePath(QStringLiteral("no/such.xml"))}
                                               << 1 << "does not exist";
        QTest::newRow("output is a folder")
            << QStringList{"export", "--format", "csv", "--output", m_files.path()} << 1 << "is a folder";
        QTest::newRow("output not writable")
            << QStringList{"export", "--format", "xml", "--output", "/proc/pendulo-export.xml"} << 1
            << "Failed to write XML data to file!";
        QTest::newRow("import without file") << QStringList{"import"} << 2 << "missing argument";
        QTest::newRow("unreadable file") << QStringList{"import", missing} << 1 << "missing.xml";
        QTest::newRow("not XML") << QStringList{"import", notXml} << 1 << "not an XML file";
        QTest::newRow("wrong root") << QStringList{"import", wrongRoot} << 1 << "\"activities\"";
        QTest::newRow("entities") << QStringList{"import", entities} << 1 << "entities";
        QTest::newRow("activity that cannot be stored")
            << QStringList{"import", invalid} << 1 << "cannot be stored";
        QTest::newRow("unknown setting")
            << QStringList{"settings", "noSuchKey", "1"} << 2 << "unknown setting";
        QTest::newRow("setting value")
            << QStringList{"settings", "recentItemsCount", "many"} << 2 << "whole number";
        QTest::newRow("field code") << QStringList{"settings", "csv_row_format", "110, 999"} << 2 << "999";
        QTest::newRow("refused XML name")
            << QStringList{"settings", "xml_properties", "from=401"} << 2 << "\"from\"";
        QTest::newRow("read-only setting")
            << QStringList{"settings", "dropbox_hash", "abc"} << 1 << "read only";
    }

    void failedCommandsSayWhyOnOneLineAndLeaveTheStoreAlone()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);

        const QByteArray checksum = storeChecksum();
        const Run run = pendulo(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QLatin1String("pendulo")), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(run.err.count(QLatin1Char('\n')), 1);
        QCOMPARE(storeChecksum(), checksum);
        QCOMPARE(storedActivities(), qint64(samples().size()));
    }

    void helpForTheProgramAndEachCommand_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("mentions");

        QTest::newRow("program") << QStringList{"--help"}
                                 << QStringList{"report", "export", "import", "settings", "Exit status"};
        QTest::newRow("report") << QStringList{"report", "--help"}
                                << QStringList{"pendulo report", "--period", "--duration-format",
                                               "--project"};
        QTest::newRow("help VERB") << QStringList{"help", "export"}
                                   << QStringList{"pendulo export", "--format", "--output", "--invoiced"};
        QTest::newRow("import") << QStringList{"import", "--help"} << QStringList{"--dry-run", "FILE.xml"};
        QTest::newRow("settings") << QStringList{"settings", "--help"}
                                  << QStringList{"csv_row_format", "xml_properties", "401", "Project name"};
    }

    void helpForTheProgramAndEachCommand()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, mentions);

        const Run run = pendulo(arguments);
        QCOMPARE(run.exitCode, 0);
        for (const QString &mention : mentions)
            QVERIFY2(run.out.contains(mention), qPrintable(mention));
    }

    void commandsAreToldFromDesktopStarts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("handled");

        QTest::newRow("no argument") << QStringList{} << false;
        QTest::newRow("login helper") << QStringList{"launchFromHelper"} << false;
        QTest::newRow("address") << QStringList{"penduloapp://dropbox#state=1"} << false;
        QTest::newRow("Qt option") << QStringList{"-platform", "offscreen"} << false;
        QTest::newRow("verb") << QStringList{"import", "x.xml"} << true;
        QTest::newRow("help") << QStringList{"--help"} << true;
        QTest::newRow("version") << QStringList{"-v"} << true;
        QTest::newRow("misspelt verb") << QStringList{"reprot"} << true;
    }

    void commandsAreToldFromDesktopStarts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, handled);

        QList<QByteArray> storage{QByteArrayLiteral("pendulo")};
        for (const QString &argument : arguments)
            storage.append(argument.toUtf8());
        std::vector<char *> argv;
        for (QByteArray &argument : storage)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        QCOMPARE(CommandLine::handles(int(storage.size()), argv.data()), handled);
    }

    void versionIsPrinted()
    {
        const Run run = pendulo({"--version"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("pendulo " PENDULO_VERSION "\n"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_CommandLine.moc"
