#include "MLP/Quill/ParameterCheck.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "DataObject/Data.h"
#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterKeys.h"
#include "MLP/Quill/ParameterReader.h"
#include "MLP/Quill/RunInputs.h"
#include "MLP/Quill/RunMemory.h"
#include "MLP/Quill/RunSequence.h"
#include "MLP/Quill/TQuillEval.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "NeuralNets/TRecallPlan.h"
#include "common/AtomicFile.h"
#include "common/NumberText.h"
#include "common/StrCase.h"

namespace {

using Level = CheckFinding::Level;

std::string Upper(const std::string& text) {
  std::string upper = text;
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Edits (insert, delete, change, swap of neighbours) between two texts, or
// anything above `limit` once they are known to be further apart.
std::size_t Distance(const std::string& a, const std::string& b, std::size_t limit) {
  const std::size_t m = b.size();
  // Three rows of the usual table: two back, one back, this one.
  std::vector<std::size_t> before(m + 1), last(m + 1), row(m + 1);
  for (std::size_t j = 0; j <= m; ++j)
    last[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        row[j] = std::min(row[j], before[j - 2] + 1);
    }
    before.swap(last);
    last.swap(row);
    // A row never has a smaller minimum than the one before it, but for a
    // swap, which the row before covers.
    if (std::min(*std::min_element(last.begin(), last.end()),
                 *std::min_element(before.begin(), before.end())) > limit)
      return limit + 1;
  }
  return last[m];
}

// The file's text as lines, for the line of an offset.
class Lines {
 public:
  explicit Lines(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') ends_.push_back(static_cast<std::int64_t>(i));
    }
  }
  int At(std::int64_t offset) const {
    return static_cast<int>(std::lower_bound(ends_.begin(), ends_.end(), offset) - ends_.begin()) +
           1;
  }

 private:
  std::vector<std::int64_t> ends_;
};

// The whole word of the file that starts at `offset`.
std::string WordAt(const std::string& text, std::int64_t offset) {
  if (offset < 0 || static_cast<std::size_t>(offset) >= text.size()) return {};
  std::size_t end = static_cast<std::size_t>(offset);
  while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
    ++end;
  return text.substr(static_cast<std::size_t>(offset), end - static_cast<std::size_t>(offset));
}

