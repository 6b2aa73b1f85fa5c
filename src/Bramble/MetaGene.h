// A gene definition: the type and bounds that one position of every
// chromosome of a population follows.
//
// The operations have the arguments, checks, status codes and effects of the
// Gene operations of the same names; a definition holds no value. A gene
// definition is a plain value: a chromosome definition keeps its definitions
// in one contiguous table, and chromosomes read their genes' rules from such
// a table (see MetaChrom and Chromosome).
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/GeneCell.h"
#include "Bramble/GeneRules.h"

class MetaGene {
 public:
  MetaGene() = default;

  int SetType(int type);
  int SetIntRange(std::int32_t maximum, std::int32_t minimum);
  int SetRealRange(float maximum, float minimum);
  int SetProbability(float probability);
  int GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const;
  int GetRealRange(float& maximum, float& minimum) const;
  int GetProbability(float& probability) const;

  // Returns a new definition with the same type and bounds.
  std::unique_ptr<MetaGene> Clone() const;
  // Gives `copy` (a fresh definition) this type and these bounds through the
  // setters, as Clone does, and returns the first failing status: a type
  // change reinterprets the bound cells, which may then no longer be valid
  // bounds. An undefined type copies without bounds, a probability without
  // the unused minimum cell.
  int CopyInto(MetaGene& copy) const;

  // The type code (GENE_UNDEFINED included) and whether bounds are set.
  std::int32_t Type() const { return MbrIntGeneType; }
  bool RangeSet() const { return MbrBlnRangeSet; }

  // The fields, read by value, for the shared rule checks.
  gene_rules::BoundsValue BoundsValue() const {
    return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum};
  }

  // Same type code, flag and cell bits.
  friend bool operator==(const MetaGene& a, const MetaGene& b) {
    return a.MbrIntGeneType == b.MbrIntGeneType && a.MbrBlnRangeSet == b.MbrBlnRangeSet &&
           a.MbrMaximum == b.MbrMaximum && a.MbrMinimum == b.MbrMinimum;
  }

 private:
  gene_rules::Bounds Bounds() { return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum}; }

  std::int32_t MbrIntGeneType = 10;  // GENE_UNDEFINED
  bool MbrBlnRangeSet = false;
  GeneCell MbrMaximum;
  GeneCell MbrMinimum;
};
