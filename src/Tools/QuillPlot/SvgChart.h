// A line chart of the lowest error per generation as an SVG image, drawn by
// the program itself: axes with ticks and numbers, axis labels, a title, one
// line per run and a legend when there are several.
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

}  // namespace quill::tools
