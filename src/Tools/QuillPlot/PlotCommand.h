#pragma once
int QuillPlotMain(int argc, char** argv);
