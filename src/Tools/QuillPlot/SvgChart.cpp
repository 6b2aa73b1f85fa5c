#include "Tools/QuillPlot/SvgChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "Tools/Common/ToolSupport.h"

namespace quill::tools {

namespace {

// Colours that stay apart for most kinds of colour vision.
constexpr const char* kColours[] = {"#0072b2", "#d55e00", "#009e73", "#cc79a7",
                                    "#e69f00", "#56b4e9", "#000000", "#f0e442"};

std::string Fixed(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", value);
  return buffer;
}

// The fewest decimals (up to 12) that write `value` to within a billionth of
// it, in `scientific` or fixed notation.
int Decimals(double value, bool scientific) {
  for (int d = 0; d < 12; ++d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, scientific ? "%.*e" : "%.*f", d, value);
    if (std::fabs(std::strtod(buffer, nullptr) - value) <= 1e-9 * std::fabs(value)) return d;
  }
  return 12;
}

// "2.5e+06" as "2.5e6", "1e-05" as "1e-5".
std::string ShortExponent(const std::string& text) {
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return text;
  std::string exponent = text.substr(e + 1);
  const bool negative = exponent[0] == '-';
  exponent.erase(0, exponent.find_first_not_of("+-0"));
  if (exponent.empty()) exponent = "0";
  return text.substr(0, e + 1) + (negative ? "-" : "") + exponent;
}

// Cuts a legend label to at most `most` bytes at a character boundary.
std::string Shortened(const std::string& label, std::size_t most) {
  if (label.size() <= most) return label;
  std::size_t cut = most - 3;
  while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xc0) == 0x80)
    --cut;
  return label.substr(0, cut) + "...";
}

// The integer ticks of the generation axis.
std::vector<double> GenerationTicks(double lo, double hi) {
  std::vector<double> ticks = LinearTicks(lo, hi);
  ticks.erase(
      std::remove_if(ticks.begin(), ticks.end(), [](double t) { return t != std::floor(t); }),
      ticks.end());
  return ticks;
}

}  // namespace

std::string XmlText(const std::string& text) {
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = bytes[i];
    if (c < 0x80) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        default:
          // Control characters have no place in XML text.
          out += (c < 0x20 && c != '\t') ? ' ' : static_cast<char>(c);
      }
      ++i;
      continue;
    }
    // A UTF-8 sequence: its length and the range of its second byte, which
    // excludes overlong forms, surrogates and code points beyond U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;
    if (c >= 0xc2 && c <= 0xdf) {
      length = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
      length = 3;
      if (c == 0xe0) low = 0xa0;
      if (c == 0xed) high = 0x9f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      length = 4;
      if (c == 0xf0) low = 0x90;
      if (c == 0xf4) high = 0x8f;
    }
    std::size_t valid = length == 0 ? 0 : 1;
    while (valid > 0 && valid < length && i + valid < n) {
      const unsigned char next = bytes[i + valid];
      if (next < (valid == 1 ? low : 0x80) || next > (valid == 1 ? high : 0xbf)) break;
      ++valid;
    }
    // U+FFFE and U+FFFF are no XML characters either.
    const bool non_character =
        valid == 3 && c == 0xef && bytes[i + 1] == 0xbf && bytes[i + 2] >= 0xbe;
    if (length > 0 && valid == length && !non_character) {
      out.append(text, i, length);
      i += length;
    } else {
      // An invalid sequence becomes one replacement character.
      out += "\xef\xbf\xbd";
      i += valid > 0 ? valid : 1;
    }
  }
  return out;
}

std::vector<std::string> TickLabels(const std::vector<double>& ticks, bool log_scale) {
  // Ticks of a linear axis that land within a rounding of 0 are 0.
  std::vector<double> values = ticks;
  double widest = 0.0;
  for (double t : values)
    widest = std::max(widest, std::fabs(t));
  for (double& t : values) {
    if (std::fabs(t) <= widest * 1e-12) t = 0.0;
  }
  const bool plain = std::all_of(values.begin(), values.end(), [](double t) {
    return t == 0.0 || (std::fabs(t) >= 1e-4 && std::fabs(t) < 1e6);
  });
  int decimals = 0;
  for (double t : values)
    decimals = std::max(decimals, Decimals(t, !plain));
  std::vector<std::string> labels;
  for (double t : values) {
    // A log axis spans decades: each tick keeps its own decimals.
    const int d = log_scale ? Decimals(t, !plain) : decimals;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, plain ? "%.*f" : "%.*e", d, t);
    labels.push_back(t == 0.0 ? "0" : ShortExponent(buffer));
  }
  return labels;
}

