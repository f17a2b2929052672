#pragma once

#include "ActivityHashItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class Activity;
class DeletedActivity;

// One activity as a month file describes it.
struct SyncActivityRecord
{
    QString uid;
    QString text;
    QDateTime timeFrom;
    QDateTime timeTo;
    QDateTime createdAt;
    QDateTime modifiedAt;
    bool isInvoiced = false;
};

// Reading and writing the two JSON formats of the sync folder: month files (an array of activities)
// and the deleted index (an array of uid / deleted_at pairs). Writers emit compact JSON.
class SyncJson
{
public:
    // Larger files are refused before parsing: a month of a very busy user stays far below this.
    static constexpr qint64 maxFileSize = 64 * 1024 * 1024;

    struct MonthFile
    {
        QList<SyncActivityRecord> activities;
        // The message that rejects the whole file; empty when it was accepted.
        QString error;
        bool ok() const { return error.isEmpty(); }
    };
    // Parses a month file and checks every element in file order; the first failing check rejects the
    // file with its message ("Failed to load json file. ..." when it is no JSON array).
    static MonthFile readMonthFile(const QByteArray &json);
    static MonthFile readMonthFileAt(const QString &path);

    struct DeletedIndex
    {
        QList<ActivityHashItem> entries;
        // "Failed to read deleted.json ..." or "deleted.json does not contain array of items!"; empty
        // when the file was read (an entry that fails its checks ends reading with no entries).
        QString error;
    };
    // `log` receives the lines about entries that end reading.
    static DeletedIndex readDeletedIndex(const QByteArray &json,
                                         const std::function<void(const QString &)> &log = {});
    static DeletedIndex readDeletedIndexAt(const QString &path,
                                           const std::function<void(const QString &)> &log = {});

    // The activities in the given order (callers pass them by ascending modifiedAt).
    static QByteArray monthFileJson(const QList<Activity *> &activities);
    static QByteArray monthFileJson(const QList<SyncActivityRecord> &activities);
    static QByteArray deletedIndexJson(const QList<DeletedActivity *> &tombstones);

    // Reads a whole file of at most maxFileSize bytes; on failure the description says why.
    static std::optional<QByteArray> readFile(const QString &path, QString *errorDescription);
    // Replaces the file atomically; on failure the description says why.
    static bool writeFile(const QString &path, const QByteArray &content, QString *errorDescription);
};
