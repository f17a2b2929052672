#include "CourierMessage.h"

#include <QCborValue>

namespace {
const QString KindKey = QStringLiteral("kind");
const QString OperationKey = QStringLiteral("op");
const QString IdKey = QStringLiteral("id");
const QString ArgumentsKey = QStringLiteral("args");
const QString FilesKey = QStringLiteral("files");
const QString RequestKind = QStringLiteral("request");
const QString ReplyKind = QStringLiteral("reply");
} // namespace

QByteArray CourierMessage::encode() const
{
    QCborMap map;
    map.insert(KindKey, kind == Kind::Request ? RequestKind : ReplyKind);
    if (kind == Kind::Request)
        map.insert(OperationKey, operation);
    map.insert(IdKey, qint64(requestId));
    map.insert(ArgumentsKey, arguments);
    if (!files.empty())
        map.insert(FilesKey, qint64(files.size()));
    return map.toCborValue().toCbor();
}

std::optional<CourierMessage> CourierMessage::decode(const QByteArray &payload, int *fileCount,
                                                     QString *error)
{
    QCborParserError parseError;
    const QCborValue value = QCborValue::fromCbor(payload, &parseError);
    if (parseError.error != QCborError::NoError) {
        *error = QStringLiteral("Invalid CBOR: %1").arg(parseError.errorString());
        return std::nullopt;
    }
    if (!value.isMap()) {
        *error = QStringLiteral("A message must be a CBOR map");
        return std::nullopt;
    }
    const QCborMap map = value.toMap();
    CourierMessage message;
    const QCborValue kind = map.value(KindKey);
    if (kind == QCborValue(RequestKind)) {
        message.kind = Kind::Request;
        const QCborValue operation = map.value(OperationKey);
        if (!operation.isString() || operation.toString().isEmpty()) {
            *error = QStringLiteral("A request must name its operation");
            return std::nullopt;
        }
        message.operation = operation.toString();
    } else if (kind == QCborValue(ReplyKind)) {
        message.kind = Kind::Reply;
    } else {
        *error = QStringLiteral("Unknown message kind");
        return std::nullopt;
    }
    const QCborValue id = map.value(IdKey);
    if (!id.isInteger() || id.toInteger() <= 0) {
        *error = QStringLiteral("Missing or invalid request id");
        return std::nullopt;
    }
    message.requestId = quint64(id.toInteger());
    const QCborValue arguments = map.value(ArgumentsKey);
    if (!arguments.isMap()) {
        *error = QStringLiteral("Missing or invalid arguments");
        return std::nullopt;
    }
    message.arguments = arguments.toMap();
    const QCborValue files = map.value(FilesKey);
    if (files.isUndefined()) {
        *fileCount = 0;
    } else if (files.isInteger() && files.toInteger() >= 0 && files.toInteger() <= MaxFiles) {
        *fileCount = int(files.toInteger());
    } else {
        *error = QStringLiteral("Invalid file count");
        return std::nullopt;
    }
    return message;
}
