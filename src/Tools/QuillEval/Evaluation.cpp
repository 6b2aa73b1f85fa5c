#include "Tools/QuillEval/Evaluation.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "DataObject/Data.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TMLPNetwork.h"
#include "Tools/Common/TextTable.h"
#include "Tools/Common/ToolSupport.h"
#include "Tools/QuillData/CsvReader.h"

namespace quill::tools {

namespace {

int Neurons(const TMLPNetwork& network, int layer) {
  return network.GetLayer(layer)->numNeurons;
}

// The position of the single 1 among zeros, or -1.
int OneHotClass(const std::vector<double>& target) {
  int found = -1;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == 1.0 && found < 0) {
      found = static_cast<int>(i);
    } else if (target[i] != 0.0) {
      return -1;
    }
  }
  return found;
}

int LargestAt(const std::vector<double>& outputs) {
  return static_cast<int>(std::max_element(outputs.begin(), outputs.end()) - outputs.begin());
}

// A share with three decimals, or "-" when there is nothing to share.
std::string Share(long part, long whole) {
  if (whole <= 0) return "-";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f",
                static_cast<double>(part) / static_cast<double>(whole));
  return buffer;
}

std::string Percent(long part, long whole) {
  return whole > 0
             ? FormatNumber(100.0 * static_cast<double>(part) / static_cast<double>(whole), 4) + "%"
             : "-";
}

// Drops what all the non-empty names share at their start and end, cut at a
// '-', '_' or '.', so that iris-setosa-test and iris-virginica-test become
// setosa and virginica.
void TrimCommonParts(std::vector<std::string>& names) {
  std::vector<std::string*> named;
  for (std::string& n : names) {
    if (!n.empty()) named.push_back(&n);
  }
  if (named.size() < 2) return;
  auto is_cut = [](char c) { return c == '-' || c == '_' || c == '.'; };
  std::size_t shortest = named[0]->size();
  for (const std::string* n : named)
    shortest = std::min(shortest, n->size());
  std::size_t head = 0;  // length of the shared start, ending in a cut
  for (std::size_t i = 0; i < shortest; ++i) {
    const char c = (*named[0])[i];
    if (!std::all_of(named.begin(), named.end(),
                     [&](const std::string* n) { return (*n)[i] == c; }))
      break;
    if (is_cut(c)) head = i + 1;
  }
  std::size_t tail = 0;  // length of the shared end, starting with a cut
  for (std::size_t i = 0; i + head < shortest; ++i) {
    const char c = (*named[0])[named[0]->size() - 1 - i];
    if (!std::all_of(named.begin(), named.end(),
                     [&](const std::string* n) { return (*n)[n->size() - 1 - i] == c; }))
      break;
    if (is_cut(c)) tail = i + 1;
  }
  for (const std::string* n : named) {
    if (n->size() <= head + tail) return;  // a name would vanish
  }
  for (std::string* n : named)
    *n = n->substr(head, n->size() - head - tail);
}

}  // namespace

std::vector<int> ParseFeatures(const std::string& text) {
  std::vector<int> features;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    if (word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos) {
      throw UsageError("features are input column indexes counting from 0, such as 2,3: '" + text +
                       "'");
    }
    features.push_back(std::stoi(word));
    word.clear();
  };
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      flush();
    } else {
      word += c;
    }
  }
  flush();
  return features;
}

void PrepareDataSet(const TMLPNetwork& network, const std::string& name, Data& data,
                    bool use_features, const std::vector<int>& features) {
  if (data.NumDataRows() < 1) throw ToolError(name + ": no rows");
  int inputs = data.NumInputs();
  if (use_features) {
    const int count = static_cast<int>(features.size());
    if (!data.AreValidInputFeatures(count, features.data())) {
      throw ToolError(name + ": a feature lies outside its " + std::to_string(inputs) +
                      " input columns (they count from 0)");
    }
    data.SetInputFeatures(count, features.data());
    inputs = count;
  }
  const int want_in = Neurons(network, network.inLayer);
  const int want_out = Neurons(network, network.outLayer);
  if (inputs != want_in || data.NumOutputs() != want_out) {
    throw ToolError(name + ": " + std::to_string(inputs) + " inputs and " +
                    std::to_string(data.NumOutputs()) +
                    " expected outputs do not fit a network of " + std::to_string(want_in) +
                    " inputs and " + std::to_string(want_out) + " outputs");
  }
}

