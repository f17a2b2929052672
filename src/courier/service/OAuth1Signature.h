#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The OAuth 1.0 HMAC-SHA1 signature with which an old token is exchanged for a bearer token.
namespace OAuth1Signature {

// Percent-encodes the UTF-8 bytes of everything but ASCII letters, digits, "-", ".", "_" and "~",
// with upper-case hexadecimal digits.
QString rfc3986ReservedEscaped(const QString &text);

// Standard Base64 with padding.
QString toBase64String(const QByteArray &bytes);

struct Input
{
    QString url; // the request address; anything from its first "?" on is not signed as part of it
    QString httpMethod;
    QString consumerKey;
    QString consumerSecret;
    QString token; // empty: no "oauth_token"
    QString tokenSecret;
    QMap<QString, QString> requestParameters; // signed, but not put in the header
    QString timestamp;                        // seconds since 1970, as text
    QString nonce;
};

// "METHOD&encoded base URL&encoded parameter string".
QString baseString(const Input &input, const QMap<QString, QString> &oauthParameters);

// The OAuth parameters including "oauth_signature".
QMap<QString, QString> signedParameters(const Input &input);

// "OAuth name=\"value\",...": the OAuth parameters only, values as they are.
QByteArray authorizationHeader(const QMap<QString, QString> &oauthParameters);

} // namespace OAuth1Signature
