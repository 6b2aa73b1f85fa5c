#include "Tools/QuillEval/EvalCommand.h"
int QuillEvalMain(int, char**) { return 0; }
