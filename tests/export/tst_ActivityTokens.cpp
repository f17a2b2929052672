#include "Activity.h"
#include "ActivityFieldValue.h"
#include "ActivityTokenType.h"
#include "ActivityTokenValue.h"
#include "CSVTokenField.h"
#include "DateFormatterCache.h"
#include "ExportFixture.h"
#include "store/Context.h"

#include <QTest>

// The vocabulary of export fields: titles of types and values, and how each field renders an activity.
class TestActivityTokens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin"));
        QCOMPARE(QLocale::system().name(), QStringLiteral("en_US"));
    }

    void typeTitles()
    {
        QCOMPARE(ActivityTokenType(100).description(), QStringLiteral("Date"));
        QCOMPARE(ActivityTokenType(200).description(), QStringLiteral("Duration"));
        QCOMPARE(ActivityTokenType(400).description(), QStringLiteral("Activity"));
        QCOMPARE(ActivityTokenType(300).description(), QStringLiteral("---"));
        QCOMPARE(ActivityTokenType().valueType(), 400);
        QCOMPARE(ActivityTokenValue().value(), 400);
    }

    void sampleDates()
    {
        QCOMPARE(ActivityTokenValue::getDateUniversalStr(), QStringLiteral("2010-10-23"));
        QCOMPARE(ActivityTokenValue::getDateTimeStr(), QStringLiteral("2010-10-23T23:12:45"));
        QCOMPARE(ActivityTokenValue::getDateLocalStr(), QStringLiteral("10/23/10"));
    }

    void valueTitles_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("longTitle");
        QTest::addColumn<QString>("shortTitle");
        QTest::newRow("110") << 110 << "Date, e.g. 2010-10-23"
                             << "Start date (2010-10-23)";
        QTest::newRow("111") << 111 << "Date, e.g. 10/23/10"
                             << "Start date (10/23/10)";
        QTest::newRow("120") << 120 << "Time, e.g 23:12:45"
                             << "Start time";
        QTest::newRow("121") << 121 << "Date/time, e.g. 2010-10-23T23:12:45"
                             << "Start date/time";
        QTest::newRow("160") << 160 << "Date, e.g. 2010-10-23"
                             << "End date (2010-10-23)";
        QTest::newRow("161") << 161 << "Date, e.g. 10/23/10"
                             << "End date (10/23/10)";
        QTest::newRow("171") << 171 << "Date/time, e.g. 2010-10-23T23:12:45"
                             << "End date/time";
        QTest::newRow("203") << 203 << "Hour (00-59)"
                             << "Start hour";
        QTest::newRow("252") << 252 << "Day of the month (01-31)"
                             << "End day of the month";
        QTest::newRow("302") << 302 << "Decimal hours, e.g. 1.21 for 01:12:45"
                             << "Duration as decimal hours";
        QTest::newRow("402") << 402 << "Task tags (#)"
                             << "Task tags (#)";
        QTest::newRow("404") << 404 << "Invoiced status (0 or 1)"
                             << "Invoiced status";
        QTest::newRow("outside the table") << 999 << "---"
                                           << "999";
    }
    void valueTitles()
    {
        QFETCH(int, code);
        QFETCH(QString, longTitle);
        QFETCH(QString, shortTitle);
        ActivityTokenValue value(code);
        QCOMPARE(value.description(), longTitle);
        value.setShowShortDescription(true);
        QCOMPARE(value.description(), shortTitle);
        QCOMPARE(value.copy().description(), longTitle); // a copy carries the code only
    }

    void rendersFields_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start date") << 100 << 110 << "2016-03-05";
        QTest::newRow("start date, short style") << 100 << 111 << "3/5/16";
        QTest::newRow("start time") << 100 << 120 << "09:07:03";
        QTest::newRow("start date/time") << 100 << 121 << "2016-03-05T09:07:03";
        QTest::newRow("end date") << 100 << 160 << "2016-03-06";
        QTest::newRow("end date, short style") << 100 << 161 << "3/6/16";
        QTest::newRow("end time") << 100 << 170 << "00:19:48";
        QTest::newRow("end date/time") << 100 << 171 << "2016-03-06T00:19:48";
        QTest::newRow("start year") << 100 << 200 << "2016";
        QTest::newRow("start month") << 100 << 201 << "03";
        QTest::newRow("start day") << 100 << 202 << "05";
        QTest::newRow("start hour") << 100 << 203 << "09";
        QTest::newRow("start minute") << 100 << 204 << "07";
        QTest::newRow("start second") << 100 << 205 << "03";
        QTest::newRow("end year") << 100 << 250 << "2016";
        QTest::newRow("end month") << 100 << 251 << "03";
        QTest::newRow("end day") << 100 << 252 << "06";
        QTest::newRow("end hour") << 100 << 253 << "00";
        QTest::newRow("end minute") << 100 << 254 << "19";
        QTest::newRow("end second") << 100 << 255 << "48";
        QTest::newRow("date code outside the table") << 100 << 999 << "";
        QTest::newRow("duration formatted") << 200 << 300 << "15:12:45";
        QTest::newRow("duration in minutes") << 200 << 301 << "913";
        QTest::newRow("duration in decimal hours") << 200 << 302 << "15.2125";
        QTest::newRow("duration code outside the table") << 200 << 303 << "";
        QTest::newRow("text") << 400 << 400 << "Call \"Bob\" @Acme #beta #Alpha #Zed";
        QTest::newRow("project") << 400 << 401 << "Acme";
        QTest::newRow("tasks in plain order") << 400 << 402 << "Alpha, Zed, beta";
        QTest::newRow("uid") << 400 << 403 << "0B5E8C4A-1111-4222-8333-944455556666";
        QTest::newRow("invoiced") << 400 << 404 << "1";
        QTest::newRow("activity code outside the table") << 400 << 405 << "";
        QTest::newRow("type outside the table") << 300 << 400 << "";
    }
    void rendersFields()
    {
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(QString, expected);
        ExportFixture fixture;
        Activity *activity = fixture.addActivity(
            QStringLiteral("Call \"Bob\" @Acme #beta #Alpha #Zed"), localTime(2016, 3, 5, 9, 7, 3),
            localTime(2016, 3, 6, 0, 19, 48), true, QStringLiteral("0B5E8C4A-1111-4222-8333-944455556666"));
        CSVTokenField field;
        field.setTokenType(type, value);
        QCOMPARE(ActivityFieldValue::valueForField(*activity, field), expected);
        DateFormatterCache::clearCache();
    }

    void rendersMissingTagsAndShortDurations_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("30 seconds") << 30 << "0"
                                    << "0.0083";
        QTest::newRow("90 seconds") << 90 << "2"
                                    << "0.0250";
        QTest::newRow("one hour twelve minutes 45") << 4365 << "73"
                                                    << "1.2125";
    }
    void rendersMissingTagsAndShortDurations()
    {
        QFETCH(int, seconds);
        QFETCH(QString, minutes);
        QFETCH(QString, decimal);
        ExportFixture fixture;
        const QDateTime from = localTime(2016, 3, 5, 9, 7, 3);
        Activity *activity = fixture.addActivity(QStringLiteral("no tags"), from, from.addSecs(seconds));
        QCOMPARE(ActivityFieldValue::valueForField(*activity, CSVTokenField(0, 400, 401)), QString());
        QCOMPARE(ActivityFieldValue::valueForField(*activity, CSVTokenField(0, 400, 402)), QString());
        QCOMPARE(ActivityFieldValue::valueForField(*activity, CSVTokenField(0, 400, 404)),
                 QStringLiteral("0"));
        QCOMPARE(ActivityFieldValue::valueForField(*activity, CSVTokenField(0, 200, 301)), minutes);
        QCOMPARE(ActivityFieldValue::valueForField(*activity, CSVTokenField(0, 200, 302)), decimal);
    }

    void formatterCacheKeepsFormattersUntilCleared()
    {
        const auto first = DateFormatterCache::getFormatterForValue(253);
        QVERIFY(first->isEndTime());
        QCOMPARE(DateFormatterCache::getFormatterForValue(253), first);
        QVERIFY(!DateFormatterCache::getFormatterForValue(203)->isEndTime());
        QCOMPARE(DateFormatterCache::getFormatterForValue(999)->style(), ActivityDateFormatter::Style::None);
        DateFormatterCache::clearCache();
        QVERIFY(DateFormatterCache::getFormatterForValue(253) != first);
    }
};

QTEST_GUILESS_MAIN(TestActivityTokens)
#include "tst_ActivityTokens.moc"
