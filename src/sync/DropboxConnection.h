#pragma once

#include <QUrl>

class DropboxAuthorization;
class Keychain;
class Notifications;
class PdSettings;

// Finishes connecting a Dropbox account when the browser hands back the address Dropbox redirected to.
// The application shell passes every "penduloapp://dropbox#..." address it receives to handleRedirect().
class DropboxConnection
{
public:
    // All four must outlive this object. `authorization` is the one whose address the user opened.
    DropboxConnection(DropboxAuthorization &authorization, PdSettings &settings, Keychain &keychain,
                      Notifications &notifications);

    // An address that answers our pending request connects the account (token in the keychain, account
    // id in the settings), shows "Connected with Dropbox" and fetches the account's display name in the
    // background. Returns whether the account was connected; any other address is ignored.
    bool handleRedirect(const QUrl &url);

private:
    DropboxAuthorization &m_authorization;
    PdSettings &m_settings;
    Keychain &m_keychain;
    Notifications &m_notifications;
};
