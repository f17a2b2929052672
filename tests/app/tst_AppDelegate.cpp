#include "Activity.h"
#include "ActivityManager.h"
#include "ActivityTextView.h"
#include "DropboxAuthorization.h"
#include "PdSettings.h"
#include "Pendulo_AppDelegate.h"
#include "Project.h"
#include "TestHome.h"
#include "controller/GlobalHotKeyMonitor.h"
#include "controller/IdleTimer.h"
#include "controller/Reminders.h"
#include "controller/StatusItemController.h"
#include "controller/TrackingCommands.h"
#include "controller/TrackingTimers.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeKeychain.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeStatusItem.h"
#include "fakes/FakeUrlOpener.h"
#include "storage/ErrorPresenter.h"
#include "storage/QuitConfirmation.h"
#include "store/Context.h"
#include "tray/TrayMenuBuilder.h"
#include "window/EditActivityStartTimeWindowController.h"
#include "window/MainWindow.h"
#include "window/MessageLine.h"
#include "window/PDMainWindowStatusbarView.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

class RecordingErrorPresenter final : public ErrorPresenter
{
public:
    bool presentError(const PdError &error) override
    {
        presented.append(error);
        return false;
    }
    QList<PdError> presented;
};

// The idle detection as the controller sees it: records what it is told and can show its prompt.
class RecordingIdleTimer final : public IdleTimer
{
public:
    void enableDisableIdleTimer(bool tracking) override { runs.append(tracking); }
    void stop() override {}
    bool hasIdlePrompt() const override { return prompt; }
    void showPrompt(bool shown)
    {
        prompt = shown;
        Q_EMIT idlePromptChanged(shown);
    }
    QList<bool> runs;
    bool prompt = false;
};

class RecordingReminders final : public Reminders
{
public:
    void setBuggingTimer(bool tracking) override { timers.append(tracking); }
    void stopDockBouncing() override { ++bouncesStopped; }
    void applicationWillBecomeActive() override {}
    QList<bool> timers;
    int bouncesStopped = 0;
};

class RecordingHotKeyMonitor final : public GlobalHotKeyMonitor
{
public:
    void unregisterAllShortcuts() override { shortcuts.clear(); }
    void registerShortcut(qint64 keyCode, qint64 modifierFlags, std::function<void()> action) override
    {
        shortcuts.append({keyCode, modifierFlags});
        this->action = std::move(action);
    }
    QList<QPair<qint64, qint64>> shortcuts;
    std::function<void()> action;
};

class AnsweringQuitConfirmation final : public QuitConfirmation
{
public:
    explicit AnsweringQuitConfirmation(bool quit)
        : m_quit(quit)
    {}
    bool confirmQuit(const QuitQuestion &question) override
    {
        asked.append(question.message);
        return m_quit;
    }
    QStringList asked;

private:
    bool m_quit;
};

// One run of the program: the settings file and the store in the test's own folders, fake desktop
// services and a clock that stands still. Destroying it and making another over the same folders is
// the next launch.
struct Program
{
    explicit Program(FakeClock &clock)
        : qsettings(TestHome::configHome() + QStringLiteral("/Pendulo/Pendulo.conf"), QSettings::IniFormat)
        , settings(&qsettings, PdSettings::Platform{&loginItem, {}})
        , storeController(settings, clock, errorPresenter)
    {
        platform.clock = &clock;
        platform.statusItem = &tray;
        platform.keychain = &keychain;
        platform.urlOpener = &urlOpener;
    }

    Pendulo_AppDelegate &
    launch(const QStringList &arguments = {},
           const Pendulo_AppDelegate::Features &features = Pendulo_AppDelegate::Features())
    {
        delegate = std::make_unique<Pendulo_AppDelegate>(settings, storeController, platform, features);
        launched = delegate->applicationDidFinishLaunching(arguments);
        return *delegate;
    }

    FakeLoginItem loginItem;
    QSettings qsettings;
    PdSettings settings;
    RecordingErrorPresenter errorPresenter;
    StoreController storeController;
    FakeStatusItem tray;
    FakeKeychain keychain;
    FakeUrlOpener urlOpener;
    Pendulo_AppDelegate::Platform platform;
    std::unique_ptr<Pendulo_AppDelegate> delegate;
    bool launched = false;
};

