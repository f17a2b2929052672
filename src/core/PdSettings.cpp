#include "PdSettings.h"

#include "ComputerEventSettings.h"
#include "Keychain.h"
#include "LoginItem.h"
#include "NotificationSettings.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QSettings>

#include <algorithm>

Q_LOGGING_CATEGORY(lcSettings, "pendulo.core.settings")

namespace {

// Keys read once at creation.
const QString RecentItemsCountKey = QStringLiteral("recentItemsCount");
const QString RecentItemsOrderedByKey = QStringLiteral("recentItemsOrderedBy");
const QString RecentItemsExcludeInvoicedKey = QStringLiteral("recentItemsExcludeInvoiced");
const QString AppearanceKey = QStringLiteral("appearance");
const QString StatusbarTypeKey = QStringLiteral("statusbarType");
const QString NotificationTypeKey = QStringLiteral("notificationType");
const QString StartAtLoginKey = QStringLiteral("startAtLogin");
const QString GlobalHotKeyFlagsKey = QStringLiteral("globalHotKeyFlags");
const QString GlobalHotKeyCodeKey = QStringLiteral("globalHotKeyCode");
const QString NotTrackingNotificationPrefix = QStringLiteral("notTrackingNotification");
const QString ReminderNotificationPrefix = QStringLiteral("reminderNotification");
const QString HideMainWindowKey = QStringLiteral("hideMainWindowOnStartTracking");
const QString DontHideMainWindowKey = QStringLiteral("dontHideMainWindowOnStartTracking");
const QString EndCurrentActivityOnTrackKey = QStringLiteral("endCurrentActivityOnTrack");
const QString ReportWindowSidebarKey = QStringLiteral("reportWindowSidebar");

// Keys read at each access.
const QString CsvFieldSeparatorKey = QStringLiteral("csvFieldSeparator");
const QString DefaultExportFormatKey = QStringLiteral("default_activity_export_format");
const QString SidebarProjectsVisibleKey = QStringLiteral("report_sidebar_projects_visible");
const QString SidebarTasksVisibleKey = QStringLiteral("report_sidebar_tasks_visible");
const QString SidebarProjectsOrderedKey = QStringLiteral("report_sidebar_projects_ordered");
const QString SidebarTasksOrderedKey = QStringLiteral("report_sidebar_tasks_ordered");
const QString SidebarDynamicItemsKey = QStringLiteral("reportSidebarDynamicItems");
const QString ReportDurationFormatKey = QStringLiteral("report_duration_format");
const QString ReportFilterVisibleKey = QStringLiteral("reportFilterVisible");
const QString ReportFilterToolbarVisibleKey = QStringLiteral("reportFilterToolbarVisible");
const QString IdleDetectionEnabledKey = QStringLiteral("idleDetectionEnabled");
const QString IdleDetectionTimeoutKey = QStringLiteral("idleDetectionTimeout");
const QString DefaultIdleActionKey = QStringLiteral("defaultIdleAction");
const QString LastActivityTextKey = QStringLiteral("lastActivityText");
const QString SyncMethodKey = QStringLiteral("syncMethod");
const QString DropboxSyncIntervalKey = QStringLiteral("dropboxSyncInterval");
const QString DropboxAccountNameKey = QStringLiteral("dropbox_account_name");
const QString DropboxAccountIdKey = QStringLiteral("dropbox_account_id");
const QString DropboxHashKey = QStringLiteral("dropbox_hash");
const QString DropboxSyncDateKey = QStringLiteral("dropbox_sync_date");
const QString SkipMigrationsKey = QStringLiteral("skipMigrations");

// Keys of older versions, converted at creation.
const QString OldStatusBarTypeKey = QStringLiteral("status_bar_type");
const QString OldNotTrackingPrefix = QStringLiteral("notification_not_tracking_");
const QString OldReminderPrefix = QStringLiteral("notification_reminder_");

// Field suffixes of the notification keys, new and old.
struct NotificationField
{
    QString newSuffix;
    QString oldSuffix;
};
const NotificationField IntervalField{QStringLiteral("Interval"), QStringLiteral("interval")};
const NotificationField DisplayField{QStringLiteral("DisplayNotification"), QStringLiteral("use_growl")};
const NotificationField BounceField{QStringLiteral("BounceDock"), QStringLiteral("bounce_dock")};
const NotificationField RepeatField{QStringLiteral("BounceDockRepeat"), QStringLiteral("bounce_dock_repeat")};

const QString StopTrackingSuffix = QStringLiteral("StopTracking");
const QString ResumeTrackingSuffix = QStringLiteral("ResumeTracking");

const QString DropboxKeychainTokenAccount = QStringLiteral("oauth2_token");
const QString DropboxKeychainOldTokenAccount = QStringLiteral("oauth_token");
const QString DropboxKeychainOldSecretAccount = QStringLiteral("oauth_token_secret");

constexpr int DefaultRecentItemsCount = 10;
constexpr int MaxRecentItemsCount = 50;
constexpr int DefaultIdleTimeoutMinutes = 15;
constexpr int MaxIdleTimeoutMinutes = 60;

// An integer setting: numbers and numeric texts count, anything else is treated as absent.
std::optional<qint64> integerValue(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    const QString text = value.toString().trimmed();
    bool ok = false;
    const qint64 integer = text.toLongLong(&ok);
    if (ok)
        return integer;
    const double real = text.toDouble(&ok);
    if (ok && real > -9.0e18 && real < 9.0e18)
        return static_cast<qint64>(real);
    return std::nullopt;
}

qint64 integerOr(const QVariant &value, qint64 fallback)
{
    return integerValue(value).value_or(fallback);
}

// A native boolean setting. The store keeps booleans as "true"/"false"; "yes", "on" and non-zero
// numbers also count as true, so a hand-edited file means what it says.
bool boolValue(const QVariant &value, bool fallback)
{
    if (!value.isValid())
        return fallback;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true" || text == u"yes" || text == u"on")
        return true;
    return integerOr(value, 0) != 0;
}

// A text setting; an absent key gives a null text.
QString textValue(const QVariant &value)
{
    return value.isValid() ? value.toString() : QString();
}

// A reminder interval in minutes; absent or unreadable gives the lowest.
int notificationInterval(const QVariant &value)
{
    return int(std::clamp<qint64>(integerOr(value, 0), NotificationSettings::MinInterval,
                                  NotificationSettings::MaxInterval));
}

int normalisedIdleTimeout(qint64 minutes)
{
    return minutes >= 1 && minutes <= MaxIdleTimeoutMinutes ? int(minutes) : DefaultIdleTimeoutMinutes;
}

// Leading decimal number of `text` starting at `pos`, as in "180.000000, YES"; advances `pos` past it.
std::optional<double> scanNumber(const QString &text, qsizetype &pos)
{
    qsizetype end = pos;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+'))
        ++end;
    const qsizetype digitsStart = end;
    bool seenPoint = false;
    while (end < text.size() && (text[end].isDigit() || (text[end] == u'.' && !seenPoint))) {
        seenPoint = seenPoint || text[end] == u'.';
        ++end;
    }
    if (end == digitsStart)
        return std::nullopt;
    bool ok = false;
    const double number = text.mid(pos, end - pos).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    pos = end;
    return number;
}

void skipSpaces(const QString &text, qsizetype &pos)
{
    while (pos < text.size() && text[pos].isSpace())
        ++pos;
}

} // namespace

