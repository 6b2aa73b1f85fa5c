// A line chart of the lowest error per generation as an SVG image, drawn by
// the program itself: axes with ticks and numbers, axis labels, a title, one
// line per series (validation errors dashed) and, when there are several, a
// legend beside the plot area, where it hides no line.
#pragma once

#include <string>
#include <vector>

#include "Tools/QuillPlot/ProgressSeries.h"

namespace quill::tools {

struct ChartOptions {
  std::string title = "Lowest error per generation";
  std::string x_label = "generation";
  std::string y_label = "lowest error";
  bool log_scale = false;  // a logarithmic error axis
  int width = 720;
  int height = 440;
};

// The SVG document. Throws UsageError for a size below 200 x 150 or above
// 10000 x 10000, and ToolError for an error of 0 or below on a log scale.
std::string RenderChart(const std::vector<Series>& series, const ChartOptions& options);

// `text` as XML character data: markup characters as entities, control
// characters as spaces, and every byte sequence that is not UTF-8 (or is a
// character XML forbids) as U+FFFD, so any bytes make well-formed XML.
std::string XmlText(const std::string& text);

// "Nice" tick values covering [lo, hi]: multiples of 1, 2 or 5 times a power
// of ten, about five of them, the first at or below lo and the last at or
// above hi (linear scale).
std::vector<double> LinearTicks(double lo, double hi);
// Powers of ten covering [lo, hi] (lo > 0), with 2 and 5 times each power too
// when the range spans at most two decades.
std::vector<double> LogTicks(double lo, double hi);

// The labels of one axis's ticks, all in one notation: plain decimals when
// every tick is 0 or of a magnitude from 0.0001 to below 1000000 (on a
// linear axis with as many decimals for each as the finest needs), else
// scientific ("2e-05" as 2e-5, "1.5e+06" as 1.5e6).
std::vector<std::string> TickLabels(const std::vector<double>& ticks, bool log_scale);

}  // namespace quill::tools
