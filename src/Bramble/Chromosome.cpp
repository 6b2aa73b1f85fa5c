#include "Bramble/Chromosome.h"

#include <algorithm>
#include <cmath>

#include "Bramble/Codes.h"
#include "Bramble/ListCursor.h"
#include "Bramble/MetaChrom.h"
#include "common/Assert.h"
#include "common/Random.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";
}

Chromosome::Chromosome(std::int32_t length, MetaChrom* definition) {
  const std::int32_t n = length > 0 ? length : 0;
  MbrNdxLength = n;
  MbrNdxLastUsed = n > 0 ? 1 : 0;
  MbrDyaValues.assign(static_cast<std::size_t>(n), GeneCell());
  MbrDyaValueSet.Resize(n);
  if (definition == nullptr) {
    // Fresh genes: undefined, without bounds.
    MbrBlnOwnRules = n > 0;
    MbrDyaOwnRules.assign(static_cast<std::size_t>(n), MetaGene());
    return;
  }
  const std::int32_t NdxDefLength = definition->Length();
  QUILL_ASSERT(NdxDefLength == MbrNdxLength);
  if (n == 0) return;
  // Every typed position needs bounds that are valid for its type: the genes
  // take the definition's rules as copying them through the setters would.
  int IntReturn = definition->BuildStatus();
  QUILL_ASSERT(IntReturn == SUCCESS);
  MbrPtrRules = definition->SharedCopies();
  MbrNdxRuleOffset = 0;
  // Each gene was set up from its position in turn, which leaves both
  // cursors on the last position.
  int type = GENE_UNDEFINED;
  IntReturn = definition->GetGeneType(n, type);
  QUILL_ASSERT(IntReturn == SUCCESS);
  MbrNdxLastUsed = n;
}

Gene Chromosome::GeneAt(std::int32_t position) const {
  return Gene(Rule(position), MbrDyaValues[Index(position)], ValueSet(position));
}

Gene Chromosome::CopyAt(std::int32_t position) const {
  // Shared genes already are what a copy makes of them.
  if (!MbrBlnOwnRules) return GeneAt(position);
  Gene copy;
  int IntReturn = GeneAt(position).CopyInto(copy);
  QUILL_ASSERT(IntReturn == SUCCESS);
  return copy;
}

void Chromosome::OwnRules() {
  if (MbrBlnOwnRules) return;
  if (MbrNdxLength > 0) {
    const auto first = MbrPtrRules->begin() + MbrNdxRuleOffset;
    MbrDyaOwnRules.assign(first, first + MbrNdxLength);
  }
  MbrPtrRules.reset();
  MbrNdxRuleOffset = 0;
  MbrBlnOwnRules = true;
}

void Chromosome::ResetIfEmpty() {
  if (MbrNdxLength != 0) return;
  MbrDyaValues = {};
  MbrDyaValueSet.Clear();
  MbrPtrRules.reset();
  MbrNdxRuleOffset = 0;
  MbrBlnOwnRules = false;
  MbrDyaOwnRules = {};
}

void Chromosome::PushOwn(const Gene& gene) {
  MbrDyaOwnRules.push_back(gene.Rules());
  MbrDyaValues.push_back(gene.Value());
  MbrDyaValueSet.Append(gene.ValueSet());
}

bool Chromosome::LinesUp(const Chromosome& from, std::int32_t first) const {
  if (from.MbrBlnOwnRules || from.MbrPtrRules == nullptr) return false;
  if (MbrNdxLength == 0) return true;  // takes the table over
  return !MbrBlnOwnRules && MbrPtrRules == from.MbrPtrRules &&
         MbrNdxRuleOffset + MbrNdxLength == from.MbrNdxRuleOffset + first - 1;
}

void Chromosome::AppendRange(const Chromosome& from, std::int32_t first, std::int32_t last,
                             bool copy) {
  const std::int32_t count = last - first + 1;
  if (count <= 0) return;
  const std::int32_t before = MbrNdxLength;
  if (LinesUp(from, first)) {
    if (before == 0) {
      MbrPtrRules = from.MbrPtrRules;
      MbrNdxRuleOffset = from.MbrNdxRuleOffset + first - 1;
      MbrBlnOwnRules = false;
    }
    MbrDyaValues.insert(MbrDyaValues.end(), from.MbrDyaValues.begin() + (first - 1),
                        from.MbrDyaValues.begin() + last);
    MbrDyaValueSet.AppendRange(from.MbrDyaValueSet, first - 1, count);
  } else {
    OwnRules();
    MbrDyaOwnRules.reserve(static_cast<std::size_t>(before + count));
    MbrDyaValues.reserve(static_cast<std::size_t>(before + count));
    for (std::int32_t p = first; p <= last; ++p)
      PushOwn(copy ? from.CopyAt(p) : from.GeneAt(p));
  }
  MbrNdxLength += count;
  MbrNdxLastUsed = list_cursor::AfterAppend(MbrNdxLastUsed, before);
}

