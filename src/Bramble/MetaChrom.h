// A chromosome definition: the ordered gene definitions that every
// chromosome of a population follows (position i gives the type and bounds of
// gene i).
//
// Positions run from 1 to Length(). The definition owns its nodes. Locating a
// position moves the list's cursor, so reading positions 1, 2, 3, ... in turn
// costs one link step each; that is why even the readers are not const.
// Accessors return MCH_BAD_INDEX for a position outside 1..length, otherwise
// the status of the MetaGene operation.
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/IndexedList.h"
#include "Bramble/MetaGene.h"

class MetaChrom {
 public:
  // A definition of `length` fresh gene definitions (GENE_UNDEFINED, no
  // bounds), cursor on position 1. REQUIRES: length >= 0.
  explicit MetaChrom(std::int32_t length = 0);
  MetaChrom(const MetaChrom&) = delete;
  MetaChrom& operator=(const MetaChrom&) = delete;
  ~MetaChrom();

  std::int32_t Length() const { return MbrNdxLength; }

  // The definition at `position`, or null outside 1..length.
  MetaGene* Locate(std::int32_t position);

  // Destroys the definition at `position`; MCH_BAD_REMOVE_INDEX outside 1..length.
  int RemoveGene(std::int32_t position);
  // Takes `gene` as the new last position; MCH_NULL_GENE (gene kept) if null.
  int AppendGene(std::unique_ptr<MetaGene>&& gene);

  int SetGeneType(std::int32_t position, int type);
  // Writes the type code (GENE_UNDEFINED included).
  int GetGeneType(std::int32_t position, int& type);
  int SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum);
  int SetRealRange(std::int32_t position, float maximum, float minimum);
  int SetProbability(std::int32_t position, float probability);
  int GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum);
  int GetRealRange(std::int32_t position, float& maximum, float& minimum);
  int GetProbability(std::int32_t position, float& probability);

  // A new definition with a copy of every gene definition, in order.
  std::unique_ptr<MetaChrom> Clone();

  // Test hook: the cursor position (0 when empty).
  std::int32_t CursorPosition() const { return MbrNdxLastUsed; }

 private:
  IndexedList<MetaGene> List() {
    return {MbrNdxLength, MbrPtrMgnChromHead, MbrPtrMgnChromTail, MbrPtrMgnLastUsed,
            MbrNdxLastUsed};
  }
  // Locates a checked position (asserting the node exists).
  MetaGene* Node(std::int32_t position);

  std::int32_t MbrNdxLength = 0;
  std::unique_ptr<MetaGene> MbrPtrMgnChromHead;
  MetaGene* MbrPtrMgnChromTail = nullptr;
  MetaGene* MbrPtrMgnLastUsed = nullptr;
  std::int32_t MbrNdxLastUsed = 0;
};
