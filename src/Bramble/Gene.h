// One gene of a chromosome: a typed value inside declared bounds.
//
// A gene carries a type code (GENE_INTEGER, GENE_REAL, GENE_BINARY, or
// GENE_UNDEFINED when fresh), bounds (a probability of a 1 for a binary gene)
// and a value. A value can only be set once the bounds are, and bounds only
// once the type is. Every operation returns SUCCESS or the first failing
// status of its checks, in a fixed order, and changes nothing on failure.
// Range operations take and give the maximum first.
//
// A gene is also a node of its chromosome's indexed list; only the owning
// Chromosome links and unlinks it. An unlinked gene belongs to whoever holds
// its unique_ptr.
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/GeneCell.h"
#include "Bramble/GeneRules.h"

template <class Node>
class IndexedList;
class Chromosome;

class Gene {
 public:
  Gene() = default;
  Gene(const Gene&) = delete;
  Gene& operator=(const Gene&) = delete;
  ~Gene();

  // Stores the type code (10..13) alone; flags, cells and links stay.
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

  // Draws a new value within the bounds: exactly one pseudo-random draw.
  int Randomize();

  // Returns a new unlinked gene with the same type, bounds and value.
  std::unique_ptr<Gene> Clone() const;

 private:
  friend class IndexedList<Gene>;
  friend class Chromosome;  // reads the type code directly

  static constexpr const char* kListCurrentText = "PtrGneCurrent != 0";
  static constexpr const char* kListNextText = "PtrGneNext != 0";
  static constexpr const char* kListPreviousText = "PtrGnePrevious != 0";
  static constexpr const char* kListHeadText = "MbrPtrGneChromHead != 0";

  std::unique_ptr<Gene>& ListNext() { return MbrPtrGneNext; }
  Gene*& ListPrevious() { return MbrPtrGnePrevious; }

  gene_rules::Bounds Bounds() { return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum}; }
  gene_rules::BoundsValue BoundsValue() const {
    return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum};
  }
  // The checks of every value getter: a type, the right type, a value.
  int CheckValue(int wanted) const;
  // The checks of every value setter: a type, the right type, bounds.
  int CheckSettable(int wanted) const;

  bool MbrBlnValueSet = false;
  bool MbrBlnRangeSet = false;
  std::int32_t MbrIntGeneType = 10;  // GENE_UNDEFINED
  GeneCell MbrValue;
  GeneCell MbrMaximum;
  GeneCell MbrMinimum;
  std::unique_ptr<Gene> MbrPtrGneNext;  // owns the rest of the chromosome
  Gene* MbrPtrGnePrevious = nullptr;
};
