// The individuals of one generation, all built after the same chromosome
// definition, of which the population keeps its own copy.
//
// Provides what the generational engine needs: random initialisation, cached
// fitness statistics, linear normalisation, roulette and tournament
// selection, breeding, mutation, elitism, sorting by fitness, copying, and
// access by 1-based position to every individual and every gene.
//
// Ownership: the population owns its individuals, its definition copy and its
// roulette wheel (whose slots only observe individuals). Populations and
// individuals returned by the clone, copy, cut, select, breed, mate and
// detach operations belong to the caller.
//
// Status results: POP_BAD_INDEX for a position outside 1..size,
// POP_NULL_POINTER for a null argument (an individual argument is then left
// with the caller), POP_BAD_METHOD for an unknown normalisation; inner codes
// pass through. Operations returning a pointer return null for a bad position.
//
// The statistics cache is filled by ComputeStatistics (or by a getter when it
// was never filled) and is not invalidated by later changes; callers compute
// it again after setting new fitness values.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bramble/IndexedList.h"
#include "Bramble/Individual.h"
#include "Bramble/MetaChrom.h"

class Population {
 public:
  // `size` individuals of chromosome length `length` after a copy of
  // `definition` (may be null); individual i gets the identifier
  // generation * size + i. Size <= 0 gives an empty population.
  Population(std::int32_t generation, std::int32_t size, std::int32_t length,
             MetaChrom* definition);
  Population(const Population&) = delete;
  Population& operator=(const Population&) = delete;
  ~Population();

  std::int32_t Size() const { return MbrNdxPopSize; }
  std::int32_t Generation() const { return MbrIntGeneration; }
  // Renumbers the population's generation (a population restored from a
  // saved run continues the numbering it had).
  void SetGeneration(std::int32_t generation) { MbrIntGeneration = generation; }
  // The population's own definition copy (may be null).
  MetaChrom* Definition() { return MbrPtrMchChromDefinition.get(); }

  // The individual at `position`, or null outside 1..size; moves the cursor.
  Individual* Locate(std::int32_t position);

  int InsertIndividual(std::unique_ptr<Individual>&& individual, std::int32_t position);
  int ReplaceIndividual(std::unique_ptr<Individual>&& individual, std::int32_t position);
  int DeleteIndividual(std::int32_t position);
  std::unique_ptr<Individual> DetachIndividual(std::int32_t position);
  int AppendIndividual(std::unique_ptr<Individual>&& individual);

  // A copy holding clones of all individuals in order; its generation is 1.
  std::unique_ptr<Population> Clone();
  int AppendCopies(Population* other);
  // Moves every individual of `other`, in order, to the end of this one.
  int MoveFrom(Population* other);
  // Clones (or moves out) positions first..last into a new population of
  // generation 0; null if first or last exceeds the size, empty when last <
  // first.
  std::unique_ptr<Population> CopyRange(std::int32_t first, std::int32_t last);
  std::unique_ptr<Population> CutRange(std::int32_t first, std::int32_t last);

  // Randomizes every individual in order, stopping at the first failure.
  int Randomize();
  // Mutates every individual with `rate`; a rate <= 0 returns at once
  // without drawing.
  int Mutate(float rate);

  // Best, worst, total and mean fitness with the positions of the best and
  // the worst (ties keep the lowest position).
  void ComputeStatistics();
  float GetBestFitness(std::int32_t& position);
  float GetWorstFitness(std::int32_t& position);
  float GetMeanFitness();
  float GetTotalFitness();

  // Rescales every fitness to (f - worst) / (best - worst) from the cached
  // statistics (0.5 each when best equals worst).
  int Normalise(int method);

  // Fills the roulette wheel: size * 10 slots shared in proportion to
  // fitness. Built once, on the first pick.
  void BuildWheel();
  // One roulette pick: one draw, two on a wheel of more than 32768 slots
  // (see RandBelow).
  Individual* RoulettePick();
  // The fitter of two roulette picks, the second on a tie.
  Individual* Tournament();
  // `count` clones of individuals picked by `method` (empty for an unknown
  // method), as a population of generation 0.
  std::unique_ptr<Population> Select(std::int32_t count, int method);
  // The next generation: `count` offspring of pairs picked by `method`,
  // mated with `points` crossover points. Child i gets the identifier
  // i + generation * size of this population.
  std::unique_ptr<Population> Breed(std::int32_t count, int points, int method);
  // Moves the `count` fittest individuals of `source` (1..its size) to the
  // end of this population.
  int AddElites(std::int32_t count, Population* source);
  // Replaces this population's lowest-fitness individuals by those of
  // `other` (which ends empty and must not be larger).
  int ReplaceWorst(Population* other);
  // Orders the individuals by ascending fitness; equal fitness ends reversed.
  // REQUIRES: identifiers unique.
  void Sort();

