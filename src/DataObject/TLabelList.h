// Text labels of one data-set row.
//
// A TLabelList holds labels (a text with a value) in the order of their first
// appearance. Adding a text that is already present (byte-for-byte, case
// sensitive) adds the value to that label instead of appending a new one, so
// a repeated word accumulates. Copies are deep.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

class TLabel {
 public:
  TLabel() = default;
  TLabel(const std::string& text, double value) : MbrDblValue(value), MbrStrText(text) {}

  double Value() const { return MbrDblValue; }
  const std::string& Text() const { return MbrStrText; }

  double MbrDblValue = 0.0;
  std::string MbrStrText;
};

class TLabelList {
 public:
  TLabelList() = default;
  // A one-label list.
  TLabelList(const std::string& text, double value);

  // Adds `value` to the label whose text equals `text` exactly, or appends a
  // new label with that text and value; returns that label. Takes constant
  // time on average however long the list is.
  const TLabel& Add(const std::string& text, double value);
  // Removes every label.
  void Clear() {
    MbrDyaLabels.clear();
    MbrMapIndex.clear();
  }

  int Count() const { return static_cast<int>(MbrDyaLabels.size()); }
  // REQUIRES: 0 <= i < Count().
  const TLabel& Get(int i) const { return MbrDyaLabels[static_cast<std::size_t>(i)]; }
  // The label with text `text` (exact match), or nullptr.
  const TLabel* Find(const std::string& text) const;

  bool operator==(const TLabelList& other) const;

 private:
  // Lists up to this length are searched label by label; longer ones keep
  // an index, so that a row of many thousand labels reads in linear time.
  static constexpr std::size_t kIndexFrom = 16;

  std::vector<TLabel> MbrDyaLabels;
  // Position of each text in MbrDyaLabels; empty while the list is short.
  std::unordered_map<std::string, std::size_t> MbrMapIndex;
};