void Chromosome::EraseRange(std::int32_t first, std::int32_t last) {
  const std::int32_t count = last - first + 1;
  if (!MbrBlnOwnRules) {
    // Removing from either end keeps the others on their table entries.
    if (first == 1) {
      MbrNdxRuleOffset += count;
    } else if (last != MbrNdxLength) {
      OwnRules();
    }
  }
  if (MbrBlnOwnRules) {
    MbrDyaOwnRules.erase(MbrDyaOwnRules.begin() + (first - 1), MbrDyaOwnRules.begin() + last);
  }
  MbrDyaValues.erase(MbrDyaValues.begin() + (first - 1), MbrDyaValues.begin() + last);
  MbrDyaValueSet.Erase(first - 1, count);
  MbrNdxLength -= count;
  ResetIfEmpty();
}

Chromosome::GeneRef Chromosome::Locate(std::int32_t position) {
  if (!Valid(position)) return GeneRef();
  MbrNdxLastUsed = position;
  return GeneRef(this, position);
}

Chromosome& Chromosome::GeneRef::Owner() {
  QUILL_ASSERT_TEXT(MbrPtrChmOwner != nullptr && MbrNdxPosition >= 1 &&
                        MbrNdxPosition <= MbrPtrChmOwner->MbrNdxLength,
                    "PtrGneTheGene != 0");
  return *MbrPtrChmOwner;
}

int Chromosome::DeleteGene(std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = list_cursor::AfterRemove(MbrNdxLastUsed, position, MbrNdxLength);
  EraseRange(position, position);
  return SUCCESS;
}

std::unique_ptr<Gene> Chromosome::DetachGene(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  auto gene = std::make_unique<Gene>(GeneAt(position));
  MbrNdxLastUsed = list_cursor::AfterRemove(MbrNdxLastUsed, position, MbrNdxLength);
  EraseRange(position, position);
  return gene;
}

int Chromosome::AppendGene(std::unique_ptr<Gene>&& gene) {
  if (gene == nullptr) return CHM_NULL_POINTER;
  const std::int32_t before = MbrNdxLength;
  OwnRules();
  PushOwn(*gene);
  gene.reset();
  ++MbrNdxLength;
  MbrNdxLastUsed = list_cursor::AfterAppend(MbrNdxLastUsed, before);
  return SUCCESS;
}

int Chromosome::InsertGene(std::unique_ptr<Gene>&& gene, std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  if (gene == nullptr) return CHM_NULL_POINTER;
  OwnRules();
  MbrDyaOwnRules.insert(MbrDyaOwnRules.begin() + (position - 1), gene->Rules());
  MbrDyaValues.insert(MbrDyaValues.begin() + (position - 1), gene->Value());
  MbrDyaValueSet.Insert(position - 1, gene->ValueSet());
  gene.reset();
  ++MbrNdxLength;
  MbrNdxLastUsed = list_cursor::AfterInsert(MbrNdxLastUsed, position);
  return SUCCESS;
}

int Chromosome::ReplaceGene(std::unique_ptr<Gene>&& gene, std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  if (gene == nullptr) return CHM_NULL_POINTER;
  int IntErrorCode = InsertGene(std::move(gene), position);
  QUILL_ASSERT(IntErrorCode == SUCCESS);
  IntErrorCode = DeleteGene(position + 1);
  QUILL_ASSERT(IntErrorCode == SUCCESS);
  return SUCCESS;
}

std::unique_ptr<Gene> Chromosome::CloneGene(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  MbrNdxLastUsed = position;
  return std::make_unique<Gene>(CopyAt(position));
}

std::unique_ptr<Chromosome> Chromosome::Clone() {
  auto PtrChmClone = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmClone != 0);
  PtrChmClone->AppendRange(*this, 1, MbrNdxLength, true);
  // Every gene was located in turn.
  if (MbrNdxLength > 0) MbrNdxLastUsed = MbrNdxLength;
  return PtrChmClone;
}

