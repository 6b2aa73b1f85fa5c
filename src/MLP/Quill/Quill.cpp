#include "MLP/Quill/Quill.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <new>

#include "MLP/Quill/ParameterCheck.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/RunSequence.h"
#include "MLP/Quill/Usage.h"
#include "NeuralNets/simd/RecallKernels.h"

namespace {

int Fail(const std::string& message) {
  std::cerr << message << std::endl;
  return 1;
}

}  // namespace

int QuillMain(int argc, char** argv) {
  // Only these exact words: any other single argument is a parameter file.
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << QuillHelp() << std::flush;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << QuillVersion() << std::flush;
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--check") == 0) return QuillCheck(argv[2]);
  if (argc != 2) return Fail("Usage: Quill parameter.file");
  // A forced instruction set (QUILL_ISA, for measurements) that cannot be
  // followed ends the run before anything is read.
  if (const std::string problem = quill::simd::IsaProblem(); !problem.empty()) return Fail(problem);

  const char* name = argv[1];
  std::ifstream file(name);
  if (!file.is_open()) return Fail(std::string("Unable to open file") + name);

  QuillParameters params;
  if (auto error = ReadQuillParameters(file, params)) {
    if (*error == kWordTooLong) return Fail(std::string("Parameter file ") + name + ": " + *error);
    return Fail(*error);
  }
  file.close();
  if (auto error = ValidateQuillParameters(params)) return Fail(*error);

  // A run far beyond the machine (a population of two billion individuals,
  // say) fills memory until an allocation fails; that ends with a message
  // like any other input the program cannot take, not abnormally. The
  // destination is written through a temporary file, so it is untouched.
  try {
    return RunQuill(params, name);
  } catch (const std::bad_alloc&) {
    return Fail("Not enough memory for this run");
  }
}
