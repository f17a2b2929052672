#pragma once

// Runs the desktop program (QApplication, windows, tray) until it quits; returns the exit status.
int runDesktopProgram(int argc, char *argv[]);
