#pragma once

#include <QByteArray>
#include <QCborMap>
#include <QFile>
#include <QJsonArray>
#include <QSharedPointer>
#include <QString>

#include <optional>

// The seven operations of the Dropbox service and their replies, as both sides of the courier socket
// see them. Values that may be absent are std::optional; an absent error means success.
namespace CloudCourierProtocol {

inline const QString GetAccountInfo = QStringLiteral("getAccountInfo");
inline const QString UpgradeToken = QStringLiteral("upgradeToken");
inline const QString SyncInit = QStringLiteral("syncInit"); // the one operation without a reply
inline const QString SyncGetChanges = QStringLiteral("syncGetChanges");
inline const QString SyncPutFile = QStringLiteral("syncPutFile");
inline const QString SyncGetFile = QStringLiteral("syncGetFile");
inline const QString SyncDeleteFile = QStringLiteral("syncDeleteFile");

// Argument keys of the requests.
inline const QString TokenSecretKey = QStringLiteral("tokenSecret");
inline const QString SyncRootKey = QStringLiteral("syncRoot");
inline const QString TokenKey = QStringLiteral("token");
inline const QString CursorKey = QStringLiteral("cursor");
inline const QString NameKey = QStringLiteral("name");
inline const QString RevisionKey = QStringLiteral("revision");

bool isKnownOperation(const QString &operation);

} // namespace CloudCourierProtocol

// Why a call got no answer from the service: the connection broke (the process ended or sent something
// malformed), could not be made, or was invalidated. Every pending call gets exactly one of these.
struct CourierConnectionError
{
    enum Code : qint64
    {
        ServiceUnavailable = 1,    // the program could not be found or started
        ConnectionInterrupted = 2, // the service ended while the call was pending
        InvalidReply = 3,          // the service sent something malformed
        ConnectionInvalidated = 4, // the caller closed the connection
    };

    QString description;
    qint64 code = 0;

    // "description (code: n)", the form in which the sync log shows it.
    QString message() const { return QStringLiteral("%1 (code: %2)").arg(description).arg(code); }
};

struct AccountInfoReply
{
    std::optional<CourierConnectionError> connectionError;
    std::optional<QString> displayName;
    std::optional<QString> accountId;
    std::optional<QString> error;
};

struct UpgradeTokenReply
{
    std::optional<CourierConnectionError> connectionError;
    std::optional<QString> token;
    std::optional<QString> error;
};

struct ChangesReply
{
    std::optional<CourierConnectionError> connectionError;
    std::optional<QJsonArray> entries; // listing entries, as Dropbox gives them, over all pages
    std::optional<QString> cursor;
    bool fullFetch = false;
    std::optional<QString> error;
};

struct PutFileReply
{
    std::optional<CourierConnectionError> connectionError;
    std::optional<QByteArray> metadata; // JSON bytes of the stored file's metadata
    std::optional<QString> error;
};

struct GetFileReply
{
    std::optional<CourierConnectionError> connectionError;
    QSharedPointer<QFile> file; // open for reading at its start; null when absent
    std::optional<QByteArray> metadata;
    qint64 status = 0; // HTTP status of a failed download, 0 otherwise
    std::optional<QString> error;
};

struct DeleteFileReply
{
    std::optional<CourierConnectionError> connectionError;
    std::optional<QString> error;
};

// Reply bodies on the wire. Decoding gives nothing when a member has the wrong type. The file of a
// GetFileReply travels beside the body; decodeGetFileReply leaves `file` empty.
namespace CloudCourierReplies {

QCborMap encode(const AccountInfoReply &reply);
QCborMap encode(const UpgradeTokenReply &reply);
QCborMap encode(const ChangesReply &reply);
QCborMap encode(const PutFileReply &reply);
QCborMap encode(const GetFileReply &reply);
QCborMap encode(const DeleteFileReply &reply);

std::optional<AccountInfoReply> decodeAccountInfoReply(const QCborMap &map);
std::optional<UpgradeTokenReply> decodeUpgradeTokenReply(const QCborMap &map);
std::optional<ChangesReply> decodeChangesReply(const QCborMap &map);
std::optional<PutFileReply> decodePutFileReply(const QCborMap &map);
std::optional<GetFileReply> decodeGetFileReply(const QCborMap &map);
std::optional<DeleteFileReply> decodeDeleteFileReply(const QCborMap &map);

} // namespace CloudCourierReplies

// Typed access to a CBOR map whose members may be absent; remembers whether any member had the wrong type.
class CborFields
{
public:
    explicit CborFields(const QCborMap &map)
        : m_map(map)
    {}

    std::optional<QString> string(const QString &key);
    std::optional<QByteArray> bytes(const QString &key);
    std::optional<QJsonArray> array(const QString &key);
    bool boolean(const QString &key);
    qint64 integer(const QString &key);

    bool isValid() const { return m_valid; }

private:
    QCborMap m_map;
    bool m_valid = true;
};

// Inserts the value only when present.
void insertOptional(QCborMap &map, const QString &key, const std::optional<QString> &value);
void insertOptional(QCborMap &map, const QString &key, const std::optional<QByteArray> &value);
