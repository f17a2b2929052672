#pragma once

#include <QDateTime>

#include <optional>

// A moment as the store keeps it, milliseconds since the Unix epoch, with its QDateTime made on first
// use: a local-time conversion costs more than reading a whole row, and most loaded activities never
// show all of their times.
class StoredTime
{
public:
    StoredTime() = default;
    explicit StoredTime(const QDateTime &dateTime)
        : m_msecs(dateTime.isValid() ? std::optional<qint64>(dateTime.toMSecsSinceEpoch()) : std::nullopt)
        , m_dateTime(dateTime)
        , m_dateTimeMade(true)
    {}
    static StoredTime fromMSecs(std::optional<qint64> msecs)
    {
        StoredTime time;
        time.m_msecs = msecs;
        time.m_dateTimeMade = !msecs;
        return time;
    }

    bool isValid() const { return m_msecs.has_value(); }
    std::optional<qint64> msecs() const { return m_msecs; }
    // The moment as given, or in local time when it was read from the store; invalid without one.
    QDateTime dateTime() const
    {
        if (!m_dateTimeMade) {
            m_dateTime = QDateTime::fromMSecsSinceEpoch(*m_msecs);
            m_dateTimeMade = true;
        }
        return m_dateTime;
    }
    // Both invalid, or both the same millisecond.
    bool isSameMoment(const StoredTime &other) const { return m_msecs == other.m_msecs; }

private:
    std::optional<qint64> m_msecs;
    mutable QDateTime m_dateTime;
    mutable bool m_dateTimeMade = true;
};
