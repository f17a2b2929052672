#pragma once

#include "Keychain.h"

#include <QString>

// The keychain on the desktop's secret store (the Secret Service of GNOME Keyring, KeePassXC and others,
// or KWallet on KDE Plasma), reached through QtKeychain. Secrets never go to a plain file: when no secret
// store answers, every call fails and lastError() says "No keychain service available".
//
// Every call runs its keychain jobs on one keychain thread kept for the life of the process and waits for
// them, so the caller's thread never spins a nested event loop. A QCoreApplication must exist.
class PdKeychain final : public Keychain
{
public:
    explicit PdKeychain(const QString &service = QStringLiteral("com.penduloapp.dropbox-oauth"));

    QString service() const override { return m_service; }

    // Writes nothing when the item already holds exactly this text.
    bool saveGenericPassword(const QString &password, const QString &account) override;
    std::optional<QString> getGenericAccountPassword(const QString &account) override;
    bool deleteGenericPasswordForAccount(const QString &account) override;

    // The secret store's text for the last failure; empty after a call that did not fail.
    QString lastError() const { return m_lastError; }

private:
    void logFailure(const QString &action, const QString &statusText);

    QString m_service;
    QString m_lastError;
};
