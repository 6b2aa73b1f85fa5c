// The generational driver of the genetic-algorithm library.
//
// DeathCap owns a current and a working population. Each generation it hands
// the working population to the evaluator as a plain image, writes the
// fitness values back, computes the statistics, reports through the reporter
// and breeds the next generation by optional linear normalisation, selection,
// crossover, mutation and elitism. The evaluator and the reporter belong to
// the caller and must outlive the engine.
//
// Use: CreatePopulation, Randomize, optionally AddSeeds, Run, Promote, then
// BestImage. Every library status inside is asserted to be SUCCESS: a failure
// there is a program fault, not an input error. Exceptions thrown by the
// evaluator pass through unchanged.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "Bramble/Eval.h"
#include "Bramble/MetaChrom.h"
#include "Bramble/Population.h"

class DeathCap {
 public:
  // How a run breeds and when it ends.
  struct Settings {
    // Generations to evaluate, counting the first.
    std::int32_t generations = 0;
    // The run ends after a generation whose best fitness reaches this.
    float stopping_fitness = 0.0f;
    // The fittest individuals carried over unmutated (at most the whole
    // population).
    std::int32_t elite = 0;
    // Cut points of each crossover; below 0, or at least the chromosome's
    // length - 1, a uniform crossover.
    int crossover_points = 1;
    // Probability of mutating each gene of a child.
    float mutation_rate = 0.0f;
    // SELECT_ROULETTE or SELECT_TOURNAMENT.
    int selection = 0;
    // Non-zero: fitness is rescaled linearly before selection (reports
    // always see raw values).
    int normalise = 0;
  };

  // An engine without populations. Neither argument is owned.
  DeathCap(Eval* evaluator, Reporter* reporter);
  DeathCap(const DeathCap&) = delete;
  DeathCap& operator=(const DeathCap&) = delete;
  ~DeathCap();

  // The current population becomes `size` individuals (generation 0) after
  // the gene definitions (GeneSpecList), without values.
  void CreatePopulation(const GeneSpecList& genome, std::int32_t size);
  // Seeds the generator from the clock, then gives every gene of the current
  // population a random value.
  void Randomize();
  // The same with the generator seeded with `seed`.
  void Randomize(std::uint32_t seed);
  // Appends the image's individuals to the current population; the size of
  // a generation becomes the new population size. The image stays the
  // caller's.
  void AddSeeds(const PopulationImage& image);
  // Evaluates and breeds up to `settings.generations` generations, stopping
  // after a generation whose best fitness reaches the stopping fitness.
  void Run(const Settings& settings);
  // Continues a run from its working population as it was right after
  // generation `generation` was evaluated and reported (`working` holds its
  // individuals with their fitness values, `genome` their gene definitions),
  // with the generator in the state it had then: the generations that follow
  // are those Run would have produced. REQUIRES: 1 <= generation <
  // settings.generations.
  void Resume(const PopulationImage& working, const GeneSpecList& genome, std::int32_t generation,
              const Settings& settings);

  // Called after every evaluated and reported generation with its number and
  // whether it is the run's last; returning true ends the run there, before
  // anything is bred (Stopped then tells so). The working population is then
  // the generation just evaluated.
  using GenerationHook = std::function<bool(std::int32_t generation, bool last)>;
  void SetGenerationHook(GenerationHook hook) { MbrFnAfterGeneration = std::move(hook); }
  // The last Run or Resume was ended by the generation hook.
  bool Stopped() const { return MbrBlnStopped; }
  // The last evaluated population becomes the current one.
  void Promote();
  // The `count` fittest individuals of the current population: the first
  // best one for a count of 1, otherwise the last `count` after sorting it
  // by fitness (ascending). Sorting reorders the population itself, so a
  // reporter asking for more than one best individual changes the order
  // that the next selection sees.
  PopulationImage BestImage(std::int32_t count);
  // Releases the records of `image`.
  static void FreeImage(PopulationImage& image);

  // Conversions between populations, definitions and plain records.
  static PopulationImage MakeImage(Population* population);
  static std::unique_ptr<Population> BuildPopulation(const PopulationImage& image,
                                                     const GeneSpecList& genome);
  static GeneSpecList SpecsFromDefinition(MetaChrom* definition);
  static std::unique_ptr<MetaChrom> DefinitionFromSpecs(const GeneSpecList& genome);
  static PopulationStatistics Statistics(Population* population);

  std::int32_t PopSize() const { return MbrNdxPopSize; }
  Population* Current() { return MbrPtrPopCurrent.get(); }
  Population* Working() { return MbrPtrPopWorking.get(); }

 private:
  // The generation loop of Run from generation `k`; when `evaluated`, the
  // working population of generation k has been evaluated already and the
  // loop goes on with its breeding.
  void Loop(std::int32_t k, bool evaluated, const Settings& settings);
  // Breeds the next working population from the evaluated one, carrying
  // `elite` individuals over.
  void Breed(const Settings& settings, std::int32_t elite);
  // Evaluates, computes statistics and reports the working population.
  void GenerationStep();
  // Writes the evaluator's fitness values into the working population and
  // into `image`.
  void EvaluatePopulation(PopulationImage& image);
  // Fills the reporter's members as its flags ask, then calls Report.
  void Report(Population* population, const PopulationImage& image);
  static PopulationImage BestImageOf(Population* population, std::int32_t count);

  std::int32_t MbrNdxPopSize = 0;
  std::unique_ptr<Population> MbrPtrPopCurrent;
  std::unique_ptr<Population> MbrPtrPopWorking;
  Eval* MbrPtrEvlEvaluator;
  Reporter* MbrPtrRptReporter;
  GenerationHook MbrFnAfterGeneration;
  bool MbrBlnStopped = false;
};
