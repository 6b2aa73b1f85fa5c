#include "Tools/QuillData/CsvImport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "DataObject/Data.h"
#include "Tools/Common/ColumnNames.h"
#include "Tools/Common/ToolSupport.h"
#include "common/Random.h"

namespace quill::tools {

namespace {

// The longest DataFile value a parameter file takes.
constexpr std::size_t kMaxDataFileLength = 254;

std::string ColumnList(const std::vector<std::string>& header) {
  std::string list;
  for (std::size_t i = 0; i < header.size(); ++i)
    list += (i > 0 ? ", " : "") + (header[i].empty() ? "#" + std::to_string(i + 1) : header[i]);
  return list;
}

std::string NameList(const std::vector<std::string>& names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i)
    list += (i > 0 ? ", " : "") + names[i];
  return list;
}

std::size_t FindColumn(const CsvTable& table, const std::string& name, const std::string& file) {
  for (std::size_t i = 0; i < table.header.size(); ++i) {
    if (table.header[i] == name) return i;
  }
  if (!name.empty() && name.size() < 10 &&
      name.find_first_not_of("0123456789") == std::string::npos) {
    const std::size_t number = std::stoul(name);
    if (number >= 1 && number <= table.header.size()) return number - 1;
  }
  throw UsageError("no column '" + name + "' in " + file +
                   " (columns: " + ColumnList(table.header) + ")");
}

// The whole number a class field holds, if it holds one.
std::optional<double> WholeNumber(const std::string& field) {
  const std::optional<double> value = ParseCsvNumber(field);
  if (!value || *value != std::floor(*value) || std::fabs(*value) > 1e15) return std::nullopt;
  return value;
}

// A class name made fit for a file name: letters, digits and . _ + - kept.
std::string FileStem(const std::string& name) {
  std::string stem;
  for (unsigned char c : name) {
    const bool keep = std::isalnum(c) || c == '.' || c == '_' || c == '+' || c == '-';
    stem += keep ? static_cast<char>(c) : '_';
  }
  if (stem.empty() || stem[0] == '.') stem = "class" + stem;
  return stem;
}

// A draw of 30 bits from the program's 15-bit generator.
std::uint32_t Draw() {
  const auto high = static_cast<std::uint32_t>(quill::Rand());
  return (high << 15) | static_cast<std::uint32_t>(quill::Rand());
}

// Splits the rows of `group` by a seeded shuffle: the first
// round(test * n) are test rows, the next round(validation * n) (at least one
// when validation > 0) validation rows.
void ChooseHeldOutRows(const std::vector<std::size_t>& group, double test, double validation,
                       std::vector<Split>& split) {
  const auto n = static_cast<double>(group.size());
  const auto tests = static_cast<std::size_t>(std::floor(test * n + 0.5));
  auto validations = static_cast<std::size_t>(std::floor(validation * n + 0.5));
  if (validation > 0.0 && validations == 0) validations = 1;
  std::vector<std::size_t> order = group;
  for (std::size_t i = order.size(); i > 1; --i)
    std::swap(order[i - 1], order[Draw() % i]);
  for (std::size_t k = 0; k < order.size() && k < tests + validations; ++k)
    split[order[k]] = k < tests ? Split::kTest : Split::kValidation;
}

// The scaling of each column of `values` over the training rows.
std::vector<ColumnScale> ComputeScales(Scaling scaling, const std::vector<std::string>& names,
                                       const std::vector<std::vector<double>>& inputs,
                                       const std::vector<Split>& split) {
  std::vector<ColumnScale> scales;
  for (std::size_t c = 0; c < names.size(); ++c) {
    double lo = 0.0, hi = 0.0, sum = 0.0;
    std::size_t n = 0;
    for (std::size_t r = 0; r < inputs.size(); ++r) {
      if (split[r] != Split::kTraining) continue;
      const double v = inputs[r][c];
      lo = n == 0 ? v : std::min(lo, v);
      hi = n == 0 ? v : std::max(hi, v);
      sum += v;
      ++n;
    }
    ColumnScale s{names[c], 0.0, 1.0};
    if (scaling == Scaling::kMinMax) {
      s.subtract = lo;
      s.divide = hi - lo;
    } else {
      const double mean = sum / static_cast<double>(n);
      double squares = 0.0;
      for (std::size_t r = 0; r < inputs.size(); ++r) {
        if (split[r] == Split::kTraining) squares += (inputs[r][c] - mean) * (inputs[r][c] - mean);
      }
      s.subtract = mean;
      s.divide = std::sqrt(squares / static_cast<double>(n));
    }
    // A constant column (or one too wide for a double) is only shifted.
    if (!(s.divide > 0.0) || !std::isfinite(s.divide)) s.divide = 1.0;
    scales.push_back(s);
  }
  return scales;
}

// Min-max scaling of numeric targets onto kTargetLow ... kTargetHigh over the
// training rows: value' = (value - subtract) / divide with divide = (max -
// min) / (high - low) and subtract = min - low * divide. A constant target
// becomes the middle of the range.
std::vector<ColumnScale> TargetScales(const std::vector<std::string>& names,
                                      const std::vector<std::vector<double>>& targets,
                                      const std::vector<Split>& split) {
  const std::vector<ColumnScale> ranges = ComputeScales(Scaling::kMinMax, names, targets, split);
  std::vector<ColumnScale> scales;
  for (std::size_t c = 0; c < ranges.size(); ++c) {
    const double lo = ranges[c].subtract;
    double hi = lo;
    for (std::size_t r = 0; r < targets.size(); ++r) {
      if (split[r] == Split::kTraining) hi = std::max(hi, targets[r][c]);
    }
    ColumnScale s{names[c], 0.0, (hi - lo) / (kTargetHigh - kTargetLow)};
    if (!(s.divide > 0.0) || !std::isfinite(s.divide)) {
      s.divide = 1.0;
      s.subtract = lo - (kTargetLow + kTargetHigh) / 2.0;
    } else {
      s.subtract = lo - kTargetLow * s.divide;
    }
    scales.push_back(s);
  }
  return scales;
}

// Scales column c of every row; a value that leaves the doubles is an error
// naming the row.
void ApplyScales(const std::vector<ColumnScale>& scales, std::vector<std::vector<double>>& values,
                 const std::vector<std::size_t>& columns, const std::string& name,
                 const CsvTable& table) {
  for (std::size_t c = 0; c < scales.size(); ++c) {
    for (std::size_t r = 0; r < values.size(); ++r) {
      values[r][c] = (values[r][c] - scales[c].subtract) / scales[c].divide;
      if (!std::isfinite(values[r][c])) {
        FailAtField(name, table, table.rows[r], columns[c], "the scaled value is beyond a double");
      }
    }
  }
}

// The recorded scaling of each of `names`; throws ToolError for a name the
// record lacks.
std::vector<ColumnScale> Recorded(const std::vector<ColumnScale>& recorded,
                                  const std::vector<std::string>& names, const char* what) {
  std::vector<ColumnScale> scales;
  for (const std::string& column : names) {
    auto it = std::find_if(recorded.begin(), recorded.end(),
                           [&](const ColumnScale& s) { return s.column == column; });
    if (it == recorded.end()) {
      throw ToolError(std::string("the recorded scaling has no ") + what + "'" + column + "'");
    }
    scales.push_back(*it);
  }
  return scales;
}

}  // namespace