// Resources in a static library are only linked in when they are initialised explicitly.
static void initDefaultsResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(settings_defaults);
        return true;
    }();
    Q_UNUSED(done);
}

PdSettings::PdSettings(QSettings *store, QObject *parent)
    : PdSettings(store, Platform{}, parent)
{}

PdSettings::PdSettings(QSettings *store, const Platform &platform, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_platform(platform)
    , m_notTrackingNotification(new NotificationSettings(this))
    , m_reminderNotification(new NotificationSettings(this))
    , m_eventSleepSettings(new ComputerEventSettings(ComputerEventSettings::ComputerSleep, this))
    , m_eventScreenSleepSettings(new ComputerEventSettings(ComputerEventSettings::ScreenSleep, this))
    , m_eventScreensaverSettings(new ComputerEventSettings(ComputerEventSettings::Screensaver, this))
    , m_eventScreenLockedSettings(new ComputerEventSettings(ComputerEventSettings::ScreenLocked, this))
{
    Q_ASSERT(store);
    convertOldKeys();
    readCreationValues();
    loadAndObserveNotification(m_notTrackingNotification, NotTrackingNotificationPrefix);
    loadAndObserveNotification(m_reminderNotification, ReminderNotificationPrefix);
    loadAndObserveComputerEvent(m_eventSleepSettings, QStringLiteral("eventSleep"));
    loadAndObserveComputerEvent(m_eventScreenSleepSettings, QStringLiteral("eventScreenSleep"));
    loadAndObserveComputerEvent(m_eventScreensaverSettings, QStringLiteral("eventScreensaver"));
    loadAndObserveComputerEvent(m_eventScreenLockedSettings, QStringLiteral("eventScreenLocked"));
    parseReportWindowSidebar();
}

PdSettings::~PdSettings() = default;

// ---- Creation ----

void PdSettings::convertOldKeys()
{
    convertOldStatusBarType();
    convertOldNotificationKeys();
}

void PdSettings::convertOldStatusBarType()
{
    const QVariant old = storedValue(OldStatusBarTypeKey);
    if (!old.isValid())
        return;
    int appearance = AppearanceDockAndStatusbar;
    int type = StatusbarIconAndTimer;
    switch (integerOr(old, 0)) {
    case 1:
        appearance = AppearanceDock;
        break;
    case 2:
        type = StatusbarIcon;
        break;
    case 3:
        type = StatusbarTimer;
        break;
    default:
        break;
    }
    setAppAppearance(appearance);
    setAppStatusbarType(type);
    // Both keys are written even where a setter found its value already in memory, so that a newer key
    // left beside the old one cannot override the conversion.
    m_store->setValue(AppearanceKey, m_appAppearance);
    m_store->setValue(StatusbarTypeKey, m_appStatusbarType);
    m_store->remove(OldStatusBarTypeKey);
    flush();
    qCInfo(lcSettings) << "Converted" << OldStatusBarTypeKey << "to appearance" << m_appAppearance
                       << "and status bar type" << m_appStatusbarType;
}

void PdSettings::convertOldNotificationKeys()
{
    if (!storedValue(OldNotTrackingPrefix + IntervalField.oldSuffix).isValid())
        return;
    const std::pair<NotificationSettings *, std::pair<QString, QString>> notifications[] = {
        {m_notTrackingNotification, {OldNotTrackingPrefix, NotTrackingNotificationPrefix}},
        {m_reminderNotification, {OldReminderPrefix, ReminderNotificationPrefix}},
    };
    QStringList oldKeys;
    for (const auto &[notification, prefixes] : notifications) {
        const auto &[oldPrefix, newPrefix] = prefixes;
        notification->setInterval(notificationInterval(storedValue(oldPrefix + IntervalField.oldSuffix)));
        notification->setDisplayNotification(
            boolValue(storedValue(oldPrefix + DisplayField.oldSuffix), false));
        notification->setBounceDock(boolValue(storedValue(oldPrefix + BounceField.oldSuffix), false));
        notification->setBounceDockRepeat(boolValue(storedValue(oldPrefix + RepeatField.oldSuffix), false));
        m_store->setValue(newPrefix + IntervalField.newSuffix, notification->interval());
        m_store->setValue(newPrefix + DisplayField.newSuffix, notification->displayNotification());
        m_store->setValue(newPrefix + BounceField.newSuffix, notification->bounceDock());
        m_store->setValue(newPrefix + RepeatField.newSuffix, notification->bounceDockRepeat());
        for (const NotificationField &field : {IntervalField, DisplayField, BounceField, RepeatField})
            oldKeys.append(oldPrefix + field.oldSuffix);
    }
    removeKeys(oldKeys);
    qCInfo(lcSettings) << "Converted the notification settings of an older version";
}

void PdSettings::readCreationValues()
{
    if (const auto count = integerValue(storedValue(RecentItemsCountKey)))
        m_recentItemsCount = int(std::clamp<qint64>(*count, 0, MaxRecentItemsCount));
    else
        m_recentItemsCount = DefaultRecentItemsCount;
    m_recentItemsOrderedByDate = storedValue(RecentItemsOrderedByKey).toString() != u"text";
    m_recentItemsExcludeInvoiced = boolValue(storedValue(RecentItemsExcludeInvoicedKey), false);

    // Through the setters, so that an out-of-range stored value is normalised and written back.
    setAppAppearance(int(std::clamp<qint64>(integerOr(storedValue(AppearanceKey), 0), -1, 4)));
    setAppStatusbarType(int(std::clamp<qint64>(integerOr(storedValue(StatusbarTypeKey), 0), -1, 3)));
    setAppNotificationType(int(std::clamp<qint64>(integerOr(storedValue(NotificationTypeKey), 0), -1, 3)));

    m_startAtLogin = boolValue(storedValue(StartAtLoginKey), false);

    const auto flags = integerValue(storedValue(GlobalHotKeyFlagsKey));
    const auto code = integerValue(storedValue(GlobalHotKeyCodeKey));
    if (flags && code)
        m_globalHotKey = GlobalHotKey{*code, *flags};

    m_hideMainWindowOnStartTracking = boolValue(storedValue(HideMainWindowKey), false);
    m_dontHideMainWindowOnStartTracking = boolValue(storedValue(DontHideMainWindowKey), false);
    m_endCurrentActivityOnTrack = boolValue(storedValue(EndCurrentActivityOnTrackKey), false);
}

void PdSettings::loadAndObserveNotification(NotificationSettings *notification, const QString &keyPrefix)
{
    const QString intervalKey = keyPrefix + IntervalField.newSuffix;
    const QString displayKey = keyPrefix + DisplayField.newSuffix;
    const QString bounceKey = keyPrefix + BounceField.newSuffix;
    const QString repeatKey = keyPrefix + RepeatField.newSuffix;
    notification->setInterval(notificationInterval(storedValue(intervalKey)));
    notification->setDisplayNotification(boolValue(storedValue(displayKey), false));
    notification->setBounceDock(boolValue(storedValue(bounceKey), false));
    notification->setBounceDockRepeat(boolValue(storedValue(repeatKey), false));

    connect(notification, &NotificationSettings::intervalChanged, this,
            [this, intervalKey](int minutes) { writeValue(intervalKey, minutes); });
    connect(notification, &NotificationSettings::displayNotificationChanged, this,
            [this, displayKey](bool on) { writeValue(displayKey, on); });
    connect(notification, &NotificationSettings::bounceDockChanged, this,
            [this, bounceKey](bool on) { writeValue(bounceKey, on); });
    connect(notification, &NotificationSettings::bounceDockRepeatChanged, this,
            [this, repeatKey](bool on) { writeValue(repeatKey, on); });
}

void PdSettings::loadAndObserveComputerEvent(ComputerEventSettings *event, const QString &keyPrefix)
{
    const QString stopKey = keyPrefix + StopTrackingSuffix;
    const QString resumeKey = keyPrefix + ResumeTrackingSuffix;
    event->setStopTracking(boolValue(storedValue(stopKey), false));
    event->setResumeTracking(boolValue(storedValue(resumeKey), false));
    connect(event, &ComputerEventSettings::stopTrackingChanged, this,
            [this, stopKey](bool on) { writeValue(stopKey, on); });
    connect(event, &ComputerEventSettings::resumeTrackingChanged, this,
            [this, resumeKey](bool on) { writeValue(resumeKey, on); });
}

// The stored text is "<width>, YES" or "<width>, NO" (see setReportWindowSidebarCollapsed).
void PdSettings::parseReportWindowSidebar()
{
    m_reportWindowSidebarWidth = 0;
    m_reportWindowSidebarCollapsed = false;
    const QString text = storedValue(ReportWindowSidebarKey).toString();
    qsizetype pos = 0;
    skipSpaces(text, pos);
    const auto width = scanNumber(text, pos);
    if (!width)
        return;
    m_reportWindowSidebarWidth = *width;
    skipSpaces(text, pos);
    if (pos < text.size() && text[pos] == u',') {
        ++pos;
        skipSpaces(text, pos);
        m_reportWindowSidebarCollapsed = QStringView(text).mid(pos).startsWith(u"YES");
    }
}

// ---- Values read at creation ----

void PdSettings::setRecentItemsCount(int count)
{
    m_recentItemsCount = std::clamp(count, 0, MaxRecentItemsCount);
    writeValue(RecentItemsCountKey, m_recentItemsCount);
}

void PdSettings::setRecentItemsOrderedByDate(bool byDate)
{
    m_recentItemsOrderedByDate = byDate;
    writeValue(RecentItemsOrderedByKey, byDate ? QStringLiteral("date") : QStringLiteral("text"));
}

void PdSettings::setRecentItemsExcludeInvoiced(bool exclude)
{
    m_recentItemsExcludeInvoiced = exclude;
    writeValue(RecentItemsExcludeInvoicedKey, exclude);
}

void PdSettings::setAppAppearance(int appearance)
{
    if (appearance < AppearanceDock || appearance > AppearanceStatusbar)
        appearance = AppearanceDock;
    if (appearance == m_appAppearance)
        return;
    m_appAppearance = appearance;
    writeValue(AppearanceKey, appearance);
    Q_EMIT appAppearanceChanged(appearance);
}

void PdSettings::setAppStatusbarType(int type)
{
    if (type < StatusbarIcon || type > StatusbarIconAndTimer)
        type = StatusbarIcon;
    if (type == m_appStatusbarType)
        return;
    m_appStatusbarType = type;
    writeValue(StatusbarTypeKey, type);
    Q_EMIT appStatusbarTypeChanged(type);
}

void PdSettings::setAppNotificationType(int type)
{
    if (type != NotificationsDisabled)
        type = userNotificationsAvailable() ? NotificationsEnabled : NotificationsDisabled;
    if (type == m_appNotificationType)
        return;
    m_appNotificationType = type;
    writeValue(NotificationTypeKey, type);
    Q_EMIT appNotificationTypeChanged(type);
}

void PdSettings::setStartAtLogin(bool on)
{
    const bool registered =
        m_platform.loginItem && m_platform.loginItem->setEnabled(LoginHelperIdentifier, on);
    if (registered) {
        const bool changed = on != m_startAtLogin;
        m_startAtLogin = on;
        writeValue(StartAtLoginKey, on);
        if (changed)
            Q_EMIT startAtLoginChanged(on);
        return;
    }
    qCWarning(lcSettings) << "The login item could not be" << (on ? "registered" : "removed");
    // While off, the wish is kept in the store so that the next launch tries again.
    if (!m_startAtLogin)
        writeValue(StartAtLoginKey, on);
}

void PdSettings::setGlobalHotKey(const std::optional<GlobalHotKey> &hotKey)
{
    const bool changed = hotKey != m_globalHotKey;
    m_globalHotKey = hotKey;
    if (hotKey) {
        m_store->setValue(GlobalHotKeyFlagsKey, hotKey->modifierFlags);
        m_store->setValue(GlobalHotKeyCodeKey, hotKey->keyCode);
        flush();
    } else {
        removeKeys({GlobalHotKeyFlagsKey, GlobalHotKeyCodeKey});
    }
    if (changed)
        Q_EMIT globalHotKeyChanged();
}

void PdSettings::setHideMainWindowOnStartTracking(bool on)
{
    m_hideMainWindowOnStartTracking = on;
    writeValue(HideMainWindowKey, on);
}

void PdSettings::setDontHideMainWindowOnStartTracking(bool on)
{
    m_dontHideMainWindowOnStartTracking = on;
    writeValue(DontHideMainWindowKey, on);
}

void PdSettings::setEndCurrentActivityOnTrack(bool on)
{
    m_endCurrentActivityOnTrack = on;
    writeValue(EndCurrentActivityOnTrackKey, on);
}

void PdSettings::setReportWindowSidebarCollapsed(bool collapsed, double width)
{
    m_reportWindowSidebarCollapsed = collapsed;
    m_reportWindowSidebarWidth = width;
    writeValue(ReportWindowSidebarKey,
               QStringLiteral("%1, %2").arg(QString::number(width, 'f', 6), collapsed ? u"YES" : u"NO"));
}

// ---- Values read at each access ----

QString PdSettings::csvFieldSeparator() const
{
    const QVariant value = accessValue(CsvFieldSeparatorKey);
    return value.isValid() ? value.toString() : QStringLiteral(";");
}

void PdSettings::setCsvFieldSeparator(const QString &separator)
{
    writeValue(CsvFieldSeparatorKey, separator);
}

// Export formats: raw values for the export layer, which owns their stored form.
QVariant PdSettings::exportFormatValue(const QString &key) const
{
    if (key != CsvRowFormatKey && key != XmlPropertiesKey)
        return QVariant();
    return accessValue(key);
}

void PdSettings::setExportFormatValue(const QString &key, const QVariant &value)
{
    if (key != CsvRowFormatKey && key != XmlPropertiesKey)
        return;
    writeValue(key, value);
}

int PdSettings::defaultActivityExportFormat() const
{
    const qint64 format = integerOr(accessValue(DefaultExportFormatKey), 0);
    return format == 1 ? 1 : 0;
}

void PdSettings::setDefaultActivityExportFormat(int format)
{
    writeValue(DefaultExportFormatKey, format == 1 ? 1 : 0);
}

bool PdSettings::reportSidebarProjectsVisible() const
{
    return boolForKey(SidebarProjectsVisibleKey, true);
}

void PdSettings::setReportSidebarProjectsVisible(bool visible)
{
    setBoolValue(visible, SidebarProjectsVisibleKey);
}

bool PdSettings::reportSidebarTasksVisible() const
{
    return boolForKey(SidebarTasksVisibleKey, true);
}

void PdSettings::setReportSidebarTasksVisible(bool visible)
{
    setBoolValue(visible, SidebarTasksVisibleKey);
}

bool PdSettings::reportSidebarProjectsOrdered() const
{
    return boolForKey(SidebarProjectsOrderedKey, false);
}

void PdSettings::setReportSidebarProjectsOrdered(bool ordered)
{
    setBoolValue(ordered, SidebarProjectsOrderedKey);
}

bool PdSettings::reportSidebarTasksOrdered() const
{
    return boolForKey(SidebarTasksOrderedKey, false);
}

void PdSettings::setReportSidebarTasksOrdered(bool ordered)
{
    setBoolValue(ordered, SidebarTasksOrderedKey);
}

bool PdSettings::reportSidebarDynamicItems() const
{
    return boolForKey(SidebarDynamicItemsKey, false);
}

void PdSettings::setReportSidebarDynamicItems(bool dynamic)
{
    setBoolValue(dynamic, SidebarDynamicItemsKey);
}

int PdSettings::reportDurationFormat() const
{
    const qint64 format = integerOr(accessValue(ReportDurationFormatKey), 0);
    return format >= 0 && format <= 2 ? int(format) : 0;
}

void PdSettings::setReportDurationFormat(int format)
{
    writeValue(ReportDurationFormatKey, QString::number(format >= 0 && format <= 2 ? format : 0));
}

bool PdSettings::reportFilterVisible() const
{
    return boolValue(accessValue(ReportFilterVisibleKey), false);
}

void PdSettings::setReportFilterVisible(bool visible)
{
    writeValue(ReportFilterVisibleKey, visible);
}

bool PdSettings::reportFilterToolbarVisible() const
{
    return boolValue(accessValue(ReportFilterToolbarVisibleKey), true);
}

void PdSettings::setReportFilterToolbarVisible(bool visible)
{
    writeValue(ReportFilterToolbarVisibleKey, visible);
}

bool PdSettings::idleTimeoutDetection() const
{
    return boolForKey(IdleDetectionEnabledKey, false);
}

void PdSettings::setIdleTimeoutDetection(bool on)
{
    const bool previous = idleTimeoutDetection();
    setBoolValue(on, IdleDetectionEnabledKey);
    if (on != previous)
        Q_EMIT idleDetectionChanged(this);
}

int PdSettings::idleTimeoutInterval() const
{
    return normalisedIdleTimeout(integerOr(accessValue(IdleDetectionTimeoutKey), 0));
}

void PdSettings::setIdleTimeoutInterval(int minutes)
{
    minutes = normalisedIdleTimeout(minutes);
    if (minutes == idleTimeoutInterval())
        return;
    writeValue(IdleDetectionTimeoutKey, QString::number(minutes));
    Q_EMIT idleDetectionChanged(this);
}

int PdSettings::defaultIdleAction() const
{
    return integerOr(accessValue(DefaultIdleActionKey), 0) == IdleSubtractAndContinue
               ? IdleSubtractAndContinue
               : IdleSubtractAndStop;
}

void PdSettings::setDefaultIdleAction(int action)
{
    if (action == IdleSubtractAndStop || action == IdleSubtractAndContinue)
        writeValue(DefaultIdleActionKey, action);
}

QString PdSettings::lastActivityText() const
{
    const QVariant value = accessValue(LastActivityTextKey);
    return value.isValid() ? value.toString() : QStringLiteral("");
}

void PdSettings::setLastActivityText(const QString &text)
{
    writeValue(LastActivityTextKey, text);
}

int PdSettings::syncMethod() const
{
    return integerOr(accessValue(SyncMethodKey), 0) == SyncDropbox ? SyncDropbox : SyncNone;
}

void PdSettings::setSyncMethod(int method)
{
    method = method == SyncDropbox ? SyncDropbox : SyncNone;
    const int previous = syncMethod();
    writeValue(SyncMethodKey, method);
    if (method != previous)
        Q_EMIT syncMethodChanged(method);
}

int PdSettings::dropboxSyncInterval() const
{
    const qint64 interval = integerOr(accessValue(DropboxSyncIntervalKey), 0);
    return interval >= 0 && interval <= 3 ? int(interval) : 0;
}

void PdSettings::setDropboxSyncInterval(int interval)
{
    interval = interval >= 0 && interval <= 3 ? interval : 0;
    const int previous = dropboxSyncInterval();
    writeValue(DropboxSyncIntervalKey, interval);
    if (interval != previous)
        Q_EMIT dropboxSyncIntervalChanged(interval);
}

QString PdSettings::dropboxAccountName() const
{
    return textValue(accessValue(DropboxAccountNameKey));
}

QString PdSettings::dropboxAccountID() const
{
    return textValue(accessValue(DropboxAccountIdKey));
}

void PdSettings::setDropboxConnectedAccountName(const QString &name, const QString &accountID)
{
    for (const auto &[key, value] :
         {std::pair{DropboxAccountNameKey, name}, std::pair{DropboxAccountIdKey, accountID}}) {
        if (value.isNull())
            m_store->remove(key);
        else
            m_store->setValue(key, value);
    }
    flush();
}

QString PdSettings::dropboxHash() const
{
    return textValue(accessValue(DropboxHashKey));
}

void PdSettings::setDropboxHash(const QString &hash)
{
    if (hash.isNull())
        removeKeys({DropboxHashKey});
    else
        writeValue(DropboxHashKey, hash);
}

QDateTime PdSettings::dropboxSyncDate() const
{
    const QVariant value = accessValue(DropboxSyncDateKey);
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toLocalTime();
    const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return date.isValid() ? date.toLocalTime() : QDateTime();
}

void PdSettings::setDropboxSyncDate(const QDateTime &date)
{
    if (date.isValid())
        writeValue(DropboxSyncDateKey, date.toUTC().toString(Qt::ISODateWithMs));
    else
        removeKeys({DropboxSyncDateKey});
}

bool PdSettings::skipMigrations() const
{
    return boolValue(accessValue(SkipMigrationsKey), false);
}

void PdSettings::setSkipMigrations(bool skip)
{
    writeValue(SkipMigrationsKey, skip);
}

// ---- Memory only ----

QDateTime PdSettings::lastSyncTime() const
{
    QMutexLocker locker(&m_lastSyncTimeMutex);
    return m_lastSyncTime;
}

void PdSettings::setLastSyncTime(const QDateTime &time)
{
    QMutexLocker locker(&m_lastSyncTimeMutex);
    m_lastSyncTime = time;
}

// ---- "1"/"0" booleans ----

bool PdSettings::boolForKey(const QString &key, bool defaultValue) const
{
    const auto cached = m_boolCache.constFind(key);
    if (cached != m_boolCache.constEnd())
        return *cached;
    const QVariant value = accessValue(key);
    const bool result = value.isValid() ? value.toString() == u"1" : defaultValue;
    m_boolCache.insert(key, result);
    return result;
}

void PdSettings::setBoolValue(bool value, const QString &key)
{
    writeValue(key, value ? QStringLiteral("1") : QStringLiteral("0"));
    m_boolCache.remove(key);
}

// ---- Registered defaults ----

void PdSettings::registerDefaults(const QVariantMap &defaults)
{
    m_registeredDefaults.insert(defaults);
    m_boolCache.clear();
}

bool PdSettings::registerDefaultsResource()
{
    const QVariantMap defaults = defaultsResource();
    if (defaults.isEmpty())
        return false;
    registerDefaults(defaults);
    return true;
}

QVariantMap PdSettings::defaultsResource()
{
    initDefaultsResource();
    QFile file(QStringLiteral(":/defaults/Pendulo-Defaults.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSettings) << "Cannot read the registered defaults" << file.fileName();
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        qCWarning(lcSettings) << "The registered defaults are not a JSON object:" << error.errorString();
        return {};
    }
    return document.object().toVariantMap();
}

// ---- Upgrade ----

bool PdSettings::needsUpgrade() const
{
    return !m_store->contains(SyncMethodKey);
}

void PdSettings::upgrade(Keychain &keychain)
{
    if (!needsUpgrade())
        return;
    const bool connected = keychainHoldsDropboxAccount(keychain);
    qCInfo(lcSettings) << "Upgrading settings: sync method" << (connected ? "Dropbox" : "none");
    setSyncMethod(connected ? SyncDropbox : SyncNone);
}

bool PdSettings::keychainHoldsDropboxAccount(Keychain &keychain)
{
    const auto filled = [&keychain](const QString &account) {
        const auto value = keychain.getGenericAccountPassword(account);
        return value && !value->isEmpty();
    };
    return filled(DropboxKeychainTokenAccount) ||
           (filled(DropboxKeychainOldTokenAccount) && filled(DropboxKeychainOldSecretAccount));
}

// ---- Store access ----

QVariant PdSettings::storedValue(const QString &key) const
{
    return m_store->value(key);
}

QVariant PdSettings::accessValue(const QString &key) const
{
    const QVariant value = m_store->value(key);
    return value.isValid() ? value : m_registeredDefaults.value(key);
}

void PdSettings::writeValue(const QString &key, const QVariant &value)
{
    m_store->setValue(key, value);
    flush();
}

void PdSettings::removeKeys(const QStringList &keys)
{
    for (const QString &key : keys)
        m_store->remove(key);
    flush();
}

void PdSettings::flush()
{
    m_store->sync();
    if (m_store->status() != QSettings::NoError)
        qCWarning(lcSettings) << "Cannot write the settings file" << m_store->fileName();
}

bool PdSettings::userNotificationsAvailable() const
{
    return !m_platform.userNotificationsAvailable || m_platform.userNotificationsAvailable();
}
