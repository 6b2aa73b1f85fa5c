#include "Bramble/Gene.h"

#include "Bramble/Codes.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

int Gene::SetType(int type) {
  return MbrMgnRules.SetType(type);
}

int Gene::SetIntRange(std::int32_t maximum, std::int32_t minimum) {
  return MbrMgnRules.SetIntRange(maximum, minimum);
}

int Gene::SetRealRange(float maximum, float minimum) {
  return MbrMgnRules.SetRealRange(maximum, minimum);
}

int Gene::SetProbability(float probability) {
  return MbrMgnRules.SetProbability(probability);
}

int Gene::GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const {
  return MbrMgnRules.GetIntRange(maximum, minimum);
}

int Gene::GetRealRange(float& maximum, float& minimum) const {
  return MbrMgnRules.GetRealRange(maximum, minimum);
}

int Gene::GetProbability(float& probability) const {
  return MbrMgnRules.GetProbability(probability);
}

int Gene::GetIntValue(std::int32_t& value) const {
  int status = gene_rules::CheckValue(MbrMgnRules.BoundsValue(), GENE_INTEGER, MbrBlnValueSet);
  if (status == SUCCESS) value = MbrValue.AsInt();
  return status;
}

int Gene::GetRealValue(float& value) const {
  int status = gene_rules::CheckValue(MbrMgnRules.BoundsValue(), GENE_REAL, MbrBlnValueSet);
  if (status == SUCCESS) value = MbrValue.AsReal();
  return status;
}

int Gene::GetBinaryValue(char& value) const {
  int status = gene_rules::CheckValue(MbrMgnRules.BoundsValue(), GENE_BINARY, MbrBlnValueSet);
  if (status == SUCCESS) value = MbrValue.AsBinary();
  return status;
}

int Gene::SetIntValue(std::int32_t value) {
  int status = gene_rules::CheckIntValue(MbrMgnRules.BoundsValue(), value);
  if (status != SUCCESS) return status;
  MbrValue.SetInt(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::SetRealValue(float value) {
  int status = gene_rules::CheckRealValue(MbrMgnRules.BoundsValue(), value);
  if (status != SUCCESS) return status;
  MbrValue.SetReal(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::SetBinaryValue(char value) {
  int status = gene_rules::CheckBinaryValue(MbrMgnRules.BoundsValue());
  if (status != SUCCESS) return status;
  MbrValue.SetBinary(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::Randomize() {
  int status = gene_rules::Randomize(MbrMgnRules.BoundsValue(), MbrValue);
  if (status == SUCCESS) MbrBlnValueSet = true;
  return status;
}

std::unique_ptr<Gene> Gene::Clone() const {
  auto PtrGneClone = std::make_unique<Gene>();
  QUILL_ASSERT(PtrGneClone != 0);
  int IntReturn = CopyInto(*PtrGneClone);
  QUILL_ASSERT(IntReturn == SUCCESS);
  return PtrGneClone;
}

int Gene::CopyInto(Gene& copy) const {
  int IntReturn = MbrMgnRules.CopyInto(copy.MbrMgnRules);
  if (IntReturn != SUCCESS || !MbrMgnRules.RangeSet() || !MbrBlnValueSet) return IntReturn;
  switch (MbrMgnRules.Type()) {
    case GENE_INTEGER:
      return copy.SetIntValue(MbrValue.AsInt());
    case GENE_REAL:
      return copy.SetRealValue(MbrValue.AsReal());
    case GENE_BINARY:
      return copy.SetBinaryValue(MbrValue.AsBinary());
    default:
      return SUCCESS;
  }
}