std::vector<const ImportedFile*> ImportResult::FilesOf(Split split) const {
  std::vector<const ImportedFile*> of;
  for (const ImportedFile& f : files) {
    if (f.split == split) of.push_back(&f);
  }
  return of;
}

std::size_t ImportResult::Outputs() const {
  return classes ? class_names.size() : targets.size();
}

ImportResult ImportCsv(const CsvTable& table, const std::string& name,
                       const ImportOptions& options) {
  if (options.prefix.empty()) throw UsageError("give the output prefix with -o");
  if (options.prefix.find_first_of(" \t\r\n\v\f") != std::string::npos) {
    throw UsageError("the output prefix may not hold blanks: parameter files read paths as words");
  }
  if (!(options.test_fraction >= 0.0 && options.test_fraction < 1.0)) {
    throw UsageError("the test fraction must be at least 0 and below 1");
  }
  if (!(options.validation_fraction >= 0.0 && options.validation_fraction < 1.0)) {
    throw UsageError("the validation fraction must be at least 0 and below 1");
  }
  if (!(options.test_fraction + options.validation_fraction < 1.0)) {
    throw UsageError("the test and validation fractions together must be below 1");
  }
  if (options.targets.empty()) throw UsageError("name the target column with --target");

  std::vector<bool> role(table.header.size(), true);  // true: an input column
  std::vector<std::size_t> targets;
  for (const std::string& t : options.targets) {
    const std::size_t c = FindColumn(table, t, name);
    if (std::find(targets.begin(), targets.end(), c) != targets.end()) {
      throw UsageError("the target column '" + t + "' is given twice");
    }
    targets.push_back(c);
    role[c] = false;
  }
  for (const std::string& d : options.drop)
    role[FindColumn(table, d, name)] = false;

  ImportResult result;
  std::vector<std::size_t> inputs;
  for (std::size_t c = 0; c < table.header.size(); ++c) {
    if (role[c]) {
      inputs.push_back(c);
      result.inputs.push_back(ColumnName(table, c));
    }
  }
  for (std::size_t c : targets)
    result.targets.push_back(ColumnName(table, c));
  if (inputs.empty()) throw UsageError("no input column is left besides the targets");
  if (table.rows.empty()) throw ToolError(name + ": no rows after the header");

  // The kind: as given, as recorded, or from the values.
  const ScalingRecord::Kind recorded_kind =
      options.recorded ? options.recorded->kind : ScalingRecord::Kind::kUnknown;
  if ((options.kind == TargetKind::kClass && recorded_kind == ScalingRecord::Kind::kRegression) ||
      (options.kind == TargetKind::kRegression && recorded_kind == ScalingRecord::Kind::kClasses)) {
    throw UsageError("--kind does not fit the recorded scaling, which records " +
                     std::string(recorded_kind == ScalingRecord::Kind::kClasses
                                     ? "classes"
                                     : "a numeric target"));
  }
  bool classes = options.kind == TargetKind::kClass;
  bool numeric = true;              // every value of the one target is a number
  std::vector<std::string> values;  // its distinct values
  if (targets.size() == 1) {
    for (const CsvTable::Row& row : table.rows) {
      const std::string& field = row.fields[targets[0]];
      if (!ParseCsvNumber(field)) numeric = false;
      if (values.size() <= kMostGuessedClasses &&
          std::find(values.begin(), values.end(), field) == values.end()) {
        values.push_back(field);
      }
    }
  }
  if (options.kind == TargetKind::kAuto) {
    if (recorded_kind != ScalingRecord::Kind::kUnknown) {
      classes = recorded_kind == ScalingRecord::Kind::kClasses;
    } else if (targets.size() == 1 && !numeric) {
      classes = true;
    } else if (targets.size() == 1 && values.size() >= 2 && values.size() <= kMostGuessedClasses &&
               std::all_of(values.begin(), values.end(),
                           [](const std::string& v) { return WholeNumber(v).has_value(); })) {
      classes = true;
      result.guessed_classes = true;
    }
  }
  if (classes && targets.size() != 1) {
    throw UsageError("classes come from one target column, not " + std::to_string(targets.size()));
  }
  result.classes = classes;

  // Values and classes of every row, checked before anything is made.
  const std::size_t n_rows = table.rows.size();
  std::vector<std::vector<double>> in(n_rows), out(n_rows);
  std::vector<std::size_t> row_class(n_rows, 0);
  std::map<std::string, std::size_t> class_index;
  const bool recorded_classes = classes && recorded_kind == ScalingRecord::Kind::kClasses;
  if (recorded_classes) {
    result.class_names = options.recorded->class_names;
    for (std::size_t k = 0; k < result.class_names.size(); ++k)
      class_index.emplace(result.class_names[k], k);
  }
  for (std::size_t r = 0; r < n_rows; ++r) {
    const CsvTable::Row& row = table.rows[r];
    for (std::size_t c : inputs)
      in[r].push_back(FieldNumber(name, table, row, c));
    if (classes) {
      const std::string& label = row.fields[targets[0]];
      if (label.empty()) FailAtField(name, table, row, targets[0], "no class");
      if (recorded_classes && class_index.count(label) == 0) {
        FailAtField(name, table, row, targets[0],
                    "the class '" + label + "' is none of the recorded classes (" +
                        NameList(result.class_names) + ")");
      }
      auto [it, added] = class_index.emplace(label, result.class_names.size());
      if (added) result.class_names.push_back(label);
      row_class[r] = it->second;
    } else {
      for (std::size_t c : targets)
        out[r].push_back(FieldNumber(name, table, row, c));
    }
  }
  // Whole-number classes go in increasing order rather than as they come.
  if (classes && !recorded_classes && numeric) {
    std::vector<std::size_t> order(result.class_names.size());
    for (std::size_t k = 0; k < order.size(); ++k)
      order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return *ParseCsvNumber(result.class_names[a]) < *ParseCsvNumber(result.class_names[b]);
    });
    std::vector<std::size_t> place(order.size());
    std::vector<std::string> sorted;
    for (std::size_t k = 0; k < order.size(); ++k) {
      place[order[k]] = k;
      sorted.push_back(result.class_names[order[k]]);
    }
    result.class_names = sorted;
    for (std::size_t& c : row_class)
      c = place[c];
  }
  const std::size_t n_groups = classes ? result.class_names.size() : 1;
  if (classes) {
    for (std::size_t r = 0; r < n_rows; ++r) {
      out[r].assign(n_groups, 0.0);
      out[r][row_class[r]] = 1.0;
    }
  }

  // The held-out rows, class by class.
  std::vector<std::vector<std::size_t>> groups(n_groups);
  for (std::size_t r = 0; r < n_rows; ++r)
    groups[row_class[r]].push_back(r);
  std::vector<Split> split(n_rows, Split::kTraining);
  quill::SeedRand(options.seed);
  const bool testing = options.test_fraction > 0.0;
  const bool validating = options.validation_fraction > 0.0;
  if (testing || validating) {
    for (const auto& group : groups)
      ChooseHeldOutRows(group, options.test_fraction, options.validation_fraction, split);
  }
  for (std::size_t g = 0; g < n_groups; ++g) {
    const bool kept = std::any_of(groups[g].begin(), groups[g].end(),
                                  [&](std::size_t r) { return split[r] == Split::kTraining; });
    if (!kept && groups[g].empty()) {
      continue;  // a recorded class this file does not hold
    }
    if (!kept) {
      const std::string held = testing && validating ? "the test and validation splits"
                               : testing             ? "the test split"
                                                     : "the validation split";
      throw ToolError(classes ? "the class '" + result.class_names[g] +
                                    "' keeps no training rows after " + held
                              : "no training rows are left after " + held);
    }
  }

  // Scaling, from the training rows or as recorded.
  std::vector<ColumnScale> input_scales, target_scales;
  if (options.recorded) {
    input_scales = Recorded(options.recorded->inputs, result.inputs, "column ");
    if (!classes && recorded_kind == ScalingRecord::Kind::kRegression) {
      target_scales = Recorded(options.recorded->targets, result.targets, "target ");
    }
  } else {
    if (options.scaling != Scaling::kNone) {
      input_scales = ComputeScales(options.scaling, result.inputs, in, split);
    }
    if (!classes && options.scale_targets) target_scales = TargetScales(result.targets, out, split);
  }
  ApplyScales(input_scales, in, inputs, name, table);
  ApplyScales(target_scales, out, targets, name, table);

  // The record predictions need: every input (unscaled ones as they are) and
  // the targets.
  for (std::size_t c = 0; c < result.inputs.size(); ++c) {
    result.record.inputs.push_back(c < input_scales.size() ? input_scales[c]
                                                           : ColumnScale{result.inputs[c], 0, 1});
  }
  if (classes) {
    result.record.kind = ScalingRecord::Kind::kClasses;
    result.record.class_column = result.targets[0];
    result.record.class_names = result.class_names;
  } else {
    result.record.kind = ScalingRecord::Kind::kRegression;
    for (std::size_t c = 0; c < result.targets.size(); ++c) {
      result.record.targets.push_back(
          c < target_scales.size() ? target_scales[c] : ColumnScale{result.targets[c], 0, 1});
    }
  }
  result.scaling_path = options.prefix + "-scaling.csv";
  result.names_comment =
      ColumnComment({result.inputs, classes ? result.class_names : result.targets});

  // File names: one per class, made unique. With held-out rows a class's
  // test file is named like the training file of a class whose name ends in
  // "-test" ("x" and "x-test"), and likewise for "-validation": every stem
  // then also takes those names, and a class whose names are taken gets the
  // first free "-2", "-3" ...
  std::vector<std::string> suffixes = {""};
  if (testing) suffixes.push_back("-test");
  if (validating) suffixes.push_back("-validation");
  std::vector<std::string> stems, taken;
  auto free = [&](const std::string& stem) {
    return std::all_of(suffixes.begin(), suffixes.end(), [&](const std::string& suffix) {
      return std::find(taken.begin(), taken.end(), stem + suffix) == taken.end();
    });
  };
  for (std::size_t g = 0; g < n_groups; ++g) {
    std::string stem =
        classes ? options.prefix + "-" + FileStem(result.class_names[g]) : options.prefix;
    const std::string base = stem;
    for (int k = 2; !free(stem); ++k)
      stem = base + "-" + std::to_string(k);
    stems.push_back(stem);
    for (const std::string& suffix : suffixes)
      taken.push_back(stem + suffix);
  }
  auto make = [&](std::size_t g, Split which) {
    std::vector<std::size_t> rows;
    for (std::size_t r : groups[g]) {
      if (split[r] == which) rows.push_back(r);
    }
    if (rows.empty()) return;
    const int n_in = static_cast<int>(inputs.size());
    const int n_out = static_cast<int>(out[rows[0]].size());
    auto data = std::make_shared<Data>(static_cast<int>(rows.size()), n_in, n_out, false);
    for (std::size_t r : rows)
      data->AddRow(in[r].data(), out[r].data(), nullptr);
    const char* suffix = which == Split::kTest         ? "-test.dat"
                         : which == Split::kValidation ? "-validation.dat"
                                                       : ".dat";
    const std::string path = stems[g] + suffix;
    if (path.size() > kMaxDataFileLength) {
      throw UsageError("the file name " + path + " is longer than a parameter file takes (" +
                       std::to_string(kMaxDataFileLength) + " characters)");
    }
    const std::string what = classes ? result.class_names[g] : "all rows";
    const char* note = which == Split::kTest         ? " (test)"
                       : which == Split::kValidation ? " (validation)"
                                                     : "";
    result.files.push_back({path, what + note, which, std::move(data)});
  };
  for (Split which : {Split::kTraining, Split::kValidation, Split::kTest}) {
    for (std::size_t g = 0; g < n_groups; ++g)
      make(g, which);
  }
  return result;
}

}  // namespace quill::tools
