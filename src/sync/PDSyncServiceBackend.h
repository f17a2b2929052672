#pragma once

#include "PDTmpSyncFile.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <functional>
#include <optional>

// The storage a sync run works against (the Dropbox backend in the application, an in-memory remote in
// tests). Operations start work and return; their completions may be called on any thread. On a failure
// the backend calls the error handler with its message and never calls that operation's completion.
class PDSyncServiceBackend
{
public:
    using MessageHandler = std::function<void(const QString &message)>;
    using Completion = std::function<void()>;
    // The remote changes since the persisted cursor (or every remote file when there is none): each
    // file with its revision value, deleted ones marked wasDeleted. `fullFetch` says the list is a
    // complete listing rather than a delta. No list at all means no changes.
    using FetchHandler =
        std::function<void(const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch)>;
    // False: the remote file does not exist (only given when no revision was expected).
    using DownloadCallback = std::function<void(bool exists)>;
    using UploadBlock = std::function<void(const QString &newRevisionValue)>;

    virtual ~PDSyncServiceBackend() = default;

    // Persists the cursor of the last fetch.
    virtual void saveSavepoint() = 0;
    // Forgets the cursor, in memory and persisted: the next fetch lists everything.
    virtual void deleteSavepoint() = 0;
    virtual void initializeBackend(Completion completion) = 0;
    virtual void fetchChangesWithLocalCache(const QList<PDTmpSyncFile> &localFiles, FetchHandler handler) = 0;
    // Downloads "name" into localPath. With an expected file, a remote revision other than its
    // revisionValue is an error.
    virtual void downloadFileWithName(const QString &fileName, const std::optional<PDTmpSyncFile> &expected,
                                      const QString &localPath, DownloadCallback callback) = 0;
    // Uploads localPath under its own file name, replacing exactly the remote version named by the
    // file's revisionValue; without a file or revision value the remote file is created.
    virtual void uploadFile(const QString &localPath, const std::optional<PDTmpSyncFile> &revision,
                            UploadBlock block) = 0;
    virtual void deleteFile(const PDTmpSyncFile &file, Completion block) = 0;
    // The name part of the local cache folder ("dropbox" gives "dropbox-sync").
    virtual QString cachePrefix() const = 0;
    // The sync method of the backend's revisions (1 Dropbox).
    virtual qint64 syncMethod() const = 0;

    // Set by the run. Safe to call from any thread.
    void setErrorHandler(MessageHandler handler);
    void setProgressHandler(MessageHandler handler);
    void setActivityLogHandler(MessageHandler handler);

protected:
    // For backends: report through the handlers the run installed (no-ops while none is set).
    void reportError(const QString &message) const;
    void reportProgress(const QString &message) const;
    void reportActivityLog(const QString &message) const;

private:
    MessageHandler handler(const MessageHandler &which) const;

    mutable QMutex m_mutex;
    MessageHandler m_errorHandler;
    MessageHandler m_progressHandler;
    MessageHandler m_activityLogHandler;
};
