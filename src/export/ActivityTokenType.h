#pragma once

#include <QHash>
#include <QString>

// The type of an export field: 100 Date, 200 Duration, 400 Activity. The codes are stored in the
// user's export formats.
class ActivityTokenType
{
public:
    enum Code : int
    {
        Date = 100,
        Duration = 200,
        Activity = 400,
    };

    ActivityTokenType() = default;
    explicit ActivityTokenType(int valueType)
        : m_valueType(valueType)
    {}

    int valueType() const { return m_valueType; }

    // "Date", "Duration", "Activity", or "---" for any other code.
    static QString activityTokenToString(int valueType);
    QString description() const { return activityTokenToString(m_valueType); }

    friend bool operator==(const ActivityTokenType &a, const ActivityTokenType &b)
    {
        return a.m_valueType == b.m_valueType;
    }

private:
    int m_valueType = Activity;
};

inline size_t qHash(const ActivityTokenType &type, size_t seed = 0)
{
    return qHash(type.valueType(), seed);
}
