#pragma once

#include <QString>

// One entry of the recent-activities list: a text and whether it is the running activity's text.
class RecentActivityItem
{
public:
    RecentActivityItem() = default;
    RecentActivityItem(const QString &text, bool isCurrent)
        : m_text(text)
        , m_isCurrent(isCurrent)
    {}

    QString text() const { return m_text; }
    bool isCurrent() const { return m_isCurrent; }

    bool operator==(const RecentActivityItem &other) const = default;

private:
    QString m_text;
    bool m_isCurrent = false;
};
