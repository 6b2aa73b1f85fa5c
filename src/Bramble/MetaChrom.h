// A chromosome definition: the ordered gene definitions that every
// chromosome of a population follows (position i gives the type and bounds of
// gene i).
//
// Positions run from 1 to Length(). The definitions live in one contiguous
// table that copies of the definition and the chromosomes built after it
// share; the table is copied before this definition changes while it is
// shared, so a change never reaches a copy or a chromosome built earlier.
//
// The definition keeps the cursor of an indexed list: every access by
// position (Locate and the accessors) leaves CursorPosition() on that
// position, and removals and appends move it by the list rules. Accessors
// return MCH_BAD_INDEX for a position outside 1..length, otherwise the status
// of the MetaGene operation.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bramble/MetaGene.h"

class MetaChrom {
 public:
  using RuleTable = std::vector<MetaGene>;

  // A definition of `length` fresh gene definitions (GENE_UNDEFINED, no
  // bounds), cursor on position 1. REQUIRES: length >= 0.
  explicit MetaChrom(std::int32_t length = 0);
  MetaChrom(const MetaChrom&) = delete;
  MetaChrom& operator=(const MetaChrom&) = delete;

  std::int32_t Length() const { return MbrNdxLength; }

  // The definition at `position`, or null outside 1..length (the cursor then
  // stays). The pointer stays valid until the length of this definition
  // changes; a definition whose entries were handed out this way is copied,
  // not shared, by Clone and by the chromosomes built after it.
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

  // A new definition with a copy of every gene definition, in order, as
  // MetaGene::Clone makes it (asserting that every set bound is still valid
  // for its type). Shares this definition's table when nothing differs.
  std::unique_ptr<MetaChrom> Clone();

  // The cursor position (0 when empty).
  std::int32_t CursorPosition() const { return MbrNdxLastUsed; }

  // The table the definitions are read from (null when empty), for identity
  // checks and fast reads; valid until this definition next changes.
  const RuleTable* Table() const { return MbrPtrRules.get(); }

  // SUCCESS when chromosomes can be built after this definition (every typed
  // position has bounds, valid for its type), else the first failing status.
  int BuildStatus();
  // A table holding every definition as a copy through the setters would
  // (MetaGene::Clone), shared with this definition when they do not differ,
  // for the chromosomes built after it. Null when empty. Does not check the
  // bounds.
  std::shared_ptr<const RuleTable> SharedCopies();

 private:
  bool Valid(std::int32_t position) const { return position >= 1 && position <= MbrNdxLength; }
  // The definitions, copied first when another definition or a chromosome
  // shares them.
  RuleTable& Writable();
  // Moves the cursor to a checked position and returns its definition.
  MetaGene& At(std::int32_t position);
  const MetaGene& Read(std::int32_t position);
  // Checks the table once per change (every time while entries are handed
  // out, since they may change unseen).
  void Survey();

  // What the last survey found.
  struct Findings {
    bool done = false;
    int copy_status = 0;    // first failure of MetaGene::CopyInto
    int build_status = 0;   // first typed position without valid bounds
    bool copy_form = true;  // every definition is its own copy
  };

  std::int32_t MbrNdxLength = 0;
  std::shared_ptr<RuleTable> MbrPtrRules;
  std::int32_t MbrNdxLastUsed = 0;
  // Locate handed out a pointer into the table: never share it again.
  bool MbrBlnHandedOut = false;
  Findings MbrSurvey;
};
