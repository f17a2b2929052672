#include "linux/TrayStatusItem.h"

#include "tray/TrayIconRenderer.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

constexpr int trayPollMs = 3000;

QString menuText(const QString &title)
{
    QString text = title;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TrayStatusItem::TrayStatusItem(QObject *parent)
    : StatusItem(parent)
    , m_tray(new QSystemTrayIcon(this))
    , m_menu(new QMenu)
    , m_trayWait(new QTimer(this))
{
    m_trayWait->setInterval(trayPollMs);
    connect(m_trayWait, &QTimer::timeout, this, &TrayStatusItem::showWhenTrayAvailable);
    connect(m_menu, &QMenu::aboutToShow, this, &StatusItem::menuAboutToShow);
    m_tray->setContextMenu(m_menu);
    // A left click opens the menu too, as on desktops that do so themselves. Only on X11: elsewhere the
    // pointer position that places the menu is unknown.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && QGuiApplication::platformName() == QLatin1String("xcb") &&
            !m_menu->isVisible())
            m_menu->popup(QCursor::pos());
    });
    setPresentation(StatusItemType::Icon, QString());
}

TrayStatusItem::~TrayStatusItem()
{
    delete m_menu;
}

void TrayStatusItem::setVisible(bool visible)
{
    m_wanted = visible;
    if (!visible) {
        m_trayWait->stop();
        m_tray->hide();
        return;
    }
    showWhenTrayAvailable();
}

bool TrayStatusItem::isVisible() const
{
    return m_wanted;
}

bool TrayStatusItem::isWaitingForTray() const
{
    return m_trayWait->isActive();
}

void TrayStatusItem::showWhenTrayAvailable()
{
    if (!m_wanted)
        return;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        m_trayWait->start();
        return;
    }
    m_trayWait->stop();
    m_tray->show();
}

void TrayStatusItem::setPresentation(StatusItemType type, const QString &timerText)
{
    // "Icon" shows no time, so a new time must not redraw it.
    const QString shownText = type == StatusItemType::Icon ? QString() : timerText;
    if (m_hasPresentation && type == m_type && shownText == m_timerText)
        return;
    m_hasPresentation = true;
    m_type = type;
    m_timerText = shownText;
    m_icon = TrayIconRenderer::icon(type, shownText);
    ++m_iconChanges;
    m_tray->setIcon(m_icon);
}

void TrayStatusItem::setToolTip(const QString &toolTip)
{
    if (m_tray->toolTip() != toolTip)
        m_tray->setToolTip(toolTip);
}

void TrayStatusItem::setMenu(const QList<StatusMenuEntry> &entries)
{
    fillMenu(m_menu, entries);
}

void TrayStatusItem::fillMenu(QMenu *menu, const QList<StatusMenuEntry> &entries)
{
    // Submenus of the previous filling go with it; the menu itself stays, it may be opening right now.
    const QList<QMenu *> oldSubmenus = menu->findChildren<QMenu *>(QString(), Qt::FindDirectChildrenOnly);
    menu->clear();
    for (QMenu *old : oldSubmenus)
        old->deleteLater();

    for (const StatusMenuEntry &entry : entries) {
        if (entry.separator) {
            menu->addSeparator();
            continue;
        }
        if (!entry.children.isEmpty()) {
            auto *submenu = new QMenu(menuText(entry.title), menu);
            fillMenu(submenu, entry.children);
            QAction *action = menu->addMenu(submenu);
            action->setEnabled(entry.enabled);
            continue;
        }
        QAction *action = menu->addAction(menuText(entry.title));
        action->setEnabled(entry.enabled);
        if (entry.marked)
            action->setIcon(QApplication::style()->standardIcon(QStyle::SP_MediaPlay));
        const QString id = entry.id;
        const QString data = entry.data;
        connect(action, &QAction::triggered, this, [this, id, data] { Q_EMIT triggered(id, data); });
    }
}
