#include "ReportQuery.h"

#include "Activity.h"
#include "DateHelpers.h"
#include "SearchPattern.h"
#include "store/Context.h"
#include "store/SqlValues.h"
#include "store/StoreErrors.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcReport, "pendulo.core.report")

namespace {

const char *const searchFunction = "pendulo_search";
const QString orderNewestFirst = QStringLiteral("activity.time_from DESC, activity.id DESC");

// pendulo_search(searchText, text): whether the text contains the search text (see SearchPattern).
// The pattern is made once per statement: SQLite keeps it with the constant first argument.
void searchFunctionCall(sqlite3_context *call, int, sqlite3_value **arguments)
{
    auto *pattern = static_cast<SearchPattern *>(sqlite3_get_auxdata(call, 0));
    if (!pattern) {
        const auto *utf8 = reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]));
        pattern = new SearchPattern(QString::fromUtf8(utf8, sqlite3_value_bytes(arguments[0])));
        sqlite3_set_auxdata(call, 0, pattern, [](void *p) { delete static_cast<SearchPattern *>(p); });
        // SQLite may have dropped it at once; then ask again for the one that it keeps, if any.
        if (void *kept = sqlite3_get_auxdata(call, 0))
            pattern = static_cast<SearchPattern *>(kept);
        else
            pattern = nullptr;
    }
    if (sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_int(call, 0);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(arguments[1]));
    const std::string_view view(text, size_t(sqlite3_value_bytes(arguments[1])));
    if (pattern) {
        sqlite3_result_int(call, pattern->matchesUtf8(view) ? 1 : 0);
        return;
    }
    const SearchPattern once(
        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(arguments[0]))));
    sqlite3_result_int(call, once.matchesUtf8(view) ? 1 : 0);
}

void registerSearchFunction(SQLite::Database &database)
{
    // Registering again replaces the same function (and makes SQLite prepare statements again, hence
    // only for searches); it fails only while statements run, when the function is there already.
    sqlite3_create_function_v2(database.getHandle(), searchFunction, 2,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                               &searchFunctionCall, nullptr, nullptr, nullptr);
}

QString idList(const QSet<ObjectId> &ids, EntityType entity)
{
    QList<qint64> rowIds;
    for (const ObjectId &id : ids) {
        if (id.entity == entity && !id.isNull())
            rowIds.append(id.rowId);
    }
    std::sort(rowIds.begin(), rowIds.end());
    QStringList parts;
    parts.reserve(rowIds.size());
    for (qint64 rowId : rowIds)
        parts.append(QString::number(rowId));
    return parts.join(QLatin1Char(','));
}

// The longest span of any activity in seconds, read from the index on (time_to - time_from); none
// when there is no activity with both ends.
std::optional<double> longestSpan(SQLite::Database &database)
{
    SQLite::Statement query(database, "SELECT time_to - time_from FROM activity WHERE time_to - time_from "
                                      "IS NOT NULL ORDER BY time_to - time_from DESC LIMIT 1");
    if (!query.executeStep())
        return std::nullopt;
    return query.getColumn(0).getDouble();
}

struct Condition
{
    QString where;
    QVariantList arguments;
};

// The conditions on the activity table (columns written "activity.x", so that the same text serves
// joins and plain fetches).
Condition conditionFor(SQLite::Database &database, const ReportFilter &filter)
{
    QStringList parts;
    QVariantList arguments;
    if (filter.bounds) {
        const QVariant start = SqlValues::fromDate(filter.bounds->start);
        const QVariant end = SqlValues::fromDate(filter.bounds->end);
        parts.append(QStringLiteral("activity.time_to >= ? AND activity.time_from < ?"));
        arguments << start << end;
        // Says nothing new, but gives the start index a lower bound too: nothing that overlaps the
        // period can start earlier than its start minus the longest span.
        if (const std::optional<double> span = longestSpan(database); span && start.isValid()) {
            parts.append(QStringLiteral("activity.time_from >= ?"));
            arguments << start.toDouble() - std::max(*span, 0.0) - 1.0;
        }
    }
    if (!filter.searchText.isEmpty()) {
        registerSearchFunction(database);
        parts.append(QStringLiteral("%1(?, activity.text)").arg(QLatin1String(searchFunction)));
        arguments << filter.searchText;
    }
    if (!filter.projectIds.isEmpty())
        parts.append(QStringLiteral("activity.project_id IN (%1)")
                         .arg(idList(filter.projectIds, EntityType::Project)));
    if (!filter.taskIds.isEmpty())
        parts.append(QStringLiteral("EXISTS (SELECT 1 FROM activity_task WHERE activity_task.activity_id = "
                                    "activity.id AND activity_task.task_id IN (%1))")
                         .arg(idList(filter.taskIds, EntityType::Task)));
    if (filter.invoiced == ReportFilter::Invoiced::OnlyInvoiced)
        parts.append(QStringLiteral("activity.is_invoiced = 1"));
    else if (filter.invoiced == ReportFilter::Invoiced::OnlyNotInvoiced)
        parts.append(QStringLiteral("activity.is_invoiced = 0"));
    return {parts.join(QStringLiteral(" AND ")), arguments};
}

std::optional<qint64> msecsOf(const SQLite::Column &column)
{
    if (column.isNull())
        return std::nullopt;
    return std::llround(column.getDouble() * 1000.0);
}

