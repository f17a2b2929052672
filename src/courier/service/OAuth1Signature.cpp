#include "OAuth1Signature.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QStringList>

namespace OAuth1Signature {

QString rfc3986ReservedEscaped(const QString &text)
{
    // QByteArray::toPercentEncoding keeps exactly the RFC 3986 unreserved set and writes upper-case hex.
    return QString::fromLatin1(text.toUtf8().toPercentEncoding());
}

QString toBase64String(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

static QMap<QString, QString> oauthParametersWithoutSignature(const Input &input)
{
    QMap<QString, QString> parameters;
    if (!input.token.isEmpty())
        parameters.insert(QStringLiteral("oauth_token"), input.token);
    parameters.insert(QStringLiteral("oauth_consumer_key"), input.consumerKey);
    parameters.insert(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    parameters.insert(QStringLiteral("oauth_timestamp"), input.timestamp);
    parameters.insert(QStringLiteral("oauth_nonce"), input.nonce);
    parameters.insert(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    return parameters;
}

QString baseString(const Input &input, const QMap<QString, QString> &oauthParameters)
{
    QMap<QString, QString> all = input.requestParameters;
    all.insert(oauthParameters);
    QStringList pairs; // QMap iterates its keys in plain string order
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + rfc3986ReservedEscaped(it.value()));
    const QString baseUrl = input.url.section(QLatin1Char('?'), 0, 0);
    return input.httpMethod + QLatin1Char('&') + rfc3986ReservedEscaped(baseUrl) + QLatin1Char('&') +
           rfc3986ReservedEscaped(pairs.join(QLatin1Char('&')));
}

QMap<QString, QString> signedParameters(const Input &input)
{
    QMap<QString, QString> parameters = oauthParametersWithoutSignature(input);
    const QByteArray key = (input.consumerSecret + QLatin1Char('&') + input.tokenSecret).toUtf8();
    const QByteArray signature = QMessageAuthenticationCode::hash(baseString(input, parameters).toUtf8(), key,
                                                                  QCryptographicHash::Sha1);
    parameters.insert(QStringLiteral("oauth_signature"), toBase64String(signature));
    return parameters;
}

QByteArray authorizationHeader(const QMap<QString, QString> &oauthParameters)
{
    QStringList fields;
    for (auto it = oauthParameters.cbegin(); it != oauthParameters.cend(); ++it)
        fields.append(QStringLiteral("%1=\"%2\"").arg(it.key(), it.value()));
    return "OAuth " + fields.join(QLatin1Char(',')).toUtf8();
}

} // namespace OAuth1Signature
