#include "Tools/QuillData/CsvImport.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "DataObject/Data.h"
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

std::string ColumnName(const CsvTable& table, std::size_t column) {
  return table.header[column].empty() ? "column " + std::to_string(column + 1)
                                      : table.header[column];
}

// "<file>:<line>: column <n> (<name>): <reason>"
[[noreturn]] void FailAt(const std::string& file, const CsvTable& table, const CsvTable::Row& row,
                         std::size_t column, const std::string& reason) {
  throw ToolError(file + ":" + std::to_string(row.line) + ": column " + std::to_string(column + 1) +
                  " (" + ColumnName(table, column) + "): " + reason);
}

double Number(const std::string& file, const CsvTable& table, const CsvTable::Row& row,
              std::size_t column) {
  const std::string& field = row.fields[column];
  const std::optional<double> value = ParseCsvNumber(field);
  if (!value) {
    FailAt(file, table, row, column,
           field.empty() ? "no value" : "'" + field + "' is not a number");
  }
  return *value;
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

// Marks round(fraction * n) of the rows in `group` as test rows, chosen by a
// seeded shuffle.
void ChooseTestRows(const std::vector<std::size_t>& group, double fraction,
                    std::vector<bool>& test) {
  const auto count = static_cast<std::size_t>(std::floor(fraction * group.size() + 0.5));
  std::vector<std::size_t> order = group;
  for (std::size_t i = order.size(); i > 1; --i)
    std::swap(order[i - 1], order[Draw() % i]);
  for (std::size_t k = 0; k < count && k < order.size(); ++k)
    test[order[k]] = true;
}

std::vector<ColumnScale> ComputeScales(Scaling scaling, const std::vector<std::string>& names,
                                       const std::vector<std::vector<double>>& inputs,
                                       const std::vector<bool>& test) {
  std::vector<ColumnScale> scales;
  for (std::size_t c = 0; c < names.size(); ++c) {
    double lo = 0.0, hi = 0.0, sum = 0.0;
    std::size_t n = 0;
    for (std::size_t r = 0; r < inputs.size(); ++r) {
      if (test[r]) continue;
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
        if (!test[r]) squares += (inputs[r][c] - mean) * (inputs[r][c] - mean);
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

}  // namespace

ImportResult ImportCsv(const CsvTable& table, const std::string& name,
                       const ImportOptions& options) {
  if (options.prefix.empty()) throw UsageError("give the output prefix with -o");
  if (options.prefix.find_first_of(" \t\r\n\v\f") != std::string::npos) {
    throw UsageError("the output prefix may not hold blanks: parameter files read paths as words");
  }
  if (!(options.test_fraction >= 0.0 && options.test_fraction < 1.0)) {
    throw UsageError("the test fraction must be at least 0 and below 1");
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

  bool classes = options.kind == TargetKind::kClass;
  if (options.kind == TargetKind::kAuto && targets.size() == 1) {
    for (const CsvTable::Row& row : table.rows) {
      if (!ParseCsvNumber(row.fields[targets[0]])) classes = true;
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
  for (std::size_t r = 0; r < n_rows; ++r) {
    const CsvTable::Row& row = table.rows[r];
    for (std::size_t c : inputs)
      in[r].push_back(Number(name, table, row, c));
    if (classes) {
      const std::string& label = row.fields[targets[0]];
      if (label.empty()) FailAt(name, table, row, targets[0], "no class");
      auto [it, added] = class_index.emplace(label, result.class_names.size());
      if (added) result.class_names.push_back(label);
      row_class[r] = it->second;
    } else {
      for (std::size_t c : targets)
        out[r].push_back(Number(name, table, row, c));
    }
  }
  const std::size_t n_groups = classes ? result.class_names.size() : 1;
  if (classes) {
    for (std::size_t r = 0; r < n_rows; ++r) {
      out[r].assign(n_groups, 0.0);
      out[r][row_class[r]] = 1.0;
    }
  }

  // The test split, class by class.
  std::vector<std::vector<std::size_t>> groups(n_groups);
  for (std::size_t r = 0; r < n_rows; ++r)
    groups[row_class[r]].push_back(r);
  std::vector<bool> test(n_rows, false);
  quill::SeedRand(options.seed);
  if (options.test_fraction > 0.0) {
    for (const auto& group : groups)
      ChooseTestRows(group, options.test_fraction, test);
  }
  for (std::size_t g = 0; g < n_groups; ++g) {
    const bool kept =
        std::any_of(groups[g].begin(), groups[g].end(), [&](std::size_t r) { return !test[r]; });
    if (!kept) {
      throw ToolError(classes ? "the class '" + result.class_names[g] +
                                    "' keeps no training rows after the test split"
                              : std::string("no training rows are left after the test split"));
    }
  }

  // Scaling, from the training rows or as recorded.
  if (!options.recorded.empty()) {
    for (const std::string& column : result.inputs) {
      auto it = std::find_if(options.recorded.begin(), options.recorded.end(),
                             [&](const ColumnScale& s) { return s.column == column; });
      if (it == options.recorded.end()) {
        throw ToolError("the recorded scaling has no column '" + column + "'");
      }
      result.scales.push_back(*it);
    }
  } else if (options.scaling != Scaling::kNone) {
    result.scales = ComputeScales(options.scaling, result.inputs, in, test);
  }
  for (std::size_t c = 0; c < result.scales.size(); ++c) {
    for (std::size_t r = 0; r < n_rows; ++r) {
      in[r][c] = (in[r][c] - result.scales[c].subtract) / result.scales[c].divide;
      if (!std::isfinite(in[r][c])) {
        FailAt(name, table, table.rows[r], inputs[c], "the scaled value is beyond a double");
      }
    }
  }

  // File names: one per class, made unique. With a test split a class's
  // test file is named like the training file of a class whose name ends in
  // "-test" ("x" and "x-test"): every stem then also takes its test name, and
  // a class whose names are taken gets the first free "-2", "-3" ...
  const bool testing = options.test_fraction > 0.0;
  std::vector<std::string> stems, taken;
  auto free = [&](const std::string& stem) {
    auto unused = [&](const std::string& name) {
      return std::find(taken.begin(), taken.end(), name) == taken.end();
    };
    return unused(stem) && (!testing || unused(stem + "-test"));
  };
  for (std::size_t g = 0; g < n_groups; ++g) {
    std::string stem =
        classes ? options.prefix + "-" + FileStem(result.class_names[g]) : options.prefix;
    const std::string base = stem;
    for (int k = 2; !free(stem); ++k)
      stem = base + "-" + std::to_string(k);
    stems.push_back(stem);
    taken.push_back(stem);
    if (testing) taken.push_back(stem + "-test");
  }
  auto make = [&](std::size_t g, bool testing) {
    std::vector<std::size_t> rows;
    for (std::size_t r : groups[g]) {
      if (test[r] == testing) rows.push_back(r);
    }
    if (rows.empty()) return;
    const int n_in = static_cast<int>(inputs.size());
    const int n_out = static_cast<int>(out[rows[0]].size());
    auto data = std::make_shared<Data>(static_cast<int>(rows.size()), n_in, n_out, false);
    for (std::size_t r : rows)
      data->AddRow(in[r].data(), out[r].data(), nullptr);
    const std::string path = stems[g] + (testing ? "-test.dat" : ".dat");
    if (path.size() > kMaxDataFileLength) {
      throw UsageError("the file name " + path + " is longer than a parameter file takes (" +
                       std::to_string(kMaxDataFileLength) + " characters)");
    }
    const std::string what = classes ? result.class_names[g] : "all rows";
    result.files.push_back({path, testing ? what + " (test)" : what, std::move(data)});
  };
  for (std::size_t g = 0; g < n_groups; ++g)
    make(g, false);
  for (std::size_t g = 0; g < n_groups; ++g)
    make(g, true);

  std::ostringstream fragment;
  fragment << "#DataClasses = " << n_groups << '\n';
  for (std::size_t g = 0; g < n_groups; ++g)
    fragment << "DataFile = " << result.files[g].path << '\n';
  result.fragment = fragment.str();
  result.fragment_path = options.prefix + "-params.txt";

  if (!result.scales.empty()) {
    std::ostringstream text;
    text << "column,subtract,divide\n";
    for (const ColumnScale& s : result.scales) {
      text << CsvField(s.column) << ',' << ShortestNumber(s.subtract) << ','
           << ShortestNumber(s.divide) << '\n';
    }
    result.scaling_text = text.str();
    result.scaling_path = options.prefix + "-scaling.csv";
  }
  return result;
}

std::vector<ColumnScale> ReadScaling(const std::string& path) {
  const CsvTable table = ReadCsvFile(path);
  if (table.header != std::vector<std::string>{"column", "subtract", "divide"}) {
    throw ToolError(path + ": a recorded scaling has the columns column,subtract,divide");
  }
  std::vector<ColumnScale> scales;
  for (const CsvTable::Row& row : table.rows) {
    ColumnScale s{row.fields[0], Number(path, table, row, 1), Number(path, table, row, 2)};
    if (s.divide == 0.0) FailAt(path, table, row, 2, "a divisor of 0");
    scales.push_back(s);
  }
  if (scales.empty()) throw ToolError(path + ": the recorded scaling has no column");
  return scales;
}

}  // namespace quill::tools
