#include "Bramble/GeneRules.h"

#include <cmath>

#include "Bramble/Codes.h"
#include "common/Random.h"

namespace gene_rules {
namespace {

// The checks every typed range operation makes first: a type at all, then the
// operation's own type.
int CheckType(std::int32_t type, int wanted) {
  if (type == GENE_UNDEFINED) return GNE_NO_TYPE;
  if (type != wanted) return GNE_WRONG_TYPE;
  return SUCCESS;
}

int CheckReadable(const BoundsValue& b, int wanted) {
  int status = CheckType(b.type, wanted);
  if (status != SUCCESS) return status;
  return b.range_set ? SUCCESS : GNE_NO_RANGE;
}

}  // namespace

int SetType(Bounds b, int type) {
  if (type < GENE_UNDEFINED || type > GENE_BINARY) return GNE_BAD_TYPE;
  b.type = type;
  return SUCCESS;
}

int SetIntRange(Bounds b, std::int32_t maximum, std::int32_t minimum) {
  int status = CheckType(b.type, GENE_INTEGER);
  if (status != SUCCESS) return status;
  if (minimum > maximum) return GNE_BAD_RANGE;
  b.maximum.SetInt(maximum);
  b.minimum.SetInt(minimum);
  b.range_set = true;
  return SUCCESS;
}

int SetRealRange(Bounds b, float maximum, float minimum) {
  int status = CheckType(b.type, GENE_REAL);
  if (status != SUCCESS) return status;
  // Written as "not (max >= min)" so that a NaN bound is refused.
  if (!(maximum >= minimum)) return GNE_BAD_RANGE;
  b.maximum.SetReal(maximum);
  b.minimum.SetReal(minimum);
  b.range_set = true;
  return SUCCESS;
}

int SetProbability(Bounds b, float probability) {
  int status = CheckType(b.type, GENE_BINARY);
  if (status != SUCCESS) return status;
  if (!(probability >= 0.0f && probability <= 1.0f)) return GNE_BAD_RANGE;
  b.maximum.SetReal(probability);
  b.range_set = true;
  return SUCCESS;
}

int GetIntRange(const BoundsValue& b, std::int32_t& maximum, std::int32_t& minimum) {
  int status = CheckReadable(b, GENE_INTEGER);
  if (status != SUCCESS) return status;
  maximum = b.maximum.AsInt();
  minimum = b.minimum.AsInt();
  return SUCCESS;
}

int GetRealRange(const BoundsValue& b, float& maximum, float& minimum) {
  int status = CheckReadable(b, GENE_REAL);
  if (status != SUCCESS) return status;
  maximum = b.maximum.AsReal();
  minimum = b.minimum.AsReal();
  return SUCCESS;
}

int GetProbability(const BoundsValue& b, float& probability) {
  int status = CheckReadable(b, GENE_BINARY);
  if (status != SUCCESS) return status;
  probability = b.maximum.AsReal();
  return SUCCESS;
}

int CheckValue(const BoundsValue& b, int wanted, bool value_set) {
  int status = CheckType(b.type, wanted);
  if (status != SUCCESS) return status;
  return value_set ? SUCCESS : GNE_NO_VALUE;
}

int CheckSettable(const BoundsValue& b, int wanted) {
  return CheckReadable(b, wanted);
}

int CheckIntValue(const BoundsValue& b, std::int32_t value) {
  int status = CheckSettable(b, GENE_INTEGER);
  if (status != SUCCESS) return status;
  if (value < b.minimum.AsInt() || value > b.maximum.AsInt()) return GNE_OUT_OF_RANGE;
  return SUCCESS;
}

int CheckRealValue(const BoundsValue& b, float value) {
  int status = CheckSettable(b, GENE_REAL);
  if (status != SUCCESS) return status;
  if (value < b.minimum.AsReal() || value > b.maximum.AsReal()) return GNE_OUT_OF_RANGE;
  return SUCCESS;
}

int CheckBinaryValue(const BoundsValue& b) {
  return CheckSettable(b, GENE_BINARY);
}

int Randomize(const BoundsValue& b, GeneCell& value) {
  if (b.type == GENE_UNDEFINED) return GNE_NO_TYPE;
  if (!b.range_set) return GNE_NO_RANGE;
  switch (b.type) {
    case GENE_BINARY: {
      // The product is taken in double and truncated without first rounding
      // to float: a probability stored as 0.7f gives 699, not 700.
      const double threshold = std::trunc(static_cast<double>(b.maximum.AsReal()) * 1000.0);
      const int r = quill::Rand() % 1001;
      value.SetBinary(threshold >= r ? 1 : 0);
      break;
    }
    case GENE_INTEGER: {
      // The span is taken in 64 bits: the full 32-bit range would otherwise
      // wrap to a zero or negative divisor. For every span up to 32768 the
      // result is the plain minimum + r % span; a wider span takes two or
      // three draws (RandBelow), so that every value in it can be drawn.
      const std::int64_t span =
          static_cast<std::int64_t>(b.maximum.AsInt()) - b.minimum.AsInt() + 1;
      const std::int64_t offset = quill::RandBelow(span);
      value.SetInt(static_cast<std::int32_t>(b.minimum.AsInt() + offset));
      break;
    }
    case GENE_REAL:
      value.SetReal(DrawReal(b.minimum.AsReal(), b.maximum.AsReal()));
      break;
    default:
      break;
  }
  return SUCCESS;
}

}  // namespace gene_rules
