#include "tray/TrayMenuBuilder.h"

#include <QCoreApplication>

namespace TrayMenu {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TrayMenu", text);
}

void disableAll(QList<StatusMenuEntry> &entries)
{
    for (StatusMenuEntry &entry : entries) {
        entry.enabled = false;
        disableAll(entry.children);
    }
}

QList<StatusMenuEntry> activitiesEntries(const TrayMenuState &state)
{
    QList<StatusMenuEntry> entries{StatusMenuEntry::command(import, tr("Import"))};
    // The sync command is offered only for a sync method that exists.
    if (state.syncMethod == 1) {
        entries.append(StatusMenuEntry::divider());
        entries.append(StatusMenuEntry::command(sync, state.syncMenuTitle));
    }
    return entries;
}

} // namespace

QList<StatusMenuEntry> recentEntries(const RecentActivityList &recent)
{
    if (recent.isEmpty())
        return {StatusMenuEntry::command(noRecent, RecentActivities::emptyTitle(), false)};

    QList<StatusMenuEntry> entries;
    for (const RecentActivityEntry &activity : recent) {
        StatusMenuEntry entry =
            StatusMenuEntry::command(resume, RecentActivities::menuTitle(activity.text), !activity.isCurrent);
        entry.marked = activity.isCurrent;
        entry.data = activity.text;
        entries.append(entry);
    }
    return entries;
}

QList<StatusMenuEntry> build(const TrayMenuState &state)
{
    QList<StatusMenuEntry> menu{
        StatusMenuEntry::command(open, tr("Open")),
        StatusMenuEntry::submenu(trackRecent, tr("Track recent"), recentEntries(state.recentActivities)),
        StatusMenuEntry::command(stop, tr("Stop tracking"), state.tracking),
        StatusMenuEntry::divider(),
        StatusMenuEntry::command(report, tr("Report")),
        StatusMenuEntry::submenu(activities, tr("Activities"), activitiesEntries(state)),
        StatusMenuEntry::command(preferences, tr("Preferences")),
        StatusMenuEntry::divider(),
        StatusMenuEntry::command(quit, tr("Quit")),
    };
    if (!state.commandsEnabled)
        disableAll(menu);
    return menu;
}

} // namespace TrayMenu
