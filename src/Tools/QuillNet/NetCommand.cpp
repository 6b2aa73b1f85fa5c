#include "Tools/QuillNet/NetCommand.h"

#include <memory>
#include <string>

#include "FileHandler/FileTools.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/CommandLine.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillNet/NetBuilder.h"
#include "Tools/QuillNet/NetReport.h"
#include "common/Clock.h"
#include "common/StrCase.h"

namespace quill::tools {
namespace {

constexpr const char* kProgram = "quill-net";

}  // namespace
}  // namespace quill::tools

int QuillNetMain(int argc, char** argv) {
  using namespace quill::tools;
  return RunTool(kProgram, [&] {
    CLI::App app("Makes starting networks for Quill and describes network files.", kProgram);
    PrepareApp(app, kProgram, "quill-net new 4-5-3 --seed 1 -o start.wgt");
    app.require_subcommand(1);

    NetDesign design;
    std::string sizes, out_path, connections = "full", init = "uniform";
    std::uint32_t seed = 0;
    CLI::App* make = app.add_subcommand(
        "new",
        "Write a starting multi-layer perceptron that Quill reads (to standard output "
        "without -o).");
    PrepareSubcommand(*make, "quill-net new 4-5-3 --init xavier --seed 7 -o start.wgt");
    make->add_option("sizes", sizes,
                     "Neurons per layer: input, hidden..., output, joined by '-' (4-5-3)")
        ->required();
    make->add_option("-o,--output", out_path, "Network file to write");
    bool no_bias = false;
    make->add_flag("--no-bias", no_bias, "No bias neuron (layer 0 stays empty)");
    make->add_option("--hidden-act", design.hidden, "Activation function of the hidden layers")
        ->check(CLI::IsMember(UsableFunctions(), CLI::ignore_case));
    make->add_option("--output-act", design.output, "Activation function of the output layer")
        ->check(CLI::IsMember(UsableFunctions(), CLI::ignore_case));
    make->add_option("--gain", design.gain, "Gain of the neurons of a '-gain' function");
    make->add_option("--connections", connections,
                     "Connection matrices: full, or pruneable (weights that can be pruned and "
                     "frozen)")
        ->check(CLI::IsMember({"full", "pruneable"}, CLI::ignore_case));
    make->add_option("--init", init,
                     "Starting weights: uniform in [--min, --max]; xavier, uniform in "
                     "+-sqrt(6/(fan-in+fan-out)); he, uniform in +-sqrt(6/fan-in)")
        ->check(CLI::IsMember({"uniform", "xavier", "he"}, CLI::ignore_case));
    CLI::Option* min = make->add_option("--min", design.low, "Lowest starting weight (uniform)");
    CLI::Option* max = make->add_option("--max", design.high, "Highest starting weight (uniform)");
    CLI::Option* seed_option =
        make->add_option("--seed", seed, "Seed of the generator: the same seed, the same weights")
            ->default_str("the clock");

    std::string file;
    CLI::App* show = app.add_subcommand(
        "show", "Print a network's layers, activation functions, connection layers and weights.");
    PrepareSubcommand(*show, "quill-net show start.wgt");
    show->add_option("file", file, "Network file")->required();

    bool by_layer = false;
    CLI::App* dot = app.add_subcommand(
        "dot", "Write a network as a Graphviz graph (render it with: dot -Tsvg).");
    PrepareSubcommand(*dot, "quill-net dot start.wgt -o start.dot");
    dot->add_option("file", file, "Network file")->required();
    dot->add_option("-o,--output", out_path, "Graph file to write (standard output without)");
    dot->add_flag("--by-layer", by_layer,
                  "One node per layer (the default beyond 100 neurons or 1000 connections)");

    if (!ParseCommandLine(app, argc, argv)) return 0;

    OutputFiles outputs;
    if (make->parsed()) {
      design.sizes = ParseLayerSizes(sizes);
      design.bias = !no_bias;
      design.pruneable = quill::strcasecmp(connections.c_str(), "pruneable") == 0;
      design.init = quill::strcasecmp(init.c_str(), "xavier") == 0 ? WeightInit::kXavier
                    : quill::strcasecmp(init.c_str(), "he") == 0   ? WeightInit::kHe
                                                                   : WeightInit::kUniform;
      if (design.init != WeightInit::kUniform && (min->count() > 0 || max->count() > 0)) {
        throw UsageError("--min and --max go with --init uniform");
      }
      design.seed =
          seed_option->count() > 0 ? seed : static_cast<std::uint32_t>(quill::CurrentTimeSeconds());
      const std::unique_ptr<TMLPNetwork> network = BuildNetwork(design);
      FileTools ft;
      ft.WriteNetwork(outputs.Text(out_path), *network);
    } else if (show->parsed()) {
      auto network = ReadNetworkFile(file);
      WriteSummary(outputs.Text(""), file, Summarize(*network));
    } else {
      auto network = ReadNetworkFile(file);
      outputs.Input(file, "the network file");
      WriteDot(outputs.Text(out_path), *network, by_layer);
    }
    outputs.Commit();
    return 0;
  });
}
