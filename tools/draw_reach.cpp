// draw_reach: how much of a large run the random steps can reach.
//
//   draw_reach [POPULATION [GENERATIONS [GENES [MATINGS]]]]
//
// Parents: runs the generational engine as a training run drives it
// (POPULATION - 1 random individuals and a seed individual last, elitism 1,
// one-point crossover, mutation rate 0.01, linear normalisation) for
// GENERATIONS generations (defaults 10,000 and 100) of 8 real genes in
// -10..10, with a synthetic fitness 1 / (0.05 + mean squared distance to a
// fixed target), once with roulette and once with tournament selection. It
// prints the mean share of each generation's individuals chosen as a parent
// of the next, the share of population positions chosen at least once over
// the run, and whether the seed individual was a parent in the first breeding
// (the only one it takes part in unless it is the elite).
//
// Cuts: mates two chromosomes of GENES genes (default 68,362), all 0 and all
// 1, MATINGS times (default 989,901, the matings of 100 generations of 10,000
// with one elite) with one-point crossover and prints the share of the GENES
// cut positions met, the highest cut and the share of cuts past 32768.
//
// Both parts use the library's public operations only, so the same source
// measures any version of it. The seed is fixed: every run prints the same.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Bramble/Codes.h"
#include "Bramble/DeathCap.h"
#include "Bramble/Eval.h"
#include "Bramble/Individual.h"
#include "Bramble/MetaChrom.h"
#include "common/Random.h"

namespace {

constexpr int kGenes = 8;

// Gives each individual its synthetic fitness and records, for every
// generation after the first, which individuals of the one before were
// parents of its children.
class ParentCounter : public Eval {
 public:
  explicit ParentCounter(std::int32_t size) : size_(size), ever_(size, false) {}

  std::vector<float> Evaluate(std::int32_t gene_count, std::int32_t individual_count,
                              const std::vector<IndividualRecord>& records) override {
    std::vector<float> fitness(static_cast<std::size_t>(individual_count));
    for (std::int32_t i = 0; i < individual_count; ++i) {
      double sum = 0.0;
      for (std::int32_t g = 0; g < gene_count; ++g) {
        const double d = records[i].values[g].AsReal() - 0.25 * (g + 1);
        sum += d * d;
      }
      fitness[i] = static_cast<float>(1.0 / (0.05 + sum / gene_count));
    }
    if (!previous_.empty()) {
      std::vector<bool> chosen(static_cast<std::size_t>(size_), false);
      for (const IndividualRecord& record : records) {
        for (std::int32_t parent : {record.parent_one, record.parent_two}) {
          auto found = previous_.find(parent);
          // Elites keep the parents of the generation they were bred in.
          if (found == previous_.end() || previous_.count(record.identifier) != 0) continue;
          chosen[found->second] = true;
          ever_[found->second] = true;
        }
      }
      std::int32_t count = 0;
      for (bool c : chosen)
        count += c;
      share_sum_ += static_cast<double>(count) / size_;
      ++breedings_;
      if (first_breeding_) seed_chosen_ = chosen[static_cast<std::size_t>(size_ - 1)];
      first_breeding_ = false;
    }
    previous_.clear();
    for (std::int32_t i = 0; i < individual_count; ++i)
      previous_[records[i].identifier] = static_cast<std::size_t>(i);
    return fitness;
  }

  void Print(const char* method) const {
    std::int32_t ever = 0;
    for (bool c : ever_)
      ever += c;
    std::printf(
        "%-10s mean share chosen per generation %.4f, positions ever chosen %.4f (%d), "
        "seed individual chosen %s\n",
        method, breedings_ > 0 ? share_sum_ / breedings_ : 0.0, static_cast<double>(ever) / size_,
        ever, seed_chosen_ ? "yes" : "no");
  }

