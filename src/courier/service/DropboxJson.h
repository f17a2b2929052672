#pragma once

#include "HttpEndpoint.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// JSON as Dropbox wants it, and the messages made from failed requests.
namespace DropboxJson {

// Compact JSON text (no whitespace).
QByteArray compact(const QJsonObject &object);

// Compact JSON safe for an HTTP header: U+007F and every character above it written as \uXXXX
// (characters outside the basic plane as a surrogate pair).
QByteArray headerSafe(const QJsonObject &object);

// The message for a failed request: the status line, then "Error summary: ..." when the body is a JSON
// object with one, then "Error details: ..." with the whole body when there is one.
QString errorMessage(const HttpResult &result);

// The body as a JSON object; empty when it is not one.
QJsonObject objectFromBody(const QByteArray &body, bool *isObject = nullptr);

} // namespace DropboxJson
