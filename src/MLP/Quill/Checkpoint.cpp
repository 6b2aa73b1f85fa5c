#include "MLP/Quill/Checkpoint.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>
#include <set>
#include <system_error>

#include "FileHandler/FileTools.h"
#include "MLP/Quill/ParameterFile.h"
#include "common/Fingerprint.h"
#include "common/NumberText.h"
#include "common/StrCase.h"

namespace {

std::string SelectionName(std::int32_t selection) {
  return selection == QuillParameters::kSelectTournament ? "Tournament" : "Roulette";
}

// --- Writing -------------------------------------------------------------

class Writer {
 public:
  explicit Writer(std::ostream& out) : out_(out) {}

  void Assign(const char* key, const std::string& value) { ft_.WriteStringTag(key, value, out_); }
  void Block(const char* name) { ft_.WriteBlockStart(name, out_); }
  void End(const char* name) { ft_.WriteEndTag(name, out_); }

  // Genes as plain tokens, ten a line, inside [Genes] ... [~Genes].
  void Genes(const std::vector<GeneCell>& values) {
    Block("Genes");
    char buffer[8192];
    char* at = buffer;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (at > buffer + sizeof buffer - 64) {
        out_.write(buffer, at - buffer);
        at = buffer;
      }
      at = std::to_chars(at, buffer + sizeof buffer, values[i].AsReal()).ptr;
      *at++ = (i % 10 == 9 || i + 1 == values.size()) ? '\n' : ' ';
    }
    out_.write(buffer, at - buffer);
    End("Genes");
  }

 private:
  std::ostream& out_;
  FileTools ft_;
};

// --- Reading -------------------------------------------------------------

class Reader {
 public:
  explicit Reader(std::istream& in) : in_(in) {}

  [[noreturn]] void Fail(const std::string& what) { throw CheckpointError(what); }

  void Next(const char* block) {
    try {
      ft_.ReadTag(tag_, block, in_, false);
    } catch (const FileTools::Error& e) {
      Fail(e.message);
    }
  }

  // [key = value]: the value.
  std::string Assigned(const char* block, const char* key) {
    Next(block);
    if (tag_.type != TAG_ASSIGN || tag_.open || quill::strcasecmp(tag_.name.c_str(), key) != 0)
      Fail(std::string("[") + key + " = ...] expected");
    return tag_.value;
  }

  void BlockStart(const char* block, const char* name) {
    Next(block);
    if (tag_.type != TAG_BLOCK || tag_.open || quill::strcasecmp(tag_.name.c_str(), name) != 0)
      Fail(std::string("[") + name + "] expected");
  }

  void EndTag(const char* block) {
    Next(block);
    if (tag_.type != TAG_END) Fail(std::string("[~") + block + "] expected");
  }

  template <class T>
  T Number(const std::string& text, const char* what) {
    T value{};
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    if (r.ec != std::errc() || r.ptr != end) Fail(std::string("Bad number for ") + what);
    if constexpr (std::is_floating_point_v<T>) {
      if (!std::isfinite(value)) Fail(std::string("Bad number for ") + what);
    }
    return value;
  }

  template <class T>
  T Value(const char* block, const char* key) {
    return Number<T>(Assigned(block, key), key);
  }

  // A fingerprint: 16 hexadecimal digits.
  std::uint64_t Fingerprint(const std::string& text, const char* what) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value, 16);
    if (r.ec != std::errc() || r.ptr != end || text.size() != 16)
      Fail(std::string("Bad fingerprint for ") + what);
    return value;
  }

  // The tokens of a [Genes] block up to its end tag, as real genes.
  std::vector<GeneCell> Genes(const char* block) {
    BlockStart(block, "Genes");
    std::vector<GeneCell> values;
    for (;;) {
      Next("Genes");
      if (tag_.type == TAG_END) return values;
      if (tag_.type != TAG_TOKEN) Fail("Gene value expected");
      values.push_back(GeneCell::FromReal(Number<float>(tag_.name, "a gene")));
    }
  }

  FileTag& Tag() { return tag_; }

 private:
  std::istream& in_;
  FileTools ft_;
  FileTag tag_;
};

}  // namespace

RunSettings RunSettings::Of(const QuillParameters& p) {
  RunSettings s;
  s.PopulationSize = p.PopulationSize;
  s.EliteIndividuals = p.EliteIndividuals;
  s.MutationRate = p.MutationRate;
  s.CrossoverPoints = p.CrossoverPoints;
  s.Selection = p.Selection;
  s.Normalisation = p.Normalisation;
  s.MaxWeight = p.MaxWeight;
  s.MinWeight = p.MinWeight;
  s.FeaturesGiven = p.FeaturesGiven;
  s.Features = p.Features;
  return s;
}

