// Fuzz target: the checkpoint reader.
//
// Any input ends in a CheckpointError or in a checkpoint that is consistent
// with itself (as many individuals as its population size, every gene list
// of the stated length, distinct identifiers) and that is written and read
// back to the same text.
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "MLP/Quill/Checkpoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  RunCheckpoint c;
  try {
    c = ReadCheckpoint(in);
  } catch (const CheckpointError& e) {
    FUZZ_CHECK(e.what()[0] != '\0');
    return 0;
  }
  FUZZ_CHECK(c.generation >= 1);
  FUZZ_CHECK(c.individuals.size() == static_cast<std::size_t>(c.settings.PopulationSize));
  std::set<std::int32_t> identifiers;
  for (const IndividualRecord& r : c.individuals) {
    FUZZ_CHECK(r.values.size() == static_cast<std::size_t>(c.gene_count));
    FUZZ_CHECK(r.fitness >= 0.0f);
    FUZZ_CHECK(identifiers.insert(r.identifier).second);
  }
  std::ostringstream first;
  WriteCheckpoint(first, c);
  std::istringstream again(first.str());
  RunCheckpoint back = ReadCheckpoint(again);
  std::ostringstream second;
  WriteCheckpoint(second, back);
  FUZZ_CHECK(first.str() == second.str());
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
