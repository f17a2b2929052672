#include "PDTmpSyncFile.h"

#include "PDSyncFile.h"
#include "store/Context.h"

#include <QRegularExpression>

namespace {

// Compiled once per process, only read afterwards.
const QRegularExpression &monthFilePattern()
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(?:\/?(.*)\/)?(\d{4})-(\d{2})\.json$)"));
    return pattern;
}

const QRegularExpression &deletedIndexPattern()
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(?:\/?(.*)\/)?deleted\.json$)"));
    return pattern;
}

bool folderMatches(const QRegularExpressionMatch &match, const QString &pathPrefix)
{
    if (pathPrefix.isNull())
        return true;
    return match.hasCaptured(1) && match.captured(1) == pathPrefix;
}

QList<PDSyncFile *> recordsNamed(Context &context, const QString &name, bool *ok, PdError *error)
{
    PdError failure;
    const QList<PDSyncFile *> records =
        context.fetch<PDSyncFile>({QStringLiteral("name = ?"), {name}, QStringLiteral("id")}, &failure);
    *ok = !failure;
    if (failure && error)
        *error = failure;
    return records;
}

} // namespace

PDTmpSyncFile::PDTmpSyncFile(qint64 year, qint64 month, qint64 syncMethod, const QString &revisionValue)
    : m_year(year)
    , m_month(month)
    , m_syncMethod(syncMethod)
    , m_revisionValue(revisionValue)
{}

PDTmpSyncFile PDTmpSyncFile::deletedIndexFile(qint64 syncMethod, const QString &revisionValue)
{
    PDTmpSyncFile file;
    file.m_isDeletedIndexFile = true;
    file.m_syncMethod = syncMethod;
    file.m_revisionValue = revisionValue;
    return file;
}

std::optional<PDTmpSyncFile> PDTmpSyncFile::fromFileName(const QString &fileName, const QString &pathPrefix,
                                                         qint64 syncMethod, const QString &revisionValue)
{
    const QRegularExpressionMatch month = monthFilePattern().match(fileName);
    if (month.hasMatch()) {
        if (!folderMatches(month, pathPrefix))
            return std::nullopt;
        const qint64 yearValue = month.captured(2).toLongLong();
        const qint64 monthValue = month.captured(3).toLongLong();
        // Only real months: a name like "2016-13.json" must never become a month range.
        if (yearValue < 1 || monthValue < 1 || monthValue > 12)
            return std::nullopt;
        return PDTmpSyncFile(yearValue, monthValue, syncMethod, revisionValue);
    }
    const QRegularExpressionMatch deleted = deletedIndexPattern().match(fileName);
    if (deleted.hasMatch() && folderMatches(deleted, pathPrefix))
        return deletedIndexFile(syncMethod, revisionValue);
    return std::nullopt;
}

std::optional<PDTmpSyncFile> PDTmpSyncFile::deletedFileFromFileName(const QString &fileName,
                                                                    const QString &pathPrefix)
{
    std::optional<PDTmpSyncFile> file = fromFileName(fileName, pathPrefix, syncMethodNone, {});
    if (file)
        file->m_wasDeleted = true;
    return file;
}

std::optional<PDTmpSyncFile> PDTmpSyncFile::fromSyncFile(const PDSyncFile *record, qint64 syncMethod)
{
    if (!record)
        return std::nullopt;
    const QString expectedPrefix = revisionPrefix(syncMethod);
    const QString revision = record->revision();
    QString value = revision;
    const qsizetype colon = revision.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString prefix = revision.left(colon);
        value = (expectedPrefix.isNull() || prefix != expectedPrefix) ? QString() : revision.mid(colon + 1);
    }
    std::optional<PDTmpSyncFile> file =
        fromFileName(record->name() + QStringLiteral(".json"), QString(), syncMethod, value);
    if (file)
        file->m_activityHash = record->activityHash();
    return file;
}

QString PDTmpSyncFile::revisionPrefix(qint64 syncMethod)
{
    return syncMethod == syncMethodDropbox ? QStringLiteral("dropbox") : QString();
}

QString PDTmpSyncFile::composedRevision(qint64 syncMethod, const QString &revisionValue)
{
    if (revisionValue.isNull())
        return {};
    const QString prefix = revisionPrefix(syncMethod);
    return prefix.isNull() ? revisionValue : prefix + QLatin1Char(':') + revisionValue;
}

void PDTmpSyncFile::setSyncMethod(qint64 syncMethod, const QString &revisionValue)
{
    m_syncMethod = syncMethod;
    m_revisionValue = revisionValue;
}

QString PDTmpSyncFile::name() const
{
    if (m_isDeletedIndexFile)
        return QStringLiteral("deleted");
    return QStringLiteral("%1-%2").arg(m_year).arg(m_month, 2, 10, QLatin1Char('0'));
}

bool PDTmpSyncFile::store(Context &context, PdError *error) const
{
    bool ok = false;
    const QList<PDSyncFile *> found = recordsNamed(context, name(), &ok, error);
    if (!ok)
        return false;
    PDSyncFile *record = nullptr;
    if (found.size() == 1) {
        record = found.first();
    } else {
        for (PDSyncFile *duplicate : found)
            context.deleteObject(duplicate);
        record = context.insertSyncFile();
    }
    record->setName(name());
    record->setRevision(revision());
    record->setActivityHash(m_activityHash);
    return true;
}

bool PDTmpSyncFile::remove(Context &context, PdError *error) const
{
    bool ok = false;
    const QList<PDSyncFile *> found = recordsNamed(context, name(), &ok, error);
    if (!ok)
        return false;
    for (PDSyncFile *record : found)
        context.deleteObject(record);
    return true;
}
