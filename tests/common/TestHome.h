#pragma once

#include <QString>

namespace TestHome {

// Empties the test's own XDG data, config and cache folders (CTest points them below the build folder)
// and refuses to run when they are not set, so a test can never touch the user's real files.
void reset();

// The test's XDG folders.
QString dataHome();
QString configHome();
QString cacheHome();

} // namespace TestHome
