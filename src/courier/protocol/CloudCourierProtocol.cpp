#include "CloudCourierProtocol.h"

#include <QCborArray>
#include <QCborValue>

namespace {
const QString DisplayNameKey = QStringLiteral("displayName");
const QString AccountIdKey = QStringLiteral("accountId");
const QString ErrorKey = QStringLiteral("error");
const QString EntriesKey = QStringLiteral("entries");
const QString FullFetchKey = QStringLiteral("fullFetch");
const QString MetadataKey = QStringLiteral("metadata");
const QString StatusKey = QStringLiteral("status");
} // namespace

bool CloudCourierProtocol::isKnownOperation(const QString &operation)
{
    return operation == GetAccountInfo || operation == UpgradeToken || operation == SyncInit ||
           operation == SyncGetChanges || operation == SyncPutFile || operation == SyncGetFile ||
           operation == SyncDeleteFile;
}

std::optional<QString> CborFields::string(const QString &key)
{
    const QCborValue value = m_map.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        m_valid = false;
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QByteArray> CborFields::bytes(const QString &key)
{
    const QCborValue value = m_map.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isByteArray()) {
        m_valid = false;
        return std::nullopt;
    }
    return value.toByteArray();
}

std::optional<QJsonArray> CborFields::array(const QString &key)
{
    const QCborValue value = m_map.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray()) {
        m_valid = false;
        return std::nullopt;
    }
    return value.toArray().toJsonArray();
}

bool CborFields::boolean(const QString &key)
{
    const QCborValue value = m_map.value(key);
    if (value.isUndefined())
        return false;
    if (!value.isBool()) {
        m_valid = false;
        return false;
    }
    return value.toBool();
}

qint64 CborFields::integer(const QString &key)
{
    const QCborValue value = m_map.value(key);
    if (value.isUndefined())
        return 0;
    if (!value.isInteger()) {
        m_valid = false;
        return 0;
    }
    return value.toInteger();
}

void insertOptional(QCborMap &map, const QString &key, const std::optional<QString> &value)
{
    if (value)
        map.insert(key, *value);
}

void insertOptional(QCborMap &map, const QString &key, const std::optional<QByteArray> &value)
{
    if (value)
        map.insert(key, *value);
}

namespace CloudCourierReplies {

QCborMap encode(const AccountInfoReply &reply)
{
    QCborMap map;
    insertOptional(map, DisplayNameKey, reply.displayName);
    insertOptional(map, AccountIdKey, reply.accountId);
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

QCborMap encode(const UpgradeTokenReply &reply)
{
    QCborMap map;
    insertOptional(map, CloudCourierProtocol::TokenKey, reply.token);
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

QCborMap encode(const ChangesReply &reply)
{
    QCborMap map;
    if (reply.entries)
        map.insert(EntriesKey, QCborArray::fromJsonArray(*reply.entries));
    insertOptional(map, CloudCourierProtocol::CursorKey, reply.cursor);
    map.insert(FullFetchKey, reply.fullFetch);
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

QCborMap encode(const PutFileReply &reply)
{
    QCborMap map;
    insertOptional(map, MetadataKey, reply.metadata);
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

QCborMap encode(const GetFileReply &reply)
{
    QCborMap map;
    insertOptional(map, MetadataKey, reply.metadata);
    map.insert(StatusKey, reply.status);
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

QCborMap encode(const DeleteFileReply &reply)
{
    QCborMap map;
    insertOptional(map, ErrorKey, reply.error);
    return map;
}

template <typename Reply> std::optional<Reply> validated(const Reply &reply, const CborFields &fields)
{
    if (!fields.isValid())
        return std::nullopt;
    return reply;
}

std::optional<AccountInfoReply> decodeAccountInfoReply(const QCborMap &map)
{
    CborFields fields(map);
    AccountInfoReply reply;
    reply.displayName = fields.string(DisplayNameKey);
    reply.accountId = fields.string(AccountIdKey);
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

std::optional<UpgradeTokenReply> decodeUpgradeTokenReply(const QCborMap &map)
{
    CborFields fields(map);
    UpgradeTokenReply reply;
    reply.token = fields.string(CloudCourierProtocol::TokenKey);
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

std::optional<ChangesReply> decodeChangesReply(const QCborMap &map)
{
    CborFields fields(map);
    ChangesReply reply;
    reply.entries = fields.array(EntriesKey);
    reply.cursor = fields.string(CloudCourierProtocol::CursorKey);
    reply.fullFetch = fields.boolean(FullFetchKey);
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

std::optional<PutFileReply> decodePutFileReply(const QCborMap &map)
{
    CborFields fields(map);
    PutFileReply reply;
    reply.metadata = fields.bytes(MetadataKey);
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

std::optional<GetFileReply> decodeGetFileReply(const QCborMap &map)
{
    CborFields fields(map);
    GetFileReply reply;
    reply.metadata = fields.bytes(MetadataKey);
    reply.status = fields.integer(StatusKey);
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

std::optional<DeleteFileReply> decodeDeleteFileReply(const QCborMap &map)
{
    CborFields fields(map);
    DeleteFileReply reply;
    reply.error = fields.string(ErrorKey);
    return validated(reply, fields);
}

} // namespace CloudCourierReplies
