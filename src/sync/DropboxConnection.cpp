#include "DropboxConnection.h"

#include "DropboxAuthorization.h"
#include "PDDropboxSyncBackend.h"
#include "SyncLog.h"

DropboxConnection::DropboxConnection(DropboxAuthorization &authorization, PdSettings &settings,
                                     Keychain &keychain, Notify notify)
    : m_authorization(authorization)
    , m_settings(settings)
    , m_keychain(keychain)
    , m_notify(std::move(notify))
{}

bool DropboxConnection::handleRedirect(const QUrl &url)
{
    const std::optional<DropboxAuthorizationResult> result = m_authorization.handleRedirect(url);
    if (!result)
        return false;
    PDDropboxSyncBackend backend(m_settings, m_keychain);
    if (!backend.connectDropboxAccountWithName(QString(), result->accountId, result->accessToken)) {
        if (m_notify)
            m_notify(QStringLiteral("Dropbox"),
                     QStringLiteral("Could not connect with Dropbox: the token could not be stored in the "
                                    "keychain"));
        return false;
    }
    if (m_notify)
        m_notify(QStringLiteral("Dropbox"), QStringLiteral("Connected with Dropbox"));
    PDDropboxSyncBackend::syncDropboxAccountInfo(m_settings, m_keychain);
    return true;
}
