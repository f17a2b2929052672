#include "TestHome.h"

#include <QDir>
#include <QtGlobal>

namespace {

QString requiredFolder(const char *variable)
{
    const QString folder = qEnvironmentVariable(variable);
    if (folder.isEmpty() || !folder.contains(QStringLiteral("test-home")))
        qFatal("%s must point into the build's test-home folder; run the tests through ctest", variable);
    return folder;
}

} // namespace

namespace TestHome {

QString dataHome() { return requiredFolder("XDG_DATA_HOME"); }
QString configHome() { return requiredFolder("XDG_CONFIG_HOME"); }
QString cacheHome() { return requiredFolder("XDG_CACHE_HOME"); }

void reset()
{
    for (const QString &folder : {dataHome(), configHome(), cacheHome()}) {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }
}

} // namespace TestHome
