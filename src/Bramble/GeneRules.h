// The type, bounds and value rules shared by Gene, MetaGene and Chromosome.
//
// A gene's rules are a type code, a "bounds set" flag and two cells; its value
// is one more cell and a "value set" flag. These functions apply the checks,
// in their fixed order, to those fields wherever they are stored (a Gene, a
// definition table, a chromosome's value array), so that every rule and every
// draw lives in one place. Each returns SUCCESS or the first failing status
// and changes nothing on failure.
#pragma once

#include <cstdint>

#include "Bramble/GeneCell.h"
#include "common/Random.h"

namespace gene_rules {

// The rule fields, viewed in place.
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

// The checks of every value getter: a type, the type `wanted`, a value.
int CheckValue(const BoundsValue& b, int wanted, bool value_set);
// The checks of every value setter: a type, the type `wanted`, bounds.
int CheckSettable(const BoundsValue& b, int wanted);
// The full checks of SetIntValue / SetRealValue / SetBinaryValue: on SUCCESS
// the caller stores the value and marks it set.
int CheckIntValue(const BoundsValue& b, std::int32_t value);
int CheckRealValue(const BoundsValue& b, float value);
int CheckBinaryValue(const BoundsValue& b);

// Draws a real value within (minimum, maximum): one draw r, then
// minimum + (r * (1 / 32767)) * (maximum - minimum), evaluated in double and
// stored as float, so that r = 0 and r = 32767 reach the two bounds exactly.
// The order of the operations is part of the results: keep it.
inline float DrawReal(float minimum, float maximum) {
  const double r = static_cast<float>(quill::Rand());
  const double low = minimum;
  const double high = maximum;
  return static_cast<float>(low + (r * (1.0 / 32767)) * (high - low));
}

// Draws a new value within the bounds into `value`: GNE_NO_TYPE, GNE_NO_RANGE
// (no draw) or SUCCESS after one pseudo-random draw (two or more for an
// integer range wider than 32768 values, see RandBelow); on SUCCESS the
// caller marks the value set.
int Randomize(const BoundsValue& b, GeneCell& value);

}  // namespace gene_rules
