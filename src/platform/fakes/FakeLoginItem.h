#pragma once

#include "LoginItem.h"

#include <QSet>
#include <QStringList>

// Login items held in memory for tests; can be made to fail like a desktop that refuses the change.
class FakeLoginItem final : public LoginItem
{
public:
    bool setEnabled(const QString &identifier, bool enabled) override;
    bool isEnabled(const QString &identifier) const override { return m_enabled.contains(identifier); }

    void setFailing(bool failing) { m_failing = failing; }
    // Every request in order, "+id" to enable and "-id" to disable, failed ones included.
    const QStringList &requests() const { return m_requests; }

private:
    QSet<QString> m_enabled;
    QStringList m_requests;
    bool m_failing = false;
};
