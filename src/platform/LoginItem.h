#pragma once

#include <QString>

// Starting a helper program when the user logs in.
class LoginItem
{
public:
    virtual ~LoginItem() = default;

    // Registers (enabled) or removes (not enabled) the login item with the given identifier, for example
    // "com.penduloapp.PenduloHelper". Returns false when the desktop could not be told.
    virtual bool setEnabled(const QString &identifier, bool enabled) = 0;

    // Whether the login item is registered now.
    virtual bool isEnabled(const QString &identifier) const = 0;
};
