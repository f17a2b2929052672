#include "linux/LocalTimeZone.h"
#include "linux/LocalTimeZoneWatcher.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cstdio>
#include <ctime>

namespace {

const QStringList RealZones = {QStringLiteral("Europe/Berlin"), QStringLiteral("America/New_York"),
                               QStringLiteral("Asia/Tokyo")};
// Stands for ":<etc>/localtime" in test tables.
const QString Fallback = QStringLiteral("fallback");
// Longer than the watcher's settle time, for checks that nothing happens.
constexpr int QuietMs = 800;

// 2026-01-15 12:00 UTC: winter in every zone used here.
qint64 winterNoon()
{
    return QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
}

// The offset the C library applies, without the tzset() Qt calls before its own conversions.
long libcOffsetAt(qint64 secsSinceEpoch)
{
    const std::time_t time = secsSinceEpoch;
    std::tm local = {};
    ::localtime_r(&time, &local);
    return local.tm_gmtoff;
}

// Restores TZ (set, empty or unset) when the test ends.
class TzRestorer
{
public:
    TzRestorer()
        : m_wasSet(qEnvironmentVariableIsSet("TZ"))
        , m_saved(qgetenv("TZ"))
    {}
    ~TzRestorer()
    {
        if (m_wasSet)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    bool m_wasSet;
    QByteArray m_saved;
};

// A system in a temporary folder: <root>/etc for "localtime" and "timezone", <root>/zoneinfo with copies of
// real zone files, and a few traps around it.
class FakeSystem
{
public:
    FakeSystem()
    {
        QDir root(m_root.path());
        root.mkpath(QStringLiteral("etc"));
        for (const QString &zone : RealZones)
            copyZone(zone, QStringLiteral("zoneinfo/") + zone);
        write(QStringLiteral("zoneinfo/zone.tab"), "DE\t+5230+01322\tEurope/Berlin\n");
        copyZone(QStringLiteral("Europe/Berlin"), QStringLiteral("other/zoneinfo/Europe/Berlin"));
        copyZone(QStringLiteral("Europe/Berlin"), QStringLiteral("outside/Zone"));
        root.mkpath(QStringLiteral("elsewhere"));
        QFile::link(path(QStringLiteral("zoneinfo/Asia/Tokyo")), path(QStringLiteral("elsewhere/tokyo")));
    }

    SystemZonePaths paths() const { return {path(QStringLiteral("etc")), path(QStringLiteral("zoneinfo"))}; }
    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QString fallback() const { return QLatin1Char(':') + path(QStringLiteral("etc/localtime")); }

    // Points etc/localtime at `target` ("@" stands for the root) by renaming a new link over it, as
    // timedatectl does.
    void linkLocaltime(QString target) const
    {
        target.replace(QLatin1Char('@'), m_root.path());
        const QString staging = path(QStringLiteral("etc/.localtime.new"));
        QVERIFY(QFile::link(target, staging));
        QCOMPARE(
            std::rename(QFile::encodeName(staging), QFile::encodeName(path(QStringLiteral("etc/localtime")))),
            0);
    }

    void copyZone(const QString &zone, const QString &relative) const
    {
        QDir(m_root.path()).mkpath(QFileInfo(path(relative)).path());
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/zoneinfo/") + zone, path(relative)));
    }

