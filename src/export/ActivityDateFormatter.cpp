#include "ActivityDateFormatter.h"

#include "Activity.h"

ActivityDateFormatter::ActivityDateFormatter(const QString &pattern, bool isEndTime, const QLocale &locale)
    : m_style(Style::Pattern)
    , m_pattern(pattern)
    , m_locale(locale)
    , m_isEndTime(isEndTime)
{}

ActivityDateFormatter ActivityDateFormatter::shortDate(bool isEndTime, const QLocale &locale)
{
    ActivityDateFormatter formatter;
    formatter.m_style = Style::ShortDate;
    formatter.m_locale = locale;
    formatter.m_isEndTime = isEndTime;
    return formatter;
}

QString ActivityDateFormatter::stringFromDate(const QDateTime &moment) const
{
    if (!moment.isValid())
        return QString();
    switch (m_style) {
    case Style::Pattern:
        return m_pattern.format(moment, m_locale);
    case Style::ShortDate:
        return m_locale.toString(moment.toLocalTime().date(), QLocale::ShortFormat);
    case Style::None:
        break;
    }
    return QString();
}

QString ActivityDateFormatter::stringForActivity(const Activity &activity) const
{
    return stringFromDate(m_isEndTime ? activity.timeTo() : activity.timeFrom());
}
