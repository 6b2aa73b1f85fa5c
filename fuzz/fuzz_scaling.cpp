// Fuzz target: the scaling file quill-data writes and quill-eval predict
// reads, and the comment lines that name a data-set file's columns.
//
// A scaling file that reads has at least one input, a divisor other than 0
// for every scaled column and the outputs its kind implies; written back it
// reads to the same text. Column names read from the comment lines are
// written back and read to the same names.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "Tools/Common/ColumnNames.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/ScalingFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (quillfuzz::SilenceStreams(), true);
  (void)silenced;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  using quill::tools::ScalingRecord;
  try {
    const ScalingRecord record = quill::tools::ParseScaling(text, "input.csv");
    FUZZ_CHECK(!record.inputs.empty());
    for (const auto& s : record.inputs)
      FUZZ_CHECK(s.divide != 0.0);
    for (const auto& s : record.targets)
      FUZZ_CHECK(s.divide != 0.0);
    FUZZ_CHECK((record.kind == ScalingRecord::Kind::kUnknown) == (record.Outputs() == 0));
    const std::string written = quill::tools::ScalingText(record);
    FUZZ_CHECK(quill::tools::ScalingText(quill::tools::ParseScaling(written, "written.csv")) ==
               written);
  } catch (const quill::tools::ToolError&) {
  } catch (const quill::tools::UsageError&) {
  }
  if (const auto names = quill::tools::ReadColumnComment(text)) {
    const std::string comment = quill::tools::ColumnComment(*names);
    if (!comment.empty()) {
      const auto again = quill::tools::ReadColumnComment(comment);
      FUZZ_CHECK(again && again->inputs == names->inputs && again->outputs == names->outputs);
    }
  }
  return 0;
}
