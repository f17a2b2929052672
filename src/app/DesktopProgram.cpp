#include "DesktopProgram.h"

#include "MainWindow.h"
#include "linux/TerminationSignals.h"

#include <QApplication>

int runDesktopProgram(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pendulo"));
    QApplication::setOrganizationName(QStringLiteral("Pendulo"));
    QApplication::setApplicationVersion(QStringLiteral(PENDULO_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.penduloapp.Pendulo"));

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &application,
                     &QCoreApplication::quit);

    MainWindow window;
    window.show();
    return QApplication::exec();
}
