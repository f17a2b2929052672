#include "controller/StatusItemController.h"

#include "Activity.h"
#include "ActivityManager.h"
#include "Clock.h"
#include "PdSettings.h"
#include "StatusTexts.h"

StatusItemController::StatusItemController(StatusItem &item, PdSettings &settings, Clock &clock,
                                           std::function<TrayMenuState()> menuState, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_presenter(item, std::move(menuState))
{}

void StatusItemController::setStatusBar()
{
    m_presenter.setAppearance(m_settings.appAppearance(), m_settings.appStatusbarType());
    updateStatusItemText();
}

void StatusItemController::removeStatusItem()
{
    m_presenter.setAppearance(PdSettings::AppearanceDock, m_settings.appStatusbarType());
}

void StatusItemController::updateStatusItemText()
{
    const Activity *activity = m_activityManager ? m_activityManager->currentActivity() : nullptr;
    if (!activity) {
        m_presenter.updateText(false, 0, QString());
        return;
    }
    m_presenter.updateText(true, StatusTexts::elapsedSeconds(activity->timeFrom(), m_clock.now()),
                           activity->text());
}
