#include "DropboxJson.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace DropboxJson {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray headerSafe(const QJsonObject &object)
{
    // Outside strings compact JSON is pure ASCII, so every character to escape sits inside a string,
    // where \uXXXX means the same character.
    const QString text = QString::fromUtf8(compact(object));
    QByteArray safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x7F)
            safe.append(char(c.unicode()));
        else
            safe.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toLatin1());
    }
    return safe;
}

QJsonObject objectFromBody(const QByteArray &body, bool *isObject)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    const bool ok = parseError.error == QJsonParseError::NoError && document.isObject();
    if (isObject)
        *isObject = ok;
    return ok ? document.object() : QJsonObject();
}

QString errorMessage(const HttpResult &result)
{
    QString message;
    if (result.status == 401)
        message = QStringLiteral("Dropbox access revoked or access token expired (401)");
    else if (result.status == 503)
        message = QStringLiteral("Access rate limited, too many requests (503)");
    else
        message = QStringLiteral("(%1): %2").arg(result.status).arg(result.errorDescription);
    if (result.body.isEmpty())
        return message;
    const QJsonValue summary = objectFromBody(result.body).value(QLatin1String("error_summary"));
    if (summary.isString())
        message = QStringLiteral("%1\nError summary: %2").arg(message, summary.toString());
    return QStringLiteral("%1\nError details: %2").arg(message, result.bodyText());
}

} // namespace DropboxJson