void WriteCheckpoint(std::ostream& out, const RunCheckpoint& c) {
  FileTools ft;
  Writer w(out);
  ft.WriteFormatVersion(out);
  out << "/* A saved training run: Resume = this file continues it. */\n";
  w.Block("Checkpoint");
  w.Assign("Format", quill::ShortestText(RunCheckpoint::kFormat));
  w.Assign("Generation", quill::ShortestText(c.generation));
  w.Assign("RandomState", quill::ShortestText(c.random_state));
  w.Assign("Seed", quill::ShortestText(c.seed));
  w.Assign("SeedFrom", c.seed_given ? "file" : "clock");
  w.Assign("ElapsedSeconds", quill::ShortestText(c.elapsed_seconds));
  w.Assign("Evaluations", quill::ShortestText(c.evaluations));
  w.Assign("RunLogBytes", quill::ShortestText(c.log_bytes));
  w.Assign("LowestError", quill::ShortestText(c.lowest_error));
  w.Assign("LowestErrorFitness", quill::ShortestText(c.lowest_fitness));

  w.Block("Inputs");
  w.Assign("WeightFile", quill::FingerprintText(c.network_fingerprint));
  for (std::uint64_t f : c.data_fingerprints)
    w.Assign("DataFile", quill::FingerprintText(f));
  w.End("Inputs");

  const RunSettings& s = c.settings;
  w.Block("Settings");
  w.Assign("PopulationSize", quill::ShortestText(s.PopulationSize));
  w.Assign("EliteIndividuals", quill::ShortestText(s.EliteIndividuals));
  w.Assign("MutationRate", quill::ShortestText(s.MutationRate));
  w.Assign("CrossoverPoints", quill::ShortestText(s.CrossoverPoints));
  w.Assign("Selection", SelectionName(s.Selection));
  w.Assign("Normalisation", s.Normalisation != 0 ? "on" : "off");
  w.Assign("MaxWeight", quill::ShortestText(s.MaxWeight));
  w.Assign("MinWeight", quill::ShortestText(s.MinWeight));
  w.Assign("#Features",
           s.FeaturesGiven ? quill::ShortestText(s.Features.size()) : std::string("none"));
  w.Block("Features");
  for (std::int32_t f : s.Features)
    out << f << ' ';
  out << '\n';
  w.End("Features");
  w.End("Settings");

  w.Block("Best");
  w.Assign("Error", quill::ShortestText(c.best_error));
  w.Assign("Fitness", quill::ShortestText(c.best.fitness));
  w.Genes(c.best.values);
  w.End("Best");

  w.Block("Population");
  w.Assign("Individuals", quill::ShortestText(c.individuals.size()));
  w.Assign("Genes", quill::ShortestText(c.gene_count));
  for (const IndividualRecord& r : c.individuals) {
    w.Block("Individual");
    w.Assign("Identifier", quill::ShortestText(r.identifier));
    w.Assign("ParentOne", quill::ShortestText(r.parent_one));
    w.Assign("ParentTwo", quill::ShortestText(r.parent_two));
    w.Assign("Fitness", quill::ShortestText(r.fitness));
    w.Genes(r.values);
    w.End("Individual");
  }
  w.End("Population");
  w.End("Checkpoint");
}