enum class Place
{
    Toolbar,
    Menu,
    Tray
};

QAction *toolbar(Pendulo_AppDelegate &app, const char *identifier)
{
    return app.window()->toolbarAction(QLatin1String(identifier));
}

QAction *menuItem(Pendulo_AppDelegate &app, int tag)
{
    return app.window()->trackingAction(tag);
}

QString currentText(Pendulo_AppDelegate &app)
{
    const Activity *activity = app.activityManager()->currentActivity();
    return activity ? activity->text() : QString();
}

QList<Activity *> storedActivities(Pendulo_AppDelegate &app)
{
    return app.managedObjectContext()->fetch<Activity>(FetchRequest{{}, {}, QStringLiteral("time_from"), -1});
}

MessageLine *messageLine(Pendulo_AppDelegate &app)
{
    return app.window()->errorLabel();
}

QStringList titles(const QList<StatusMenuEntry> &entries)
{
    QStringList result;
    for (const StatusMenuEntry &entry : entries)
        result.append(entry.separator ? QStringLiteral("-") : entry.title);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Place)

// The application controller over the real store, the real main window and fake desktop services.
class TestAppDelegate : public QObject
{
    Q_OBJECT

private:
    FakeClock m_clock;
    std::unique_ptr<Program> m_program;

    Program &program()
    {
        if (!m_program)
            m_program = std::make_unique<Program>(m_clock);
        return *m_program;
    }
    Pendulo_AppDelegate &launch(const QStringList &arguments = {})
    {
        Pendulo_AppDelegate &app = program().launch(arguments);
        [&] { QVERIFY(program().launched); }();
        return app;
    }
    // The next launch: a new program over the same settings file and store.
    Pendulo_AppDelegate &relaunch(const QStringList &arguments = {})
    {
        m_program.reset();
        return launch(arguments);
    }
    void start(Pendulo_AppDelegate &app, const QString &text)
    {
        app.textView()->setActivityText(text);
        toolbar(app, "tbitem-start")->trigger();
    }

private Q_SLOTS:
    void init()
    {
        TestHome::reset();
        m_clock.setNow(QDateTime(QDate(2016, 3, 14), QTime(9, 0)));
        m_program.reset();
    }
    void cleanup() { m_program.reset(); }

    void launchLeavesEverythingNotTracking()
    {
        Pendulo_AppDelegate &app = launch();
        QCOMPARE(Pendulo_AppDelegate::shared(), &app);
        QVERIFY(!app.activityManager()->isTracking());
        QCOMPARE(app.statusbarView()->statusString(), QStringLiteral("Status: not tracking"));
        QVERIFY(!app.statusbarView()->editStartTimeButtonVisible());
        QVERIFY(!messageLine(app)->isVisible());
        QVERIFY(menuItem(app, MainWindow::StartTag)->isEnabled());
        QVERIFY(!menuItem(app, MainWindow::StopTag)->isEnabled());
        // The settings of an older version got their sync method.
        QVERIFY(!program().settings.needsUpgrade());
    }

