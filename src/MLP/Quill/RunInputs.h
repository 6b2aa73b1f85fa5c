// The inputs of a training run: the starting network and one data set per
// class, loaded and checked as the run loads them (the run itself and the
// parameter check share this, so that they never disagree).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class Data;
class FileTools;
class TMLPNetwork;
struct QuillParameters;

struct RunInputs {
  std::unique_ptr<TMLPNetwork> network;
  // One per data class, in class order, with the features applied.
  std::vector<std::unique_ptr<Data>> data_sets;

  // The data sets as the trainer takes them.
  std::vector<Data*> Pointers() const;
};

// Loads the starting network through `network_files` and the data sets
// through `data_files`. Returns nothing when every input can be trained on,
// otherwise exactly what the run writes on standard error before it exits
// with status 1 (the reader's message for a syntax error, which ends as the
// reader ends it; one line for the others; three lines for an error met by
// the objects the readers build).
std::optional<std::string> LoadRunInputs(const QuillParameters& params, FileTools& network_files,
                                         FileTools& data_files, RunInputs& inputs);
