#include "Bramble/MetaChrom.h"

#include "Bramble/Codes.h"
#include "Bramble/ListCursor.h"
#include "common/Assert.h"

namespace {
constexpr const char* kSourceUnit = "Bramble/Bramble10";

// The definition that MetaGene::Clone makes of `rule`, without asserting.
MetaGene CopyOf(const MetaGene& rule) {
  MetaGene copy;
  rule.CopyInto(copy);
  return copy;
}
}  // namespace

MetaChrom::MetaChrom(std::int32_t length) {
  if (length <= 0) return;
  MbrPtrRules = std::make_shared<RuleTable>(static_cast<std::size_t>(length));
  MbrNdxLength = length;
  MbrNdxLastUsed = 1;
}

MetaChrom::RuleTable& MetaChrom::Writable() {
  MbrSurvey.done = false;
  if (MbrPtrRules == nullptr) {
    MbrPtrRules = std::make_shared<RuleTable>();
  } else if (MbrPtrRules.use_count() > 1) {
    MbrPtrRules = std::make_shared<RuleTable>(*MbrPtrRules);
  }
  return *MbrPtrRules;
}

MetaGene& MetaChrom::At(std::int32_t position) {
  MbrNdxLastUsed = position;
  return Writable()[static_cast<std::size_t>(position - 1)];
}

const MetaGene& MetaChrom::Read(std::int32_t position) {
  MbrNdxLastUsed = position;
  return (*MbrPtrRules)[static_cast<std::size_t>(position - 1)];
}

MetaGene* MetaChrom::Locate(std::int32_t position) {
  if (!Valid(position)) return nullptr;
  MbrBlnHandedOut = true;
  return &At(position);
}

int MetaChrom::RemoveGene(std::int32_t position) {
  if (!Valid(position)) return MCH_BAD_REMOVE_INDEX;
  MbrNdxLastUsed = list_cursor::AfterRemove(MbrNdxLastUsed, position, MbrNdxLength);
  RuleTable& rules = Writable();
  rules.erase(rules.begin() + (position - 1));
  --MbrNdxLength;
  if (MbrNdxLength == 0) MbrPtrRules.reset();
  return SUCCESS;
}

int MetaChrom::AppendGene(std::unique_ptr<MetaGene>&& gene) {
  if (gene == nullptr) return MCH_NULL_GENE;
  Writable().push_back(*gene);
  gene.reset();
  MbrNdxLastUsed = list_cursor::AfterAppend(MbrNdxLastUsed, MbrNdxLength);
  ++MbrNdxLength;
  return SUCCESS;
}

int MetaChrom::SetGeneType(std::int32_t position, int type) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  MetaGene changed = Read(position);
  int status = changed.SetType(type);
  if (status == SUCCESS && !(changed == Read(position))) At(position) = changed;
  return status;
}

int MetaChrom::GetGeneType(std::int32_t position, int& type) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  type = Read(position).Type();
  return SUCCESS;
}

int MetaChrom::SetIntRange(std::int32_t position, std::int32_t maximum, std::int32_t minimum) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  MetaGene changed = Read(position);
  int status = changed.SetIntRange(maximum, minimum);
  if (status == SUCCESS && !(changed == Read(position))) At(position) = changed;
  return status;
}

int MetaChrom::SetRealRange(std::int32_t position, float maximum, float minimum) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  MetaGene changed = Read(position);
  int status = changed.SetRealRange(maximum, minimum);
  if (status == SUCCESS && !(changed == Read(position))) At(position) = changed;
  return status;
}

int MetaChrom::SetProbability(std::int32_t position, float probability) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  MetaGene changed = Read(position);
  int status = changed.SetProbability(probability);
  if (status == SUCCESS && !(changed == Read(position))) At(position) = changed;
  return status;
}

int MetaChrom::GetIntRange(std::int32_t position, std::int32_t& maximum, std::int32_t& minimum) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  return Read(position).GetIntRange(maximum, minimum);
}

int MetaChrom::GetRealRange(std::int32_t position, float& maximum, float& minimum) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  return Read(position).GetRealRange(maximum, minimum);
}

int MetaChrom::GetProbability(std::int32_t position, float& probability) {
  if (!Valid(position)) return MCH_BAD_INDEX;
  return Read(position).GetProbability(probability);
}

void MetaChrom::Survey() {
  if (MbrSurvey.done && !MbrBlnHandedOut) return;
  MbrSurvey = {};
  if (MbrPtrRules != nullptr) {
    for (const MetaGene& rule : *MbrPtrRules) {
      MetaGene copy;
      const int status = rule.CopyInto(copy);
      if (MbrSurvey.copy_status == SUCCESS) MbrSurvey.copy_status = status;
      if (rule.Type() != GENE_UNDEFINED && MbrSurvey.build_status == SUCCESS)
        MbrSurvey.build_status = rule.RangeSet() ? status : GNE_NO_RANGE;
      if (!(copy == rule)) MbrSurvey.copy_form = false;
    }
  }
  MbrSurvey.done = true;
}

int MetaChrom::BuildStatus() {
  Survey();
  return MbrSurvey.build_status;
}

std::shared_ptr<const MetaChrom::RuleTable> MetaChrom::SharedCopies() {
  if (MbrPtrRules == nullptr) return nullptr;
  Survey();
  if (MbrSurvey.copy_form && !MbrBlnHandedOut) return MbrPtrRules;
  auto copies = std::make_shared<RuleTable>();
  copies->reserve(MbrPtrRules->size());
  for (const MetaGene& rule : *MbrPtrRules)
    copies->push_back(CopyOf(rule));
  return copies;
}

std::unique_ptr<MetaChrom> MetaChrom::Clone() {
  auto PtrMchClone = std::make_unique<MetaChrom>(0);
  QUILL_ASSERT(PtrMchClone != 0);
  if (MbrNdxLength == 0) return PtrMchClone;
  // Every definition is copied as MetaGene::Clone would copy it, which
  // asserts that its bounds are still valid for its type.
  Survey();
  int IntReturn = MbrSurvey.copy_status;
  QUILL_ASSERT(IntReturn == SUCCESS);
  std::shared_ptr<const RuleTable> copies = SharedCopies();
  // The clone may write to a table it shares: Writable copies it first.
  PtrMchClone->MbrPtrRules = std::const_pointer_cast<RuleTable>(copies);
  PtrMchClone->MbrNdxLength = MbrNdxLength;
  PtrMchClone->MbrNdxLastUsed = 1;
  // The copies are valid and in their own copy form.
  PtrMchClone->MbrSurvey = {true, SUCCESS, MbrSurvey.build_status, true};
  MbrNdxLastUsed = MbrNdxLength;
  return PtrMchClone;
}
