#include "StatusItem.h"

StatusMenuEntry StatusMenuEntry::command(const QString &id, const QString &title, bool enabled)
{
    StatusMenuEntry entry;
    entry.id = id;
    entry.title = title;
    entry.enabled = enabled;
    return entry;
}

StatusMenuEntry StatusMenuEntry::submenu(const QString &id, const QString &title,
                                         QList<StatusMenuEntry> children)
{
    StatusMenuEntry entry = command(id, title);
    entry.children = std::move(children);
    return entry;
}

StatusMenuEntry StatusMenuEntry::divider()
{
    StatusMenuEntry entry;
    entry.separator = true;
    return entry;
}
