#include "tray/StatusItemPresenter.h"

#include "StatusTexts.h"

StatusItemPresenter::StatusItemPresenter(StatusItem &item, std::function<TrayMenuState()> menuState,
                                         QObject *parent)
    : QObject(parent)
    , m_item(item)
    , m_menuState(std::move(menuState))
{
    connect(&m_item, &StatusItem::menuAboutToShow, this, &StatusItemPresenter::refreshMenu);
    connect(&m_item, &StatusItem::triggered, this, &StatusItemPresenter::dispatch);
}

void StatusItemPresenter::setAppearance(int appAppearance, int appStatusbarType)
{
    if (appAppearance != 2 && appAppearance != 3) {
        m_item.setVisible(false);
        return;
    }
    m_type = appStatusbarType == 1   ? StatusItemType::Timer
             : appStatusbarType == 2 ? StatusItemType::IconAndTimer
                                     : StatusItemType::Icon;
    refreshMenu();
    applyPresentation();
    m_item.setVisible(true);
}

void StatusItemPresenter::updateText(bool tracking, qint64 elapsedSecs, const QString &activityText)
{
    m_tracking = tracking;
    m_elapsedSecs = elapsedSecs;
    m_activityText = activityText;
    applyPresentation();
}

void StatusItemPresenter::applyPresentation()
{
    const QString timer = m_tracking ? StatusTexts::timerText(m_elapsedSecs) : QStringLiteral("--:--");
    m_item.setPresentation(m_type, m_type == StatusItemType::Icon ? QString() : timer);
    m_item.setToolTip(StatusTexts::toolTip(m_tracking, m_elapsedSecs, m_activityText));
}

void StatusItemPresenter::refreshMenu()
{
    m_item.setMenu(TrayMenu::build(m_menuState ? m_menuState() : TrayMenuState()));
}

void StatusItemPresenter::dispatch(const QString &id, const QString &data)
{
    if (id == TrayMenu::open)
        Q_EMIT openRequested();
    else if (id == TrayMenu::resume)
        Q_EMIT resumeRequested(data);
    else if (id == TrayMenu::stop)
        Q_EMIT stopRequested();
    else if (id == TrayMenu::report)
        Q_EMIT reportRequested();
    else if (id == TrayMenu::import)
        Q_EMIT importRequested();
    else if (id == TrayMenu::sync)
        Q_EMIT syncRequested();
    else if (id == TrayMenu::preferences)
        Q_EMIT preferencesRequested();
    else if (id == TrayMenu::quit)
        Q_EMIT quitRequested();
}
