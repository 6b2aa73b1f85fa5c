// The quill-plot program: draws the lowest error per generation of one or
// more training runs as an SVG chart (see man quill-plot).
#pragma once

// Runs quill-plot with the command line; returns the exit status (0 done,
// 1 failed, 2 a mistake in the command line).
int QuillPlotMain(int argc, char** argv);
