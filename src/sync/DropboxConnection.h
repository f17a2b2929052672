#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class DropboxAuthorization;
class Keychain;
class PdSettings;

// Finishes connecting a Dropbox account when the browser hands back the address Dropbox redirected to.
// The application shell passes every "penduloapp://dropbox#..." address it receives to handleRedirect().
class DropboxConnection
{
public:
    // Shows a desktop notification (title, text); the shell passes its notifications' show().
    using Notify = std::function<void(const QString &title, const QString &body)>;

    // All four must outlive this object. `authorization` is the one whose address the user opened.
    DropboxConnection(DropboxAuthorization &authorization, PdSettings &settings, Keychain &keychain,
                      Notify notify);

    // An address that answers our pending request connects the account (token in the keychain, account
    // id in the settings), shows "Connected with Dropbox" and fetches the account's display name in the
    // background. Returns whether the account was connected; any other address is ignored.
    bool handleRedirect(const QUrl &url);

private:
    DropboxAuthorization &m_authorization;
    PdSettings &m_settings;
    Keychain &m_keychain;
    Notify m_notify;
};
