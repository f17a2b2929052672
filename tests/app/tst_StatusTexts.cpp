#include "StatusTexts.h"

#include <QTest>

// The running time as the status line and the status item show it.
class TestStatusTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void statusLine_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("just started") << qint64(0) << "Status: tracking 00:00:00";
        QTest::newRow("59:59") << qint64(3599) << "Status: tracking 00:59:59";
        QTest::newRow("one hour") << qint64(3600) << "Status: tracking 01:00:00";
        QTest::newRow("mixed") << qint64(3600 * 13 + 60 * 7 + 9) << "Status: tracking 13:07:09";
        QTest::newRow("over 100 hours") << qint64(3600 * 100 + 61) << "Status: tracking 100:01:01";
    }
    void statusLine()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, expected);
        QCOMPARE(StatusTexts::trackingStatus(seconds), expected);
    }

    void timerText_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << qint64(0) << "00:00";
        QTest::newRow("65 minutes") << qint64(65 * 60) << "01:05";
        QTest::newRow("seconds are not shown") << qint64(65 * 60 + 59) << "01:05";
        QTest::newRow("over 100 hours") << qint64(3600 * 123 + 60 * 4) << "123:04";
    }
    void timerText()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, expected);
        QCOMPARE(StatusTexts::timerText(seconds), expected);
    }

    void elapsedSecondsFloorsEachEnd_data()
    {
        const QDateTime base(QDate(2016, 3, 14), QTime(10, 0));
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("fractions floored") << base.addMSecs(900) << base.addMSecs(1100) << qint64(1);
        QTest::newRow("same second") << base.addMSecs(100) << base.addMSecs(999) << qint64(0);
        QTest::newRow("across daylight saving")
            << QDateTime(QDate(2016, 3, 27), QTime(1, 30)) << QDateTime(QDate(2016, 3, 27), QTime(3, 30))
            << qint64(3600);
        QTest::newRow("clock set back") << base << base.addSecs(-30) << qint64(0);
    }
    void elapsedSecondsFloorsEachEnd()
    {
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, now);
        QFETCH(qint64, expected);
        QCOMPARE(StatusTexts::elapsedSeconds(from, now), expected);
    }

    void toolTipCarriesStateTimeAndText()
    {
        QCOMPARE(StatusTexts::toolTip(false, 0, QString()), QStringLiteral("Pendulo: not tracking"));
        QCOMPARE(StatusTexts::toolTip(true, 65 * 60, QStringLiteral("Write offer\n@Acme  #sales")),
                 QStringLiteral("Pendulo: tracking 01:05\nWrite offer @Acme #sales"));
    }
};

QTEST_GUILESS_MAIN(TestStatusTexts)
#include "tst_StatusTexts.moc"
