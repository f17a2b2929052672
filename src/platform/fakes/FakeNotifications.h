#pragma once

#include "Notifications.h"

#include <QList>
#include <QPair>

// Records notifications; a test "clicks" one with click().
class FakeNotifications final : public Notifications
{
    Q_OBJECT

public:
    using Notifications::Notifications;

    void show(const QString &title, const QString &body) override { shown.append({title, body}); }
    void closeAll() override
    {
        ++closeAllCount;
        shown.clear();
    }
    void click() { Q_EMIT clicked(); }

    QList<QPair<QString, QString>> shown;
    int closeAllCount = 0;
};