QString textOf(const SQLite::Column &column)
{
    if (column.isNull())
        return {};
    return QString::fromUtf8(static_cast<const char *>(column.getBlob()), column.getBytes());
}

// Task names arrive joined by a unit separator, in no particular order; shown sorted, distinct, with
// ", " between them. Many rows share the same tasks, so the joined form is kept per raw value.
class TasksStrings
{
public:
    QString fromJoined(const SQLite::Column &column)
    {
        if (column.isNull())
            return {};
        // Looked up without copying the bytes; copied only when kept.
        const QByteArray raw =
            QByteArray::fromRawData(static_cast<const char *>(column.getBlob()), column.getBytes());
        auto found = m_cache.constFind(raw);
        if (found != m_cache.constEnd())
            return *found;
        QStringList names = QString::fromUtf8(raw).split(QChar(0x1F));
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        const QString joined = names.join(QStringLiteral(", "));
        m_cache.insert(QByteArray(raw.constData(), raw.size()), joined);
        return joined;
    }

private:
    QHash<QByteArray, QString> m_cache;
};

// Rows of one project share one copy of its name.
class ProjectNames
{
public:
    QString nameOf(const SQLite::Column &projectId, const SQLite::Column &name)
    {
        if (projectId.isNull())
            return {};
        const qint64 id = projectId.getInt64();
        auto found = m_names.constFind(id);
        if (found != m_names.constEnd())
            return *found;
        return *m_names.insert(id, textOf(name));
    }

private:
    QHash<qint64, QString> m_names;
};

PdError fetchError(const std::exception &e)
{
    const QString message = QString::fromUtf8(e.what());
    qCWarning(lcReport, "Report query failed: %s", qUtf8Printable(message));
    return PdError::make(StoreErrors::domain, StoreErrors::FetchFailed,
                         QStringLiteral("The activities could not be read: %1").arg(message));
}

} // namespace

ReportRows ReportQuery::rows(Context &context, const ReportFilter &filter, PdError *error)
{
    ReportRows result;
    try {
        SQLite::Database &database = context.database();
        const Condition condition = conditionFor(database, filter);
        QString sql = QStringLiteral(
            "SELECT activity.id, activity.uid, activity.text, activity.time_from, activity.time_to, "
            "activity.is_invoiced, activity.project_id, project.name, "
            "(SELECT group_concat(task.name, char(31)) FROM activity_task JOIN task ON task.id = "
            "activity_task.task_id WHERE activity_task.activity_id = activity.id) "
            "FROM activity LEFT JOIN project ON project.id = activity.project_id");
        if (!condition.where.isEmpty())
            sql += QStringLiteral(" WHERE ") + condition.where;
        sql += QStringLiteral(" ORDER BY ") + orderNewestFirst;

        SQLite::Statement query(database, sql.toStdString());
        SqlValues::bindAll(query, condition.arguments);
        TasksStrings tasks;
        ProjectNames projects;
        while (query.executeStep()) {
            ReportRow row;
            row.id = {EntityType::Activity, query.getColumn(0).getInt64()};
            row.uid = textOf(query.getColumn(1));
            row.text = textOf(query.getColumn(2));
            const std::optional<qint64> from = msecsOf(query.getColumn(3));
            const std::optional<qint64> to = msecsOf(query.getColumn(4));
            if (from)
                row.timeFrom = QDateTime::fromMSecsSinceEpoch(*from);
            if (to)
                row.timeTo = QDateTime::fromMSecsSinceEpoch(*to);
            if (from && to)
                row.durationSecs = DateHelpers::flooredSeconds(*to) - DateHelpers::flooredSeconds(*from);
            row.invoiced = query.getColumn(5).getInt() != 0;
            row.projectName = projects.nameOf(query.getColumn(6), query.getColumn(7));
            row.tasksStr = tasks.fromJoined(query.getColumn(8));
            result.append(std::move(row));
        }
    } catch (const std::exception &e) {
        if (error)
            *error = fetchError(e);
        return {};
    }
    return result;
}

QList<Activity *> ReportQuery::activities(Context &context, const ReportFilter &filter, PdError *error)
{
    Condition condition;
    try {
        condition = conditionFor(context.database(), filter);
    } catch (const std::exception &e) {
        if (error)
            *error = fetchError(e);
        return {};
    }
    return context.fetch<Activity>({condition.where, condition.arguments, orderNewestFirst}, error);
}

QList<Activity *> ReportQuery::activitiesOf(Context &context, const ReportRows &rows, PdError *error)
{
    // Fetched in batches, then put into row order.
    constexpr qsizetype batchSize = 500;
    QHash<qint64, Activity *> byRowId;
    for (qsizetype first = 0; first < rows.size(); first += batchSize) {
        QSet<ObjectId> ids;
        for (qsizetype i = first; i < std::min(rows.size(), first + batchSize); ++i)
            ids.insert(rows.at(i).id);
        PdError batchError;
        const QList<Activity *> batch = context.fetch<Activity>(
            {QStringLiteral("activity.id IN (%1)").arg(idList(ids, EntityType::Activity)), {}, {}},
            &batchError);
        if (batchError) {
            if (error)
                *error = batchError;
            return {};
        }
        for (Activity *activity : batch)
            byRowId.insert(activity->objectId().rowId, activity);
    }
    QList<Activity *> result;
    result.reserve(rows.size());
    for (const ReportRow &row : rows) {
        if (Activity *activity = byRowId.value(row.id.rowId))
            result.append(activity);
    }
    return result;
}
