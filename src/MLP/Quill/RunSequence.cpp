#include "MLP/Quill/RunSequence.h"

#include "MLP/Quill/ParameterFile.h"

int RunQuill(const QuillParameters& /*params*/) {
  return 0;
}
