#include "InMemoryRemote.h"

QString InMemoryRemote::write(const QString &name, const QByteArray &content)
{
    const QString revision = QStringLiteral("%1").arg(++m_revisionCounter, 9, 16, QLatin1Char('0'));
    m_files.insert(name, {content, revision});
    m_changeLog.append({++m_sequence, name});
    return revision;
}

void InMemoryRemote::erase(const QString &name)
{
    if (m_files.remove(name) > 0)
        m_changeLog.append({++m_sequence, name});
}

QString InMemoryRemote::putFile(const QString &name, const QByteArray &content)
{
    QMutexLocker lock(&m_mutex);
    return write(name, content);
}

void InMemoryRemote::removeFile(const QString &name)
{
    QMutexLocker lock(&m_mutex);
    erase(name);
}

std::optional<QByteArray> InMemoryRemote::content(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_files.constFind(name);
    if (it == m_files.cend())
        return std::nullopt;
    return it->content;
}

QString InMemoryRemote::revision(const QString &name) const
{
    QMutexLocker lock(&m_mutex);
    return m_files.value(name).revision;
}

QStringList InMemoryRemote::fileNames() const
{
    QMutexLocker lock(&m_mutex);
    QStringList names = m_files.keys();
    names.sort();
    return names;
}

InMemoryRemote::Listing InMemoryRemote::listChanges(std::optional<qint64> cursor) const
{
    QMutexLocker lock(&m_mutex);
    Listing listing;
    listing.cursor = m_sequence;
    if (!cursor) {
        listing.fullFetch = true;
        for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
            listing.changes.append({it.key(), it->revision, false});
        return listing;
    }
    QStringList changed;
    for (auto it = m_changeLog.crbegin(); it != m_changeLog.crend() && it->first > *cursor; ++it) {
        if (!changed.contains(it->second))
            changed.prepend(it->second);
    }
    for (const QString &name : std::as_const(changed)) {
        const auto file = m_files.constFind(name);
        if (file == m_files.cend())
            listing.changes.append({name, QString(), true});
        else
            listing.changes.append({name, file->revision, false});
    }
    return listing;
}

QString InMemoryRemote::begin(Operation operation, const QString &fileName)
{
    std::function<void(Operation, const QString &)> hook;
    {
        QMutexLocker lock(&m_mutex);
        hook = m_hook;
    }
    if (hook)
        hook(operation, fileName);
    QMutexLocker lock(&m_mutex);
    ++m_counts[static_cast<int>(operation)];
    for (auto it = m_failures.begin(); it != m_failures.end(); ++it) {
        if (it->operation != operation || (!it->fileName.isEmpty() && it->fileName != fileName))
            continue;
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        const QString message = it->message;
        if (--it->times <= 0)
            m_failures.erase(it);
        return message;
    }
    return {};
}

QString InMemoryRemote::initialize()
{
    return begin(Operation::Initialize, {});
}

QString InMemoryRemote::fetch()
{
    return begin(Operation::Fetch, {});
}

QString InMemoryRemote::download(const QString &name, const QString &expectedRevision, QByteArray *content,
                                 bool *exists)
{
    if (QString failure = begin(Operation::Download, name); !failure.isNull())
        return failure;
    QMutexLocker lock(&m_mutex);
    const auto file = m_files.constFind(name);
    if (file == m_files.cend()) {
        if (!expectedRevision.isNull())
            return QStringLiteral("Download failed: %1 not found").arg(name);
        *exists = false;
        return {};
    }
    if (!expectedRevision.isNull() && file->revision != expectedRevision)
        return QStringLiteral("Download failed: %1 has revision %2, not %3")
            .arg(name, file->revision, expectedRevision);
    *exists = true;
    *content = file->content;
    return {};
}

QString InMemoryRemote::upload(const QString &name, const QByteArray &content,
                               const QString &replacedRevision, QString *newRevision)
{
    if (QString failure = begin(Operation::Upload, name); !failure.isNull())
        return failure;
    QMutexLocker lock(&m_mutex);
    const auto file = m_files.constFind(name);
    if (replacedRevision.isNull() && file != m_files.cend())
        return QStringLiteral("Upload failed: %1 already exists (conflict)").arg(name);
    if (!replacedRevision.isNull() && (file == m_files.cend() || file->revision != replacedRevision))
        return QStringLiteral("Upload failed: %1 is not at revision %2 (conflict)")
            .arg(name, replacedRevision);
    *newRevision = write(name, content);
    return {};
}

QString InMemoryRemote::remove(const QString &name)
{
    if (QString failure = begin(Operation::Delete, name); !failure.isNull())
        return failure;
    QMutexLocker lock(&m_mutex);
    if (!m_files.contains(name))
        return QStringLiteral("Delete failed: %1 not found").arg(name);
    erase(name);
    return {};
}

void InMemoryRemote::injectFailure(Operation operation, const QString &message, const QString &fileName,
                                   int skip, int times)
{
    QMutexLocker lock(&m_mutex);
    m_failures.append({operation, message, fileName, skip, times});
}

void InMemoryRemote::clearFailures()
{
    QMutexLocker lock(&m_mutex);
    m_failures.clear();
}

void InMemoryRemote::setOperationHook(std::function<void(Operation, const QString &)> hook)
{
    QMutexLocker lock(&m_mutex);
    m_hook = std::move(hook);
}

int InMemoryRemote::operationCount(Operation operation) const
{
    QMutexLocker lock(&m_mutex);
    return m_counts.value(static_cast<int>(operation));
}

void InMemoryRemote::resetCounts()
{
    QMutexLocker lock(&m_mutex);
    m_counts.clear();
}
