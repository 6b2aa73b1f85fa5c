// The quill-eval program: measures a trained network on data-set files (see
// man quill-eval).
#pragma once

// Runs quill-eval with the command line; returns the exit status (0 done,
// 1 failed, 2 a mistake in the command line).
int QuillEvalMain(int argc, char** argv);
