#include "StoreSchema.h"

#include <QTest>

class TestStoreSchema : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void currentSchemaIsShippedAndSetsItsVersion()
    {
        const QString sql = StoreSchema::createSql(StoreSchema::currentVersion);
        QVERIFY(sql.contains(QStringLiteral("CREATE TABLE activity")));
        QVERIFY(sql.contains(QStringLiteral("PRAGMA user_version = 5")));
        QVERIFY(StoreSchema::createSql(99).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStoreSchema)
#include "tst_StoreSchema.moc"
