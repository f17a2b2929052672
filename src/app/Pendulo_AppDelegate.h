#pragma once

#include "RecentActivityEntry.h"
#include "storage/StoreController.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <limits>
#include <memory>
#include <optional>

class ActivityManager;
class ActivityTextView;
class Clock;
class ComputerEvents;
class Context;
class DropboxAuthorization;
class DropboxConnection;
class EditActivityStartTimeWindowController;
class GlobalHotKeyMonitor;
class IdleTimer;
class Keychain;
class MainWindow;
class PDMainWindowStatusbarView;
class PdSettings;
class Reminders;
class SecondaryWindows;
class StatusItem;
class StatusItemController;
class SyncScheduler;
class TrackingCommands;
class TrackingTimers;
class UrlEventHandler;
class UrlOpener;

// The application's controller: launches the program in a fixed order, owns the main window, the
// activity manager, the status item and the timers, turns every command of the window, its menus and
// the status item into tracking operations, and ends the running activity and saves when the program
// quits. One exists per process (shared()).
class Pendulo_AppDelegate : public QObject
{
    Q_OBJECT

public:
    // The desktop services the controller uses directly.
    struct Platform
    {
        Clock *clock = nullptr;
        StatusItem *statusItem = nullptr;
        Keychain *keychain = nullptr; // read once, by the settings upgrade
        UrlOpener *urlOpener = nullptr;
    };

    // Parts that come with their own features; each may be absent, and its commands then do nothing
    // beyond a log line.
    struct Features
    {
        IdleTimer *idleTimer = nullptr;
        ComputerEvents *computerEvents = nullptr;
        Reminders *reminders = nullptr;
        GlobalHotKeyMonitor *hotKeyMonitor = nullptr;
        SecondaryWindows *windows = nullptr;
        SyncScheduler *syncManager = nullptr;
        DropboxAuthorization *dropboxAuthorization = nullptr;
        // Finishes connecting the account when the browser returns from the authorisation.
        DropboxConnection *dropboxConnection = nullptr;
    };

    // The preferences pane of the sync settings.
    static constexpr int syncPreferencesTab = 2;
    // What "Setup sync" tells while there is no preferences window: how to connect Dropbox.
    static QString setupSyncMessage();

    static inline const QUrl onlineHelpBase = QUrl(QStringLiteral("https://penduloapp.com/manual/"));
    static inline const QUrl privacyPolicyUrl = QUrl(QStringLiteral("https://penduloapp.com/privacy"));

    Pendulo_AppDelegate(PdSettings &settings, StoreController &storeController, const Platform &platform,
                        const Features &features, QObject *parent = nullptr);
    Pendulo_AppDelegate(PdSettings &settings, StoreController &storeController, const Platform &platform);
    ~Pendulo_AppDelegate() override;

    // The one controller of the process, or null before one was made.
    static Pendulo_AppDelegate *shared();

    // The launch, in its fixed order. `arguments` exclude the program name. False when the store
    // cannot be opened (the error has been shown): the program cannot track and ends.
    bool applicationDidFinishLaunching(const QStringList &arguments);
    // Arguments another start of Pendulo handed over: addresses go to their handler, anything else
    // brings the main window forward.
    void handleArguments(const QStringList &arguments);

    // Quit from a menu, the status item or the session: emits terminateApproved() when the program may
    // end now.
    void requestQuit();
    // Keeps the entry text for the next launch, removes the status item, ends the running activity and
    // saves. A cancelled quit brings the status item back.
    StoreController::TerminateReply applicationShouldTerminate();

    // ---- Accessors for the other windows ----
    PdSettings &settings() const { return m_settings; }
    ActivityManager *activityManager() const { return m_activityManager.get(); }
    Context *managedObjectContext();
    // Saves the main context after a change made through it; a failure is only logged.
    void saveContext();
    MainWindow *window() const { return m_window.get(); }
    ActivityTextView *textView() const;
    PDMainWindowStatusbarView *statusbarView() const;
    TrackingCommands *commands() const { return m_commands.get(); }
    TrackingTimers *timers() const { return m_timers.get(); }
    StatusItemController *statusItemController() const { return m_statusItem.get(); }
    QString syncMenuTitle() const { return m_syncMenuTitle; }
    bool hasIdlePrompt() const;
    // The start-time sheet while it is open.
    EditActivityStartTimeWindowController *editStartTimeWindow() const;

    // ---- Display ----
    void updateTrackStatus();
    void updateActivityMenu();
    void showAndBringMainWindowToFront();
    RecentActivityList recentActivities() const;

    // ---- Commands ----
    void onEditStartTimeButton();
    void showReport();
    void importActivities();
    void showPreferences(int tabIndex = std::numeric_limits<int>::max());
    // A short information message over the main window, without blocking the program.
    void showInformation(const QString &title, const QString &text);
    void showOnlineHelp();
    void showPrivacyPolicy();
    void onSyncAction();
    void onSyncStatusButton();
    void onGlobalHotKey();

Q_SIGNALS:
    // The program may end now (the quit was approved and everything is saved).
    void terminateApproved();

private:
    void observeSettings();
    void connectMainWindow();
    void connectStatusItem();
    bool createActivityManager();
    void activityManagerStarted();
    void activityManagerStopped();
    void setStatusBar();
    void onAppearanceChanged(int appearance);
    void registerGlobalHotKey();
    void updateSyncMethodTitle();
    void enableDisableIdleTimer();
    void setBuggingTimer();
    void updateCommandEnabling();
    void syncManagerSyncOperationChanged(unsigned status, int syncMethod, quint64 run);
    void hideCurrentSync(std::optional<quint64> run);

    PdSettings &m_settings;
    StoreController &m_storeController;
    Platform m_platform;
    Features m_features;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ActivityManager> m_activityManager;
    std::unique_ptr<TrackingTimers> m_timers;
    std::unique_ptr<TrackingCommands> m_commands;
    std::unique_ptr<StatusItemController> m_statusItem;
    std::unique_ptr<UrlEventHandler> m_urlHandler;
    QPointer<EditActivityStartTimeWindowController> m_editStartTimeWindow;
    QString m_syncMenuTitle;
    std::optional<quint64> m_currentSync;
    bool m_launched = false;
};
