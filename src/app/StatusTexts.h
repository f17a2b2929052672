#pragma once

#include <QDateTime>
#include <QString>

// The texts that show how long the running activity has been tracked.
namespace StatusTexts {

// Whole seconds from `from` to `now`, each floored to the second; never negative, so a clock that was
// set back shows 0 instead of a negative time.
qint64 elapsedSeconds(const QDateTime &from, const QDateTime &now);

// "Status: tracking 01:05:09" (hours take as many digits as they need) or "Status: not tracking".
QString trackingStatus(qint64 elapsedSecs);
QString notTrackingStatus();

// Hours and minutes for the status item: "01:05".
QString timerText(qint64 elapsedSecs);

// The status item's tool tip: the state, the running time and the running activity's text.
QString toolTip(bool tracking, qint64 elapsedSecs, const QString &activityText);

} // namespace StatusTexts
