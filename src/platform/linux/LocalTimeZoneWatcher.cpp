#include "LocalTimeZoneWatcher.h"

#include <QFileSystemWatcher>
#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcTimeZone)

namespace {

// A zone change touches the folder several times (new link, rename); look once it has settled.
constexpr int SettleMs = 200;

} // namespace

LocalTimeZoneWatcher::LocalTimeZoneWatcher(const SystemZonePaths &paths, QObject *parent)
    : QObject(parent)
    , m_paths(paths)
{
    if (!LocalTimeZone::isPinnedByProcess())
        return;

    m_settle = new QTimer(this);
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    connect(m_settle, &QTimer::timeout, this, &LocalTimeZoneWatcher::checkZone);

    m_watcher = new QFileSystemWatcher(this);
    if (!m_watcher->addPath(m_paths.etcDirectory)) {
        qCWarning(lcTimeZone) << "Cannot watch" << m_paths.etcDirectory
                              << "for time zone changes; local times keep the zone the program started with.";
        return;
    }
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_settle, qOverload<>(&QTimer::start));
}

bool LocalTimeZoneWatcher::isWatching() const
{
    return m_watcher && !m_watcher->directories().isEmpty();
}

void LocalTimeZoneWatcher::checkZone()
{
    if (!LocalTimeZone::isPinnedByProcess())
        return; // TZ was set by someone else since: theirs wins
    const QString zone = LocalTimeZone::resolveSystemZone(m_paths);
    if (zone == LocalTimeZone::pinnedZone())
        return;
    qCInfo(lcTimeZone) << "System time zone changed to" << zone;
    LocalTimeZone::repin(zone);
    Q_EMIT zoneChanged(zone);
}
