// One gene of a chromosome: a typed value inside declared bounds.
//
// A gene carries a type code (GENE_INTEGER, GENE_REAL, GENE_BINARY, or
// GENE_UNDEFINED when fresh), bounds (a probability of a 1 for a binary gene)
// and a value. A value can only be set once the bounds are, and bounds only
// once the type is. Every operation returns SUCCESS or the first failing
// status of its checks, in a fixed order, and changes nothing on failure.
// Range operations take and give the maximum first.
//
// A Gene is a standalone value: a chromosome stores its genes' values in one
// array and their rules in a shared table, and hands out Gene objects when a
// gene leaves it (DetachGene, CloneGene) or takes them in (AppendGene,
// InsertGene, ReplaceGene).
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/GeneCell.h"
#include "Bramble/MetaGene.h"

class Gene {
 public:
  Gene() = default;
  // A gene with the given rules and value (`value` is kept as it is, even
  // when `value_set` is false).
  Gene(const MetaGene& rules, GeneCell value, bool value_set)
      : MbrBlnValueSet(value_set), MbrMgnRules(rules), MbrValue(value) {}

  // Stores the type code (10..13) alone; flags and cells stay.
  int SetType(int type);

  // Set the bounds; an existing value is neither checked nor cleared.
  int SetIntRange(std::int32_t maximum, std::int32_t minimum);
  int SetRealRange(float maximum, float minimum);
  int SetProbability(float probability);

  int GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const;
  int GetRealRange(float& maximum, float& minimum) const;
  int GetProbability(float& probability) const;

  int GetIntValue(std::int32_t& value) const;
  int GetRealValue(float& value) const;
  int GetBinaryValue(char& value) const;

  // Store a value within the bounds (a binary value byte is stored as given).
  int SetIntValue(std::int32_t value);
  int SetRealValue(float value);
  int SetBinaryValue(char value);

  // Draws a new value within the bounds: one pseudo-random draw (an integer
  // range wider than 32768 values takes two or more, see RandBelow).
  int Randomize();

  // Returns a new gene with the same type, bounds and value.
  std::unique_ptr<Gene> Clone() const;
  // Gives `copy` (a fresh gene) this type, bounds and value through the
  // setters, as Clone does, and returns the first failing status (a value
  // outside bounds narrowed after it was set fails). An undefined type copies
  // without bounds or value, a binary value as its byte alone.
  int CopyInto(Gene& copy) const;

  // The gene's rules (type, bounds), its value cell and whether it is set.
  const MetaGene& Rules() const { return MbrMgnRules; }
  GeneCell Value() const { return MbrValue; }
  bool ValueSet() const { return MbrBlnValueSet; }

 private:
  bool MbrBlnValueSet = false;
  MetaGene MbrMgnRules;
  GeneCell MbrValue;
};
