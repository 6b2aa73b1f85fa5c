#include "Tools/QuillPlot/PlotCommand.h"

#include <iostream>
#include <string>
#include <vector>

#include "Tools/Common/CommandLine.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillPlot/ProgressSeries.h"
#include "Tools/QuillPlot/SvgChart.h"

namespace {

using namespace quill::tools;

}  // namespace

int QuillPlotMain(int argc, char** argv) {
  constexpr const char* kProgram = "quill-plot";
  return RunTool(kProgram, [&] {
    CLI::App app(
        "Draws the lowest error per generation of training runs (Quill's progress lines or a "
        "run log, from files or standard input) as an SVG chart.",
        kProgram);
    PrepareApp(app, kProgram, "Quill params.txt | quill-plot --log -o progress.svg");
    std::vector<std::string> files;
    std::vector<std::string> labels;
    std::string out_path;
    ChartOptions options;
    int column = 2;
    app.add_option("files", files,
                   "Progress files ('-' or none: standard input); each run is one line")
        ->default_str("-");
    app.add_option("-o,--output", out_path, "SVG file to write (standard output without)");
    app.add_flag("--log", options.log_scale, "A logarithmic error axis");
    app.add_option("--title", options.title, "Title above the chart");
    app.add_option("--label", labels, "Name of a run in the legend (repeat, in order)");
    app.add_option("--column", column,
                   "Field holding the error, counting from 1 (field 1 is the generation)");
    app.add_option("--width", options.width, "Width of the image in pixels");
    app.add_option("--height", options.height, "Height of the image in pixels");
    if (!ParseCommandLine(app, argc, argv)) return 0;

    if (files.empty()) files.push_back("-");
    std::vector<Series> series;
    for (const std::string& file : files) {
      const std::string name = file == "-" ? "standard input" : file;
      std::vector<Series> runs = ParseProgress(ReadTextInput(file), name, column);
      series.insert(series.end(), runs.begin(), runs.end());
    }
    if (labels.size() > series.size()) {
      throw UsageError(std::to_string(labels.size()) + " labels for " +
                       std::to_string(series.size()) + " runs");
    }
    for (std::size_t i = 0; i < labels.size(); ++i)
      series[i].label = labels[i];
    OutputFiles outputs;
    for (const std::string& file : files)
      outputs.Input(file, "the progress file");
    outputs.Text(out_path) << RenderChart(series, options);
    outputs.Commit();
    return 0;
  });
}
