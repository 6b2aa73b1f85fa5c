#include "Bramble/MetaGene.h"

#include "Bramble/Codes.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

MetaGene::~MetaGene() {
  // Unwind any remaining chain without recursion.
  std::unique_ptr<MetaGene> rest = std::move(MbrPtrMgnNext);
  while (rest != nullptr)
    rest = std::move(rest->MbrPtrMgnNext);
}

int MetaGene::SetType(int type) {
  return gene_rules::SetType(Bounds(), type);
}

int MetaGene::SetIntRange(std::int32_t maximum, std::int32_t minimum) {
  return gene_rules::SetIntRange(Bounds(), maximum, minimum);
}

int MetaGene::SetRealRange(float maximum, float minimum) {
  return gene_rules::SetRealRange(Bounds(), maximum, minimum);
}

int MetaGene::SetProbability(float probability) {
  return gene_rules::SetProbability(Bounds(), probability);
}

int MetaGene::GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const {
  return gene_rules::GetIntRange(BoundsValue(), maximum, minimum);
}

int MetaGene::GetRealRange(float& maximum, float& minimum) const {
  return gene_rules::GetRealRange(BoundsValue(), maximum, minimum);
}

int MetaGene::GetProbability(float& probability) const {
  return gene_rules::GetProbability(BoundsValue(), probability);
}

std::unique_ptr<MetaGene> MetaGene::Clone() const {
  auto PtrMgnClone = std::make_unique<MetaGene>();
  QUILL_ASSERT(PtrMgnClone != 0);
  int IntReturn = PtrMgnClone->SetType(MbrIntGeneType);
  QUILL_ASSERT(IntReturn == SUCCESS);
  if (!MbrBlnRangeSet) return PtrMgnClone;
  switch (MbrIntGeneType) {
    case GENE_INTEGER:
      IntReturn = PtrMgnClone->SetIntRange(MbrMaximum.AsInt(), MbrMinimum.AsInt());
      QUILL_ASSERT(IntReturn == SUCCESS);
      break;
    case GENE_REAL:
      IntReturn = PtrMgnClone->SetRealRange(MbrMaximum.AsReal(), MbrMinimum.AsReal());
      QUILL_ASSERT(IntReturn == SUCCESS);
      break;
    case GENE_BINARY:
      IntReturn = PtrMgnClone->SetProbability(MbrMaximum.AsReal());
      QUILL_ASSERT(IntReturn == SUCCESS);
      break;
    default:
      break;
  }
  return PtrMgnClone;
}
