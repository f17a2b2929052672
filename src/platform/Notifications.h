#pragma once

#include <QObject>
#include <QString>

// Desktop notifications. A click on one of ours is reported by `clicked`; clicks on other programs'
// notifications never are.
class Notifications : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Shows a notification. Delivery is asynchronous; a desktop without a notification service drops it.
    virtual void show(const QString &title, const QString &body) = 0;

    // Withdraws every notification of ours that is still on screen.
    virtual void closeAll() = 0;

Q_SIGNALS:
    void clicked();
};
