// One member of a population: a chromosome with a fitness, an identifier and
// the identifiers of its two parents.
//
// The individual owns its chromosome, which is never null. Its central
// operation is Mate, which produces one offspring by one-point, multi-point
// or uniform crossover; mutation is applied afterwards by the population.
// An individual is also a node of its population's indexed list; only the
// owning Population links and unlinks it.
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/Chromosome.h"

template <class Node>
class IndexedList;
class MetaChrom;
class Population;

class Individual {
 public:
  // Identifier, parents and fitness 0; a chromosome of `length` genes after
  // `definition` (may be null).
  Individual(std::int32_t length, MetaChrom* definition);
  Individual(const Individual&) = delete;
  Individual& operator=(const Individual&) = delete;
  ~Individual();

  // IDV_NEGATIVE_FITNESS (fitness kept) unless fitness >= 0; NaN is refused.
  int SetFitness(float fitness);
  float Fitness() const { return MbrFltFitness; }

  std::int32_t Identifier() const { return MbrIntIdentifier; }
  void SetIdentifier(std::int32_t identifier) { MbrIntIdentifier = identifier; }
  std::int32_t ParentOne() const { return MbrIntParentOne; }
  std::int32_t ParentTwo() const { return MbrIntParentTwo; }
  void SetParents(std::int32_t one, std::int32_t two) {
    MbrIntParentOne = one;
    MbrIntParentTwo = two;
  }

  Chromosome& TheChromosome() { return *MbrPtrChmTheChromosome; }

  // A new offspring of this individual (parent one) and `mate` (parent two),
  // which must have a chromosome of the same length. `points` selects the
  // crossover: 1 one-point; below 0 or at least length - 1 uniform; otherwise
  // multi-point with that many cuts. The parents are unchanged. Draws: one for
  // the order of the parents, then one (one-point), one per gene (uniform) or
  // one per cut (multi-point); a cut over more than 32768 positions takes two
  // or more (see RandBelow).
  std::unique_ptr<Individual> Mate(Individual* mate, int points);

  // A new individual with a copy of the chromosome and the same identifier,
  // parents and fitness.
  std::unique_ptr<Individual> Clone();

 private:
  friend class IndexedList<Individual>;

  static constexpr const char* kListCurrentText = "PtrIdvCurrent != 0";
  static constexpr const char* kListNextText = "PtrIdvNext != 0";
  static constexpr const char* kListPreviousText = "PtrIdvPrevious != 0";
  static constexpr const char* kListHeadText = "MbrPtrIdvPopHead != 0";

  std::unique_ptr<Individual>& ListNext() { return MbrPtrIdvNext; }
  Individual*& ListPrevious() { return MbrPtrIdvPrevious; }

  // Appends to `child` the genes of the multi-point crossover of A and B.
  static void MultiPoint(Chromosome& child, Chromosome& a, Chromosome& b, int points,
                         std::int32_t length);

  std::int32_t MbrIntIdentifier = 0;
  std::int32_t MbrIntParentOne = 0;
  std::int32_t MbrIntParentTwo = 0;
  float MbrFltFitness = 0.0f;
  std::unique_ptr<Chromosome> MbrPtrChmTheChromosome;
  std::unique_ptr<Individual> MbrPtrIdvNext;  // owns the rest of the population
  Individual* MbrPtrIdvPrevious = nullptr;
};
