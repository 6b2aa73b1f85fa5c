#include "Bramble/GeneRules.h"

#include "Bramble/Codes.h"

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

}  // namespace gene_rules
