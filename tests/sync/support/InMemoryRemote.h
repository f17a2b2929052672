#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A remote sync folder in memory that behaves like the real one where sync relies on it: every write
// gives the file a new revision, a change cursor lists only what changed since (deletions included) and
// no cursor lists every file, downloads and uploads check revisions, and any operation can be made to
// fail. Safe to use from any thread. File names are relative to the sync folder ("2016-03.json").
class InMemoryRemote
{
public:
    enum class Operation
    {
        Initialize,
        Fetch,
        Download,
        Upload,
        Delete,
    };

    struct Change
    {
        QString name;
        QString revision; // null for a deletion
        bool deleted = false;
    };
    struct Listing
    {
        QList<Change> changes;
        bool fullFetch = false;
        qint64 cursor = 0;
    };

    // Direct changes, as another program would make them.
    QString putFile(const QString &name, const QByteArray &content);
    void removeFile(const QString &name);

    std::optional<QByteArray> content(const QString &name) const;
    QString revision(const QString &name) const;
    QStringList fileNames() const;

    // Everything changed after the cursor (each name once, in its latest state), or without a cursor
    // every existing file as a full listing.
    Listing listChanges(std::optional<qint64> cursor) const;

    // The operations of a backend. Each answers an error message, or a null string on success.
    QString initialize();
    QString fetch();
    // A missing file with no expected revision is no error: `exists` says so.
    QString download(const QString &name, const QString &expectedRevision, QByteArray *content, bool *exists);
    // Creates the file when `replacedRevision` is null (failing when it exists), otherwise replaces
    // exactly that revision.
    QString upload(const QString &name, const QByteArray &content, const QString &replacedRevision,
                   QString *newRevision);
    QString remove(const QString &name);

    // The next `times` calls of the operation (for one file name, or any when the name is empty) fail
    // with the message, after `skip` calls that succeed.
    void injectFailure(Operation operation, const QString &message, const QString &fileName = {},
                       int skip = 0, int times = 1);
    void clearFailures();
    // Called at the start of every operation, on the caller's thread.
    void setOperationHook(std::function<void(Operation, const QString &fileName)> hook);

    int operationCount(Operation operation) const;
    void resetCounts();

private:
    struct File
    {
        QByteArray content;
        QString revision;
    };
    struct Failure
    {
        Operation operation;
        QString message;
        QString fileName;
        int skip;
        int times;
    };

    QString begin(Operation operation, const QString &fileName);
    QString write(const QString &name, const QByteArray &content);
    void erase(const QString &name);

    mutable QMutex m_mutex;
    QHash<QString, File> m_files;
    QList<std::pair<qint64, QString>> m_changeLog; // sequence number, name
    qint64 m_sequence = 0;
    qint64 m_revisionCounter = 0;
    QList<Failure> m_failures;
    QHash<int, int> m_counts;
    std::function<void(Operation, const QString &)> m_hook;
};
