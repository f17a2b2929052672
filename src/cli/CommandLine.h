#pragma once

// The `pendulo` command line: `pendulo VERB ...` runs headless against the user's store and settings.
class CommandLine
{
public:
    // Whether the arguments ask for the command line (a verb, a misspelt one, --help or --version)
    // rather than the desktop program.
    static bool handles(int argc, char *argv[]);
    // Runs the command and answers the process's exit status.
    static int run(int argc, char *argv[]);
};
