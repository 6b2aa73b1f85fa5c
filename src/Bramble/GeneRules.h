// The type and bounds rules shared by Gene and MetaGene.
//
// Both classes hold a type code, a "bounds set" flag and two cells; these
// functions apply the checks, in their fixed order, to those fields so that
// the rules live in one place. Each returns SUCCESS or the first failing
// status and changes nothing on failure.
#pragma once

#include <cstdint>

#include "Bramble/GeneCell.h"

namespace gene_rules {

// The fields of a type with bounds, viewed in place.
struct Bounds {
  std::int32_t& type;
  bool& range_set;
  GeneCell& maximum;
  GeneCell& minimum;
};

// The same fields, read by value.
struct BoundsValue {
  std::int32_t type;
  bool range_set;
  GeneCell maximum;
  GeneCell minimum;
};

int SetType(Bounds b, int type);
int SetIntRange(Bounds b, std::int32_t maximum, std::int32_t minimum);
int SetRealRange(Bounds b, float maximum, float minimum);
int SetProbability(Bounds b, float probability);
int GetIntRange(const BoundsValue& b, std::int32_t& maximum, std::int32_t& minimum);
int GetRealRange(const BoundsValue& b, float& maximum, float& minimum);
int GetProbability(const BoundsValue& b, float& probability);

}  // namespace gene_rules
