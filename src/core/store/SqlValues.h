#pragma once

// Conversions between Qt values and SQLite values; used only inside the store's .cpp files.

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include <QDateTime>
#include <QVariant>

#include <optional>

namespace SqlValues {

// Binds a value to a placeholder (1-based); an invalid QVariant binds NULL, a QDateTime binds its store
// time (REAL seconds since the Unix epoch).
void bind(SQLite::Statement &statement, int index, const QVariant &value);
void bindAll(SQLite::Statement &statement, const QVariantList &values, int firstIndex = 1);

// A column as QVariant: qint64, double, QString, QByteArray or invalid for NULL.
QVariant read(const SQLite::Column &column);

// Store times: REAL seconds since the Unix epoch (UTC), milliseconds kept. Null dates are NULL.
QVariant fromDate(const QDateTime &date);
QDateTime toDate(const QVariant &value);
// The same in milliseconds since the epoch, without a local-time conversion.
QVariant fromMSecs(std::optional<qint64> msecs);
std::optional<qint64> toMSecs(const QVariant &value);

// Text columns: a null QString is NULL.
inline QVariant fromText(const QString &text)
{
    return text.isNull() ? QVariant() : QVariant(text);
}
inline QString toText(const QVariant &value)
{
    return value.isValid() ? value.toString() : QString();
}

} // namespace SqlValues
