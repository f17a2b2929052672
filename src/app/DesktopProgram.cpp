#include "DesktopProgram.h"

#include "controller/DesktopController.h"
#include "linux/LocalTimeZoneWatcher.h"
#include "linux/SingleInstance.h"
#include "linux/TerminationSignals.h"

#include <QApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcApp, "pendulo.app")

int runDesktopProgram(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pendulo"));
    QApplication::setOrganizationName(QStringLiteral("Pendulo"));
    QApplication::setApplicationVersion(QStringLiteral(PENDULO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.penduloapp.Pendulo"));

    const QStringList arguments = QApplication::arguments().mid(1);
    SingleInstance instance;
    switch (instance.claim(arguments)) {
    case SingleInstance::Claim::HandedOver:
        return 0; // the running Pendulo has the arguments now
    case SingleInstance::Claim::OtherNotAnswering:
        qCCritical(lcApp) << "Pendulo is already running but does not answer.";
        return 1;
    case SingleInstance::Claim::Primary:
        break;
    }

    // The controller quits through its own path on these, so the running activity is ended and saved.
    TerminationSignals termination;
    // Local times follow a change of the system zone while the program runs.
    LocalTimeZoneWatcher zoneWatcher;
    return DesktopController::run(instance, termination, arguments);
}
