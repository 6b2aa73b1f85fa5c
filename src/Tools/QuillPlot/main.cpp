// Entry point of quill-plot.
#include "Tools/QuillPlot/PlotCommand.h"

int main(int argc, char** argv) {
  return QuillPlotMain(argc, argv);
}