    // Without a store nothing can be tracked: the launch says so after the error was shown.
    void launchFailsWhenTheStoreCannotOpen()
    {
        QFile blocker(TestHome::dataHome() + QStringLiteral("/Pendulo"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        program().launch();
        QVERIFY(!program().launched);
        QVERIFY(!program().errorPresenter.presented.isEmpty());
        QVERIFY(!program().delegate->window()->isVisible());
    }

    void startAndStopFromEachPlace_data()
    {
        QTest::addColumn<Place>("startFrom");
        QTest::addColumn<Place>("stopFrom");
        QTest::newRow("toolbar") << Place::Toolbar << Place::Toolbar;
        QTest::newRow("menu bar") << Place::Menu << Place::Menu;
        QTest::newRow("tray resumes, menu bar stops") << Place::Tray << Place::Menu;
        QTest::newRow("toolbar starts, tray stops") << Place::Toolbar << Place::Tray;
    }
    void startAndStopFromEachPlace()
    {
        QFETCH(Place, startFrom);
        QFETCH(Place, stopFrom);
        program().settings.setAppAppearance(PdSettings::AppearanceDockAndStatusbar);
        program().settings.setDontHideMainWindowOnStartTracking(true);
        Pendulo_AppDelegate &app = launch();
        FakeStatusItem &tray = program().tray;
        const QString text = QStringLiteral("Write offer @Acme #sales");

        if (startFrom == Place::Tray) {
            // A recent text resumed from the tray.
            start(app, text);
            toolbar(app, "tbitem-stop")->trigger();
            m_clock.advanceSecs(60);
            app.textView()->setActivityText(QStringLiteral("something else"));
            tray.openMenu();
            QVERIFY(tray.choose(TrayMenu::resume, text));
        } else {
            app.textView()->setActivityText(text);
            (startFrom == Place::Toolbar ? toolbar(app, "tbitem-start") : menuItem(app, MainWindow::StartTag))
                ->trigger();
        }
        QCOMPARE(currentText(app), text);
        QCOMPARE(app.activityManager()->currentActivity()->project()->name(), QStringLiteral("Acme"));
        QCOMPARE(app.statusbarView()->statusString(), QStringLiteral("Status: tracking 00:00:00"));
        QVERIFY(app.statusbarView()->editStartTimeButtonVisible());
        QVERIFY(app.timers()->trackTimer() && app.timers()->trackTimer()->isActive());
        QCOMPARE(app.timers()->trackTimer()->interval(), 30000);
        QVERIFY(tray.openMenu().size() > 0 && tray.entry(TrayMenu::stop)->enabled);
        QVERIFY(!menuItem(app, MainWindow::StartTag)->isEnabled());
        QVERIFY(menuItem(app, MainWindow::StopTag)->isEnabled());

        const QDateTime startedAt = m_clock.now();
        m_clock.advanceSecs(95);
        if (stopFrom == Place::Tray)
            QVERIFY(tray.choose(TrayMenu::stop));
        else
            (stopFrom == Place::Toolbar ? toolbar(app, "tbitem-stop") : menuItem(app, MainWindow::StopTag))
                ->trigger();

        QVERIFY(!app.activityManager()->isTracking());
        QVERIFY(!app.timers()->trackTimer());
        QCOMPARE(app.statusbarView()->statusString(), QStringLiteral("Status: not tracking"));
        QVERIFY(!app.statusbarView()->editStartTimeButtonVisible());
        tray.openMenu();
        QVERIFY(!tray.entry(TrayMenu::stop)->enabled);
        const QList<Activity *> stored = storedActivities(app);
        QCOMPARE(stored.last()->text(), text);
        QCOMPARE(stored.last()->timeFrom(), startedAt);
        QCOMPARE(stored.last()->timeTo(), m_clock.now());
    }

    void messagesOnTheErrorLine_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("isError");
        QTest::newRow("start while tracking") << true << "start"
                                              << "second"
                                              << "Stop previous activity before tracking new!" << true;
        QTest::newRow("start with a blank text") << false << "start"
                                                 << " \t"
                                                 << "Activity can not be empty!" << true;
        QTest::newRow("update while not tracking") << false << "update"
                                                   << "renamed"
                                                   << "Can not update. Not tracking..." << true;
        QTest::newRow("update to a blank text") << true << "update"
                                                << ""
                                                << "Activity can not be empty!" << true;
        QTest::newRow("update") << true << "update"
                                << "renamed @Other"
                                << "Activity updated!" << false;
    }
    void messagesOnTheErrorLine()
    {
        QFETCH(bool, tracking);
        QFETCH(QString, command);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(bool, isError);
        Pendulo_AppDelegate &app = launch();
        if (tracking)
            start(app, QStringLiteral("first"));
        // The window was closed meanwhile: a message brings it back.
        app.window()->hide();

        // As the window reports its commands: the toolbar would have the refused ones disabled.
        app.textView()->setActivityText(text);
        if (command == QLatin1String("start"))
            Q_EMIT app.window()->startRequested(false);
        else
            Q_EMIT app.window()->updateRequested(false);

        QCOMPARE(messageLine(app)->text(), message);
        QCOMPARE(messageLine(app)->kind(), isError ? MessageLine::Kind::Error : MessageLine::Kind::Info);
        QVERIFY(messageLine(app)->isVisible());
        QVERIFY(app.window()->isVisible());
        QCOMPARE(app.activityManager()->isTracking(), tracking);
        if (tracking)
            QCOMPARE(currentText(app), isError ? QStringLiteral("first") : text);

        // The next command clears the line.
        Q_EMIT app.window()->stopRequested();
        QVERIFY(!messageLine(app)->isVisible());
    }

    void editingTheTextWhileTrackingPointsAtUpdate()
    {
        Pendulo_AppDelegate &app = launch();
        app.textView()->setFocus();
        QTest::keyClicks(app.textView(), QStringLiteral("x"));
        QVERIFY(!messageLine(app)->isVisible());

        start(app, QStringLiteral("first"));
        QTest::keyClicks(app.textView(), QStringLiteral("y"));
        QCOMPARE(messageLine(app)->text(), TrackingCommands::updateTipMessage());
        QCOMPARE(messageLine(app)->kind(), MessageLine::Kind::Info);
    }

    void startWhileTrackingPerSetting_data()
    {
        QTest::addColumn<bool>("endCurrentActivityOnTrack");
        QTest::newRow("ends the running one") << true;
        QTest::newRow("refused") << false;
    }
    void startWhileTrackingPerSetting()
    {
        QFETCH(bool, endCurrentActivityOnTrack);
        program().settings.setEndCurrentActivityOnTrack(endCurrentActivityOnTrack);
        Pendulo_AppDelegate &app = launch();
        start(app, QStringLiteral("first"));
        QCOMPARE(toolbar(app, "tbitem-start")->isEnabled(), endCurrentActivityOnTrack);
        QCOMPARE(menuItem(app, MainWindow::StartTag)->isEnabled(), endCurrentActivityOnTrack);
        m_clock.advanceSecs(600);

        app.textView()->setActivityText(QStringLiteral("second"));
        QCOMPARE(app.commands()->doStartTrackAndShowWindow(true), endCurrentActivityOnTrack);

        const QList<Activity *> stored = storedActivities(app);
        if (endCurrentActivityOnTrack) {
            QCOMPARE(stored.size(), 2);
            QCOMPARE(stored.first()->timeTo(), m_clock.now());
            QCOMPARE(currentText(app), QStringLiteral("second"));
            QVERIFY(!messageLine(app)->isVisible());
        } else {
            QCOMPARE(stored.size(), 1);
            QCOMPARE(currentText(app), QStringLiteral("first"));
            QCOMPARE(messageLine(app)->text(), TrackingCommands::stopPreviousMessage());
        }
    }

    void mainWindowAfterStart_data()
    {
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("hideOnStart");
        QTest::addColumn<bool>("dontHide");
        QTest::addColumn<bool>("viaKeyboard");
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("mouse, Dock & Statusbar") << 2 << false << false << false << true;
        QTest::newRow("keyboard, Dock & Statusbar") << 2 << false << false << true << false;
        QTest::newRow("keyboard, Statusbar") << 3 << false << false << true << false;
        QTest::newRow("keyboard, Dock: no way back but the window") << 1 << false << false << true << true;
        QTest::newRow("mouse, hide on start") << 1 << true << false << false << false;
        QTest::newRow("keyboard, never hide") << 2 << false << true << true << true;
        QTest::newRow("hide on start, never hide wins") << 2 << true << true << false << true;
    }
    void mainWindowAfterStart()
    {
        QFETCH(int, appearance);
        QFETCH(bool, hideOnStart);
        QFETCH(bool, dontHide);
        QFETCH(bool, viaKeyboard);
        QFETCH(bool, staysOpen);
        program().settings.setAppAppearance(appearance);
        program().settings.setHideMainWindowOnStartTracking(hideOnStart);
        program().settings.setDontHideMainWindowOnStartTracking(dontHide);
        Pendulo_AppDelegate &app = launch();
        app.window()->show();

        app.textView()->setActivityText(QStringLiteral("first"));
        Q_EMIT app.window()->startRequested(viaKeyboard);
        QVERIFY(app.activityManager()->isTracking());
        QCOMPARE(app.window()->isVisible(), staysOpen);

        // An update follows the same rule; a refused command never hides the window.
        app.window()->show();
        app.textView()->setActivityText(QStringLiteral("renamed"));
        Q_EMIT app.window()->updateRequested(viaKeyboard);
        QCOMPARE(app.window()->isVisible(), staysOpen);
        app.window()->show();
        Q_EMIT app.window()->updateRequested(viaKeyboard);
        app.textView()->setActivityText(QString());
        app.commands()->stopTrack();
        Q_EMIT app.window()->startRequested(viaKeyboard);
        QVERIFY(app.window()->isVisible());
    }

    // The real shortcut, pressed in the window, counts as the keyboard.
    void startShortcutClosesTheWindowWithATray()
    {
        program().settings.setAppAppearance(PdSettings::AppearanceDockAndStatusbar);
        Pendulo_AppDelegate &app = launch();
        QVERIFY(QTest::qWaitForWindowActive(app.window()));
        app.textView()->setFocus();
        app.textView()->setActivityText(QStringLiteral("by keyboard"));
        QTest::keyClick(app.textView(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(currentText(app), QStringLiteral("by keyboard"));
        QVERIFY(!app.window()->isVisible());
    }

    void trayPerAppearanceAndItsLiveChange_data()
    {
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("hasTray");
        QTest::addColumn<bool>("windowShown");
        QTest::newRow("Dock") << 1 << false << true;
        QTest::newRow("Dock & Statusbar") << 2 << true << true;
        QTest::newRow("Statusbar") << 3 << true << false;
    }
    void trayPerAppearanceAndItsLiveChange()
    {
        QFETCH(int, appearance);
        QFETCH(bool, hasTray);
        QFETCH(bool, windowShown);
        program().settings.setAppAppearance(appearance);
        program().settings.setAppStatusbarType(PdSettings::StatusbarTimer);
        Pendulo_AppDelegate &app = launch();
        QCOMPARE(program().tray.isVisible(), hasTray);
        QCOMPARE(app.window()->isVisible(), windowShown);
        if (hasTray)
            QCOMPARE(program().tray.timerText(), QStringLiteral("--:--"));

        program().settings.setAppAppearance(appearance == 1 ? 3 : 1);
        QCOMPARE(program().tray.isVisible(), !hasTray);
        // Without a tray the window is the only way back into the program.
        if (hasTray)
            QVERIFY(app.window()->isVisible());

        program().settings.setAppAppearance(3);
        program().settings.setAppStatusbarType(PdSettings::StatusbarIcon);
        QCOMPARE(program().tray.type(), StatusItemType::Icon);
        QCOMPARE(program().tray.timerText(), QString());
    }

    void trayTextFollowsTheRunningActivity()
    {
        program().settings.setAppAppearance(PdSettings::AppearanceStatusbar);
        program().settings.setAppStatusbarType(PdSettings::StatusbarIconAndTimer);
        Pendulo_AppDelegate &app = launch();
        start(app, QStringLiteral("Call @Acme"));
        QCOMPARE(program().tray.timerText(), QStringLiteral("00:00"));
        QVERIFY(program().tray.toolTip().contains(QStringLiteral("Call @Acme")));

        // Never shown, the window refreshes nothing: the touch keeps the tray current.
        QVERIFY(!app.timers()->counterTimer());
        m_clock.advanceSecs(65 * 60);
        app.timers()->touchActivity();
        QCOMPARE(program().tray.timerText(), QStringLiteral("01:05"));
        QCOMPARE(storedActivities(app).first()->timeTo(), m_clock.now());
    }

    void statusLineCountsTheRunningTime_data()
    {
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<QString>("status");
        QTest::newRow("00:59:59") << qint64(3599) << "Status: tracking 00:59:59";
        QTest::newRow("01:00:00") << qint64(3600) << "Status: tracking 01:00:00";
        QTest::newRow("over 100 hours") << qint64(100 * 3600 + 61) << "Status: tracking 100:01:01";
    }
    void statusLineCountsTheRunningTime()
    {
        QFETCH(qint64, elapsed);
        QFETCH(QString, status);
        Pendulo_AppDelegate &app = launch();
        QVERIFY(QTest::qWaitForWindowActive(app.window()));
        QVERIFY(app.timers()->counterTimer() && app.timers()->counterTimer()->isActive());
        QCOMPARE(app.timers()->counterTimer()->interval(), 1000);
        start(app, QStringLiteral("long one"));
        m_clock.advanceSecs(elapsed);
        QTRY_COMPARE(app.statusbarView()->statusString(), status);
    }

    void trackingMenuFollowsTheState()
    {
        Pendulo_AppDelegate &app = launch();
        const auto enabled = [&app] {
            QList<bool> flags;
            for (int tag : {1001, 1002, 1003, 1004})
                flags.append(menuItem(app, tag)->isEnabled());
            for (const char *id : {"tbitem-start", "tbitem-update", "tbitem-stop"})
                flags.append(toolbar(app, id)->isEnabled());
            return flags;
        };
        QCOMPARE(enabled(), (QList<bool>{true, true, false, false, true, false, false}));
        start(app, QStringLiteral("first"));
        QCOMPARE(enabled(), (QList<bool>{false, false, true, true, false, true, true}));
        toolbar(app, "tbitem-stop")->trigger();
        QCOMPARE(enabled(), (QList<bool>{true, true, false, false, true, false, false}));
    }

    void activitiesSubmenuPerSyncMethod_data()
    {
        QTest::addColumn<int>("syncMethod");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("menuBarSync");
        QTest::newRow("no sync") << 0 << QStringList{"Import"} << false;
        QTest::newRow("Dropbox") << 1 << QStringList{"Import", "-", "Sync to Dropbox"} << true;
    }
    void activitiesSubmenuPerSyncMethod()
    {
        QFETCH(int, syncMethod);
        QFETCH(QStringList, entries);
        QFETCH(bool, menuBarSync);
        program().settings.setAppAppearance(PdSettings::AppearanceStatusbar);
        Pendulo_AppDelegate &app = launch();
        // Changed while running, as the preferences do.
        program().settings.setSyncMethod(syncMethod);
        program().tray.openMenu();
        QCOMPARE(titles(program().tray.entry(TrayMenu::activities)->children), entries);
        QCOMPARE(app.window()->syncAction()->isVisible(), menuBarSync);
        QCOMPARE(app.syncMenuTitle(),
                 syncMethod == 0 ? QStringLiteral("Setup sync") : QStringLiteral("Sync to Dropbox"));
    }

    void recentMenus()
    {
        program().settings.setAppAppearance(PdSettings::AppearanceDockAndStatusbar);
        Pendulo_AppDelegate &app = launch();
        FakeStatusItem &tray = program().tray;
        tray.openMenu();
        QCOMPARE(titles(tray.entry(TrayMenu::trackRecent)->children), QStringList{"No previous activities!"});
        QVERIFY(!tray.entry(TrayMenu::noRecent)->enabled);

        const QString longText = QString(51, QLatin1Char('a'));
        start(app, longText);
        m_clock.advanceSecs(60);
        start(app, QStringLiteral("second")); // refused: still the long one
        toolbar(app, "tbitem-stop")->trigger();
        start(app, QStringLiteral("second"));

        tray.openMenu();
        const QList<StatusMenuEntry> recent = tray.entry(TrayMenu::trackRecent)->children;
        QCOMPARE(titles(recent), (QStringList{"second", QString(47, QLatin1Char('a')) + "..."}));
        QVERIFY(recent.first().marked && !recent.first().enabled);
        QVERIFY(recent.last().enabled);

        // The menu bar's recent submenu offers the same list.
        QMenu *menu = app.window()->recentActivitiesMenu();
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 2);
        QVERIFY(!menu->actions().first()->isEnabled());

        // Resuming from the tray ends the running one and never brings the window forward.
        app.window()->hide();
        m_clock.advanceSecs(60);
        QVERIFY(tray.choose(TrayMenu::resume, longText));
        QCOMPARE(currentText(app), longText);
        QVERIFY(!app.window()->isVisible());
        QCOMPARE(storedActivities(app).size(), 3);
        QCOMPARE(storedActivities(app).at(1)->timeTo(), m_clock.now());

        // "Previous activities" only copies the text.
        toolbar(app, "tbitem-stop")->trigger();
        app.window()->showEarlierActivities();
        QMenu *previous = app.window()->previousActivitiesMenu();
        QTRY_VERIFY(previous->isVisible());
        previous->actions().last()->trigger();
        previous->close();
        QCOMPARE(app.textView()->activityText(), QStringLiteral("second"));
        QVERIFY(!app.activityManager()->isTracking());
    }

    void windowAtLaunch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("appearance");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Dock") << QStringList() << 1 << true;
        QTest::newRow("Dock & Statusbar") << QStringList() << 2 << true;
        QTest::newRow("Statusbar") << QStringList() << 3 << false;
        QTest::newRow("from helper, Dock") << QStringList{"launchFromHelper"} << 1 << false;
        QTest::newRow("from helper, Dock & Statusbar") << QStringList{"launchFromHelper"} << 2 << false;
    }
    void windowAtLaunch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, appearance);
        QFETCH(bool, shown);
        program().settings.setAppAppearance(appearance);
        Pendulo_AppDelegate &app = launch(arguments);
        QCOMPARE(app.window()->isVisible(), shown);
    }

    void startAtLoginIsRenewedAtEveryLaunch_data()
    {
        QTest::addColumn<bool>("startAtLogin");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("on") << true << QStringList{"+com.penduloapp.PenduloHelper"};
        QTest::newRow("off") << false << QStringList();
    }
    void startAtLoginIsRenewedAtEveryLaunch()
    {
        QFETCH(bool, startAtLogin);
        QFETCH(QStringList, requests);
        program().settings.setStartAtLogin(startAtLogin);
        m_program = std::make_unique<Program>(m_clock);
        launch();
        QCOMPARE(program().loginItem.requests(), requests);
    }

    void quittingWhileTrackingEndsItAndKeepsTheText()
    {
        program().settings.setAppAppearance(PdSettings::AppearanceDockAndStatusbar);
        Pendulo_AppDelegate &app = launch();
        start(app, QStringLiteral("Write offer @Acme"));
        m_clock.advanceSecs(125);
        QSignalSpy approved(&app, &Pendulo_AppDelegate::terminateApproved);
        app.requestQuit();
        QCOMPARE(approved.count(), 1);
        QVERIFY(!program().tray.isVisible());
        QVERIFY(!app.activityManager()->isTracking());
        const QDateTime quitAt = m_clock.now();

        m_clock.advanceSecs(3600);
        Pendulo_AppDelegate &next = relaunch();
        QCOMPARE(next.textView()->activityText(), QStringLiteral("Write offer @Acme"));
        QVERIFY(!next.activityManager()->isTracking());
        const QList<Activity *> stored = storedActivities(next);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first()->timeTo(), quitAt);
        QCOMPARE(next.statusbarView()->statusString(), QStringLiteral("Status: not tracking"));
    }

    // Changes that cannot be saved: the user decides, and a quit they cancel keeps the tray icon.
    void quitWithChangesThatCannotBeSaved_data()
    {
        QTest::addColumn<bool>("quitAnyway");
        QTest::newRow("quit anyway") << true;
        QTest::newRow("cancel") << false;
    }
    void quitWithChangesThatCannotBeSaved()
    {
        QFETCH(bool, quitAnyway);
        AnsweringQuitConfirmation confirmation(quitAnyway);
        program().storeController.setQuitConfirmation(&confirmation);
        program().settings.setAppAppearance(PdSettings::AppearanceStatusbar);
        Pendulo_AppDelegate &app = launch();
        Activity *broken = app.managedObjectContext()->insertActivity(); // no duration: cannot be saved
        broken->setText(QStringLiteral("broken"));
        broken->setTimeFrom(m_clock.now());
        broken->setTimeTo(m_clock.now());

        QSignalSpy approved(&app, &Pendulo_AppDelegate::terminateApproved);
        app.requestQuit();
        QCOMPARE(confirmation.asked.size(), 1);
        QCOMPARE(approved.count(), quitAnyway ? 1 : 0);
        QCOMPARE(program().tray.isVisible(), !quitAnyway);
        QVERIFY(!program().errorPresenter.presented.isEmpty());
    }

    void secondStartHandsOverItsArguments()
    {
        DropboxAuthorization authorization(QUrl(QStringLiteral("https://dropbox.invalid/authorize")),
                                           QStringLiteral("key"));
        QVERIFY(authorization.authorizationUrl());
        const QString state = authorization.pendingState();
        Pendulo_AppDelegate::Features features;
        features.dropboxAuthorization = &authorization;
        const auto quitFirst = qScopeGuard([this] { m_program.reset(); });
        program().settings.setAppAppearance(PdSettings::AppearanceStatusbar);
        Pendulo_AppDelegate &app = program().launch({}, features);
        QVERIFY(!app.window()->isVisible());

        // The browser's return goes to the pending authorisation and leaves the window alone.
        app.handleArguments(
            {QStringLiteral("penduloapp://dropbox#access_token=t&token_type=bearer&uid=1&state=") + state});
        QVERIFY(authorization.pendingState().isEmpty());
        QVERIFY(!app.window()->isVisible());

        // A plain second start shows the window.
        app.handleArguments({});
        QVERIFY(app.window()->isVisible());
    }

    void remindersIdleDetectionAndHotKeyFollowTheProgram()
    {
        RecordingIdleTimer idle;
        RecordingReminders reminders;
        RecordingHotKeyMonitor hotKey;
        Pendulo_AppDelegate::Features features;
        features.idleTimer = &idle;
        features.reminders = &reminders;
        features.hotKeyMonitor = &hotKey;
        const auto quitFirst = qScopeGuard([this] { m_program.reset(); }); // before the fakes go
        program().settings.setAppAppearance(PdSettings::AppearanceStatusbar);
        program().settings.setGlobalHotKey(PdSettings::GlobalHotKey{36, 0x100000});
        Pendulo_AppDelegate &app = program().launch({}, features);
        QVERIFY(program().launched);
        QCOMPARE(hotKey.shortcuts, (QList<QPair<qint64, qint64>>{{36, 0x100000}}));
        QCOMPARE(idle.runs.last(), false);
        QCOMPARE(reminders.timers.last(), false);

        start(app, QStringLiteral("first"));
        QCOMPARE(idle.runs.last(), true);
        QCOMPARE(reminders.timers.last(), true);
        QVERIFY(reminders.bouncesStopped > 0);

        // While the idle prompt waits, no command of the menus can be given and the prompt keeps the front.
        app.window()->hide();
        idle.showPrompt(true);
        program().tray.openMenu();
        QVERIFY(!program().tray.entry(TrayMenu::stop)->enabled);
        QVERIFY(!program().tray.entry(TrayMenu::open)->enabled);
        QVERIFY(!menuItem(app, MainWindow::StopTag)->isEnabled());
        hotKey.action();
        QVERIFY(!app.window()->isVisible());
        idle.showPrompt(false);
        program().tray.openMenu();
        QVERIFY(program().tray.entry(TrayMenu::stop)->enabled);
        QVERIFY(menuItem(app, MainWindow::StopTag)->isEnabled());
        hotKey.action();
        QVERIFY(app.window()->isVisible());

        toolbar(app, "tbitem-stop")->trigger();
        QCOMPARE(idle.runs.last(), false);
        QCOMPARE(reminders.timers.last(), false);

        // A new shortcut replaces the old one.
        program().settings.setGlobalHotKey(PdSettings::GlobalHotKey{40, 0x40000});
        QCOMPARE(hotKey.shortcuts, (QList<QPair<qint64, qint64>>{{40, 0x40000}}));
    }

    void startTimeSheetMovesTheRunningActivitysStart()
    {
        Pendulo_AppDelegate &app = launch();
        start(app, QStringLiteral("first"));
        m_clock.advanceSecs(600);
        app.statusbarView()->editStartTimeButton()->click();
        QPointer<EditActivityStartTimeWindowController> sheet = app.editStartTimeWindow();
        QVERIFY(sheet && sheet->isVisible());
        // One sheet at a time.
        app.onEditStartTimeButton();
        QCOMPARE(app.editStartTimeWindow(), sheet.data());

        const QDateTime earlier = m_clock.now().addSecs(-3 * 3600);
        sheet->setStartTime(earlier);
        sheet->onSet();
        QCOMPARE(app.activityManager()->currentActivity()->timeFrom(), earlier);
        QCOMPARE(app.statusbarView()->statusString(), QStringLiteral("Status: tracking 03:00:00"));
        QTRY_VERIFY(!sheet);
        QCOMPARE(storedActivities(app).first()->timeFrom(), earlier);
        QCOMPARE(storedActivities(app).first()->timeTo(), m_clock.now());

        // A stop ends an open sheet: it belonged to the activity that ended.
        app.onEditStartTimeButton();
        sheet = app.editStartTimeWindow();
        QVERIFY(sheet);
        toolbar(app, "tbitem-stop")->trigger();
        QTRY_VERIFY(!sheet);
        QCOMPARE(storedActivities(app).first()->timeFrom(), earlier);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_AppDelegate.moc"
