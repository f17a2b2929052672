#include "StatusTexts.h"

#include <QCoreApplication>

namespace StatusTexts {

namespace {

QString twoDigits(qint64 value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

qint64 elapsedSeconds(const QDateTime &from, const QDateTime &now)
{
    const qint64 seconds = now.toSecsSinceEpoch() - from.toSecsSinceEpoch();
    return qMax<qint64>(0, seconds);
}

QString trackingStatus(qint64 elapsedSecs)
{
    const qint64 hours = elapsedSecs / 3600;
    const qint64 minutes = (elapsedSecs - 3600 * hours) / 60;
    const qint64 seconds = elapsedSecs % 60;
    return QStringLiteral("Status: tracking %1:%2:%3")
        .arg(twoDigits(hours), twoDigits(minutes), twoDigits(seconds));
}

QString notTrackingStatus()
{
    return QStringLiteral("Status: not tracking");
}

QString timerText(qint64 elapsedSecs)
{
    const qint64 hours = elapsedSecs / 3600;
    const qint64 minutes = (elapsedSecs - 3600 * hours) / 60;
    return twoDigits(hours) + QLatin1Char(':') + twoDigits(minutes);
}

QString toolTip(bool tracking, qint64 elapsedSecs, const QString &activityText)
{
    if (!tracking)
        return QCoreApplication::translate("StatusTexts", "Pendulo: not tracking");
    QString text =
        QCoreApplication::translate("StatusTexts", "Pendulo: tracking %1").arg(timerText(elapsedSecs));
    const QString activity = activityText.simplified();
    if (!activity.isEmpty())
        text += QLatin1Char('\n') + activity;
    return text;
}

} // namespace StatusTexts
