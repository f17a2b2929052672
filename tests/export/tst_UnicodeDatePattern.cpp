#include "UnicodeDatePattern.h"

#include <QTest>

// Date patterns in the Unicode date-field syntax, rendered and read in Europe/Berlin with an English
// (United States) locale.
class TestUnicodeDatePattern : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin")); }

    void formatsFields_data()
    {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected");

        // Saturday 5 March 2016, winter time (+01:00).
        const QDateTime winter(QDate(2016, 3, 5), QTime(9, 7, 3, 45));
        const QDateTime evening(QDate(2016, 3, 5), QTime(21, 7, 3));
        const QDateTime midnight(QDate(2016, 3, 5), QTime(0, 30, 0));
        const QDateTime noon(QDate(2016, 3, 5), QTime(12, 5, 0));
        const QDateTime summer(QDate(2016, 7, 1), QTime(10, 0, 0));

        QTest::newRow("export date/time") << winter << "yyy-MM-dd'T'HH:mm:ss"
                                          << "2016-03-05T09:07:03";
        QTest::newRow("yyy pads short years to three digits")
            << QDateTime(QDate(33, 3, 5), QTime(9, 0)) << "yyy"
            << "033";
        QTest::newRow("y is the full year") << winter << "y"
                                            << "2016";
        QTest::newRow("yy is two digits") << QDateTime(QDate(2005, 1, 1), QTime(9, 0)) << "yy"
                                          << "05";
        QTest::newRow("yyyyy pads to five") << winter << "yyyyy"
                                            << "02016";
        QTest::newRow("single letters do not pad") << winter << "d.M. H:m:s"
                                                   << "5.3. 9:7:3";
        QTest::newRow("abbreviated weekday") << winter << "EEE"
                                             << "Sat";
        QTest::newRow("full weekday") << winter << "EEEE"
                                      << "Saturday";
        QTest::newRow("narrow weekday") << winter << "EEEEE"
                                        << "S";
        QTest::newRow("stand-alone abbreviated month") << winter << "LLL"
                                                       << "Mar";
        QTest::newRow("full month") << winter << "MMMM"
                                    << "March";
        QTest::newRow("day of year") << winter << "D"
                                     << "65";
        QTest::newRow("quarter") << winter << "Q QQ QQQ"
                                 << "1 01 Q1";
        QTest::newRow("week of year") << winter << "w"
                                      << "9";
        QTest::newRow("am marker") << winter << "h:mm a"
                                   << "9:07 AM";
        QTest::newRow("pm marker") << evening << "hh:mm a"
                                   << "09:07 PM";
        QTest::newRow("twelve-hour clock after midnight") << midnight << "h K k H"
                                                          << "12 0 24 0";
        QTest::newRow("twelve-hour clock at noon") << noon << "h K a"
                                                   << "12 0 PM";
        QTest::newRow("fractions are cut, not rounded") << winter << "s.S s.SS s.SSS s.SSSS"
                                                        << "3.0 3.04 3.045 3.0450";
        QTest::newRow("quoted text") << winter << "'week' w 'of' yyyy"
                                     << "week 9 of 2016";
        QTest::newRow("doubled quote") << evening << "h 'o''clock' ''yy"
                                       << "9 o'clock '16";
        QTest::newRow("other characters are literal") << winter << "dd/MM/yyyy, HH:mm"
                                                      << "05/03/2016, 09:07";
        QTest::newRow("reserved letters print nothing") << winter << "HHJmm"
                                                        << "0907";
        QTest::newRow("offset in winter") << winter << "Z|ZZZZZ|xxx|X|O|ZZZZ"
                                          << "+0100|+01:00|+01:00|+01|GMT+1|GMT+01:00";
        QTest::newRow("offset in summer") << summer << "xx|XXX|OOOO"
                                          << "+0200|+02:00|GMT+02:00";
        QTest::newRow("zone id") << summer << "VV"
                                 << "Europe/Berlin";
        QTest::newRow("empty pattern") << winter << ""
                                       << "";
    }
    void formatsFields()
    {
        QFETCH(QDateTime, moment);
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(UnicodeDatePattern(pattern).format(moment, english), expected);
    }

    void formatsInLocalTime()
    {
        // A moment given in UTC is rendered in the local zone.
        const QDateTime utc(QDate(2016, 3, 5), QTime(8, 7, 3), Qt::UTC);
        QCOMPARE(UnicodeDatePattern(QStringLiteral("HH:mm:ss")).format(utc), QStringLiteral("09:07:03"));
        QCOMPARE(UnicodeDatePattern(QStringLiteral("HH")).format(QDateTime()), QString());
    }

    void parses_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");

        const QString exportPattern = QStringLiteral("yyy-MM-dd'T'HH:mm:ss");
        QTest::newRow("export date/time")
            << exportPattern << "2016-03-05T09:07:03" << QDateTime(QDate(2016, 3, 5), QTime(9, 7, 3));
        QTest::newRow("five-digit year")
            << exportPattern << "12016-03-05T09:07:03" << QDateTime(QDate(12016, 3, 5), QTime(9, 7, 3));
        QTest::newRow("summer time") << exportPattern << "2016-07-01T23:59:59"
                                     << QDateTime(QDate(2016, 7, 1), QTime(23, 59, 59));
        QTest::newRow("single digits")
            << exportPattern << "2016-3-5T9:7:3" << QDateTime(QDate(2016, 3, 5), QTime(9, 7, 3));
        QTest::newRow("space instead of T") << exportPattern << "2016-03-05 10:00:00" << QDateTime();
        QTest::newRow("trailing text") << exportPattern << "2016-03-05T10:00:00Z" << QDateTime();
        QTest::newRow("missing seconds") << exportPattern << "2016-03-05T10:00" << QDateTime();
        QTest::newRow("no such day") << exportPattern << "2016-02-30T10:00:00" << QDateTime();
        QTest::newRow("hour 24") << exportPattern << "2016-03-05T24:00:00" << QDateTime();
        QTest::newRow("three-digit minutes") << exportPattern << "2016-03-05T10:000:00" << QDateTime();
        QTest::newRow("empty") << exportPattern << "" << QDateTime();
        QTest::newRow("adjacent fields take their width")
            << "yyyyMMddHHmmss"
            << "20160305090703" << QDateTime(QDate(2016, 3, 5), QTime(9, 7, 3));
        QTest::newRow("fraction") << "HH:mm:ss.SSS"
                                  << "09:07:03.045" << QDateTime(QDate(1970, 1, 1), QTime(9, 7, 3, 45));
        QTest::newRow("names cannot be read") << "dd MMM yyyy"
                                              << "05 Mar 2016" << QDateTime();
    }
    void parses()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const QDateTime parsed = UnicodeDatePattern(pattern).parse(text);
        QCOMPARE(parsed.isValid(), expected.isValid());
        if (expected.isValid())
            QCOMPARE(parsed, expected);
    }

    void writtenTextReadsBack()
    {
        const UnicodeDatePattern pattern(QStringLiteral("yyy-MM-dd'T'HH:mm:ss"));
        for (const QDateTime &moment : {QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
                                        QDateTime(QDate(2016, 10, 30), QTime(1, 59, 59)),
                                        QDateTime(QDate(2016, 3, 27), QTime(3, 0, 0))})
            QCOMPARE(pattern.parse(pattern.format(moment)), moment);
    }
};

QTEST_GUILESS_MAIN(TestUnicodeDatePattern)
#include "tst_UnicodeDatePattern.moc"