    void write(const QString &relative, const QByteArray &content) const
    {
        QDir(m_root.path()).mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private:
    QTemporaryDir m_root;
};

} // namespace

class TestLocalTimeZone : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const QString &zone : RealZones) {
            if (!QFile::exists(QStringLiteral("/usr/share/zoneinfo/") + zone))
                QSKIP("needs the system's zone files (tzdata)");
        }
    }

    void resolvesSystemZone_data()
    {
        QTest::addColumn<QString>("link");            // target of etc/localtime; "@" is the fake root
        QTest::addColumn<QString>("copiedZone");      // else etc/localtime as a copy of this zone's file
        QTest::addColumn<QByteArray>("timezoneFile"); // content of etc/timezone, if any
        QTest::addColumn<QString>("expected");

        QTest::newRow("absolute link") << "@/zoneinfo/Europe/Berlin"
                                       << "" << QByteArray() << "Europe/Berlin";
        QTest::newRow("relative link") << "../zoneinfo/America/New_York"
                                       << "" << QByteArray() << "America/New_York";
        QTest::newRow("chain of links") << "@/elsewhere/tokyo"
                                        << "" << QByteArray() << "Asia/Tokyo";
        QTest::newRow("link wins over timezone file") << "@/zoneinfo/Europe/Berlin"
                                                      << "" << QByteArray("Asia/Tokyo\n") << "Europe/Berlin";
        QTest::newRow("link into a zone folder the C library does not use")
            << "@/other/zoneinfo/Europe/Berlin"
            << "" << QByteArray() << Fallback;
        QTest::newRow("dangling link, timezone file names a zone")
            << "@/zoneinfo/Mars/Olympus"
            << "" << QByteArray("Asia/Tokyo\n") << "Asia/Tokyo";
        QTest::newRow("copied zone file matching timezone file")
            << ""
            << "Asia/Tokyo" << QByteArray("  Asia/Tokyo \n") << "Asia/Tokyo";
        QTest::newRow("copied zone file disagreeing with timezone file")
            << ""
            << "Europe/Berlin" << QByteArray("Asia/Tokyo\n") << Fallback;
        QTest::newRow("timezone file names no zone") << ""
                                                     << "" << QByteArray("Nowhere/City\n") << Fallback;
        QTest::newRow("timezone file names a zone outside the zone folder")
            << ""
            << "" << QByteArray("../outside/Zone\n") << Fallback;
        QTest::newRow("timezone file names a file that is no zone")
            << ""
            << "" << QByteArray("zone.tab\n") << Fallback;
        QTest::newRow("nothing set up") << ""
                                        << "" << QByteArray() << Fallback;
    }

    void resolvesSystemZone()
    {
        QFETCH(QString, link);
        QFETCH(QString, copiedZone);
        QFETCH(QByteArray, timezoneFile);
        QFETCH(QString, expected);

        FakeSystem system;
        if (!link.isEmpty())
            system.linkLocaltime(link);
        if (!copiedZone.isEmpty())
            system.copyZone(copiedZone, QStringLiteral("etc/localtime"));
        if (!timezoneFile.isNull())
            system.write(QStringLiteral("etc/timezone"), timezoneFile);

        QCOMPARE(LocalTimeZone::resolveSystemZone(system.paths()),
                 expected == Fallback ? system.fallback() : expected);
    }

    // The real system's zone resolves to the name Qt reports for it.
    void resolvesRealSystemZoneAsQtDoes()
    {
        TzRestorer restorer;
        qunsetenv("TZ");
        const QString resolved = LocalTimeZone::resolveSystemZone();
        if (resolved.startsWith(QLatin1Char(':')))
            QSKIP("this system's zone has no name the C library can look up");
        QCOMPARE(resolved.toUtf8(), QTimeZone::systemTimeZoneId());
    }

    void pinsOnlyAnUnsetTz_data()
    {
        QTest::addColumn<bool>("tzSet");
        QTest::addColumn<QByteArray>("tz");

        QTest::newRow("unset") << false << QByteArray();
        QTest::newRow("set by the user") << true << QByteArray("Asia/Tokyo");
        QTest::newRow("empty, meaning UTC") << true << QByteArray("");
    }

    void pinsOnlyAnUnsetTz()
    {
        QFETCH(bool, tzSet);
        QFETCH(QByteArray, tz);

        TzRestorer restorer;
        FakeSystem system;
        system.linkLocaltime(QStringLiteral("@/zoneinfo/America/New_York"));
        if (tzSet)
            qputenv("TZ", tz);
        else
            qunsetenv("TZ");
        ::tzset();

        QCOMPARE(LocalTimeZone::pinProcessZone(system.paths()), !tzSet);
        QCOMPARE(LocalTimeZone::isPinnedByProcess(), !tzSet);
        QCOMPARE(qEnvironmentVariableIsSet("TZ"), true);
        if (tzSet) {
            QCOMPARE(qgetenv("TZ"), tz);
            return;
        }
        QCOMPARE(qgetenv("TZ"), QByteArray("America/New_York"));
        QCOMPARE(libcOffsetAt(winterNoon()), -5 * 3600L);
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("America/New_York"));
    }

    void followsAZoneChange()
    {
        TzRestorer restorer;
        FakeSystem system;
        system.linkLocaltime(QStringLiteral("@/zoneinfo/Europe/Berlin"));
        qunsetenv("TZ");
        QVERIFY(LocalTimeZone::pinProcessZone(system.paths()));
        LocalTimeZoneWatcher watcher(system.paths());
        QVERIFY(watcher.isWatching());
        QSignalSpy changed(&watcher, &LocalTimeZoneWatcher::zoneChanged);
        QCOMPARE(QDateTime::fromSecsSinceEpoch(winterNoon()).offsetFromUtc(), 3600);

        system.linkLocaltime(QStringLiteral("@/zoneinfo/America/New_York"));
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("America/New_York"));
        QCOMPARE(qgetenv("TZ"), QByteArray("America/New_York"));
        QCOMPARE(libcOffsetAt(winterNoon()), -5 * 3600L);
        const QDateTime local = QDateTime::fromSecsSinceEpoch(winterNoon());
        QCOMPARE(local.offsetFromUtc(), -5 * 3600);
        QCOMPARE(local.toString(QStringLiteral("yyyy-MM-dd HH:mm")), QStringLiteral("2026-01-15 07:00"));
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("America/New_York"));

        // Other changes in the folder, or a new link to the same zone, change nothing.
        system.write(QStringLiteral("etc/hostname"), "box\n");
        system.linkLocaltime(QStringLiteral("../zoneinfo/America/New_York"));
        QTest::qWait(QuietMs);
        QCOMPARE(changed.count(), 1);
    }

    void leavesAForeignTzAlone_data()
    {
        QTest::addColumn<bool>("userSetTzBeforeStart");

        QTest::newRow("TZ set by the user before start") << true;
        QTest::newRow("TZ changed after the process pinned it") << false;
    }

    void leavesAForeignTzAlone()
    {
        QFETCH(bool, userSetTzBeforeStart);

        TzRestorer restorer;
        FakeSystem system;
        system.linkLocaltime(QStringLiteral("@/zoneinfo/Europe/Berlin"));
        if (userSetTzBeforeStart)
            qputenv("TZ", "Asia/Tokyo");
        else
            qunsetenv("TZ");
        LocalTimeZone::pinProcessZone(system.paths());
        LocalTimeZoneWatcher watcher(system.paths());
        QCOMPARE(watcher.isWatching(), !userSetTzBeforeStart);
        QSignalSpy changed(&watcher, &LocalTimeZoneWatcher::zoneChanged);
        if (!userSetTzBeforeStart)
            qputenv("TZ", "Asia/Tokyo");

        system.linkLocaltime(QStringLiteral("@/zoneinfo/America/New_York"));
        QTest::qWait(QuietMs);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
    }
};

QTEST_GUILESS_MAIN(TestLocalTimeZone)
#include "tst_LocalTimeZone.moc"
