#include "ComputerEventSettings.h"
#include "DropboxSyncIntervalCollection.h"
#include "NotificationSettings.h"
#include "PdSettings.h"
#include "TestHome.h"
#include "fakes/FakeKeychain.h"
#include "fakes/FakeLoginItem.h"
#include "linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

namespace {

using Getter = std::function<QVariant(const PdSettings &)>;

// Every getter the tables below refer to, by name.
const QHash<QString, Getter> &getters()
{
    static const QHash<QString, Getter> all = {
        {"recentItemsCount", [](const PdSettings &s) { return QVariant(s.recentItemsCount()); }},
        {"recentItemsOrderedByDate",
         [](const PdSettings &s) { return QVariant(s.recentItemsOrderedByDate()); }},
        {"recentItemsExcludeInvoiced",
         [](const PdSettings &s) { return QVariant(s.recentItemsExcludeInvoiced()); }},
        {"appAppearance", [](const PdSettings &s) { return QVariant(s.appAppearance()); }},
        {"appStatusbarType", [](const PdSettings &s) { return QVariant(s.appStatusbarType()); }},
        {"appNotificationType", [](const PdSettings &s) { return QVariant(s.appNotificationType()); }},
        {"startAtLogin", [](const PdSettings &s) { return QVariant(s.startAtLogin()); }},
        {"hasGlobalHotKey", [](const PdSettings &s) { return QVariant(s.hasGlobalHotKey()); }},
        {"globalHotKeyCode", [](const PdSettings &s) { return QVariant(s.globalHotKey()->keyCode); }},
        {"hideMainWindowOnStartTracking",
         [](const PdSettings &s) { return QVariant(s.hideMainWindowOnStartTracking()); }},
        {"dontHideMainWindowOnStartTracking",
         [](const PdSettings &s) { return QVariant(s.dontHideMainWindowOnStartTracking()); }},
        {"endCurrentActivityOnTrack",
         [](const PdSettings &s) { return QVariant(s.endCurrentActivityOnTrack()); }},
        {"notTrackingInterval",
         [](const PdSettings &s) { return QVariant(s.notTrackingNotification()->interval()); }},
        {"reminderBounceDockRepeat",
         [](const PdSettings &s) { return QVariant(s.reminderNotification()->bounceDockRepeat()); }},
        {"screenLockedResume",
         [](const PdSettings &s) { return QVariant(s.eventScreenLockedSettings()->resumeTracking()); }},
        {"sleepStop", [](const PdSettings &s) { return QVariant(s.eventSleepSettings()->stopTracking()); }},
        {"csvFieldSeparator", [](const PdSettings &s) { return QVariant(s.csvFieldSeparator()); }},
        {"defaultActivityExportFormat",
         [](const PdSettings &s) { return QVariant(s.defaultActivityExportFormat()); }},
        {"reportSidebarProjectsVisible",
         [](const PdSettings &s) { return QVariant(s.reportSidebarProjectsVisible()); }},
        {"reportSidebarTasksVisible",
         [](const PdSettings &s) { return QVariant(s.reportSidebarTasksVisible()); }},
        {"reportSidebarProjectsOrdered",
         [](const PdSettings &s) { return QVariant(s.reportSidebarProjectsOrdered()); }},
        {"reportSidebarTasksOrdered",
         [](const PdSettings &s) { return QVariant(s.reportSidebarTasksOrdered()); }},
        {"reportSidebarDynamicItems",
         [](const PdSettings &s) { return QVariant(s.reportSidebarDynamicItems()); }},
        {"reportDurationFormat", [](const PdSettings &s) { return QVariant(s.reportDurationFormat()); }},
        {"reportFilterVisible", [](const PdSettings &s) { return QVariant(s.reportFilterVisible()); }},
        {"reportFilterToolbarVisible",
         [](const PdSettings &s) { return QVariant(s.reportFilterToolbarVisible()); }},
        {"idleTimeoutDetection", [](const PdSettings &s) { return QVariant(s.idleTimeoutDetection()); }},
        {"idleTimeoutInterval", [](const PdSettings &s) { return QVariant(s.idleTimeoutInterval()); }},
        {"defaultIdleAction", [](const PdSettings &s) { return QVariant(s.defaultIdleAction()); }},
        {"lastActivityText", [](const PdSettings &s) { return QVariant(s.lastActivityText()); }},
        {"syncMethod", [](const PdSettings &s) { return QVariant(s.syncMethod()); }},
        {"dropboxSyncInterval", [](const PdSettings &s) { return QVariant(s.dropboxSyncInterval()); }},
        {"dropboxAccountName", [](const PdSettings &s) { return QVariant(s.dropboxAccountName()); }},
        {"dropboxSyncDate", [](const PdSettings &s) { return QVariant(s.dropboxSyncDate()); }},
        {"skipMigrations", [](const PdSettings &s) { return QVariant(s.skipMigrations()); }},
    };
    return all;
}

using Setter = std::function<void(PdSettings &)>;

const QHash<QString, Setter> &setters()
{
    static const QHash<QString, Setter> all = {
        {"idleDetection on", [](PdSettings &s) { s.setIdleTimeoutDetection(true); }},
        {"tasks hidden", [](PdSettings &s) { s.setReportSidebarTasksVisible(false); }},
        {"idle timeout 30", [](PdSettings &s) { s.setIdleTimeoutInterval(30); }},
        {"idle timeout 90", [](PdSettings &s) { s.setIdleTimeoutInterval(90); }},
        {"duration format 2", [](PdSettings &s) { s.setReportDurationFormat(2); }},
        {"filter visible", [](PdSettings &s) { s.setReportFilterVisible(true); }},
        {"recent by text", [](PdSettings &s) { s.setRecentItemsOrderedByDate(false); }},
        {"recent count 99", [](PdSettings &s) { s.setRecentItemsCount(99); }},
        {"sidebar collapsed", [](PdSettings &s) { s.setReportWindowSidebarCollapsed(true, 180); }},
        {"sidebar open", [](PdSettings &s) { s.setReportWindowSidebarCollapsed(false, 212.5); }},
        {"reminder interval 500", [](PdSettings &s) { s.reminderNotification()->setInterval(500); }},
        {"reminder bounce", [](PdSettings &s) { s.reminderNotification()->setBounceDock(true); }},
        {"screensaver stop", [](PdSettings &s) { s.eventScreensaverSettings()->setStopTracking(true); }},
        {"idle action 3", [](PdSettings &s) { s.setDefaultIdleAction(3); }},
        {"idle action 2", [](PdSettings &s) { s.setDefaultIdleAction(2); }},
        {"hot key",
         [](PdSettings &s) {
             s.setGlobalHotKey(PdSettings::GlobalHotKey{40, 1048840});
         }},
        {"no hot key", [](PdSettings &s) { s.setGlobalHotKey(std::nullopt); }},
        {"sync date",
         [](PdSettings &s) { s.setDropboxSyncDate(QDateTime(QDate(2016, 3, 14), QTime(9, 0, 0, 250))); }},
        {"account without id",
         [](PdSettings &s) { s.setDropboxConnectedAccountName(QStringLiteral("Ann"), QString()); }},
        {"appearance 7", [](PdSettings &s) { s.setAppAppearance(7); }},
        {"last text",
         [](PdSettings &s) { s.setLastActivityText(QStringLiteral("Write offer @Acme #sales")); }},
    };
    return all;
}

} // namespace

class TestPdSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_store;

    QString storePath() const { return m_dir->filePath(QStringLiteral("Pendulo.conf")); }

    // A fresh store file holding `values`.
    QSettings &storeWith(const QVariantMap &values = {})
    {
        m_store.reset();
        QFile::remove(storePath());
        m_store = std::make_unique<QSettings>(storePath(), QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            m_store->setValue(it.key(), it.value());
        m_store->sync();
        return *m_store;
    }

    // What a script reading the file sees for `key`; a null text when the key is not in the file.
    QString valueOnDisk(const QString &key) const
    {
        QFile file(storePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QString prefix = key + QLatin1Char('=');
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        return {};
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_store.reset();
        m_dir.reset();
    }

    void readsStoredFormsWithDefaultsAndNormalisation_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("getter");
        QTest::addColumn<QVariant>("expected");

        const auto row = [](const char *name, const QVariantMap &stored, const char *getter,
                            const QVariant &expected) {
            QTest::newRow(name) << stored << QString::fromLatin1(getter) << expected;
        };
        // Values read at creation.
        row("recent count absent", {}, "recentItemsCount", 10);
        row("recent count 25", {{"recentItemsCount", 25}}, "recentItemsCount", 25);
        row("recent count 80", {{"recentItemsCount", 80}}, "recentItemsCount", 50);
        row("recent count -3", {{"recentItemsCount", -3}}, "recentItemsCount", 0);
        row("recent count huge", {{"recentItemsCount", "99999999999"}}, "recentItemsCount", 50);
        row("recent count not a number", {{"recentItemsCount", "many"}}, "recentItemsCount", 10);
        row("recent order absent", {}, "recentItemsOrderedByDate", true);
        row("recent order text", {{"recentItemsOrderedBy", "text"}}, "recentItemsOrderedByDate", false);
        row("recent order Text", {{"recentItemsOrderedBy", "Text"}}, "recentItemsOrderedByDate", true);
        row("exclude invoiced absent", {}, "recentItemsExcludeInvoiced", false);
        row("exclude invoiced", {{"recentItemsExcludeInvoiced", true}}, "recentItemsExcludeInvoiced", true);
        row("appearance absent", {}, "appAppearance", 1);
        row("appearance 3", {{"appearance", 3}}, "appAppearance", 3);
        row("appearance 0", {{"appearance", 0}}, "appAppearance", 1);
        row("appearance 4", {{"appearance", 4}}, "appAppearance", 1);
        row("statusbar absent", {}, "appStatusbarType", 0);
        row("statusbar 2", {{"statusbarType", 2}}, "appStatusbarType", 2);
        row("statusbar 3", {{"statusbarType", 3}}, "appStatusbarType", 0);
        row("notification type absent", {}, "appNotificationType", 0);
        row("notification type 2", {{"notificationType", 2}}, "appNotificationType", 2);
        row("notification type 1", {{"notificationType", 1}}, "appNotificationType", 2);
        row("start at login absent", {}, "startAtLogin", false);
        row("start at login", {{"startAtLogin", true}}, "startAtLogin", true);
        row("hot key absent", {}, "hasGlobalHotKey", false);
        row("hot key code only", {{"globalHotKeyCode", 40}}, "hasGlobalHotKey", false);
        row("hot key flags only", {{"globalHotKeyFlags", 256}}, "hasGlobalHotKey", false);
        row("hot key", {{"globalHotKeyCode", 40}, {"globalHotKeyFlags", 256}}, "globalHotKeyCode", 40);
        row("hide window", {{"hideMainWindowOnStartTracking", true}}, "hideMainWindowOnStartTracking", true);
        row("don't hide window", {{"dontHideMainWindowOnStartTracking", "true"}},
            "dontHideMainWindowOnStartTracking", true);
        row("end current absent", {}, "endCurrentActivityOnTrack", false);
        row("end current", {{"endCurrentActivityOnTrack", true}}, "endCurrentActivityOnTrack", true);
        row("not tracking interval absent", {}, "notTrackingInterval", 1);
        row("not tracking interval 0", {{"notTrackingNotificationInterval", 0}}, "notTrackingInterval", 1);
        row("not tracking interval 121", {{"notTrackingNotificationInterval", 121}}, "notTrackingInterval",
            120);
        row("not tracking interval 30", {{"notTrackingNotificationInterval", 30}}, "notTrackingInterval", 30);
        row("reminder repeat", {{"reminderNotificationBounceDockRepeat", true}}, "reminderBounceDockRepeat",
            true);
        row("screen locked resume", {{"eventScreenLockedResumeTracking", true}}, "screenLockedResume", true);
        row("sleep stop absent", {}, "sleepStop", false);
        row("sleep stop written by hand as no", {{"eventSleepStopTracking", "no"}}, "sleepStop", false);

        // Values read at each access.
        row("separator absent", {}, "csvFieldSeparator", ";");
        row("separator tab", {{"csvFieldSeparator", "{TAB}"}}, "csvFieldSeparator", "{TAB}");
        row("export format absent", {}, "defaultActivityExportFormat", 0);
        row("export format xml", {{"default_activity_export_format", 1}}, "defaultActivityExportFormat", 1);
        row("export format 5", {{"default_activity_export_format", 5}}, "defaultActivityExportFormat", 0);
        row("projects visible absent", {}, "reportSidebarProjectsVisible", true);
        row("projects visible 0", {{"report_sidebar_projects_visible", "0"}}, "reportSidebarProjectsVisible",
            false);
        row("tasks visible absent", {}, "reportSidebarTasksVisible", true);
        row("tasks visible yes", {{"report_sidebar_tasks_visible", "yes"}}, "reportSidebarTasksVisible",
            false);
        row("tasks visible true", {{"report_sidebar_tasks_visible", "true"}}, "reportSidebarTasksVisible",
            false);
        row("tasks visible 1", {{"report_sidebar_tasks_visible", "1"}}, "reportSidebarTasksVisible", true);
        row("projects ordered absent", {}, "reportSidebarProjectsOrdered", false);
        row("projects ordered 1", {{"report_sidebar_projects_ordered", "1"}}, "reportSidebarProjectsOrdered",
            true);
        row("tasks ordered 1", {{"report_sidebar_tasks_ordered", "1"}}, "reportSidebarTasksOrdered", true);
        row("dynamic items absent", {}, "reportSidebarDynamicItems", false);
        row("dynamic items 1", {{"reportSidebarDynamicItems", "1"}}, "reportSidebarDynamicItems", true);
        row("duration format absent", {}, "reportDurationFormat", 0);
        row("duration format 2", {{"report_duration_format", "2"}}, "reportDurationFormat", 2);
        row("duration format 3", {{"report_duration_format", "3"}}, "reportDurationFormat", 0);
        row("filter absent", {}, "reportFilterVisible", false);
        row("filter visible", {{"reportFilterVisible", true}}, "reportFilterVisible", true);
        row("filter toolbar absent", {}, "reportFilterToolbarVisible", true);
        row("filter toolbar hidden", {{"reportFilterToolbarVisible", false}}, "reportFilterToolbarVisible",
            false);
        row("idle detection absent", {}, "idleTimeoutDetection", false);
        row("idle detection 1", {{"idleDetectionEnabled", "1"}}, "idleTimeoutDetection", true);
        row("idle timeout absent", {}, "idleTimeoutInterval", 15);
        row("idle timeout 0", {{"idleDetectionTimeout", "0"}}, "idleTimeoutInterval", 15);
        row("idle timeout 1", {{"idleDetectionTimeout", "1"}}, "idleTimeoutInterval", 1);
        row("idle timeout 60", {{"idleDetectionTimeout", "60"}}, "idleTimeoutInterval", 60);
        row("idle timeout 61", {{"idleDetectionTimeout", "61"}}, "idleTimeoutInterval", 15);
        row("idle action absent", {}, "defaultIdleAction", 1);
        row("idle action 2", {{"defaultIdleAction", 2}}, "defaultIdleAction", 2);
        row("idle action 3", {{"defaultIdleAction", 3}}, "defaultIdleAction", 1);
        row("last text absent", {}, "lastActivityText", "");
        row("last text with separators", {{"lastActivityText", "Call \"Bob\"; @Acme #sales, = done"}},
            "lastActivityText", "Call \"Bob\"; @Acme #sales, = done");
        row("sync method absent", {}, "syncMethod", 0);
        row("sync method 1", {{"syncMethod", 1}}, "syncMethod", 1);
        row("sync method 2", {{"syncMethod", 2}}, "syncMethod", 0);
        row("sync interval 3", {{"dropboxSyncInterval", 3}}, "dropboxSyncInterval", 3);
        row("sync interval 4", {{"dropboxSyncInterval", 4}}, "dropboxSyncInterval", 0);
        row("account name absent", {}, "dropboxAccountName", QString());
        row("sync date", {{"dropbox_sync_date", "2016-03-14T08:00:00.250Z"}}, "dropboxSyncDate",
            QDateTime(QDate(2016, 3, 14), QTime(9, 0, 0, 250)));
        row("sync date garbage", {{"dropbox_sync_date", "yesterday"}}, "dropboxSyncDate", QDateTime());
        row("skip migrations absent", {}, "skipMigrations", false);
        row("skip migrations", {{"skipMigrations", true}}, "skipMigrations", true);
    }

    void readsStoredFormsWithDefaultsAndNormalisation()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QString, getter);
        QFETCH(QVariant, expected);

        storeWith(stored);
        // Read back from the file, as a later launch does.
        m_store = std::make_unique<QSettings>(storePath(), QSettings::IniFormat);
        const PdSettings settings(m_store.get());
        QVERIFY2(getters().contains(getter), qPrintable(getter));
        QCOMPARE(getters().value(getter)(settings), expected);
    }

    void settersWriteStoredFormsToDisk_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("setter");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("onDisk");

        const auto row = [](const char *setter, const char *key, const QString &onDisk,
                            const QVariantMap &stored = {}) {
            QTest::newRow(setter) << stored << QString::fromLatin1(setter) << QString::fromLatin1(key)
                                  << onDisk;
        };
        row("idleDetection on", "idleDetectionEnabled", "1");
        row("tasks hidden", "report_sidebar_tasks_visible", "0");
        row("idle timeout 30", "idleDetectionTimeout", "30");
        // Normalised to 15, the value in use already: nothing is written.
        row("idle timeout 90", "idleDetectionTimeout", QString());
        row("duration format 2", "report_duration_format", "2");
        row("filter visible", "reportFilterVisible", "true");
        row("recent by text", "recentItemsOrderedBy", "text");
        row("recent count 99", "recentItemsCount", "50");
        row("sidebar collapsed", "reportWindowSidebar", "\"180.000000, YES\"");
        row("sidebar open", "reportWindowSidebar", "\"212.500000, NO\"");
        row("reminder interval 500", "reminderNotificationInterval", "120");
        row("reminder bounce", "reminderNotificationBounceDock", "true");
        row("screensaver stop", "eventScreensaverStopTracking", "true");
        row("idle action 3", "defaultIdleAction", QString());
        row("idle action 2", "defaultIdleAction", "2");
        row("hot key", "globalHotKeyCode", "40");
        row("hot key", "globalHotKeyFlags", "1048840");
        row("no hot key", "globalHotKeyFlags", QString(),
            {{"globalHotKeyCode", 40}, {"globalHotKeyFlags", 256}});
        row("sync date", "dropbox_sync_date", "2016-03-14T08:00:00.250Z");
        row("account without id", "dropbox_account_name", "Ann", {{"dropbox_account_id", "dbid:1"}});
        row("account without id", "dropbox_account_id", QString(), {{"dropbox_account_id", "dbid:1"}});
        row("appearance 7", "appearance", "1", {{"appearance", 2}});
        row("last text", "lastActivityText", "Write offer @Acme #sales");
    }

    void settersWriteStoredFormsToDisk()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QString, setter);
        QFETCH(QString, key);
        QFETCH(QString, onDisk);

        PdSettings settings(&storeWith(stored));
        QVERIFY2(setters().contains(setter), qPrintable(setter));
        setters().value(setter)(settings);
        // Every setter flushes at once: the file holds the value without a further sync.
        QCOMPARE(valueOnDisk(key), onDisk);
    }

    void freshStoreGetsAppearanceWrittenOnly()
    {
        const PdSettings settings(&storeWith());
        QCOMPARE(valueOnDisk(QStringLiteral("appearance")), QStringLiteral("1"));
        QCOMPARE(m_store->allKeys(), QStringList{QStringLiteral("appearance")});
    }

    void creationValuesIgnoreLaterStoreChangesAccessValuesSeeThem()
    {
        QSettings &store = storeWith();
        PdSettings settings(&store);
        store.setValue(QStringLiteral("recentItemsCount"), 5);
        store.setValue(QStringLiteral("endCurrentActivityOnTrack"), true);
        store.setValue(QStringLiteral("idleDetectionTimeout"), QStringLiteral("30"));
        store.setValue(QStringLiteral("lastActivityText"), QStringLiteral("Call Bob"));

        QCOMPARE(settings.recentItemsCount(), 10);
        QCOMPARE(settings.endCurrentActivityOnTrack(), false);
        QCOMPARE(settings.idleTimeoutInterval(), 30);
        QCOMPARE(settings.lastActivityText(), QStringLiteral("Call Bob"));

        // A setter of a creation value updates memory and store.
        settings.setRecentItemsCount(7);
        QCOMPARE(settings.recentItemsCount(), 7);
        QCOMPARE(PdSettings(&store).recentItemsCount(), 7);
    }

    void boolCacheHoldsUntilSetThroughSettings()
    {
        QSettings &store = storeWith({{"reportSidebarDynamicItems", "1"}});
        PdSettings settings(&store);
        QCOMPARE(settings.reportSidebarDynamicItems(), true);
        store.setValue(QStringLiteral("reportSidebarDynamicItems"), QStringLiteral("0"));
        QCOMPARE(settings.reportSidebarDynamicItems(), true);

        settings.setReportSidebarDynamicItems(false);
        QCOMPARE(settings.reportSidebarDynamicItems(), false);
        QCOMPARE(settings.boolForKey(QStringLiteral("someOtherFlag"), true), true);
        QCOMPARE(settings.boolForKey(QStringLiteral("someOtherFlag"), false), true); // cached
    }

    void convertsOldStatusBarType_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("appearance");
        QTest::addColumn<int>("statusbarType");

        QTest::newRow("1") << QVariantMap{{"status_bar_type", 1}} << 1 << 2;
        QTest::newRow("2") << QVariantMap{{"status_bar_type", 2}} << 2 << 0;
        QTest::newRow("3 without appearance") << QVariantMap{{"status_bar_type", 3}} << 2 << 1;
        QTest::newRow("7") << QVariantMap{{"status_bar_type", 7}} << 2 << 2;
        QTest::newRow("2 beside a newer type")
            << QVariantMap{{"status_bar_type", 2}, {"statusbarType", 1}, {"appearance", 3}} << 2 << 0;
    }

    void convertsOldStatusBarType()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(int, appearance);
        QFETCH(int, statusbarType);

        const PdSettings settings(&storeWith(stored));
        QCOMPARE(settings.appAppearance(), appearance);
        QCOMPARE(settings.appStatusbarType(), statusbarType);
        QCOMPARE(valueOnDisk(QStringLiteral("status_bar_type")), QString());
        QCOMPARE(valueOnDisk(QStringLiteral("appearance")), QString::number(appearance));
        QCOMPARE(valueOnDisk(QStringLiteral("statusbarType")), QString::number(statusbarType));
    }

    void convertsOldNotificationKeys()
    {
        const QVariantMap old = {
            {"notification_not_tracking_interval", 5},
            {"notification_not_tracking_use_growl", true},
            {"notification_not_tracking_bounce_dock", false},
            {"notification_not_tracking_bounce_dock_repeat", true},
            {"notification_reminder_interval", 30},
            {"notification_reminder_use_growl", false},
            {"notification_reminder_bounce_dock", true},
            {"notification_reminder_bounce_dock_repeat", false},
        };
        const PdSettings settings(&storeWith(old));

        QCOMPARE(settings.notTrackingNotification()->interval(), 5);
        QCOMPARE(settings.notTrackingNotification()->displayNotification(), true);
        QCOMPARE(settings.notTrackingNotification()->bounceDockRepeat(), true);
        QCOMPARE(settings.reminderNotification()->interval(), 30);
        QCOMPARE(settings.reminderNotification()->bounceDock(), true);
        QCOMPARE(settings.reminderNotification()->displayNotification(), false);

        QCOMPARE(valueOnDisk(QStringLiteral("notTrackingNotificationInterval")), QStringLiteral("5"));
        QCOMPARE(valueOnDisk(QStringLiteral("notTrackingNotificationDisplayNotification")),
                 QStringLiteral("true"));
        QCOMPARE(valueOnDisk(QStringLiteral("reminderNotificationInterval")), QStringLiteral("30"));
        QCOMPARE(valueOnDisk(QStringLiteral("reminderNotificationBounceDock")), QStringLiteral("true"));
        for (auto it = old.cbegin(); it != old.cend(); ++it)
            QVERIFY2(!m_store->contains(it.key()), qPrintable(it.key()));
    }

    void clampsOldNotificationIntervals()
    {
        const PdSettings settings(
            &storeWith({{"notification_not_tracking_interval", 500}, {"notification_reminder_interval", 0}}));
        QCOMPARE(settings.notTrackingNotification()->interval(), 120);
        QCOMPARE(settings.reminderNotification()->interval(), 1);
        QCOMPARE(valueOnDisk(QStringLiteral("notTrackingNotificationInterval")), QStringLiteral("120"));
    }

    void parsesReportWindowSidebar_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("collapsed");

        QTest::newRow("absent") << QVariant() << 0.0 << false;
        QTest::newRow("collapsed") << QVariant("180.000000, YES") << 180.0 << true;
        QTest::newRow("width only") << QVariant("180.000000") << 180.0 << false;
        QTest::newRow("open") << QVariant("212.500000, NO") << 212.5 << false;
        QTest::newRow("no spaces") << QVariant("95.5,YES") << 95.5 << true;
        QTest::newRow("lower-case yes") << QVariant("180.000000, yes") << 180.0 << false;
        QTest::newRow("no number") << QVariant("wide, YES") << 0.0 << false;
        QTest::newRow("empty") << QVariant("") << 0.0 << false;
    }

    void parsesReportWindowSidebar()
    {
        QFETCH(QVariant, stored);
        QFETCH(double, width);
        QFETCH(bool, collapsed);

        QVariantMap values;
        if (stored.isValid())
            values.insert(QStringLiteral("reportWindowSidebar"), stored);
        const PdSettings settings(&storeWith(values));
        QCOMPARE(settings.reportWindowSidebarWidth(), width);
        QCOMPARE(settings.reportWindowSidebarCollapsed(), collapsed);
    }

    void sidebarGeometrySurvivesRestart()
    {
        QSettings &store = storeWith();
        PdSettings(&store).setReportWindowSidebarCollapsed(true, 233.25);
        const PdSettings restarted(&store);
        QCOMPARE(restarted.reportWindowSidebarWidth(), 233.25);
        QCOMPARE(restarted.reportWindowSidebarCollapsed(), true);
    }

    void upgradeChoosesSyncMethodFromKeychain_data()
    {
        QTest::addColumn<QVariantMap>("items");
        QTest::addColumn<bool>("keychainFails");
        QTest::addColumn<int>("syncMethod");

        QTest::newRow("empty keychain") << QVariantMap{} << false << 0;
        QTest::newRow("oauth2 token") << QVariantMap{{"oauth2_token", "abc"}} << false << 1;
        QTest::newRow("empty oauth2 token") << QVariantMap{{"oauth2_token", ""}} << false << 0;
        QTest::newRow("oauth1 token and secret")
            << QVariantMap{{"oauth_token", "t"}, {"oauth_token_secret", "s"}} << false << 1;
        QTest::newRow("oauth1 token without secret") << QVariantMap{{"oauth_token", "t"}} << false << 0;
        QTest::newRow("oauth1 token with empty secret")
            << QVariantMap{{"oauth_token", "t"}, {"oauth_token_secret", ""}} << false << 0;
        QTest::newRow("unreadable keychain") << QVariantMap{{"oauth2_token", "abc"}} << true << 0;
    }

    void upgradeChoosesSyncMethodFromKeychain()
    {
        QFETCH(QVariantMap, items);
        QFETCH(bool, keychainFails);
        QFETCH(int, syncMethod);

        FakeKeychain keychain;
        for (auto it = items.cbegin(); it != items.cend(); ++it)
            keychain.setItem(it.key(), it.value().toString());
        keychain.setFailing(keychainFails);

        PdSettings settings(&storeWith());
        // Registered defaults do not count as a stored sync method.
        settings.registerDefaults({{"syncMethod", 1}});
        QVERIFY(settings.needsUpgrade());
        settings.upgrade(keychain);
        QVERIFY(!settings.needsUpgrade());
        QCOMPARE(settings.syncMethod(), syncMethod);
        QCOMPARE(valueOnDisk(QStringLiteral("syncMethod")), QString::number(syncMethod));
    }

    void upgradeKeepsAStoredSyncMethod()
    {
        FakeKeychain keychain;
        keychain.setItem(QStringLiteral("oauth2_token"), QStringLiteral("abc"));
        PdSettings settings(&storeWith({{"syncMethod", 0}}));
        QVERIFY(!settings.needsUpgrade());
        settings.upgrade(keychain);
        QCOMPARE(settings.syncMethod(), 0);
    }

    void registeredDefaultsApplyToAccessValuesOnly()
    {
        PdSettings settings(&storeWith({{"idleDetectionTimeout", "45"}}));
        QCOMPARE(settings.reportSidebarTasksVisible(), true);
        settings.registerDefaults({
            {"recentItemsCount", 5},
            {"appearance", 3},
            {"endCurrentActivityOnTrack", true},
            {"report_sidebar_tasks_visible", "0"},
            {"csvFieldSeparator", ","},
            {"idleDetectionTimeout", "30"},
            {"syncMethod", 1},
        });

        QCOMPARE(settings.recentItemsCount(), 10);
        QCOMPARE(settings.appAppearance(), 1);
        QCOMPARE(settings.endCurrentActivityOnTrack(), false);
        QCOMPARE(settings.reportSidebarTasksVisible(), false); // an earlier cached read does not hide it
        QCOMPARE(settings.csvFieldSeparator(), QStringLiteral(","));
        QCOMPARE(settings.idleTimeoutInterval(), 45); // a stored value wins
        QCOMPARE(settings.syncMethod(), 1);
        QVERIFY(!m_store->contains(QStringLiteral("csvFieldSeparator")));
    }

    void shippedDefaultsMatchCodeDefaultsAndSkipCreationKeys()
    {
        const QVariantMap shipped = PdSettings::defaultsResource();
        QVERIFY(!shipped.isEmpty());
        const QStringList creationKeys = {
            "recentItemsCount", "recentItemsOrderedBy", "recentItemsExcludeInvoiced", "appearance",
            "statusbarType", "notificationType", "startAtLogin", "globalHotKeyFlags", "globalHotKeyCode",
            "hideMainWindowOnStartTracking", "dontHideMainWindowOnStartTracking", "endCurrentActivityOnTrack",
            "reportWindowSidebar",
            // Absent on purpose: its absence is what marks a store that needs the upgrade.
            "syncMethod"};
        for (const QString &key : creationKeys)
            QVERIFY2(!shipped.contains(key), qPrintable(key));
        for (auto it = shipped.cbegin(); it != shipped.cend(); ++it) {
            QVERIFY2(!it.key().startsWith(QStringLiteral("notTracking")) &&
                         !it.key().startsWith(u"reminder") && !it.key().startsWith(u"event"),
                     qPrintable(it.key()));
        }

        // On an empty store, registering the shipped defaults changes no value.
        PdSettings plain(&storeWith());
        QSettings otherStore(m_dir->filePath(QStringLiteral("other.conf")), QSettings::IniFormat);
        PdSettings registered(&otherStore);
        QVERIFY(registered.registerDefaultsResource());
        for (auto it = getters().cbegin(); it != getters().cend(); ++it) {
            if (it.key() == u"globalHotKeyCode")
                continue;
            QVERIFY2(it.value()(plain) == it.value()(registered), qPrintable(it.key()));
        }
        QVERIFY(registered.needsUpgrade());
    }

    void notificationTypeFollowsAvailability_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<int>("requested");
        QTest::addColumn<int>("expected");

        QTest::newRow("0") << true << 0 << 0;
        QTest::newRow("2") << true << 2 << 2;
        QTest::newRow("5 becomes 2") << true << 5 << 2;
        QTest::newRow("2 without notifications") << false << 2 << 0;
        QTest::newRow("5 without notifications") << false << 5 << 0;
    }

    void notificationTypeFollowsAvailability()
    {
        QFETCH(bool, available);
        QFETCH(int, requested);
        QFETCH(int, expected);

        PdSettings::Platform platform;
        platform.userNotificationsAvailable = [available] { return available; };
        PdSettings settings(&storeWith(), platform);
        QSignalSpy changed(&settings, &PdSettings::appNotificationTypeChanged);
        settings.setAppNotificationType(requested);
        QCOMPARE(settings.appNotificationType(), expected);
        QCOMPARE(changed.count(), expected != 0 ? 1 : 0);
        QCOMPARE(valueOnDisk(QStringLiteral("notificationType")),
                 expected != 0 ? QString::number(expected) : QString());
    }

    void idleChangesAnnounceOnlyRealChanges()
    {
        PdSettings settings(&storeWith());
        QSignalSpy changed(&settings, &PdSettings::idleDetectionChanged);

        settings.setIdleTimeoutInterval(15); // the default in use
        settings.setIdleTimeoutDetection(false);
        QCOMPARE(changed.count(), 0);

        settings.setIdleTimeoutDetection(true);
        settings.setIdleTimeoutInterval(30);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).value<PdSettings *>(), &settings);

        settings.setIdleTimeoutDetection(true);
        settings.setIdleTimeoutInterval(30);
        settings.setIdleTimeoutInterval(0); // normalised to 15: a change
        QCOMPARE(changed.count(), 3);
        QCOMPARE(settings.idleTimeoutInterval(), 15);
    }

    void observedPropertiesAnnounceChanges()
    {
        PdSettings settings(&storeWith());
        QSignalSpy appearance(&settings, &PdSettings::appAppearanceChanged);
        QSignalSpy statusbar(&settings, &PdSettings::appStatusbarTypeChanged);
        QSignalSpy hotKey(&settings, &PdSettings::globalHotKeyChanged);
        QSignalSpy syncMethod(&settings, &PdSettings::syncMethodChanged);
        QSignalSpy syncInterval(&settings, &PdSettings::dropboxSyncIntervalChanged);
        QSignalSpy reminderInterval(settings.reminderNotification(), &NotificationSettings::intervalChanged);

        settings.setAppAppearance(1); // unchanged
        settings.setAppAppearance(3);
        settings.setAppStatusbarType(2);
        settings.setGlobalHotKey(PdSettings::GlobalHotKey{40, 256});
        settings.setGlobalHotKey(PdSettings::GlobalHotKey{40, 256});
        settings.setSyncMethod(1);
        settings.setSyncMethod(1);
        settings.setDropboxSyncInterval(2);
        settings.reminderNotification()->setInterval(10);
        settings.reminderNotification()->setInterval(10);

        QCOMPARE(appearance.count(), 1);
        QCOMPARE(appearance.at(0).at(0).toInt(), 3);
        QCOMPARE(statusbar.count(), 1);
        QCOMPARE(hotKey.count(), 1);
        QCOMPARE(syncMethod.count(), 1);
        QCOMPARE(syncInterval.count(), 1);
        QCOMPARE(syncInterval.at(0).at(0).toInt(), 2);
        QCOMPARE(reminderInterval.count(), 1);
    }

    void startAtLoginThroughLoginItem_data()
    {
        QTest::addColumn<bool>("storedOn");
        QTest::addColumn<bool>("serviceFails");
        QTest::addColumn<bool>("requested");
        QTest::addColumn<bool>("expectedOn");
        QTest::addColumn<QString>("expectedOnDisk");

        QTest::newRow("switch on") << false << false << true << true << "true";
        QTest::newRow("switch off") << true << false << false << false << "false";
        QTest::newRow("refused while on") << true << true << false << true << "true";
        QTest::newRow("refused while off") << false << true << true << false << "true";
    }

    void startAtLoginThroughLoginItem()
    {
        QFETCH(bool, storedOn);
        QFETCH(bool, serviceFails);
        QFETCH(bool, requested);
        QFETCH(bool, expectedOn);
        QFETCH(QString, expectedOnDisk);

        FakeLoginItem loginItem;
        loginItem.setFailing(serviceFails);
        PdSettings settings(&storeWith({{"startAtLogin", storedOn}}), PdSettings::Platform{&loginItem, {}});
        settings.setStartAtLogin(requested);

        QCOMPARE(loginItem.requests(),
                 QStringList{(requested ? "+" : "-") + QStringLiteral("com.penduloapp.PenduloHelper")});
        QCOMPARE(settings.startAtLogin(), expectedOn);
        QCOMPARE(valueOnDisk(QStringLiteral("startAtLogin")), expectedOnDisk);
        // The next launch reads the stored wish.
        QCOMPARE(PdSettings(m_store.get()).startAtLogin(), expectedOnDisk == u"true");
    }

    void startAtLoginWritesAndRemovesAutostartEntry()
    {
        TestHome::reset();
        const QString entry =
            TestHome::configHome() + QStringLiteral("/autostart/com.penduloapp.PenduloHelper.desktop");
        XdgAutostartLoginItem loginItem;
        PdSettings settings(&storeWith(), PdSettings::Platform{&loginItem, {}});

        settings.setStartAtLogin(true);
        QVERIFY(QFile::exists(entry));
        QVERIFY(settings.startAtLogin());
        settings.setStartAtLogin(false);
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!settings.startAtLogin());

        // An autostart folder that cannot be made: the desktop refused, the value stays off.
        QVERIFY(QDir(TestHome::configHome() + QStringLiteral("/autostart")).removeRecursively());
        QFile blocker(TestHome::configHome() + QStringLiteral("/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        settings.setStartAtLogin(true);
        QVERIFY(!settings.startAtLogin());
        QCOMPARE(valueOnDisk(QStringLiteral("startAtLogin")), QStringLiteral("true"));
    }

    void notificationEnabledNeedsAnAction_data()
    {
        QTest::addColumn<bool>("display");
        QTest::addColumn<bool>("bounce");
        QTest::addColumn<bool>("enabled");

        QTest::newRow("nothing") << false << false << false;
        QTest::newRow("notification") << true << false << true;
        QTest::newRow("bounce") << false << true << true;
    }

    void notificationEnabledNeedsAnAction()
    {
        QFETCH(bool, display);
        QFETCH(bool, bounce);
        QFETCH(bool, enabled);

        NotificationSettings notification;
        QSignalSpy enabledChanged(&notification, &NotificationSettings::enabledChanged);
        notification.setDisplayNotification(display);
        notification.setBounceDock(bounce);
        notification.setBounceDockRepeat(true);
        QCOMPARE(notification.enabled(), enabled);
        QCOMPARE(enabledChanged.count(), enabled ? 1 : 0);
    }

    void syncIntervalItemsInDisplayOrder()
    {
        const QList<PDFixedCollectionItem> items = DropboxSyncIntervalCollection::displayItems();
        QStringList shown;
        for (const PDFixedCollectionItem &item : items)
            shown.append(QStringLiteral("%1 %2").arg(item.value()).arg(item.description()));
        QCOMPARE(shown, (QStringList{"0 Manually", "9999 ---", "1 Every 15 minutes", "2 Every 30 minutes",
                                     "3 Every hour"}));
        QVERIFY(items.at(1).isSeparator());
        QVERIFY(!PDFixedCollectionItem::withValue(9999, QStringLiteral("Other")).isSeparator());
    }

    void lastSyncTimeIsMemoryOnlyAndSharedAcrossThreads()
    {
        PdSettings settings(&storeWith());
        QVERIFY(!settings.lastSyncTime().isValid());
        const QDateTime base(QDate(2016, 3, 14), QTime(9, 0));
        std::unique_ptr<QThread> writer(QThread::create([&] {
            for (int i = 0; i < 2000; ++i)
                settings.setLastSyncTime(base.addSecs(i));
        }));
        writer->start();
        for (int i = 0; i < 2000; ++i) {
            const QDateTime seen = settings.lastSyncTime();
            QVERIFY(!seen.isValid() || (seen >= base && seen <= base.addSecs(1999)));
        }
        QVERIFY(writer->wait(10000));
        QCOMPARE(settings.lastSyncTime(), base.addSecs(1999));
        QVERIFY(!valueOnDisk(QStringLiteral("appearance")).isNull());            // the file exists ...
        QVERIFY(!m_store->allKeys().join(u' ').contains(QStringLiteral("ync"))); // ... without a sync time
    }
};

QTEST_GUILESS_MAIN(TestPdSettings)
#include "tst_PdSettings.moc"
