// Progress series and their chart: runs split where the generation falls
// back, other lines skipped, bad lines named; the SVG is well formed, holds
// one line per run with every point inside the plot, and ticks cover the data.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillPlot/ProgressSeries.h"
#include "Tools/QuillPlot/SvgChart.h"

namespace {

using namespace quill::tools;

std::string ErrorOf(const std::string& text, int column = 2) {
  try {
    ParseProgress(text, "p.txt", column);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(ProgressChart, ReadsQuillLinesAndRunLogs) {
  const std::vector<Series> runs = ParseProgress(
      "0 0.5\n1 0.4 2.5 \n2 0.3 3.33\n# another run\ngeneration,seconds,error\n0,1.5,0.6\n"
      "1,2.5,0.2\n",
      "p.txt");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].label, "p.txt (run 1)");
  EXPECT_EQ(runs[0].generations, (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(runs[0].errors, (std::vector<double>{0.5, 0.4, 0.3}));
  EXPECT_EQ(runs[1].errors, (std::vector<double>{1.5, 2.5}));  // field 2 of the log
  EXPECT_EQ(ParseProgress("0,1.5,0.6\n1,2.5,0.2\n", "log", 3)[0].errors,
            (std::vector<double>{0.6, 0.2}));
  EXPECT_EQ(ErrorOf("title\n"), "p.txt: no progress lines (generation and error)");
  EXPECT_EQ(ErrorOf("0 0.5\n1\n"), "p.txt:2: no field 2 (the error) after the generation");
  EXPECT_EQ(ErrorOf("0 0.5\n1 nan 0\n"), "p.txt:2: the error 'nan' is not a finite number");
  EXPECT_EQ(ErrorOf("0 0.5\n", 1), "the error column is 2 or above: column 1 is the generation");
  EXPECT_EQ(ErrorOf(std::string("0 0.5\n# \0\n", 10)), "p.txt:2: a NUL byte (not a text file)");
}

// Random runs: the document's tags nest, each run is one polyline (or one
// circle) with its points inside the plot area, and ticks cover the data.
TEST(ProgressChart, ChartsOfRandomRunsAreWellFormed) {
  std::mt19937 rng(5);
  for (int round = 0; round < 40; ++round) {
    std::vector<Series> runs(1 + rng() % 4);
    double lo = 1e300, hi = 0;
    for (std::size_t s = 0; s < runs.size(); ++s) {
      runs[s].label = "run <" + std::to_string(s) + "> & co";
      const int points = 1 + static_cast<int>(rng() % 60);
      double e = std::pow(10.0, static_cast<double>(rng() % 7) - 4.0);
      for (int g = 0; g < points; ++g) {
        runs[s].generations.push_back(g * (1 + static_cast<long>(round % 3)));
        runs[s].errors.push_back(e);
        lo = std::min(lo, e);
        hi = std::max(hi, e);
        e *= 0.5 + static_cast<double>(rng() % 50) / 100.0;
      }
    }
    ChartOptions options;
    options.log_scale = round % 2 == 0;
    const std::string svg = RenderChart(runs, options);
    // Tags balance (every element closes or is self-closing).
    std::vector<std::string> open;
    const std::regex tag("<(/?)([a-z]+)[^>]*?(/?)>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), tag); it != std::sregex_iterator();
         ++it) {
      const std::smatch& m = *it;
      if (m[1] == "/") {
        ASSERT_FALSE(open.empty());
        EXPECT_EQ(open.back(), m[2]);
        open.pop_back();
      } else if (m[3] != "/") {
        open.push_back(m[2]);
      }
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(svg.find("<0>"), std::string::npos);  // labels are escaped
    std::size_t lines = 0;
    for (std::size_t at = svg.find("<polyline"); at != std::string::npos;
         at = svg.find("<polyline", at + 1))
      ++lines;
    std::size_t dots = 0;
    for (std::size_t at = svg.find("<circle"); at != std::string::npos;
         at = svg.find("<circle", at + 1))
      ++dots;
    EXPECT_EQ(lines + dots, runs.size());
    // The legend stands right of every point.
    double legend_x = 720 - 24 + 1;  // no legend: the right margin
    const std::smatch legend = [&] {
      std::smatch m;
      std::regex_search(svg, m, std::regex("<rect x=\"([0-9.]+)\"[^>]*stroke=\"#bbbbbb\""));
      return m;
    }();
    EXPECT_EQ(legend.empty(), runs.size() == 1);
    if (!legend.empty()) legend_x = std::stod(legend[1]);
    const std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
    const std::size_t from = svg.find("<polyline");
    for (auto it = std::sregex_iterator(
             svg.begin() + static_cast<long>(from == std::string::npos ? svg.size() : from),
             svg.end(), point);
         it != std::sregex_iterator(); ++it) {
      const double x = std::stod((*it)[1]), y = std::stod((*it)[2]);
      EXPECT_GE(x, 80 - 0.01);
      EXPECT_LE(x, 720 - 24 + 0.01);
      EXPECT_LT(x, legend_x);
      EXPECT_GE(y, 48 - 0.01);
      EXPECT_LE(y, 440 - 56 + 0.01);
    }
    const std::vector<double> ticks = options.log_scale ? LogTicks(lo, hi) : LinearTicks(lo, hi);
    EXPECT_LE(ticks.front(), lo);
    EXPECT_GE(ticks.back(), hi);
    EXPECT_GE(ticks.size(), 2u);
    EXPECT_LE(ticks.size(), 16u);
  }
}

// Code points from 1 to U+10FFFF, UTF-8 encoded by hand.
std::string Utf8(std::uint32_t cp) {
  std::string s;
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  for (int k = n - 1; k > 0; --k)
    s.insert(s.begin(), static_cast<char>(0x80 | ((cp >> (6 * (n - 1 - k))) & 0x3f)));
  const unsigned lead[] = {0, 0, 0xc0, 0xe0, 0xf0};
  s.insert(s.begin(), static_cast<char>(lead[n] | (cp >> (6 * (n - 1)))));
  return s;
}

// The characters XML 1.0 takes.
bool XmlChar(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xa || cp == 0xd || (cp >= 0x20 && cp <= 0xd7ff) ||
         (cp >= 0xe000 && cp <= 0xfffd) || (cp >= 0x10000 && cp <= 0x10ffff);
}

// Decodes `text` as UTF-8 by code point arithmetic; false for any byte
// sequence that is not the shortest form of a character XML takes, and for
// markup.
bool WellFormedText(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + static_cast<std::size_t>(n) > text.size()) return false;
    std::uint32_t cp = n == 1 ? c : c & (0x7f >> n);
    for (int k = 1; k < n; ++k) {
      const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((b & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3f);
    }
    if (Utf8(cp).size() != static_cast<std::size_t>(n) || !XmlChar(cp) || c == '<' || c == '&')
      return false;
    i += static_cast<std::size_t>(n);
  }
  return true;
}

TEST(ProgressChart, TextIsWellFormedXmlForAnyBytesAndKeepsEveryCharacterXmlTakes) {
  std::mt19937 rng(18);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string bytes(rng() % 12, '\0');
    for (char& b : bytes)  // mostly high bytes, where UTF-8 goes wrong; no markup
      b = static_cast<char>(rng() % 4 == 0 ? rng() % 0x22 : 0x80 + rng() % 0x80);
    EXPECT_TRUE(WellFormedText(XmlText(bytes))) << testing::PrintToString(bytes);
    // Valid text of characters XML takes comes back as it went in.
    std::string text;
    for (int k = 0; k < 6; ++k) {
      std::uint32_t cp = 0;
      while (!XmlChar(cp) || cp < 0x20 || cp == '<' || cp == '>' || cp == '&' || cp == '"')
        cp = rng() % 4 == 0 ? rng() % 0x80 : rng() % 0x110000;
      text += Utf8(cp);
    }
    EXPECT_EQ(XmlText(text), text);
  }
  EXPECT_EQ(XmlText("<a & \"b\">\x01"), "&lt;a &amp; &quot;b&quot;&gt; ");
}

TEST(ProgressChart, RunLogsGiveTheirValidationErrorAndNamedColumns) {
  const std::string log =
      "# run log\ngeneration,lowest_error,best_fitness,validation_error\n1,0.5,2,0.6\n"
      "2,0.25,4,\n3,0.2,5,0.4\n";
  const Progress p = ReadProgress(log, "run.csv");
  ASSERT_EQ(p.series.size(), 2u);
  EXPECT_EQ(p.series[0].errors, (std::vector<double>{0.5, 0.25, 0.2}));
  EXPECT_TRUE(p.series[1].validation);
  EXPECT_EQ(p.series[1].generations, (std::vector<long>{1, 3}));
  EXPECT_EQ(p.series[1].errors, (std::vector<double>{0.6, 0.4}));
  const Progress fitness = ReadProgress(log, "run.csv", "best_fitness");
  ASSERT_EQ(fitness.series.size(), 1u);
  EXPECT_EQ(fitness.series[0].errors, (std::vector<double>{2, 4, 5}));
  EXPECT_EQ(fitness.column_name, "best_fitness");
  EXPECT_EQ(ReadProgress(log, "run.csv", "3").series[0].errors, fitness.series[0].errors);
  auto error = [&](const std::string& text, const std::string& column) -> std::string {
    try {
      ReadProgress(text, "run.csv", column);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(error(log, "seconds"), "run.csv:2: the header has no column 'seconds'");
  EXPECT_EQ(error("1 0.5\n", "seconds"),
            "run.csv:1: no header row names the column 'seconds' before this line");
  EXPECT_EQ(error(log + "4,0.1,9,x\n", ""),
            "run.csv:6: the validation error 'x' is not a finite number");
}

// Every axis writes its ticks in one notation, and each label reads back as
// its tick.
TEST(ProgressChart, TickLabelsShareOneNotationPerAxis) {
  EXPECT_EQ(TickLabels({0, 5000, 10000}, false), (std::vector<std::string>{"0", "5000", "10000"}));
  EXPECT_EQ(TickLabels({0, 0.5, 1, 1.5}, false),
            (std::vector<std::string>{"0", "0.5", "1.0", "1.5"}));
  EXPECT_EQ(TickLabels({1e-5, 1e-4, 1e-3}, true),
            (std::vector<std::string>{"1e-5", "1e-4", "1e-3"}));
  EXPECT_EQ(TickLabels({0.01, 0.02, 0.05, 0.1}, true),
            (std::vector<std::string>{"0.01", "0.02", "0.05", "0.1"}));
  EXPECT_EQ(TickLabels({0, 5e5, 1e6, 1.5e6}, false),
            (std::vector<std::string>{"0", "5.0e5", "1.0e6", "1.5e6"}));
  std::mt19937 rng(8);
  for (int round = 0; round < 2000; ++round) {
    const bool log = round % 2 == 0;
    const double lo =
        std::ldexp(static_cast<double>(rng() % 1000 + 1), static_cast<int>(rng() % 60) - 40);
    const double hi = lo * (1.0 + static_cast<double>(rng() % 100000) / 10.0);
    const std::vector<double> ticks = log ? LogTicks(lo, hi) : LinearTicks(lo, hi);
    const std::vector<std::string> labels = TickLabels(ticks, log);
    std::size_t scientific = 0;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
      scientific += labels[i].find('e') != std::string::npos;
      const double back = std::stod(labels[i]);
      EXPECT_NEAR(back, ticks[i], 1e-9 * (ticks.back() - ticks.front())) << labels[i];
    }
    EXPECT_TRUE(scientific == 0 || scientific + (labels[0] == "0") == labels.size())
        << testing::PrintToString(labels);
  }
}

TEST(ProgressChart, LogScaleNeedsPositiveErrors) {
  Series run{"r", {0, 1}, {0.5, 0.0}};
  ChartOptions options;
  options.log_scale = true;
  EXPECT_THROW(RenderChart({run}, options), ToolError);
  options.log_scale = false;
  EXPECT_NO_THROW(RenderChart({run}, options));
  options.width = 10;
  EXPECT_THROW(RenderChart({run}, options), UsageError);
}

}  // namespace
