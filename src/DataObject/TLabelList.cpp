#include "DataObject/TLabelList.h"

TLabelList::TLabelList(const std::string& text, double value) {
  MbrDyaLabels.emplace_back(text, value);
}

const TLabel& TLabelList::Add(const std::string& text, double value) {
  if (MbrMapIndex.empty()) {
    for (TLabel& label : MbrDyaLabels) {
      if (label.MbrStrText == text) {
        label.MbrDblValue += value;
        return label;
      }
    }
    MbrDyaLabels.emplace_back(text, value);
    if (MbrDyaLabels.size() >= kIndexFrom) {
      for (std::size_t i = 0; i < MbrDyaLabels.size(); ++i)
        MbrMapIndex.emplace(MbrDyaLabels[i].MbrStrText, i);
    }
    return MbrDyaLabels.back();
  }
  const auto [entry, added] = MbrMapIndex.try_emplace(text, MbrDyaLabels.size());
  if (!added) {
    TLabel& label = MbrDyaLabels[entry->second];
    label.MbrDblValue += value;
    return label;
  }
  MbrDyaLabels.emplace_back(text, value);
  return MbrDyaLabels.back();
}

const TLabel* TLabelList::Find(const std::string& text) const {
  if (!MbrMapIndex.empty()) {
    const auto entry = MbrMapIndex.find(text);
    return entry == MbrMapIndex.end() ? nullptr : &MbrDyaLabels[entry->second];
  }
  for (const TLabel& label : MbrDyaLabels) {
    if (label.MbrStrText == text) return &label;
  }
  return nullptr;
}

bool TLabelList::operator==(const TLabelList& other) const {
  if (MbrDyaLabels.size() != other.MbrDyaLabels.size()) return false;
  for (std::size_t i = 0; i < MbrDyaLabels.size(); ++i) {
    if (MbrDyaLabels[i].MbrStrText != other.MbrDyaLabels[i].MbrStrText ||
        MbrDyaLabels[i].MbrDblValue != other.MbrDyaLabels[i].MbrDblValue) {
      return false;
    }
  }
  return true;
}
