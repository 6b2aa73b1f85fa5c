// Entry point of quill-eval.
#include "Tools/QuillEval/EvalCommand.h"

int main(int argc, char** argv) {
  return QuillEvalMain(argc, argv);
}
