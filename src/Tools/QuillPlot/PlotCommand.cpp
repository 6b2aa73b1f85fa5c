#include "Tools/QuillPlot/PlotCommand.h"
int QuillPlotMain(int, char**) { return 0; }
