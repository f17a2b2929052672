#include "DesktopProgram.h"

#include "LaunchArguments.h"
#include "linux/SingleInstance.h"
#include "linux/TerminationSignals.h"
#include "window/MainWindow.h"

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

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &application,
                     &QCoreApplication::quit);

    MainWindow window;
    QObject::connect(&window, &MainWindow::quitRequested, &application, &QCoreApplication::quit);
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &window,
                     [&window](const QStringList &handed) {
                         qCInfo(lcApp) << "Arguments from another start:" << handed;
                         const LaunchArguments launch(handed);
                         for (const QUrl &url : launch.penduloUrls())
                             qCInfo(lcApp) << "No handler for" << url.scheme() << "addresses yet";
                         if (launch.penduloUrls().isEmpty() && !launch.isLaunchFromHelper()) {
                             window.show();
                             window.raise();
                             window.activateWindow();
                         }
                     });

    if (!LaunchArguments(arguments).isLaunchFromHelper())
        window.show();
    return QApplication::exec();
}
