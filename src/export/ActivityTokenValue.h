#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>

class PDDurationTransformer;

// One value code of an export field (read together with the field's type): which piece of an activity
// the field renders. The codes are stored in the user's export formats.
class ActivityTokenValue
{
public:
    enum Code : int
    {
        StartDateUniversal = 110, // yyyy-MM-dd
        StartDateLocal = 111,     // the user's short date style
        StartTime = 120,          // HH:mm:ss
        StartDateTime = 121,      // yyy-MM-dd'T'HH:mm:ss
        EndDateUniversal = 160,
        EndDateLocal = 161,
        EndTime = 170,
        EndDateTime = 171,
        StartYear = 200,
        StartMonth = 201,
        StartDay = 202,
        StartHour = 203,
        StartMinute = 204,
        StartSecond = 205,
        EndYear = 250,
        EndMonth = 251,
        EndDay = 252,
        EndHour = 253,
        EndMinute = 254,
        EndSecond = 255,
        DurationFormatted = 300,
        DurationMinutes = 301,
        DurationDecimalHours = 302,
        Text = 400,
        ProjectName = 401,
        TaskTags = 402,
        Uid = 403,
        InvoicedStatus = 404,
    };

    ActivityTokenValue() = default;
    explicit ActivityTokenValue(int value)
        : m_value(value)
    {}

    int value() const { return m_value; }

    bool showShortDescription() const { return m_showShortDescription; }
    void setShowShortDescription(bool on) { m_showShortDescription = on; }
    // The short title when showShortDescription is set, the long (menu) title otherwise.
    QString description() const { return m_showShortDescription ? descriptionShort() : longTitle(); }
    QString descriptionShort() const { return descriptionShort(m_value); }
    QString longTitle() const { return activityValueToString(m_value); }

    // The menu title of a code; "---" for codes outside the table.
    static QString activityValueToString(int value);
    // The title in field lists; the code in decimal for codes outside the table.
    static QString descriptionShort(int value);

    // The duration formatter of codes 300..302 (formats 0..2), made on first use; null for other codes.
    const PDDurationTransformer *transformer() const;

    // A value with the same code and nothing else.
    ActivityTokenValue copy() const { return ActivityTokenValue(m_value); }

    // The sample moment of the titles, 23 October 2010 23:12:45 local time, and its renderings.
    static QDateTime getDateValue();
    static QString getDateUniversalStr(); // yyyy-MM-dd
    static QString getDateLocalStr();     // the user's short date style, no time
    static QString getDateTimeStr();      // yyy-MM-dd'T'HH:mm:ss

    friend bool operator==(const ActivityTokenValue &a, const ActivityTokenValue &b)
    {
        return a.m_value == b.m_value;
    }

private:
    int m_value = Text;
    bool m_showShortDescription = false;
    mutable std::shared_ptr<PDDurationTransformer> m_transformer;
};

inline size_t qHash(const ActivityTokenValue &value, size_t seed = 0)
{
    return qHash(value.value(), seed);
}