std::vector<double> LinearTicks(double lo, double hi) {
  if (!(hi > lo)) {
    const double pad = lo != 0.0 ? std::fabs(lo) * 0.1 : 1.0;
    lo -= pad;
    hi += pad;
  }
  const double raw = (hi - lo) / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (raw <= step) break;
  }
  std::vector<double> ticks;
  const double first = std::floor(lo / step);
  const double last = std::ceil(hi / step);
  for (double k = first; k <= last && ticks.size() < 100; k += 1.0)
    ticks.push_back(k * step);
  return ticks;
}

std::vector<double> LogTicks(double lo, double hi) {
  const int first = static_cast<int>(std::floor(std::log10(lo)));
  int last = static_cast<int>(std::ceil(std::log10(hi)));
  if (last <= first) last = first + 1;
  std::vector<double> ticks;
  const bool fine = last - first <= 2;
  for (int e = first; e <= last; ++e) {
    const double p = std::pow(10.0, e);
    ticks.push_back(p);
    if (fine && e < last) {
      ticks.push_back(2 * p);
      ticks.push_back(5 * p);
    }
  }
  // Only the fine ticks next to the data are kept.
  if (fine) {
    while (ticks.size() > 2 && ticks[1] <= lo)
      ticks.erase(ticks.begin());
    while (ticks.size() > 2 && ticks[ticks.size() - 2] >= hi)
      ticks.pop_back();
  }
  return ticks;
}

