#pragma once

#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class ComputerEventSettings;
class Keychain;
class LoginItem;
class NotificationSettings;
class QSettings;

// Typed access to the user's preferences in a QSettings store. Owns the key names, their stored forms,
// the defaults applied when a key is absent and the normalisation of out-of-range values; every key is
// listed in docs/settings.md.
//
// Some values are read once when the object is made ("creation" keys: a setter updates memory and store),
// the others at each access. Registered defaults (registerDefaults(), the "Pendulo-Defaults" resource)
// apply to the access keys only. Every setter flushes the store at once. Main thread only, except
// lastSyncTime().
class PdSettings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int appAppearance READ appAppearance WRITE setAppAppearance NOTIFY appAppearanceChanged)
    Q_PROPERTY(
        int appStatusbarType READ appStatusbarType WRITE setAppStatusbarType NOTIFY appStatusbarTypeChanged)
    Q_PROPERTY(int appNotificationType READ appNotificationType WRITE setAppNotificationType NOTIFY
                   appNotificationTypeChanged)
    Q_PROPERTY(int syncMethod READ syncMethod WRITE setSyncMethod NOTIFY syncMethodChanged)
    Q_PROPERTY(int dropboxSyncInterval READ dropboxSyncInterval WRITE setDropboxSyncInterval NOTIFY
                   dropboxSyncIntervalChanged)

