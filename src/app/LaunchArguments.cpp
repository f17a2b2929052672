#include "LaunchArguments.h"

LaunchArguments::LaunchArguments(const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (argument == fromHelper()) {
            m_fromHelper = true;
            continue;
        }
        const QUrl url(argument, QUrl::StrictMode);
        if (url.isValid() && url.scheme().compare(QLatin1String("penduloapp"), Qt::CaseInsensitive) == 0)
            m_urls.append(url);
    }
}
