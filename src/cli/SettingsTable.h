#pragma once

#include <QList>
#include <QString>

#include <functional>

class ExportFormatSettings;
class PdSettings;

// Every setting of the settings object under its stored key, read and written through the settings
// object's own accessors (so its defaults and normalisation apply), as text for the command line.
class SettingsTable
{
public:
    struct Entry
    {
        QString key;
        // The values it takes, for --help.
        QString values;
        std::function<QString()> read;
        // Sets the value from text; answers a reason when the text is not a value of the setting.
        // Empty for settings that only the program itself changes.
        std::function<QString(const QString &)> write;

        bool isReadOnly() const { return !write; }
    };

    SettingsTable(PdSettings &settings, ExportFormatSettings &exportFormats);

    const QList<Entry> &entries() const { return m_entries; }
    // The entry of a key, matched exactly or else without regard to letter case; null when none.
    const Entry *find(const QString &key) const;

    // Booleans as the command line reads them: true/false, yes/no, on/off, 1/0.
    static std::optional<bool> parseBool(const QString &text);

private:
    QList<Entry> m_entries;
};
