// quill-net's networks: what `new` builds is what `show` reports after the
// file round trip, for many random designs; seeds repeat; the picture
// has one edge per weight. Every network file of the fuzz corpus is shown or
// refused with a message, never crashing.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "FileHandler/FileTools.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillNet/NetBuilder.h"
#include "Tools/QuillNet/NetCommand.h"
#include "Tools/QuillNet/NetReport.h"

namespace {

using namespace quill::tools;

std::string Written(const TBasicNetwork& net) {
  std::ostringstream out;
  FileTools ft;
  ft.WriteNetwork(out, net);
  return out.str();
}

TEST(NetTools, NewThenShowReportsTheDesign) {
  std::mt19937 rng(31);
  const std::vector<std::string>& functions = UsableFunctions();
  for (int round = 0; round < 60; ++round) {
    NetDesign design;
    const int layers = 2 + static_cast<int>(rng() % 3);
    for (int i = 0; i < layers; ++i)
      design.sizes.push_back(1 + static_cast<int>(rng() % 6));
    design.bias = rng() % 2 == 0;
    design.hidden = functions[rng() % functions.size()];
    design.output = functions[rng() % functions.size()];
    design.gain = 0.5 + static_cast<double>(rng() % 4);
    design.pruneable = rng() % 2 == 0;
    design.init = static_cast<WeightInit>(rng() % 3);
    design.low = -static_cast<double>(rng() % 3) - 0.25;
    design.high = static_cast<double>(rng() % 3) + 0.25;
    design.seed = rng();
    SCOPED_TRACE(round);

    const auto built = BuildNetwork(design);
    const std::string text = Written(*built);
    EXPECT_EQ(text, Written(*BuildNetwork(design)));  // the same seed, the same file
    std::istringstream in(text);
    FileTools ft;
    auto read = ft.ReadNetwork(in);
    ASSERT_NE(dynamic_cast<TMLPNetwork*>(read.get()), nullptr);
    const NetworkSummary s = Summarize(*read);

    ASSERT_EQ(s.layers.size(), design.sizes.size() + 1);
    EXPECT_EQ(s.layers[0].neurons, design.bias ? 1 : 0);
    long weights = 0;
    for (std::size_t i = 0; i < design.sizes.size(); ++i) {
      const LayerSummary& l = s.layers[i + 1];
      EXPECT_EQ(l.neurons, design.sizes[i]);
      const std::string& fn = i == 0                         ? std::string("linear")
                              : i + 1 == design.sizes.size() ? design.output
                                                             : design.hidden;
      EXPECT_EQ(l.function, fn);
      EXPECT_EQ(l.type, i == 0                                  ? "Input"
                        : fn.find("-gain") != std::string::npos ? "Gain"
                                                                : "Simple");
      if (l.type == "Gain") {
        EXPECT_EQ(l.params, "Gain=" + FormatNumber(design.gain));
      }
      if (i > 0)
        weights +=
            static_cast<long>(design.sizes[i]) * (design.sizes[i - 1] + (design.bias ? 1 : 0));
    }
    EXPECT_EQ(s.weights, weights);
    EXPECT_EQ(s.trainable, weights);
    EXPECT_EQ(s.pruned, 0);
    for (const ConnectionSummary& c : s.connections)
      EXPECT_EQ(c.type, design.pruneable ? "Pruneable" : "FullyConnected");
    // Every weight within the range of its layer.
    for (const ConnectionSummary& c : s.connections) {
      double lo = 0, hi = 0;
      WeightRange(design, c.to, &lo, &hi);
      TBasicConnections& conns = *read->GetConnections(c.from, c.to);
      for (int f = 0; f < conns.NumFrom(); ++f) {
        for (int t = 0; t < conns.NumTo(); ++t) {
          EXPECT_GE(*conns.GetWeightPtr(f, t), lo - 1e-12);
          EXPECT_LE(*conns.GetWeightPtr(f, t), hi + 1e-12);
        }
      }
    }
    // The picture: one edge per weight.
    std::ostringstream dot;
    WriteDot(dot, *read, false);
    const std::string graph = dot.str();
    std::size_t edges = 0;
    for (std::size_t at = graph.find(" -> "); at != std::string::npos;
         at = graph.find(" -> ", at + 1))
      ++edges;
    EXPECT_EQ(static_cast<long>(edges), weights);
  }
}

TEST(NetTools, SeedsAndRanges) {
  NetDesign a;
  a.sizes = {4, 5, 3};
  NetDesign b = a;
  b.seed = 2;
  EXPECT_NE(Written(*BuildNetwork(a)), Written(*BuildNetwork(b)));
  NetDesign xavier = a;
  xavier.init = WeightInit::kXavier;
  double lo = 0, hi = 0;
  WeightRange(xavier, 2, &lo, &hi);
  EXPECT_DOUBLE_EQ(hi, std::sqrt(6.0 / (5 + 5)));  // fan-in 4 + bias, fan-out 5
  xavier.init = WeightInit::kHe;
  WeightRange(xavier, 3, &lo, &hi);
  EXPECT_DOUBLE_EQ(lo, -std::sqrt(6.0 / 6));
  EXPECT_EQ(ParseLayerSizes("4-5-3"), (std::vector<int>{4, 5, 3}));
  for (const char* bad : {"4", "4-", "-4-3", "4--3", "4-0", "4-x", "4-99999999", ""})
    EXPECT_THROW(ParseLayerSizes(bad), UsageError) << bad;
  NetDesign huge = a;
  huge.sizes = {6000, 6000};
  EXPECT_THROW(BuildNetwork(huge), UsageError);
  NetDesign wide = a;
  wide.low = -1e39;
  EXPECT_THROW(BuildNetwork(wide), UsageError);
}

// Every network file of the fuzz corpus: `quill-net show` prints a summary
// (status 0) or one message naming the file (status 1).
TEST(NetTools, ShowTakesOrRefusesEveryCorpusFile) {
  const std::filesystem::path corpus =
      std::filesystem::path(QUILL_SOURCE_DIR) / "fuzz/corpus/network";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::string path = entry.path().string();
    std::string program = "quill-net", command = "show";
    char* argv[] = {program.data(), command.data(), path.data(), nullptr};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = QuillNetMain(3, argv);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    ++files;
    if (entry.path().filename().string().rfind("valid_", 0) == 0) {
      EXPECT_EQ(status, 0) << path << err;
    }
    if (status == 0) {
      EXPECT_EQ(out.rfind(path + ": ", 0), 0u) << path;
    } else {
      EXPECT_EQ(status, 1) << path;
      EXPECT_EQ(err.rfind("quill-net: " + path, 0), 0u) << err;
    }
  }
  EXPECT_GT(files, 50);
}

}  // namespace
