#pragma once

// The windows besides the main one: report, import, preferences and sync status. Each is created on
// demand and dropped when it closes.
class SecondaryWindows
{
public:
    virtual ~SecondaryWindows() = default;

    virtual void showReport() = 0;
    virtual void importActivities() = 0;
    // `tabIndex` 2 selects the sync pane; any other value leaves the pane as it is.
    virtual void showPreferences(int tabIndex) = 0;
    // True when the report window's activity editor had the focus and has saved the edited activity:
    // the start command then starts nothing.
    virtual bool handleCMDEnter() = 0;
};
