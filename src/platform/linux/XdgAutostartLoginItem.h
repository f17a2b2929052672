#pragma once

#include "LoginItem.h"

#include <QByteArray>

// Login items as XDG autostart entries: enabling writes "<identifier>.desktop" into the autostart folder
// of the user's config folder, disabling removes it. GNOME, KDE Plasma and most other desktops start
// such entries at login.
class XdgAutostartLoginItem final : public LoginItem
{
public:
    // `executable` is what the entry runs: a program name looked up in PATH or an absolute path. The
    // start delay gives the desktop time to bring up its tray before the program starts.
    explicit XdgAutostartLoginItem(const QString &executable = QStringLiteral("pendulo-helper"),
                                   int startDelaySecs = 5);

    bool setEnabled(const QString &identifier, bool enabled) override;
    bool isEnabled(const QString &identifier) const override;

    // $XDG_CONFIG_HOME/autostart, or ~/.config/autostart when XDG_CONFIG_HOME is unset, empty or not an
    // absolute path.
    static QString autostartDirectory();
    // The entry's file, or an empty text when the identifier cannot be a file name.
    static QString entryPath(const QString &identifier);

    // The text of the entry file.
    QByteArray entryContents() const;
    // `program` as one argument of an Exec line: quoted where it holds reserved characters, with the
    // escapes of the desktop entry format.
    static QString execArgument(const QString &program);

private:
    QString m_executable;
    int m_startDelaySecs;
};
