#pragma once

#include "PdError.h"

#include <QMap>
#include <QString>
#include <QUrl>

#include <optional>

// What Dropbox hands back when the user allows Pendulo access to their account.
struct DropboxAuthorizationResult
{
    QString accessToken;
    QString accountId;

    bool operator==(const DropboxAuthorizationResult &) const = default;
};

// Connecting a Dropbox account: the address of Dropbox's authorisation page, which the user opens in
// the web browser, and the handling of the "penduloapp://dropbox#..." address Dropbox sends the browser
// back to. Each request carries a new random "state" value; only a returned address that carries it
// back is accepted, once, so that an address made up elsewhere can never connect an account.
class DropboxAuthorization
{
public:
    // The build's authorisation page and application key.
    DropboxAuthorization();
    DropboxAuthorization(const QUrl &authorizePage, const QString &appKey);

    static QUrl redirectUrl(); // "penduloapp://dropbox"
    static QString missingAppKeyMessage();

    // A new authorisation address with a new state value, which replaces the previous one. Fails when
    // the build has no application key.
    std::optional<QUrl> authorizationUrl(PdError *error = nullptr);
    // The state value of the last request; empty before the first one and after it has been answered.
    QString pendingState() const { return m_pendingState; }

    // The token and account of a returned address that answers the pending request, which it ends.
    // Any other address gives nothing and leaves the request pending.
    std::optional<DropboxAuthorizationResult> handleRedirect(const QUrl &url);

    // The authorisation page's address for the key and state.
    static QUrl buildAuthorizationUrl(const QUrl &authorizePage, const QString &appKey, const QString &state);
    // The name/value pairs of a returned address's fragment: pieces separated by "&", each split at
    // "=" into exactly two parts (other pieces are skipped), percent-decoded as UTF-8; a later name
    // replaces an earlier one.
    static QMap<QString, QString> fragmentParameters(const QUrl &url);
    // The token and account of a returned address: our scheme and host, a "bearer" token, an access
    // token, and the expected state. Nothing for anything else.
    static std::optional<DropboxAuthorizationResult> parseRedirect(const QUrl &url,
                                                                   const QString &expectedState);
    // A random, unguessable state value.
    static QString newState();

private:
    QUrl m_authorizePage;
    QString m_appKey;
    QString m_pendingState;
};
