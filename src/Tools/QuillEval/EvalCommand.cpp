#include "Tools/QuillEval/EvalCommand.h"

#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/ColumnNames.h"
#include "Tools/Common/CommandLine.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"
#include "Tools/QuillData/ScalingFile.h"
#include "Tools/QuillEval/Evaluation.h"
#include "Tools/QuillEval/Prediction.h"

int QuillEvalMain(int argc, char** argv) {
  using namespace quill::tools;
  constexpr const char* kProgram = "quill-eval";
  return RunTool(kProgram, [&] {
    CLI::App app(
        "Measures a trained network on data-set files: the RMS error of each and of all (and "
        "the error as Quill reports it), and for one-hot targets the accuracy, the confusion "
        "matrix and each class's precision, recall and F1. 'quill-eval predict' applies it to "
        "new rows of a CSV file.",
        kProgram);
    PrepareApp(app, kProgram, "quill-eval trained.wgt setosa.dat versicolor.dat virginica.dat");
    std::string network_path, outputs_path, features_text;
    std::vector<std::string> data_paths;
    // Not required by the parser: `quill-eval predict ...` has none of them.
    app.add_option("network", network_path, "Network file (an MLP)");
    app.add_option("data", data_paths, "Data-set files, in the order of the parameter file");
    CLI::Option* features = app.add_option(
        "--features", features_text,
        "Input columns given to the network, as the parameter file's Features (\"2,3\")");
    app.add_option("--outputs", outputs_path,
                   "CSV file of every row's inputs, targets and outputs");

    std::string predict_network, csv, scaling_path, out_path, delimiter = ",",
                                                              predict_features_text;
    CsvFormat format;
    bool no_header = false;
    CLI::App* predict = app.add_subcommand(
        "predict",
        "Apply a trained network to the rows of a CSV file without targets, scaled as the "
        "scaling file of quill-data records, and write each row's prediction as CSV.");
    PrepareSubcommand(*predict,
                      "quill-eval predict iris-trained.wgt new.csv --scaling iris-scaling.csv -o "
                      "predictions.csv");
    predict->add_option("network", predict_network, "Network file (an MLP)")->required();
    predict->add_option("csv", csv, "CSV file of new rows ('-': standard input)")->required();
    predict
        ->add_option("--scaling", scaling_path,
                     "The PREFIX-scaling.csv quill-data wrote with the training files")
        ->required();
    predict->add_option("-o,--output", out_path,
                        "CSV file of the predictions (standard output without)");
    CLI::Option* predict_features = predict->add_option(
        "--features", predict_features_text,
        "Input columns given to the network, as the parameter file's Features (\"2,3\")");
    predict->add_option("--delimiter", delimiter, "Field delimiter: one character, or 'tab'");
    predict->add_option("--skip-rows", format.skip_lines, "Lines skipped before the header");
    predict->add_flag("--no-header", no_header,
                      "The first row is data: its columns are the recorded inputs in order, or "
                      "column1, column2 ... as quill-data named them");
    if (!ParseCommandLine(app, argc, argv)) return 0;

    OutputFiles outputs;
    if (predict->parsed()) {
      if (!network_path.empty() || features->count() > 0 || !outputs_path.empty()) {
        throw UsageError(
            "the network, data-set files, --features and --outputs of quill-eval go "
            "after 'predict'");
      }
      if (format.skip_lines < 0) throw UsageError("--skip-rows takes a count of 0 or more");
      format.delimiter = DelimiterOption(delimiter);
      format.header = !no_header;
      PredictionInputs names;
      names.network_name = predict_network;
      names.csv_name = csv == "-" ? "standard input" : csv;
      names.scaling_name = scaling_path;
      names.use_features = predict_features->count() > 0;
      names.features = ParseFeatures(predict_features_text);
      std::unique_ptr<TMLPNetwork> network = ReadMLPFile(predict_network);
      const ScalingRecord record = ReadScaling(scaling_path);
      CheckNetworkFits(*network, record, names);
      const CsvTable table = ReadCsvFile(csv, format);
      const std::vector<std::size_t> columns = InputColumns(table, format.header, record, names);
      outputs.Input(predict_network, "the network file");
      outputs.Input(csv, "the CSV file");
      outputs.Input(scaling_path, "the scaling file");
      WritePredictions(outputs.Text(out_path), *network, record, table, columns, names);
      outputs.Commit();
      return 0;
    }
    if (network_path.empty()) throw UsageError("network is required");
    if (data_paths.empty()) throw UsageError("data is required");

    const std::vector<int> feature_list = ParseFeatures(features_text);
    std::unique_ptr<TMLPNetwork> network = ReadMLPFile(network_path);
    std::vector<std::unique_ptr<Data>> data;
    std::vector<EvalInput> inputs;
    for (const std::string& path : data_paths) {
      data.push_back(ReadDataSetFile(path));
      PrepareDataSet(*network, path, *data.back(), features->count() > 0, feature_list);
      const std::optional<ColumnNames> names = ReadColumnComment(ReadTextInput(path));
      inputs.push_back(
          {path, data.back().get(), names ? names->outputs : std::vector<std::string>()});
    }
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
