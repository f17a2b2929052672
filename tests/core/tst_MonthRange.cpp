#include "PDMonthDateRange.h"
#include "PDMonthYearRange.h"

#include <QSet>
#include <QTest>

#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// Switches the process's local time zone for one test and back.
class LocalZone
{
public:
    explicit LocalZone(const QByteArray &zone)
        : m_wasSet(qEnvironmentVariableIsSet("TZ"))
        , m_previous(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_wasSet)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_wasSet;
    QByteArray m_previous;
};

QString local(const QDateTime &dateTime)
{
    return dateTime.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

PDMonthDateRange month(uint year, uint month)
{
    const std::optional<PDMonthDateRange> range = PDMonthDateRange::withYear(year, month);
    Q_ASSERT(range);
    return *range;
}

QStringList drain(PDMonthYearRange &queue)
{
    QStringList names;
    while (const std::optional<PDMonthDateRange> next = queue.nextMonth())
        names.append(next->name());
    return names;
}

} // namespace

class TestMonthRange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Europe/Berlin has daylight saving from the last Sunday of March to the last Sunday of October.
    void bounds_data()
    {
        QTest::addColumn<uint>("year");
        QTest::addColumn<uint>("month");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<qint64>("lengthSeconds");

        const qint64 day = 24 * 3600;
        QTest::newRow("leap February")
            << 2016u << 2u << u"2016-02-01 00:00:00"_s << u"2016-02-29 23:59:59"_s << 29 * day;
        QTest::newRow("February") << 2015u << 2u << u"2015-02-01 00:00:00"_s << u"2015-02-28 23:59:59"_s
                                  << 28 * day;
        QTest::newRow("December") << 2016u << 12u << u"2016-12-01 00:00:00"_s << u"2016-12-31 23:59:59"_s
                                  << 31 * day;
        QTest::newRow("summer time begins")
            << 2016u << 3u << u"2016-03-01 00:00:00"_s << u"2016-03-31 23:59:59"_s << 31 * day - 3600;
        QTest::newRow("summer time ends")
            << 2016u << 10u << u"2016-10-01 00:00:00"_s << u"2016-10-31 23:59:59"_s << 31 * day + 3600;
        QTest::newRow("year 2000") << 2000u << 2u << u"2000-02-01 00:00:00"_s << u"2000-02-29 23:59:59"_s
                                   << 29 * day;
    }

    void bounds()
    {
        QFETCH(uint, year);
        QFETCH(uint, month);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(qint64, lengthSeconds);

        const LocalZone zone("Europe/Berlin");
        const std::optional<PDMonthDateRange> range = PDMonthDateRange::withYear(year, month);
        QVERIFY(range);
        QVERIFY(range->isValid());
        QCOMPARE(range->year(), year);
        QCOMPARE(range->month(), month);
        QCOMPARE(local(range->dateFrom()), from);
        QCOMPARE(local(range->dateTo()), to);
        QCOMPARE(range->dateFrom().secsTo(range->dateTo()) + 1, lengthSeconds);
    }

    // Havana skipped local midnight on 1 April 1990: clocks went from 23:59:59 to 01:00:00.
    void monthStartingInADaylightSavingGap()
    {
        const LocalZone zone("America/Havana");
        const std::optional<PDMonthDateRange> march = PDMonthDateRange::withYear(1990, 3);
        const std::optional<PDMonthDateRange> april = PDMonthDateRange::withYear(1990, 4);
        QVERIFY(march && april);

        QCOMPARE(local(march->dateTo()), u"1990-03-31 23:59:59"_s);
        QCOMPARE(local(april->dateFrom()), u"1990-04-01 01:00:00"_s);
        QCOMPARE(march->dateTo().secsTo(april->dateFrom()), 1);
    }

    void consecutiveMonthsLeaveNoGap()
    {
        const LocalZone zone("Europe/Berlin");
        for (uint m = 1; m <= 12; ++m) {
            const PDMonthDateRange current = month(2016, m);
            const PDMonthDateRange next = m == 12 ? month(2017, 1) : month(2016, m + 1);
            QCOMPARE(current.dateTo().secsTo(next.dateFrom()), 1);
        }
    }

    void invalidMonthsGiveNoRange_data()
    {
        QTest::addColumn<uint>("year");
        QTest::addColumn<uint>("month");

        QTest::newRow("month 0") << 2016u << 0u;
        QTest::newRow("month 13") << 2016u << 13u;
        QTest::newRow("huge month") << 2016u << 4294967295u;
        QTest::newRow("year 0") << 0u << 1u;
        QTest::newRow("year 10000") << 10000u << 1u;
        QTest::newRow("huge year") << 4294967295u << 1u;
    }

    void invalidMonthsGiveNoRange()
    {
        QFETCH(uint, year);
        QFETCH(uint, month);

        QVERIFY(!PDMonthDateRange::withYear(year, month));
        PDMonthYearRange queue;
        QVERIFY(!queue.addYear(year, month));
        QVERIFY(!queue.hasItems());
    }

    void emptyRange()
    {
        const PDMonthDateRange empty;
        QVERIFY(!empty.isValid());
        QCOMPARE(empty.year(), 0u);
        QCOMPARE(empty.month(), 0u);
        QVERIFY(!empty.dateFrom().isValid());
        QVERIFY(!empty.dateTo().isValid());
        QVERIFY(empty != month(2016, 1));
    }

    void name_data()
    {
        QTest::addColumn<uint>("year");
        QTest::addColumn<uint>("month");
        QTest::addColumn<QString>("name");

        QTest::newRow("January") << 2017u << 1u << u"2017-01"_s;
        QTest::newRow("December") << 2016u << 12u << u"2016-12"_s;
        QTest::newRow("three-digit year") << 987u << 3u << u"987-03"_s;
        QTest::newRow("one-digit year") << 5u << 10u << u"5-10"_s;
    }

    void name()
    {
        QFETCH(uint, year);
        QFETCH(uint, month);
        QFETCH(QString, name);

        QCOMPARE(::month(year, month).name(), name);
    }

    void equalityAndHash()
    {
        const PDMonthDateRange a = month(2017, 1);
        const PDMonthDateRange b = month(2017, 1);
        QVERIFY(a == b);
        QCOMPARE(a.hash(), 201701u);
        QCOMPARE(b.hash(), a.hash());
        QCOMPARE(qHash(a, 7), qHash(b, 7));
        QVERIFY(a != month(2017, 2));
        QVERIFY(a != month(2016, 1));

        const QSet<PDMonthDateRange> set{a, b, month(2017, 2)};
        QCOMPARE(set.size(), 2);
        QVERIFY(set.contains(month(2017, 2)));
    }

    void compare_data()
    {
        QTest::addColumn<uint>("year");
        QTest::addColumn<uint>("month");
        QTest::addColumn<int>("expected"); // sign of receiver compared with 2016-03

        QTest::newRow("earlier year, later month") << 2015u << 12u << -1;
        QTest::newRow("same year, earlier month") << 2016u << 2u << -1;
        QTest::newRow("same") << 2016u << 3u << 0;
        QTest::newRow("same year, later month") << 2016u << 4u << 1;
        QTest::newRow("later year, earlier month") << 2017u << 1u << 1;
    }

    void compare()
    {
        QFETCH(uint, year);
        QFETCH(uint, month);
        QFETCH(int, expected);

        const std::strong_ordering order = ::month(year, month).compare(::month(2016, 3));
        QCOMPARE(order < 0 ? -1 : order > 0 ? 1 : 0, expected);
    }

    void queueHandsOutMonthsAscendingWithoutDuplicates()
    {
        PDMonthYearRange queue;
        QVERIFY(!queue.hasItems());
        QVERIFY(!queue.isSorted());
        QVERIFY(queue.addYear(2016, 3));
        QVERIFY(queue.addYear(2015, 12));
        QVERIFY(queue.addYear(2016, 1));
        QVERIFY(!queue.addYear(2016, 3));
        QVERIFY(queue.hasItems());
        QCOMPARE(queue.items().size(), 3);

        QCOMPARE(drain(queue), (QStringList{u"2015-12"_s, u"2016-01"_s, u"2016-03"_s}));
        QVERIFY(queue.isSorted());
        QVERIFY(!queue.hasItems());
        QVERIFY(!queue.nextMonth());
    }

    void monthsAddedAfterTheFirstHandOutAreAppended()
    {
        PDMonthYearRange queue;
        queue.addYear(2016, 3);
        queue.addYear(2016, 1);
        QCOMPARE(queue.nextMonth()->name(), u"2016-01"_s);

        QVERIFY(queue.addYear(2015, 5));
        QVERIFY(queue.addYear(2016, 2));
        // A month already handed out is no longer queued, so it may be queued again.
        QVERIFY(queue.addYear(2016, 1));
        QVERIFY(!queue.addYear(2015, 5));

        QCOMPARE(drain(queue), (QStringList{u"2016-03"_s, u"2015-05"_s, u"2016-02"_s, u"2016-01"_s}));
    }
};

QTEST_GUILESS_MAIN(TestMonthRange)
#include "tst_MonthRange.moc"
