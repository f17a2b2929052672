#include "DateFormatterCache.h"

#include "ActivityTokenValue.h"

#include <QHash>
#include <QMutex>

namespace {

QMutex cacheMutex;
QHash<int, std::shared_ptr<const ActivityDateFormatter>> cache;

} // namespace

ActivityDateFormatter DateFormatterCache::makeFormatter(int value)
{
    using V = ActivityTokenValue;
    const bool isEnd = value == V::EndDateUniversal || value == V::EndDateLocal || value == V::EndTime ||
                       value == V::EndDateTime || (value >= V::EndYear && value <= V::EndSecond);
    switch (value) {
    case V::StartDateUniversal:
    case V::EndDateUniversal:
        return ActivityDateFormatter(QStringLiteral("yyyy-MM-dd"), isEnd);
    case V::StartDateLocal:
    case V::EndDateLocal:
        return ActivityDateFormatter::shortDate(isEnd);
    case V::StartTime:
    case V::EndTime:
        return ActivityDateFormatter(QStringLiteral("HH:mm:ss"), isEnd);
    case V::StartDateTime:
    case V::EndDateTime:
        return ActivityDateFormatter(QStringLiteral("yyy-MM-dd'T'HH:mm:ss"), isEnd);
    case V::StartYear:
    case V::EndYear:
        return ActivityDateFormatter(QStringLiteral("yyyy"), isEnd);
    case V::StartMonth:
    case V::EndMonth:
        return ActivityDateFormatter(QStringLiteral("MM"), isEnd);
    case V::StartDay:
    case V::EndDay:
        return ActivityDateFormatter(QStringLiteral("dd"), isEnd);
    case V::StartHour:
    case V::EndHour:
        return ActivityDateFormatter(QStringLiteral("HH"), isEnd);
    case V::StartMinute:
    case V::EndMinute:
        return ActivityDateFormatter(QStringLiteral("mm"), isEnd);
    case V::StartSecond:
    case V::EndSecond:
        return ActivityDateFormatter(QStringLiteral("ss"), isEnd);
    default:
        return ActivityDateFormatter();
    }
}

std::shared_ptr<const ActivityDateFormatter> DateFormatterCache::getFormatterForValue(int value)
{
    QMutexLocker locker(&cacheMutex);
    auto found = cache.constFind(value);
    if (found != cache.constEnd())
        return found.value();
    auto formatter = std::make_shared<const ActivityDateFormatter>(makeFormatter(value));
    cache.insert(value, formatter);
    return formatter;
}

void DateFormatterCache::clearCache()
{
    QMutexLocker locker(&cacheMutex);
    cache.clear();
}
