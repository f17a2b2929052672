#include "Pendulo_AppDelegate.h"

#include "Activity.h"
#include "ActivityManager.h"
#include "ActivityTextView.h"
#include "Clock.h"
#include "LaunchArguments.h"
#include "NotificationSettings.h"
#include "PdSettings.h"
#include "StatusTexts.h"
#include "UrlOpener.h"
#include "controller/ComputerEvents.h"
#include "controller/GlobalHotKeyMonitor.h"
#include "controller/IdleTimer.h"
#include "controller/Reminders.h"
#include "controller/SecondaryWindows.h"
#include "controller/StatusItemController.h"
#include "controller/SyncScheduler.h"
#include "controller/TrackingCommands.h"
#include "controller/TrackingTimers.h"
#include "controller/UrlEventHandler.h"
#include "store/Context.h"
#include "window/EditActivityStartTimeWindowController.h"
#include "window/MainWindow.h"
#include "window/PDMainWindowStatusbarView.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

Q_LOGGING_CATEGORY(lcAppController, "pendulo.app.controller")

namespace {

Pendulo_AppDelegate *sharedDelegate = nullptr;

constexpr double firstSyncDelaySecs = 30.0;
constexpr int finishedSyncShownMs = 3000;

} // namespace

Pendulo_AppDelegate::Pendulo_AppDelegate(PdSettings &settings, StoreController &storeController,
                                         const Platform &platform, const Features &features, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_storeController(storeController)
    , m_platform(platform)
    , m_features(features)
    , m_window(std::make_unique<MainWindow>())
    , m_urlHandler(std::make_unique<UrlEventHandler>(features.dropboxAuthorization))
{
    Q_ASSERT(platform.clock && platform.statusItem);
    m_urlHandler->setDropboxConnection(features.dropboxConnection);
}

Pendulo_AppDelegate::Pendulo_AppDelegate(PdSettings &settings, StoreController &storeController,
                                         const Platform &platform)
    : Pendulo_AppDelegate(settings, storeController, platform, Features())
{}

Pendulo_AppDelegate::~Pendulo_AppDelegate()
{
    if (m_features.idleTimer)
        m_features.idleTimer->stop();
    if (m_launched && m_features.computerEvents)
        m_features.computerEvents->unregisterForComputerEvents();
    m_storeController.setActivityManager(nullptr);
    if (sharedDelegate == this)
        sharedDelegate = nullptr;
}

Pendulo_AppDelegate *Pendulo_AppDelegate::shared()
{
    return sharedDelegate;
}

bool Pendulo_AppDelegate::applicationDidFinishLaunching(const QStringList &arguments)
{
    sharedDelegate = this;

    if (m_settings.needsUpgrade() && m_platform.keychain)
        m_settings.upgrade(*m_platform.keychain);
    // Writing the autostart entry again at every launch mends one that was removed or points at a
    // program that moved.
    if (m_settings.startAtLogin())
        m_settings.setStartAtLogin(true);
    observeSettings();
    // "Dock" and "Dock & Statusbar" are a taskbar window here; nothing to switch on. The main window
    // may be closed while the program keeps tracking, so closing it must not end the program.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    registerGlobalHotKey();

    updateSyncMethodTitle();
    statusbarView()->setEditStartTimeButtonVisible(false);
    m_statusItem =
        std::make_unique<StatusItemController>(*m_platform.statusItem, m_settings, *m_platform.clock, [this] {
            TrayMenuState state;
            state.tracking = m_activityManager && m_activityManager->isTracking();
            state.syncMethod = m_settings.syncMethod();
            state.syncMenuTitle = m_syncMenuTitle;
            state.commandsEnabled = !hasIdlePrompt();
            state.recentActivities = recentActivities();
            return state;
        });
    setStatusBar();

    if (m_features.syncManager) {
        connect(m_features.syncManager, &SyncScheduler::syncOperationChanged, this,
                &Pendulo_AppDelegate::syncManagerSyncOperationChanged);
        m_features.syncManager->enqueueNextSyncWithDelay(firstSyncDelaySecs);
    }
    // Updates come from the package manager: no update check of our own.
    if (m_features.computerEvents)
        m_features.computerEvents->registerForComputerEvents();
    m_settings.registerDefaultsResource();

    textView()->setActivityText(m_settings.lastActivityText());
    textView()->setFocus();

    if (!createActivityManager())
        return false;
    connectMainWindow();
    connectStatusItem();
    m_commands->stopTrack();

    if (m_features.idleTimer) {
        connect(m_features.idleTimer, &IdleTimer::idlePromptChanged, this,
                &Pendulo_AppDelegate::updateCommandEnabling);
    }
    m_launched = true;

    // Started at login, or living in the status area only: the window stays hidden.
    if (!LaunchArguments(arguments).isLaunchFromHelper() &&
        m_settings.appAppearance() != PdSettings::AppearanceStatusbar)
        showAndBringMainWindowToFront();
    textView()->setDefaultFont();
    return true;
}

void Pendulo_AppDelegate::observeSettings()
{
    connect(m_settings.notTrackingNotification(), &NotificationSettings::intervalChanged, this, [this] {
        if (m_activityManager && !m_activityManager->isTracking())
            setBuggingTimer();
    });
    connect(m_settings.reminderNotification(), &NotificationSettings::intervalChanged, this, [this] {
        if (m_activityManager && m_activityManager->isTracking())
            setBuggingTimer();
    });
    connect(&m_settings, &PdSettings::globalHotKeyChanged, this, &Pendulo_AppDelegate::registerGlobalHotKey);
    connect(&m_settings, &PdSettings::appStatusbarTypeChanged, this, &Pendulo_AppDelegate::setStatusBar);
    connect(&m_settings, &PdSettings::appAppearanceChanged, this, &Pendulo_AppDelegate::onAppearanceChanged);
    connect(&m_settings, &PdSettings::syncMethodChanged, this, &Pendulo_AppDelegate::updateSyncMethodTitle);
    connect(&m_settings, &PdSettings::idleDetectionChanged, this,
            &Pendulo_AppDelegate::enableDisableIdleTimer);
}

bool Pendulo_AppDelegate::createActivityManager()
{
    Context *context = m_storeController.mainContext();
    if (!context)
        return false;
    m_activityManager = std::make_unique<ActivityManager>(*context, m_settings, *m_platform.clock);
    m_storeController.setActivityManager(m_activityManager.get());
    m_statusItem->setActivityManager(m_activityManager.get());
    connect(m_activityManager.get(), &ActivityManager::activityManagerStarted, this,
            &Pendulo_AppDelegate::activityManagerStarted);
    connect(m_activityManager.get(), &ActivityManager::activityManagerStopped, this,
            &Pendulo_AppDelegate::activityManagerStopped);

    m_timers = std::make_unique<TrackingTimers>(
        *m_activityManager, [this] { updateTrackStatus(); },
        [this] { m_statusItem->updateStatusItemText(); });
    m_commands = std::make_unique<TrackingCommands>(*m_activityManager, m_settings, *m_window, *m_timers);
    m_commands->setReminders(m_features.reminders);
    m_commands->setSecondaryWindows(m_features.windows);
    connect(m_commands.get(), &TrackingCommands::stoppedWithNothingRunning, this,
            &Pendulo_AppDelegate::activityManagerStopped);

    ActivityManager *manager = m_activityManager.get();
    textView()->setProjectNameProvider([manager](const QString &prefix, bool changeCase) {
        return manager->findProjectNames(prefix, changeCase);
    });
    textView()->setTaskNameProvider([manager](const QString &prefix, bool changeCase) {
        return manager->findTaskNames(prefix, changeCase);
    });
    m_window->setRecentActivitiesProvider([this] { return recentActivities(); });
    return true;
}

void Pendulo_AppDelegate::connectMainWindow()
{
    MainWindow *window = m_window.get();
    TrackingCommands *commands = m_commands.get();
    connect(window, &MainWindow::startRequested, commands, &TrackingCommands::startTrackMenu);
    connect(window, &MainWindow::updateRequested, commands, &TrackingCommands::updateTrack);
    connect(window, &MainWindow::stopRequested, commands, &TrackingCommands::stopTrack);
    connect(window, &MainWindow::recentActivityChosen, commands,
            &TrackingCommands::setPreviousActivityAndStart);
    connect(window, &MainWindow::previousActivityChosen, commands, &TrackingCommands::setPreviousActivity);
    connect(window, &MainWindow::activityTextEdited, commands, &TrackingCommands::onTextDidChange);
    connect(window, &MainWindow::reportRequested, this, &Pendulo_AppDelegate::showReport);
    connect(window, &MainWindow::importRequested, this, &Pendulo_AppDelegate::importActivities);
    connect(window, &MainWindow::syncRequested, this, &Pendulo_AppDelegate::onSyncAction);
    connect(window, &MainWindow::preferencesRequested, this, [this] { showPreferences(); });
    connect(window, &MainWindow::quitRequested, this, &Pendulo_AppDelegate::requestQuit);
    connect(window, &MainWindow::helpRequested, this, &Pendulo_AppDelegate::showOnlineHelp);
    connect(window, &MainWindow::privacyPolicyRequested, this, &Pendulo_AppDelegate::showPrivacyPolicy);
    connect(window, &MainWindow::editStartTimeRequested, this, &Pendulo_AppDelegate::onEditStartTimeButton);
    connect(window, &MainWindow::syncStatusClicked, this, &Pendulo_AppDelegate::onSyncStatusButton);
    connect(window, &MainWindow::activeChanged, this, [this](bool active) {
        if (!active)
            return;
        if (m_features.reminders)
            m_features.reminders->applicationWillBecomeActive();
        m_timers->mainWindowBecameActive();
    });
}

void Pendulo_AppDelegate::connectStatusItem()
{
    StatusItemPresenter &presenter = m_statusItem->presenter();
    TrackingCommands *commands = m_commands.get();
    connect(&presenter, &StatusItemPresenter::openRequested, this,
            &Pendulo_AppDelegate::showAndBringMainWindowToFront);
    connect(&presenter, &StatusItemPresenter::resumeRequested, commands,
            &TrackingCommands::setPreviousActivityAndStart);
    connect(&presenter, &StatusItemPresenter::stopRequested, commands, &TrackingCommands::stopTrack);
    connect(&presenter, &StatusItemPresenter::reportRequested, this, &Pendulo_AppDelegate::showReport);
    connect(&presenter, &StatusItemPresenter::importRequested, this, &Pendulo_AppDelegate::importActivities);
    connect(&presenter, &StatusItemPresenter::syncRequested, this, &Pendulo_AppDelegate::onSyncAction);
    connect(&presenter, &StatusItemPresenter::preferencesRequested, this, [this] { showPreferences(); });
    connect(&presenter, &StatusItemPresenter::quitRequested, this, &Pendulo_AppDelegate::requestQuit);
}

// ---- Reactions to the activity manager ----

void Pendulo_AppDelegate::activityManagerStarted()
{
    enableDisableIdleTimer();
    setBuggingTimer();
    updateTrackStatus();
    updateActivityMenu();
    m_timers->restartTrackTimer();
}

void Pendulo_AppDelegate::activityManagerStopped()
{
    setBuggingTimer();
    updateActivityMenu();
    m_commands->hideError();
    updateTrackStatus();
    enableDisableIdleTimer();
    // The start being edited belonged to the activity that just ended.
    if (m_editStartTimeWindow)
        m_editStartTimeWindow->reject();
}

void Pendulo_AppDelegate::enableDisableIdleTimer()
{
    if (m_features.idleTimer)
        m_features.idleTimer->enableDisableIdleTimer(m_activityManager && m_activityManager->isTracking());
}

void Pendulo_AppDelegate::setBuggingTimer()
{
    if (m_features.reminders)
        m_features.reminders->setBuggingTimer(m_activityManager && m_activityManager->isTracking());
}

// ---- Display ----

ActivityTextView *Pendulo_AppDelegate::textView() const
{
    return m_window->textView();
}

PDMainWindowStatusbarView *Pendulo_AppDelegate::statusbarView() const
{
    return m_window->statusbarView();
}

bool Pendulo_AppDelegate::hasIdlePrompt() const
{
    return m_features.idleTimer && m_features.idleTimer->hasIdlePrompt();
}

void Pendulo_AppDelegate::updateTrackStatus()
{
    const Activity *activity = m_activityManager ? m_activityManager->currentActivity() : nullptr;
    if (activity) {
        const qint64 elapsed = StatusTexts::elapsedSeconds(activity->timeFrom(), m_platform.clock->now());
        statusbarView()->setStatusString(StatusTexts::trackingStatus(elapsed));
    } else {
        statusbarView()->setStatusString(StatusTexts::notTrackingStatus());
    }
    statusbarView()->setEditStartTimeButtonVisible(activity != nullptr);
    m_statusItem->updateStatusItemText();
}

void Pendulo_AppDelegate::updateActivityMenu()
{
    m_window->setTrackingState(m_activityManager->isTracking(), m_settings.endCurrentActivityOnTrack());
}

void Pendulo_AppDelegate::updateCommandEnabling()
{
    m_window->setCommandsEnabled(!hasIdlePrompt());
    m_statusItem->presenter().refreshMenu();
}

void Pendulo_AppDelegate::showAndBringMainWindowToFront()
{
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

RecentActivityList Pendulo_AppDelegate::recentActivities() const
{
    RecentActivityList list;
    if (!m_activityManager)
        return list;
    const QList<RecentActivityItem> items = m_activityManager->recentActivities();
    for (const RecentActivityItem &item : items)
        list.append({item.text(), item.isCurrent()});
    return list;
}

// ---- Status item and appearance ----

void Pendulo_AppDelegate::setStatusBar()
{
    m_statusItem->setStatusBar();
}

void Pendulo_AppDelegate::onAppearanceChanged(int appearance)
{
    setStatusBar();
    // Without a status item the window is the only way back into the program.
    if (appearance == PdSettings::AppearanceDock && m_window->isHidden())
        showAndBringMainWindowToFront();
}

// ---- Start time ----

EditActivityStartTimeWindowController *Pendulo_AppDelegate::editStartTimeWindow() const
{
    return m_editStartTimeWindow;
}

void Pendulo_AppDelegate::onEditStartTimeButton()
{
    if (!m_activityManager || !m_activityManager->isTracking() || m_editStartTimeWindow)
        return;
    Activity *activity = m_activityManager->currentActivity();
    auto *sheet =
        new EditActivityStartTimeWindowController(activity->timeFrom(), *m_platform.clock, m_window.get());
    connect(sheet, &QDialog::accepted, this, [this, sheet, activity] {
        // Only the activity the sheet was opened for; it may have ended meanwhile.
        if (m_activityManager->currentActivity() != activity)
            return;
        activity->setTimeFrom(sheet->startTime());
        m_activityManager->touchCurrentActivity();
        updateTrackStatus();
    });
    connect(sheet, &QDialog::finished, sheet, &QObject::deleteLater);
    m_editStartTimeWindow = sheet;
    sheet->open();
}

// ---- Other windows and commands ----

void Pendulo_AppDelegate::showReport()
{
    if (m_features.windows)
        m_features.windows->showReport();
    else
        qCInfo(lcAppController, "No report window in this build");
}

void Pendulo_AppDelegate::importActivities()
{
    if (m_features.windows)
        m_features.windows->importActivities();
    else
        qCInfo(lcAppController, "No import window in this build");
}

void Pendulo_AppDelegate::showPreferences(int tabIndex)
{
    if (m_features.windows) {
        m_features.windows->showPreferences(tabIndex);
        return;
    }
    qCInfo(lcAppController, "No preferences window in this build");
    if (tabIndex == syncPreferencesTab)
        showInformation(tr("Setup sync"), setupSyncMessage());
}

QString Pendulo_AppDelegate::setupSyncMessage()
{
    return tr("To sync with Dropbox, connect your account on the command line with\n\n"
              "    pendulo dropbox connect --token\n\n"
              "Pendulo then syncs on its own and whenever you choose the sync command.");
}

void Pendulo_AppDelegate::showInformation(const QString &title, const QString &text)
{
    // Not modal to the whole program: tracking and the status item keep working meanwhile.
    auto *box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, m_window.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Pendulo_AppDelegate::showOnlineHelp()
{
    if (m_platform.urlOpener)
        m_platform.urlOpener->openUrl(onlineHelpBase.resolved(QUrl(QCoreApplication::applicationVersion())));
}

void Pendulo_AppDelegate::showPrivacyPolicy()
{
    if (m_platform.urlOpener)
        m_platform.urlOpener->openUrl(privacyPolicyUrl);
}

void Pendulo_AppDelegate::onGlobalHotKey()
{
    // The idle prompt keeps the front until it is answered.
    if (hasIdlePrompt())
        return;
    showAndBringMainWindowToFront();
}

void Pendulo_AppDelegate::registerGlobalHotKey()
{
    GlobalHotKeyMonitor *monitor = m_features.hotKeyMonitor;
    if (!monitor)
        return;
    monitor->unregisterAllShortcuts();
    if (const std::optional<PdSettings::GlobalHotKey> hotKey = m_settings.globalHotKey())
        monitor->registerShortcut(hotKey->keyCode, hotKey->modifierFlags, [this] { onGlobalHotKey(); });
}

// ---- Sync ----

void Pendulo_AppDelegate::updateSyncMethodTitle()
{
    const int method = m_settings.syncMethod();
    if (method == PdSettings::SyncNone)
        m_syncMenuTitle = tr("Setup sync");
    else if (method == PdSettings::SyncDropbox)
        m_syncMenuTitle = tr("Sync to Dropbox");
    m_window->setSyncCommand(method, m_syncMenuTitle);
}

void Pendulo_AppDelegate::onSyncAction()
{
    if (m_settings.syncMethod() == PdSettings::SyncNone)
        showPreferences(syncPreferencesTab);
    else if (m_features.syncManager)
        m_features.syncManager->startSync();
    else
        qCInfo(lcAppController, "No sync in this build");
}

void Pendulo_AppDelegate::syncManagerSyncOperationChanged(unsigned status, int syncMethod, quint64 run)
{
    statusbarView()->setSyncStatus(status, syncMethod);
    if (status == PDMainWindowStatusbarView::SyncStarted) {
        m_currentSync = run;
    } else if (status == PDMainWindowStatusbarView::SyncFinished) {
        const std::optional<quint64> finished = m_currentSync;
        QTimer::singleShot(finishedSyncShownMs, this, [this, finished] { hideCurrentSync(finished); });
    }
}

void Pendulo_AppDelegate::hideCurrentSync(std::optional<quint64> run)
{
    // A run that started meanwhile keeps its indicator.
    if (!m_currentSync || m_currentSync == run)
        statusbarView()->setSyncStatus(PDMainWindowStatusbarView::SyncCancelled, 0);
}

void Pendulo_AppDelegate::onSyncStatusButton()
{
    if (m_currentSync && m_features.syncManager) {
        m_features.syncManager->showSyncStatus(*m_currentSync);
        if (m_features.syncManager->isRunning(*m_currentSync))
            return;
    }
    statusbarView()->setSyncStatus(PDMainWindowStatusbarView::SyncCancelled, 0);
}

// ---- Store ----

Context *Pendulo_AppDelegate::managedObjectContext()
{
    return m_storeController.mainContext();
}

void Pendulo_AppDelegate::saveContext()
{
    Context *context = managedObjectContext();
    PdError error;
    if (context && !context->save(&error))
        qCWarning(lcAppController, "Saving failed: %s", qUtf8Printable(error.toString()));
}

// ---- Second start and quitting ----

void Pendulo_AppDelegate::handleArguments(const QStringList &arguments)
{
    const LaunchArguments launch(arguments);
    const QList<QUrl> urls = launch.penduloUrls();
    for (const QUrl &url : urls)
        m_urlHandler->handleUrl(url);
    if (urls.isEmpty() && !launch.isLaunchFromHelper())
        showAndBringMainWindowToFront();
}

void Pendulo_AppDelegate::requestQuit()
{
    if (applicationShouldTerminate() == StoreController::TerminateReply::TerminateNow)
        Q_EMIT terminateApproved();
}

StoreController::TerminateReply Pendulo_AppDelegate::applicationShouldTerminate()
{
    const QString text = textView()->activityText();
    if (m_statusItem)
        m_statusItem->removeStatusItem();
    if (m_commands)
        m_commands->stopTrack();
    const StoreController::TerminateReply reply = m_storeController.applicationShouldTerminate(text);
    if (reply == StoreController::TerminateReply::TerminateCancel && m_statusItem)
        setStatusBar();
    return reply;
}
