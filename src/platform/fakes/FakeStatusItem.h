#pragma once

#include "StatusItem.h"

// A status item for tests: remembers what it was given and lets the test open its menu and choose.
class FakeStatusItem final : public StatusItem
{
    Q_OBJECT

public:
    using StatusItem::StatusItem;

    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    void setPresentation(StatusItemType type, const QString &timerText) override;
    void setToolTip(const QString &toolTip) override { m_toolTip = toolTip; }
    void setMenu(const QList<StatusMenuEntry> &entries) override { m_menu = entries; }

    StatusItemType type() const { return m_type; }
    QString timerText() const { return m_timerText; }
    QString toolTip() const { return m_toolTip; }
    QList<StatusMenuEntry> menu() const { return m_menu; }

    // Opens the menu as the desktop would and returns what it then shows.
    QList<StatusMenuEntry> openMenu();
    // Finds an entry by id anywhere in the menu, or nullptr.
    const StatusMenuEntry *entry(const QString &id) const;
    // Chooses the entry with this id (and data); false when it is missing or disabled.
    bool choose(const QString &id, const QString &data = QString());

private:
    bool m_visible = false;
    StatusItemType m_type = StatusItemType::Icon;
    QString m_timerText;
    QString m_toolTip;
    QList<StatusMenuEntry> m_menu;
};
