// pendulo-courier: the Dropbox service process. Pendulo starts it with one end of a Unix socketpair as
// descriptor given by --socket-fd=N; it serves that one connection and ends when the connection does.

#include "CourierService.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <fcntl.h>

namespace {

int socketFdFromArguments(const QStringList &arguments)
{
    const QString prefix = QStringLiteral("--socket-fd=");
    for (const QString &argument : arguments) {
        if (!argument.startsWith(prefix))
            continue;
        bool ok = false;
        const int fd = argument.mid(prefix.size()).toInt(&ok);
        if (ok && fd >= 0 && ::fcntl(fd, F_GETFD) != -1)
            return fd;
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pendulo-courier"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PENDULO_VERSION));

    const int fd = socketFdFromArguments(QCoreApplication::arguments());
    if (fd < 0) {
        std::fprintf(stderr, "pendulo-courier is started by Pendulo; it needs --socket-fd=N with an open "
                             "socket.\n");
        return 2;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);

    CourierService service(UniqueFd(fd), DropboxClient::Configuration::fromBuildAndEnvironment());
    QObject::connect(&service, &CourierService::finished, &app,
                     [](bool clean) { QCoreApplication::exit(clean ? 0 : 1); });
    return app.exec();
}
