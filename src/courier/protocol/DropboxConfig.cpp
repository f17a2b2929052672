#include "DropboxConfig.h"

#include <QStringList>

namespace {

QUrl baseUrlFromEnvironment(const char *variable, const char *compiledDefault, QString *error)
{
    const QString override = qEnvironmentVariable(variable);
    return DropboxConfig::validatedBaseUrl(override.isEmpty() ? QString::fromUtf8(compiledDefault) : override,
                                           error);
}

bool isIPv4Loopback(const QString &host)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts.first() != QLatin1String("127"))
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return false;
    }
    return true;
}

} // namespace

QString DropboxConfig::appKey()
{
    const QString override = qEnvironmentVariable(AppKeyVariable);
    return override.isEmpty() ? QString::fromUtf8(PENDULO_DROPBOX_APP_KEY_DEFAULT) : override;
}

bool DropboxConfig::hasAppKey()
{
    return !appKey().isEmpty();
}

QString DropboxConfig::missingAppKeyMessage()
{
    return QStringLiteral("This build of Pendulo has no Dropbox application key, so it cannot connect to "
                          "Dropbox. Build it with PENDULO_DROPBOX_APP_KEY and PENDULO_DROPBOX_APP_SECRET "
                          "set to the key and secret of a Dropbox application.");
}

QUrl DropboxConfig::apiBaseUrl(QString *error)
{
    return baseUrlFromEnvironment(ApiUrlVariable, PENDULO_DROPBOX_API_URL_DEFAULT, error);
}

QUrl DropboxConfig::contentBaseUrl(QString *error)
{
    return baseUrlFromEnvironment(ContentUrlVariable, PENDULO_DROPBOX_CONTENT_URL_DEFAULT, error);
}

bool DropboxConfig::isLoopbackHost(const QString &host)
{
    return host == QLatin1String("localhost") || host == QLatin1String("::1") || isIPv4Loopback(host);
}

QUrl DropboxConfig::validatedBaseUrl(const QString &address, QString *error)
{
    QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    const bool secure = scheme == QLatin1String("https");
    const bool localPlain = scheme == QLatin1String("http") && isLoopbackHost(url.host());
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !(secure || localPlain)) {
        *error = QStringLiteral("Invalid Dropbox endpoint address \"%1\": it must be an https address "
                                "(plain http only for a loopback host)")
                     .arg(address);
        return {};
    }
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    error->clear();
    return url;
}