Evaluation Evaluate(TMLPNetwork& network, const std::vector<EvalInput>& inputs,
                    std::ostream* outputs) {
  Evaluation e;
  const int n_in = Neurons(network, network.inLayer);
  const int n_out = Neurons(network, network.outLayer);

  // The error exactly as Quill measures an individual: one RMS object fed
  // with every data set in turn, the mean of the values after each.
  TErrorRMSObj running(n_out);
  double sum = 0.0;
  for (const EvalInput& in : inputs)
    sum += network.GetError(in.data, &running);
  e.quill_error = sum / static_cast<double>(inputs.size());
  e.rms = running.GetError();

  // Row by row: each set's own RMS, the classes, and the outputs file.
  std::vector<double> x(static_cast<std::size_t>(n_in)), t(static_cast<std::size_t>(n_out)),
      y(static_cast<std::size_t>(n_out));
  std::vector<std::vector<int>> target_class(inputs.size()), answer(inputs.size());
  e.one_hot = true;
  for (std::size_t s = 0; s < inputs.size(); ++s) {
    Data& data = *inputs[s].data;
    TErrorRMSObj own(n_out);
    e.sets.push_back({inputs[s].name, data.NumDataRows(), network.GetError(&data, &own), 0});
    e.rows += data.NumDataRows();
    data.Rewind();
    for (int r = 0; r < data.NumDataRows(); ++r) {
      data.GetNextRow(x.data(), t.data(), nullptr);
      network.Recall(x.data(), y.data());
      target_class[s].push_back(OneHotClass(t));
      answer[s].push_back(LargestAt(y));
      if (target_class[s].back() < 0) e.one_hot = false;
    }
  }

  if (e.one_hot) {
    // A data set whose rows are all of one class, different for every data
    // set, names that class after its file.
    std::vector<std::string> names(static_cast<std::size_t>(n_out));
    std::set<int> named;
    bool by_file = true;
    for (std::size_t s = 0; s < inputs.size() && by_file; ++s) {
      const int c = target_class[s].front();
      by_file = std::all_of(target_class[s].begin(), target_class[s].end(),
                            [c](int k) { return k == c; }) &&
                named.insert(c).second;
      if (by_file) {
        names[static_cast<std::size_t>(c)] = std::filesystem::path(inputs[s].name).stem().string();
      }
    }
    if (by_file) TrimCommonParts(names);
    const std::vector<std::string> given =
        inputs.empty() ? std::vector<std::string>() : inputs.front().output_names;
    const bool named_in_files = !given.empty() && given.size() == names.size() &&
                                std::all_of(inputs.begin(), inputs.end(), [&](const EvalInput& in) {
                                  return in.output_names == given;
                                });
    if (named_in_files) {
      names = given;
      by_file = true;
    }
    for (int c = 0; c < n_out; ++c) {
      std::string& name = names[static_cast<std::size_t>(c)];
      if (!by_file || name.empty()) name = "class " + std::to_string(c + 1);
    }
    e.class_names = names;
    e.confusion.assign(static_cast<std::size_t>(n_out),
                       std::vector<long>(static_cast<std::size_t>(n_out), 0));
    for (std::size_t s = 0; s < inputs.size(); ++s) {
      for (std::size_t r = 0; r < target_class[s].size(); ++r) {
        const int want = target_class[s][r];
        const int got = answer[s][r];
        ++e.confusion[static_cast<std::size_t>(want)][static_cast<std::size_t>(got)];
        if (want == got) ++e.sets[s].correct;
      }
      e.correct += e.sets[s].correct;
    }
  }

  if (outputs != nullptr) {
    std::ostream& out = *outputs;
    out << "data_set,row";
    // The columns the network was given, named by their place in the file.
    int count = 0;
    std::vector<int> selected;
    if (!inputs.empty() && inputs[0].data->HasInputFeatures()) {
      inputs[0].data->GetInputFeatures(&count, &selected);
    } else {
      for (int i = 0; i < n_in; ++i)
        selected.push_back(i);
    }
    for (int i : selected)
      out << ",input" << i + 1;
    for (int i = 0; i < n_out; ++i)
      out << ",target" << i + 1;
    for (int i = 0; i < n_out; ++i)
      out << ",output" << i + 1;
    if (e.one_hot) out << ",target_class,output_class";
    out << '\n';
    for (std::size_t s = 0; s < inputs.size(); ++s) {
      Data& data = *inputs[s].data;
      data.Rewind();
      for (int r = 0; r < data.NumDataRows(); ++r) {
        data.GetNextRow(x.data(), t.data(), nullptr);
        network.Recall(x.data(), y.data());
        out << CsvField(inputs[s].name) << ',' << r + 1;
        for (double v : x)
          out << ',' << ShortestNumber(v);
        for (double v : t)
          out << ',' << ShortestNumber(v);
        for (double v : y)
          out << ',' << ShortestNumber(v);
        if (e.one_hot) {
          out << ','
              << CsvField(e.class_names[static_cast<std::size_t>(
                     target_class[s][static_cast<std::size_t>(r)])])
              << ','
              << CsvField(e.class_names[static_cast<std::size_t>(
                     answer[s][static_cast<std::size_t>(r)])]);
        }
        out << '\n';
      }
    }
  }
  return e;
}