public:
    // What the settings need of the desktop.
    struct Platform
    {
        // Registers the login helper; without one, setStartAtLogin() fails as a refused request does.
        LoginItem *loginItem = nullptr;
        // Whether the desktop shows user notifications; unset means it does.
        std::function<bool()> userNotificationsAvailable;
    };

    // A global keyboard shortcut: key code and modifier flags as the shortcut recorder gives them.
    struct GlobalHotKey
    {
        qint64 keyCode = 0;
        qint64 modifierFlags = 0;
        friend bool operator==(const GlobalHotKey &, const GlobalHotKey &) = default;
    };

    // Where the program shows itself.
    enum Appearance
    {
        AppearanceDock = 1,
        AppearanceDockAndStatusbar = 2,
        AppearanceStatusbar = 3
    };
    // Content of the status item.
    enum StatusbarType
    {
        StatusbarIcon = 0,
        StatusbarTimer = 1,
        StatusbarIconAndTimer = 2
    };
    enum NotificationType
    {
        NotificationsDisabled = 0,
        NotificationsEnabled = 2
    };
    enum SyncMethod
    {
        SyncNone = 0,
        SyncDropbox = 1
    };
    enum IdleAction
    {
        IdleSubtractAndStop = 1,
        IdleSubtractAndContinue = 2
    };

    static inline const QString LoginHelperIdentifier = QStringLiteral("com.penduloapp.PenduloHelper");

    explicit PdSettings(QSettings *store, QObject *parent = nullptr);
    PdSettings(QSettings *store, const Platform &platform, QObject *parent = nullptr);
    ~PdSettings() override;

    void setLoginItem(LoginItem *loginItem) { m_platform.loginItem = loginItem; }

    // ---- Values read once at creation ----

    // Length of the recent-activities list, 0..50.
    int recentItemsCount() const { return m_recentItemsCount; }
    void setRecentItemsCount(int count);
    bool recentItemsOrderedByDate() const { return m_recentItemsOrderedByDate; }
    void setRecentItemsOrderedByDate(bool byDate);
    bool recentItemsExcludeInvoiced() const { return m_recentItemsExcludeInvoiced; }
    void setRecentItemsExcludeInvoiced(bool exclude);

    // 1 Dock, 2 Dock & Statusbar, 3 Statusbar; anything else becomes 1.
    int appAppearance() const { return m_appAppearance; }
    void setAppAppearance(int appearance);
    // 0 Icon, 1 Timer, 2 Icon & Timer; anything else becomes 0.
    int appStatusbarType() const { return m_appStatusbarType; }
    void setAppStatusbarType(int type);
    // 0 Disabled, 2 Enabled. A requested 2 becomes 0 when the desktop has no user notifications; any
    // value other than 0 and 2 becomes 2 (or 0 without user notifications).
    int appNotificationType() const { return m_appNotificationType; }
    void setAppNotificationType(int type);

    bool startAtLogin() const { return m_startAtLogin; }
    // Registers or removes the login helper. When the desktop refuses: nothing changes while the value
    // is on; while it is off the requested value is stored (so the next launch asks again) but the value
    // stays off.
    void setStartAtLogin(bool on);

    bool hasGlobalHotKey() const { return m_globalHotKey.has_value(); }
    std::optional<GlobalHotKey> globalHotKey() const { return m_globalHotKey; }
    // Nothing clears the shortcut.
    void setGlobalHotKey(const std::optional<GlobalHotKey> &hotKey);

    bool hideMainWindowOnStartTracking() const { return m_hideMainWindowOnStartTracking; }
    void setHideMainWindowOnStartTracking(bool on);
    bool dontHideMainWindowOnStartTracking() const { return m_dontHideMainWindowOnStartTracking; }
    void setDontHideMainWindowOnStartTracking(bool on);
    bool endCurrentActivityOnTrack() const { return m_endCurrentActivityOnTrack; }
    void setEndCurrentActivityOnTrack(bool on);

    double reportWindowSidebarWidth() const { return m_reportWindowSidebarWidth; }
    bool reportWindowSidebarCollapsed() const { return m_reportWindowSidebarCollapsed; }
    void setReportWindowSidebarCollapsed(bool collapsed, double width);

    // The notice while nothing is tracked and the reminder while an activity runs. Their fields are
    // stored as soon as they change.
    NotificationSettings *notTrackingNotification() const { return m_notTrackingNotification; }
    NotificationSettings *reminderNotification() const { return m_reminderNotification; }

    // Stop and resume tracking on computer events.
    ComputerEventSettings *eventSleepSettings() const { return m_eventSleepSettings; }
    ComputerEventSettings *eventScreenSleepSettings() const { return m_eventScreenSleepSettings; }
    ComputerEventSettings *eventScreensaverSettings() const { return m_eventScreensaverSettings; }
    ComputerEventSettings *eventScreenLockedSettings() const { return m_eventScreenLockedSettings; }

    // ---- Values read from the store at each access ----

    QString csvFieldSeparator() const;
    void setCsvFieldSeparator(const QString &separator);

    // Export formats: the raw values of "csv_row_format" and "xml_properties" (the keys below only). The
    // export layer gives them meaning (ExportFormatSettings: getCSVFormat, setCSVFormat, getXMLFormat,
    // setXMLFormat and the defaults). Invalid when the key is absent; registered defaults apply.
    static inline const QString CsvRowFormatKey = QStringLiteral("csv_row_format");
    static inline const QString XmlPropertiesKey = QStringLiteral("xml_properties");
    QVariant exportFormatValue(const QString &key) const;
    void setExportFormatValue(const QString &key, const QVariant &value);

    // 0 CSV, 1 XML; anything else reads as 0.
    int defaultActivityExportFormat() const;
    void setDefaultActivityExportFormat(int format);

    bool reportSidebarProjectsVisible() const;
    void setReportSidebarProjectsVisible(bool visible);
    bool reportSidebarTasksVisible() const;
    void setReportSidebarTasksVisible(bool visible);
    bool reportSidebarProjectsOrdered() const;
    void setReportSidebarProjectsOrdered(bool ordered);
    bool reportSidebarTasksOrdered() const;
    void setReportSidebarTasksOrdered(bool ordered);
    bool reportSidebarDynamicItems() const;
    void setReportSidebarDynamicItems(bool dynamic);

    // 0 hours:minutes:seconds, 1 minutes, 2 decimal hours; anything else reads as 0.
    int reportDurationFormat() const;
    void setReportDurationFormat(int format);
    bool reportFilterVisible() const;
    void setReportFilterVisible(bool visible);
    bool reportFilterToolbarVisible() const;
    void setReportFilterToolbarVisible(bool visible);

    bool idleTimeoutDetection() const;
    void setIdleTimeoutDetection(bool on);
    // Minutes, 1..60; anything else reads (and is set) as 15.
    int idleTimeoutInterval() const;
    void setIdleTimeoutInterval(int minutes);
    // 1 or 2; setting any other value is ignored.
    int defaultIdleAction() const;
    void setDefaultIdleAction(int action);

    QString lastActivityText() const;
    void setLastActivityText(const QString &text);

    // 0 no sync, 1 Dropbox; anything else reads as 0.
    int syncMethod() const;
    void setSyncMethod(int method);
    // 0 manually, 1 every 15 minutes, 2 every 30 minutes, 3 every hour; anything else reads as 0.
    int dropboxSyncInterval() const;
    void setDropboxSyncInterval(int interval);

    // A null text stands for "none" and removes the key.
    QString dropboxAccountName() const;
    QString dropboxAccountID() const;
    void setDropboxConnectedAccountName(const QString &name, const QString &accountID);
    QString dropboxHash() const;
    void setDropboxHash(const QString &hash);
    // Invalid when none is stored.
    QDateTime dropboxSyncDate() const;
    void setDropboxSyncDate(const QDateTime &date);

    // Opening the store skips model migrations when on.
    bool skipMigrations() const;
    void setSkipMigrations(bool skip);

    // ---- Memory only ----

    // When the last sync run ended; invalid until one has. Safe to use from any thread.
    QDateTime lastSyncTime() const;
    void setLastSyncTime(const QDateTime &time);

    // ---- Booleans stored as the texts "1" and "0" ----

    // True exactly when the stored text is "1"; an absent key gives the registered default, else
    // `defaultValue`. Results are cached until the key is set through setBoolValue().
    bool boolForKey(const QString &key, bool defaultValue) const;
    void setBoolValue(bool value, const QString &key);

    // ---- Registered defaults ----

    // Adds defaults for keys read at each access; values read at creation never see them.
    void registerDefaults(const QVariantMap &defaults);
    // Registers the defaults shipped with the program ("Pendulo-Defaults"). Returns false when the
    // resource cannot be read.
    bool registerDefaultsResource();
    // The shipped defaults ("Pendulo-Defaults").
    static QVariantMap defaultsResource();

    // ---- Upgrade of older stores ----

    // True while "syncMethod" has never been stored.
    bool needsUpgrade() const;
    // Stores the sync method once: Dropbox when the keychain holds a Dropbox account, none otherwise.
    void upgrade(Keychain &keychain);
    // A Dropbox account counts as connected with a non-empty "oauth2_token", or with both a non-empty
    // "oauth_token" and "oauth_token_secret".
    static bool keychainHoldsDropboxAccount(Keychain &keychain);

