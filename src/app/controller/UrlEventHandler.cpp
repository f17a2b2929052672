#include "controller/UrlEventHandler.h"

#include "DropboxAuthorization.h"

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
    if (!m_authorization || !m_authorization->handleRedirect(url)) {
        qCInfo(lcAppController, "Ignored a Dropbox address that answers no pending authorisation");
        return false;
    }
    qCInfo(lcAppController, "Dropbox authorised Pendulo; no handler yet to connect the account");
    return true;
}