std::string RenderChart(const std::vector<Series>& series, const ChartOptions& o) {
  if (o.width < 200 || o.height < 150 || o.width > 10000 || o.height > 10000) {
    throw UsageError("the chart size is 200 x 150 at least and 10000 x 10000 at most");
  }
  double x_lo = 0, x_hi = 0, y_lo = 0, y_hi = 0;
  bool any = false;
  for (const Series& s : series) {
    for (std::size_t i = 0; i < s.errors.size(); ++i) {
      const double x = static_cast<double>(s.generations[i]);
      const double y = s.errors[i];
      if (o.log_scale && !(y > 0.0)) {
        throw ToolError(s.label + ": an error of " + FormatNumber(y) +
                        " cannot be shown on a log scale");
      }
      x_lo = any ? std::min(x_lo, x) : x;
      x_hi = any ? std::max(x_hi, x) : x;
      y_lo = any ? std::min(y_lo, y) : y;
      y_hi = any ? std::max(y_hi, y) : y;
      any = true;
    }
  }
  if (!any) throw ToolError("no progress to plot");
  if (x_hi <= x_lo) x_hi = x_lo + 1;

  const std::vector<double> x_ticks = GenerationTicks(x_lo, x_hi);
  const std::vector<double> y_ticks = o.log_scale ? LogTicks(y_lo, y_hi) : LinearTicks(y_lo, y_hi);
  x_lo = std::min(x_lo, x_ticks.front());
  x_hi = std::max(x_hi, x_ticks.back());
  y_lo = std::min(y_lo, y_ticks.front());
  y_hi = std::max(y_hi, y_ticks.back());

  // The legend stands right of the plot area, so that it hides no line.
  const bool legend = series.size() > 1;
  // At most about two fifths of the width: longer labels are cut.
  const auto most = static_cast<std::size_t>(std::clamp((o.width * 0.4 - 40.0) / 7.0, 8.0, 40.0));
  std::vector<std::string> legend_labels;
  std::size_t longest = 0;
  for (const Series& run : series) {
    legend_labels.push_back(Shortened(run.label, most));
    longest = std::max(longest, legend_labels.back().size());
  }
  const double legend_w = legend ? 40.0 + 7.0 * static_cast<double>(longest) : 0.0;
  const double left = 80, right = 24 + (legend ? legend_w + 12 : 0.0), top = 48, bottom = 56;
  const double plot_w = o.width - left - right;
  const double plot_h = o.height - top - bottom;
  auto px = [&](double x) { return left + (x - x_lo) / (x_hi - x_lo) * plot_w; };
  auto py = [&](double y) {
    const double f =
        o.log_scale ? (std::log10(y) - std::log10(y_lo)) / (std::log10(y_hi) - std::log10(y_lo))
                    : (y - y_lo) / (y_hi - y_lo);
    return top + (1.0 - f) * plot_h;
  };

  std::ostringstream svg;
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << o.width << "\" height=\""
      << o.height << "\" viewBox=\"0 0 " << o.width << ' ' << o.height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << Fixed(left + plot_w / 2) << "\" y=\"28\" text-anchor=\"middle\" "
      << "font-size=\"16\">" << XmlText(o.title) << "</text>\n";

  // Grid lines and tick labels.
  svg << "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (double t : x_ticks)
    svg << "<line x1=\"" << Fixed(px(t)) << "\" y1=\"" << Fixed(top) << "\" x2=\"" << Fixed(px(t))
        << "\" y2=\"" << Fixed(top + plot_h) << "\"/>\n";
  for (double t : y_ticks)
    svg << "<line x1=\"" << Fixed(left) << "\" y1=\"" << Fixed(py(t)) << "\" x2=\""
        << Fixed(left + plot_w) << "\" y2=\"" << Fixed(py(t)) << "\"/>\n";
  svg << "</g>\n<g fill=\"#333333\">\n";
  const std::vector<std::string> x_labels = TickLabels(x_ticks, false);
  const std::vector<std::string> y_labels = TickLabels(y_ticks, o.log_scale);
  for (std::size_t i = 0; i < x_ticks.size(); ++i)
    svg << "<text x=\"" << Fixed(px(x_ticks[i])) << "\" y=\"" << Fixed(top + plot_h + 18)
        << "\" text-anchor=\"middle\">" << x_labels[i] << "</text>\n";
  for (std::size_t i = 0; i < y_ticks.size(); ++i)
    svg << "<text x=\"" << Fixed(left - 8) << "\" y=\"" << Fixed(py(y_ticks[i]) + 4)
        << "\" text-anchor=\"end\">" << y_labels[i] << "</text>\n";
  svg << "</g>\n";

  // Axes and their labels.
  svg << "<rect x=\"" << Fixed(left) << "\" y=\"" << Fixed(top) << "\" width=\"" << Fixed(plot_w)
      << "\" height=\"" << Fixed(plot_h) << "\" fill=\"none\" stroke=\"#333333\"/>\n"
      << "<text x=\"" << Fixed(left + plot_w / 2) << "\" y=\"" << Fixed(o.height - 14.0)
      << "\" text-anchor=\"middle\">" << XmlText(o.x_label) << "</text>\n"
      << "<text x=\"18\" y=\"" << Fixed(top + plot_h / 2)
      << "\" text-anchor=\"middle\" transform=\"rotate(-90 18 " << Fixed(top + plot_h / 2) << ")\">"
      << XmlText(o.y_label) << (o.log_scale ? " (log scale)" : "") << "</text>\n";

  // One line per run.
  for (std::size_t s = 0; s < series.size(); ++s) {
    const char* colour = kColours[s % (sizeof kColours / sizeof kColours[0])];
    const Series& run = series[s];
    if (run.errors.size() == 1) {
      svg << "<circle cx=\"" << Fixed(px(static_cast<double>(run.generations[0]))) << "\" cy=\""
          << Fixed(py(run.errors[0])) << "\" r=\"3\" fill=\"" << colour << "\"/>\n";
      continue;
    }
    svg << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1.5\""
        << (run.validation ? " stroke-dasharray=\"6 3\"" : "")
        << " stroke-linejoin=\"round\" points=\"";
    for (std::size_t i = 0; i < run.errors.size(); ++i) {
      svg << (i > 0 ? " " : "") << Fixed(px(static_cast<double>(run.generations[i]))) << ','
          << Fixed(py(run.errors[i]));
    }
    svg << "\"/>\n";
  }

  if (legend) {
    const double x0 = left + plot_w + 12;
    svg << "<rect x=\"" << Fixed(x0) << "\" y=\"" << Fixed(top) << "\" width=\"" << Fixed(legend_w)
        << "\" height=\"" << Fixed(8.0 + 18.0 * static_cast<double>(series.size()))
        << "\" fill=\"white\" stroke=\"#bbbbbb\"/>\n";
    for (std::size_t s = 0; s < series.size(); ++s) {
      const double y = top + 16 + 18.0 * static_cast<double>(s);
      svg << "<line x1=\"" << Fixed(x0 + 8) << "\" y1=\"" << Fixed(y - 4) << "\" x2=\""
          << Fixed(x0 + 30) << "\" y2=\"" << Fixed(y - 4) << "\" stroke=\""
          << kColours[s % (sizeof kColours / sizeof kColours[0])] << "\" stroke-width=\"2\""
          << (series[s].validation ? " stroke-dasharray=\"6 3\"" : "") << "/>\n"
          << "<text x=\"" << Fixed(x0 + 36) << "\" y=\"" << Fixed(y) << "\">"
          << XmlText(legend_labels[s]) << "</text>\n";
    }
  }
  svg << "</svg>\n";
  return svg.str();
}

}  // namespace quill::tools