  int SetFitness(std::int32_t position, float fitness);
  int GetFitness(std::int32_t position, float& fitness);
  int SetIdentifier(std::int32_t position, std::int32_t identifier);
  int GetIdentifier(std::int32_t position, std::int32_t& identifier);
  int SetParents(std::int32_t position, std::int32_t one, std::int32_t two);
  int GetParents(std::int32_t position, std::int32_t& one, std::int32_t& two);
  int RandomizeIndividual(std::int32_t position);
  // Chromosome::Mutate on one individual (no skipping of rates <= 0).
  int MutateIndividual(std::int32_t position, float rate);
  std::unique_ptr<Individual> MateIndividuals(std::int32_t first, std::int32_t second, int points);
  std::unique_ptr<Individual> CloneIndividual(std::int32_t position);
  std::unique_ptr<Gene> CloneGene(std::int32_t position, std::int32_t gene);
  int ReplaceGene(std::int32_t position, std::int32_t gene, std::unique_ptr<Gene>&& replacement);

  int SetIntRange(std::int32_t position, std::int32_t gene, std::int32_t maximum,
                  std::int32_t minimum);
  int SetRealRange(std::int32_t position, std::int32_t gene, float maximum, float minimum);
  int SetProbability(std::int32_t position, std::int32_t gene, float probability);
  int GetIntRange(std::int32_t position, std::int32_t gene, std::int32_t& maximum,
                  std::int32_t& minimum);
  int GetRealRange(std::int32_t position, std::int32_t gene, float& maximum, float& minimum);
  int GetProbability(std::int32_t position, std::int32_t gene, float& probability);
  int GetIntValue(std::int32_t position, std::int32_t gene, std::int32_t& value);
  int GetRealValue(std::int32_t position, std::int32_t gene, float& value);
  int GetBinaryValue(std::int32_t position, std::int32_t gene, char& value);
  int SetIntValue(std::int32_t position, std::int32_t gene, std::int32_t value);
  int SetRealValue(std::int32_t position, std::int32_t gene, float value);
  int SetBinaryValue(std::int32_t position, std::int32_t gene, char value);

  // Test hooks: the number of filled wheel slots and the cursor position.
  std::int32_t WheelSlots() const { return MbrNdxMaxWheelIndex; }
  std::int32_t CursorPosition() const { return MbrNdxLastUsed; }

 private:
  IndexedList<Individual> List() {
    return {MbrNdxPopSize, MbrPtrIdvPopHead, MbrPtrIdvPopTail, MbrPtrIdvLastUsed, MbrNdxLastUsed};
  }
  bool Valid(std::int32_t position) const { return position >= 1 && position <= MbrNdxPopSize; }
  // Locates a checked position (asserting the individual exists).
  Individual* Current(std::int32_t position);
  // An empty population of `generation` with its own copy of the definition.
  std::unique_ptr<Population> EmptyLike(std::int32_t generation);
  // Unlinks an individual; drops a wheel that would otherwise keep observing it.
  std::unique_ptr<Individual> Unlink(std::int32_t position);
  // A pick by `method` for Select and Breed; null for an unknown method.
  Individual* Pick(int method);

  std::int32_t MbrNdxPopSize = 0;
  std::int32_t MbrIntGeneration = 0;
  std::vector<Individual*> MbrDyaIdvWheel;
  std::int32_t MbrNdxMaxWheelIndex = 0;
  float MbrFltBestFitness = 0.0f;
  float MbrFltWorstFitness = 0.0f;
  float MbrFltMeanFitness = 0.0f;
  float MbrFltTotalFitness = 0.0f;
  std::int32_t MbrNdxBest = 0;
  std::int32_t MbrNdxWorst = 0;
  bool MbrBlnStatsValid = false;
  std::unique_ptr<Individual> MbrPtrIdvPopHead;
  Individual* MbrPtrIdvPopTail = nullptr;
  Individual* MbrPtrIdvLastUsed = nullptr;
  std::int32_t MbrNdxLastUsed = 0;
  std::unique_ptr<MetaChrom> MbrPtrMchChromDefinition;
};
