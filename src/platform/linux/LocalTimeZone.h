#pragma once

#include <QString>

// Where the system keeps its time zone setting. Tests point these at a temporary folder.
struct SystemZonePaths
{
    // Holds "localtime" (usually a link into the zone folder) and, on Debian, "timezone".
    QString etcDirectory = QStringLiteral("/etc");
    // The folder in which the C library looks up zone names: $TZDIR or /usr/share/zoneinfo.
    QString zoneInfoDirectory = defaultZoneInfoDirectory();

    static QString defaultZoneInfoDirectory();
};

// Pins the process's time zone. With TZ unset, the C library checks the zone file again on every local-time
// conversion (Qt calls tzset() before each one); with TZ set to a zone it reads the file once. So when TZ
// is unset, the process sets it to the system zone it would have used anyway. A TZ set by the user, even an
// empty one (which means UTC), is never touched.
class LocalTimeZone
{
public:
    // The TZ value naming the system zone: the zone name the "localtime" link points to, else the zone
    // named by the "timezone" file when it holds the zone in use, else ":<etc>/localtime".
    static QString resolveSystemZone(const SystemZonePaths &paths = {});

    // When TZ is unset: sets it to the system zone and reloads the C library's zone. Returns whether it
    // set TZ. Call first thing in main(), before any thread starts.
    static bool pinProcessZone(const SystemZonePaths &paths = {});

    // Sets TZ to `zone` and reloads the C library's zone; marks TZ as set by the process.
    static void repin(const QString &zone);

    // Whether TZ holds the value this process set (and nobody changed it since).
    static bool isPinnedByProcess();
    // The TZ value this process set, or an empty text.
    static QString pinnedZone();
};
