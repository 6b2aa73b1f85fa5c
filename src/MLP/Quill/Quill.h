// The driver: checks the command line, reads and validates the parameter
// file, then hands the parameters to the run sequence.
#pragma once

// Runs the program for the given command line; returns the exit status (0 after
// a complete run, 1 after any message on standard error). The single argument
// --help prints the usage and --version the version, each with status 0.
int QuillMain(int argc, char** argv);
