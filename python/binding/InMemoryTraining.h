// Training a network on data sets held in memory, for the Python module: the
// run the program makes from a parameter file (the starting error, the
// trainer, the early stops), without any file, with a per-generation
// observer, validation data and patience.
//
// With the same network, data, settings and seed, the history's errors and
// the trained network are those of `Quill` on the same inputs written as
// files (no validation data, no patience, no stop by the observer).
//
// Thread safety: the trainer draws from the program-wide generator, so one
// training runs at a time in the process (callers hold a GeneratorLock).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "MLP/Quill/ParameterFile.h"

class Data;
class TMLPNetwork;

namespace quill::python {

// Input the training cannot use: raised as ValueError with the message.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Held by every user of the program-wide generator (a training, a run, a
// network's random weights) while it draws. The thread that holds it cannot
// take it again (a training's observer that starts another training): that
// throws InputError instead of waiting for itself.
class GeneratorLock {
 public:
  // REQUIRES: the caller does not hold Python's interpreter lock, so that a
  // holder's observer can take it.
  GeneratorLock();
  ~GeneratorLock();
  GeneratorLock(const GeneratorLock&) = delete;
  GeneratorLock& operator=(const GeneratorLock&) = delete;

  // Throws InputError when this thread holds the lock.
  static void CheckNotHeld();

 private:
  std::unique_lock<std::mutex> lock_;
};

// One evaluated generation.
struct GenerationRecord {
  std::int32_t generation = 0;
  double lowest_error = 0.0;  // the generation's lowest mean error
  float best_fitness = 0.0f;  // the fitness of that individual
  float mean_fitness = 0.0f;
  float worst_fitness = 0.0f;
  double seconds = 0.0;  // since the training started
  // The validation error of the best network so far; NaN without validation.
  double validation_error = std::numeric_limits<double>::quiet_NaN();
};

struct TrainRequest {
  // Validated settings (ValidateQuillParameters); DataClasses is the number
  // of data sets. Paths, the run log and checkpoints are not used.
  QuillParameters params;
  // One data set per class, in class order; each fits the network.
  std::vector<std::unique_ptr<Data>> data;
  // Data sets whose error picks the network returned (none: the fittest of
  // the last generation, as the program writes it).
  std::vector<std::unique_ptr<Data>> validation;
  // Stop when the watched error (validation when given, else the lowest
  // error) has not improved for this many generations; 0 never.
  std::int32_t patience = 0;
  // Leave the progress lines on standard output, as the program prints them.
  bool verbose = false;
  // Called after every generation; true stops the training there.
  std::function<bool(const GenerationRecord&)> observer;
  // Set by a signal handler: the training stops after the generation being
  // evaluated.
  const volatile int* interrupted = nullptr;
};

struct TrainOutcome {
  std::unique_ptr<TMLPNetwork> network;
  double starting_error = 0.0;
  double starting_validation_error = std::numeric_limits<double>::quiet_NaN();
  std::vector<GenerationRecord> history;
  // Why it ended: "generations", "perfect" (a network with error 0),
  // "target_error", "time_limit", "patience", "callback", "interrupted".
  std::string stopped = "generations";
  // The generation whose network is returned (0: the starting network).
  std::int32_t best_generation = 0;
};

// Trains a copy of `start`. Throws InputError for an elite count, starting
// weights or features the trainer cannot take; errors of the library
// (TException, std::bad_alloc) pass through.
TrainOutcome TrainInMemory(const TMLPNetwork& start, TrainRequest& request);

// The mean RMS error over the data sets as the trainer measures it (one
// error object over all of them, the error after each one averaged).
double MeanError(TMLPNetwork& network, const std::vector<Data*>& data);

}  // namespace quill::python
