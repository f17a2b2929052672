#include "CloudCourierConnection.h"

#include "CourierChannel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcCourierConnection, "pendulo.courier")

namespace {

constexpr int ChildSocketFd = 3;
constexpr int StopGraceMs = 2000;

CourierConnectionError connectionError(CourierConnectionError::Code code, const QString &description)
{
    return CourierConnectionError{description, code};
}

bool isExecutable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

CloudCourierConnection::CloudCourierConnection(QObject *parent)
    : QObject(parent)
{}

CloudCourierConnection::~CloudCourierConnection()
{
    m_pending.clear();
    QProcess *process = m_process;
    stopProcess();
    // The service ends at once when its socket closes; give it a moment before it is killed.
    if (process && process->state() != QProcess::NotRunning && !process->waitForFinished(StopGraceMs)) {
        process->kill();
        process->waitForFinished(StopGraceMs);
    }
}

QString CloudCourierConnection::courierProgramPath()
{
    const QString configured = qEnvironmentVariable("PENDULO_COURIER_PATH");
    if (!configured.isEmpty())
        return configured;
    const QString programName = QStringLiteral("pendulo-courier");
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        appDir + QLatin1Char('/') + programName,
        appDir + QStringLiteral("/../libexec/pendulo/") + programName,
        QStringLiteral(PENDULO_COURIER_INSTALL_PATH),
    };
    for (const QString &candidate : candidates) {
        if (isExecutable(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

bool CloudCourierConnection::isRunning() const
{
    return m_channel && m_channel->isOpen();
}

qint64 CloudCourierConnection::processId() const
{
    return m_process ? m_process->processId() : 0;
}

void CloudCourierConnection::getAccountInfoWithReply(std::function<void(const AccountInfoReply &)> reply)
{
    call<AccountInfoReply>(
        CloudCourierProtocol::GetAccountInfo, {}, {},
        [](CourierMessage &m) { return CloudCourierReplies::decodeAccountInfoReply(m.arguments); },
        std::move(reply));
}

void CloudCourierConnection::upgradeTokenWithTokenSecret(const QString &tokenSecret,
                                                         std::function<void(const UpgradeTokenReply &)> reply)
{
    QCborMap arguments;
    arguments.insert(CloudCourierProtocol::TokenSecretKey, tokenSecret);
    // The service keeps the new token; so does the remembered set-up, for a restarted service.
    auto done = [this, guard = QPointer(this), reply = std::move(reply)](const UpgradeTokenReply &r) {
        if (guard && r.token && !r.error && m_syncInit)
            m_syncInit->token = r.token;
        reply(r);
    };
    call<UpgradeTokenReply>(
        CloudCourierProtocol::UpgradeToken, arguments, {},
        [](CourierMessage &m) { return CloudCourierReplies::decodeUpgradeTokenReply(m.arguments); },
        std::move(done));
}

void CloudCourierConnection::syncInitWithSyncRoot(const QString &syncRoot,
                                                  const std::optional<QString> &token)
{
    m_syncInit = SyncInit{syncRoot, token};
    if (m_invalidated)
        return;
    if (isRunning()) {
        sendSyncInit();
        return;
    }
    CourierConnectionError error;
    if (!ensureStarted(&error)) // a new service gets the set-up as its first message
        qCWarning(lcCourierConnection) << error.message();
}

void CloudCourierConnection::syncGetChangesForCursor(const std::optional<QString> &cursor,
                                                     std::function<void(const ChangesReply &)> reply)
{
    QCborMap arguments;
    insertOptional(arguments, CloudCourierProtocol::CursorKey, cursor);
    call<ChangesReply>(
        CloudCourierProtocol::SyncGetChanges, arguments, {},
        [](CourierMessage &m) { return CloudCourierReplies::decodeChangesReply(m.arguments); },
        std::move(reply));
}

void CloudCourierConnection::syncPutFile(int fileDescriptor, const QString &name,
                                         const std::optional<QString> &revision,
                                         std::function<void(const PutFileReply &)> reply)
{
    QCborMap arguments;
    arguments.insert(CloudCourierProtocol::NameKey, name);
    insertOptional(arguments, CloudCourierProtocol::RevisionKey, revision);
    std::vector<UniqueFd> files;
    files.emplace_back(::fcntl(fileDescriptor, F_DUPFD_CLOEXEC, 0));
    if (!files.front().isValid()) {
        PutFileReply failed;
        failed.error = QStringLiteral("Cannot pass the file to the Dropbox service: %1")
                           .arg(QString::fromLocal8Bit(strerror(errno)));
        QMetaObject::invokeMethod(
            this, [reply, failed] { reply(failed); }, Qt::QueuedConnection);
        return;
    }
    call<PutFileReply>(
        CloudCourierProtocol::SyncPutFile, arguments, std::move(files),
        [](CourierMessage &m) { return CloudCourierReplies::decodePutFileReply(m.arguments); },
        std::move(reply));
}

void CloudCourierConnection::syncGetFile(const QString &name, std::function<void(const GetFileReply &)> reply)
{
    QCborMap arguments;
    arguments.insert(CloudCourierProtocol::NameKey, name);
    auto decode = [](CourierMessage &m) -> std::optional<GetFileReply> {
        std::optional<GetFileReply> decoded = CloudCourierReplies::decodeGetFileReply(m.arguments);
        if (!decoded || m.files.size() > 1)
            return std::nullopt;
        if (m.files.size() == 1) {
            auto file = QSharedPointer<QFile>::create();
            const int fd = m.files.front().release();
            if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
                ::close(fd);
                return std::nullopt;
            }
            decoded->file = file;
        }
        return decoded;
    };
    call<GetFileReply>(CloudCourierProtocol::SyncGetFile, arguments, {}, decode, std::move(reply));
}

void CloudCourierConnection::syncDeleteFile(const QString &name,
                                            std::function<void(const DeleteFileReply &)> reply)
{
    QCborMap arguments;
    arguments.insert(CloudCourierProtocol::NameKey, name);
    call<DeleteFileReply>(
        CloudCourierProtocol::SyncDeleteFile, arguments, {},
        [](CourierMessage &m) { return CloudCourierReplies::decodeDeleteFileReply(m.arguments); },
        std::move(reply));
}

void CloudCourierConnection::invalidate()
{
    m_invalidated = true;
    breakConnection(
        connectionError(CourierConnectionError::ConnectionInvalidated,
                        QStringLiteral("The connection to the Dropbox service was invalidated.")));
}

template <typename Reply>
void CloudCourierConnection::call(const QString &operation, QCborMap arguments, std::vector<UniqueFd> files,
                                  std::function<std::optional<Reply>(CourierMessage &)> decode,
                                  std::function<void(const Reply &)> done)
{
    PendingCall pending = [decode, done](CourierMessage *message, const CourierConnectionError *error) {
        if (error) {
            Reply failed;
            failed.connectionError = *error;
            done(failed);
            return true;
        }
        const std::optional<Reply> reply = decode(*message);
        if (!reply)
            return false;
        done(*reply);
        return true;
    };

    CourierConnectionError error;
    if (!ensureStarted(&error)) {
        QMetaObject::invokeMethod(
            this, [pending, error] { pending(nullptr, &error); }, Qt::QueuedConnection);
        return;
    }
    const quint64 id = send(operation, std::move(arguments), std::move(files));
    if (id == 0) {
        const CourierConnectionError notSent =
            connectionError(CourierConnectionError::ConnectionInterrupted,
                            QStringLiteral("The request could not be sent to the Dropbox service."));
        QMetaObject::invokeMethod(
            this, [pending, notSent] { pending(nullptr, &notSent); }, Qt::QueuedConnection);
        return;
    }
    m_pending.emplace(id, std::move(pending));
}

bool CloudCourierConnection::ensureStarted(CourierConnectionError *error)
{
    if (m_invalidated) {
        *error = connectionError(CourierConnectionError::ConnectionInvalidated,
                                 QStringLiteral("The connection to the Dropbox service was invalidated."));
        return false;
    }
    if (isRunning())
        return true;

    const QString program = courierProgramPath();
    if (!isExecutable(program)) {
        *error =
            connectionError(CourierConnectionError::ServiceUnavailable,
                            QStringLiteral("The Dropbox service program pendulo-courier was not found."));
        return false;
    }
    int sockets[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        *error = connectionError(CourierConnectionError::ServiceUnavailable,
                                 QStringLiteral("Cannot connect to the Dropbox service: %1")
                                     .arg(QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    UniqueFd ours(sockets[0]);
    UniqueFd theirs(sockets[1]);

    auto *process = new QProcess(this);
    process->setProgram(program);
    process->setArguments({QStringLiteral("--socket-fd=%1").arg(ChildSocketFd)});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    const int childEnd = theirs.get();
    process->setChildProcessModifier([childEnd] {
        // Runs in the child between fork and exec: give it the socket as descriptor 3, open across exec.
        if (childEnd == ChildSocketFd)
            ::fcntl(childEnd, F_SETFD, 0);
        else
            ::dup2(childEnd, ChildSocketFd);
    });
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process != m_process)
            return;
        // Replies the service sent before it ended still count; reading them reaches the end of stream,
        // which breaks the connection for the calls left.
        QPointer<CloudCourierConnection> self(this);
        if (m_channel)
            m_channel->readPending();
        if (!self || process != m_process)
            return;
        breakConnection(connectionError(
            CourierConnectionError::ConnectionInterrupted,
            status == QProcess::CrashExit
                ? QStringLiteral("The Dropbox service crashed.")
                : QStringLiteral("The Dropbox service ended unexpectedly (exit code %1).").arg(exitCode)));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process == m_process && error == QProcess::FailedToStart)
            breakConnection(connectionError(
                CourierConnectionError::ServiceUnavailable,
                QStringLiteral("The Dropbox service could not be started: %1").arg(process->errorString())));
    });
    process->start();
    theirs.reset(); // the child has its copy; ours must go so that its exit shows as end of stream
    if (process->state() == QProcess::NotRunning) {
        *error = connectionError(
            CourierConnectionError::ServiceUnavailable,
            QStringLiteral("The Dropbox service could not be started: %1").arg(process->errorString()));
        process->deleteLater();
        return false;
    }

    auto *channel = new CourierChannel(std::move(ours), this);
    channel->setMessageHandler([this](CourierMessage &&message) { handleMessage(std::move(message)); });
    channel->setCloseHandler([this](CourierChannel::CloseReason reason, const QString &detail) {
        if (reason == CourierChannel::CloseReason::ProtocolError)
            breakConnection(
                connectionError(CourierConnectionError::InvalidReply,
                                QStringLiteral("The Dropbox service sent an invalid reply: %1").arg(detail)));
        else
            breakConnection(connectionError(CourierConnectionError::ConnectionInterrupted,
                                            QStringLiteral("The connection to the Dropbox service was "
                                                           "interrupted.")));
    });
    m_process = process;
    m_channel = channel;
    qCDebug(lcCourierConnection) << "Started" << program << "as process" << process->processId();
    if (m_syncInit)
        sendSyncInit();
    return true;
}

void CloudCourierConnection::sendSyncInit()
{
    QCborMap arguments;
    arguments.insert(CloudCourierProtocol::SyncRootKey, m_syncInit->syncRoot);
    insertOptional(arguments, CloudCourierProtocol::TokenKey, m_syncInit->token);
    send(CloudCourierProtocol::SyncInit, arguments);
}

quint64 CloudCourierConnection::send(const QString &operation, QCborMap arguments,
                                     std::vector<UniqueFd> files)
{
    CourierMessage message;
    message.kind = CourierMessage::Kind::Request;
    message.operation = operation;
    message.requestId = m_nextRequestId++;
    message.arguments = std::move(arguments);
    message.files = std::move(files);
    return m_channel && m_channel->send(message) ? message.requestId : 0;
}

void CloudCourierConnection::handleMessage(CourierMessage &&message)
{
    const auto found = m_pending.find(message.requestId);
    if (message.kind != CourierMessage::Kind::Reply || found == m_pending.end()) {
        breakConnection(connectionError(CourierConnectionError::InvalidReply,
                                        QStringLiteral("The Dropbox service sent an unexpected message.")));
        return;
    }
    PendingCall pending = std::move(found->second);
    m_pending.erase(found);
    if (!pending(&message, nullptr)) {
        m_pending.emplace(message.requestId, std::move(pending));
        breakConnection(connectionError(CourierConnectionError::InvalidReply,
                                        QStringLiteral("The Dropbox service sent an invalid reply.")));
    }
}

void CloudCourierConnection::breakConnection(const CourierConnectionError &error)
{
    if (!m_pending.empty() || m_channel)
        qCWarning(lcCourierConnection) << error.message();
    stopProcess();
    QPointer<CloudCourierConnection> self(this);
    std::map<quint64, PendingCall> pending = std::exchange(m_pending, {});
    for (auto &[id, call] : pending) {
        call(nullptr, &error);
        if (!self)
            return;
    }
}

void CloudCourierConnection::stopProcess()
{
    if (m_channel) {
        m_channel->close();
        m_channel->deleteLater();
        m_channel = nullptr;
    }
    QProcess *process = m_process;
    m_process = nullptr;
    if (!process)
        return;
    // With its socket closed the service ends by itself; make sure it does, without blocking here.
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(StopGraceMs, process, [process] { process->kill(); });
}
