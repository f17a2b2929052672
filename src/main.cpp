#include "DesktopProgram.h"

#ifdef PENDULO_HAS_CLI
#include "CommandLine.h"
#endif

int main(int argc, char *argv[])
{
#ifdef PENDULO_HAS_CLI
    if (CommandLine::handles(argc, argv))
        return CommandLine::run(argc, argv);
#endif
    return runDesktopProgram(argc, argv);
}
