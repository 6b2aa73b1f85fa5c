// The genetic material of one individual: an ordered list of genes built
// after a chromosome definition.
//
// Positions run from 1 to Length(). The chromosome owns its genes and keeps
// no reference to its definition (each gene carries its own type and bounds).
// Every whole-chromosome operation walks positions 1..length in order, which
// the list cursor keeps at one link step per position. Status results:
// CHM_BAD_INDEX for a position outside 1..length, CHM_NULL_POINTER for a null
// argument (the argument is then left with the caller), otherwise the status
// of the Gene operation. Operations returning a pointer return null for a bad
// position; the result belongs to the caller.
#pragma once

#include <cstdint>
#include <memory>

#include "Bramble/Gene.h"
#include "Bramble/IndexedList.h"

class MetaChrom;

class Chromosome {
 public:
  // `length` genes, typed and bounded after `definition` when one is given
  // (its length must equal `length`); no gene holds a value. Length <= 0 gives
  // an empty chromosome.
  explicit Chromosome(std::int32_t length = 0, MetaChrom* definition = nullptr);
  Chromosome(const Chromosome&) = delete;
  Chromosome& operator=(const Chromosome&) = delete;
  ~Chromosome();

  std::int32_t Length() const { return MbrNdxLength; }

  // The gene at `position`, or null outside 1..length; moves the cursor.
  Gene* Locate(std::int32_t position);

  int DeleteGene(std::int32_t position);
  std::unique_ptr<Gene> DetachGene(std::int32_t position);
  // Takes `gene` as the new last position.
  int AppendGene(std::unique_ptr<Gene>&& gene);
  // Takes `gene` into `position` (1..length), in front of the gene there.
  int InsertGene(std::unique_ptr<Gene>&& gene, std::int32_t position);
  // Puts `gene` in place of the gene at `position`, which is destroyed.
  int ReplaceGene(std::unique_ptr<Gene>&& gene, std::int32_t position);
  std::unique_ptr<Gene> CloneGene(std::int32_t position);

  // A new chromosome holding copies of all genes, in order.
  std::unique_ptr<Chromosome> Clone();
  // Appends a copy of each gene of `other`, in order; `other` is unchanged.
  int AppendCopies(Chromosome* other);
  // Moves every gene of `other`, in order, to the end of this one.
  int MoveFrom(Chromosome* other);
  // Copies (or moves out) genes first..last into a new chromosome; null if
  // first > length, last > length or last < first. REQUIRES: first >= 1.
  std::unique_ptr<Chromosome> CopySegment(std::int32_t first, std::int32_t last);
  std::unique_ptr<Chromosome> CutSegment(std::int32_t first, std::int32_t last);

  int RandomizeGene(std::int32_t position);
  // Randomizes positions 1..length in order, stopping at the first failure.
  int Randomize();
  // Redraws each gene with probability `rate` (resolution 1/1000): one draw
  // per gene for the test, then the redraw's own draw when chosen.
  int Mutate(float rate);

  int SetGeneType(std::int32_t position, int type);
  int GetGeneType(std::int32_t position, int& type);
  int SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum);
  int SetRealRange(std::int32_t position, float maximum, float minimum);
  int SetProbability(std::int32_t position, float probability);
  int GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum);
  int GetRealRange(std::int32_t position, float& maximum, float& minimum);
  int GetProbability(std::int32_t position, float& probability);
  int GetIntValue(std::int32_t position, std::int32_t& value);
  int GetRealValue(std::int32_t position, float& value);
  int GetBinaryValue(std::int32_t position, char& value);
  int SetIntValue(std::int32_t position, std::int32_t value);
  int SetRealValue(std::int32_t position, float value);
  int SetBinaryValue(std::int32_t position, char value);

  // Test hooks: the cursor position (0 when empty) and node.
  std::int32_t CursorPosition() const { return MbrNdxLastUsed; }
  const Gene* CursorGene() const { return MbrPtrGneLastUsed; }

 private:
  IndexedList<Gene> List() {
    return {MbrNdxLength, MbrPtrGneChromHead, MbrPtrGneChromTail, MbrPtrGneLastUsed,
            MbrNdxLastUsed};
  }
  bool Valid(std::int32_t position) const { return position >= 1 && position <= MbrNdxLength; }
  // Locates a checked position (asserting the gene exists).
  Gene* TheGene(std::int32_t position);

  std::int32_t MbrNdxLength = 0;
  std::unique_ptr<Gene> MbrPtrGneChromHead;
  Gene* MbrPtrGneChromTail = nullptr;
  Gene* MbrPtrGneLastUsed = nullptr;
  std::int32_t MbrNdxLastUsed = 0;
};
