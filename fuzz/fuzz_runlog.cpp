// Fuzz target: the check of an existing run log before a resumed run cuts it
// back (RunLog::NotThisRunsLog).
//
// The input is the file. Any input ends in a reason or in agreement, reading
// no more than its first lines; agreement needs the Quill program line, the
// seed line and the input fingerprints the target expects (those of the
// seeds), in this order.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "MLP/Quill/RunLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const std::string seed = RunLog::SeedComment(7, true);
  const auto why = RunLog::NotThisRunsLog(in, seed, {0x1703cb449c5a1bceull, 0x507c8f52f57ee8d1ull});
  if (why) {
    FUZZ_CHECK(!why->empty());
  } else if (!text.empty()) {
    FUZZ_CHECK(text.rfind("# Quill ", 0) == 0);
    FUZZ_CHECK(text.find("\n# " + seed + "\n") != std::string::npos);
    FUZZ_CHECK(text.find("  fingerprint 507c8f52f57ee8d1") != std::string::npos);
  }
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
