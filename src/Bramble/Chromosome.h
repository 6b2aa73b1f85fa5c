// The genetic material of one individual: an ordered list of genes built
// after a chromosome definition.
//
// Positions run from 1 to Length(). The values are stored in one array, with
// one "value set" bit per gene. The genes' rules (type and bounds) are read
// from a table shared with the definition the chromosome was built after, and
// with the chromosomes copied or bred from it; a chromosome whose genes were
// given rules of their own (by a range or type setter, or by taking in genes
// that do not line up with its shared table) keeps a private table instead.
// None of this is visible to callers: every gene behaves as a Gene with its
// own type, bounds and value.
//
// The chromosome keeps the cursor of an indexed list: every access by
// position leaves CursorPosition() on that position, and insertions, removals
// and appends move it by the list rules. Status results: CHM_BAD_INDEX for a
// position outside 1..length, CHM_NULL_POINTER for a null argument (the
// argument is then left with the caller), otherwise the status of the Gene
// operation. Operations returning a pointer return null for a bad position;
// the result belongs to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bramble/Gene.h"
#include "Bramble/GeneCell.h"
#include "Bramble/MetaGene.h"
#include "Bramble/ValueFlags.h"

class MetaChrom;

class Chromosome {
 public:
  class GeneRef;

  // `length` genes, typed and bounded after `definition` when one is given
  // (its length must equal `length`, and every typed position needs valid
  // bounds); no gene holds a value. Length <= 0 gives an empty chromosome.
  explicit Chromosome(std::int32_t length = 0, MetaChrom* definition = nullptr);
  Chromosome(const Chromosome&) = delete;
  Chromosome& operator=(const Chromosome&) = delete;

  std::int32_t Length() const { return MbrNdxLength; }

  // The gene at `position` (a false reference outside 1..length, when the
  // cursor stays); moves the cursor.
  GeneRef Locate(std::int32_t position);

  int DeleteGene(std::int32_t position);
  std::unique_ptr<Gene> DetachGene(std::int32_t position);
  // Takes `gene` as the new last position.
  int AppendGene(std::unique_ptr<Gene>&& gene);
  // Takes `gene` into `position` (1..length), in front of the gene there.
  int InsertGene(std::unique_ptr<Gene>&& gene, std::int32_t position);
  // Puts `gene` in place of the gene at `position`, which is destroyed.
  int ReplaceGene(std::unique_ptr<Gene>&& gene, std::int32_t position);
  // A copy of the gene at `position`, as Gene::Clone makes it.
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

  // Appends copies of genes first..last (1 <= first, last <= its length) of
  // `from`, which may be this chromosome, leaving the cursor of `from` on
  // `last` as copying them one by one with CloneGene does. Genes that line up
  // with this chromosome's shared rules keep sharing them.
  void AppendSegment(Chromosome& from, std::int32_t first, std::int32_t last);
  // Appends, for each position i = 1..length of `a` and `b` (equal lengths),
  // a copy of gene i of `a` when a draw r = Rand() % 1001 is at most 500 and
  // of `b` otherwise: one draw per gene, in order. Cursors as AppendSegment.
  void AppendUniform(Chromosome& a, Chromosome& b);
  // Makes room for `length` genes without further allocation.
  void Reserve(std::int32_t length);

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

  // The cursor position (0 when empty).
  std::int32_t CursorPosition() const { return MbrNdxLastUsed; }

  // Fast reads for whole-population images: whether every gene has exactly
  // the rules of `definition` (read from the same table), whether every gene
  // holds a value, and the value cells, in order.
  bool FollowsExactly(const MetaChrom& definition) const;
  // Reads the rules from `definition`'s table from now on when they are the
  // rules a chromosome built after it has (as for a chromosome built after
  // an equal definition); nothing a caller sees changes. Returns whether
  // FollowsExactly(definition) holds afterwards.
  bool AdoptRulesOf(MetaChrom& definition);
  bool AllValuesSet() const { return MbrDyaValueSet.All(); }
  const GeneCell* Values() const { return MbrDyaValues.data(); }

  // Test hook: whether the rules are read from a table shared with the
  // definition or other chromosomes (false: a private table).
  bool SharesRules() const { return !MbrBlnOwnRules && MbrNdxLength > 0; }

 private:
  using RuleTable = std::vector<MetaGene>;

  bool Valid(std::int32_t position) const { return position >= 1 && position <= MbrNdxLength; }
  std::size_t Index(std::int32_t position) const { return static_cast<std::size_t>(position - 1); }
  const MetaGene& Rule(std::int32_t position) const {
    return MbrBlnOwnRules
               ? MbrDyaOwnRules[Index(position)]
               : (*MbrPtrRules)[static_cast<std::size_t>(MbrNdxRuleOffset) + Index(position)];
  }
  gene_rules::BoundsValue Bounds(std::int32_t position) const {
    return Rule(position).BoundsValue();
  }
  bool ValueSet(std::int32_t position) const { return MbrDyaValueSet.Get(position - 1); }
  // The gene at a valid position as a standalone value, unchanged.
  Gene GeneAt(std::int32_t position) const;
  // The gene at a valid position as Gene::Clone copies it (asserting).
  Gene CopyAt(std::int32_t position) const;

