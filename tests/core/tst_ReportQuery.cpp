#include "Activity.h"
#include "Project.h"
#include "StoreFixture.h"
#include "Task.h"
#include "report/ReportQuery.h"
#include "report/ReportTotals.h"

#include <QTest>
#include <QTimeZone>

namespace {

const QTimeZone berlin("Europe/Berlin");

QDateTime at(QDate date, QTime time, const QTimeZone &zone = berlin)
{
    return QDateTime(date, time, zone);
}

QDateTime local(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2016, month, day), QTime(hour, minute));
}

QStringList textsOf(const ReportRows &rows)
{
    QStringList texts;
    for (const ReportRow &row : rows)
        texts.append(row.text);
    return texts;
}

ReportRows query(Context &context, const ReportFilter &filter)
{
    PdError error;
    const ReportRows rows = ReportQuery::rows(context, filter, &error);
    if (error)
        qWarning("Report query failed: %s", qPrintable(error.toString()));
    return rows;
}

// Saves activities one hour apart (the first one newest), so that the expected order is the given one.
void saveNewestFirst(Context &context, const QStringList &texts)
{
    QDateTime start = local(3, 14, 9);
    for (const QString &text : texts) {
        StoreFixture::saveActivity(context, text, start, start.addSecs(1800));
        start = start.addSecs(-3600);
    }
}

} // namespace

class TestReportQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Local times of the fixtures are Berlin times; ctest sets the zone.
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin"));
    }

    void periodBounds_data()
    {
        QTest::addColumn<ReportPeriod>("period");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTimeZone>("zone");
        QTest::addColumn<Qt::DayOfWeek>("firstDay");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<int>("hours");

        const auto add = [](const char *name, ReportPeriod period, QDate date, Qt::DayOfWeek firstDay,
                            QDate startDay, QDate endDay, int hours) {
            QTest::newRow(name) << period << date << berlin << firstDay << at(startDay, QTime(0, 0))
                                << at(endDay, QTime(0, 0)) << hours;
        };
        add("day", ReportPeriod::Day, QDate(2016, 3, 14), Qt::Monday, QDate(2016, 3, 14), QDate(2016, 3, 15),
            24);
        add("day of the spring change", ReportPeriod::Day, QDate(2016, 3, 27), Qt::Monday, QDate(2016, 3, 27),
            QDate(2016, 3, 28), 23);
        add("day of the autumn change", ReportPeriod::Day, QDate(2016, 10, 30), Qt::Monday,
            QDate(2016, 10, 30), QDate(2016, 10, 31), 25);
        add("week from Monday, a Wednesday", ReportPeriod::Week, QDate(2016, 3, 16), Qt::Monday,
            QDate(2016, 3, 14), QDate(2016, 3, 21), 168);
        add("week from Sunday, a Wednesday", ReportPeriod::Week, QDate(2016, 3, 16), Qt::Sunday,
            QDate(2016, 3, 13), QDate(2016, 3, 20), 168);
        add("week from Monday, on a Monday", ReportPeriod::Week, QDate(2016, 3, 14), Qt::Monday,
            QDate(2016, 3, 14), QDate(2016, 3, 21), 168);
        add("week from Monday, on a Sunday", ReportPeriod::Week, QDate(2016, 3, 13), Qt::Monday,
            QDate(2016, 3, 7), QDate(2016, 3, 14), 168);
        add("week from Saturday, on a Friday", ReportPeriod::Week, QDate(2016, 3, 18), Qt::Saturday,
            QDate(2016, 3, 12), QDate(2016, 3, 19), 168);
        add("week over the spring change", ReportPeriod::Week, QDate(2016, 3, 23), Qt::Monday,
            QDate(2016, 3, 21), QDate(2016, 3, 28), 167);
        add("week over the new year", ReportPeriod::Week, QDate(2016, 1, 1), Qt::Monday, QDate(2015, 12, 28),
            QDate(2016, 1, 4), 168);
        add("month on the 31st", ReportPeriod::Month, QDate(2016, 1, 31), Qt::Monday, QDate(2016, 1, 1),
            QDate(2016, 2, 1), 31 * 24);
        add("leap February", ReportPeriod::Month, QDate(2016, 2, 29), Qt::Monday, QDate(2016, 2, 1),
            QDate(2016, 3, 1), 29 * 24);
        add("December", ReportPeriod::Month, QDate(2016, 12, 15), Qt::Monday, QDate(2016, 12, 1),
            QDate(2017, 1, 1), 31 * 24);
        add("month of the spring change", ReportPeriod::Month, QDate(2016, 3, 1), Qt::Monday,
            QDate(2016, 3, 1), QDate(2016, 4, 1), 31 * 24 - 1);

        // São Paulo moved its clocks from 00:00 to 01:00 on 4 November 2018: that day starts at 01:00.
        const QTimeZone saoPaulo("America/Sao_Paulo");
        QTest::newRow("day without a midnight") << ReportPeriod::Day << QDate(2018, 11, 4) << saoPaulo
                                                << Qt::Monday << at(QDate(2018, 11, 4), QTime(1, 0), saoPaulo)
                                                << at(QDate(2018, 11, 5), QTime(0, 0), saoPaulo) << 23;
    }

    void periodBounds()
    {
        QFETCH(ReportPeriod, period);
        QFETCH(QDate, date);
        QFETCH(QTimeZone, zone);
        QFETCH(Qt::DayOfWeek, firstDay);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(int, hours);

        const std::optional<ReportBounds> bounds = reportPeriodBounds(period, date, zone, firstDay);
        QVERIFY(bounds);
        QCOMPARE(bounds->start, start);
        QCOMPARE(bounds->end, end);
        QCOMPARE(bounds->start.secsTo(bounds->end), qint64(hours) * 3600);
    }

    void allHasNoBounds()
    {
        QVERIFY(!reportPeriodBounds(ReportPeriod::All, QDate(2016, 3, 14)));
        QVERIFY(!reportPeriodBounds(ReportPeriod::Day, QDate()));
    }

    // The period is half-open: an activity ending exactly at its start is listed, one starting exactly
    // at its end is not; one that started long before and runs into it is listed.
    void periodOverlap()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        const auto save = [&](const char *text, const QDateTime &from, const QDateTime &to) {
            StoreFixture::saveActivity(context, QString::fromLatin1(text), from, to);
        };
        save("ends at the start", local(3, 13, 23), local(3, 14, 0));
        save("ends before the start", local(3, 13, 22), local(3, 13, 23, 59));
        save("inside", local(3, 14, 9), local(3, 14, 10));
        save("last minute", local(3, 14, 23, 59), local(3, 15, 0));
        save("starts at the end", local(3, 15, 0), local(3, 15, 1));
        save("ten days long", local(3, 5, 12), local(3, 15, 12));
        save("into the day", local(3, 13, 23, 30), local(3, 14, 0, 30));

        ReportFilter filter;
        filter.bounds = reportPeriodBounds(ReportPeriod::Day, QDate(2016, 3, 14));
        const QStringList expected = {"last minute", "inside", "into the day", "ends at the start",
                                      "ten days long"};
        QCOMPARE(textsOf(query(context, filter)), expected);

        PdError error;
        const QList<Activity *> activities = ReportQuery::activities(context, filter, &error);
        QVERIFY(!error);
        QStringList activityTexts;
        for (const Activity *activity : activities)
            activityTexts.append(activity->text());
        QCOMPARE(activityTexts, expected);

        QCOMPARE(query(context, ReportFilter()).size(), 7);
    }

    void search_data()
    {
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("substring in any case")
            << "net" << QStringList{"Network setup", "net profit", "Planning NET"};
        QTest::newRow("upper-case umlaut") << "ÄRGER" << QStringList{"Ärger mit dem Server"};
        QTest::newRow("lower-case umlaut") << "ärger mit" << QStringList{"Ärger mit dem Server"};
        QTest::newRow("accented upper case") << "CAFÉ" << QStringList{"café au lait"};
        QTest::newRow("star for any run") << "t*p" << QStringList{"Network setup", "net profit"};
        QTest::newRow("star at both ends") << "*setup*" << QStringList{"Network setup"};
        QTest::newRow("question mark for one character") << "b?g 4" << QStringList{"Fix bug 42"};
        QTest::newRow("question mark for a non-ASCII character") << "caf? au" << QStringList{"café au lait"};
        QTest::newRow("question mark needs a character") << "42?" << QStringList{};
        QTest::newRow("percent sign is literal") << "%" << QStringList{"100% done"};
        QTest::newRow("underscore is literal") << "o_e" << QStringList{};
        QTest::newRow("no match") << "zebra" << QStringList{};
    }

    void search()
    {
        QFETCH(QString, searchText);
        QFETCH(QStringList, expected);

        StoreFixture fixture;
        saveNewestFirst(fixture.context(), {"Network setup", "Ärger mit dem Server", "net profit",
                                            "Planning NET", "Fix bug 42", "café au lait", "100% done"});
        ReportFilter filter;
        filter.searchText = searchText;
        QCOMPARE(textsOf(query(fixture.context(), filter)), expected);
        QCOMPARE(ReportQuery::activities(fixture.context(), filter).size(), expected.size());
    }

    void projectsAndTasks_data()
    {
        QTest::addColumn<QStringList>("projects");
        QTest::addColumn<QStringList>("tasks");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("one project") << QStringList{"Acme"} << QStringList{} << QStringList{"a", "b"};
        QTest::newRow("two projects")
            << QStringList{"Acme", "Globex"} << QStringList{} << QStringList{"a", "b", "c", "d"};
        QTest::newRow("one task") << QStringList{} << QStringList{"sales"} << QStringList{"a", "c", "e"};
        QTest::newRow("any of two tasks")
            << QStringList{} << QStringList{"sales", "dev"} << QStringList{"a", "b", "c", "e"};
        QTest::newRow("project and task") << QStringList{"Acme"} << QStringList{"sales"} << QStringList{"a"};
        QTest::newRow("project and tasks")
            << QStringList{"Globex"} << QStringList{"sales", "dev"} << QStringList{"c"};
    }

    void projectsAndTasks()
    {
        QFETCH(QStringList, projects);
        QFETCH(QStringList, tasks);
        QFETCH(QStringList, expected);

        StoreFixture fixture;
        Context &context = fixture.context();
        saveNewestFirst(context, {"a @Acme #sales", "b @Acme #dev", "c @Globex #sales #dev", "d @Globex",
                                  "e #sales", "f"});
        ReportFilter filter;
        for (const QString &name : projects)
            filter.projectIds.insert(context.projectNamed(name)->objectId());
        for (const QString &name : tasks)
            filter.taskIds.insert(context.taskNamed(name)->objectId());

        QStringList texts;
        for (const ReportRow &row : query(context, filter))
            texts.append(row.text.left(1));
        QCOMPARE(texts, expected);
    }

    void invoiced_data()
    {
        QTest::addColumn<ReportFilter::Invoiced>("status");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("all") << ReportFilter::Invoiced::All << QStringList{"billed", "open", "billed too"};
        QTest::newRow("only invoiced")
            << ReportFilter::Invoiced::OnlyInvoiced << QStringList{"billed", "billed too"};
        QTest::newRow("only not invoiced") << ReportFilter::Invoiced::OnlyNotInvoiced << QStringList{"open"};
    }

    void invoiced()
    {
        QFETCH(ReportFilter::Invoiced, status);
        QFETCH(QStringList, expected);

        StoreFixture fixture;
        Context &context = fixture.context();
        saveNewestFirst(context, {"billed", "open", "billed too"});
        for (Activity *activity : context.fetch<Activity>()) {
            activity->setInvoiced(activity->text().startsWith(QLatin1String("billed")));
        }
        QVERIFY(context.save());

        ReportFilter filter;
        filter.invoiced = status;
        QCOMPARE(textsOf(query(context, filter)), expected);
    }

    // Rows carry what an Activity shows: durations floored per end, tasks sorted and joined.
    void rowValues()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        const QDateTime from = local(3, 14, 9).addMSecs(900);
        Activity *tagged = StoreFixture::saveActivity(
            context, QStringLiteral("Call @Acme #sales #Ärger #dev"), from, from.addMSecs(1200));
        Activity *plain =
            StoreFixture::saveActivity(context, QStringLiteral("Think"), local(3, 13, 9), local(3, 13, 10));

        const ReportRows rows = query(context, ReportFilter());
        QCOMPARE(rows.size(), 2);
        const ReportRow &first = rows.at(0);
        QCOMPARE(first.id, tagged->objectId());
        QCOMPARE(first.uid, tagged->uid());
        QCOMPARE(first.timeFrom, tagged->timeFrom());
        QCOMPARE(first.timeTo, tagged->timeTo());
        QCOMPARE(first.durationSecs, 2);
        QCOMPARE(first.durationSecs, tagged->durationSecs());
        QCOMPARE(first.projectName, QStringLiteral("Acme"));
        QCOMPARE(first.tasksStr, tagged->tasksStr());
        QCOMPARE(first.tasksStr, QStringLiteral("dev, sales, Ärger"));
        QVERIFY(!first.invoiced);

        const ReportRow &second = rows.at(1);
        QCOMPARE(second.uid, plain->uid());
        QCOMPARE(second.durationSecs, 3600);
        QVERIFY(second.projectName.isNull());
        QVERIFY(second.tasksStr.isNull());

        QCOMPARE(ReportQuery::activitiesOf(context, rows), (QList<Activity *>{tagged, plain}));
    }

    void totals()
    {
        ReportRows rows(3);
        rows[0].durationSecs = 60;
        rows[1].durationSecs = 3600;
        rows[2].durationSecs = 5;

        QCOMPARE(ReportTotals::totalSeconds(rows), 3665.0);
        QCOMPARE(ReportTotals::totalSeconds(ReportRows()), 0.0);
        QVERIFY(!ReportTotals::selectedSeconds(rows, {1}));
        QCOMPARE(ReportTotals::selectedSeconds(rows, {0, 2}), std::optional<double>(65.0));
    }
};

QTEST_GUILESS_MAIN(TestReportQuery)
#include "tst_ReportQuery.moc"
