#pragma once

#include <QString>

#include <optional>

// Generic passwords of one keychain service (for example "com.penduloapp.dropbox-oauth"), one item per
// account name. Calls are synchronous and may block briefly, for example while the desktop's secret
// store asks the user to unlock it.
class Keychain
{
public:
    virtual ~Keychain() = default;

    // The service name every item of this keychain is filed under.
    virtual QString service() const = 0;

    // Creates the item or replaces its content. An empty password is refused. Returns false on failure.
    virtual bool saveGenericPassword(const QString &password, const QString &account) = 0;

    // The item's content; nothing when the item is missing, empty or cannot be read.
    virtual std::optional<QString> getGenericAccountPassword(const QString &account) = 0;

    // Removes the item; a missing item counts as removed. An empty account name fails.
    virtual bool deleteGenericPasswordForAccount(const QString &account) = 0;
};
