#include "PDDurationTransformer.h"
#include "PdMinutesTransformer.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestDurationTransformer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("expected");

        const qint64 maxSeconds = std::numeric_limits<qint64>::max();
        const qint64 minSeconds = std::numeric_limits<qint64>::min();
        auto row = [](const char *name, int format, qint64 seconds, const QString &expected) {
            QTest::newRow(name) << format << seconds << expected;
        };

        row("formatted zero", 0, 0, u"00:00:00"_s);
        row("formatted 59 s", 0, 59, u"00:00:59"_s);
        row("formatted one hour", 0, 3600, u"01:00:00"_s);
        row("formatted 1:12:45", 0, 4365, u"01:12:45"_s);
        row("formatted 36 hours", 0, 36 * 3600, u"36:00:00"_s);
        row("formatted beyond 99 hours", 0, 100 * 3600 + 61, u"100:01:01"_s);
        row("formatted largest", 0, maxSeconds, u"2562047788015215:30:07"_s);
        row("formatted negative seconds", 0, -59, u"-00:00:59"_s);
        row("formatted negative", 0, -3725, u"-01:02:05"_s);
        row("formatted smallest", 0, minSeconds, u"-2562047788015215:30:08"_s);

        row("minutes 73", 1, 4365, u"73"_s);
        row("minutes zero", 1, 0, u"0"_s);
        row("minutes 29 s", 1, 29, u"0"_s);
        row("minutes half of zero", 1, 30, u"0"_s);
        row("minutes half of one", 1, 90, u"2"_s);
        row("minutes half of two", 1, 150, u"2"_s);
        row("minutes half of three", 1, 210, u"4"_s);
        row("minutes half of four", 1, 270, u"4"_s);
        row("minutes beyond 99 hours", 1, 360000, u"6000"_s);
        row("minutes negative", 1, -4365, u"-73"_s);
        row("minutes negative half", 1, -90, u"-2"_s);
        row("minutes negative rounding to zero", 1, -30, u"0"_s);
        // The quotient is single precision: 33554490 s is 559241.5 min exactly, but 33554488 as a float.
        row("minutes in single precision", 1, 33554490, u"559241"_s);

        row("hours 1.2125", 2, 4365, u"1.2125"_s);
        row("hours 1.5", 2, 5400, u"1.5000"_s);
        row("hours zero", 2, 0, u"0.0000"_s);
        row("hours one second", 2, 1, u"0.0003"_s);
        row("hours beyond 99", 2, 100 * 3600 + 36, u"100.0100"_s);
        row("hours negative", 2, -5400, u"-1.5000"_s);
        // 460802 s is 128.00055... h exactly, but its single-precision quotient lies below the half.
        row("hours in single precision", 2, 460802, u"128.0005"_s);
    }

    void formats()
    {
        QFETCH(int, format);
        QFETCH(qint64, seconds);
        QFETCH(QString, expected);

        const PDDurationTransformer transformer(format);
        QCOMPARE(transformer.transformedValue(seconds), expected);
        QCOMPARE(transformer.transformedValue(QVariant::fromValue(seconds)), expected);
    }

    void prefix_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("formatted") << 0 << QVariant(3725) << u"Total duration: 01:02:05"_s;
        QTest::newRow("minutes") << 1 << QVariant(3725) << u"Total duration: 62"_s;
        QTest::newRow("decimal hours") << 2 << QVariant(3725) << u"Total duration: 1.0347"_s;
        QTest::newRow("not a number") << 0 << QVariant(u"3725"_s) << u""_s;
    }

    void prefix()
    {
        QFETCH(int, format);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);

        PDDurationTransformer transformer;
        transformer.setFormat(format);
        transformer.setPrefix(u"Total duration: "_s);
        QCOMPARE(transformer.format(), format);
        QCOMPARE(transformer.transformedValue(value), expected);
    }

    void inputThatIsNoNumberGivesEmptyText_data()
    {
        QTest::addColumn<QVariant>("value");

        QTest::newRow("invalid") << QVariant();
        QTest::newRow("text") << QVariant(u"90"_s);
        QTest::newRow("bool") << QVariant(true);
        QTest::newRow("date") << QVariant(QDate(2016, 3, 1));
        QTest::newRow("NaN") << QVariant(std::nan(""));
        QTest::newRow("infinity") << QVariant(std::numeric_limits<double>::infinity());
        QTest::newRow("beyond 64 bits") << QVariant(1e19);
        QTest::newRow("unsigned beyond signed range") << QVariant(std::numeric_limits<quint64>::max());
    }

    void inputThatIsNoNumberGivesEmptyText()
    {
        QFETCH(QVariant, value);

        for (int format = 0; format <= 2; ++format) {
            const QString text = PDDurationTransformer(format).transformedValue(value);
            QVERIFY(text.isEmpty());
            QVERIFY(!text.isNull());
        }
        QCOMPARE(PdMinutesTransformer().transformedValue(value), u""_s);
    }

    void numericTypesAreTakenAsWholeSeconds_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");

        QTest::newRow("int") << QVariant(int(90)) << u"00:01:30"_s;
        QTest::newRow("unsigned") << QVariant(uint(90)) << u"00:01:30"_s;
        QTest::newRow("unsigned 64") << QVariant(quint64(90)) << u"00:01:30"_s;
        QTest::newRow("float") << QVariant(90.0f) << u"00:01:30"_s;
        QTest::newRow("double fraction cut off") << QVariant(90.99) << u"00:01:30"_s;
        QTest::newRow("negative double toward zero") << QVariant(-90.99) << u"-00:01:30"_s;
    }

    void numericTypesAreTakenAsWholeSeconds()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);

        QCOMPARE(PDDurationTransformer(PDDurationTransformer::Formatted).transformedValue(value), expected);
    }

    void formatOutOfRangeGivesNoText_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("negative") << -1;
        QTest::newRow("three") << 3;
    }

    void formatOutOfRangeGivesNoText()
    {
        QFETCH(int, format);

        const PDDurationTransformer transformer(format, u"Total duration: "_s);
        QVERIFY(transformer.transformedValue(qint64(3600)).isNull());
        QVERIFY(transformer.transformedValue(QVariant(3600)).isNull());
    }

    void minutes_data()
    {
        QTest::addColumn<QVariant>("minutes");
        QTest::addColumn<QString>("expected");

        QTest::newRow("one") << QVariant(1) << u"1 minute"_s;
        QTest::newRow("eleven") << QVariant(11) << u"11 minutes"_s;
        QTest::newRow("fifteen") << QVariant(15) << u"15 minutes"_s;
        QTest::newRow("twenty-one") << QVariant(21) << u"21 minutes"_s;
        QTest::newRow("hundred and one") << QVariant(101) << u"101 minutes"_s;
        QTest::newRow("zero") << QVariant(0) << u"0 minutes"_s;
        QTest::newRow("minus one") << QVariant(-1) << u"-1 minute"_s;
        QTest::newRow("64-bit") << QVariant(qint64(5000000000)) << u"5000000000 minutes"_s;
    }

    void minutes()
    {
        QFETCH(QVariant, minutes);
        QFETCH(QString, expected);

        QCOMPARE(PdMinutesTransformer().transformedValue(minutes), expected);
    }
};

QTEST_GUILESS_MAIN(TestDurationTransformer)
#include "tst_DurationTransformer.moc"
