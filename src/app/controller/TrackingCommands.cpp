#include "controller/TrackingCommands.h"

#include "ActivityManager.h"
#include "ActivityTextView.h"
#include "PdSettings.h"
#include "controller/Reminders.h"
#include "controller/SecondaryWindows.h"
#include "controller/TrackingTimers.h"
#include "window/MainWindow.h"
#include "window/MessageLine.h"

QString TrackingCommands::stopPreviousMessage()
{
    return tr("Stop previous activity before tracking new!");
}

QString TrackingCommands::notTrackingMessage()
{
    return tr("Can not update. Not tracking...");
}

QString TrackingCommands::activityUpdatedMessage()
{
    return tr("Activity updated!");
}

QString TrackingCommands::updateTipMessage()
{
    return tr("Tip: press \"Update activity\" to update current activity!");
}

TrackingCommands::TrackingCommands(ActivityManager &activityManager, PdSettings &settings, MainWindow &window,
                                   TrackingTimers &timers, QObject *parent)
    : QObject(parent)
    , m_activityManager(activityManager)
    , m_settings(settings)
    , m_window(window)
    , m_timers(timers)
{}

QString TrackingCommands::text() const
{
    return m_window.textView()->activityText();
}

void TrackingCommands::startTrack(bool viaKeyboard)
{
    if (doStartTrackAndShowWindow(true))
        hideMainWindowOnTrack(viaKeyboard);
}

void TrackingCommands::startTrackMenu(bool viaKeyboard)
{
    if (m_windows && m_windows->handleCMDEnter())
        return;
    startTrack(viaKeyboard);
}

bool TrackingCommands::doStartTrackAndShowWindow(bool show)
{
    if (m_reminders)
        m_reminders->stopDockBouncing();
    hideError();
    if (show)
        orderMainWindowFrontIfNotKey();

    if (m_activityManager.isTracking() && m_settings.endCurrentActivityOnTrack())
        stopTrack();
    if (m_activityManager.isTracking()) {
        showError(stopPreviousMessage());
        return false;
    }

    stopTrack();
    const QString message = m_activityManager.startTrack(text());
    if (!message.isNull()) {
        showError(message);
        return false;
    }
    return true;
}

void TrackingCommands::updateTrack(bool viaKeyboard)
{
    if (doUpdateTrack())
        hideMainWindowOnTrack(viaKeyboard);
}

bool TrackingCommands::doUpdateTrack()
{
    hideError();
    orderMainWindowFrontIfNotKey();
    if (!m_activityManager.isTracking()) {
        showError(notTrackingMessage());
        return false;
    }
    if (m_reminders)
        m_reminders->setBuggingTimer(true);
    const QString message = m_activityManager.updateTrack(text());
    if (!message.isNull()) {
        showError(message);
        return false;
    }
    showInfo(activityUpdatedMessage());
    return true;
}

void TrackingCommands::stopTrack()
{
    if (m_reminders)
        m_reminders->stopDockBouncing();
    m_timers.dropTrackTimer();
    const bool wasTracking = m_activityManager.isTracking();
    m_activityManager.stopTrack();
    if (!wasTracking)
        Q_EMIT stoppedWithNothingRunning();
}

void TrackingCommands::setPreviousActivity(const QString &activityText)
{
    m_window.textView()->setActivityText(activityText);
    if (m_activityManager.isTracking())
        showInfo(updateTipMessage());
}

void TrackingCommands::setPreviousActivityAndStart(const QString &activityText)
{
    if (m_activityManager.isTracking())
        stopTrack();
    setPreviousActivity(activityText);
    doStartTrackAndShowWindow(false);
    if (m_reminders)
        m_reminders->setBuggingTimer(m_activityManager.isTracking());
}

void TrackingCommands::onTextDidChange()
{
    if (m_activityManager.isTracking())
        showInfo(updateTipMessage());
}

void TrackingCommands::hideMainWindowOnTrack(bool viaKeyboard)
{
    if (m_settings.dontHideMainWindowOnStartTracking())
        return;
    const int appearance = m_settings.appAppearance();
    const bool hasStatusItem =
        appearance == PdSettings::AppearanceDockAndStatusbar || appearance == PdSettings::AppearanceStatusbar;
    if (m_settings.hideMainWindowOnStartTracking() || (viaKeyboard && hasStatusItem))
        m_window.close();
}

void TrackingCommands::showError(const QString &message)
{
    m_window.errorLabel()->showError(message);
    orderMainWindowFrontIfNotKey();
}

void TrackingCommands::hideError()
{
    m_window.errorLabel()->hideMessage();
}

void TrackingCommands::showInfo(const QString &message)
{
    m_window.errorLabel()->showInfo(message);
}

void TrackingCommands::orderMainWindowFrontIfNotKey()
{
    if (m_window.isActiveWindow())
        return;
    // Front, but without taking the keyboard focus from whatever the user is typing in.
    if (m_window.isMinimized())
        m_window.showNormal();
    else
        m_window.show();
    m_window.raise();
}
