#include "ActivityTokenValue.h"

#include "PDDurationTransformer.h"
#include "UnicodeDatePattern.h"

#include <QLocale>

QString ActivityTokenValue::activityValueToString(int value)
{
    switch (value) {
    case StartDateUniversal:
    case EndDateUniversal:
        return QStringLiteral("Date, e.g. %1").arg(getDateUniversalStr());
    case StartDateLocal:
    case EndDateLocal:
        return QStringLiteral("Date, e.g. %1").arg(getDateLocalStr());
    case StartTime:
    case EndTime:
        return QStringLiteral("Time, e.g 23:12:45");
    case StartDateTime:
    case EndDateTime:
        return QStringLiteral("Date/time, e.g. %1").arg(getDateTimeStr());
    case StartYear:
    case EndYear:
        return QStringLiteral("Year");
    case StartMonth:
    case EndMonth:
        return QStringLiteral("Month (01-12)");
    case StartDay:
    case EndDay:
        return QStringLiteral("Day of the month (01-31)");
    case StartHour:
    case EndHour:
        return QStringLiteral("Hour (00-59)");
    case StartMinute:
    case EndMinute:
        return QStringLiteral("Minute (00-59)");
    case StartSecond:
    case EndSecond:
        return QStringLiteral("Second (00-59)");
    case DurationFormatted:
        return QStringLiteral("Formatted, e.g. 01:12:45");
    case DurationMinutes:
        return QStringLiteral("In minutes, e.g. 73");
    case DurationDecimalHours:
        return QStringLiteral("Decimal hours, e.g. 1.21 for 01:12:45");
    case Text:
        return QStringLiteral("Text");
    case ProjectName:
        return QStringLiteral("Project name");
    case TaskTags:
        return QStringLiteral("Task tags (#)");
    case Uid:
        return QStringLiteral("Activity identifier (UID)");
    case InvoicedStatus:
        return QStringLiteral("Invoiced status (0 or 1)");
    default:
        return QStringLiteral("---");
    }
}

QString ActivityTokenValue::descriptionShort(int value)
{
    switch (value) {
    case StartDateUniversal:
        return QStringLiteral("Start date (%1)").arg(getDateUniversalStr());
    case StartDateLocal:
        return QStringLiteral("Start date (%1)").arg(getDateLocalStr());
    case StartTime:
        return QStringLiteral("Start time");
    case StartDateTime:
        return QStringLiteral("Start date/time");
    case EndDateUniversal:
        return QStringLiteral("End date (%1)").arg(getDateUniversalStr());
    case EndDateLocal:
        return QStringLiteral("End date (%1)").arg(getDateLocalStr());
    case EndTime:
        return QStringLiteral("End time");
    case EndDateTime:
        return QStringLiteral("End date/time");
    case StartYear:
        return QStringLiteral("Start year");
    case StartMonth:
        return QStringLiteral("Start month");
    case StartDay:
        return QStringLiteral("Start day of the month");
    case StartHour:
        return QStringLiteral("Start hour");
    case StartMinute:
        return QStringLiteral("Start minute");
    case StartSecond:
        return QStringLiteral("Start second");
    case EndYear:
        return QStringLiteral("End year");
    case EndMonth:
        return QStringLiteral("End month");
    case EndDay:
        return QStringLiteral("End day of the month");
    case EndHour:
        return QStringLiteral("End hour");
    case EndMinute:
        return QStringLiteral("End minute");
    case EndSecond:
        return QStringLiteral("End second");
    case DurationFormatted:
        return QStringLiteral("Formatted duration");
    case DurationMinutes:
        return QStringLiteral("Duration in minutes");
    case DurationDecimalHours:
        return QStringLiteral("Duration as decimal hours");
    case Text:
        return QStringLiteral("Text");
    case ProjectName:
        return QStringLiteral("Project name");
    case TaskTags:
        return QStringLiteral("Task tags (#)");
    case Uid:
        return QStringLiteral("Activity identifier (UID)");
    case InvoicedStatus:
        return QStringLiteral("Invoiced status");
    default:
        return QString::number(value);
    }
}

const PDDurationTransformer *ActivityTokenValue::transformer() const
{
    if (!m_transformer && m_value >= DurationFormatted && m_value <= DurationDecimalHours)
        m_transformer = std::make_shared<PDDurationTransformer>(m_value - DurationFormatted);
    return m_transformer.get();
}

QDateTime ActivityTokenValue::getDateValue()
{
    return QDateTime(QDate(2010, 10, 23), QTime(23, 12, 45));
}

QString ActivityTokenValue::getDateUniversalStr()
{
    return UnicodeDatePattern(QStringLiteral("yyyy-MM-dd")).format(getDateValue());
}

QString ActivityTokenValue::getDateLocalStr()
{
    return QLocale::system().toString(getDateValue().date(), QLocale::ShortFormat);
}

QString ActivityTokenValue::getDateTimeStr()
{
    return UnicodeDatePattern(QStringLiteral("yyy-MM-dd'T'HH:mm:ss")).format(getDateValue());
}
