#include "window/RecentActivitiesMenu.h"

#include <QApplication>
#include <QMenu>
#include <QStyle>

namespace RecentActivitiesMenu {

void fill(QMenu *menu, const RecentActivityList &recent, bool startTrack,
          const std::function<void(const QString &text)> &chosen)
{
    menu->clear();
    if (recent.isEmpty()) {
        menu->addAction(RecentActivities::emptyTitle())->setEnabled(false);
        return;
    }
    for (const RecentActivityEntry &entry : recent) {
        QString title = RecentActivities::menuTitle(entry.text);
        QAction *action = menu->addAction(title.replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(entry.text);
        if (startTrack && entry.isCurrent) {
            action->setIcon(QApplication::style()->standardIcon(QStyle::SP_MediaPlay));
            action->setEnabled(false);
            continue;
        }
        const QString text = entry.text;
        QObject::connect(action, &QAction::triggered, menu, [chosen, text] { chosen(text); });
    }
}

} // namespace RecentActivitiesMenu