void Chromosome::AppendSegment(Chromosome& from, std::int32_t first, std::int32_t last) {
  const std::int32_t NdxFromLength = from.MbrNdxLength;
  QUILL_ASSERT(first >= 1 && last <= NdxFromLength);
  if (last < first) return;
  if (&from == this) {
    // The genes to copy are those before the first one appended.
    Chromosome part;
    part.AppendRange(*this, first, last, true);
    MbrNdxLastUsed = last;
    AppendRange(part, 1, part.MbrNdxLength, false);
    return;
  }
  AppendRange(from, first, last, true);
  from.MbrNdxLastUsed = last;
}

void Chromosome::AppendUniform(Chromosome& a, Chromosome& b) {
  const std::int32_t length = a.MbrNdxLength;
  const std::int32_t NdxOtherLength = b.MbrNdxLength;
  QUILL_ASSERT(NdxOtherLength == length);
  QUILL_ASSERT(&a != this && &b != this);
  std::int32_t last_a = 0;
  std::int32_t last_b = 0;
  const bool aligned = MbrNdxLength == 0 && !a.MbrBlnOwnRules && !b.MbrBlnOwnRules &&
                       a.MbrPtrRules == b.MbrPtrRules && a.MbrNdxRuleOffset == b.MbrNdxRuleOffset;
  if (aligned && length > 0) {
    // Both parents read the same table entries: the child shares them and
    // takes each value cell and its bit from the parent drawn.
    MbrDyaValues.resize(static_cast<std::size_t>(length));
    MbrDyaValueSet.Resize(length);
    for (std::int32_t i = 1; i <= length; ++i) {
      const bool from_a = quill::Rand() % 1001 <= 500;
      const Chromosome& from = from_a ? a : b;
      (from_a ? last_a : last_b) = i;
      MbrDyaValues[Index(i)] = from.MbrDyaValues[Index(i)];
      if (from.ValueSet(i)) MbrDyaValueSet.Set(i - 1);
    }
    MbrPtrRules = a.MbrPtrRules;
    MbrNdxRuleOffset = a.MbrNdxRuleOffset;
    MbrBlnOwnRules = false;
    MbrNdxLength = length;
    MbrNdxLastUsed = 1;
  } else {
    for (std::int32_t i = 1; i <= length; ++i) {
      const bool from_a = quill::Rand() % 1001 <= 500;
      (from_a ? last_a : last_b) = i;
      AppendRange(from_a ? a : b, i, i, true);
    }
  }
  // Each parent's cursor is left on the last gene copied from it.
  if (last_a > 0) a.MbrNdxLastUsed = last_a;
  if (last_b > 0) b.MbrNdxLastUsed = last_b;
  if (&a == &b && length > 0) a.MbrNdxLastUsed = length;
}

void Chromosome::Reserve(std::int32_t length) {
  MbrDyaValues.reserve(static_cast<std::size_t>(length > 0 ? length : 0));
  MbrDyaValueSet.Reserve(length > 0 ? length : 0);
}

int Chromosome::AppendCopies(Chromosome* other) {
  if (other == nullptr) return CHM_NULL_POINTER;
  // The count is read once: appending a chromosome to itself copies it once.
  const std::int32_t count = other->MbrNdxLength;
  if (count > 0) AppendSegment(*other, 1, count);
  return SUCCESS;
}

int Chromosome::MoveFrom(Chromosome* other) {
  if (other == nullptr) return CHM_NULL_POINTER;
  // Moving a chromosome into itself would never end; it already holds its genes.
  if (other == this) return SUCCESS;
  const std::int32_t count = other->MbrNdxLength;
  if (count == 0) return SUCCESS;
  AppendRange(*other, 1, count, false);
  other->EraseRange(1, count);
  other->MbrNdxLastUsed = 0;
  return SUCCESS;
}

std::unique_ptr<Chromosome> Chromosome::CopySegment(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxLength || last > MbrNdxLength || last < first) return nullptr;
  auto PtrChmNewChrom = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmNewChrom != 0);
  // The first copy of a position below 1 finds no gene.
  QUILL_ASSERT_TEXT(first >= 1, "PtrGneClone != 0");
  PtrChmNewChrom->AppendSegment(*this, first, last);
  return PtrChmNewChrom;
}

