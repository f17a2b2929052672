#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

// What a start of `pendulo` asks for: started by the login helper ("launchFromHelper"), and the
// "penduloapp:" addresses to handle (the browser returning from the Dropbox authorisation).
class LaunchArguments
{
public:
    static QString fromHelper() { return QStringLiteral("launchFromHelper"); }

    explicit LaunchArguments(const QStringList &arguments);

    bool isLaunchFromHelper() const { return m_fromHelper; }
    QList<QUrl> penduloUrls() const { return m_urls; }

private:
    bool m_fromHelper = false;
    QList<QUrl> m_urls;
};
