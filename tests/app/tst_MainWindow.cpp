#include "ActivityTextView.h"
#include "window/MainWindow.h"
#include "window/MessageLine.h"
#include "window/PDMainWindowStatusbarView.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

// The main window's commands, their enabling, the recent-activity menus, the message line and the
// status strip.
class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    static QWidget *toolButtonFor(MainWindow &window, const QString &identifier)
    {
        QAction *action = window.toolbarAction(identifier);
        return window.findChild<QToolBar *>()->widgetForAction(action);
    }

    static void showAndFocus(MainWindow &window)
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.textView()->setFocus();
    }

private Q_SLOTS:
    void commandEnabling_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<bool>("endCurrentOnTrack");
        QTest::addColumn<bool>("start");
        QTest::addColumn<bool>("recent");
        QTest::addColumn<bool>("update");
        QTest::addColumn<bool>("stop");
        QTest::newRow("idle") << false << false << true << true << false << false;
        QTest::newRow("idle, end on track") << false << true << true << true << false << false;
        QTest::newRow("tracking") << true << false << false << false << true << true;
        QTest::newRow("tracking, end on track") << true << true << true << false << true << true;
    }
    void commandEnabling()
    {
        QFETCH(bool, tracking);
        QFETCH(bool, endCurrentOnTrack);
        QFETCH(bool, start);
        QFETCH(bool, recent);
        QFETCH(bool, update);
        QFETCH(bool, stop);
        MainWindow window;
        window.setTrackingState(tracking, endCurrentOnTrack);
        QCOMPARE(window.trackingAction(MainWindow::StartTag)->isEnabled(), start);
        QCOMPARE(window.trackingAction(MainWindow::RecentTag)->isEnabled(), recent);
        QCOMPARE(window.trackingAction(MainWindow::UpdateTag)->isEnabled(), update);
        QCOMPARE(window.trackingAction(MainWindow::StopTag)->isEnabled(), stop);
        QCOMPARE(window.toolbarAction(QStringLiteral("tbitem-start"))->isEnabled(), start);
        QCOMPARE(window.toolbarAction(QStringLiteral("tbitem-update"))->isEnabled(), update);
        QCOMPARE(window.toolbarAction(QStringLiteral("tbitem-stop"))->isEnabled(), stop);

        // While a prompt waits, no menu command can be used; afterwards the state comes back.
        window.setCommandsEnabled(false);
        for (int tag : {1001, 1002, 1003, 1004})
            QVERIFY(!window.trackingAction(tag)->isEnabled());
        window.setCommandsEnabled(true);
        QCOMPARE(window.trackingAction(MainWindow::StartTag)->isEnabled(), start);
        QCOMPARE(window.trackingAction(MainWindow::StopTag)->isEnabled(), stop);
    }

    // Shortcuts say they came from the keyboard, toolbar clicks that they did not.
    void startAndUpdateReportHowTheyWereGiven()
    {
        MainWindow window;
        window.setTrackingState(false, true);
        showAndFocus(window);
        QSignalSpy start(&window, &MainWindow::startRequested);
        QSignalSpy update(&window, &MainWindow::updateRequested);
        QSignalSpy stop(&window, &MainWindow::stopRequested);

        QTest::keyClick(window.textView(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(start.size(), 1);
        QCOMPARE(start.takeFirst().at(0).toBool(), true);
        QCOMPARE(window.textView()->toPlainText(), QString()); // no line break typed

        QTest::mouseClick(toolButtonFor(window, QStringLiteral("tbitem-start")), Qt::LeftButton);
        QCOMPARE(start.size(), 1);
        QCOMPARE(start.takeFirst().at(0).toBool(), false);

        window.setTrackingState(true, true);
        QTest::keyClick(window.textView(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(update.size(), 1);
        QCOMPARE(update.takeFirst().at(0).toBool(), true);
        QTest::mouseClick(toolButtonFor(window, QStringLiteral("tbitem-update")), Qt::LeftButton);
        QCOMPARE(update.takeFirst().at(0).toBool(), false);

        QTest::keyClick(window.textView(), Qt::Key_Period, Qt::ControlModifier);
        QCOMPARE(stop.size(), 1);
    }

    void disabledStartIgnoresItsShortcut()
    {
        MainWindow window;
        window.setTrackingState(true, false);
        showAndFocus(window);
        QSignalSpy start(&window, &MainWindow::startRequested);
        QTest::keyClick(window.textView(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(start.size(), 0);
    }

    void recentActivitiesMenuResumes()
    {
        MainWindow window;
        int asked = 0;
        window.setRecentActivitiesProvider([&asked] {
            ++asked;
            return RecentActivityList{{QStringLiteral("Running @Acme"), true},
                                      {QStringLiteral("Call"), false}};
        });
        QSignalSpy chosen(&window, &MainWindow::recentActivityChosen);
        Q_EMIT window.recentActivitiesMenu()->aboutToShow();
        QCOMPARE(asked, 1);

        const QList<QAction *> actions = window.recentActivitiesMenu()->actions();
        QCOMPARE(actions.size(), 2);
        QVERIFY(!actions[0]->isEnabled()); // the running one
        actions[1]->trigger();
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen[0][0].toString(), QStringLiteral("Call"));

        // Rebuilt at every opening.
        window.setRecentActivitiesProvider([] { return RecentActivityList(); });
        Q_EMIT window.recentActivitiesMenu()->aboutToShow();
        QCOMPARE(window.recentActivitiesMenu()->actions().size(), 1);
        QCOMPARE(window.recentActivitiesMenu()->actions()[0]->text(),
                 QStringLiteral("No previous activities!"));
        QVERIFY(!window.recentActivitiesMenu()->actions()[0]->isEnabled());
    }

    void previousActivitiesOnlyCopyTheText()
    {
        MainWindow window;
        window.setGeometry(0, 0, 380, 240); // room on the screen for the menu right of the button
        showAndFocus(window);
        const QString longText =
            QStringLiteral("A long activity text that is longer than fifty characters @Acme");
        window.setRecentActivitiesProvider([&] { return RecentActivityList{{longText, true}}; });
        QSignalSpy copied(&window, &MainWindow::previousActivityChosen);
        QSignalSpy started(&window, &MainWindow::startRequested);

        QTest::mouseClick(window.earlierActivitiesButton(), Qt::LeftButton);
        QMenu *menu = window.previousActivitiesMenu();
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->title(), QStringLiteral("Previous activities"));
        QCOMPARE(menu->actions().size(), 1);
        QVERIFY(menu->actions()[0]->isEnabled()); // copying the running text is allowed
        QCOMPARE(menu->actions()[0]->text(), longText.left(47) + QStringLiteral("..."));
        // It opens at the button's right edge.
        const QToolButton *button = window.earlierActivitiesButton();
        QCOMPARE(menu->pos().x(), button->mapToGlobal(QPoint(button->rect().right(), 0)).x());

        menu->actions()[0]->trigger();
        menu->hide();
        QCOMPARE(window.textView()->toPlainText(), longText);
        QCOMPARE(copied.size(), 1);
        QCOMPARE(started.size(), 0);
    }

    void syncCommandOnlyForASyncMethod()
    {
        MainWindow window;
        QVERIFY(!window.syncAction()->isVisible());
        window.setSyncCommand(1, QStringLiteral("Sync to Dropbox"));
        QVERIFY(window.syncAction()->isVisible());
        QCOMPARE(window.syncAction()->text(), QStringLiteral("Sync to Dropbox"));
        window.setSyncCommand(0, QStringLiteral("Setup sync"));
        QVERIFY(!window.syncAction()->isVisible());
    }

    void messageLineColours()
    {
        MainWindow window;
        MessageLine *line = window.errorLabel();
        QVERIFY(line->isHidden());

        line->showError(QStringLiteral("Stop previous activity before tracking new!"));
        QVERIFY(!line->isHidden());
        const QColor error = line->palette().color(QPalette::WindowText);
        QVERIFY2(error.red() > 150 && error.green() < 80 && error.blue() < 80, qPrintable(error.name()));

        line->showInfo(QStringLiteral("Activity updated!"));
        const QColor info = line->palette().color(QPalette::WindowText);
        QCOMPARE(info.red(), info.green()); // grey
        QVERIFY(info.lightness() < 128);    // dark on the light default window
        QCOMPARE(line->text(), QStringLiteral("Activity updated!"));

        line->hideMessage();
        QVERIFY(line->isHidden());
        QVERIFY(line->text().isEmpty());
    }

    void editStartTimeButtonComesAndGoes()
    {
        MainWindow window;
        PDMainWindowStatusbarView *strip = window.statusbarView();
        QSignalSpy requested(&window, &MainWindow::editStartTimeRequested);
        QVERIFY(!strip->editStartTimeButtonVisible());

        strip->setEditStartTimeButtonVisible(true);
        strip->setEditStartTimeButtonVisible(true); // created once
        QCOMPARE(strip->findChildren<QToolButton *>().size(), 1);
        QCOMPARE(strip->editStartTimeButton()->toolTip(),
                 QStringLiteral("Change start time for current activity"));
        strip->editStartTimeButton()->click();
        QCOMPARE(requested.size(), 1);

        strip->setEditStartTimeButtonVisible(false);
        QVERIFY(!strip->editStartTimeButton());
        QCOMPARE(strip->findChildren<QToolButton *>().size(), 0);
    }

    void syncIndicator_data()
    {
        QTest::addColumn<unsigned>("status");
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("syncing") << 2u << 1 << "Dropbox syncing ...";
        QTest::newRow("completed") << 3u << 1 << "Dropbox sync completed";
        QTest::newRow("error") << 4u << 1 << "Dropbox sync error";
        QTest::newRow("no service name") << 4u << 0 << "sync error";
    }
    void syncIndicator()
    {
        QFETCH(unsigned, status);
        QFETCH(int, method);
        QFETCH(QString, toolTip);
        MainWindow window;
        PDMainWindowStatusbarView *strip = window.statusbarView();
        QSignalSpy clicked(&window, &MainWindow::syncStatusClicked);

        strip->setSyncStatus(status, method);
        QVERIFY(strip->syncButton());
        QCOMPARE(strip->syncButton()->toolTip(), toolTip);
        QVERIFY(!strip->syncButton()->icon().isNull());
        strip->syncButton()->click();
        QCOMPARE(clicked.size(), 1);

        strip->setSyncStatus(PDMainWindowStatusbarView::SyncCancelled, 0);
        QVERIFY(!strip->syncButton());
    }

    // The status line keeps its place and the buttons stay at the trailing edge, edit before sync.
    void statusStripLayout()
    {
        MainWindow window;
        window.resize(520, 260);
        window.show();
        PDMainWindowStatusbarView *strip = window.statusbarView();
        strip->setStatusString(QStringLiteral("Status: tracking 01:00:00"));
        strip->setSyncStatus(3, 1);
        strip->setEditStartTimeButtonVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();

        QVERIFY(strip->editStartTimeButton()->geometry().right() < strip->syncButton()->geometry().left());
        QVERIFY(strip->syncButton()->geometry().right() <= strip->width());
        QCOMPARE(strip->statusString(), QStringLiteral("Status: tracking 01:00:00"));
    }

    void activationIsReportedAndMarked()
    {
        MainWindow window;
        QSignalSpy active(&window, &MainWindow::activeChanged);
        showAndFocus(window);
        QVERIFY(!active.isEmpty());
        QCOMPARE(active.last().at(0).toBool(), true);
        QVERIFY(window.windowAction(MainWindow::MainWindowTag)->isChecked());
        window.setReportWindowMarked(true);
        QVERIFY(window.windowAction(MainWindow::ReportWindowTag)->isChecked());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
