#pragma once

#include "RecentActivityEntry.h"

#include <QMainWindow>

#include <functional>

class ActivityTextView;
class KeyboardAwareAction;
class MessageLine;
class PDMainWindowStatusbarView;
class QAction;
class QMenu;
class QToolButton;

// The main window: the activity text, the error and information line, the earlier-activities button,
// the toolbar, the status strip and the menu bar. It only shows state and reports commands; whoever
// owns it decides what they do.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Tags of the tracking menu's items and of the Windows menu's items.
    enum TrackingTag
    {
        StartTag = 1001,
        RecentTag = 1002,
        UpdateTag = 1003,
        StopTag = 1004
    };
    enum WindowTag
    {
        MainWindowTag = 1001,
        ReportWindowTag = 1002
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    ActivityTextView *textView() const { return m_textView; }
    MessageLine *errorLabel() const { return m_errorLabel; }
    PDMainWindowStatusbarView *statusbarView() const { return m_statusbarView; }
    QToolButton *earlierActivitiesButton() const { return m_earlierActivitiesButton; }

    QAction *trackingAction(int tag) const;
    QAction *windowAction(int tag) const;
    QAction *toolbarAction(const QString &identifier) const; // "tbitem-start", "tbitem-update", "tbitem-stop"
    QAction *syncAction() const { return m_syncAction; }
    QMenu *trackingMenu() const { return m_trackingMenu; }
    QMenu *recentActivitiesMenu() const { return m_recentMenu; }
    QMenu *previousActivitiesMenu() const { return m_previousMenu; }

    // Enabling of the tracking commands in the menu bar and the toolbar.
    void setTrackingState(bool tracking, bool endCurrentActivityOnTrack);
    // False while a prompt waits for an answer: the menu commands are disabled.
    void setCommandsEnabled(bool enabled);
    // The sync command: shown only for a sync method (1, Dropbox), titled "Sync to Dropbox".
    void setSyncCommand(int syncMethod, const QString &title);
    void setReportWindowMarked(bool marked);

    // The texts the recent-activities menus offer; asked each time one of them opens.
    void setRecentActivitiesProvider(std::function<RecentActivityList()> provider);

    // Pops up "Previous activities" at the right edge of the earlier-activities button.
    void showEarlierActivities();

Q_SIGNALS:
    void startRequested(bool viaKeyboard);
    void updateRequested(bool viaKeyboard);
    void stopRequested();
    void recentActivityChosen(const QString &text);   // resume it
    void previousActivityChosen(const QString &text); // its text was put into the text view
    void activityTextEdited();
    void reportRequested();
    void importRequested();
    void syncRequested();
    void preferencesRequested();
    void quitRequested();
    void helpRequested();
    void privacyPolicyRequested();
    void editStartTimeRequested();
    void syncStatusClicked();
    // The window became (true) or stopped being (false) the active window.
    void activeChanged(bool active);

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildCentralArea();
    void buildToolBar();
    void buildMenuBar();
    KeyboardAwareAction *makeAction(const QString &text, const QKeySequence &shortcut);
    void fillRecentMenu();
    void fillPreviousMenu();

    ActivityTextView *m_textView = nullptr;
    MessageLine *m_errorLabel = nullptr;
    PDMainWindowStatusbarView *m_statusbarView = nullptr;
    QToolButton *m_earlierActivitiesButton = nullptr;
    QMenu *m_trackingMenu = nullptr;
    QMenu *m_recentMenu = nullptr;
    QMenu *m_previousMenu = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_updateAction = nullptr;
    QAction *m_stopAction = nullptr;
    QAction *m_toolbarStart = nullptr;
    QAction *m_toolbarUpdate = nullptr;
    QAction *m_toolbarStop = nullptr;
    QAction *m_mainWindowAction = nullptr;
    QAction *m_reportWindowAction = nullptr;
    QAction *m_syncAction = nullptr;
    QList<QAction *> m_commands; // every menu command, disabled together while a prompt is open
    std::function<RecentActivityList()> m_recentProvider;
    bool m_tracking = false;
    bool m_endCurrentActivityOnTrack = false;
    bool m_commandsEnabled = true;
};
