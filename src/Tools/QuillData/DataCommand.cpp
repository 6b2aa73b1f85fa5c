#include "Tools/QuillData/DataCommand.h"

#include <iostream>
#include <memory>
#include <string>

#include "DataObject/Data.h"
#include "Tools/Common/ColumnNames.h"
#include "Tools/Common/CommandLine.h"
#include "Tools/Common/TextTable.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvImport.h"
#include "Tools/QuillData/DataReport.h"
#include "Tools/QuillData/ParamsFile.h"
#include "Tools/QuillData/ScalingFile.h"
#include "common/StrCase.h"

namespace {

constexpr const char* kProgram = "quill-data";

using namespace quill::tools;

// The report of from-csv on standard output.
void Report(std::ostream& out, const std::string& csv, const ImportResult& r,
            const ImportOptions& options, const TrainingSettings& settings, std::size_t rows) {
  out << "read " << csv << ": " << rows << " rows, " << r.inputs.size() << " inputs";
  if (r.classes) {
    out << ", classes from " << r.targets[0] << ": ";
    for (std::size_t i = 0; i < r.class_names.size(); ++i)
      out << (i > 0 ? ", " : "") << r.class_names[i];
  } else {
    out << ", " << r.targets.size() << (r.targets.size() == 1 ? " target" : " targets");
  }
  out << '\n';
  const bool inputs_scaled = options.recorded || options.scaling != Scaling::kNone;
  if (inputs_scaled) {
    out << "scaled the inputs "
        << (options.recorded ? "as recorded"
            : options.scaling == Scaling::kMinMax
                ? "to 0 ... 1 over the training rows"
                : "to mean 0 and deviation 1 over the training rows")
        << "\n";
  }
  if (!r.classes) {
    const bool recorded =
        options.recorded && options.recorded->kind == ScalingRecord::Kind::kRegression;
    if (recorded || (!options.recorded && options.scale_targets)) {
      out << "scaled the " << (r.targets.size() == 1 ? "target " : "targets ")
          << (recorded ? std::string("as recorded")
                       : "to " + FormatNumber(kTargetLow) + " ... " + FormatNumber(kTargetHigh) +
                             " over the training rows")
          << "\n";
    }
  }
  const bool testing = options.test_fraction > 0.0;
  const bool validating = options.validation_fraction > 0.0;
  if (testing || validating) {
    out << "held out ";
    if (testing) out << FormatNumber(options.test_fraction * 100.0) << "% of ";
    if (testing && !validating) out << (r.classes ? "each class" : "the rows") << " for testing";
    if (testing && validating)
      out << (r.classes ? "each class" : "the rows") << " for testing and ";
    if (validating) {
      out << FormatNumber(options.validation_fraction * 100.0) << "%";
      if (!testing) out << " of " << (r.classes ? "each class" : "the rows");
      out << " for validation";
    }
    out << " (seed " << options.seed << ")\n";
  }
  if (settings.precision == PrecisionChoice::kAuto && ChoosesSinglePrecision(settings, r)) {
    out << "chose single precision for the training run, faster on data of this size "
           "(--precision double keeps double)\n";
  }
  out << '\n';
  TextTable table({"file", ">rows", "holds"});
  for (const ImportedFile& f : r.files)
    table.AddRow({f.path, std::to_string(f.data->NumRows()), f.role});
  table.AddRow({ParamsPath(options), "", "the parameter file for Quill"});
  table.AddRow({r.scaling_path, "", "the columns and their scaling, for predictions"});
  table.Write(out);
  out << "\nmake the starting network, then train:\n  " << StartNetworkCommand(r, options)
      << "\n  Quill " << ParamsPath(options) << '\n';
}

// The one-line notice for a numeric target taken as classes.
std::string GuessNotice(const ImportResult& r) {
  std::string values;
  for (std::size_t i = 0; i < r.class_names.size(); ++i)
    values += (i > 0 ? ", " : "") + r.class_names[i];
  return std::string(kProgram) + ": the target " + r.targets[0] + " holds only the whole numbers " +
         values + ": taken as classes (--kind regression keeps it a number)";
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
    std::string csv, kind = "auto", precision = "auto", scale = "standard",
                     scale_targets = "minmax", scaling_file, delimiter = ",";
    CsvFormat format;
    bool no_header = false;
    CLI::App* from = app.add_subcommand(
        "from-csv",
        "Write one data-set file per class (one-hot targets) or, for numeric targets, one "
        "data-set file, a parameter file for Quill and the scaling file for predictions.");
    PrepareSubcommand(*from,
                      "quill-data from-csv iris.csv --target species --test-fraction 0.2 "
                      "--validation-fraction 0.2 --seed 7 -o iris");
    from->add_option("csv", csv, "CSV file with a header row ('-': standard input)")->required();
    from->add_option("-t,--target", options.targets,
                     "Target column, by name or number (repeat for several numeric targets)")
        ->required();
    from->add_option("-o,--output", options.prefix,
                     "Prefix of the files written: PREFIX-CLASS.dat, PREFIX-params.txt ...")
        ->required();
    from->add_option("--drop", options.drop, "A column that is neither input nor target");
    from->add_option("--kind", kind,
                     "auto: classes when the one target holds any non-number or only 2 to 10 "
                     "distinct whole numbers, else regression")
        ->check(CLI::IsMember({"auto", "class", "regression"}, CLI::ignore_case));
    CLI::Option* scale_option =
        from->add_option("--scale", scale,
                         "Input scaling over the training rows: standard (mean 0, deviation 1), "
                         "minmax (0 ... 1) or none; recorded in PREFIX-scaling.csv")
            ->check(CLI::IsMember({"none", "minmax", "standard"}, CLI::ignore_case));
    CLI::Option* scale_targets_option =
        from->add_option("--scale-targets", scale_targets,
                         "Numeric target scaling over the training rows: minmax (0.1 ... 0.9, "
                         "which a sigmoid output reaches) or none; recorded in "
                         "PREFIX-scaling.csv")
            ->check(CLI::IsMember({"none", "minmax"}, CLI::ignore_case));
    from->add_option("--scaling", scaling_file,
                     "Apply a recorded scaling (a PREFIX-scaling.csv) instead")
        ->check(CLI::ExistingFile);
    from->add_option("--test-fraction", options.test_fraction,
                     "Share of each class held out in PREFIX-CLASS-test.dat files");
    from->add_option("--validation-fraction", options.validation_fraction,
                     "Share of each class held out in PREFIX-CLASS-validation.dat files, for "
                     "Quill's ValidationFile entries");
    from->add_option("--seed", options.seed, "Seed of the held-out splits and of the training run");
    from->add_option("--precision", precision,
                     "Arithmetic of the training run in PREFIX-params.txt: single (faster), "
                     "double, or auto: single from a million multiply-adds per network "
                     "(training rows times weights)")
        ->check(CLI::IsMember({"auto", "single", "double"}, CLI::ignore_case));
    from->add_option("--delimiter", delimiter, "Field delimiter: one character, or 'tab'");
    from->add_option("--skip-rows", format.skip_lines, "Lines skipped before the header");
    from->add_flag("--no-header", no_header,
                   "The first row is data: the columns are column1, column2 ... (give targets "
                   "by number)");

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
      options.scale_targets = quill::strcasecmp(scale_targets.c_str(), "none") != 0;
      // "none" goes with a recorded scaling, as it always has.
      if (!scaling_file.empty() && scale_option->count() > 0 && options.scaling != Scaling::kNone) {
        throw UsageError("--scale and --scaling exclude each other");
      }
      if (!scaling_file.empty() && scale_targets_option->count() > 0 && options.scale_targets) {
        throw UsageError("--scale-targets and --scaling exclude each other");
      }
      if (format.skip_lines < 0) throw UsageError("--skip-rows takes a count of 0 or more");
      format.delimiter = DelimiterOption(delimiter);
      format.header = !no_header;
      outputs.Input(csv, "the CSV file");
      if (!scaling_file.empty()) outputs.Input(scaling_file, "the --scaling file");
      if (!scaling_file.empty()) options.recorded = ReadScaling(scaling_file);
      const CsvTable table = ReadCsvFile(csv, format);
      const ImportResult result = ImportCsv(table, csv == "-" ? "standard input" : csv, options);
      TrainingSettings settings;
      settings.precision =
          quill::strcasecmp(precision.c_str(), "single") == 0   ? PrecisionChoice::kSingle
          : quill::strcasecmp(precision.c_str(), "double") == 0 ? PrecisionChoice::kDouble
                                                                : PrecisionChoice::kAuto;
      const std::string params = ParamsText(result, options, settings);
      for (const ImportedFile& f : result.files) {
        outputs.DataSet(f.path, f.data, "the data-set file for " + f.role, result.names_comment);
      }
      outputs.Text(ParamsPath(options), "the parameter file") << params;
      outputs.Text(result.scaling_path, "the scaling file") << ScalingText(result.record);
      if (result.guessed_classes) std::cerr << GuessNotice(result) << std::endl;
      Report(outputs.Text(""), csv, result, options, settings, table.rows.size());
    } else {
      std::unique_ptr<Data> first, second;
      ReadDataSets(file, &first, &second);
      outputs.Input(file, "the data-set file");
      if (to->parsed()) {
        WriteDataCsv(outputs.Text(out_path), first.get(), second.get());
      } else {
        WriteDataDescription(outputs.Text(""), file, first.get(), second.get(),
                             ReadColumnComment(ReadTextInput(file)));
      }
    }
    outputs.Commit();
    return 0;
  });
}
