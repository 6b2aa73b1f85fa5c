// The run sequence: everything the program does after the parameter file has
// been read and validated.
#pragma once

#include <string>

struct QuillParameters;

// Loads the starting network and the data sets named in `params` (read from
// `parameter_file`, which no output may overwrite), trains the network's
// weights and writes the best network found. Returns the exit status: 0
// after a complete run, 1 after a reported error.
int RunQuill(const QuillParameters& params, const std::string& parameter_file = "");
