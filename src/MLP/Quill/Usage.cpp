#include "MLP/Quill/Usage.h"

#include <algorithm>
#include <cstring>

#include "common/Version.h"

const std::vector<ParameterKey>& ParameterKeys() {
  static const std::vector<ParameterKey> keys = {
      {"WeightFile", "path", "starting network file (required)"},
      {"DestinationFile", "path", "where the trained network is written (GenTrain.wgt)"},
      {"#DataClasses", "integer >= 1",
       "number of data classes (required), given once before the DataFile entries"},
      {"DataFile", "path", "one data-set file per class, in class order"},
      {"PopulationSize", "integer >= 1", "individuals per generation (required)"},
      {"Generations", "integer >= 1", "generations to run (required)"},
      {"EliteIndividuals", "integer", "best individuals kept unchanged (1)"},
      {"MutationRate", "real", "probability of mutating a gene (0.0)"},
      {"CrossoverPoints", "integer", "cut points of each crossover (1)"},
      {"Selection", "Roulette|Tournament", "how parents are chosen (Roulette)"},
      {"Normalisation", "on|off", "normalise fitness before selection (on)"},
      {"MaxWeight", "real", "upper weight bound (10.0)"},
      {"MinWeight", "real", "lower weight bound (10.0)"},
      {"#Features", "integer >= 0", "number of input columns to keep, given once before Features"},
      {"Features", "integers", "the input columns kept, counting from 0 (all)"},
      {"Threads", "1 ... 1024", "threads that evaluate each generation (the machine's)"},
      {"Seed", "integer", "seeds the generator instead of the clock, to repeat a run (the clock)"},
      {"RunLog", "path", "a CSV log of every generation, written as the run goes (none)"},
      {"Checkpoint", "path", "where the run's state is saved to resume it later (none)"},
      {"CheckpointEvery", "integer >= 1", "generations between checkpoints (10)"},
      {"Resume", "path", "a checkpoint to continue the run from (none)"},
      {"TargetError", "real >= 0", "stop after the first generation with an error this low (none)"},
      {"TimeLimit", "seconds > 0", "stop after the generation that passes this time (none)"},
      {"Precision", "single|double",
       "arithmetic of the measurement: single is faster, double repeats earlier runs (double)"},
  };
  return keys;
}

std::string QuillHelp() {
  std::string text =
      "Usage: Quill parameter.file\n"
      "       Quill --help | --version\n"
      "\n"
      "Trains the connection weights of a multi-layer perceptron with a genetic algorithm.\n"
      "The parameter file names the starting network, one data-set file per class and the\n"
      "settings; standard output receives one line per generation (generation, lowest mean\n"
      "RMS error, its fitness), and the fittest network is written to DestinationFile.\n"
      "\n"
      "Parameter-file keys (any letter case), each followed by a separator and its value,\n"
      "as in \"Generations = 100\" (default in brackets):\n";
  std::size_t name_width = 0, value_width = 0;
  for (const ParameterKey& key : ParameterKeys()) {
    name_width = std::max(name_width, std::strlen(key.name));
    value_width = std::max(value_width, std::strlen(key.value));
  }
  for (const ParameterKey& key : ParameterKeys()) {
    std::string line = "  " + std::string(key.name);
    line.resize(2 + name_width + 2, ' ');
    line += key.value;
    line.resize(2 + name_width + 2 + value_width + 2, ' ');
    text += line + key.description + "\n";
  }
  text +=
      "\n"
      "Environment: QUILL_ISA=portable|avx2|avx512 forces the implementation of the\n"
      "measurement (for benchmarks; results do not depend on it).\n"
      "\n"
      "Exit status: 0 after a complete run, 1 after any message on standard error.\n"
      "\n"
      "Example:\n"
      "  Quill examples/xor/params.txt\n"
      "\n"
      "See man Quill and man quill-params for the full description.\n";
  return text;
}

std::string QuillVersion() {
  return std::string("Quill ") + quill::Version() + "\n";
}
