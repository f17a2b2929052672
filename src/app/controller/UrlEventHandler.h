#pragma once

#include <QList>
#include <QUrl>

class DropboxAuthorization;

// Handles the "penduloapp:" addresses another start of Pendulo hands over: the browser's return from
// the Dropbox authorisation ("penduloapp://dropbox#...") goes to the authorisation, which accepts only
// the answer to its own pending request.
class UrlEventHandler
{
public:
    explicit UrlEventHandler(DropboxAuthorization *authorization = nullptr)
        : m_authorization(authorization)
    {}

    void setDropboxAuthorization(DropboxAuthorization *authorization) { m_authorization = authorization; }

    // True when the address answered the pending authorisation.
    bool handleUrl(const QUrl &url);

private:
    DropboxAuthorization *m_authorization;
};
