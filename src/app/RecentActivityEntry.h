#pragma once

#include <QList>
#include <QString>

// One entry of the recent-activities list: a text used earlier, and whether it is the running one.
struct RecentActivityEntry
{
    QString text;
    bool isCurrent = false;

    bool operator==(const RecentActivityEntry &other) const = default;
};

using RecentActivityList = QList<RecentActivityEntry>;

namespace RecentActivities {

// A menu title for a recent text: whole up to 50 characters, else its first 47 followed by "...".
QString menuTitle(const QString &text);

QString emptyTitle(); // "No previous activities!"

} // namespace RecentActivities
