#include "Tools/QuillPlot/PlotCommand.h"

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "Tools/Common/CommandLine.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillPlot/ProgressSeries.h"
#include "Tools/QuillPlot/SvgChart.h"

int QuillPlotMain(int argc, char** argv) {
  using namespace quill::tools;
  constexpr const char* kProgram = "quill-plot";
  return RunTool(kProgram, [&] {
    CLI::App app(
        "Draws the lowest error per generation of training runs (Quill's progress lines or a "
        "run log, with its validation error when it has one, from files or standard input) as "
        "an SVG chart.",
        kProgram);
    PrepareApp(app, kProgram, "quill-plot run.csv -o progress.svg");
    std::vector<std::string> files;
    std::vector<std::string> labels;
    std::string out_path, column;
    ChartOptions options;
    bool log = false, linear = false;
    app.add_option("files", files,
                   "Progress files or run logs ('-' or none: standard input); each run is one "
                   "line")
        ->default_str("-");
    app.add_option("-o,--output", out_path, "SVG file to write (standard output without)");
    CLI::Option* log_flag =
        app.add_flag("--log", log, "A logarithmic value axis (the default for errors)");
    app.add_flag("--linear", linear, "A linear value axis (the default for other columns)")
        ->excludes(log_flag);
    CLI::Option* title = app.add_option("--title", options.title, "Title above the chart")
                             ->default_str("Lowest error per generation");
    CLI::Option* y_label = app.add_option("--y-label", options.y_label, "Label of the value axis")
                               ->default_str("lowest error");
    app.add_option("--label", labels, "Name of a run in the legend (repeat, in order)");
    app.add_option("--column", column,
                   "Field drawn: its number, counting from 1 (field 1 is the generation), or its "
                   "name in a run log's header; it also names the axis and the title")
        ->default_str("2, and validation_error beside it when present");
    app.add_option("--width", options.width, "Width of the image in pixels");
    app.add_option("--height", options.height, "Height of the image in pixels");
    if (!ParseCommandLine(app, argc, argv)) return 0;

    if (files.empty()) files.push_back("-");
    std::vector<Series> series;
    std::string column_name;
    for (const std::string& file : files) {
      const std::string name = file == "-" ? "standard input" : file;
      Progress progress = ReadProgress(ReadTextInput(file), name, column);
      series.insert(series.end(), progress.series.begin(), progress.series.end());
      if (column_name.empty()) column_name = progress.column_name;
    }
    // Labels name runs; a run's validation series is named after its run.
    const std::size_t runs = static_cast<std::size_t>(
        std::count_if(series.begin(), series.end(), [](const Series& s) { return !s.validation; }));
    if (labels.size() > runs) {
      throw UsageError(std::to_string(labels.size()) + " labels for " + std::to_string(runs) +
                       " runs");
    }
    const bool validation =
        std::any_of(series.begin(), series.end(), [](const Series& s) { return s.validation; });
    std::size_t run = 0;
    for (std::size_t i = 0; i < series.size(); ++i) {
      Series& s = series[i];
      if (!s.validation) {
        if (run < labels.size()) s.label = labels[run];
        ++run;
      }
      if (runs == 1 && validation && labels.empty()) {
        s.label = s.validation ? "validation" : "training";
      } else if (s.validation) {
        s.label = series[i - 1].label + ", validation";
      }
    }

    // The axis label and title follow the column drawn, unless given.
    std::string what = "lowest error";
    if (!column.empty()) {
      what = !column_name.empty()                                          ? column_name
             : column.find_first_not_of("0123456789") == std::string::npos ? "field " + column
                                                                           : column;
    } else if (validation) {
      what = "error";
    }
    if (y_label->count() == 0) options.y_label = what;
    if (title->count() == 0) {
      options.title = column.empty() ? (validation ? "Training and validation error per generation"
                                                   : "Lowest error per generation")
                                     : what + " per generation";
    }
    // Errors are drawn on a log scale unless told otherwise; a value of 0
    // or below then makes the axis linear.
    const bool errors = column.empty() || what.find("error") != std::string::npos;
    options.log_scale = log || (errors && !linear);
    if (options.log_scale && !log) {
      for (const Series& s : series) {
        const auto low =
            std::find_if(s.errors.begin(), s.errors.end(), [](double e) { return !(e > 0.0); });
        if (low == s.errors.end()) continue;
        std::cerr << kProgram << ": " << s.label << ": a value of " << FormatNumber(*low)
                  << " has no place on a log scale: the axis is linear" << std::endl;
        options.log_scale = false;
        break;
      }
    }
    OutputFiles outputs;
    for (const std::string& file : files)
      outputs.Input(file, "the progress file");
    outputs.Text(out_path) << RenderChart(series, options);
    outputs.Commit();
    return 0;
  });
}
