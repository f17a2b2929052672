#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One entry of the status item's menu, as plain data so that the menu can be built and checked without
// a system tray. An entry with children is a submenu; `id` names the command the entry triggers.
struct StatusMenuEntry
{
    QString id;
    QString title;
    bool enabled = true;
    bool separator = false;
    bool marked = false; // drawn with a right-facing triangle: the running activity
    QString data;        // what the command acts on, for example a recent activity's full text
    QList<StatusMenuEntry> children;

    static StatusMenuEntry command(const QString &id, const QString &title, bool enabled = true);
    static StatusMenuEntry submenu(const QString &id, const QString &title, QList<StatusMenuEntry> children);
    static StatusMenuEntry divider();

    bool operator==(const StatusMenuEntry &other) const = default;
};

// How the item presents itself: the program's icon, the running time, or both.
enum class StatusItemType
{
    Icon = 0,
    Timer = 1,
    IconAndTimer = 2
};

// The program's item in the desktop's status area (the tray): an icon that can carry the running time,
// a tool tip and a menu. The menu is the way to every command, since some desktops open it on any click.
class StatusItem : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows or removes the item. A desktop without a status area may gain one later; the item then
    // appears on its own.
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;

    // The presentation and the timer text ("01:05"; empty when nothing runs).
    virtual void setPresentation(StatusItemType type, const QString &timerText) = 0;
    virtual void setToolTip(const QString &toolTip) = 0;
    virtual void setMenu(const QList<StatusMenuEntry> &entries) = 0;

Q_SIGNALS:
    // The menu is about to open: the owner may replace it with fresh entries now.
    void menuAboutToShow();
    // The user chose a menu entry.
    void triggered(const QString &id, const QString &data);
};
