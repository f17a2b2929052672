#include "SystemClock.h"
#include "fakes/FakeClock.h"

#include <QTest>

class TestClock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void systemClockFollowsTheWallClock()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const QDateTime now = Clock::system().now();
        QVERIFY(now >= before);
        QVERIFY(now <= QDateTime::currentDateTime());
        QCOMPARE(now.timeSpec(), Qt::LocalTime);
    }

    void fakeClockMovesOnlyWhenTold()
    {
        const QDateTime start(QDate(2016, 3, 27), QTime(1, 59, 59));
        FakeClock clock(start);
        QCOMPARE(clock.now(), start);

        // Across the spring daylight-saving change in Europe/Berlin: 01:59:59 + 1 s is 03:00:00.
        clock.advanceSecs(1);
        QCOMPARE(clock.now().time(), QTime(3, 0, 0));
        QCOMPARE(start.secsTo(clock.now()), 1);

        clock.setNow(start.addDays(-1));
        QCOMPARE(clock.now(), start.addDays(-1));
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_Clock.moc"