// "1 row", "2 rows".
std::string Count(long n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

class Checker {
 public:
  Checker(const std::string& path, const std::string& text, const CheckOptions& options)
      : path_(path), text_(text), lines_(text), options_(options) {}

  CheckReport Run() {
    std::istringstream in(text_);
    const auto error = ReadQuillParameters(in, params_, &events_);
    ReportReading();
    if (error) {
      // Reading stops at the first bad entry: the last key read is its line.
      Add(Level::kError, LastKeyLine(), *error + ReadingAdvice(*error));
      return std::move(report_);
    }
    if (auto invalid = ValidateQuillParameters(params_)) {
      Add(Level::kError, LineOfKey(KeyOfMessage(*invalid)), *invalid + ValidationAdvice(*invalid));
      return std::move(report_);
    }
    // A forced instruction set the run could not follow ends it at once.
    if (const std::string problem = quill::simd::IsaProblem(); !problem.empty()) {
      Add(Level::kError, 0, problem);
      return std::move(report_);
    }
    CheckSettings();
    if (params_.EliteIndividuals < 0 || params_.EliteIndividuals > params_.PopulationSize) {
      Add(Level::kError, LineOfKey("EliteIndividuals"),
          "EliteIndividuals invalid: it is " + quill::ShortestText(params_.EliteIndividuals) +
              ", and must be from 0 to PopulationSize (" +
              quill::ShortestText(params_.PopulationSize) + ")");
      return std::move(report_);
    }
    if (!options_.inputs || !CheckInputs()) return std::move(report_);
    CheckAgainstNetwork();
    Estimate();
    return std::move(report_);
  }

 private:
  void Add(Level level, int line, std::string text) {
    report_.findings.push_back(CheckFinding{level, line, std::move(text)});
  }

  int Line(std::int64_t offset) const { return lines_.At(offset); }

  int LastKeyLine() const {
    for (auto e = events_.rbegin(); e != events_.rend(); ++e) {
      if (e->kind == ReadEvent::Kind::kKey) return Line(e->at);
    }
    return 0;
  }

  // The line where `name` was last given, or 0.
  int LineOfKey(const std::string& name) const {
    int line = 0;
    for (const ReadEvent& e : events_) {
      if (e.kind == ReadEvent::Kind::kKey && e.key != nullptr &&
          quill::strcasecmp(e.key->name, name.c_str()) == 0)
        line = Line(e.at);
    }
    return line;
  }

  bool Given(const std::string& name) const { return LineOfKey(name) > 0; }

  // The key a validation message is about.
  static std::string KeyOfMessage(const std::string& message) {
    if (message.find("weight file") != std::string::npos) return "WeightFile";
    if (message.find("classes") != std::string::npos) return "#DataClasses";
    if (message.find("generations") != std::string::npos) return "Generations";
    if (message.find("Population") != std::string::npos) return "PopulationSize";
    const std::size_t space = message.find(' ');
    return message.substr(0, space);
  }

  static std::string ReadingAdvice(const std::string& error) {
    if (error.rfind("Invalid or missing value for ", 0) == 0)
      return ": the value must follow the key and a separator, as in 'Generations = 100'";
    if (error == "Unknown selection method") return ": Selection is Roulette or Tournament";
    return {};
  }

  static std::string ValidationAdvice(const std::string& error) {
    if (error == "No weight file specified") return ": add 'WeightFile = start.wgt'";
    if (error == "Number of classes not specified or invalid")
      return ": add '#DataClasses = N' before the N DataFile entries";
    if (error == "Number of generations not specified or invalid")
      return ": add 'Generations = 100' (at least 1)";
    if (error == "Population Size not specified or invalid")
      return ": add 'PopulationSize = 50' (at least 1)";
    return {};
  }

  // What the reader met that the writer probably did not mean.
  void ReportReading() {
    std::map<const ParameterKey*, int> given;
    for (std::size_t i = 0; i < events_.size(); ++i) {
      const ReadEvent& e = events_[i];
      switch (e.kind) {
        case ReadEvent::Kind::kSkipped:
          i = ReportSkipped(i);
          break;
        case ReadEvent::Kind::kKey: {
          const std::string name = e.key->name;
          if (e.key->kind != KeyKind::kPaths && given.count(e.key) > 0) {
            Add(Level::kWarning, Line(e.at),
                name + " is given again: this value replaces the one on line " +
                    std::to_string(given[e.key]));
          }
          given[e.key] = Line(e.at);
          break;
        }
        case ReadEvent::Kind::kSeparator:
          ReportSeparator(e);
          break;
        case ReadEvent::Kind::kPartialNumber: {
          const std::string word = WordAt(text_, e.at);
          const std::size_t read =
              static_cast<std::size_t>(std::max<std::int64_t>(0, e.end - e.at));
          Add(Level::kWarning, Line(e.at),
              std::string(e.key->name) + " = " + word + " is read as " + e.text + ": a number " +
                  "ends at the first character that does not belong to it, and " +
                  Quote(word.substr(std::min(word.size(), read))) + " is skipped" +
                  NumberAdvice(*e.key, word));
          // The rest of the word follows as a skipped word: said here.
          if (i + 1 < events_.size() && events_[i + 1].kind == ReadEvent::Kind::kSkipped) ++i;
          break;
        }
      }
    }
  }

  static std::string NumberAdvice(const ParameterKey& key, const std::string& word) {
    if (key.kind == KeyKind::kInteger || key.kind == KeyKind::kIntegers) {
      if (word.find_first_of("eE") != std::string::npos &&
          word.find_first_of("xX") == std::string::npos)
        return "; integers are written in full (10000, not 1e4)";
      if (word.find(',') != std::string::npos) return "; write numbers without separators (1000)";
      if (word.size() > 1 && word[0] == '0') return "; a leading 0 makes the number octal";
    }
    return {};
  }

  // A group of skipped words on one line, from event `first`; returns the
  // last event of the group. Beyond kMaxSkipped groups they are counted only:
  // such a file is no parameter file, and one note says so.
  std::size_t ReportSkipped(std::size_t first) {
    const int line = Line(events_[first].at);
    std::size_t last = first;
    std::string words = events_[first].text;
    while (last + 1 < events_.size() && events_[last + 1].kind == ReadEvent::Kind::kSkipped &&
           Line(events_[last + 1].at) == line) {
      ++last;
      words += " " + events_[last].text;
    }
    if (++skipped_groups_ > kMaxSkipped) {
      if (skipped_groups_ == kMaxSkipped + 1)
        Add(Level::kWarning, line,
            "more words are skipped from here on; only the first " + std::to_string(kMaxSkipped) +
                " lines are listed");
      return last;
    }
    const std::string& word = events_[first].text;
    std::string text = Quote(words) + " is skipped";
    // "Key=value" or "Key:" glued into one word.
    const std::size_t glue = word.find_first_of("=:");
    const ParameterKey* glued =
        glue != std::string::npos && glue > 0 ? FindParameterKey(word.substr(0, glue)) : nullptr;
    if (glued != nullptr) {
      text += ": " + Quote(word) + " is one word, so " + glued->name +
              " is not read; put a blank after the key, as in '" + glued->name + " = ...'";
    } else if (const std::string nearest =
                   std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '#'
                       ? NearestKey(word)
                       : std::string();
               !nearest.empty()) {
      text += ": " + Quote(word) + " is not a key (" + nearest + "?)";
    } else if (word[0] == '#' || word.rfind("//", 0) == 0 || word[0] == ';') {
      text +=
          ": the file has no comments; every word is read, and a key among them is read "
          "as a key";
    } else if (std::isalpha(static_cast<unsigned char>(word[0]))) {
      text += ": " + Quote(word) + " is not a key";
    } else {
      text += ": it does not follow a key";
    }
    Add(Level::kWarning, line, text);
    return last;
  }

  // A separator that is likely the start of the value: "PopulationSize 50"
  // takes "5" as the separator and reads 0.
  void ReportSeparator(const ReadEvent& e) {
    const unsigned char c = static_cast<unsigned char>(e.text[0]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.' && c != '"' && c != '\'') return;
    const std::string word = WordAt(text_, e.at);
    Add(Level::kWarning, Line(e.at),
        std::string(e.key->name) + " " + word + ": " + Quote(e.text) +
            " is taken as the separator (the first character after a key), so the value is read "
            "from " +
            Quote(word.substr(1)) + "; write '" + e.key->name + " = " + word + "'");
  }

  // Values outside the ranges the table gives, and settings that breed
  // nothing.
  void CheckSettings() {
    for (const ParameterKey& key : ParameterKeys()) {
      if (!Given(key.name) || (!key.lowest && !key.highest)) continue;
      const std::vector<std::string> values = key.values(params_);
      for (const std::string& value : values) {
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (end == value.c_str()) continue;
        if ((key.lowest && number < *key.lowest) || (key.highest && number > *key.highest)) {
          Add(Level::kWarning, LineOfKey(key.name),
              std::string(key.name) + " is " + value + ", outside " + Range(key));
        }
      }
    }
    if (params_.MutationRate == 0.0f) {
      Add(Level::kWarning, LineOfKey("MutationRate"),
          std::string("MutationRate is 0") + (Given("MutationRate") ? "" : " (the default)") +
              ": no gene is ever mutated, so the run can only recombine the first "
              "population's values; 0.01 to 0.1 is usual");
    }
    if (params_.EliteIndividuals == params_.PopulationSize) {
      Add(Level::kWarning, LineOfKey("EliteIndividuals"),
          "EliteIndividuals equals PopulationSize: every individual is carried over and none "
          "is bred, so nothing changes");
    }
    if (Given("MinWeight") && Given("MaxWeight") && params_.MinWeight > params_.MaxWeight) {
      Add(Level::kWarning, LineOfKey("MinWeight"),
          "MinWeight (" + quill::ShortestText(params_.MinWeight) + ") is above MaxWeight (" +
              quill::ShortestText(params_.MaxWeight) + "): the bounds are reversed");
    }
  }

  static std::string Range(const ParameterKey& key) {
    if (key.lowest && key.highest)
      return quill::ShortestText(*key.lowest) + " ... " + quill::ShortestText(*key.highest);
    if (key.lowest) return "its range (at least " + quill::ShortestText(*key.lowest) + ")";
    return "its range (at most " + quill::ShortestText(*key.highest) + ")";
  }

  std::string Folder() const {
    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    return ec ? std::string("the working directory") : cwd;
  }

  // Why a file named in the parameter file cannot be read, or nothing.
  std::optional<std::string> Unreadable(const char* role, const std::string& name) const {
    std::error_code ec;
    const auto status = std::filesystem::status(name, ec);
    const std::string file = std::string(role) + " " + Quote(name);
    if (!std::filesystem::exists(status))
      return "there is no " + file + " in " + Folder() +
             " (paths are taken relative to the working directory, not to the parameter file)";
    if (std::filesystem::is_directory(status)) return file + " is a folder";
    std::ifstream probe(name);
    if (!probe) return file + " cannot be opened for reading";
    return std::nullopt;
  }

  // Loads the network and the data sets as the run does, with counts.
  bool CheckInputs() {
    FileTools network_files;
    FileTools data_files;
    std::streambuf* err = std::cerr.rdbuf(nullptr);  // the readers' warnings
    const auto error = PrepareRun(params_, path_, network_files, data_files, run_);
    std::cerr.rdbuf(err);
    if (inputs_.network != nullptr) DescribeNetwork();
    for (std::size_t i = 0; i < inputs_.data_sets.size(); ++i) {
      if (inputs_.data_sets[i] != nullptr) DescribeData(i);
    }
    for (std::size_t i = 0; i < inputs_.validation_sets.size(); ++i) {
      if (inputs_.validation_sets[i] != nullptr) DescribeData(i, true);
    }
    if (!error) return true;
    std::string message = *error;
    while (!message.empty() && message.back() == '\n')
      message.pop_back();
    for (char& c : message) {
      if (c == '\n') c = ' ';
    }
    if (message.rfind("Unable to create ", 0) == 0 ||
        message.find(" name the same file ") != std::string::npos ||
        message.find("heckpoint") != std::string::npos || message.rfind("RunLog ", 0) == 0 ||
        message.rfind("Not enough memory", 0) == 0) {
      // The inputs loaded: the checkpoint or an output stopped the run.
      const auto [key, context] = AfterLoading(message);
      Add(Level::kError, LineOfKey(key), message + context);
      return false;
    }
    // The file the run was loading when it stopped: the first that cannot be
    // read (they are loaded in this order), else the one the message names.
    int line = 0;
    std::string context;
    if (auto why = Unreadable("WeightFile", params_.WeightFile)) {
      line = LineOfKey("WeightFile");
      context = ": " + *why;
    } else {
      for (std::size_t i = 0; i < params_.DataFiles.size() && context.empty(); ++i) {
        if (auto why = Unreadable("DataFile", params_.DataFiles[i])) {
          line = DataFileLine(i);
          context = ": " + *why;
        }
      }
      for (std::size_t i = 0; i < params_.ValidationFiles.size() && context.empty(); ++i) {
        if (auto why = Unreadable("ValidationFile", params_.ValidationFiles[i])) {
          line = DataFileLine(i, true);
          context = ": " + *why;
        }
      }
    }
    if (context.empty()) {
      line = LineOfInput(message);
      context = InputAdvice(message);
    }
    Add(Level::kError, line, message + context);
    return false;
  }

  // The key of a message about the checkpoint or an output, and what it
  // leaves out.
  std::pair<std::string, std::string> AfterLoading(const std::string& message) const {
    const std::pair<const char*, const char*> outputs[] = {
        {"Unable to create run log ", "RunLog"},
        {"Unable to create checkpoint file ", "Checkpoint"},
        {"Unable to create destination file ", "DestinationFile"}};
    for (const auto& [start, key] : outputs) {
      if (message.rfind(start, 0) == 0)
        return {key, Unwritable(message.substr(std::strlen(start)))};
    }
    if (message.rfind("Not enough memory", 0) == 0) {
      const double need = static_cast<double>(
          RunMemoryNeed(params_.PopulationSize, inputs_.network->GetNumWeights(0)));
      return {"PopulationSize", ": the population alone needs at least " + Megabytes(need) +
                                    ", more than this machine (or this process) may use"};
    }
    if (message.rfind("RunLog ", 0) == 0) return {"RunLog", ""};
    if (message.find("heckpoint") != std::string::npos) return {"Resume", ""};
    if (message.find(" name the same file ") != std::string::npos) {
      return {message.substr(0, message.find(' ')),
              ": the run would write over a file it reads or writes; give the output another "
              "name"};
    }
    return {"WeightFile", ""};
  }

  // Why an output cannot be created at `name`.
  std::string Unwritable(const std::string& name) const {
    const std::string why = quill::AtomicFile::Unwritable(name);
    if (!why.empty()) return ": " + why;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(name).parent_path();
    if (folder.empty()) folder = ".";
    if (!std::filesystem::is_directory(folder, ec))
      return ": there is no folder " + Quote(folder.string()) + " in " + Folder();
    return ": the folder " + Quote(folder.string()) + " cannot be written";
  }

  // The line of the DataFile (or ValidationFile) entry number `index`.
  int DataFileLine(std::size_t index, bool validation = false) const {
    const std::string key = validation ? "ValidationFile" : "DataFile";
    std::size_t seen = 0;
    for (const ReadEvent& e : events_) {
      if (e.kind == ReadEvent::Kind::kKey && e.key->name == key) {
        if (seen++ == index) return Line(e.at);
      }
    }
    return 0;
  }

  // The line of the file a loading message names.
  int LineOfInput(const std::string& message) const {
    for (bool validation : {false, true}) {
      const auto& names = validation ? params_.ValidationFiles : params_.DataFiles;
      for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (message.size() >= name.size() &&
            message.compare(message.size() - name.size(), name.size(), name) == 0)
          return DataFileLine(i, validation);
      }
    }
    return LineOfKey("WeightFile");
  }

  std::string InputAdvice(const std::string& message) const {
    if (message.rfind("Data does not fit the network", 0) == 0 && inputs_.network != nullptr) {
      return ": the network has " + std::to_string(Inputs()) + " inputs and " +
             std::to_string(Outputs()) + " outputs" +
             (params_.FeaturesGiven ? " (the data's inputs are counted after Features)" : "");
    }
    if (message.rfind("Invalid feature", 0) == 0)
      return ": Features count the data's input columns from 0";
    return {};
  }

  int Inputs() const { return inputs_.network->GetLayer(inputs_.network->inLayer)->numNeurons; }
  int Outputs() const { return inputs_.network->GetLayer(inputs_.network->outLayer)->numNeurons; }

  void DescribeNetwork() {
    TMLPNetwork& net = *inputs_.network;
    const int n = net.GetNumWeights(0);
    std::string text = "WeightFile " + params_.WeightFile + ": " +
                       std::to_string(net.layers.size()) + " layers, " + Count(Inputs(), "input") +
                       ", " + Count(Outputs(), "output") + ", " + Count(n, "trainable weight");
    if (n > 0) {
      weights_.resize(static_cast<std::size_t>(n));
      net.GetWeights(weights_.data(), 0);
      const auto [lo, hi] = std::minmax_element(weights_.begin(), weights_.end());
      text += " from " + quill::ShortestText(static_cast<float>(*lo)) + " to " +
              quill::ShortestText(static_cast<float>(*hi));
    }
    Add(Level::kNote, LineOfKey("WeightFile"), text);
  }

  void DescribeData(std::size_t i, bool validation = false) {
    const Data& data = validation ? *inputs_.validation_sets[i] : *inputs_.data_sets[i];
    std::string text = (validation ? "ValidationFile " + params_.ValidationFiles[i]
                                   : "DataFile " + params_.DataFiles[i]) +
                       ": " + Count(data.NumRows(), "row") + ", " +
                       Count(data.NumInputs(), "input");
    if (params_.FeaturesGiven) text += " (" + std::to_string(params_.Features.size()) + " kept)";
    text += ", " + Count(data.NumOutputs(), "output");
    Add(Level::kNote, DataFileLine(i, validation), text);
  }

  // Settings that depend on the network: the bounds against the starting
  // weights, the crossover against the genes.
  void CheckAgainstNetwork() {
    const std::size_t genes = weights_.size();
    if (genes > 0) {
      const double lo = *std::min_element(weights_.begin(), weights_.end());
      const double hi = *std::max_element(weights_.begin(), weights_.end());
      const double min_weight = params_.MinWeight;
      const double max_weight = params_.MaxWeight;
      if (!Given("MinWeight")) {
        Add(Level::kWarning, 0,
            "MinWeight is not given: its default is +10, so the lower weight bound becomes the "
            "smallest starting weight (" +
                quill::ShortestText(static_cast<float>(lo)) +
                "); give both bounds, e.g. 'MinWeight = -10' and 'MaxWeight = 10'");
      } else if (lo < min_weight) {
        Add(Level::kWarning, LineOfKey("MinWeight"),
            "a starting weight (" + quill::ShortestText(static_cast<float>(lo)) +
                ") is below MinWeight: the lower bound is widened to it");
      }
      if (Given("MaxWeight") && hi > max_weight) {
        Add(Level::kWarning, LineOfKey("MaxWeight"),
            "a starting weight (" + quill::ShortestText(static_cast<float>(hi)) +
                ") is above MaxWeight: the upper bound is widened to it");
      }
    }
    if (params_.CrossoverPoints > 0 && static_cast<std::size_t>(params_.CrossoverPoints) >= genes &&
        genes > 0) {
      Add(Level::kWarning, LineOfKey("CrossoverPoints"),
          "CrossoverPoints (" + quill::ShortestText(params_.CrossoverPoints) +
              ") is not below the number of genes (" + std::to_string(genes) +
              "): every crossover is uniform");
    }
  }

  // How a generation is evaluated, and what the run needs.
  void Estimate() {
    const std::vector<Data*> sets = inputs_.Pointers();
    // The implementation the run would use (QUILL_ISA honoured), in its
    // precision; what single precision cannot take is measured in double.
    std::unique_ptr<TRecallPlan> plan;
    if (params_.SinglePrecision) {
      plan = TRecallPlan::Compile(*inputs_.network, static_cast<int>(sets.size()), sets.data(),
                                  quill::simd::BestKernels(), TRecallPlan::Precision::kSingle);
    }
    const bool single = plan != nullptr;
    if (plan == nullptr) {
      plan = TRecallPlan::Compile(*inputs_.network, static_cast<int>(sets.size()), sets.data(),
                                  quill::simd::BestKernels());
    }
    if (params_.SinglePrecision && !single) {
      Add(Level::kWarning, LineOfKey("Precision"),
          "Precision = single does not apply to this network with these data files (a value "
          "beyond the float range, or a kind of layer, connection or activation only double "
          "precision handles): the run measures in double precision");
    }
    if (plan != nullptr) {
      Add(Level::kNote, 0,
          std::string("evaluation: compiled (") + plan->Kernels().name +
              (single ? ", single precision" : "") + "), " + std::to_string(plan->NumPatterns()) +
              " patterns per individual");
      if (!plan->WarningsPerPattern().empty()) {
        Add(Level::kWarning, LineOfKey("WeightFile"),
            std::string("the network writes '") + plan->WarningsPerPattern().front() +
                "' for every pattern it recalls: a layer has the wrong role for its class");
      }
    } else {
      Add(Level::kWarning, LineOfKey("WeightFile"),
          "evaluation: this network cannot be compiled for fast recall; every individual is "
          "measured on the network objects, which is much slower");
    }
    const double genes = static_cast<double>(weights_.size());
    const double population = params_.PopulationSize;
    double patterns = 0.0;
    for (Data* data : sets)
      patterns += data->NumRows();
    // The populations (as the run's own estimate counts them), the data and
    // the compiled copies of the weights.
    const double bytes =
        static_cast<double>(
            RunMemoryNeed(params_.PopulationSize, static_cast<std::int64_t>(genes))) +
        patterns * 64.0 +
        (plan != nullptr ? static_cast<double>(plan->NumWeights()) * (single ? 4.0 : 8.0) *
                               std::min(params_.Threads, params_.PopulationSize)
                         : 0.0);
    std::string text = "memory: about " + Megabytes(bytes);
    if (options_.measure) {
      const double seconds = SecondsPerIndividual(plan.get(), sets);
      // The threads the run uses: without Threads, one for a generation of
      // little work.
      const int threads = !params_.ThreadsGiven && plan != nullptr &&
                                  TQuillEval::LittleWork(*plan, params_.PopulationSize)
                              ? 1
                              : params_.Threads;
      const double parallel = std::min<double>(threads, population);
      const double generation = seconds * population / parallel;
      text += "; time: about " + Seconds(generation) + " per generation (" + Seconds(seconds) +
              " per individual, " + quill::ShortestText(threads) +
              (threads == 1 ? " thread" : " threads") + "), " +
              Seconds(generation * params_.Generations) + " for " +
              quill::ShortestText(params_.Generations) + " generations";
    }
    Add(Level::kNote, 0, text);
  }

  double SecondsPerIndividual(const TRecallPlan* plan, const std::vector<Data*>& sets) {
    using Clock = std::chrono::steady_clock;
    int repeats = 0;
    const auto start = Clock::now();
    double elapsed = 0.0;
    if (plan != nullptr) {
      auto ws = plan->NewWorkspace();
      do {
        plan->MeanRMSError(*ws);
        ++repeats;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      } while (elapsed < 0.05 && repeats < 1000);
    } else {
      TErrorRMSObj error(sets[0]->NumOutputs());
      std::streambuf* err = std::cerr.rdbuf(nullptr);
      do {
        error.Reset();
        for (Data* data : sets)
          inputs_.network->GetError(data, &error);
        ++repeats;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      } while (elapsed < 0.05 && repeats < 1000);
      std::cerr.rdbuf(err);
    }
    return elapsed / repeats;
  }

  static std::string Megabytes(double bytes) {
    const double mb = bytes / 1e6;
    if (mb < 1.0) return "1 MB or less";
    return quill::ShortestText(std::round(mb)) + " MB";
  }

  static std::string Seconds(double s) {
    char text[32];
    if (s < 1e-3) {
      std::snprintf(text, sizeof text, "%.2g ms", s * 1e3);
    } else if (s < 60.0) {
      std::snprintf(text, sizeof text, "%.3g s", s);
    } else if (s < 7200.0) {
      std::snprintf(text, sizeof text, "%.3g min", s / 60.0);
    } else {
      std::snprintf(text, sizeof text, "%.3g h", s / 3600.0);
    }
    return text;
  }

  const std::string& path_;
  const std::string& text_;
  Lines lines_;
  CheckOptions options_;
  static constexpr int kMaxSkipped = 50;
  int skipped_groups_ = 0;
  QuillParameters params_;
  std::vector<ReadEvent> events_;
  RunPreparation run_;
  RunInputs& inputs_ = run_.inputs;
  std::vector<double> weights_;
  CheckReport report_;
};

}  // namespace

