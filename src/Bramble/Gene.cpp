#include "Bramble/Gene.h"

#include <cmath>

#include "Bramble/Codes.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

Gene::~Gene() {
  // A chromosome detaches its genes one by one before releasing them, so the
  // chain below is normally empty; unwind any remainder without recursion.
  std::unique_ptr<Gene> rest = std::move(MbrPtrGneNext);
  while (rest != nullptr)
    rest = std::move(rest->MbrPtrGneNext);
}

int Gene::SetType(int type) {
  return gene_rules::SetType(Bounds(), type);
}

int Gene::SetIntRange(std::int32_t maximum, std::int32_t minimum) {
  return gene_rules::SetIntRange(Bounds(), maximum, minimum);
}

int Gene::SetRealRange(float maximum, float minimum) {
  return gene_rules::SetRealRange(Bounds(), maximum, minimum);
}

int Gene::SetProbability(float probability) {
  return gene_rules::SetProbability(Bounds(), probability);
}

int Gene::GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const {
  return gene_rules::GetIntRange(BoundsValue(), maximum, minimum);
}

int Gene::GetRealRange(float& maximum, float& minimum) const {
  return gene_rules::GetRealRange(BoundsValue(), maximum, minimum);
}

int Gene::GetProbability(float& probability) const {
  return gene_rules::GetProbability(BoundsValue(), probability);
}

int Gene::CheckValue(int wanted) const {
  if (MbrIntGeneType == GENE_UNDEFINED) return GNE_NO_TYPE;
  if (MbrIntGeneType != wanted) return GNE_WRONG_TYPE;
  return MbrBlnValueSet ? SUCCESS : GNE_NO_VALUE;
}

int Gene::CheckSettable(int wanted) const {
  if (MbrIntGeneType == GENE_UNDEFINED) return GNE_NO_TYPE;
  if (MbrIntGeneType != wanted) return GNE_WRONG_TYPE;
  return MbrBlnRangeSet ? SUCCESS : GNE_NO_RANGE;
}

int Gene::GetIntValue(std::int32_t& value) const {
  int status = CheckValue(GENE_INTEGER);
  if (status == SUCCESS) value = MbrValue.AsInt();
  return status;
}

int Gene::GetRealValue(float& value) const {
  int status = CheckValue(GENE_REAL);
  if (status == SUCCESS) value = MbrValue.AsReal();
  return status;
}

int Gene::GetBinaryValue(char& value) const {
  int status = CheckValue(GENE_BINARY);
  if (status == SUCCESS) value = MbrValue.AsBinary();
  return status;
}

int Gene::SetIntValue(std::int32_t value) {
  int status = CheckSettable(GENE_INTEGER);
  if (status != SUCCESS) return status;
  if (value < MbrMinimum.AsInt() || value > MbrMaximum.AsInt()) return GNE_OUT_OF_RANGE;
  MbrValue.SetInt(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::SetRealValue(float value) {
  int status = CheckSettable(GENE_REAL);
  if (status != SUCCESS) return status;
  if (value < MbrMinimum.AsReal() || value > MbrMaximum.AsReal()) return GNE_OUT_OF_RANGE;
  MbrValue.SetReal(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::SetBinaryValue(char value) {
  int status = CheckSettable(GENE_BINARY);
  if (status != SUCCESS) return status;
  MbrValue.SetBinary(value);
  MbrBlnValueSet = true;
  return SUCCESS;
}

int Gene::Randomize() {
  if (MbrIntGeneType == GENE_UNDEFINED) return GNE_NO_TYPE;
  if (!MbrBlnRangeSet) return GNE_NO_RANGE;
  switch (MbrIntGeneType) {
    case GENE_BINARY: {
      // The product is taken in double and truncated without first rounding
      // to float: a probability stored as 0.7f gives 699, not 700.
      const double threshold = std::trunc(static_cast<double>(MbrMaximum.AsReal()) * 1000.0);
      const int r = quill::Rand() % 1001;
      MbrValue.SetBinary(threshold >= r ? 1 : 0);
      break;
    }
    case GENE_INTEGER: {
      // The span is taken in 64 bits: the full 32-bit range would otherwise
      // wrap to a zero or negative divisor. For every span that fits in 32
      // bits the result is the plain minimum + r % span.
      const std::int64_t span =
          static_cast<std::int64_t>(MbrMaximum.AsInt()) - MbrMinimum.AsInt() + 1;
      const std::int64_t offset = quill::Rand() % span;
      MbrValue.SetInt(static_cast<std::int32_t>(MbrMinimum.AsInt() + offset));
      break;
    }
    case GENE_REAL: {
      // Evaluated in double and stored as float; r = 0 and r = 32767 reach
      // the two bounds exactly.
      const double r = static_cast<float>(quill::Rand());
      const double minimum = MbrMinimum.AsReal();
      const double maximum = MbrMaximum.AsReal();
      MbrValue.SetReal(static_cast<float>(minimum + (r * (1.0 / 32767)) * (maximum - minimum)));
      break;
    }
    default:
      break;
  }
  MbrBlnValueSet = true;
  return SUCCESS;
}

std::unique_ptr<Gene> Gene::Clone() const {
  auto PtrGneClone = std::make_unique<Gene>();
  QUILL_ASSERT(PtrGneClone != 0);
  int IntReturn = PtrGneClone->SetType(MbrIntGeneType);
  QUILL_ASSERT(IntReturn == SUCCESS);
  if (!MbrBlnRangeSet) return PtrGneClone;
  switch (MbrIntGeneType) {
    case GENE_INTEGER:
      IntReturn = PtrGneClone->SetIntRange(MbrMaximum.AsInt(), MbrMinimum.AsInt());
      QUILL_ASSERT(IntReturn == SUCCESS);
      if (MbrBlnValueSet) {
        IntReturn = PtrGneClone->SetIntValue(MbrValue.AsInt());
        QUILL_ASSERT(IntReturn == SUCCESS);
      }
      break;
    case GENE_REAL:
      IntReturn = PtrGneClone->SetRealRange(MbrMaximum.AsReal(), MbrMinimum.AsReal());
      QUILL_ASSERT(IntReturn == SUCCESS);
      if (MbrBlnValueSet) {
        IntReturn = PtrGneClone->SetRealValue(MbrValue.AsReal());
        QUILL_ASSERT(IntReturn == SUCCESS);
      }
      break;
    case GENE_BINARY:
      IntReturn = PtrGneClone->SetProbability(MbrMaximum.AsReal());
      QUILL_ASSERT(IntReturn == SUCCESS);
      if (MbrBlnValueSet) {
        IntReturn = PtrGneClone->SetBinaryValue(MbrValue.AsBinary());
        QUILL_ASSERT(IntReturn == SUCCESS);
      }
      break;
    default:
      break;
  }
  return PtrGneClone;
}
