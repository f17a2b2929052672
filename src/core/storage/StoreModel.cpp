#include "StoreModel.h"

#include "StoreSchema.h"

#include <QFile>
#include <QRegularExpression>

// The model history and mappings are resources of this static library; they are linked in only when
// initialised explicitly. Outside any namespace, as Q_INIT_RESOURCE requires.
static void initStoreModelResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(storemodels);
        return true;
    }();
    Q_UNUSED(done);
}

StoreModel StoreModel::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return StoreModel{path, QString::fromUtf8(file.readAll())};
}

int StoreModel::versionOf(const StoreModel &model)
{
    static const QRegularExpression pragma(QStringLiteral("PRAGMA\\s+user_version\\s*=\\s*(\\d+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    int version = -1;
    auto matches = pragma.globalMatch(model.sql);
    while (matches.hasNext()) {
        bool ok = false;
        const int found = matches.next().captured(1).toInt(&ok);
        if (ok)
            version = qMax(version, found);
    }
    return version;
}

StoreModel StoreModel::current()
{
    return StoreModel{QStringLiteral(":/schema/v%1.sql").arg(StoreSchema::currentVersion),
                      StoreSchema::createSql(StoreSchema::currentVersion)};
}

QString StoreModel::bundleModelsDir()
{
    initStoreModelResources();
    StoreSchema::createSql(StoreSchema::currentVersion); // registers the current model's resource too
    return QStringLiteral(":/schema");
}

QString StoreModel::bundleMappingsDir()
{
    initStoreModelResources();
    return QStringLiteral(":/mapping");
}