std::unique_ptr<Chromosome> Chromosome::CutSegment(std::int32_t first, std::int32_t last) {
  if (first > MbrNdxLength || last > MbrNdxLength || last < first) return nullptr;
  auto PtrChmNewChrom = std::make_unique<Chromosome>(0, nullptr);
  QUILL_ASSERT(PtrChmNewChrom != 0);
  // The first detach of a position below 1 finds no gene.
  QUILL_ASSERT_TEXT(first >= 1, "PtrGneTheGene != 0");
  PtrChmNewChrom->AppendRange(*this, first, last, false);
  // The genes leave one by one from `first`.
  for (std::int32_t length = MbrNdxLength; length > MbrNdxLength - (last - first + 1); --length)
    MbrNdxLastUsed = list_cursor::AfterRemove(MbrNdxLastUsed, first, length);
  EraseRange(first, last);
  return PtrChmNewChrom;
}

int Chromosome::RandomizeAt(std::int32_t position) {
  const MetaGene& rule = Rule(position);
  GeneCell& cell = MbrDyaValues[Index(position)];
  if (rule.Type() == GENE_REAL && rule.RangeSet()) {
    // The weights of a network: drawn here directly, with the same draw.
    const gene_rules::BoundsValue b = rule.BoundsValue();
    const float minimum = b.minimum.AsReal();
    const float maximum = b.maximum.AsReal();
    const float value = gene_rules::DrawReal(minimum, maximum);
    cell.SetReal(value);
    MbrDyaValueSet.Set(position - 1);
    // For bounds far apart the drawn value can round to just outside them.
    // Such a gene no longer copies as a plain cell (a copy checks its value),
    // so its chromosome keeps its rules privately from then on.
    if ((value < minimum || value > maximum) && !MbrBlnOwnRules) OwnRules();
    return SUCCESS;
  }
  const int status = gene_rules::Randomize(rule.BoundsValue(), cell);
  if (status == SUCCESS) MbrDyaValueSet.Set(position - 1);
  return status;
}

int Chromosome::RandomizeGene(std::int32_t position) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return RandomizeAt(position);
}

int Chromosome::Randomize() {
  for (std::int32_t i = 1; i <= MbrNdxLength; ++i) {
    const int status = RandomizeAt(i);
    if (status != SUCCESS) {
      MbrNdxLastUsed = i;
      return status;
    }
  }
  if (MbrNdxLength > 0) MbrNdxLastUsed = MbrNdxLength;
  return SUCCESS;
}

int Chromosome::Mutate(float rate) {
  // Taken in double and truncated without rounding to float first; compared
  // as a double so that huge rates cannot overflow an integer.
  const double threshold = std::trunc(static_cast<double>(rate) * 1000.0);
  int result = SUCCESS;
  for (std::int32_t i = 1; i <= MbrNdxLength && result == SUCCESS; ++i) {
    const int r = quill::Rand() % 1001;
    if (threshold >= r) {
      MbrNdxLastUsed = i;
      result = RandomizeAt(i);
    }
  }
  return result;
}

int Chromosome::SetRuleAt(std::int32_t position, const MetaGene& rule) {
  if (rule == Rule(position)) return SUCCESS;
  OwnRules();
  MbrDyaOwnRules[Index(position)] = rule;
  return SUCCESS;
}

int Chromosome::SetTypeAt(std::int32_t position, int type) {
  MetaGene rule = Rule(position);
  const int status = rule.SetType(type);
  return status == SUCCESS ? SetRuleAt(position, rule) : status;
}

int Chromosome::SetIntRangeAt(std::int32_t position, std::int32_t maximum, std::int32_t minimum) {
  MetaGene rule = Rule(position);
  const int status = rule.SetIntRange(maximum, minimum);
  return status == SUCCESS ? SetRuleAt(position, rule) : status;
}

int Chromosome::SetRealRangeAt(std::int32_t position, float maximum, float minimum) {
  MetaGene rule = Rule(position);
  const int status = rule.SetRealRange(maximum, minimum);
  return status == SUCCESS ? SetRuleAt(position, rule) : status;
}

int Chromosome::SetProbabilityAt(std::int32_t position, float probability) {
  MetaGene rule = Rule(position);
  const int status = rule.SetProbability(probability);
  return status == SUCCESS ? SetRuleAt(position, rule) : status;
}

