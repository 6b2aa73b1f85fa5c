#include "Bramble/DeathCap.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Bramble/Codes.h"
#include "common/Assert.h"
#include "common/Clock.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/DeathCap";
}

DeathCap::DeathCap(Eval* evaluator, Reporter* reporter)
    : MbrPtrEvlEvaluator(evaluator), MbrPtrRptReporter(reporter) {}

DeathCap::~DeathCap() = default;

void DeathCap::CreatePopulation(const GeneSpecList& genome, std::int32_t size) {
  MbrNdxPopSize = size;
  std::unique_ptr<MetaChrom> PtrMchGenome = DefinitionFromSpecs(genome);
  QUILL_ASSERT(PtrMchGenome != 0);
  MbrPtrPopCurrent =
      std::make_unique<Population>(0, size, PtrMchGenome->Length(), PtrMchGenome.get());
  QUILL_ASSERT(MbrPtrPopCurrent != 0);
}

void DeathCap::Randomize() {
  Randomize(static_cast<std::uint32_t>(quill::CurrentTimeSeconds()));
}

void DeathCap::Randomize(std::uint32_t seed) {
  QUILL_ASSERT(MbrPtrPopCurrent != 0);
  quill::SeedRand(seed);
  int IntReturn = MbrPtrPopCurrent->Randomize();
  QUILL_ASSERT(IntReturn == SUCCESS);
}

void DeathCap::AddSeeds(const PopulationImage& image) {
  QUILL_ASSERT(MbrPtrPopCurrent != 0);
  GeneSpecList genome = SpecsFromDefinition(MbrPtrPopCurrent->Definition());
  std::unique_ptr<Population> PtrPopWorking = BuildPopulation(image, genome);
  QUILL_ASSERT(PtrPopWorking != 0);
  int IntReturn = MbrPtrPopCurrent->MoveFrom(PtrPopWorking.get());
  QUILL_ASSERT(IntReturn == SUCCESS);
  MbrNdxPopSize = MbrPtrPopCurrent->Size();
}

void DeathCap::Run(const Settings& settings) {
  QUILL_ASSERT(MbrPtrPopCurrent != 0);
  // Breeding starts from a copy numbered generation 1, so that children take
  // identifiers above those of the individuals they may be bred with.
  MbrPtrPopWorking = MbrPtrPopCurrent->Clone();
  QUILL_ASSERT(MbrPtrPopWorking != 0);
  Loop(1, false, settings);
}

void DeathCap::Resume(const PopulationImage& working, const GeneSpecList& genome,
                      std::int32_t generation, const Settings& settings) {
  QUILL_ASSERT(generation >= 1 && generation < settings.generations);
  MbrPtrPopWorking = BuildPopulation(working, genome);
  QUILL_ASSERT(MbrPtrPopWorking != 0);
  MbrPtrPopWorking->SetGeneration(generation);
  MbrNdxPopSize = MbrPtrPopWorking->Size();
  // The statistics the evaluated generation had: they depend on the fitness
  // values alone.
  MbrPtrPopWorking->ComputeStatistics();
  Loop(generation, true, settings);
}

void DeathCap::Loop(std::int32_t k, bool evaluated, const Settings& settings) {
  const std::int32_t generations = settings.generations;
  const float stopping_fitness = settings.stopping_fitness;
  // At most the whole population can be carried over: a larger elite count
  // (the parameter file does not bound it) keeps every individual instead of
  // asking AddElites for more than the source holds.
  const std::int32_t elite = std::min(settings.elite, MbrNdxPopSize);
  MbrBlnStopped = false;
  float best = 0.0f;
  if (evaluated) {
    std::int32_t position = 0;
    best = MbrPtrPopWorking->GetBestFitness(position);
    if (best < stopping_fitness) Breed(settings, elite);
    ++k;
  }
  while (k < generations && best < stopping_fitness) {
    GenerationStep();
    std::int32_t position = 0;
    best = MbrPtrPopWorking->GetBestFitness(position);
    if (MbrFnAfterGeneration && MbrFnAfterGeneration(k, false)) {
      MbrBlnStopped = true;
      return;
    }
    if (best < stopping_fitness) Breed(settings, elite);
    ++k;
  }
  // The last generation is evaluated and reported without breeding; when the
  // stopping fitness was reached one generation before the last, this step
  // evaluates and reports that same, unbred population again.
  if (k == generations) {
    GenerationStep();
    if (MbrFnAfterGeneration) MbrFnAfterGeneration(k, true);
  }
}

