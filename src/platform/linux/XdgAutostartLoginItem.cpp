#include "XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include <algorithm>

Q_LOGGING_CATEGORY(lcLoginItem, "pendulo.platform.loginitem")

XdgAutostartLoginItem::XdgAutostartLoginItem(const QString &executable, int startDelaySecs)
    : m_executable(executable)
    , m_startDelaySecs(startDelaySecs)
{}

QString XdgAutostartLoginItem::autostartDirectory()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart");
}

QString XdgAutostartLoginItem::entryPath(const QString &identifier)
{
    if (identifier.isEmpty() || identifier.contains(QLatin1Char('/')) ||
        identifier.startsWith(QLatin1Char('.')))
        return {};
    return autostartDirectory() + QLatin1Char('/') + identifier + QStringLiteral(".desktop");
}

bool XdgAutostartLoginItem::setEnabled(const QString &identifier, bool enabled)
{
    const QString path = entryPath(identifier);
    if (path.isEmpty()) {
        qCWarning(lcLoginItem) << "Refusing login item with identifier" << identifier;
        return false;
    }
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            qCWarning(lcLoginItem) << "Could not remove autostart entry" << path;
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qCWarning(lcLoginItem) << "Could not create autostart folder for" << path;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entryContents()) < 0 || !file.commit()) {
        qCWarning(lcLoginItem) << "Could not write autostart entry" << path << file.errorString();
        return false;
    }
    return true;
}

bool XdgAutostartLoginItem::isEnabled(const QString &identifier) const
{
    const QString path = entryPath(identifier);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QByteArray XdgAutostartLoginItem::entryContents() const
{
    QByteArray text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Pendulo\n";
    text += "Comment=Starts Pendulo in the background when you log in\n";
    text += "Exec=" + execArgument(m_executable).toUtf8() + '\n';
    text += "Icon=com.penduloapp.Pendulo\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    text += "X-GNOME-Autostart-Delay=" + QByteArray::number(m_startDelaySecs) + '\n';
    return text;
}

QString XdgAutostartLoginItem::execArgument(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes =
        std::any_of(program.cbegin(), program.cend(), [](QChar c) { return reserved.contains(c); });
    QString argument;
    if (needsQuotes) {
        argument += QLatin1Char('"');
        for (const QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                argument += QLatin1Char('\\');
            argument += c;
        }
        argument += QLatin1Char('"');
    } else {
        argument = program;
    }
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));

    // Escapes of the entry file's string values come last; they are undone first when the file is read.
    QString escaped;
    for (const QChar c : argument) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else
            escaped += c;
    }
    return escaped;
}