RunCheckpoint ReadCheckpoint(std::istream& in) {
  Reader r(in);
  RunCheckpoint c;
  r.BlockStart(nullptr, "Checkpoint");
  const char* block = "Checkpoint";
  const int format = r.Value<int>(block, "Format");
  if (format != RunCheckpoint::kFormat)
    r.Fail("Unknown checkpoint format " + quill::ShortestText(format));
  c.generation = r.Value<std::int32_t>(block, "Generation");
  c.random_state = r.Value<std::uint32_t>(block, "RandomState");
  c.seed = r.Value<std::uint32_t>(block, "Seed");
  const std::string from = r.Assigned(block, "SeedFrom");
  if (quill::strcasecmp(from.c_str(), "file") != 0 && quill::strcasecmp(from.c_str(), "clock") != 0)
    r.Fail("Bad seed origin");
  c.seed_given = quill::strcasecmp(from.c_str(), "file") == 0;
  c.elapsed_seconds = r.Value<double>(block, "ElapsedSeconds");
  c.evaluations = r.Value<std::int64_t>(block, "Evaluations");
  c.log_bytes = r.Value<std::int64_t>(block, "RunLogBytes");
  c.lowest_error = r.Value<double>(block, "LowestError");
  c.lowest_fitness = r.Value<float>(block, "LowestErrorFitness");
  if (c.generation < 1) r.Fail("Bad generation");
  if (c.elapsed_seconds < 0.0 || c.evaluations < 0 || c.log_bytes < 0) r.Fail("Bad run totals");

  r.BlockStart(block, "Inputs");
  c.network_fingerprint = r.Fingerprint(r.Assigned("Inputs", "WeightFile"), "WeightFile");
  for (;;) {
    r.Next("Inputs");
    FileTag& tag = r.Tag();
    if (tag.type == TAG_END) break;
    if (tag.type != TAG_ASSIGN || tag.open || quill::strcasecmp(tag.name.c_str(), "DataFile") != 0)
      r.Fail("[DataFile = ...] expected");
    c.data_fingerprints.push_back(r.Fingerprint(tag.value, "DataFile"));
  }
  if (c.data_fingerprints.empty()) r.Fail("No data file fingerprint");

  RunSettings& s = c.settings;
  r.BlockStart(block, "Settings");
  const char* settings = "Settings";
  s.PopulationSize = r.Value<std::int32_t>(settings, "PopulationSize");
  s.EliteIndividuals = r.Value<std::int32_t>(settings, "EliteIndividuals");
  s.MutationRate = r.Value<float>(settings, "MutationRate");
  s.CrossoverPoints = r.Value<std::int32_t>(settings, "CrossoverPoints");
  const std::string selection = r.Assigned(settings, "Selection");
  if (quill::strcasecmp(selection.c_str(), "Roulette") == 0) {
    s.Selection = QuillParameters::kSelectRoulette;
  } else if (quill::strcasecmp(selection.c_str(), "Tournament") == 0) {
    s.Selection = QuillParameters::kSelectTournament;
  } else {
    r.Fail("Bad selection");
  }
  const std::string normalisation = r.Assigned(settings, "Normalisation");
  if (quill::strcasecmp(normalisation.c_str(), "on") == 0) {
    s.Normalisation = 1;
  } else if (quill::strcasecmp(normalisation.c_str(), "off") == 0) {
    s.Normalisation = 0;
  } else {
    r.Fail("Bad normalisation");
  }
  s.MaxWeight = r.Value<float>(settings, "MaxWeight");
  s.MinWeight = r.Value<float>(settings, "MinWeight");
  const std::string features = r.Assigned(settings, "#Features");
  std::int64_t feature_count = 0;
  s.FeaturesGiven = quill::strcasecmp(features.c_str(), "none") != 0;
  if (s.FeaturesGiven) feature_count = r.Number<std::int64_t>(features, "#Features");
  r.BlockStart(settings, "Features");
  for (;;) {
    r.Next("Features");
    if (r.Tag().type == TAG_END) break;
    if (r.Tag().type != TAG_TOKEN) r.Fail("Feature expected");
    s.Features.push_back(r.Number<std::int32_t>(r.Tag().name, "a feature"));
  }
  if (static_cast<std::int64_t>(s.Features.size()) != feature_count)
    r.Fail("Feature count does not match");
  r.EndTag(settings);

  r.BlockStart(block, "Best");
  c.best_error = r.Value<double>("Best", "Error");
  c.best.fitness = r.Value<float>("Best", "Fitness");
  c.best.values = r.Genes("Best");
  r.EndTag("Best");

  r.BlockStart(block, "Population");
  const std::int64_t individuals = r.Value<std::int64_t>("Population", "Individuals");
  c.gene_count = r.Value<std::int32_t>("Population", "Genes");
  if (c.gene_count < 0) r.Fail("Bad gene count");
  if (!c.best.values.empty() && c.best.values.size() != static_cast<std::size_t>(c.gene_count))
    r.Fail("Best record of another length");
  std::set<std::int32_t> identifiers;
  for (;;) {
    r.Next("Population");
    FileTag& tag = r.Tag();
    if (tag.type == TAG_END) break;
    if (tag.type != TAG_BLOCK || tag.open || quill::strcasecmp(tag.name.c_str(), "Individual") != 0)
      r.Fail("[Individual] expected");
    IndividualRecord record;
    record.identifier = r.Value<std::int32_t>("Individual", "Identifier");
    record.parent_one = r.Value<std::int32_t>("Individual", "ParentOne");
    record.parent_two = r.Value<std::int32_t>("Individual", "ParentTwo");
    record.fitness = r.Value<float>("Individual", "Fitness");
    if (!(record.fitness >= 0.0f)) r.Fail("Negative fitness");
    if (!identifiers.insert(record.identifier).second) r.Fail("Repeated identifier");
    record.values = r.Genes("Individual");
    if (record.values.size() != static_cast<std::size_t>(c.gene_count))
      r.Fail("Individual of another length");
    r.EndTag("Individual");
    c.individuals.push_back(std::move(record));
  }
  if (static_cast<std::int64_t>(c.individuals.size()) != individuals ||
      individuals != c.settings.PopulationSize)
    r.Fail("Individual count does not match");
  r.EndTag(block);
  r.Next(nullptr);  // only the end of input may follow
  if (r.Tag().type != TAG_END) r.Fail("Text after the checkpoint");
  return c;
}

