#pragma once

// What a benchmark program does around its benchmarks: the time zone pinned as Pendulo pins it at
// start (so local-time conversions cost what they cost there), a Qt core application, and Google
// Benchmark's own command line. Returns the program's exit status.
int runBenchmarks(int argc, char **argv);
