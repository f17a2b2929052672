#include "DropboxConnection.h"

#include "DropboxAuthorization.h"
#include "PDDropboxSyncBackend.h"
#include "SyncLog.h"

#include "Notifications.h"

DropboxConnection::DropboxConnection(DropboxAuthorization &authorization, PdSettings &settings,
                                     Keychain &keychain, Notifications &notifications)
    : m_authorization(authorization)
    , m_settings(settings)
    , m_keychain(keychain)
    , m_notifications(notifications)
{}

bool DropboxConnection::handleRedirect(const QUrl &url)
{
    const std::optional<DropboxAuthorizationResult> result = m_authorization.handleRedirect(url);
    if (!result)
        return false;
    PDDropboxSyncBackend backend(m_settings, m_keychain);
    if (!backend.connectDropboxAccountWithName(QString(), result->accountId, result->accessToken)) {
        m_notifications.show(
            QStringLiteral("Dropbox"),
            QStringLiteral("Could not connect with Dropbox: the token could not be stored in the "
                           "keychain"));
        return false;
    }
    m_notifications.show(QStringLiteral("Dropbox"), QStringLiteral("Connected with Dropbox"));
    PDDropboxSyncBackend::syncDropboxAccountInfo(m_settings, m_keychain);
    return true;
}