Q_SIGNALS:
    // Idle detection was switched on or off, or its timeout changed ("PdIdleDetectionChanged").
    void idleDetectionChanged(PdSettings *settings);
    void appAppearanceChanged(int appearance);
    void appStatusbarTypeChanged(int type);
    void appNotificationTypeChanged(int type);
    void startAtLoginChanged(bool on);
    void globalHotKeyChanged();
    void syncMethodChanged(int method);
    void dropboxSyncIntervalChanged(int interval);

private:
    void convertOldKeys();
    void convertOldStatusBarType();
    void convertOldNotificationKeys();
    void readCreationValues();
    void loadAndObserveNotification(NotificationSettings *notification, const QString &keyPrefix);
    void loadAndObserveComputerEvent(ComputerEventSettings *event, const QString &keyPrefix);
    void parseReportWindowSidebar();

    // The value held in the store itself; registered defaults do not count.
    QVariant storedValue(const QString &key) const;
    // The stored value, else the registered default.
    QVariant accessValue(const QString &key) const;
    void writeValue(const QString &key, const QVariant &value);
    void removeKeys(const QStringList &keys);
    void flush();
    bool userNotificationsAvailable() const;

    QSettings *m_store;
    Platform m_platform;
    QVariantMap m_registeredDefaults;
    mutable QHash<QString, bool> m_boolCache;

    int m_recentItemsCount = 10;
    bool m_recentItemsOrderedByDate = true;
    bool m_recentItemsExcludeInvoiced = false;
    int m_appAppearance = 0;
    int m_appStatusbarType = 0;
    int m_appNotificationType = 0;
    bool m_startAtLogin = false;
    std::optional<GlobalHotKey> m_globalHotKey;
    bool m_hideMainWindowOnStartTracking = false;
    bool m_dontHideMainWindowOnStartTracking = false;
    bool m_endCurrentActivityOnTrack = false;
    double m_reportWindowSidebarWidth = 0;
    bool m_reportWindowSidebarCollapsed = false;

    NotificationSettings *m_notTrackingNotification;
    NotificationSettings *m_reminderNotification;
    ComputerEventSettings *m_eventSleepSettings;
    ComputerEventSettings *m_eventScreenSleepSettings;
    ComputerEventSettings *m_eventScreensaverSettings;
    ComputerEventSettings *m_eventScreenLockedSettings;

    mutable QMutex m_lastSyncTimeMutex;
    QDateTime m_lastSyncTime;
};
