#include "controller/UrlEventHandler.h"

#include "DropboxAuthorization.h"
#include "DropboxConnection.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcAppController)

bool UrlEventHandler::handleUrl(const QUrl &url)
{
    // Never log the address itself: its fragment carries the access token.
    if (url.host() != DropboxAuthorization::redirectUrl().host()) {
        qCInfo(lcAppController, "Ignored a %s: address for \"%s\"", qUtf8Printable(url.scheme()),
               qUtf8Printable(url.host()));
        return false;
    }
    if (m_connection) {
        // The connection tells the user the outcome itself.
        const bool connected = m_connection->handleRedirect(url);
        qCInfo(lcAppController,
               connected ? "Connected the Dropbox account" : "A Dropbox address connected no account");
        return connected;
    }
    if (!m_authorization || !m_authorization->handleRedirect(url)) {
        qCInfo(lcAppController, "Ignored a Dropbox address that answers no pending authorisation");
        return false;
    }
    qCInfo(lcAppController, "Dropbox authorised Pendulo, but this build cannot connect the account");
    return true;
}
