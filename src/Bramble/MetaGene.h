// A gene definition: the type and bounds that one position of every
// chromosome of a population follows.
//
// The operations have the arguments, checks, status codes and effects of the
// Gene operations of the same names; a definition holds no value. A gene
// definition is also a node of its MetaChrom's indexed list; only the owning
// MetaChrom links and unlinks it.
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/GeneCell.h"
#include "Bramble/GeneRules.h"

template <class Node>
class IndexedList;
class MetaChrom;

class MetaGene {
 public:
  MetaGene() = default;
  MetaGene(const MetaGene&) = delete;
  MetaGene& operator=(const MetaGene&) = delete;
  ~MetaGene();

  int SetType(int type);
  int SetIntRange(std::int32_t maximum, std::int32_t minimum);
  int SetRealRange(float maximum, float minimum);
  int SetProbability(float probability);
  int GetIntRange(std::int32_t& maximum, std::int32_t& minimum) const;
  int GetRealRange(float& maximum, float& minimum) const;
  int GetProbability(float& probability) const;

  // Returns a new unlinked definition with the same type and bounds.
  std::unique_ptr<MetaGene> Clone() const;

 private:
  friend class IndexedList<MetaGene>;
  friend class MetaChrom;  // reads the type code directly

  static constexpr const char* kListCurrentText = "PtrMgnCurrent != 0";
  static constexpr const char* kListNextText = "PtrMgnNext != 0";
  static constexpr const char* kListPreviousText = "PtrMgnPrevious != 0";
  static constexpr const char* kListHeadText = "MbrPtrMgnChromHead != 0";

  std::unique_ptr<MetaGene>& ListNext() { return MbrPtrMgnNext; }
  MetaGene*& ListPrevious() { return MbrPtrMgnPrevious; }

  gene_rules::Bounds Bounds() { return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum}; }
  gene_rules::BoundsValue BoundsValue() const {
    return {MbrIntGeneType, MbrBlnRangeSet, MbrMaximum, MbrMinimum};
  }

  std::int32_t MbrIntGeneType = 10;  // GENE_UNDEFINED
  bool MbrBlnRangeSet = false;
  GeneCell MbrMaximum;
  GeneCell MbrMinimum;
  std::unique_ptr<MetaGene> MbrPtrMgnNext;  // owns the rest of the definition
  MetaGene* MbrPtrMgnPrevious = nullptr;
};
