#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The date form of the sync files: local wall-clock time "yyy-MM-dd'T'HH:mm:ss" with no zone, for
// example 2016-03-05T14:07:09. Fractions of a second are dropped when writing.
namespace SyncDate {

QString toString(const QDateTime &date);
// The same, appended to a byte buffer (ASCII); nothing for an invalid date.
void appendTo(QByteArray &out, const QDateTime &date);
// An invalid QDateTime when the text is not in the date form or cannot be read as a date.
QDateTime fromString(const QString &text);

} // namespace SyncDate
