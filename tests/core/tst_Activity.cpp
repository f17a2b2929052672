#include "Activity.h"
#include "DateHelpers.h"
#include "DeletedActivity.h"
#include "Project.h"
#include "StoreFixture.h"
#include "Task.h"
#include "store/StoreErrors.h"

#include <QRegularExpression>
#include <QTest>

namespace {

const QDateTime nine(QDate(2016, 3, 14), QTime(9, 0));

QDateTime local(int year, int month, int day, int hour, int minute, int second = 0, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec));
}

QStringList namesOf(const QList<Task *> &tasks)
{
    QStringList names;
    for (const Task *task : tasks)
        names.append(task->name());
    names.sort();
    return names;
}

} // namespace

class TestActivity : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The yearMonth cases depend on a zone with daylight saving; ctest sets it.
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Berlin"));
    }

    void insertionGivesUidAndTimes()
    {
        StoreFixture fixture;
        Activity *first = fixture.context().insertActivity();
        Activity *second = fixture.context().insertActivity();
        static const QRegularExpression canonical(
            QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
        QVERIFY2(canonical.match(first->uid()).hasMatch(), qPrintable(first->uid()));
        QVERIFY(first->uid() != second->uid());
        QCOMPARE(first->createdAt(), nine);
        QCOMPARE(first->modifiedAt(), nine);
        QVERIFY(!first->isInvoiced());
        QCOMPARE(first->yearMonth(), 0);

        first->setTimeFrom(nine);
        first->setTimeTo(nine.addSecs(1));
        const QString uid = first->uid();
        fixture.context().deleteObject(second);
        QVERIFY(fixture.context().save());
        fixture.clock().advanceSecs(3600);
        fixture.reopen();
        Activity *reloaded = fixture.context().activityWithUid(uid);
        QVERIFY(reloaded);
        QCOMPARE(reloaded->createdAt(), nine);
    }

    void durationsFloorEachEnd_data()
    {
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<qint64>("secs");
        QTest::addColumn<qint64>("mins");
        const QDateTime ten = local(2016, 3, 14, 10, 0);
        QTest::newRow("across a second boundary")
            << ten.addMSecs(900) << ten.addMSecs(1100) << qint64(1) << qint64(1);
        QTest::newRow("within one second")
            << ten.addMSecs(100) << ten.addMSecs(999) << qint64(0) << qint64(0);
        QTest::newRow("just under two seconds") << ten << ten.addMSecs(1999) << qint64(1) << qint64(1);
        QTest::newRow("sixty seconds") << ten << ten.addSecs(60) << qint64(60) << qint64(1);
        QTest::newRow("sixty-one seconds") << ten << ten.addSecs(61) << qint64(61) << qint64(2);
        QTest::newRow("negative") << ten.addSecs(61) << ten << qint64(-61) << qint64(-1);
        QTest::newRow("before 1970") << QDateTime::fromMSecsSinceEpoch(-1500)
                                     << QDateTime::fromMSecsSinceEpoch(200) << qint64(2) << qint64(1);
        QTest::newRow("no end") << ten << QDateTime() << qint64(0) << qint64(0);
    }

    void durationsFloorEachEnd()
    {
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(qint64, secs);
        QFETCH(qint64, mins);
        StoreFixture fixture;
        Activity *activity = StoreFixture::makeActivity(fixture.context(), QStringLiteral("x"), from, to);
        QCOMPARE(activity->durationSecs(), secs);
        QCOMPARE(activity->durationMins(), mins);
        if (secs <= 0)
            return;
        // the same after a round trip through the store
        QVERIFY(fixture.context().save());
        const QString uid = activity->uid();
        fixture.reopen();
        QCOMPARE(fixture.context().activityWithUid(uid)->durationSecs(), secs);
    }

    void yearMonthFollowsTheLocalStart_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<int>("yearMonth");
        QTest::newRow("31 January 23:30, ends in February") << local(2016, 1, 31, 23, 30) << 201601;
        QTest::newRow("1 February 00:30 (still January in UTC)") << local(2016, 2, 1, 0, 30) << 201602;
        QTest::newRow("1 April 00:30 in summer time") << local(2016, 4, 1, 0, 30) << 201604;
        QTest::newRow("31 December 23:59") << local(2015, 12, 31, 23, 59) << 201512;
        QTest::newRow("a UTC date is read in local time")
            << QDateTime(QDate(2016, 2, 29), QTime(23, 30), Qt::UTC) << 201603;
    }

    void yearMonthFollowsTheLocalStart()
    {
        QFETCH(QDateTime, start);
        QFETCH(int, yearMonth);
        QCOMPARE(DateHelpers::yearMonth(start), yearMonth);
        StoreFixture fixture;
        Activity *activity =
            StoreFixture::makeActivity(fixture.context(), QStringLiteral("x"), start, start.addSecs(3600));
        QCOMPARE(activity->yearMonth(), yearMonth);
        activity->setTimeFrom(QDateTime());
        QCOMPARE(activity->yearMonth(), 0);
    }

    void compareBySecondsIgnoresFractions_data()
    {
        QTest::addColumn<QDateTime>("a");
        QTest::addColumn<QDateTime>("b");
        QTest::addColumn<int>("expected");
        const QDateTime ten = local(2016, 3, 14, 10, 0);
        QTest::newRow("same second") << ten.addMSecs(100) << ten.addMSecs(900) << 0;
        QTest::newRow("next second") << ten.addMSecs(900) << ten.addMSecs(1000) << -1;
        QTest::newRow("later") << ten.addSecs(2) << ten.addMSecs(1999) << 1;
        QTest::newRow("before 1970, same second")
            << QDateTime::fromMSecsSinceEpoch(-1900) << QDateTime::fromMSecsSinceEpoch(-1001) << 0;
        QTest::newRow("before 1970, across zero")
            << QDateTime::fromMSecsSinceEpoch(-1) << QDateTime::fromMSecsSinceEpoch(0) << -1;
    }

    void compareBySecondsIgnoresFractions()
    {
        QFETCH(QDateTime, a);
        QFETCH(QDateTime, b);
        QFETCH(int, expected);
        const auto order = DateHelpers::compareBySeconds(a, b);
        QCOMPARE(order < 0 ? -1 : (order > 0 ? 1 : 0), expected);
    }

    void derivedTexts()
    {
        StoreFixture fixture;
        Activity *activity =
            StoreFixture::makeActivity(fixture.context(), QStringLiteral("x #beta #Beta2 #alpha"),
                                       local(2016, 3, 5, 14, 7), local(2016, 3, 5, 15, 0));
        QVERIFY(activity->tasksStr().isNull());
        QVERIFY(fixture.context().save());
        QCOMPARE(activity->tasksStr(), QStringLiteral("Beta2, alpha, beta")); // plain, case-sensitive order
        // en_US short date and short time
        QCOMPARE(activity->timeFromStr().simplified().replace(QChar(0x202f), QLatin1Char(' ')),
                 QStringLiteral("3/5/16 2:07 PM"));
        QVERIFY(Activity::dateStr(QDateTime()).isEmpty());
    }

    void tagResolution_data()
    {
        QTest::addColumn<QString>("firstText");
        QTest::addColumn<QString>("secondText");
        QTest::addColumn<bool>("sameProject");
        QTest::addColumn<QString>("projectName");
        QTest::addColumn<bool>("sameTasks");
        QTest::addColumn<QStringList>("taskNames");
        QTest::newRow("project case change keeps project and name")
            << "Call @Acme #phone"
            << "Call @acme #phone" << true << "Acme" << true << QStringList{"phone"};
        QTest::newRow("task case change keeps tasks and names")
            << "Fix @Acme #UI #docs"
            << "Fix @Acme #ui #Docs" << true << "Acme" << true << QStringList{"UI", "docs"};
        QTest::newRow("other project replaces it")
            << "Call @Acme"
            << "Call @Initech" << false << "Initech" << true << QStringList{};
        QTest::newRow("one task fewer replaces the tasks")
            << "Fix #ui #docs"
            << "Fix #docs" << true << QString() << false << QStringList{"docs"};
        QTest::newRow("same count, other name replaces the tasks")
            << "Fix #ui #docs"
            << "Fix #ui #tests" << true << QString() << false << QStringList{"tests", "ui"};
        QTest::newRow("tags removed clears project and tasks")
            << "Fix @Acme #ui"
            << "Fix" << false << QString() << false << QStringList{};
    }

    void tagResolution()
    {
        QFETCH(QString, firstText);
        QFETCH(QString, secondText);
        QFETCH(bool, sameProject);
        QFETCH(QString, projectName);
        QFETCH(bool, sameTasks);
        QFETCH(QStringList, taskNames);
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *activity = StoreFixture::saveActivity(context, firstText, nine, nine.addSecs(60));
        Project *projectBefore = activity->project();
        const QList<Task *> tasksBefore = activity->tasks();

        activity->setText(secondText);
        QCOMPARE(activity->project(), projectBefore); // resolved on save only
        QVERIFY(context.save());

        QCOMPARE(activity->project() == projectBefore, sameProject);
        QCOMPARE(activity->project() ? activity->project()->name() : QString(), projectName);
        QCOMPARE(activity->tasks() == tasksBefore, sameTasks);
        QCOMPARE(namesOf(activity->tasks()), taskNames);

        // what was saved is what a fresh context reads
        std::unique_ptr<Context> other = fixture.store().newContext(false);
        Activity *stored = other->objectWithId<Activity>(activity->objectId());
        QCOMPARE(stored->project() ? stored->project()->name() : QString(), projectName);
        QCOMPARE(namesOf(stored->tasks()), taskNames);
    }

    void newActivityChangesTheStoredNameCase()
    {
        StoreFixture fixture;
        Activity *first = StoreFixture::saveActivity(fixture.context(), "Call @Acme", nine, nine.addSecs(60));
        Activity *second =
            StoreFixture::saveActivity(fixture.context(), "Mail @acme", nine, nine.addSecs(60));
        QCOMPARE(second->project(), first->project());
        QCOMPARE(first->project()->name(), QStringLiteral("acme"));
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 1);
    }

    void validationRejectsShortActivities()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *zero =
            StoreFixture::makeActivity(context, QStringLiteral("zero"), nine, nine.addMSecs(999));
        PdError error;
        QVERIFY(!context.save(&error));
        QCOMPARE(error.domain, QStringLiteral("activity_duration"));
        QCOMPARE(error.code, 1550);
        QCOMPARE(error.failureReason, QStringLiteral("Duration must be atleast one second long"));
        QCOMPARE(error.subject.value<Activity *>(), zero);

        // Several failures combine: the newest first, then the earlier ones in their order.
        Activity *negative =
            StoreFixture::makeActivity(context, QStringLiteral("negative"), nine, nine.addSecs(-5));
        Activity *open = StoreFixture::makeActivity(context, QStringLiteral("open"), nine, QDateTime());
        QVERIFY(!context.save(&error));
        QCOMPARE(error.domain, StoreErrors::validationDomain);
        QCOMPARE(error.code, 1560);
        QCOMPARE(error.detailedErrors.size(), 3);
        QCOMPARE(error.detailedErrors.at(0).subject.value<Activity *>(), open);
        QCOMPARE(error.detailedErrors.at(1).subject.value<Activity *>(), negative);
        QCOMPARE(error.detailedErrors.at(2).subject.value<Activity *>(), zero);
        for (const PdError &detail : std::as_const(error.detailedErrors))
            QCOMPARE(detail.code, 1550);
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 0);
    }

    void validationCombinesWithAStandardError()
    {
        StoreFixture fixture;
        Activity *activity = StoreFixture::makeActivity(fixture.context(), QStringLiteral("x"), nine, nine);
        activity->setUid(QString());
        PdError error;
        QVERIFY(!fixture.context().save(&error));
        QCOMPARE(error.code, 1560);
        QCOMPARE(error.detailedErrors.size(), 2);
        QCOMPARE(error.detailedErrors.at(0).code, 1550);
        QCOMPARE(error.detailedErrors.at(1).code, StoreErrors::missingValueCode);
    }

    void tombstoneDeletionKeepsTagsAndWaitsForSave()
    {
        StoreFixture fixture;
        Context &context = fixture.context();
        Activity *activity = StoreFixture::saveActivity(context, "Call @Acme #phone", nine, nine.addSecs(60));
        const QString uid = activity->uid();
        fixture.clock().advanceSecs(90);

        DeletedActivity *tombstone = DeletedActivity::deleteActivity(activity, context);
        QCOMPARE(tombstone->uid(), uid);
        QCOMPARE(tombstone->deletedAt(), nine.addSecs(90));
        QVERIFY(!tombstone->isSynced());
        QVERIFY(activity->isDeleted());
        QVERIFY(activity->text().isNull());
        QVERIFY(!activity->project());
        QVERIFY(activity->tasks().isEmpty());
        QCOMPARE(fixture.rowCount(QStringLiteral("deleted_activity")), 0); // not saved yet
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 1);

        QVERIFY(context.save());
        QCOMPARE(fixture.rowCount(QStringLiteral("deleted_activity")), 1);
        QCOMPARE(fixture.rowCount(QStringLiteral("activity")), 0);
        QCOMPARE(fixture.rowCount(QStringLiteral("project")), 1);
        QCOMPARE(fixture.rowCount(QStringLiteral("task")), 1);
    }

    void initialPosition_data()
    {
        QTest::addColumn<bool>("ordered");
        QTest::addColumn<QList<qint64>>("existing"); // -1: a record without position
        QTest::addColumn<QList<qint64>>("expected"); // of two new records; -1: none
        QTest::newRow("ordering off") << false << QList<qint64>{4} << QList<qint64>{-1, -1};
        QTest::newRow("after the highest") << true << QList<qint64>{4, 9, -1} << QList<qint64>{10, 11};
        QTest::newRow("first ordered record") << true << QList<qint64>{-1} << QList<qint64>{0, 1};
        QTest::newRow("empty store") << true << QList<qint64>{} << QList<qint64>{0, 1};
    }

    void initialPosition()
    {
        QFETCH(bool, ordered);
        QFETCH(QList<qint64>, existing);
        QFETCH(QList<qint64>, expected);
        StoreFixture fixture;
        Context &context = fixture.context();
        for (int i = 0; i < existing.size(); ++i) {
            Project *project = context.insertProject();
            project->setName(QStringLiteral("existing %1").arg(i));
            if (existing.at(i) >= 0)
                project->setPosition(existing.at(i));
        }
        QVERIFY(context.save());
        fixture.store().setOrderedByHand(EntityType::Project, ordered);
        fixture.store().setOrderedByHand(EntityType::Task, !ordered); // each entity has its own setting

        const Project *first = context.findOrCreateProject(QStringLiteral("first"));
        const Project *second = context.findOrCreateProject(QStringLiteral("second"));
        QCOMPARE(first->position().value_or(-1), expected.at(0));
        QCOMPARE(second->position().value_or(-1), expected.at(1));
        QCOMPARE(context.findOrCreateTask(QStringLiteral("task"))->position().has_value(), !ordered);
    }
};

QTEST_GUILESS_MAIN(TestActivity)
#include "tst_Activity.moc"
