#pragma once

#include "InMemoryRemote.h"
#include "PDSyncServiceBackend.h"

#include <memory>

// One computer's backend over an in-memory remote: lists the folder "sync" as the Dropbox backend does
// (names recognised with that folder, revisions of method 1), keeps the fetched and the persisted
// change cursor, and calls completions and the error handler on a pool thread, or at once when asked.
class InMemoryBackend : public PDSyncServiceBackend
{
public:
    enum class Delivery
    {
        OtherThread,
        SameThread,
    };

    explicit InMemoryBackend(std::shared_ptr<InMemoryRemote> remote,
                             Delivery delivery = Delivery::OtherThread);

    void saveSavepoint() override;
    void deleteSavepoint() override;
    void initializeBackend(Completion completion) override;
    void fetchChangesWithLocalCache(const QList<PDTmpSyncFile> &localFiles, FetchHandler handler) override;
    void downloadFileWithName(const QString &fileName, const std::optional<PDTmpSyncFile> &expected,
                              const QString &localPath, DownloadCallback callback) override;
    void uploadFile(const QString &localPath, const std::optional<PDTmpSyncFile> &revision,
                    UploadBlock block) override;
    void deleteFile(const PDTmpSyncFile &file, Completion block) override;
    QString cachePrefix() const override { return QStringLiteral("dropbox"); }
    qint64 syncMethod() const override { return PDTmpSyncFile::syncMethodDropbox; }

    std::optional<qint64> savedCursor() const;
    InMemoryRemote &remote() { return *m_remote; }

private:
    void deliver(std::function<void()> call);
    void fail(const QString &message);

    std::shared_ptr<InMemoryRemote> m_remote;
    Delivery m_delivery;
    mutable QMutex m_mutex;
    std::optional<qint64> m_fetchedCursor;
    std::optional<qint64> m_savedCursor;
};
