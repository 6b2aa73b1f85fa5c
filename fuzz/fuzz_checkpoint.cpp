// Fuzz target: the checkpoint reader.
//
// The input is read twice as it is and twice with its checksum line made to
// match its content (appended when it has none), since a fuzzer cannot forge
// a checksum and the checks behind it would otherwise stay out of reach. Each
// time it is read with the fast path for gene lists and with the plain tag
// reader: both must give the same checkpoint or the same message. A
// checkpoint that reads is consistent with itself (as many individuals as its
// population size, every gene list of the stated length, distinct
// identifiers, fitness values and errors within what a run produces) and is
// written and read back to the same text.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "MLP/Quill/Checkpoint.h"

namespace {

// The checkpoint `text` holds, or the message that refuses it.
struct Outcome {
  bool read = false;
  RunCheckpoint checkpoint;
  std::string message;
};

Outcome Read(const std::string& text, bool plain) {
  std::istringstream in(text);
  CheckpointReading how;
  how.plain = plain;
  Outcome o;
  try {
    o.checkpoint = ReadCheckpoint(in, how);
    o.read = true;
  } catch (const CheckpointError& e) {
    o.message = e.what();
    FUZZ_CHECK(!o.message.empty());
  }
  return o;
}

std::string Text(const RunCheckpoint& c) {
  std::ostringstream out;
  WriteCheckpoint(out, c);
  return out.str();
}

void Check(const std::string& text) {
  const Outcome fast = Read(text, false);
  const Outcome plain = Read(text, true);
  FUZZ_CHECK(fast.read == plain.read);
  FUZZ_CHECK(fast.message == plain.message);
  if (!fast.read) return;
  const RunCheckpoint& c = fast.checkpoint;
  // Written alike, the two readings hold the same bits.
  FUZZ_CHECK(Text(c) == Text(plain.checkpoint));
  FUZZ_CHECK(c.generation >= 1);
  FUZZ_CHECK(c.evaluations <= (std::int64_t{1} << 53) && c.log_bytes <= (std::int64_t{1} << 53));
  FUZZ_CHECK(c.lowest_error >= 0.0 && c.lowest_error <= TGenTrainEval::kNoError);
  FUZZ_CHECK(c.individuals.size() == static_cast<std::size_t>(c.settings.PopulationSize));
  std::set<std::int32_t> identifiers;
  for (const IndividualRecord& r : c.individuals) {
    FUZZ_CHECK(r.values.size() == static_cast<std::size_t>(c.gene_count));
    FUZZ_CHECK(r.fitness >= 0.0f && r.fitness <= TGenTrainEval::kFitnessCeiling);
    FUZZ_CHECK(identifiers.insert(r.identifier).second);
  }
  const std::string first = Text(c);
  std::istringstream again(first);
  const RunCheckpoint back = ReadCheckpoint(again);
  FUZZ_CHECK(Text(back) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Check(text);
  Check(SealCheckpoint(text));
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