std::optional<std::string> CompareCheckpoint(const RunCheckpoint& c, const QuillParameters& params,
                                             std::uint64_t network_fingerprint,
                                             const std::vector<std::uint64_t>& data_fingerprints) {
  const std::string prefix = "Checkpoint does not match this run: ";
  const RunSettings now = RunSettings::Of(params);
  const RunSettings& then = c.settings;
  auto differs = [&](const char* key, const std::string& saved, const std::string& given) {
    return prefix + key + " is " + saved + " in the checkpoint and " + given + " here";
  };
  if (then.PopulationSize != now.PopulationSize)
    return differs("PopulationSize", quill::ShortestText(then.PopulationSize),
                   quill::ShortestText(now.PopulationSize));
  if (then.EliteIndividuals != now.EliteIndividuals)
    return differs("EliteIndividuals", quill::ShortestText(then.EliteIndividuals),
                   quill::ShortestText(now.EliteIndividuals));
  if (std::bit_cast<std::uint32_t>(then.MutationRate) !=
      std::bit_cast<std::uint32_t>(now.MutationRate))
    return differs("MutationRate", quill::ShortestText(then.MutationRate),
                   quill::ShortestText(now.MutationRate));
  if (then.CrossoverPoints != now.CrossoverPoints)
    return differs("CrossoverPoints", quill::ShortestText(then.CrossoverPoints),
                   quill::ShortestText(now.CrossoverPoints));
  if (then.Selection != now.Selection)
    return differs("Selection", SelectionName(then.Selection), SelectionName(now.Selection));
  if (then.Normalisation != now.Normalisation)
    return differs("Normalisation", then.Normalisation != 0 ? "on" : "off",
                   now.Normalisation != 0 ? "on" : "off");
  if (std::bit_cast<std::uint32_t>(then.MaxWeight) != std::bit_cast<std::uint32_t>(now.MaxWeight))
    return differs("MaxWeight", quill::ShortestText(then.MaxWeight),
                   quill::ShortestText(now.MaxWeight));
  if (std::bit_cast<std::uint32_t>(then.MinWeight) != std::bit_cast<std::uint32_t>(now.MinWeight))
    return differs("MinWeight", quill::ShortestText(then.MinWeight),
                   quill::ShortestText(now.MinWeight));
  if (then.FeaturesGiven != now.FeaturesGiven || then.Features != now.Features) {
    auto list = [](const RunSettings& s) {
      if (!s.FeaturesGiven) return std::string("none");
      std::string text;
      for (std::int32_t f : s.Features)
        text += (text.empty() ? "" : " ") + quill::ShortestText(f);
      return text.empty() ? std::string("an empty list") : text;
    };
    return differs("Features", list(then), list(now));
  }
  if (c.data_fingerprints.size() != data_fingerprints.size())
    return differs("#DataClasses", quill::ShortestText(c.data_fingerprints.size()),
                   quill::ShortestText(data_fingerprints.size()));
  if (c.network_fingerprint != network_fingerprint)
    return prefix + "the weight file " + params.WeightFile + " is not the one it was saved with";
  for (std::size_t k = 0; k < data_fingerprints.size(); ++k) {
    if (c.data_fingerprints[k] != data_fingerprints[k])
      return prefix + "the data file " + params.DataFiles[k] + " is not the one it was saved with";
  }
  if (c.generation >= params.Generations) {
    return prefix + "it was saved after generation " + quill::ShortestText(c.generation) +
           ", and Generations is " + quill::ShortestText(params.Generations);
  }
  return std::nullopt;
}
