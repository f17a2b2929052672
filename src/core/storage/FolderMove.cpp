#include "FolderMove.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

bool copyTree(const QString &from, const QString &to, QString *errorText)
{
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QDir source(from);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target)) {
                *errorText = QStringLiteral("could not create %1").arg(target);
                return false;
            }
        } else {
            QFile file(path);
            if (!file.copy(target)) {
                *errorText =
                    QStringLiteral("could not copy %1 to %2: %3").arg(path, target, file.errorString());
                return false;
            }
        }
    }
    return true;
}

} // namespace

namespace FolderMove {

bool move(const QString &from, const QString &to, QString *errorText)
{
    if (!QFileInfo(from).isDir()) {
        *errorText = QStringLiteral("%1 is not a folder").arg(from);
        return false;
    }
    if (QFileInfo::exists(to)) {
        *errorText = QStringLiteral("%1 already exists").arg(to);
        return false;
    }
    return QDir().rename(from, to) || moveByCopy(from, to, errorText);
}

bool moveByCopy(const QString &from, const QString &to, QString *errorText)
{
    const QFileInfo target(to);
    QTemporaryDir staging(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                          QStringLiteral(".moving-XXXXXX"));
    if (!staging.isValid()) {
        *errorText = QStringLiteral("could not move %1 to %2: %3").arg(from, to, staging.errorString());
        return false;
    }
    if (!copyTree(from, staging.path(), errorText))
        return false;
    if (!QDir().rename(staging.path(), to)) {
        *errorText = QStringLiteral("could not move %1 to %2").arg(staging.path(), to);
        return false;
    }
    staging.setAutoRemove(false);
    QDir(from).removeRecursively();
    return true;
}

} // namespace FolderMove