void WriteEvaluation(std::ostream& out, const Evaluation& e) {
  std::vector<std::string> headings = {"data set", ">rows", ">RMS error"};
  if (e.one_hot) {
    headings.push_back(">correct");
    headings.push_back(">accuracy");
  }
  TextTable table(headings);
  auto row = [&](const std::string& name, int rows, double rms, long correct) {
    std::vector<std::string> cells = {name, std::to_string(rows), FormatNumber(rms)};
    if (e.one_hot) {
      cells.push_back(std::to_string(correct) + "/" + std::to_string(rows));
      cells.push_back(Percent(correct, rows));
    }
    table.AddRow(cells);
  };
  for (const SetResult& s : e.sets)
    row(s.name, s.rows, s.rms, s.correct);
  if (e.sets.size() > 1) row("all", e.rows, e.rms, e.correct);
  table.Write(out);
  out << "\nerror as Quill reports it: " << FormatNumber(e.quill_error) << '\n';
  if (!e.one_hot) return;

  out << "\nconfusion matrix (rows: target class; columns: class of the largest output)\n";
  std::vector<std::string> heads = {""};
  for (const std::string& name : e.class_names)
    heads.push_back(">" + name);
  TextTable confusion(heads);
  for (std::size_t c = 0; c < e.confusion.size(); ++c) {
    std::vector<std::string> cells = {e.class_names[c]};
    for (long n : e.confusion[c])
      cells.push_back(std::to_string(n));
    confusion.AddRow(cells);
  }
  confusion.Write(out);

  // Precision: the share of the rows answered as a class that are of it;
  // recall: the share of a class's rows answered as it; F1 their harmonic
  // mean.
  out << "\nprecision, recall and F1 of each class\n";
  TextTable scores({"class", ">rows", ">precision", ">recall", ">F1"});
  for (std::size_t c = 0; c < e.confusion.size(); ++c) {
    long rows = 0, answered = 0;
    for (std::size_t k = 0; k < e.confusion.size(); ++k) {
      rows += e.confusion[c][k];
      answered += e.confusion[k][c];
    }
    const long right = e.confusion[c][c];
    std::string f1 = "-";
    if (rows > 0 && answered > 0) {
      // 2PR / (P + R) = 2 * right / (rows + answered), exact in integers.
      f1 = Share(2 * right, rows + answered);
    }
    scores.AddRow(
        {e.class_names[c], std::to_string(rows), Share(right, answered), Share(right, rows), f1});
  }
  scores.Write(out);
}

}  // namespace quill::tools
