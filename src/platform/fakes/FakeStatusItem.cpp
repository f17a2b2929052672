#include "FakeStatusItem.h"

namespace {

const StatusMenuEntry *findEntry(const QList<StatusMenuEntry> &entries, const QString &id,
                                 const QString *data)
{
    for (const StatusMenuEntry &entry : entries) {
        if (entry.id == id && (!data || data->isEmpty() || entry.data == *data))
            return &entry;
        if (const StatusMenuEntry *found = findEntry(entry.children, id, data))
            return found;
    }
    return nullptr;
}

} // namespace

void FakeStatusItem::setPresentation(StatusItemType type, const QString &timerText)
{
    m_type = type;
    m_timerText = timerText;
}

QList<StatusMenuEntry> FakeStatusItem::openMenu()
{
    Q_EMIT menuAboutToShow();
    return m_menu;
}

const StatusMenuEntry *FakeStatusItem::entry(const QString &id) const
{
    return findEntry(m_menu, id, nullptr);
}

bool FakeStatusItem::choose(const QString &id, const QString &data)
{
    const StatusMenuEntry *found = findEntry(m_menu, id, &data);
    if (!found || !found->enabled || !found->children.isEmpty())
        return false;
    const QString chosenData = found->data;
    Q_EMIT triggered(id, chosenData);
    return true;
}
