#include "MLP/Quill/Usage.h"

#include <algorithm>
#include <cstring>

#include "common/Version.h"

std::string QuillHelp() {
  std::string text =
      "Usage: Quill parameter.file\n"
      "       Quill --check parameter.file\n"
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
    text += line + key.description + " (" + key.fallback + ")\n";
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
