#include "Bramble/Population.h"

#include <cmath>
#include <utility>

#include "Bramble/Codes.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";

// generation * size + i in 32-bit arithmetic. Long runs of large populations
// exceed the 32-bit range; the product wraps (as 32-bit registers do) rather
// than overflowing a signed integer.
std::int32_t NumberIdentifier(std::int32_t generation, std::int32_t size, std::int32_t i) {
  const std::uint32_t wrapped =
      static_cast<std::uint32_t>(generation) * static_cast<std::uint32_t>(size) +
      static_cast<std::uint32_t>(i);
  return static_cast<std::int32_t>(wrapped);
}
}  // namespace

Population::Population(std::int32_t generation, std::int32_t size, std::int32_t length,
                       MetaChrom* definition)
    : MbrIntGeneration(generation) {
  if (definition != nullptr) {
    MbrPtrMchChromDefinition = definition->Clone();
    QUILL_ASSERT(MbrPtrMchChromDefinition != 0);
  }
  for (std::int32_t i = 1; i <= size; ++i) {
    auto individual = std::make_unique<Individual>(length, MbrPtrMchChromDefinition.get());
    individual->SetIdentifier(NumberIdentifier(generation, size, i));
    List().Append(std::move(individual));
  }
}

Population::~Population() {
  MbrDyaIdvWheel.clear();
  for (std::int32_t i = MbrNdxPopSize; i > 0; --i) {
    int IntReturn = DeleteIndividual(1);
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  MbrIntGeneration = 0;
}

Individual* Population::Locate(std::int32_t position) {
  Individual* found = List().Locate(position);
  if (found != nullptr) QUILL_ASSERT(MbrPtrIdvLastUsed != 0);
  return found;
}

Individual* Population::Current(std::int32_t position) {
  Individual* PtrIdvCurrent = Locate(position);
  QUILL_ASSERT(PtrIdvCurrent != 0);
  return PtrIdvCurrent;
}

std::unique_ptr<Population> Population::EmptyLike(std::int32_t generation) {
  MetaChrom* def = MbrPtrMchChromDefinition.get();
  return std::make_unique<Population>(generation, 0, def != nullptr ? def->Length() : 0, def);
}

std::unique_ptr<Individual> Population::Unlink(std::int32_t position) {
  // The wheel only observes members; one that leaves must not stay on it.
  if (!MbrDyaIdvWheel.empty()) {
    MbrDyaIdvWheel.clear();
    MbrNdxMaxWheelIndex = 0;
  }
  return List().Detach(position);
}

int Population::InsertIndividual(std::unique_ptr<Individual>&& individual, std::int32_t position) {
  if (!Valid(position)) return POP_BAD_INDEX;
  if (individual == nullptr) return POP_NULL_POINTER;
  List().InsertBefore(std::move(individual), position);
  return SUCCESS;
}

int Population::ReplaceIndividual(std::unique_ptr<Individual>&& individual, std::int32_t position) {
  if (!Valid(position)) return POP_BAD_INDEX;
  if (individual == nullptr) return POP_NULL_POINTER;
  int IntReturn = InsertIndividual(std::move(individual), position);
  QUILL_ASSERT(IntReturn == SUCCESS);
  IntReturn = DeleteIndividual(position + 1);
  QUILL_ASSERT(IntReturn == SUCCESS);
  return SUCCESS;
}

int Population::DeleteIndividual(std::int32_t position) {
  if (!Valid(position)) return POP_BAD_INDEX;
  Unlink(position);
  return SUCCESS;
}

std::unique_ptr<Individual> Population::DetachIndividual(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  return Unlink(position);
}

int Population::AppendIndividual(std::unique_ptr<Individual>&& individual) {
  if (individual == nullptr) return POP_NULL_POINTER;
  List().Append(std::move(individual));
  return SUCCESS;
}

std::unique_ptr<Population> Population::Clone() {
  std::unique_ptr<Population> PtrPopNew = EmptyLike(1);
  QUILL_ASSERT(PtrPopNew != 0);
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i) {
    Individual* PtrIdvCurrent = Locate(i);
    QUILL_ASSERT(PtrIdvCurrent != 0);
    std::unique_ptr<Individual> PtrIdvClone = PtrIdvCurrent->Clone();
    QUILL_ASSERT(PtrIdvClone != 0);
    int IntReturn = PtrPopNew->AppendIndividual(std::move(PtrIdvClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrPopNew;
}

int Population::AppendCopies(Population* other) {
  if (other == nullptr) return POP_NULL_POINTER;
  // The count is read once: appending a population to itself copies it once.
  const std::int32_t count = other->MbrNdxPopSize;
  for (std::int32_t i = 1; i <= count; ++i) {
    std::unique_ptr<Individual> PtrIdvClone = other->CloneIndividual(i);
    QUILL_ASSERT(PtrIdvClone != 0);
    int IntReturn = AppendIndividual(std::move(PtrIdvClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

int Population::MoveFrom(Population* other) {
  if (other == nullptr) return POP_NULL_POINTER;
  // Moving a population into itself would never end; it already holds them.
  if (other == this) return SUCCESS;
  while (other->MbrNdxPopSize > 0) {
    std::unique_ptr<Individual> PtrIdvTheIndiv = other->DetachIndividual(1);
    QUILL_ASSERT(PtrIdvTheIndiv != 0);
    int IntReturn = AppendIndividual(std::move(PtrIdvTheIndiv));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

std::unique_ptr<Population> Population::CopyRange(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxPopSize || last > MbrNdxPopSize) return nullptr;
  std::unique_ptr<Population> PtrPopNew = EmptyLike(0);
  QUILL_ASSERT(PtrPopNew != 0);
  for (std::int32_t i = first; i <= last; ++i) {
    std::unique_ptr<Individual> PtrIdvClone = CloneIndividual(i);
    QUILL_ASSERT(PtrIdvClone != 0);
    int IntReturn = PtrPopNew->AppendIndividual(std::move(PtrIdvClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrPopNew;
}

std::unique_ptr<Population> Population::CutRange(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxPopSize || last > MbrNdxPopSize) return nullptr;
  std::unique_ptr<Population> PtrPopNew = EmptyLike(0);
  QUILL_ASSERT(PtrPopNew != 0);
  for (std::int32_t i = first; i <= last; ++i) {
    std::unique_ptr<Individual> PtrIdvTheIndividual = DetachIndividual(first);
    QUILL_ASSERT(PtrIdvTheIndividual != 0);
    int IntReturn = PtrPopNew->AppendIndividual(std::move(PtrIdvTheIndividual));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrPopNew;
}

int Population::Randomize() {
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i) {
    int status = RandomizeIndividual(i);
    if (status != SUCCESS) return status;
  }
  return SUCCESS;
}

int Population::Mutate(float rate) {
  if (rate <= 0.0f) return SUCCESS;
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i) {
    int status = MutateIndividual(i, rate);
    if (status != SUCCESS) return status;
  }
  return SUCCESS;
}

void Population::ComputeStatistics() {
  float fitness = 0.0f;
  int IntReturn = GetFitness(1, fitness);
  QUILL_ASSERT(IntReturn == SUCCESS);
  float best = fitness;
  float worst = fitness;
  std::int32_t best_position = 1;
  std::int32_t worst_position = 1;
  float total = fitness;
  for (std::int32_t i = 2; i <= MbrNdxPopSize; ++i) {
    IntReturn = GetFitness(i, fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    if (fitness > best) {
      best = fitness;
      best_position = i;
    } else if (fitness < worst) {
      worst = fitness;
      worst_position = i;
    }
    // The running total is a float: rounded after every addition.
    total = total + fitness;
  }
  MbrFltBestFitness = best;
  MbrFltWorstFitness = worst;
  MbrNdxBest = best_position;
  MbrNdxWorst = worst_position;
  MbrFltTotalFitness = total;
  MbrFltMeanFitness = total / static_cast<float>(MbrNdxPopSize);
  MbrBlnStatsValid = true;
}

float Population::GetBestFitness(std::int32_t& position) {
  if (!MbrBlnStatsValid) ComputeStatistics();
  position = MbrNdxBest;
  return MbrFltBestFitness;
}

float Population::GetWorstFitness(std::int32_t& position) {
  if (!MbrBlnStatsValid) ComputeStatistics();
  position = MbrNdxWorst;
  return MbrFltWorstFitness;
}

float Population::GetMeanFitness() {
  if (!MbrBlnStatsValid) ComputeStatistics();
  return MbrFltMeanFitness;
}

float Population::GetTotalFitness() {
  if (!MbrBlnStatsValid) ComputeStatistics();
  return MbrFltTotalFitness;
}

int Population::Normalise(int method) {
  if (method != NORMALISE_LINEAR) return POP_BAD_METHOD;
  // The cached best and worst are used as they stand, not recomputed.
  const float hi = MbrFltBestFitness;
  const float lo = MbrFltWorstFitness;
  const float range = hi - lo;
  float total = 0.0f;
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i) {
    float fitness = 0.0f;
    int IntReturn = GetFitness(i, fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    const float scaled = range != 0.0f ? (fitness - lo) / range : 0.5f;
    IntReturn = SetFitness(i, scaled);
    QUILL_ASSERT(IntReturn == SUCCESS);
    total = total + scaled;
  }
  if (range != 0.0f) {
    MbrFltBestFitness = 1.0f;
    MbrFltWorstFitness = 0.0f;
  } else {
    MbrFltBestFitness = 0.5f;
    MbrFltWorstFitness = 0.5f;
  }
  MbrFltTotalFitness = total;
  MbrFltMeanFitness = total / static_cast<float>(MbrNdxPopSize);
  return SUCCESS;
}

void Population::BuildWheel() {
  const std::int32_t slots = MbrNdxPopSize * 10;
  MbrDyaIdvWheel.assign(static_cast<std::size_t>(slots > 0 ? slots : 0), nullptr);
  MbrNdxMaxWheelIndex = 0;
  const double total = GetTotalFitness();
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i) {
    Individual* PtrIdvCurrent = Locate(i);
    QUILL_ASSERT(PtrIdvCurrent != 0);
    const float fitness = PtrIdvCurrent->Fitness();
    if (!(fitness > 0.0f)) continue;
    // The share is truncated in double precision; filling stops at the last
    // slot should a stale total ever claim more than the wheel holds.
    double share = std::trunc(static_cast<double>(fitness) / total * slots);
    const double room = static_cast<double>(slots - MbrNdxMaxWheelIndex);
    if (!(share > 0.0)) continue;
    if (share > room) share = room;
    const std::int32_t n = static_cast<std::int32_t>(share);
    for (std::int32_t s = 0; s < n; ++s)
      MbrDyaIdvWheel[MbrNdxMaxWheelIndex + s] = PtrIdvCurrent;
    MbrNdxMaxWheelIndex += n;
  }
  QUILL_ASSERT(MbrNdxMaxWheelIndex > 0);
}

Individual* Population::RoulettePick() {
  if (MbrDyaIdvWheel.empty()) BuildWheel();
  // A wheel of more than 32768 slots takes two draws, so that every slot can
  // be picked.
  return MbrDyaIdvWheel[static_cast<std::size_t>(quill::RandBelow(MbrNdxMaxWheelIndex))];
}

Individual* Population::Tournament() {
  Individual* PtrIdvOne = RoulettePick();
  QUILL_ASSERT(PtrIdvOne != 0);
  Individual* PtrIdvTwo = RoulettePick();
  QUILL_ASSERT(PtrIdvTwo != 0);
  return PtrIdvOne->Fitness() > PtrIdvTwo->Fitness() ? PtrIdvOne : PtrIdvTwo;
}

Individual* Population::Pick(int method) {
  if (method == SELECT_ROULETTE) return RoulettePick();
  if (method == SELECT_TOURNAMENT) return Tournament();
  return nullptr;
}

std::unique_ptr<Population> Population::Select(std::int32_t count, int method) {
  std::unique_ptr<Population> PtrPopNew = EmptyLike(0);
  QUILL_ASSERT(PtrPopNew != 0);
  if (method != SELECT_ROULETTE && method != SELECT_TOURNAMENT) return PtrPopNew;
  for (std::int32_t i = 1; i <= count; ++i) {
    std::unique_ptr<Individual> PtrIdvClone = Pick(method)->Clone();
    QUILL_ASSERT(PtrIdvClone != 0);
    int IntReturn = PtrPopNew->AppendIndividual(std::move(PtrIdvClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrPopNew;
}

std::unique_ptr<Population> Population::Breed(std::int32_t count, int points, int method) {
  std::unique_ptr<Population> PtrPopNew = EmptyLike(MbrIntGeneration + 1);
  QUILL_ASSERT(PtrPopNew != 0);
  if (method != SELECT_ROULETTE && method != SELECT_TOURNAMENT) return PtrPopNew;
  for (std::int32_t i = 1; i <= count; ++i) {
    Individual* parent_one = Pick(method);
    Individual* parent_two = Pick(method);
    std::unique_ptr<Individual> PtrIdvNew = parent_one->Mate(parent_two, points);
    QUILL_ASSERT(PtrIdvNew != 0);
    PtrIdvNew->SetIdentifier(NumberIdentifier(MbrIntGeneration, MbrNdxPopSize, i));
    int IntReturn = PtrPopNew->AppendIndividual(std::move(PtrIdvNew));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrPopNew;
}

int Population::AddElites(std::int32_t count, Population* source) {
  if (source == nullptr) return POP_NULL_POINTER;
  if (count == 1) {
    std::int32_t best = 0;
    source->GetBestFitness(best);
    std::unique_ptr<Individual> PtrIdvElite = source->DetachIndividual(best);
    QUILL_ASSERT(PtrIdvElite != 0);
    int IntReturn = AppendIndividual(std::move(PtrIdvElite));
    QUILL_ASSERT(IntReturn == SUCCESS);
  } else {
    source->Sort();
    const std::int32_t NdxPopSize = source->MbrNdxPopSize;
    QUILL_ASSERT(NdxPopSize != 0);
    std::unique_ptr<Population> PtrPopElites = source->CutRange(NdxPopSize - count + 1, NdxPopSize);
    QUILL_ASSERT(PtrPopElites != 0);
    int IntReturn = MoveFrom(PtrPopElites.get());
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

int Population::ReplaceWorst(Population* other) {
  if (other == nullptr) return POP_NULL_POINTER;
  if (other->MbrNdxPopSize < MbrNdxPopSize) Sort();
  const std::int32_t count = other->MbrNdxPopSize;
  for (std::int32_t i = 1; i <= count; ++i) {
    std::unique_ptr<Individual> PtrIdvTheIndiv = other->DetachIndividual(1);
    QUILL_ASSERT(PtrIdvTheIndiv != 0);
    int IntReturn = ReplaceIndividual(std::move(PtrIdvTheIndiv), i);
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return SUCCESS;
}

void Population::Sort() {
  std::vector<std::int32_t> identifiers;
  identifiers.reserve(static_cast<std::size_t>(MbrNdxPopSize));
  for (std::int32_t i = 1; i <= MbrNdxPopSize; ++i)
    identifiers.push_back(Current(i)->Identifier());
  for (std::int32_t identifier : identifiers) {
    // Find the first individual carrying the identifier, scanning from 1.
    std::int32_t j = 1;
    while (j <= MbrNdxPopSize && Current(j)->Identifier() != identifier)
      ++j;
    Individual* PtrIdvCurrent = Locate(j);
    QUILL_ASSERT(PtrIdvCurrent != 0);
    float fitness = 0.0f;
    int IntReturn = GetFitness(j, fitness);
    QUILL_ASSERT(IntReturn == SUCCESS);
    // Taken out of the list directly: it stays a member, so a wheel built
    // before the sort keeps observing it.
    std::unique_ptr<Individual> moving = List().Detach(j);
    // Insert in front of the first remaining individual at least as fit.
    std::int32_t k = 1;
    while (k <= MbrNdxPopSize && Current(k)->Fitness() < fitness)
      ++k;
    if (k <= MbrNdxPopSize) {
      IntReturn = InsertIndividual(std::move(moving), k);
    } else {
      IntReturn = AppendIndividual(std::move(moving));
    }
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  MbrNdxBest = MbrNdxPopSize;
  MbrNdxWorst = 1;
}

int Population::SetFitness(std::int32_t position, float fitness) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->SetFitness(fitness);
}

int Population::GetFitness(std::int32_t position, float& fitness) {
  if (!Valid(position)) return POP_BAD_INDEX;
  fitness = Current(position)->Fitness();
  return SUCCESS;
}

int Population::SetIdentifier(std::int32_t position, std::int32_t identifier) {
  if (!Valid(position)) return POP_BAD_INDEX;
  Current(position)->SetIdentifier(identifier);
  return SUCCESS;
}

int Population::GetIdentifier(std::int32_t position, std::int32_t& identifier) {
  if (!Valid(position)) return POP_BAD_INDEX;
  identifier = Current(position)->Identifier();
  return SUCCESS;
}

int Population::SetParents(std::int32_t position, std::int32_t one, std::int32_t two) {
  if (!Valid(position)) return POP_BAD_INDEX;
  Current(position)->SetParents(one, two);
  return SUCCESS;
}

int Population::GetParents(std::int32_t position, std::int32_t& one, std::int32_t& two) {
  if (!Valid(position)) return POP_BAD_INDEX;
  Individual* individual = Current(position);
  one = individual->ParentOne();
  two = individual->ParentTwo();
  return SUCCESS;
}

int Population::RandomizeIndividual(std::int32_t position) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().Randomize();
}

int Population::MutateIndividual(std::int32_t position, float rate) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().Mutate(rate);
}

std::unique_ptr<Individual> Population::MateIndividuals(std::int32_t first, std::int32_t second,
                                                        int points) {
  if (!Valid(first) || !Valid(second)) return nullptr;
  Individual* PtrIdvParentOne = Locate(first);
  QUILL_ASSERT(PtrIdvParentOne != 0);
  Individual* PtrIdvParentTwo = Locate(second);
  QUILL_ASSERT(PtrIdvParentTwo != 0);
  std::unique_ptr<Individual> PtrIdvOffspring = PtrIdvParentOne->Mate(PtrIdvParentTwo, points);
  QUILL_ASSERT(PtrIdvOffspring != 0);
  return PtrIdvOffspring;
}

std::unique_ptr<Individual> Population::CloneIndividual(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  std::unique_ptr<Individual> PtrIdvClone = Current(position)->Clone();
  QUILL_ASSERT(PtrIdvClone != 0);
  return PtrIdvClone;
}

std::unique_ptr<Gene> Population::CloneGene(std::int32_t position, std::int32_t gene) {
  if (!Valid(position)) return nullptr;
  return Current(position)->TheChromosome().CloneGene(gene);
}

int Population::ReplaceGene(std::int32_t position, std::int32_t gene,
                            std::unique_ptr<Gene>&& replacement) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().ReplaceGene(std::move(replacement), gene);
}

int Population::SetIntRange(std::int32_t position, std::int32_t gene, std::int32_t maximum,
                            std::int32_t minimum) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetIntRange(gene, maximum, minimum);
}

int Population::SetRealRange(std::int32_t position, std::int32_t gene, float maximum,
                             float minimum) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetRealRange(gene, maximum, minimum);
}

int Population::SetProbability(std::int32_t position, std::int32_t gene, float probability) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetProbability(gene, probability);
}

int Population::GetIntRange(std::int32_t position, std::int32_t gene, std::int32_t& maximum,
                            std::int32_t& minimum) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetIntRange(gene, maximum, minimum);
}

int Population::GetRealRange(std::int32_t position, std::int32_t gene, float& maximum,
                             float& minimum) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetRealRange(gene, maximum, minimum);
}

int Population::GetProbability(std::int32_t position, std::int32_t gene, float& probability) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetProbability(gene, probability);
}

int Population::GetIntValue(std::int32_t position, std::int32_t gene, std::int32_t& value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetIntValue(gene, value);
}

int Population::GetRealValue(std::int32_t position, std::int32_t gene, float& value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetRealValue(gene, value);
}

int Population::GetBinaryValue(std::int32_t position, std::int32_t gene, char& value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().GetBinaryValue(gene, value);
}

int Population::SetIntValue(std::int32_t position, std::int32_t gene, std::int32_t value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetIntValue(gene, value);
}

int Population::SetRealValue(std::int32_t position, std::int32_t gene, float value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetRealValue(gene, value);
}

int Population::SetBinaryValue(std::int32_t position, std::int32_t gene, char value) {
  if (!Valid(position)) return POP_BAD_INDEX;
  return Current(position)->TheChromosome().SetBinaryValue(gene, value);
}
