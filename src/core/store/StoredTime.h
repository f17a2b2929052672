#pragma once

#include <QDateTime>

#include <optional>

// A moment as the store keeps it: milliseconds since the Unix epoch. A moment read from the store makes
// its local QDateTime when asked, each time: a local-time conversion costs more than reading a whole row,
// most loaded activities never show all of their times, and a time made afresh follows a change of the
// system's time zone.
class StoredTime
{
public:
    StoredTime() = default;
    explicit StoredTime(const QDateTime &dateTime)
        : m_msecs(dateTime.isValid() ? std::optional<qint64>(dateTime.toMSecsSinceEpoch()) : std::nullopt)
        , m_given(dateTime)
    {}
    static StoredTime fromMSecs(std::optional<qint64> msecs)
    {
        StoredTime time;
        time.m_msecs = msecs;
        return time;
    }

    bool isValid() const { return m_msecs.has_value(); }
    std::optional<qint64> msecs() const { return m_msecs; }
    // The moment as it was given, or in local time when it was read from the store; invalid without one.
    QDateTime dateTime() const
    {
        if (m_given.isValid() || !m_msecs)
            return m_given;
        return QDateTime::fromMSecsSinceEpoch(*m_msecs);
    }
    // Both invalid, or both the same millisecond.
    bool isSameMoment(const StoredTime &other) const { return m_msecs == other.m_msecs; }

private:
    std::optional<qint64> m_msecs;
    QDateTime m_given;
};
