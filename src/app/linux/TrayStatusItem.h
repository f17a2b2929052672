#pragma once

#include "StatusItem.h"

#include <QIcon>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class QTimer;

// The status item as a QSystemTrayIcon (StatusNotifierItem or XEmbed). At login the desktop's tray may
// not be up yet: the item then waits and shows itself as soon as a tray appears.
class TrayStatusItem final : public StatusItem
{
    Q_OBJECT

public:
    explicit TrayStatusItem(QObject *parent = nullptr);
    ~TrayStatusItem() override;

    void setVisible(bool visible) override;
    bool isVisible() const override;
    void setPresentation(StatusItemType type, const QString &timerText) override;
    void setToolTip(const QString &toolTip) override;
    void setMenu(const QList<StatusMenuEntry> &entries) override;

    // The icon last given to the tray; it changes only when what it shows changes.
    QIcon currentIcon() const { return m_icon; }
    int iconChanges() const { return m_iconChanges; }
    QMenu *menu() const { return m_menu; }
    bool isWaitingForTray() const;

private:
    void showWhenTrayAvailable();
    void fillMenu(QMenu *menu, const QList<StatusMenuEntry> &entries);

    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_menu = nullptr;
    QTimer *m_trayWait = nullptr;
    bool m_wanted = false;
    bool m_hasPresentation = false;
    StatusItemType m_type = StatusItemType::Icon;
    QString m_timerText;
    QIcon m_icon;
    int m_iconChanges = 0;
};
