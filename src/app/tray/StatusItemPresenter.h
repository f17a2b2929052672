#pragma once

#include "StatusItem.h"
#include "tray/TrayMenuBuilder.h"

#include <QObject>

#include <functional>

// Drives a StatusItem from the program's state: whether it exists (the appearance setting), how it
// presents itself (the status bar type), its timer text and tool tip, and its menu, which is rebuilt
// from fresh state every time it opens. Menu choices come back as one signal per command.
class StatusItemPresenter : public QObject
{
    Q_OBJECT

public:
    // `menuState` is asked for the current state each time the menu opens.
    StatusItemPresenter(StatusItem &item, std::function<TrayMenuState()> menuState,
                        QObject *parent = nullptr);

    // appAppearance: 1 "Dock" (no item), 2 "Dock & Statusbar", 3 "Statusbar".
    // appStatusbarType: 0 "Icon", 1 "Timer", 2 "Icon & Timer".
    void setAppearance(int appAppearance, int appStatusbarType);
    bool hasItem() const { return m_item.isVisible(); }

    // The running time and text; call after every start, stop and touch, and as often as wished: the
    // item's image only changes when the shown minute does.
    void updateText(bool tracking, qint64 elapsedSecs, const QString &activityText);

    // Rebuilds the menu now (it is also rebuilt whenever it opens).
    void refreshMenu();

Q_SIGNALS:
    void openRequested();
    void resumeRequested(const QString &text);
    void stopRequested();
    void reportRequested();
    void importRequested();
    void syncRequested();
    void preferencesRequested();
    void quitRequested();

private:
    void dispatch(const QString &id, const QString &data);
    void applyPresentation();

    StatusItem &m_item;
    std::function<TrayMenuState()> m_menuState;
    StatusItemType m_type = StatusItemType::Icon;
    bool m_tracking = false;
    qint64 m_elapsedSecs = 0;
    QString m_activityText;
};
