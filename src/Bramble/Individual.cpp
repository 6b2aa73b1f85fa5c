#include "Bramble/Individual.h"

#include <vector>

#include "Bramble/Codes.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}  // namespace

Individual::Individual(std::int32_t length, MetaChrom* definition)
    : MbrPtrChmTheChromosome(std::make_unique<Chromosome>(length, definition)) {
  QUILL_ASSERT(MbrPtrChmTheChromosome != 0);
}

Individual::~Individual() {
  // Unwind any remaining chain without recursion.
  std::unique_ptr<Individual> rest = std::move(MbrPtrIdvNext);
  while (rest != nullptr)
    rest = std::move(rest->MbrPtrIdvNext);
}

int Individual::SetFitness(float fitness) {
  if (!(fitness >= 0.0f)) return IDV_NEGATIVE_FITNESS;
  MbrFltFitness = fitness;
  return SUCCESS;
}

std::unique_ptr<Individual> Individual::Clone() {
  auto PtrIdvClone = std::make_unique<Individual>(0, nullptr);
  QUILL_ASSERT(PtrIdvClone != 0);
  std::unique_ptr<Chromosome> PtrChmClone = MbrPtrChmTheChromosome->Clone();
  QUILL_ASSERT(PtrChmClone != 0);
  PtrIdvClone->MbrPtrChmTheChromosome = std::move(PtrChmClone);
  int IntReturn = PtrIdvClone->SetFitness(MbrFltFitness);
  QUILL_ASSERT(IntReturn == SUCCESS);
  PtrIdvClone->MbrIntIdentifier = MbrIntIdentifier;
  PtrIdvClone->MbrIntParentOne = MbrIntParentOne;
  PtrIdvClone->MbrIntParentTwo = MbrIntParentTwo;
  return PtrIdvClone;
}

std::unique_ptr<Individual> Individual::Mate(Individual* mate, int points) {
  Individual* PtrIdvMate = mate;
  QUILL_ASSERT(PtrIdvMate != 0);
  auto PtrIdvNew = std::make_unique<Individual>(0, nullptr);
  QUILL_ASSERT(PtrIdvNew != 0);
  PtrIdvNew->MbrIntParentOne = MbrIntIdentifier;
  PtrIdvNew->MbrIntParentTwo = PtrIdvMate->MbrIntIdentifier;

  Chromosome* PtrChmMateChrom = PtrIdvMate->MbrPtrChmTheChromosome.get();
  QUILL_ASSERT(PtrChmMateChrom != 0);
  const std::int32_t NdxChromLength = MbrPtrChmTheChromosome->Length();
  const std::int32_t NdxMateChromLength = PtrChmMateChrom->Length();
  QUILL_ASSERT(NdxMateChromLength == NdxChromLength);
  auto PtrChmNew = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmNew != 0);

  // The order of the parents is drawn first: A leads, B follows.
  Chromosome* a = MbrPtrChmTheChromosome.get();
  Chromosome* b = PtrChmMateChrom;
  if (quill::Rand() % 1001 > 500) std::swap(a, b);

  // The child's genes are copies of the parents' genes, appended in position
  // order; segments of parents built after one definition keep sharing its
  // rules.
  const std::int32_t length = NdxChromLength;
  PtrChmNew->Reserve(length);
  if (points == 1 && length >= 1) {
    // One cut t in 1..length: genes before t from A, t..length from B, so B
    // always gives at least the last gene. Past 32768 genes the cut takes two
    // draws, so that it can fall anywhere.
    const auto cut = static_cast<std::int32_t>(quill::RandBelow(length) + 1);
    if (cut > 1) PtrChmNew->AppendSegment(*a, 1, cut - 1);
    PtrChmNew->AppendSegment(*b, cut, length);
  } else if (points < 0 || points >= length - 1) {
    // Uniform (also an empty chromosome, which has no cut to draw).
    PtrChmNew->AppendUniform(*a, *b);
  } else {
    MultiPoint(*PtrChmNew, *a, *b, points, length);
  }

  const std::int32_t NdxNewLength = PtrChmNew->Length();
  QUILL_ASSERT(NdxNewLength == NdxChromLength);
  PtrIdvNew->MbrPtrChmTheChromosome = std::move(PtrChmNew);
  return PtrIdvNew;
}

void Individual::MultiPoint(Chromosome& child, Chromosome& a, Chromosome& b, int points,
                            std::int32_t length) {
  const int p = points;
  std::vector<std::int32_t> DyaNdxBounds(static_cast<std::size_t>(p) + 2);
  QUILL_ASSERT(DyaNdxBounds.size() == static_cast<std::size_t>(p) + 2);
  DyaNdxBounds[0] = 1;
  DyaNdxBounds[p + 1] = length + 1;
  for (int j = 1; j <= p; ++j)
    DyaNdxBounds[j] = static_cast<std::int32_t>(quill::RandBelow(length - p) + 1);
  // Exchange sort of elements 0..p (element p + 1 stays the end mark).
  for (int k = 0; k <= p; ++k) {
    for (int m = k + 1; m <= p; ++m) {
      if (DyaNdxBounds[k] > DyaNdxBounds[m]) std::swap(DyaNdxBounds[k], DyaNdxBounds[m]);
    }
  }
  // Spreading by j makes the cuts distinct and every segment non-empty.
  for (int j = 1; j <= p; ++j)
    DyaNdxBounds[j] += j;
  // Segments alternate B, A, B, ... starting with B.
  for (int s = 0; s <= p; ++s) {
    Chromosome& from = s % 2 == 0 ? b : a;
    child.AppendSegment(from, DyaNdxBounds[s], DyaNdxBounds[s + 1] - 1);
  }
}
