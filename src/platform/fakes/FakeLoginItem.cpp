#include "FakeLoginItem.h"

bool FakeLoginItem::setEnabled(const QString &identifier, bool enabled)
{
    m_requests.append((enabled ? QLatin1Char('+') : QLatin1Char('-')) + identifier);
    if (m_failing)
        return false;
    if (enabled)
        m_enabled.insert(identifier);
    else
        m_enabled.remove(identifier);
    return true;
}
