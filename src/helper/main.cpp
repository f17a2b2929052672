// pendulo-helper: run at login. Starts Pendulo in the background unless it is already running.

#include "linux/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

// Pendulo is installed next to the helper; otherwise it is looked up in PATH.
QString penduloProgram()
{
    const QFileInfo sibling(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("pendulo")));
    return sibling.isExecutable() ? sibling.filePath() : QStringLiteral("pendulo");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pendulo-helper"));

    if (SingleInstance().isOtherInstanceRunning())
        return 0;

    // A failed start is silent: there is nobody to tell at login.
    QProcess::startDetached(penduloProgram(), {QStringLiteral("launchFromHelper")});
    return 0;
}
