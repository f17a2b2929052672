#pragma once

#include <QtGlobal>

namespace SQLite {
class Database;
}

// The Activity policy of the mapping models. A mapping to model version 5 creates each destination
// activity from the source's values of the same name and computes yearMonth from the start; the mapping
// SQL calls the policy's function activity_year_month(time_from) for that.
class PDActivityToActivityPolicy
{
public:
    explicit PDActivityToActivityPolicy(int modelVersion)
        : m_modelVersion(modelVersion)
    {}

    // Makes the policy's SQL functions available on the connection that runs the mapping. Only the
    // mapping to version 5 computes yearMonth; other versions copy activities unchanged.
    void install(SQLite::Database &database) const;

    // Year * 100 + month of the moment (seconds since the Unix epoch) in the user's local calendar.
    static int yearMonth(double secondsSinceEpoch);

private:
    int m_modelVersion;
};
