#include "SqlValues.h"

#include <cmath>

namespace SqlValues {

void bind(SQLite::Statement &statement, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        statement.bind(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        statement.bind(index, static_cast<int64_t>(value.toLongLong()));
        break;
    case QMetaType::Double:
        statement.bind(index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        statement.bind(index, bytes.constData(), static_cast<int>(bytes.size()));
        break;
    }
    case QMetaType::QDateTime:
        bind(statement, index, fromDate(value.toDateTime()));
        break;
    default:
        statement.bind(index, value.toString().toStdString());
        break;
    }
}

void bindAll(SQLite::Statement &statement, const QVariantList &values, int firstIndex)
{
    for (int i = 0; i < values.size(); ++i)
        bind(statement, firstIndex + i, values.at(i));
}

QVariant read(const SQLite::Column &column)
{
    const int type = column.getType();
    if (type == SQLite::INTEGER)
        return QVariant::fromValue<qint64>(column.getInt64());
    if (type == SQLite::FLOAT)
        return column.getDouble();
    if (type == SQLite::TEXT)
        return QString::fromUtf8(column.getText(), column.getBytes());
    if (type == SQLite::BLOB)
        return QByteArray(static_cast<const char *>(column.getBlob()), column.getBytes());
    return {};
}

QVariant fromDate(const QDateTime &date)
{
    return fromMSecs(date.isValid() ? std::optional<qint64>(date.toMSecsSinceEpoch()) : std::nullopt);
}

QDateTime toDate(const QVariant &value)
{
    const std::optional<qint64> msecs = toMSecs(value);
    return msecs ? QDateTime::fromMSecsSinceEpoch(*msecs) : QDateTime();
}

QVariant fromMSecs(std::optional<qint64> msecs)
{
    if (!msecs)
        return {};
    return static_cast<double>(*msecs) / 1000.0;
}

std::optional<qint64> toMSecs(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    return std::llround(value.toDouble() * 1000.0);
}

} // namespace SqlValues
