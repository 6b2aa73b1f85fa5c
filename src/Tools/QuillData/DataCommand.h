// The quill-data program: turns CSV files into data-set files for Quill and
// back, and describes data-set files (`quill-data from-csv | to-csv |
// describe`; see man quill-data).
#pragma once

// Runs quill-data with the command line; returns the exit status (0 done,
// 1 failed, 2 a mistake in the command line).
int QuillDataMain(int argc, char** argv);
