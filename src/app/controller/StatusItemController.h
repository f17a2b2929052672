#pragma once

#include "tray/StatusItemPresenter.h"

#include <QObject>

class ActivityManager;
class Clock;
class PdSettings;
class StatusItem;

// The controller's side of the status item: it exists as the appearance setting says, follows changes
// of the appearance and the status bar type at once, and shows the running time and text.
class StatusItemController : public QObject
{
    Q_OBJECT

public:
    StatusItemController(StatusItem &item, PdSettings &settings, Clock &clock,
                         std::function<TrayMenuState()> menuState, QObject *parent = nullptr);

    // The item exists before the activity manager; until it is given, nothing counts as running.
    void setActivityManager(ActivityManager *activityManager) { m_activityManager = activityManager; }

    // Creates, keeps or removes the item for the current appearance and applies the status bar type.
    void setStatusBar();
    // Removes the item (quitting).
    void removeStatusItem();
    // The timer text and tool tip for the running activity, or the idle state.
    void updateStatusItemText();

    bool hasItem() const { return m_presenter.hasItem(); }
    StatusItemPresenter &presenter() { return m_presenter; }

private:
    PdSettings &m_settings;
    ActivityManager *m_activityManager = nullptr;
    Clock &m_clock;
    StatusItemPresenter m_presenter;
};