int CheckReport::Status() const {
  int status = 0;
  for (const CheckFinding& f : findings) {
    if (f.level == Level::kError) return 1;
    if (f.level == Level::kWarning) status = 3;
  }
  return status;
}

void CheckReport::Print(std::ostream& out, const std::string& file) const {
  int warnings = 0;
  for (const CheckFinding& f : findings) {
    out << file;
    if (f.line > 0) out << ':' << f.line;
    out << (f.level == Level::kError     ? ": error: "
            : f.level == Level::kWarning ? ": warning: "
                                         : ": note: ")
        << f.text << '\n';
    if (f.level == Level::kWarning) ++warnings;
  }
  switch (Status()) {
    case 0:
      out << file << ": nothing found; the run would start as written\n";
      break;
    case 1:
      out << file << ": the run would stop with the error above; nothing was run or written\n";
      break;
    default:
      out << file << ": " << warnings << (warnings == 1 ? " warning" : " warnings")
          << "; the run would start, but not as written\n";
      break;
  }
}

std::string NearestKey(const std::string& word) {
  // No key is longer than 20 characters: a longer word is no slip of one.
  if (word.size() > 24) return {};
  const std::string upper = Upper(word);
  std::string best;
  std::size_t best_distance = 0;
  for (const ParameterKey& key : ParameterKeys()) {
    const std::string name = Upper(key.name);
    const std::size_t allowed = std::max<std::size_t>(1, name.size() / 4);
    // The start of a key ("Population") or the key without its '#'.
    const bool start = upper.size() >= 4 && name.rfind(upper, 0) == 0;
    const bool unmarked = name[0] == '#' && upper == name.substr(1);
    // Texts whose lengths differ by more than the edits allowed are never
    // near: only the others are compared in full.
    const std::size_t apart =
        upper.size() > name.size() ? upper.size() - name.size() : name.size() - upper.size();
    std::size_t d = apart <= allowed ? Distance(upper, name, allowed) : allowed + 1;
    if (start || unmarked) d = std::min<std::size_t>(d, 1);
    if (d <= allowed && (best.empty() || d < best_distance)) {
      best = key.name;
      best_distance = d;
    }
  }
  return best;
}