int Chromosome::GetIntValueAt(std::int32_t position, std::int32_t& value) const {
  const int status = gene_rules::CheckValue(Bounds(position), GENE_INTEGER, ValueSet(position));
  if (status == SUCCESS) value = MbrDyaValues[Index(position)].AsInt();
  return status;
}

int Chromosome::GetRealValueAt(std::int32_t position, float& value) const {
  const int status = gene_rules::CheckValue(Bounds(position), GENE_REAL, ValueSet(position));
  if (status == SUCCESS) value = MbrDyaValues[Index(position)].AsReal();
  return status;
}

int Chromosome::GetBinaryValueAt(std::int32_t position, char& value) const {
  const int status = gene_rules::CheckValue(Bounds(position), GENE_BINARY, ValueSet(position));
  if (status == SUCCESS) value = MbrDyaValues[Index(position)].AsBinary();
  return status;
}

int Chromosome::SetIntValueAt(std::int32_t position, std::int32_t value) {
  const int status = gene_rules::CheckIntValue(Bounds(position), value);
  if (status != SUCCESS) return status;
  MbrDyaValues[Index(position)].SetInt(value);
  MbrDyaValueSet.Set(position - 1);
  return SUCCESS;
}

int Chromosome::SetRealValueAt(std::int32_t position, float value) {
  const int status = gene_rules::CheckRealValue(Bounds(position), value);
  if (status != SUCCESS) return status;
  MbrDyaValues[Index(position)].SetReal(value);
  MbrDyaValueSet.Set(position - 1);
  return SUCCESS;
}

int Chromosome::SetBinaryValueAt(std::int32_t position, char value) {
  const int status = gene_rules::CheckBinaryValue(Bounds(position));
  if (status != SUCCESS) return status;
  MbrDyaValues[Index(position)].SetBinary(value);
  MbrDyaValueSet.Set(position - 1);
  return SUCCESS;
}

bool Chromosome::FollowsExactly(const MetaChrom& definition) const {
  if (MbrNdxLength != definition.Length()) return false;
  return MbrNdxLength == 0 ||
         (!MbrBlnOwnRules && MbrPtrRules.get() == definition.Table() && MbrNdxRuleOffset == 0);
}

bool Chromosome::AdoptRulesOf(MetaChrom& definition) {
  if (FollowsExactly(definition)) return true;
  if (MbrBlnOwnRules || MbrNdxLength != definition.Length() || MbrNdxLength == 0) return false;
  std::shared_ptr<const RuleTable> rules = definition.SharedCopies();
  const auto mine = MbrPtrRules->begin() + MbrNdxRuleOffset;
  if (!std::equal(mine, mine + MbrNdxLength, rules->begin())) return false;
  MbrPtrRules = std::move(rules);
  MbrNdxRuleOffset = 0;
  return FollowsExactly(definition);
}

int Chromosome::SetGeneType(std::int32_t position, int type) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetTypeAt(position, type);
}

int Chromosome::GetGeneType(std::int32_t position, int& type) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  type = Rule(position).Type();
  return SUCCESS;
}

int Chromosome::SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetIntRangeAt(position, maximum, minimum);
}

int Chromosome::SetRealRange(std::int32_t position, float maximum, float minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetRealRangeAt(position, maximum, minimum);
}

int Chromosome::SetProbability(std::int32_t position, float probability) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetProbabilityAt(position, probability);
}

int Chromosome::GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return Rule(position).GetIntRange(maximum, minimum);
}

int Chromosome::GetRealRange(std::int32_t position, float& maximum, float& minimum) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return Rule(position).GetRealRange(maximum, minimum);
}

int Chromosome::GetProbability(std::int32_t position, float& probability) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return Rule(position).GetProbability(probability);
}

int Chromosome::GetIntValue(std::int32_t position, std::int32_t& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return GetIntValueAt(position, value);
}

int Chromosome::GetRealValue(std::int32_t position, float& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return GetRealValueAt(position, value);
}

int Chromosome::GetBinaryValue(std::int32_t position, char& value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return GetBinaryValueAt(position, value);
}

int Chromosome::SetIntValue(std::int32_t position, std::int32_t value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetIntValueAt(position, value);
}

int Chromosome::SetRealValue(std::int32_t position, float value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetRealValueAt(position, value);
}

int Chromosome::SetBinaryValue(std::int32_t position, char value) {
  if (!Valid(position)) return CHM_BAD_INDEX;
  MbrNdxLastUsed = position;
  return SetBinaryValueAt(position, value);
}
