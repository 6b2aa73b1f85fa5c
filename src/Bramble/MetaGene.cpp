#include "Bramble/MetaGene.h"

#include "Bramble/Codes.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
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
  int IntReturn = CopyInto(*PtrMgnClone);
  QUILL_ASSERT(IntReturn == SUCCESS);
  return PtrMgnClone;
}

int MetaGene::CopyInto(MetaGene& copy) const {
  int IntReturn = copy.SetType(MbrIntGeneType);
  if (IntReturn != SUCCESS || !MbrBlnRangeSet) return IntReturn;
  switch (MbrIntGeneType) {
    case GENE_INTEGER:
      return copy.SetIntRange(MbrMaximum.AsInt(), MbrMinimum.AsInt());
    case GENE_REAL:
      return copy.SetRealRange(MbrMaximum.AsReal(), MbrMinimum.AsReal());
    case GENE_BINARY:
      return copy.SetProbability(MbrMaximum.AsReal());
    default:
      return SUCCESS;
  }
}
