#pragma once

#include <QString>
#include <QUrl>

// Where Dropbox is and who we are to it: build configuration, with the two endpoint base addresses
// replaceable at run time by PENDULO_DROPBOX_API_URL and PENDULO_DROPBOX_CONTENT_URL (used by the tests
// to point at a local server). Plain http is accepted only for loopback hosts. The application key and
// secret can be replaced the same way.
namespace DropboxConfig {

inline constexpr const char *ApiUrlVariable = "PENDULO_DROPBOX_API_URL";
inline constexpr const char *ContentUrlVariable = "PENDULO_DROPBOX_CONTENT_URL";
// Replace the application key and secret of the build (for development and tests).
inline constexpr const char *AppKeyVariable = "PENDULO_DROPBOX_APP_KEY";
inline constexpr const char *AppSecretVariable = "PENDULO_DROPBOX_APP_SECRET";

// The application key registered with Dropbox; empty in a build made without one.
QString appKey();
bool hasAppKey();
// What to tell the user who tries to connect with a build that has no key.
QString missingAppKeyMessage();

// The base address of version 2 of each endpoint, always ending in "/". An unusable address (not https,
// or plain http to a host other than a loopback one) gives an empty URL and the reason in `error`.
QUrl apiBaseUrl(QString *error);
QUrl contentBaseUrl(QString *error);

// Checks one base address as above and normalises it; exposed for tests.
QUrl validatedBaseUrl(const QString &address, QString *error);
bool isLoopbackHost(const QString &host);

} // namespace DropboxConfig
