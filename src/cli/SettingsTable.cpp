#include "SettingsTable.h"

#include "ComputerEventSettings.h"
#include "ExportFormatSettings.h"
#include "FieldCodeList.h"
#include "NotificationSettings.h"
#include "PdSettings.h"

#include <QRegularExpression>

namespace {

using Entry = SettingsTable::Entry;

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

Entry boolEntry(const QString &key, std::function<bool()> get, std::function<void(bool)> set)
{
    return {key, QStringLiteral("true|false"), [get] { return boolText(get()); },
            [set](const QString &text) -> QString {
                const std::optional<bool> value = SettingsTable::parseBool(text);
                if (!value)
                    return QStringLiteral("expected true or false");
                set(*value);
                return {};
            }};
}

Entry intEntry(const QString &key, const QString &values, std::function<int()> get,
               std::function<void(int)> set)
{
    return {key, values, [get] { return QString::number(get()); },
            [set](const QString &text) -> QString {
                bool ok = false;
                const int value = text.trimmed().toInt(&ok);
                if (!ok)
                    return QStringLiteral("expected a whole number");
                set(value);
                return {};
            }};
}

Entry stringEntry(const QString &key, const QString &values, std::function<QString()> get,
                  std::function<void(const QString &)> set)
{
    return {key, values, get, [set](const QString &text) -> QString {
                set(text);
                return {};
            }};
}

Entry readOnlyEntry(const QString &key, const QString &values, std::function<QString()> get)
{
    return {key, values, get, {}};
}

void addNotification(QList<Entry> &entries, const QString &prefix, NotificationSettings *notification)
{
    entries.append(intEntry(
        prefix + QStringLiteral("Interval"), QStringLiteral("minutes, 1..120"),
        [notification] { return notification->interval(); },
        [notification](int minutes) { notification->setInterval(minutes); }));
    entries.append(boolEntry(
        prefix + QStringLiteral("DisplayNotification"),
        [notification] { return notification->displayNotification(); },
        [notification](bool on) { notification->setDisplayNotification(on); }));
    entries.append(boolEntry(
        prefix + QStringLiteral("BounceDock"), [notification] { return notification->bounceDock(); },
        [notification](bool on) { notification->setBounceDock(on); }));
    entries.append(boolEntry(
        prefix + QStringLiteral("BounceDockRepeat"),
        [notification] { return notification->bounceDockRepeat(); },
        [notification](bool on) { notification->setBounceDockRepeat(on); }));
}

void addComputerEvent(QList<Entry> &entries, const QString &prefix, ComputerEventSettings *event)
{
    entries.append(boolEntry(
        prefix + QStringLiteral("StopTracking"), [event] { return event->stopTracking(); },
        [event](bool on) { event->setStopTracking(on); }));
    entries.append(boolEntry(
        prefix + QStringLiteral("ResumeTracking"), [event] { return event->resumeTracking(); },
        [event](bool on) { event->setResumeTracking(on); }));
}

QString sidebarText(const PdSettings &settings)
{
    return QStringLiteral("%1, %2")
        .arg(settings.reportWindowSidebarWidth())
        .arg(settings.reportWindowSidebarCollapsed() ? QStringLiteral("YES") : QStringLiteral("NO"));
}

// "WIDTH, YES|NO" or a width alone (not collapsed).
QString writeSidebar(PdSettings &settings, const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([0-9]+(?:\\.[0-9]+)?)\\s*(?:,\\s*(YES|NO)\\s*)?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return QStringLiteral("expected WIDTH, YES|NO");
    settings.setReportWindowSidebarCollapsed(match.captured(2) == u"YES", match.captured(1).toDouble());
    return {};
}

QString optionalNumber(bool present, qint64 value)
{
    return present ? QString::number(value) : QString();
}

} // namespace

