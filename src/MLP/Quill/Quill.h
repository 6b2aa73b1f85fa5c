// The driver: checks the command line, reads and validates the parameter
// file, then hands the parameters to the run sequence.
#pragma once

// Runs the program for the given command line; returns the exit status (0 after
// a complete run, 1 after any message on standard error). The single argument
// --help (or -h) prints the usage and --version the version, each with status
// 0; `--check FILE` checks a parameter file without running it (0: nothing
// found, 1: the run would fail, 3: it would run, with warnings).
int QuillMain(int argc, char** argv);