CheckReport CheckParameterFile(const std::string& path, const std::string& text,
                               const CheckOptions& options) {
  return Checker(path, text, options).Run();
}

int QuillCheck(const std::string& path) {
  // A parameter file is a few lines: anything beyond this is not one (and a
  // stream that never ends, /dev/zero say, is not read for ever).
  constexpr std::size_t kMaxBytes = 1 << 24;
  CheckReport report;
  std::error_code ec;
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    const std::string folder = std::filesystem::current_path(ec).string();
    report.findings.push_back(
        {Level::kError, 0,
         "Unable to open file" + path + " (looked for " + Quote(path) + " in " + folder + ")"});
  } else {
    std::string text;
    char buffer[65536];
    while (text.size() <= kMaxBytes && file.read(buffer, sizeof buffer))
      text.append(buffer, sizeof buffer);
    if (!file.bad()) text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (file.bad() || std::filesystem::is_directory(path, ec)) {
      report.findings.push_back({Level::kError, 0, "Unable to read parameter file"});
    } else if (text.size() > kMaxBytes) {
      report.findings.push_back(
          {Level::kError, 0, "the file is larger than 16 MB: it is not a parameter file"});
    } else {
      report = CheckParameterFile(path, text);
    }
  }
  report.Print(std::cout, path);
  std::cout.flush();
  return report.Status();
}
