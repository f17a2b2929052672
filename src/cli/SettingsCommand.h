#pragma once

#include <QStringList>

// `pendulo settings [KEY [VALUE]]`: lists every setting with its current value, shows one, or sets
// one through the settings object, so its normalisation applies.
class SettingsCommand
{
public:
    static int run(const QStringList &arguments);
};
