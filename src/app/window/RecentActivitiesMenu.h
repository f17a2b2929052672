#pragma once

#include "RecentActivityEntry.h"

#include <functional>

class QMenu;

namespace RecentActivitiesMenu {

// Fills `menu` with the recent texts. With `startTrack` the running activity's entry is marked and
// disabled (choosing an entry resumes it); without, every entry only copies its text. `chosen` gets
// the entry's full text.
void fill(QMenu *menu, const RecentActivityList &recent, bool startTrack,
          const std::function<void(const QString &text)> &chosen);

} // namespace RecentActivitiesMenu
