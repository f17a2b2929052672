#pragma once

#include "RecentActivityEntry.h"
#include "StatusItem.h"

// What the status item's menu depends on, gathered by the application controller.
struct TrayMenuState
{
    bool tracking = false;
    int syncMethod = 0;          // 0 no sync, 1 Dropbox
    QString syncMenuTitle;       // "Setup sync" or "Sync to Dropbox"
    bool commandsEnabled = true; // false while the idle prompt waits for an answer
    RecentActivityList recentActivities;
};

// Builds the status item's menu: "Open", "Track recent", "Stop tracking", "Report", "Activities",
// "Preferences", "Quit". The ids of its commands are the constants below.
namespace TrayMenu {

inline const QString open = QStringLiteral("open");
inline const QString trackRecent = QStringLiteral("trackRecent");
inline const QString resume = QStringLiteral("resume"); // data: the recent activity's full text
inline const QString noRecent = QStringLiteral("noRecent");
inline const QString stop = QStringLiteral("stop");
inline const QString report = QStringLiteral("report");
inline const QString activities = QStringLiteral("activities");
inline const QString import = QStringLiteral("import");
inline const QString sync = QStringLiteral("sync");
inline const QString preferences = QStringLiteral("preferences");
inline const QString quit = QStringLiteral("quit");

QList<StatusMenuEntry> build(const TrayMenuState &state);

// The entries of a recent-activities menu that resumes the chosen activity; the running one is marked
// and cannot be chosen.
QList<StatusMenuEntry> recentEntries(const RecentActivityList &recent);

} // namespace TrayMenu
