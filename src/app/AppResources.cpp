#include "AppResources.h"

static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace AppResources {

QIcon icon(const QString &name)
{
    static const bool loaded = [] {
        initIconResources();
        return true;
    }();
    Q_UNUSED(loaded);
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

} // namespace AppResources
