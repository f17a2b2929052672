#include "Activity.h"
#include "ActivityImporter.h"
#include "DeletedActivity.h"
#include "ExportFixture.h"
#include "Project.h"
#include "store/Context.h"

#include <QTest>

namespace {

const QDateTime nine = localTime(2016, 3, 5, 9, 0);
const QDateTime ten = localTime(2016, 3, 5, 10, 0);

} // namespace

// Copying reviewed activities from an import store into the main store.
class TestImportCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overwritesByUidAndInsertsTheRest()
    {
        ExportFixture main;
        Activity *existing =
            main.addActivity(QStringLiteral("Old @Old"), nine, ten, false, QStringLiteral("A"));
        const QDateTime created = existing->createdAt();
        const QDateTime modified = existing->modifiedAt();
        main.clock().advanceSecs(3600);

        ExportFixture import;
        const QList<Activity *> source{import.addActivity(QStringLiteral("New text @Acme #dev"),
                                                          nine.addDays(1), ten.addDays(1), true,
                                                          QStringLiteral("A")),
                                       import.addActivity(QStringLiteral("Fresh"), nine.addDays(2),
                                                          ten.addDays(2), false, QStringLiteral("B"))};

        const ActivityImporter::Result result = ActivityImporter::importActivities(source, main.store());
        QVERIFY2(result.ok(), qPrintable(result.error.toString()));
        QCOMPARE(result.count, 2);
        QCOMPARE(ActivityImporter::resultText(result), QStringLiteral("Imported 2 activities"));

        Context &context = main.context();
        QCOMPARE(context.count(EntityType::Activity), qint64(2));
        Activity *a = context.activityWithUid(QStringLiteral("A"));
        QCOMPARE(a, existing); // overwritten in place
        QCOMPARE(a->text(), QStringLiteral("New text @Acme #dev"));
        QVERIFY(a->isInvoiced());
        QCOMPARE(a->timeFrom(), nine.addDays(1));
        QCOMPARE(a->timeTo(), ten.addDays(1));
        QCOMPARE(a->yearMonth(), 201603);
        QCOMPARE(a->createdAt(), created);
        QCOMPARE(a->modifiedAt(), modified);
        // The project follows the text, resolved in the main store.
        QVERIFY(a->project());
        QCOMPARE(a->project()->name(), QStringLiteral("Acme"));
        QCOMPARE(a->project()->context(), &context);

        Activity *b = context.activityWithUid(QStringLiteral("B"));
        QVERIFY(b);
        QCOMPARE(b->text(), QStringLiteral("Fresh"));
        QCOMPARE(b->createdAt(), main.clock().now());
    }

    void importingTwiceAddsNothing()
    {
        ExportFixture main;
        ExportFixture import;
        const QList<Activity *> source{
            import.addActivity(QStringLiteral("One"), nine, ten, false, QStringLiteral("A")),
            import.addActivity(QStringLiteral("Two"), nine, ten, false, QStringLiteral("B"))};
        QCOMPARE(ActivityImporter::importActivities(source, main.store()).count, 2);
        QCOMPARE(ActivityImporter::importActivities(source, main.store()).count, 2);
        QCOMPARE(main.context().count(EntityType::Activity), qint64(2));
    }

    void equalUidsInTheSourceMakeOneActivity()
    {
        ExportFixture main;
        ExportFixture import;
        const QList<Activity *> source{
            import.addActivity(QStringLiteral("First"), nine, ten, false, QStringLiteral("A")),
            import.addActivity(QStringLiteral("Second"), nine, ten, true, QStringLiteral("A"))};
        const ActivityImporter::Result result = ActivityImporter::importActivities(source, main.store());
        QCOMPARE(result.count, 2);
        QCOMPARE(main.context().count(EntityType::Activity), qint64(1));
        QCOMPARE(main.context().activityWithUid(QStringLiteral("A"))->text(), QStringLiteral("Second"));
    }

    void importedActivityLosesItsTombstone()
    {
        ExportFixture main;
        Activity *gone = main.addActivity(QStringLiteral("Gone"), nine, ten, false, QStringLiteral("A"));
        main.addActivity(QStringLiteral("Other"), nine, ten, false, QStringLiteral("C"));
        DeletedActivity::deleteActivity(gone, main.context());
        DeletedActivity::deleteActivity(main.context().activityWithUid(QStringLiteral("C")), main.context());
        QVERIFY(main.context().save());
        QCOMPARE(main.context().count(EntityType::DeletedActivity), qint64(2));

        ExportFixture import;
        const QList<Activity *> source{
            import.addActivity(QStringLiteral("Back"), nine, ten, false, QStringLiteral("A"))};
        QVERIFY(ActivityImporter::importActivities(source, main.store()).ok());
        const QList<DeletedActivity *> tombstones = main.context().fetch<DeletedActivity>();
        QCOMPARE(tombstones.size(), 1);
        QCOMPARE(tombstones.at(0)->uid(), QStringLiteral("C"));
        QVERIFY(main.context().activityWithUid(QStringLiteral("A")));
    }

    void failedSaveImportsNothing()
    {
        ExportFixture main;
        Activity *existing = main.addActivity(QStringLiteral("Kept"), nine, ten, false, QStringLiteral("A"));
        DeletedActivity::deleteActivity(
            main.addActivity(QStringLiteral("x"), nine, ten, false, QStringLiteral("B")), main.context());
        QVERIFY(main.context().save());

        ExportFixture import;
        Activity *changed =
            import.addActivity(QStringLiteral("Changed"), nine, ten, true, QStringLiteral("A"));
        // Unsaved in the import store, as after a failed save there.
        Activity *tooShort = ExportFixture::makeActivity(import.context(), QStringLiteral("Zero"), nine, nine,
                                                         false, QStringLiteral("B"));
        const QList<Activity *> source{changed, tooShort};
        const ActivityImporter::Result result = ActivityImporter::importActivities(source, main.store());
        QVERIFY(!result.ok());
        QCOMPARE(result.count, 2);
        QCOMPARE(ActivityImporter::resultText(result), QStringLiteral("Error occurred!"));

        QCOMPARE(existing->text(), QStringLiteral("Kept"));
        QVERIFY(!existing->isInvoiced());
        QCOMPARE(main.context().count(EntityType::Activity), qint64(1));
        QCOMPARE(main.context().count(EntityType::DeletedActivity), qint64(1));
    }

    // A store holding few activities next to the file is searched in one pass, a larger one uid by uid;
    // either way an existing uid is overwritten in place and a tombstone of an imported uid goes.
    void storesSmallOrLargeAgainstTheFile_data()
    {
        QTest::addColumn<int>("others");
        QTest::newRow("small store") << 0;
        QTest::newRow("large store") << 40;
    }

    void storesSmallOrLargeAgainstTheFile()
    {
        QFETCH(int, others);
        ExportFixture main;
        for (int i = 0; i < others; ++i)
            main.addActivity(QStringLiteral("other"), nine, ten, false, QStringLiteral("O%1").arg(i));
        Activity *existing = main.addActivity(QStringLiteral("Old"), nine, ten, false, QStringLiteral("A"));
        DeletedActivity::deleteActivity(
            main.addActivity(QStringLiteral("Gone"), nine, ten, false, QStringLiteral("B")), main.context());
        QVERIFY(main.context().save());

        ExportFixture import;
        const QList<Activity *> source{
            import.addActivity(QStringLiteral("New"), nine, ten, false, QStringLiteral("A")),
            import.addActivity(QStringLiteral("Back"), nine, ten, false, QStringLiteral("B")),
            import.addActivity(QStringLiteral("Fresh"), nine, ten, false, QStringLiteral("C"))};
        QCOMPARE(ActivityImporter::importActivities(source, main.store()).count, 3);

        QCOMPARE(main.context().activityWithUid(QStringLiteral("A")), existing);
        QCOMPARE(existing->text(), QStringLiteral("New"));
        QCOMPARE(main.context().activityWithUid(QStringLiteral("B"))->text(), QStringLiteral("Back"));
        QCOMPARE(main.context().count(EntityType::DeletedActivity), qint64(0));
        QCOMPARE(main.context().count(EntityType::Activity), qint64(others + 3));
    }

    void manyActivitiesAcrossLookupBatches()
    {
        ExportFixture main;
        ExportFixture import;
        QList<Activity *> source;
        for (int i = 0; i < 1200; ++i) {
            const QString uid = QStringLiteral("U%1").arg(i);
            if (i % 3 == 0)
                ExportFixture::makeActivity(main.context(), QStringLiteral("old"), nine, ten, false, uid);
            source << ExportFixture::makeActivity(import.context(), QStringLiteral("new %1").arg(i), nine,
                                                  ten, false, uid);
        }
        QVERIFY(main.context().save());
        QVERIFY(import.context().save());
        QCOMPARE(ActivityImporter::importActivities(source, main.store()).count, 1200);
        QCOMPARE(main.context().count(EntityType::Activity), qint64(1200));
        QCOMPARE(main.context().count(EntityType::Activity, QStringLiteral("text = 'old'")), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestImportCopy)
#include "tst_ImportCopy.moc"
