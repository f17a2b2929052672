#include "PDActivityToActivityPolicy.h"

#include <QDateTime>

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <cmath>

namespace {

void activityYearMonth(sqlite3_context *context, int, sqlite3_value **arguments)
{
    // An activity without a start has yearMonth 0, as when its start is cleared.
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    sqlite3_result_int(context, PDActivityToActivityPolicy::yearMonth(sqlite3_value_double(arguments[0])));
}

} // namespace

void PDActivityToActivityPolicy::install(SQLite::Database &database) const
{
    if (m_modelVersion != 5)
        return;
    // Not deterministic: the result depends on the user's time zone.
    database.createFunction("activity_year_month", 1, false, nullptr, &activityYearMonth);
}

int PDActivityToActivityPolicy::yearMonth(double secondsSinceEpoch)
{
    const auto msecs = static_cast<qint64>(std::floor(secondsSinceEpoch * 1000.0));
    const QDate date = QDateTime::fromMSecsSinceEpoch(msecs).date();
    return date.year() * 100 + date.month();
}
