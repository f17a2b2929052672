#pragma once

#include "Keychain.h"

#include <QMap>

// A keychain held in memory for tests. Every call can be made to fail.
class FakeKeychain final : public Keychain
{
public:
    explicit FakeKeychain(const QString &service = QStringLiteral("com.penduloapp.dropbox-oauth"));

    QString service() const override { return m_service; }
    bool saveGenericPassword(const QString &password, const QString &account) override;
    std::optional<QString> getGenericAccountPassword(const QString &account) override;
    bool deleteGenericPasswordForAccount(const QString &account) override;

    // When set, every call fails as a locked or missing secret store would.
    void setFailing(bool failing) { m_failing = failing; }
    // Puts an item in place as it is, even an empty one, bypassing the save rules.
    void setItem(const QString &account, const QString &password) { m_items.insert(account, password); }
    const QMap<QString, QString> &items() const { return m_items; }

private:
    QString m_service;
    QMap<QString, QString> m_items;
    bool m_failing = false;
};
