#pragma once

#include "UniqueFd.h"

#include <QByteArray>
#include <QCborMap>
#include <QString>

#include <optional>
#include <vector>

// One message on the courier socket: a request (an operation with its arguments) or the reply to one.
// Replies carry the id of their request. Open files travel beside the frame as descriptors; the frame
// only says how many belong to it.
struct CourierMessage
{
    enum class Kind
    {
        Request,
        Reply
    };

    // At most this many descriptors travel with one message.
    static constexpr int MaxFiles = 4;

    Kind kind = Kind::Request;
    QString operation;
    quint64 requestId = 0;
    QCborMap arguments;
    std::vector<UniqueFd> files;

    QByteArray encode() const;

    // Decodes one frame's payload. The descriptors are not part of the payload: `fileCount` tells how
    // many the caller must attach. Gives nothing, with a reason in `error`, for anything malformed.
    static std::optional<CourierMessage> decode(const QByteArray &payload, int *fileCount, QString *error);
};
