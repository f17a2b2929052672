#include "linux/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcInstance, "pendulo.platform.instance")

namespace {

constexpr int connectTimeoutMs = 1000;
constexpr int startLockTimeoutMs = 5000;
// A hand-over carries a few arguments; anything larger is not ours.
constexpr quint32 maxMessageBytes = 64 * 1024;
const char acknowledgement = 'K';

QByteArray encode(const QStringList &arguments)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << arguments;

    QByteArray frame;
    QDataStream header(&frame, QIODevice::WriteOnly);
    header << quint32(payload.size());
    return frame + payload;
}

} // namespace

QString SingleInstance::defaultSocketPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("com.penduloapp.Pendulo.socket"));
}

SingleInstance::SingleInstance(const QString &socketPath, QObject *parent)
    : QObject(parent)
    , m_socketPath(socketPath)
{}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim(const QStringList &arguments)
{
    // Two programs starting at the same moment must not both take over a stale socket.
    QLockFile startLock(m_socketPath + QStringLiteral(".lock"));
    startLock.setStaleLockTime(10000);
    if (!startLock.tryLock(startLockTimeoutMs))
        qCWarning(lcInstance) << "Start-up lock not taken:" << startLock.fileName();

    switch (handOver(arguments)) {
    case HandOver::Delivered:
        return Claim::HandedOver;
    case HandOver::NotAnswered:
        qCWarning(lcInstance) << "Pendulo is running but did not take the arguments:" << arguments;
        return Claim::OtherNotAnswering;
    case HandOver::NoServer:
        break;
    }

    QLocalServer::removeServer(m_socketPath); // left behind by a program that crashed
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        qCWarning(lcInstance) << "Running without single-instance channel:" << m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return Claim::Primary;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return Claim::Primary;
}

bool SingleInstance::isOtherInstanceRunning() const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    const bool running = socket.waitForConnected(connectTimeoutMs);
    socket.abort();
    return running;
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList &arguments) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(connectTimeoutMs))
        return HandOver::NoServer;
    socket.write(encode(arguments));
    if (!socket.waitForBytesWritten(m_replyTimeoutMs))
        return HandOver::NotAnswered;
    // The running program answers once it has the arguments, so none are lost when this one quits.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(m_replyTimeoutMs))
            return HandOver::NotAnswered;
    }
    return socket.read(1) == QByteArray(1, acknowledgement) ? HandOver::Delivered : HandOver::NotAnswered;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void SingleInstance::readMessage(QLocalSocket *socket)
{
    // A message may arrive in pieces: wait until the length and the whole payload are there.
    if (socket->bytesAvailable() < qint64(sizeof(quint32)))
        return;
    quint32 size = 0;
    QDataStream(socket->peek(sizeof(quint32))) >> size;
    if (size > maxMessageBytes) {
        qCWarning(lcInstance) << "Oversized hand-over refused:" << size << "bytes";
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(sizeof(quint32) + size))
        return;
    socket->read(sizeof(quint32));
    const QByteArray payload = socket->read(size);

    QStringList arguments;
    QDataStream in(payload);
    in.setVersion(QDataStream::Qt_6_4);
    in >> arguments;
    if (in.status() != QDataStream::Ok) {
        qCWarning(lcInstance) << "Unreadable hand-over refused";
        socket->abort();
        return;
    }
    socket->write(&acknowledgement, 1);
    socket->flush();
    Q_EMIT argumentsReceived(arguments);
}
