#include "StoreSchema.h"

#include <QFile>

// Resources in a static library are only linked in when they are initialised explicitly.
static void initSchemaResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(schema);
        return true;
    }();
    Q_UNUSED(done);
}

namespace StoreSchema {

QString createSql(int version)
{
    initSchemaResources();
    QFile file(QStringLiteral(":/schema/v%1.sql").arg(version));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace StoreSchema
