#pragma once

#include <QObject>
#include <QString>

class ActivityManager;
class MainWindow;
class PdSettings;
class Reminders;
class SecondaryWindows;
class TrackingTimers;

// Start, update and stop as the main window, its menus, the status item and the recent-activity menus
// ask for them: the checks before the activity manager is called, the messages on the main window's
// error line, and whether the main window closes after a successful command.
class TrackingCommands : public QObject
{
    Q_OBJECT

public:
    static QString stopPreviousMessage();    // "Stop previous activity before tracking new!"
    static QString notTrackingMessage();     // "Can not update. Not tracking..."
    static QString activityUpdatedMessage(); // "Activity updated!"
    static QString updateTipMessage();       // "Tip: press \"Update activity\" to update current activity!"

    TrackingCommands(ActivityManager &activityManager, PdSettings &settings, MainWindow &window,
                     TrackingTimers &timers, QObject *parent = nullptr);

    void setReminders(Reminders *reminders) { m_reminders = reminders; }
    void setSecondaryWindows(SecondaryWindows *windows) { m_windows = windows; }

    // The start command of the toolbar; `viaKeyboard` when its shortcut was pressed.
    void startTrack(bool viaKeyboard);
    // The start command of the menu bar: the report window's activity editor may take it first.
    void startTrackMenu(bool viaKeyboard);
    // Starts the text of the text view; `show` brings the main window forward first. False when
    // nothing was started (the reason is on the error line).
    bool doStartTrackAndShowWindow(bool show);

    void updateTrack(bool viaKeyboard);
    // Replaces the running activity's text with the text view's. False when nothing was updated.
    bool doUpdateTrack();

    // Ends the running activity now (and drives the stopped state even when nothing ran).
    void stopTrack();

    // A previous activity's text into the text view, with the update tip while tracking.
    void setPreviousActivity(const QString &text);
    // Resumes a recent activity from a menu: ends the running one and starts this text, without
    // bringing the main window forward.
    void setPreviousActivityAndStart(const QString &text);

    // The user edited the text while tracking: point at the update command.
    void onTextDidChange();

    // Closes the main window after a successful start or update when the settings ask for it.
    void hideMainWindowOnTrack(bool viaKeyboard);

    void showError(const QString &message);
    void hideError();
    void showInfo(const QString &message);

Q_SIGNALS:
    // A stop was asked for while nothing ran: the stopped-state reactions still apply.
    void stoppedWithNothingRunning();

private:
    void orderMainWindowFrontIfNotKey();
    QString text() const;

    ActivityManager &m_activityManager;
    PdSettings &m_settings;
    MainWindow &m_window;
    TrackingTimers &m_timers;
    Reminders *m_reminders = nullptr;
    SecondaryWindows *m_windows = nullptr;
};