void DeathCap::Breed(const Settings& settings, std::int32_t elite) {
  // Reports and the stopping test saw the raw fitness; only selection and
  // elitism see normalised values.
  if (settings.normalise != 0) {
    int IntReturn = MbrPtrPopWorking->Normalise(NORMALISE_LINEAR);
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  std::unique_ptr<Population> next =
      MbrPtrPopWorking->Breed(MbrNdxPopSize - elite, settings.crossover_points, settings.selection);
  QUILL_ASSERT(next != 0);
  int IntReturn = next->Mutate(settings.mutation_rate);
  QUILL_ASSERT(IntReturn == SUCCESS);
  if (elite > 0) {
    IntReturn = next->AddElites(elite, MbrPtrPopWorking.get());
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  MbrPtrPopWorking = std::move(next);
}

void DeathCap::GenerationStep() {
  PopulationImage image = MakeImage(MbrPtrPopWorking.get());
  EvaluatePopulation(image);
  MbrPtrPopWorking->ComputeStatistics();
  Report(MbrPtrPopWorking.get(), image);
  FreeImage(image);
}

void DeathCap::EvaluatePopulation(PopulationImage& image) {
  Population* PtrPopCurrent = MbrPtrPopWorking.get();
  QUILL_ASSERT(PtrPopCurrent != 0);
  QUILL_ASSERT(MbrPtrEvlEvaluator != 0);
  std::vector<float> results =
      MbrPtrEvlEvaluator->Evaluate(image.gene_count, image.individual_count, image.records);
  const std::int32_t NdxPopSize = PtrPopCurrent->Size();
  const std::size_t NdxResults = results.size();
  QUILL_ASSERT(NdxResults >= static_cast<std::size_t>(NdxPopSize));
  for (std::int32_t i = 1; i <= NdxPopSize; ++i) {
    const float fitness = results[static_cast<std::size_t>(i - 1)];
    int IntReturn = PtrPopCurrent->SetFitness(i, fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    image.records[static_cast<std::size_t>(i - 1)].fitness = fitness;
  }
}

void DeathCap::Report(Population* population, const PopulationImage& image) {
  QUILL_ASSERT(MbrPtrRptReporter != 0);
  Reporter& reporter = *MbrPtrRptReporter;
  const bool statistics = reporter.MbrBlnReportStatistics;
  const bool genome = reporter.MbrBlnReportGenome;
  const bool whole = reporter.MbrBlnReportPopulation;
  const std::int32_t best = reporter.MbrNdxReportBest;
  if (genome) {
    MetaChrom* PtrMchGenome = population->Definition();
    QUILL_ASSERT(PtrMchGenome != 0);
    reporter.MbrGenome = SpecsFromDefinition(PtrMchGenome);
  }
  // A copy: the step's own image is released when the step ends.
  if (whole) reporter.SetIndividuals(image);
  // The best individuals of the generation just evaluated; they replace the
  // whole population when both are asked for.
  if (best > 0) reporter.SetIndividuals(BestImageOf(population, best));
  if (statistics) reporter.MbrStatistics = Statistics(population);
  reporter.Report();
}

void DeathCap::Promote() {
  MbrPtrPopCurrent = std::move(MbrPtrPopWorking);
}

PopulationImage DeathCap::BestImage(std::int32_t count) {
  return BestImageOf(MbrPtrPopCurrent.get(), count);
}

PopulationImage DeathCap::BestImageOf(Population* population, std::int32_t count) {
  QUILL_ASSERT(population != 0);
  std::unique_ptr<Population> PtrPopBest;
  if (count == 1) {
    std::int32_t position = 0;
    population->GetBestFitness(position);
    PtrPopBest = population->CopyRange(position, position);
  } else {
    population->Sort();
    const std::int32_t size = population->Size();
    PtrPopBest = population->CopyRange(size - count + 1, size);
  }
  QUILL_ASSERT(PtrPopBest != 0);
  return MakeImage(PtrPopBest.get());
}

void DeathCap::FreeImage(PopulationImage& image) {
  for (IndividualRecord& record : image.records)
    record.values = {};
  image.records = {};
  image.individual_count = 0;
}

PopulationImage DeathCap::MakeImage(Population* population) {
  Population* PtrPopCurrent = population;
  QUILL_ASSERT(PtrPopCurrent != 0);
  MetaChrom* PtrMchGenome = PtrPopCurrent->Definition();
  QUILL_ASSERT(PtrMchGenome != 0);
  PopulationImage image;
  image.gene_count = PtrMchGenome->Length();
  image.individual_count = PtrPopCurrent->Size();
  // The definition gives the reading of every position; look it up once,
  // with the positions whose cell is not the plain value cell (a binary
  // gene's byte, or nothing for an undefined type) and the last position
  // read.
  std::vector<int> types(static_cast<std::size_t>(image.gene_count), GENE_UNDEFINED);
  std::vector<std::int32_t> special;
  std::int32_t last_read = 0;
  for (std::int32_t j = 1; j <= image.gene_count; ++j) {
    int& type = types[static_cast<std::size_t>(j - 1)];
    int IntReturn = PtrMchGenome->GetGeneType(j, type);
    QUILL_ASSERT(IntReturn == SUCCESS);
    if (type != GENE_INTEGER && type != GENE_REAL) special.push_back(j);
    if (type == GENE_INTEGER || type == GENE_REAL || type == GENE_BINARY) last_read = j;
  }
  image.records.resize(static_cast<std::size_t>(image.individual_count));
  for (std::int32_t i = 1; i <= image.individual_count; ++i) {
    IndividualRecord& record = image.records[static_cast<std::size_t>(i - 1)];
    int IntReturn = PtrPopCurrent->GetIdentifier(i, record.identifier);
    QUILL_ASSERT(IntReturn == SUCCESS);
    IntReturn = PtrPopCurrent->GetParents(i, record.parent_one, record.parent_two);
    QUILL_ASSERT(IntReturn == SUCCESS);
    IntReturn = PtrPopCurrent->GetFitness(i, record.fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    Individual* PtrIdvCurrent = PtrPopCurrent->Locate(i);
    QUILL_ASSERT(PtrIdvCurrent != 0);
    Chromosome& chrom = PtrIdvCurrent->TheChromosome();
    // A chromosome built after an equal definition (a seed) takes the
    // population's table over, which also lets it breed with the others
    // without rules of its own.
    if (special.empty() && chrom.AdoptRulesOf(*PtrMchGenome) && chrom.AllValuesSet()) {
      // Every gene has the definition's type and a value: the cells are the
      // values, in order. Reading them one by one would have left the cursor
      // on the last position read.
      record.values.assign(chrom.Values(), chrom.Values() + image.gene_count);
      if (last_read > 0) chrom.Locate(last_read);
      continue;
    }
    record.values.resize(static_cast<std::size_t>(image.gene_count));
    for (std::int32_t j = 1; j <= image.gene_count; ++j) {
      GeneCell& cell = record.values[static_cast<std::size_t>(j - 1)];
      switch (types[static_cast<std::size_t>(j - 1)]) {
        case GENE_INTEGER: {
          std::int32_t value = 0;
          IntReturn = chrom.GetIntValue(j, value);
          QUILL_ASSERT(IntReturn == SUCCESS);
          cell.SetInt(value);
          break;
        }
        case GENE_REAL: {
          float value = 0.0f;
          IntReturn = chrom.GetRealValue(j, value);
          QUILL_ASSERT(IntReturn == SUCCESS);
          cell.SetReal(value);
          break;
        }
        case GENE_BINARY: {
          char value = 0;
          IntReturn = chrom.GetBinaryValue(j, value);
          QUILL_ASSERT(IntReturn == SUCCESS);
          cell.SetBinary(value);
          break;
        }
        default:
          break;  // no reading: the cell stays unset
      }
    }
  }
  return image;
}

std::unique_ptr<Population> DeathCap::BuildPopulation(const PopulationImage& image,
                                                      const GeneSpecList& genome) {
  std::unique_ptr<MetaChrom> PtrMchGenome = DefinitionFromSpecs(genome);
  QUILL_ASSERT(PtrMchGenome != 0);
  auto PtrPopNew =
      std::make_unique<Population>(0, image.individual_count, image.gene_count, PtrMchGenome.get());
  QUILL_ASSERT(PtrPopNew != 0);
  const std::size_t NdxRecords = image.records.size();
  QUILL_ASSERT(NdxRecords >= static_cast<std::size_t>(image.individual_count));
  for (std::int32_t i = 1; i <= image.individual_count; ++i) {
    const IndividualRecord& record = image.records[static_cast<std::size_t>(i - 1)];
    int IntReturn = PtrPopNew->SetIdentifier(i, record.identifier);
    QUILL_ASSERT(IntReturn == SUCCESS);
    IntReturn = PtrPopNew->SetParents(i, record.parent_one, record.parent_two);
    QUILL_ASSERT(IntReturn == SUCCESS);
    IntReturn = PtrPopNew->SetFitness(i, record.fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    const std::size_t NdxValues = record.values.size();
    QUILL_ASSERT(NdxValues >= static_cast<std::size_t>(image.gene_count));
    Individual* PtrIdvCurrent = PtrPopNew->Locate(i);
    QUILL_ASSERT(PtrIdvCurrent != 0);
    Chromosome& chrom = PtrIdvCurrent->TheChromosome();
    for (std::int32_t j = 1; j <= image.gene_count; ++j) {
      const GeneCell cell = record.values[static_cast<std::size_t>(j - 1)];
      switch (genome.entries[static_cast<std::size_t>(j - 1)].type) {
        case GENE_INTEGER:
          IntReturn = chrom.SetIntValue(j, cell.AsInt());
          QUILL_ASSERT(IntReturn == SUCCESS);
          break;
        case GENE_REAL:
          IntReturn = chrom.SetRealValue(j, cell.AsReal());
          QUILL_ASSERT(IntReturn == SUCCESS);
          break;
        case GENE_BINARY:
          IntReturn = chrom.SetBinaryValue(j, cell.AsBinary());
          QUILL_ASSERT(IntReturn == SUCCESS);
          break;
        default:
          break;
      }
    }
  }
  return PtrPopNew;
}

GeneSpecList DeathCap::SpecsFromDefinition(MetaChrom* definition) {
  MetaChrom* PtrMchGenome = definition;
  QUILL_ASSERT(PtrMchGenome != 0);
  GeneSpecList list;
  list.count = PtrMchGenome->Length();
  list.entries.resize(static_cast<std::size_t>(list.count));
  for (std::int32_t j = 1; j <= list.count; ++j) {
    GeneSpec& entry = list.entries[static_cast<std::size_t>(j - 1)];
    int IntReturn = PtrMchGenome->GetGeneType(j, entry.type);
    QUILL_ASSERT(IntReturn == SUCCESS);
    switch (entry.type) {
      case GENE_INTEGER: {
        std::int32_t maximum = 0, minimum = 0;
        IntReturn = PtrMchGenome->GetIntRange(j, maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        entry.maximum.SetInt(maximum);
        entry.minimum.SetInt(minimum);
        break;
      }
      case GENE_REAL: {
        float maximum = 0.0f, minimum = 0.0f;
        IntReturn = PtrMchGenome->GetRealRange(j, maximum, minimum);
        QUILL_ASSERT(IntReturn == SUCCESS);
        entry.maximum.SetReal(maximum);
        entry.minimum.SetReal(minimum);
        break;
      }
      case GENE_BINARY: {
        float probability = 0.0f;
        IntReturn = PtrMchGenome->GetProbability(j, probability);
        QUILL_ASSERT(IntReturn == SUCCESS);
        entry.maximum.SetReal(probability);
        break;
      }
      default:
        break;
    }
  }
  return list;
}

std::unique_ptr<MetaChrom> DeathCap::DefinitionFromSpecs(const GeneSpecList& genome) {
  const std::int32_t count = genome.count > 0 ? genome.count : 0;
  const std::size_t NdxSpecs = genome.entries.size();
  QUILL_ASSERT(NdxSpecs >= static_cast<std::size_t>(count));
  auto PtrMchCurrent = std::make_unique<MetaChrom>(count);
  QUILL_ASSERT(PtrMchCurrent != 0);
  for (std::int32_t j = 1; j <= count; ++j) {
    const GeneSpec& entry = genome.entries[static_cast<std::size_t>(j - 1)];
    int IntReturn = PtrMchCurrent->SetGeneType(j, entry.type);
    QUILL_ASSERT(IntReturn == SUCCESS);
    switch (entry.type) {
      case GENE_INTEGER:
        IntReturn = PtrMchCurrent->SetIntRange(j, entry.maximum.AsInt(), entry.minimum.AsInt());
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      case GENE_REAL:
        IntReturn = PtrMchCurrent->SetRealRange(j, entry.maximum.AsReal(), entry.minimum.AsReal());
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      case GENE_BINARY:
        IntReturn = PtrMchCurrent->SetProbability(j, entry.maximum.AsReal());
        QUILL_ASSERT(IntReturn == SUCCESS);
        break;
      default:
        break;
    }
  }
  return PtrMchCurrent;
}

PopulationStatistics DeathCap::Statistics(Population* population) {
  QUILL_ASSERT(population != 0);
  PopulationStatistics statistics;
  statistics.generation = population->Generation();
  std::int32_t best = 0;
  std::int32_t worst = 0;
  statistics.best_fitness = population->GetBestFitness(best);
  statistics.worst_fitness = population->GetWorstFitness(worst);
  statistics.mean_fitness = population->GetMeanFitness();
  statistics.best_position = best - 1;
  statistics.worst_position = worst - 1;
  return statistics;
}
