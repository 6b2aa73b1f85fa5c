// The driver: reads the parameter file, validates it and runs a training job.
#pragma once

// Runs the program for the given command line; returns the exit status.
int QuillMain(int argc, char** argv);
