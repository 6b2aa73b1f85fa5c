// The quill-net program: makes starting networks for Quill and describes
// network files (`quill-net new | show | dot`; see man quill-net).
#pragma once

// Runs quill-net with the command line; returns the exit status (0 done,
// 1 failed, 2 a mistake in the command line).
int QuillNetMain(int argc, char** argv);
