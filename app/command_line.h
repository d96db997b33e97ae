// The vraxgui command: the window, or `--check` on the workbench alone, or
// help and version; see README.md ("Command line").
#pragma once

// Runs the command and returns its exit status: 0 on success, 1 after an
// error, 2 on a usage error.
int runVraxGui(int argc, char *argv[]);
