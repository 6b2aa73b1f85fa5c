#include "Tools/QuillEval/EvalCommand.h"

#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/CommandLine.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillEval/Evaluation.h"

int QuillEvalMain(int argc, char** argv) {
  using namespace quill::tools;
  constexpr const char* kProgram = "quill-eval";
  return RunTool(kProgram, [&] {
    CLI::App app(
        "Measures a trained network on data-set files: the RMS error of each and of all (and "
        "the error as Quill reports it), and for one-hot targets the accuracy and the "
        "confusion matrix.",
        kProgram);
    PrepareApp(app, kProgram, "quill-eval trained.wgt setosa.dat versicolor.dat virginica.dat");
    std::string network_path, outputs_path, features_text;
    std::vector<std::string> data_paths;
    app.add_option("network", network_path, "Network file (an MLP)")->required();
    app.add_option("data", data_paths, "Data-set files, in the order of the parameter file")
        ->required();
    CLI::Option* features = app.add_option(
        "--features", features_text,
        "Input columns given to the network, as the parameter file's Features (\"2,3\")");
    app.add_option("--outputs", outputs_path,
                   "CSV file of every row's inputs, targets and outputs");
    if (!ParseCommandLine(app, argc, argv)) return 0;

    const std::vector<int> feature_list = ParseFeatures(features_text);
    std::unique_ptr<TMLPNetwork> network = ReadMLPFile(network_path);
    std::vector<std::unique_ptr<Data>> data;
    std::vector<EvalInput> inputs;
    for (const std::string& path : data_paths) {
      data.push_back(ReadDataSetFile(path));
      PrepareDataSet(*network, path, *data.back(), features->count() > 0, feature_list);
      inputs.push_back({path, data.back().get()});
    }
    OutputFiles outputs;
    outputs.Input(network_path, "the network file");
    for (const std::string& path : data_paths)
      outputs.Input(path, "the data-set file");
    std::ostream* rows = outputs_path.empty() ? nullptr : &outputs.Text(outputs_path, "--outputs");
    const Evaluation evaluation = Evaluate(*network, inputs, rows);
    WriteEvaluation(outputs.Text(""), evaluation);
    outputs.Commit();
    return 0;
  });
}