SettingsTable::SettingsTable(PdSettings &s, ExportFormatSettings &formats)
{
    PdSettings *settings = &s;
    ExportFormatSettings *exportFormats = &formats;
    QList<Entry> &e = m_entries;

    // General
    e.append(intEntry(
        QStringLiteral("appearance"), QStringLiteral("1 Dock, 2 Dock & Statusbar, 3 Statusbar"),
        [settings] { return settings->appAppearance(); },
        [settings](int v) { settings->setAppAppearance(v); }));
    e.append(intEntry(
        QStringLiteral("statusbarType"), QStringLiteral("0 Icon, 1 Timer, 2 Icon & Timer"),
        [settings] { return settings->appStatusbarType(); },
        [settings](int v) { settings->setAppStatusbarType(v); }));
    e.append(intEntry(
        QStringLiteral("notificationType"), QStringLiteral("0 Disabled, 2 Enabled"),
        [settings] { return settings->appNotificationType(); },
        [settings](int v) { settings->setAppNotificationType(v); }));
    e.append(boolEntry(
        QStringLiteral("startAtLogin"), [settings] { return settings->startAtLogin(); },
        [settings](bool on) { settings->setStartAtLogin(on); }));
    e.append(readOnlyEntry(QStringLiteral("globalHotKeyCode"), QStringLiteral("set in the preferences"),
                           [settings] {
                               const auto hotKey = settings->globalHotKey();
                               return optionalNumber(hotKey.has_value(), hotKey ? hotKey->keyCode : 0);
                           }));
    e.append(readOnlyEntry(QStringLiteral("globalHotKeyFlags"), QStringLiteral("set in the preferences"),
                           [settings] {
                               const auto hotKey = settings->globalHotKey();
                               return optionalNumber(hotKey.has_value(), hotKey ? hotKey->modifierFlags : 0);
                           }));
    e.append(boolEntry(
        QStringLiteral("hideMainWindowOnStartTracking"),
        [settings] { return settings->hideMainWindowOnStartTracking(); },
        [settings](bool on) { settings->setHideMainWindowOnStartTracking(on); }));
    e.append(boolEntry(
        QStringLiteral("dontHideMainWindowOnStartTracking"),
        [settings] { return settings->dontHideMainWindowOnStartTracking(); },
        [settings](bool on) { settings->setDontHideMainWindowOnStartTracking(on); }));
    e.append(boolEntry(
        QStringLiteral("endCurrentActivityOnTrack"),
        [settings] { return settings->endCurrentActivityOnTrack(); },
        [settings](bool on) { settings->setEndCurrentActivityOnTrack(on); }));
    e.append(stringEntry(
        QStringLiteral("lastActivityText"), QStringLiteral("text"),
        [settings] { return settings->lastActivityText(); },
        [settings](const QString &text) { settings->setLastActivityText(text); }));
    e.append(boolEntry(
        QStringLiteral("skipMigrations"), [settings] { return settings->skipMigrations(); },
        [settings](bool on) { settings->setSkipMigrations(on); }));

    // Recent activities
    e.append(intEntry(
        QStringLiteral("recentItemsCount"), QStringLiteral("0..50"),
        [settings] { return settings->recentItemsCount(); },
        [settings](int v) { settings->setRecentItemsCount(v); }));
    e.append({QStringLiteral("recentItemsOrderedBy"), QStringLiteral("date|text"),
              [settings] {
                  return settings->recentItemsOrderedByDate() ? QStringLiteral("date")
                                                              : QStringLiteral("text");
              },
              [settings](const QString &text) -> QString {
                  const QString order = text.trimmed();
                  if (order != u"date" && order != u"text")
                      return QStringLiteral("expected date or text");
                  settings->setRecentItemsOrderedByDate(order == u"date");
                  return {};
              }});
    e.append(boolEntry(
        QStringLiteral("recentItemsExcludeInvoiced"),
        [settings] { return settings->recentItemsExcludeInvoiced(); },
        [settings](bool on) { settings->setRecentItemsExcludeInvoiced(on); }));

    // Reminders and computer events
    addNotification(e, QStringLiteral("notTrackingNotification"), settings->notTrackingNotification());
    addNotification(e, QStringLiteral("reminderNotification"), settings->reminderNotification());
    addComputerEvent(e, QStringLiteral("eventSleep"), settings->eventSleepSettings());
    addComputerEvent(e, QStringLiteral("eventScreenSleep"), settings->eventScreenSleepSettings());
    addComputerEvent(e, QStringLiteral("eventScreensaver"), settings->eventScreensaverSettings());
    addComputerEvent(e, QStringLiteral("eventScreenLocked"), settings->eventScreenLockedSettings());

    // Report window
    e.append({QStringLiteral("reportWindowSidebar"), QStringLiteral("WIDTH, YES|NO (collapsed)"),
              [settings] { return sidebarText(*settings); },
              [settings](const QString &text) { return writeSidebar(*settings, text); }});
    e.append(boolEntry(
        QStringLiteral("report_sidebar_projects_visible"),
        [settings] { return settings->reportSidebarProjectsVisible(); },
        [settings](bool on) { settings->setReportSidebarProjectsVisible(on); }));
    e.append(boolEntry(
        QStringLiteral("report_sidebar_tasks_visible"),
        [settings] { return settings->reportSidebarTasksVisible(); },
        [settings](bool on) { settings->setReportSidebarTasksVisible(on); }));
    e.append(boolEntry(
        QStringLiteral("report_sidebar_projects_ordered"),
        [settings] { return settings->reportSidebarProjectsOrdered(); },
        [settings](bool on) { settings->setReportSidebarProjectsOrdered(on); }));
    e.append(boolEntry(
        QStringLiteral("report_sidebar_tasks_ordered"),
        [settings] { return settings->reportSidebarTasksOrdered(); },
        [settings](bool on) { settings->setReportSidebarTasksOrdered(on); }));
    e.append(boolEntry(
        QStringLiteral("reportSidebarDynamicItems"),
        [settings] { return settings->reportSidebarDynamicItems(); },
        [settings](bool on) { settings->setReportSidebarDynamicItems(on); }));
    e.append(intEntry(
        QStringLiteral("report_duration_format"),
        QStringLiteral("0 hours:minutes:seconds, 1 minutes, 2 decimal hours"),
        [settings] { return settings->reportDurationFormat(); },
        [settings](int v) { settings->setReportDurationFormat(v); }));
    e.append(boolEntry(
        QStringLiteral("reportFilterVisible"), [settings] { return settings->reportFilterVisible(); },
        [settings](bool on) { settings->setReportFilterVisible(on); }));
    e.append(boolEntry(
        QStringLiteral("reportFilterToolbarVisible"),
        [settings] { return settings->reportFilterToolbarVisible(); },
        [settings](bool on) { settings->setReportFilterToolbarVisible(on); }));

    // Idle detection
    e.append(boolEntry(
        QStringLiteral("idleDetectionEnabled"), [settings] { return settings->idleTimeoutDetection(); },
        [settings](bool on) { settings->setIdleTimeoutDetection(on); }));
    e.append(intEntry(
        QStringLiteral("idleDetectionTimeout"), QStringLiteral("minutes, 1..60"),
        [settings] { return settings->idleTimeoutInterval(); },
        [settings](int v) { settings->setIdleTimeoutInterval(v); }));
    e.append(intEntry(
        QStringLiteral("defaultIdleAction"), QStringLiteral("1 subtract and stop, 2 subtract and continue"),
        [settings] { return settings->defaultIdleAction(); },
        [settings](int v) { settings->setDefaultIdleAction(v); }));

    // Export
    e.append(stringEntry(
        QStringLiteral("csvFieldSeparator"), QStringLiteral("text; {TAB} for a tab"),
        [settings] { return settings->csvFieldSeparator(); },
        [settings](const QString &text) { settings->setCsvFieldSeparator(text); }));
    e.append({QStringLiteral("csv_row_format"),
              QStringLiteral("field codes, e.g. 111, 120, 300; \"default\""),
              [exportFormats] { return FieldCodeList::csvText(exportFormats->getCSVFormat()); },
              [exportFormats](const QString &text) -> QString {
                  if (text.trimmed() == u"default") {
                      exportFormats->setCSVFormat(ExportFormatSettings::getDefaultCSVFormat());
                      return {};
                  }
                  QString error;
                  const auto fields = FieldCodeList::parseCsv(text, &error);
                  if (!fields)
                      return error;
                  exportFormats->setCSVFormat(*fields);
                  return {};
              }});
    e.append({QStringLiteral("xml_properties"), QStringLiteral("NAME=CODE, ...; empty for none"),
              [exportFormats] { return FieldCodeList::xmlText(exportFormats->getXMLFormat()); },
              [exportFormats](const QString &text) -> QString {
                  QString error;
                  const auto fields = FieldCodeList::parseXml(text, &error);
                  if (!fields)
                      return error;
                  exportFormats->setXMLFormat(*fields);
                  return {};
              }});
    e.append(intEntry(
        QStringLiteral("default_activity_export_format"), QStringLiteral("0 CSV, 1 XML"),
        [settings] { return settings->defaultActivityExportFormat(); },
        [settings](int v) { settings->setDefaultActivityExportFormat(v); }));

    // Sync: the account and the sync state change only through connecting and syncing.
    e.append(intEntry(
        QStringLiteral("syncMethod"), QStringLiteral("0 no sync, 1 Dropbox"),
        [settings] { return settings->syncMethod(); }, [settings](int v) { settings->setSyncMethod(v); }));
    e.append(intEntry(
        QStringLiteral("dropboxSyncInterval"),
        QStringLiteral("0 manually, 1 every 15 minutes, 2 every 30 minutes, 3 every hour"),
        [settings] { return settings->dropboxSyncInterval(); },
        [settings](int v) { settings->setDropboxSyncInterval(v); }));
    const QString bySync = QStringLiteral("set by connecting and syncing");
    e.append(readOnlyEntry(QStringLiteral("dropbox_account_name"), bySync,
                           [settings] { return settings->dropboxAccountName(); }));
    e.append(readOnlyEntry(QStringLiteral("dropbox_account_id"), bySync,
                           [settings] { return settings->dropboxAccountID(); }));
    e.append(readOnlyEntry(QStringLiteral("dropbox_hash"), bySync,
                           [settings] { return settings->dropboxHash(); }));
    e.append(readOnlyEntry(QStringLiteral("dropbox_sync_date"), bySync, [settings] {
        const QDateTime date = settings->dropboxSyncDate();
        return date.isValid() ? date.toUTC().toString(Qt::ISODateWithMs) : QString();
    }));
}

const SettingsTable::Entry *SettingsTable::find(const QString &key) const
{
    for (const Entry &entry : m_entries) {
        if (entry.key == key)
            return &entry;
    }
    for (const Entry &entry : m_entries) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

std::optional<bool> SettingsTable::parseBool(const QString &text)
{
    const QString value = text.trimmed().toLower();
    if (value == u"true" || value == u"yes" || value == u"on" || value == u"1")
        return true;
    if (value == u"false" || value == u"no" || value == u"off" || value == u"0")
        return false;
    return std::nullopt;
}
