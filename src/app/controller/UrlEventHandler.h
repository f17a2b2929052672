#pragma once

#include <QList>
#include <QUrl>

class DropboxAuthorization;
class DropboxConnection;

// Handles the "penduloapp:" addresses another start of Pendulo hands over: the browser's return from
// the Dropbox authorisation ("penduloapp://dropbox#...") goes to the Dropbox connection, which accepts
// only the answer to its own pending request and then connects the account. Without a connection the
// address only completes the authorisation.
class UrlEventHandler
{
public:
    explicit UrlEventHandler(DropboxAuthorization *authorization = nullptr)
        : m_authorization(authorization)
    {}

    void setDropboxAuthorization(DropboxAuthorization *authorization) { m_authorization = authorization; }
    void setDropboxConnection(DropboxConnection *connection) { m_connection = connection; }

    // True when the address answered the pending authorisation (and, with a connection, connected it).
    bool handleUrl(const QUrl &url);

private:
    DropboxAuthorization *m_authorization;
    DropboxConnection *m_connection = nullptr;
};
