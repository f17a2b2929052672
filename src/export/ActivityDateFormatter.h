#pragma once

#include "UnicodeDatePattern.h"

#include <QDateTime>
#include <QLocale>

#include <optional>

class Activity;

// Renders the start (or, for an end formatter, the end) of an activity with a date pattern or the
// user's short date style. The locale and time zone are those of the moment the formatter is made.
// A formatter with neither pattern nor style renders every date as empty text.
class ActivityDateFormatter
{
public:
    enum class Style
    {
        None,      // neither pattern nor style
        Pattern,   // a Unicode date pattern
        ShortDate, // the locale's short date style, no time
    };

    ActivityDateFormatter() = default;
    // A formatter with a pattern.
    ActivityDateFormatter(const QString &pattern, bool isEndTime, const QLocale &locale = QLocale::system());
    // The locale's short date style.
    static ActivityDateFormatter shortDate(bool isEndTime, const QLocale &locale = QLocale::system());

    bool isEndTime() const { return m_isEndTime; }
    void setEndTime(bool isEndTime) { m_isEndTime = isEndTime; }
    Style style() const { return m_style; }
    QString pattern() const { return m_pattern.pattern(); }

    QString stringFromDate(const QDateTime &moment) const;
    // The activity's timeTo for an end formatter, its timeFrom otherwise.
    QString stringForActivity(const Activity &activity) const;

private:
    Style m_style = Style::None;
    UnicodeDatePattern m_pattern;
    QLocale m_locale = QLocale::system();
    bool m_isEndTime = false;
};
