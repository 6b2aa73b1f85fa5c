#include "Bramble/MetaChrom.h"

#include "Bramble/Codes.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

MetaChrom::MetaChrom(std::int32_t length) {
  for (std::int32_t i = 0; i < length; ++i)
    List().Append(std::make_unique<MetaGene>());
}

MetaChrom::~MetaChrom() {
  for (std::int32_t i = MbrNdxLength; i > 0; --i) {
    int IntErrorCode = RemoveGene(1);
    QUILL_ASSERT(IntErrorCode == SUCCESS);
  }
}

MetaGene* MetaChrom::Locate(std::int32_t position) {
  return List().Locate(position);
}

int MetaChrom::RemoveGene(std::int32_t position) {
  if (position < 1 || position > MbrNdxLength) return MCH_BAD_REMOVE_INDEX;
  List().Detach(position);
  return SUCCESS;
}

int MetaChrom::AppendGene(std::unique_ptr<MetaGene>&& gene) {
  if (gene == nullptr) return MCH_NULL_GENE;
  List().Append(std::move(gene));
  return SUCCESS;
}

MetaGene* MetaChrom::Node(std::int32_t position) {
  MetaGene* PtrMgnTheNode = Locate(position);
  QUILL_ASSERT(PtrMgnTheNode != 0);
  return PtrMgnTheNode;
}

int MetaChrom::SetGeneType(std::int32_t position, int type) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->SetType(type);
}

int MetaChrom::GetGeneType(std::int32_t position, int& type) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  type = Node(position)->MbrIntGeneType;
  return SUCCESS;
}

int MetaChrom::SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->SetIntRange(maximum, minimum);
}

int MetaChrom::SetRealRange(std::int32_t position, float maximum, float minimum) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->SetRealRange(maximum, minimum);
}

int MetaChrom::SetProbability(std::int32_t position, float probability) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->SetProbability(probability);
}

int MetaChrom::GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->GetIntRange(maximum, minimum);
}

int MetaChrom::GetRealRange(std::int32_t position, float& maximum, float& minimum) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->GetRealRange(maximum, minimum);
}

int MetaChrom::GetProbability(std::int32_t position, float& probability) {
  if (position <= 0 || position > MbrNdxLength) return MCH_BAD_INDEX;
  return Node(position)->GetProbability(probability);
}

std::unique_ptr<MetaChrom> MetaChrom::Clone() {
  auto PtrMchClone = std::make_unique<MetaChrom>(0);
  QUILL_ASSERT(PtrMchClone != 0);
  for (std::int32_t i = 1; i <= MbrNdxLength; ++i) {
    MetaGene* PtrMgnTheNode = Locate(i);
    QUILL_ASSERT(PtrMgnTheNode != 0);
    std::unique_ptr<MetaGene> PtrMgnTheClone = PtrMgnTheNode->Clone();
    QUILL_ASSERT(PtrMgnTheClone != 0);
    int IntReturn = PtrMchClone->AppendGene(std::move(PtrMgnTheClone));
    QUILL_ASSERT(IntReturn == SUCCESS);
  }
  return PtrMchClone;
}
