#pragma once

#include <QStringList>

class SingleInstance;
class TerminationSignals;

// Runs the application controller on the real desktop: the user's settings, the store in the user's
// data folder, the tray, the keychain, the browser and the autostart entry.
namespace DesktopController {

// Launches, then runs the event loop until a quit is approved. Returns the program's exit status.
int run(SingleInstance &instance, TerminationSignals &termination, const QStringList &arguments);

} // namespace DesktopController
