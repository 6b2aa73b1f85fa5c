#include "Tools/QuillData/DataCommand.h"

#include <memory>
#include <string>

#include "DataObject/Data.h"
#include "Tools/Common/CommandLine.h"
#include "Tools/Common/TextTable.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvImport.h"
#include "Tools/QuillData/DataReport.h"
#include "common/StrCase.h"

namespace {

constexpr const char* kProgram = "quill-data";

using namespace quill::tools;

// The report of from-csv on standard output.
void Report(std::ostream& out, const std::string& csv, const ImportResult& r,
            const ImportOptions& options, std::size_t rows) {
  out << "read " << csv << ": " << rows << " rows, " << r.inputs.size() << " inputs";
  if (r.classes) {
    out << ", classes from " << r.targets[0] << ": ";
    for (std::size_t i = 0; i < r.class_names.size(); ++i)
      out << (i > 0 ? ", " : "") << r.class_names[i];
  } else {
    out << ", " << r.targets.size() << (r.targets.size() == 1 ? " target" : " targets");
  }
  out << '\n';
  if (!r.scales.empty()) {
    out << "scaled the inputs "
        << (!options.recorded.empty() ? "as recorded"
            : options.scaling == Scaling::kMinMax
                ? "to 0 ... 1 over the training rows"
                : "to mean 0 and deviation 1 over the training rows")
        << "\n";
  }
  if (options.test_fraction > 0.0) {
    out << "held out " << FormatNumber(options.test_fraction * 100.0) << "% of "
        << (r.classes ? "each class" : "the rows") << " for testing (seed " << options.seed
        << ")\n";
  }
  out << '\n';
  TextTable table({"file", ">rows", "holds"});
  for (const ImportedFile& f : r.files)
    table.AddRow({f.path, std::to_string(f.data->NumRows()), f.role});
  table.AddRow({r.fragment_path, "", "#DataClasses and DataFile entries for Quill"});
  if (!r.scaling_path.empty()) table.AddRow({r.scaling_path, "", "the scaling of each input"});
  table.Write(out);
}

char Delimiter(const std::string& text) {
  if (text == "tab" || text == "\\t") return '\t';
  if (text.size() != 1) throw UsageError("the delimiter is one character (or 'tab')");
  return text[0];
}

}  // namespace

int QuillDataMain(int argc, char** argv) {
  return RunTool(kProgram, [&] {
    CLI::App app(
        "Turns CSV files into data-set files for Quill and back, and describes "
        "data-set files.",
        kProgram);
    PrepareApp(app, kProgram, "quill-data from-csv iris.csv --target species -o iris");
    app.require_subcommand(1);

    ImportOptions options;
    std::string csv, kind = "auto", scale = "none", scaling_file, delimiter = ",";
    CLI::App* from = app.add_subcommand(
        "from-csv",
        "Write one data-set file per class (one-hot targets) or, for numeric targets, one "
        "data-set file, and a parameter-file fragment naming them.");
    PrepareSubcommand(*from,
                      "quill-data from-csv iris.csv --target species --scale minmax "
                      "--test-fraction 0.2 --seed 7 -o iris");
    from->add_option("csv", csv, "CSV file with a header row ('-': standard input)")->required();
    from->add_option("-t,--target", options.targets,
                     "Target column, by name or number (repeat for several numeric targets)")
        ->required();
    from->add_option("-o,--output", options.prefix,
                     "Prefix of the files written: PREFIX-CLASS.dat, PREFIX-params.txt ...")
        ->required();
    from->add_option("--drop", options.drop, "A column that is neither input nor target");
    from->add_option("--kind", kind,
                     "auto: classes when the one target holds any non-number, else regression")
        ->check(CLI::IsMember({"auto", "class", "regression"}, CLI::ignore_case));
    from->add_option("--scale", scale,
                     "Input scaling over the training rows: minmax (0 ... 1) or standard "
                     "(mean 0, deviation 1); recorded in PREFIX-scaling.csv")
        ->check(CLI::IsMember({"none", "minmax", "standard"}, CLI::ignore_case));
    from->add_option("--scaling", scaling_file,
                     "Apply a recorded scaling (a PREFIX-scaling.csv) instead")
        ->check(CLI::ExistingFile);
    from->add_option("--test-fraction", options.test_fraction,
                     "Share of each class held out in PREFIX-CLASS-test.dat files");
    from->add_option("--seed", options.seed, "Seed of the test split");
    from->add_option("--delimiter", delimiter, "Field delimiter: one character, or 'tab'");

    std::string file, out_path;
    CLI::App* to = app.add_subcommand("to-csv", "Write the rows of a data-set file as CSV.");
    PrepareSubcommand(*to, "quill-data to-csv iris-setosa.dat -o setosa.csv");
    to->add_option("file", file, "Data-set file")->required();
    to->add_option("-o,--output", out_path, "CSV file to write (standard output without)");

    CLI::App* describe = app.add_subcommand(
        "describe", "Print a data-set file's rows, columns and each column's range and mean.");
    PrepareSubcommand(*describe, "quill-data describe iris-setosa.dat");
    describe->add_option("file", file, "Data-set file")->required();

    if (!ParseCommandLine(app, argc, argv)) return 0;

    OutputFiles outputs;
    if (from->parsed()) {
      options.kind = quill::strcasecmp(kind.c_str(), "class") == 0        ? TargetKind::kClass
                     : quill::strcasecmp(kind.c_str(), "regression") == 0 ? TargetKind::kRegression
                                                                          : TargetKind::kAuto;
      options.scaling = quill::strcasecmp(scale.c_str(), "minmax") == 0     ? Scaling::kMinMax
                        : quill::strcasecmp(scale.c_str(), "standard") == 0 ? Scaling::kStandard
                                                                            : Scaling::kNone;
      if (!scaling_file.empty() && options.scaling != Scaling::kNone) {
        throw UsageError("--scale and --scaling exclude each other");
      }
      const char sep = Delimiter(delimiter);
      outputs.Input(csv, "the CSV file");
      if (!scaling_file.empty()) outputs.Input(scaling_file, "the --scaling file");
      if (!scaling_file.empty()) options.recorded = ReadScaling(scaling_file);
      const CsvTable table = ReadCsvFile(csv, sep);
      const ImportResult result = ImportCsv(table, csv == "-" ? "standard input" : csv, options);
      for (const ImportedFile& f : result.files)
        outputs.DataSet(f.path, f.data, "the data-set file for " + f.role);
      outputs.Text(result.fragment_path, "the parameter-file fragment") << result.fragment;
      if (!result.scaling_path.empty())
        outputs.Text(result.scaling_path, "the scaling file") << result.scaling_text;
      Report(outputs.Text(""), csv, result, options, table.rows.size());
    } else {
      std::unique_ptr<Data> first, second;
      ReadDataSets(file, &first, &second);
      outputs.Input(file, "the data-set file");
      if (to->parsed()) {
        WriteDataCsv(outputs.Text(out_path), first.get(), second.get());
      } else {
        WriteDataDescription(outputs.Text(""), file, first.get(), second.get());
      }
    }
    outputs.Commit();
    return 0;
  });
}
