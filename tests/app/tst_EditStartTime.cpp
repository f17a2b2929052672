#include "fakes/FakeClock.h"
#include "window/EditActivityStartTimeWindowController.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTest>

// The sheet that moves the running activity's start.
class TestEditStartTime : public QObject
{
    Q_OBJECT

private:
    const QDateTime now{QDate(2016, 3, 14), QTime(9, 0, 0)};

private Q_SLOTS:
    void limits_data()
    {
        QTest::addColumn<qint64>("startedSecsAgo");
        QTest::addColumn<qint64>("earliestSecsAgo");
        QTest::newRow("started two hours ago: back to 24 hours") << qint64(7200) << qint64(86400);
        QTest::newRow("started exactly 24 hours ago") << qint64(86400) << qint64(86400);
        QTest::newRow("started 30 hours ago: its own start") << qint64(30 * 3600) << qint64(30 * 3600);
        QTest::newRow("started 100 hours ago") << qint64(100 * 3600) << qint64(100 * 3600);
    }
    void limits()
    {
        QFETCH(qint64, startedSecsAgo);
        QFETCH(qint64, earliestSecsAgo);
        FakeClock clock(now);
        const QDateTime timeFrom = now.addSecs(-startedSecsAgo);
        EditActivityStartTimeWindowController sheet(timeFrom, clock);

        QCOMPARE(sheet.minDate(), now.addSecs(-earliestSecsAgo));
        // An activity lasts at least one second, so the start stays a second before now.
        QCOMPARE(sheet.maxDate(), now.addSecs(-1));
        QCOMPARE(sheet.startTime(), timeFrom);
        QCOMPARE(sheet.minDateText(),
                 QStringLiteral("min date: ") +
                     QLocale().toString(now.addSecs(-earliestSecsAgo), QLocale::ShortFormat));
    }

    void pickerStaysWithinLimits()
    {
        FakeClock clock(now);
        EditActivityStartTimeWindowController sheet(now.addSecs(-3600), clock);
        sheet.setStartTime(now.addDays(-3));
        QCOMPARE(sheet.startTime(), now.addSecs(-86400));
        sheet.setStartTime(now.addSecs(600));
        QCOMPARE(sheet.startTime(), now.addSecs(-1));
    }

    void sheetOfTheMainWindow()
    {
        FakeClock clock(now);
        QWidget window;
        EditActivityStartTimeWindowController sheet(now.addSecs(-3600), clock, &window);
        QCOMPARE(sheet.windowModality(), Qt::WindowModal);
        QVERIFY(sheet.isWindow());
    }

    void setAcceptsChosenTimeAndCancelRejects()
    {
        FakeClock clock(now);
        {
            EditActivityStartTimeWindowController sheet(now.addSecs(-3600), clock);
            sheet.setStartTime(now.addSecs(-5400));
            sheet.findChild<QDialogButtonBox *>()->buttons().first()->click();
            QCOMPARE(sheet.result(), int(QDialog::Accepted));
            QCOMPARE(sheet.startTime(), now.addSecs(-5400));
        }
        {
            EditActivityStartTimeWindowController sheet(now.addSecs(-3600), clock);
            sheet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
            QCOMPARE(sheet.result(), int(QDialog::Rejected));
        }
    }
};

QTEST_MAIN(TestEditStartTime)
#include "tst_EditStartTime.moc"