 private:
  std::int32_t size_;
  std::unordered_map<std::int32_t, std::size_t> previous_;
  std::vector<bool> ever_;
  double share_sum_ = 0.0;
  int breedings_ = 0;
  bool first_breeding_ = true;
  bool seed_chosen_ = false;
};

GeneSpecList Genome() {
  GeneSpecList genome;
  genome.count = kGenes;
  for (int g = 0; g < kGenes; ++g) {
    GeneSpec entry;
    entry.type = GENE_REAL;
    entry.maximum.SetReal(10.0f);
    entry.minimum.SetReal(-10.0f);
    genome.entries.push_back(entry);
  }
  return genome;
}

void MeasureParents(std::int32_t size, std::int32_t generations, int method, const char* name) {
  ParentCounter counter(size);
  Reporter reporter(false, false, 0, false);
  DeathCap engine(&counter, &reporter);
  engine.CreatePopulation(Genome(), size - 1);
  engine.Randomize(20261208u);
  // The seed individual: every gene 0, identifier `size`.
  PopulationImage seed;
  seed.gene_count = kGenes;
  seed.individual_count = 1;
  seed.records.resize(1);
  seed.records[0].identifier = size;
  seed.records[0].values.resize(kGenes);
  for (GeneCell& cell : seed.records[0].values)
    cell.SetReal(0.0f);
  engine.AddSeeds(seed);
  engine.Run({generations, 2147483648.0f, 1, 1, 0.01f, method, 1});
  counter.Print(name);
}

void MeasureCuts(std::int32_t genes, std::int64_t matings) {
  MetaChrom definition(genes);
  for (std::int32_t i = 1; i <= genes; ++i) {
    definition.SetGeneType(i, GENE_INTEGER);
    definition.SetIntRange(i, 1, 0);
  }
  Individual a(genes, &definition);
  Individual b(genes, &definition);
  for (std::int32_t i = 1; i <= genes; ++i) {
    a.TheChromosome().SetIntValue(i, 0);
    b.TheChromosome().SetIntValue(i, 1);
  }
  std::vector<bool> met(static_cast<std::size_t>(genes) + 1, false);
  std::int32_t highest = 0;
  std::int64_t past_span = 0;
  quill::SeedRand(20261208u);
  for (std::int64_t m = 0; m < matings; ++m) {
    std::unique_ptr<Individual> child = a.Mate(&b, 1);
    Chromosome& genes_of = child->TheChromosome();
    // The child is one parent's genes up to the cut and the other's from it:
    // find the first gene that differs from gene 1 by halving.
    std::int32_t first = 0;
    genes_of.GetIntValue(1, first);
    std::int32_t low = 1;
    std::int32_t high = genes + 1;
    while (high - low > 1) {
      const std::int32_t middle = low + (high - low) / 2;
      std::int32_t value = 0;
      genes_of.GetIntValue(middle, value);
      if (value == first)
        low = middle;
      else
        high = middle;
    }
    const std::int32_t cut = high == genes + 1 ? 1 : high;
    met[static_cast<std::size_t>(cut)] = true;
    if (cut > highest) highest = cut;
    if (cut > 32768) ++past_span;
  }
  std::int64_t count = 0;
  for (std::int32_t i = 1; i <= genes; ++i)
    count += met[static_cast<std::size_t>(i)];
  std::printf(
      "cuts       %lld matings of %d genes: positions met %.4f (%lld), highest cut %d, "
      "cuts past 32768 %.4f\n",
      static_cast<long long>(matings), genes, static_cast<double>(count) / genes,
      static_cast<long long>(count), highest,
      static_cast<double>(past_span) / static_cast<double>(matings));
}

}  // namespace

int main(int argc, char** argv) {
  const auto size = static_cast<std::int32_t>(argc > 1 ? std::atol(argv[1]) : 10000);
  const auto generations = static_cast<std::int32_t>(argc > 2 ? std::atol(argv[2]) : 100);
  const auto genes = static_cast<std::int32_t>(argc > 3 ? std::atol(argv[3]) : 68362);
  const std::int64_t matings = argc > 4 ? std::atoll(argv[4]) : 989901;
  if (size < 2 || generations < 2 || genes < 2 || matings < 1) {
    std::fprintf(stderr, "usage: draw_reach [POPULATION [GENERATIONS [GENES [MATINGS]]]]\n");
    return 2;
  }
  MeasureParents(size, generations, SELECT_ROULETTE, "roulette");
  MeasureParents(size, generations, SELECT_TOURNAMENT, "tournament");
  MeasureCuts(genes, matings);
  return 0;
}
