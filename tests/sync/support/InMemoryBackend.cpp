#include "InMemoryBackend.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

InMemoryBackend::InMemoryBackend(std::shared_ptr<InMemoryRemote> remote, Delivery delivery)
    : m_remote(std::move(remote))
    , m_delivery(delivery)
{}

void InMemoryBackend::deliver(std::function<void()> call)
{
    if (m_delivery == Delivery::SameThread)
        call();
    else
        QThreadPool::globalInstance()->start(std::move(call));
}

void InMemoryBackend::fail(const QString &message)
{
    deliver([this, message] { reportError(message); });
}

void InMemoryBackend::saveSavepoint()
{
    QMutexLocker lock(&m_mutex);
    m_savedCursor = m_fetchedCursor;
}

void InMemoryBackend::deleteSavepoint()
{
    QMutexLocker lock(&m_mutex);
    m_savedCursor.reset();
    m_fetchedCursor.reset();
}

std::optional<qint64> InMemoryBackend::savedCursor() const
{
    QMutexLocker lock(&m_mutex);
    return m_savedCursor;
}

void InMemoryBackend::initializeBackend(Completion completion)
{
    if (const QString failure = m_remote->initialize(); !failure.isNull())
        return fail(failure);
    deliver(std::move(completion));
}

void InMemoryBackend::fetchChangesWithLocalCache(const QList<PDTmpSyncFile> &localFiles, FetchHandler handler)
{
    Q_UNUSED(localFiles);
    if (const QString failure = m_remote->fetch(); !failure.isNull())
        return fail(failure);
    const InMemoryRemote::Listing listing = m_remote->listChanges(savedCursor());
    {
        QMutexLocker lock(&m_mutex);
        m_fetchedCursor = listing.cursor;
    }
    QList<PDTmpSyncFile> files;
    for (const InMemoryRemote::Change &change : listing.changes) {
        const QString path = QStringLiteral("/sync/") + change.name;
        const std::optional<PDTmpSyncFile> file =
            change.deleted
                ? PDTmpSyncFile::deletedFileFromFileName(path, QStringLiteral("sync"))
                : PDTmpSyncFile::fromFileName(path, QStringLiteral("sync"), syncMethod(), change.revision);
        if (file)
            files.append(*file);
    }
    const bool fullFetch = listing.fullFetch;
    deliver([handler = std::move(handler), files, fullFetch] { handler(files, fullFetch); });
}

void InMemoryBackend::downloadFileWithName(const QString &fileName,
                                           const std::optional<PDTmpSyncFile> &expected,
                                           const QString &localPath, DownloadCallback callback)
{
    QByteArray content;
    bool exists = false;
    const QString expectedRevision = expected ? expected->revisionValue() : QString();
    if (const QString failure = m_remote->download(fileName, expectedRevision, &content, &exists);
        !failure.isNull())
        return fail(failure);
    if (exists) {
        QFile file(localPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return fail(QStringLiteral("Download failed: cannot write %1").arg(localPath));
    }
    deliver([callback = std::move(callback), exists] { callback(exists); });
}

void InMemoryBackend::uploadFile(const QString &localPath, const std::optional<PDTmpSyncFile> &revision,
                                 UploadBlock block)
{
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Upload failed: cannot read %1").arg(localPath));
    const QString replaced = revision ? revision->revisionValue() : QString();
    QString newRevision;
    const QString failure =
        m_remote->upload(QFileInfo(localPath).fileName(), file.readAll(), replaced, &newRevision);
    if (!failure.isNull())
        return fail(failure);
    deliver([block = std::move(block), newRevision] { block(newRevision); });
}

void InMemoryBackend::deleteFile(const PDTmpSyncFile &file, Completion block)
{
    if (const QString failure = m_remote->remove(file.fileName()); !failure.isNull())
        return fail(failure);
    deliver(std::move(block));
}
