#include "CourierService.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCourierService, "pendulo.courier.service")

namespace P = CloudCourierProtocol;

CourierService::CourierService(UniqueFd socket, const DropboxClient::Configuration &configuration,
                               QObject *parent)
    : QObject(parent)
    , m_channel(new CourierChannel(std::move(socket), this))
    , m_client(new DropboxClient(configuration, this))
{
    m_channel->setMessageHandler([this](CourierMessage &&message) { handleRequest(std::move(message)); });
    m_channel->setCloseHandler([this](CourierChannel::CloseReason reason, const QString &detail) {
        const bool clean = reason == CourierChannel::CloseReason::PeerClosed;
        if (!clean)
            qCWarning(lcCourierService) << "Connection closed:" << detail;
        Q_EMIT finished(clean);
    });
}

void CourierService::handleRequest(CourierMessage &&request)
{
    if (request.kind != CourierMessage::Kind::Request) {
        reject(QStringLiteral("Expected a request"));
        return;
    }
    if (!dispatch(request))
        reject(QStringLiteral("Malformed request for operation \"%1\"").arg(request.operation));
}

bool CourierService::dispatch(CourierMessage &request)
{
    CborFields fields(request.arguments);
    const quint64 id = request.requestId;
    const QString &operation = request.operation;
    const size_t expectedFiles = operation == P::SyncPutFile ? 1 : 0;
    if (request.files.size() != expectedFiles)
        return false;

    if (operation == P::SyncInit) {
        const std::optional<QString> root = fields.string(P::SyncRootKey);
        const std::optional<QString> token = fields.string(P::TokenKey);
        if (!fields.isValid() || !root)
            return false;
        m_client->syncInitWithSyncRoot(*root, token);
        return true;
    }
    if (operation == P::GetAccountInfo) {
        m_client->getAccountInfoWithReply(
            [this, id](const AccountInfoReply &reply) { sendReply(id, CloudCourierReplies::encode(reply)); });
        return true;
    }
    if (operation == P::UpgradeToken) {
        const std::optional<QString> secret = fields.string(P::TokenSecretKey);
        if (!fields.isValid())
            return false;
        m_client->upgradeTokenWithTokenSecret(secret.value_or(QString()),
                                              [this, id](const UpgradeTokenReply &reply) {
                                                  sendReply(id, CloudCourierReplies::encode(reply));
                                              });
        return true;
    }
    if (operation == P::SyncGetChanges) {
        const std::optional<QString> cursor = fields.string(P::CursorKey);
        if (!fields.isValid())
            return false;
        m_client->syncGetChangesForCursor(cursor, [this, id](const ChangesReply &reply) {
            sendReply(id, CloudCourierReplies::encode(reply));
        });
        return true;
    }

    const std::optional<QString> name = fields.string(P::NameKey);
    if (!name || name->isEmpty())
        return false;
    if (operation == P::SyncPutFile) {
        const std::optional<QString> revision = fields.string(P::RevisionKey);
        if (!fields.isValid())
            return false;
        QFile file;
        if (!file.open(request.files.front().release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return false;
        m_client->syncPutFile(file, *name, revision, [this, id](const PutFileReply &reply) {
            sendReply(id, CloudCourierReplies::encode(reply));
        });
        return true;
    }
    if (operation == P::SyncGetFile) {
        m_client->syncGetFile(*name, [this, id](const GetFileReply &reply) {
            std::vector<UniqueFd> files;
            if (reply.file)
                files.emplace_back(::dup(reply.file->handle()));
            sendReply(id, CloudCourierReplies::encode(reply), std::move(files));
        });
        return true;
    }
    if (operation == P::SyncDeleteFile) {
        m_client->syncDeleteFile(*name, [this, id](const DeleteFileReply &reply) {
            sendReply(id, CloudCourierReplies::encode(reply));
        });
        return true;
    }
    return false;
}

void CourierService::sendReply(quint64 requestId, const QCborMap &reply, std::vector<UniqueFd> files)
{
    CourierMessage message;
    message.kind = CourierMessage::Kind::Reply;
    message.requestId = requestId;
    message.arguments = reply;
    message.files = std::move(files);
    if (m_channel->send(message) || !m_channel->isOpen())
        return;
    // Too large for one frame (a listing of an enormous folder): answer with an error instead.
    CourierMessage tooLarge;
    tooLarge.kind = CourierMessage::Kind::Reply;
    tooLarge.requestId = requestId;
    tooLarge.arguments.insert(QStringLiteral("error"),
                              QStringLiteral("The reply of the Dropbox service exceeds its size limit."));
    m_channel->send(tooLarge);
}

void CourierService::reject(const QString &reason)
{
    qCWarning(lcCourierService) << "Closing the connection:" << reason;
    m_channel->close();
    Q_EMIT finished(false);
}