  // Gives the genes a private table holding their current rules.
  void OwnRules();
  // Back to the state of a new empty chromosome once no gene is left.
  void ResetIfEmpty();
  // Appends `gene` unchanged, with rules of its own.
  void PushOwn(const Gene& gene);
  // Whether genes first.. of `from` would land on the shared table entries
  // they already use.
  bool LinesUp(const Chromosome& from, std::int32_t first) const;
  // Appends genes first..last of `from` (not this): copies as Gene::Clone
  // makes them when `copy`, unchanged otherwise. Moves no cursor of `from`.
  void AppendRange(const Chromosome& from, std::int32_t first, std::int32_t last, bool copy);
  // Removes genes first..last (valid) from the arrays; no cursor change.
  void EraseRange(std::int32_t first, std::int32_t last);
  // The cursor changes of an indexed list.
  void CursorOnAppend(std::int32_t length_before) {
    if (length_before == 0) MbrNdxLastUsed = 1;
  }
  void CursorOnDetach(std::int32_t position, std::int32_t length_before);

  // The gene operations at a valid position, without moving the cursor.
  friend class GeneRef;
  int RandomizeAt(std::int32_t position);
  int SetRuleAt(std::int32_t position, const MetaGene& rule);
  int SetTypeAt(std::int32_t position, int type);
  int SetIntRangeAt(std::int32_t position, std::int32_t maximum, std::int32_t minimum);
  int SetRealRangeAt(std::int32_t position, float maximum, float minimum);
  int SetProbabilityAt(std::int32_t position, float probability);
  int GetIntValueAt(std::int32_t position, std::int32_t& value) const;
  int GetRealValueAt(std::int32_t position, float& value) const;
  int GetBinaryValueAt(std::int32_t position, char& value) const;
  int SetIntValueAt(std::int32_t position, std::int32_t value);
  int SetRealValueAt(std::int32_t position, float value);
  int SetBinaryValueAt(std::int32_t position, char value);

  std::int32_t MbrNdxLength = 0;
  std::int32_t MbrNdxLastUsed = 0;
  std::vector<GeneCell> MbrDyaValues;
  ValueFlags MbrDyaValueSet;
  // Shared rules: gene p follows (*MbrPtrRules)[MbrNdxRuleOffset + p - 1].
  // Every gene read from a shared table is as Gene::Clone would copy it, so
  // copies of shared genes are plain copies of their cells.
  std::shared_ptr<const RuleTable> MbrPtrRules;
  std::int32_t MbrNdxRuleOffset = 0;
  // Private rules: gene p follows MbrDyaOwnRules[p - 1].
  bool MbrBlnOwnRules = false;
  std::vector<MetaGene> MbrDyaOwnRules;
};

// The gene at one position of a chromosome, with the operations of Gene.
// It names the position, not the gene: it stays usable while the chromosome
// exists and is at least that long, and then reaches whatever gene is at that
// position. Its operations do not move the chromosome's cursor. A
// default-constructed (or out-of-range) reference is false.
class Chromosome::GeneRef {
 public:
  GeneRef() = default;
  GeneRef(Chromosome* chromosome, std::int32_t position)
      : MbrPtrChmOwner(chromosome), MbrNdxPosition(position) {}

  explicit operator bool() const { return MbrPtrChmOwner != nullptr; }
  // Lets `chromosome.Locate(p)->Operation()` read as it does for a pointer.
  GeneRef* operator->() { return this; }
  std::int32_t Position() const { return MbrNdxPosition; }

  int SetType(int type) { return Owner().SetTypeAt(MbrNdxPosition, type); }
  int SetIntRange(std::int32_t maximum, std::int32_t minimum) {
    return Owner().SetIntRangeAt(MbrNdxPosition, maximum, minimum);
  }
  int SetRealRange(float maximum, float minimum) {
    return Owner().SetRealRangeAt(MbrNdxPosition, maximum, minimum);
  }
  int SetProbability(float probability) {
    return Owner().SetProbabilityAt(MbrNdxPosition, probability);
  }
  int GetIntRange(std::int32_t& maximum, std::int32_t& minimum) {
    return Owner().Rule(MbrNdxPosition).GetIntRange(maximum, minimum);
  }
  int GetRealRange(float& maximum, float& minimum) {
    return Owner().Rule(MbrNdxPosition).GetRealRange(maximum, minimum);
  }
  int GetProbability(float& probability) {
    return Owner().Rule(MbrNdxPosition).GetProbability(probability);
  }
  int GetIntValue(std::int32_t& value) { return Owner().GetIntValueAt(MbrNdxPosition, value); }
  int GetRealValue(float& value) { return Owner().GetRealValueAt(MbrNdxPosition, value); }
  int GetBinaryValue(char& value) { return Owner().GetBinaryValueAt(MbrNdxPosition, value); }
  int SetIntValue(std::int32_t value) { return Owner().SetIntValueAt(MbrNdxPosition, value); }
  int SetRealValue(float value) { return Owner().SetRealValueAt(MbrNdxPosition, value); }
  int SetBinaryValue(char value) { return Owner().SetBinaryValueAt(MbrNdxPosition, value); }
  int Randomize() { return Owner().RandomizeAt(MbrNdxPosition); }
  // The gene as it stands (rules, value cell, value flag), uncopied.
  Gene Get() { return Owner().GeneAt(MbrNdxPosition); }
  // A standalone copy, as Gene::Clone makes it.
  std::unique_ptr<Gene> Clone() { return std::make_unique<Gene>(Owner().CopyAt(MbrNdxPosition)); }
  // The type code.
  int Type() { return Owner().Rule(MbrNdxPosition).Type(); }

 private:
  // The chromosome, asserting that the position still exists.
  Chromosome& Owner();

  Chromosome* MbrPtrChmOwner = nullptr;
  std::int32_t MbrNdxPosition = 0;
};
