#include "DesktopProgram.h"
#include "linux/LocalTimeZone.h"

#ifdef PENDULO_HAS_CLI
#include "CommandLine.h"
#endif

int main(int argc, char *argv[])
{
    // Before anything converts a local time, so the zone file is read once (see LocalTimeZone).
    LocalTimeZone::pinProcessZone();

#ifdef PENDULO_HAS_CLI
    if (CommandLine::handles(argc, argv))
        return CommandLine::run(argc, argv);
#endif
    return runDesktopProgram(argc, argv);
}
