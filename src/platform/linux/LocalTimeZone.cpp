#include "LocalTimeZone.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <ctime>

// Pinning happens before a command line could quiet the logs, so debug messages are off by default.
Q_LOGGING_CATEGORY(lcTimeZone, "pendulo.platform.timezone", QtInfoMsg)

namespace {

const QLatin1StringView ZoneInfoFolder("/zoneinfo/");
// Links in a chain followed before giving up, as the kernel's own limit.
constexpr int MaxLinkHops = 40;
// Zone files are a few kilobytes; anything much larger is not one.
constexpr qint64 MaxZoneFileSize = 1 << 20;

QString &pinnedValue()
{
    static QString value;
    return value;
}

QByteArray zoneFileContent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxZoneFileSize)
        return {};
    return file.readAll();
}

// A relative path below the zone folder (no "." or ".." steps) naming a compiled zone file.
bool isZoneName(const QString &zoneInfoDirectory, const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char(':')))
        return false;
    for (const QString &step : name.split(QLatin1Char('/'))) {
        if (step.isEmpty() || step == u"." || step == u"..")
            return false;
    }
    QFile file(zoneInfoDirectory + QLatin1Char('/') + name);
    return QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly) && file.read(4) == "TZif";
}

bool isSameFolder(const QString &a, const QString &b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

// The zone name in the target of the "localtime" link (following a chain of links), when the C library
// finds that name in its own zone folder.
QString zoneFromLink(const SystemZonePaths &paths)
{
    QString path = paths.etcDirectory + QStringLiteral("/localtime");
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        const QString target = QFileInfo(path).symLinkTarget();
        if (target.isEmpty())
            return {};
        const qsizetype at = target.indexOf(ZoneInfoFolder);
        if (at >= 0) {
            const QString linkFolder = target.left(at + ZoneInfoFolder.size() - 1);
            const QString name = target.mid(at + ZoneInfoFolder.size());
            if (isSameFolder(linkFolder, paths.zoneInfoDirectory) &&
                isZoneName(paths.zoneInfoDirectory, name))
                return name;
            return {};
        }
        path = target;
    }
    return {};
}

// The zone named by the "timezone" file. When a "localtime" file exists too, the C library reads that one,
// so the name only counts when its zone file has the same content (the two can disagree after a change
// made by hand).
QString zoneFromTimezoneFile(const SystemZonePaths &paths)
{
    QFile file(paths.etcDirectory + QStringLiteral("/timezone"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString name = QString::fromUtf8(file.readLine(256)).trimmed();
    if (!isZoneName(paths.zoneInfoDirectory, name))
        return {};
    const QString localtime = paths.etcDirectory + QStringLiteral("/localtime");
    if (QFileInfo::exists(localtime) &&
        zoneFileContent(localtime) != zoneFileContent(paths.zoneInfoDirectory + QLatin1Char('/') + name))
        return {};
    return name;
}

} // namespace

QString SystemZonePaths::defaultZoneInfoDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("TZDIR");
    return fromEnvironment.startsWith(QLatin1Char('/')) ? fromEnvironment
                                                        : QStringLiteral("/usr/share/zoneinfo");
}

QString LocalTimeZone::resolveSystemZone(const SystemZonePaths &paths)
{
    if (QString zone = zoneFromLink(paths); !zone.isEmpty())
        return zone;
    if (QString zone = zoneFromTimezoneFile(paths); !zone.isEmpty())
        return zone;
    return QLatin1Char(':') + paths.etcDirectory + QStringLiteral("/localtime");
}

bool LocalTimeZone::pinProcessZone(const SystemZonePaths &paths)
{
    if (qEnvironmentVariableIsSet("TZ")) {
        pinnedValue().clear();
        return false;
    }
    repin(resolveSystemZone(paths));
    return true;
}

void LocalTimeZone::repin(const QString &zone)
{
    qputenv("TZ", zone.toUtf8());
    pinnedValue() = zone;
    // A changed TZ text makes the C library read the zone again.
    ::tzset();
    qCDebug(lcTimeZone) << "TZ pinned to" << zone;
}

bool LocalTimeZone::isPinnedByProcess()
{
    return !pinnedValue().isEmpty() && qEnvironmentVariableIsSet("TZ") &&
           qEnvironmentVariable("TZ") == pinnedValue();
}

QString LocalTimeZone::pinnedZone()
{
    return pinnedValue();
}
