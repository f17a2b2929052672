#pragma once

#include <functional>

#include <QtGlobal>

// One system-wide keyboard shortcut, replaceable at any time, whose action runs on the main thread.
class GlobalHotKeyMonitor
{
public:
    virtual ~GlobalHotKeyMonitor() = default;

    virtual void unregisterAllShortcuts() = 0;
    // Key code and modifier flags as the shortcut recorder gives them.
    virtual void registerShortcut(qint64 keyCode, qint64 modifierFlags, std::function<void()> action) = 0;
};
