// The run sequence: everything the program does after the parameter file has
// been read and validated.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "MLP/Quill/Checkpoint.h"
#include "MLP/Quill/RunInputs.h"

class FileTools;
struct QuillParameters;

// What a run has loaded and checked before it writes anything.
struct RunPreparation {
  RunInputs inputs;
  // Fingerprints of the weight file and each data file, for a run that logs,
  // checkpoints or resumes (0 and empty otherwise).
  std::uint64_t network_fingerprint = 0;
  std::vector<std::uint64_t> data_fingerprints;
  // The checkpoint a resumed run continues.
  std::optional<RunCheckpoint> resume;
};

// Everything a run checks before it writes anything, in the run's order:
// the elite count, the inputs (LoadRunInputs), the checkpoint to resume, that
// no output names an input or another output, and that every output can be
// created. Returns nothing when the run can start, else exactly what the run
// writes on standard error before it exits with status 1. The parameter
// check runs the same.
std::optional<std::string> PrepareRun(const QuillParameters& params,
                                      const std::string& parameter_file, FileTools& network_files,
                                      FileTools& data_files, RunPreparation& run);

// Loads the starting network and the data sets named in `params` (read from
// `parameter_file`, which no output may overwrite), trains the network's
// weights and writes the best network found. Returns the exit status: 0
// after a complete run, 1 after a reported error.
int RunQuill(const QuillParameters& params, const std::string& parameter_file = "");
