#include "DropboxAuthorization.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QUrlQuery>

#include <array>

namespace {

Q_LOGGING_CATEGORY(lcAuthorization, "pendulo.sync")

const QString RedirectScheme = QStringLiteral("penduloapp");
const QString RedirectHost = QStringLiteral("dropbox");

} // namespace

DropboxAuthorization::DropboxAuthorization()
    : DropboxAuthorization(QUrl(QStringLiteral(PENDULO_DROPBOX_AUTHORIZE_URL)),
                           QStringLiteral(PENDULO_DROPBOX_APP_KEY))
{}

DropboxAuthorization::DropboxAuthorization(const QUrl &authorizePage, const QString &appKey)
    : m_authorizePage(authorizePage)
    , m_appKey(appKey)
{}

QUrl DropboxAuthorization::redirectUrl()
{
    return QUrl(RedirectScheme + QStringLiteral("://") + RedirectHost);
}

QString DropboxAuthorization::missingAppKeyMessage()
{
    return QStringLiteral("This build of Pendulo has no Dropbox application key, so it cannot connect to "
                          "Dropbox.");
}

std::optional<QUrl> DropboxAuthorization::authorizationUrl(PdError *error)
{
    if (m_appKey.isEmpty()) {
        if (error)
            *error = PdError::make(QStringLiteral("PdDropboxAuthorization"), 1, missingAppKeyMessage());
        return std::nullopt;
    }
    m_pendingState = newState();
    return buildAuthorizationUrl(m_authorizePage, m_appKey, m_pendingState);
}

std::optional<DropboxAuthorizationResult> DropboxAuthorization::handleRedirect(const QUrl &url)
{
    std::optional<DropboxAuthorizationResult> result = parseRedirect(url, m_pendingState);
    if (result)
        m_pendingState.clear();
    else
        qCWarning(lcAuthorization) << "Ignoring a returned Dropbox address that does not answer our request";
    return result;
}

QUrl DropboxAuthorization::buildAuthorizationUrl(const QUrl &authorizePage, const QString &appKey,
                                                 const QString &state)
{
    QUrlQuery query(authorizePage);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("token"));
    query.addQueryItem(QStringLiteral("client_id"), appKey);
    query.addQueryItem(QStringLiteral("redirect_uri"), redirectUrl().toString());
    query.addQueryItem(QStringLiteral("state"), state);
    QUrl url = authorizePage;
    url.setQuery(query);
    return url;
}

QMap<QString, QString> DropboxAuthorization::fragmentParameters(const QUrl &url)
{
    QMap<QString, QString> parameters;
    const QString fragment = url.fragment(QUrl::FullyEncoded);
    for (const QString &piece : fragment.split(QLatin1Char('&'))) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() != 2)
            continue;
        parameters.insert(QUrl::fromPercentEncoding(parts[0].toUtf8()),
                          QUrl::fromPercentEncoding(parts[1].toUtf8()));
    }
    return parameters;
}

std::optional<DropboxAuthorizationResult> DropboxAuthorization::parseRedirect(const QUrl &url,
                                                                              const QString &expectedState)
{
    if (url.scheme() != RedirectScheme || url.host() != RedirectHost || expectedState.isEmpty())
        return std::nullopt;
    const QMap<QString, QString> parameters = fragmentParameters(url);
    const QString token = parameters.value(QStringLiteral("access_token"));
    if (parameters.value(QStringLiteral("token_type")) != u"bearer" || token.isEmpty() ||
        parameters.value(QStringLiteral("state")) != expectedState)
        return std::nullopt;
    return DropboxAuthorizationResult{token, parameters.value(QStringLiteral("account_id"))};
}

QString DropboxAuthorization::newState()
{
    std::array<quint32, 8> words; // 256 bits
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char *>(words.data()), sizeof(words));
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}
