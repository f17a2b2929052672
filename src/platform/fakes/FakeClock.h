#pragma once

#include "Clock.h"

#include <QMutex>

// A clock for tests: stands still until it is set or advanced. Safe to read from any thread.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2016, 3, 14), QTime(9, 0)));

    QDateTime now() const override;

    void setNow(const QDateTime &moment);
    void advance(qint64 milliseconds);
    void advanceSecs(qint64 seconds) { advance(seconds * 1000); }

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
};
