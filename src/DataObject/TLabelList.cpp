#include "DataObject/TLabelList.h"

TLabelList::TLabelList(const std::string& text, double value) {
  MbrDyaLabels.emplace_back(text, value);
}

void TLabelList::Add(const std::string& text, double value) {
  for (TLabel& label : MbrDyaLabels) {
    if (label.MbrStrText == text) {
      label.MbrDblValue += value;
      return;
    }
  }
  MbrDyaLabels.emplace_back(text, value);
}

const TLabel* TLabelList::Find(const std::string& text) const {
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
