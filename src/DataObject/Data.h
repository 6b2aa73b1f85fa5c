// In-memory data set: rows of input values, output values and optional labels.
//
// A Data has a fixed row capacity and fixed column counts. Rows are appended
// into a ring: once the capacity is reached, each further row overwrites the
// oldest one. Rows within the capacity that were never stored read as zeros
// with empty label lists.
//
// Sequential consumers (the network recall, the error measures) call Rewind()
// and then GetNextRow() once per row; the cursor walks the stored rows oldest
// first and wraps around. GetNextRow() allocates nothing: each side's values
// are one contiguous row-major block.
//
// An input feature selection makes the sequential reads deliver only the
// chosen input columns, in the chosen order, packed from the buffer's start;
// an output selection applies only together with an input selection. Indexed
// access (GetInputDatum, GetInputRow, GetBlock, ...) ignores the selections.
//
// Bad rows and columns from outside throw TException with category
// "Bad Parameter" and the operation as location; nothing is changed then.
// Label operations on a data set created without labels check the row and
// otherwise do nothing (GetLabels hands out nullptr).
//
// Not thread-safe: the sequential reads move the cursor.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "DataObject/TLabelList.h"

class Data {
 public:
  // A data set of `rows` rows (capacity, >= 0), with `inputs` and `outputs`
  // columns (a count <= 0 gives that side no columns) and, when `labels` is
  // set, one label list per row. Reads as zeros everywhere; no stored rows.
  Data(int rows, int inputs, int outputs, bool labels);
  Data(const Data& other) = default;
  Data& operator=(const Data& other) = default;
  virtual ~Data();

  int NumRows() const { return MbrNdxRows; }
  int NumDataRows() const { return MbrNdxDataRows; }
  int NumInputs() const { return MbrNdxInputs; }
  int NumOutputs() const { return MbrNdxOutputs; }
  bool HasLabels() const { return MbrBlnLabels; }
  bool IsValidRow(int row) const { return row >= 0 && row < MbrNdxRows; }
  // Ring positions of the oldest and newest stored rows, and of the cursor.
  int FirstRow() const { return MbrNdxFirst; }
  int LastRow() const { return MbrNdxLast; }
  int CurrentRow() const { return MbrNdxCurrent; }

  // A deep copy: rows, labels, ring positions, cursor and selections.
  std::unique_ptr<Data> Clone() const;

  // --- Sequential reads -------------------------------------------------
  // Places the cursor so that the next GetNextRow() delivers the oldest row.
  void Rewind() { MbrNdxCurrent = MbrNdxLast; }
  // Moves the cursor by `step` places (negative: backwards) through the
  // stored rows in ring order, wrapping in both directions; with no stored
  // row, through all positions.
  void MoveCursor(int step);
  // Copies the row under the cursor (selections applied). Any argument may
  // be nullptr; `labels` receives the row's own list (nullptr without labels).
  void GetCurrentRow(double* inputs, double* outputs, TLabelList** labels);
  // MoveCursor(+1), then GetCurrentRow().
  virtual void GetNextRow(double* inputs, double* outputs, TLabelList** labels);
  // MoveCursor(-1), then GetCurrentRow() without labels.
  void GetPreviousRow(double* inputs, double* outputs);

  // --- Appending --------------------------------------------------------
  // Appends one row, overwriting the oldest when full. Arguments as SetRow.
  void AddRow(const double* inputs, const double* outputs, const TLabelList* labels);
  // Appends `count` rows: row i from inputs[i], outputs[i] and labels[i].
  // Each array may be nullptr.
  void AddRows(const double* const* inputs, const double* const* outputs, int count,
               const TLabelList* labels);
  // Copies NumInputs() values from `inputs` and NumOutputs() from `outputs`
  // (a nullptr side is left unchanged); when the data set keeps labels, the
  // row's list becomes a copy of `labels`, or empty for nullptr.
  void SetRow(int row, const double* inputs, const double* outputs, const TLabelList* labels);

  // --- Indexed access (selections ignored) ------------------------------
  void GetInputDatum(int row, int column, double* value) const;
  void GetOutputDatum(int row, int column, double* value) const;
  void SetInputDatum(int row, int column, double value);
  void SetOutputDatum(int row, int column, double value);
  // Copies all inputs (outputs) of the row.
  void GetInputRow(int row, double* values) const;
  void GetOutputRow(int row, double* values) const;
  // values[i] = column indices[i] of the row, for i < count. Indices outside
  // the columns throw "Invalid Input Data Column" ("Invalid Output Data
  // Column"); nothing is read out of bounds.
  void GetInputRow(int row, double* values, int count, const int* indices) const;
  void GetOutputRow(int row, double* values, int count, const int* indices) const;
  // Copies ring positions first ... min(last, LastRow()) into inputs[k] and
  // outputs[k] (either may be nullptr); *count = rows copied (0 when `first`
  // lies beyond the newest row).
  void GetBlock(double** inputs, double** outputs, int first, int last, int* count) const;

  // --- Labels -----------------------------------------------------------
  // The row's own list (not a copy); nullptr when the data set keeps none.
  void GetLabels(int row, TLabelList** labels);
  void GetLabels(int row, const TLabelList** labels) const;
  // The row's list becomes a copy of `labels` (empty for nullptr).
  void SetLabels(int row, const TLabelList* labels);
  void ClearLabels(int row);
  // TLabelList::Add(text, value) on the row's list.
  void AppendLabel(int row, double value, const std::string& text);

  // --- Feature selection ------------------------------------------------
  // Replaces the input selection with a copy of `indices` (count >= 0; zero
  // columns is still a selection). Every index must lie within
  // 0 ... NumInputs() - 1: otherwise throws TException "Invalid Input Feature"
  // (location "Data::SetInputFeatures") and the selection is unchanged.
  void SetInputFeatures(int count, const int* indices);
  // Sets both selections from copies; checks as SetInputFeatures, output
  // indices against NumOutputs() ("Invalid Output Feature").
  void SetFeatures(int input_count, const int* input_indices, int output_count,
                   const int* output_indices);
  // Removes both selections.
  void ClearFeatures();
  bool HasInputFeatures() const { return MbrDyaNdxInputFeatures.has_value(); }
  bool HasOutputFeatures() const { return MbrDyaNdxOutputFeatures.has_value(); }
  // *count = selected input columns (0 when none); *indices = a copy of them.
  void GetInputFeatures(int* count, std::vector<int>* indices) const;
  // True when every index lies within the input (output) columns.
  bool AreValidInputFeatures(int count, const int* indices) const;
  bool AreValidOutputFeatures(int count, const int* indices) const;

 private:
  double* InputRowPtr(int row) { return MbrDyaRtpInputs.data() + RowOffset(row, MbrNdxInputs); }
  const double* InputRowPtr(int row) const {
    return MbrDyaRtpInputs.data() + RowOffset(row, MbrNdxInputs);
  }
  double* OutputRowPtr(int row) { return MbrDyaRtpOutputs.data() + RowOffset(row, MbrNdxOutputs); }
  const double* OutputRowPtr(int row) const {
    return MbrDyaRtpOutputs.data() + RowOffset(row, MbrNdxOutputs);
  }
  static std::size_t RowOffset(int row, int columns) {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns);
  }
  void CheckRow(int row, const char* location) const;
  void StoreRow(int row, const double* inputs, const double* outputs, const TLabelList* labels);

  // Row-major blocks of MbrNdxRows x MbrNdxInputs (MbrNdxOutputs) values;
  // empty for a side without columns.
  std::vector<double> MbrDyaRtpInputs;
  std::vector<double> MbrDyaRtpOutputs;
  // One list per row when MbrBlnLabels is set, else empty.
  std::vector<TLabelList> MbrDyaLblLabels;
  int MbrNdxRows;
  int MbrNdxDataRows = 0;
  int MbrNdxInputs;
  int MbrNdxOutputs;
  bool MbrBlnLabels;
  int MbrNdxFirst = 0;
  int MbrNdxLast = 0;
  int MbrNdxCurrent = 0;
  // Selected column indices in delivery order; nullopt = no selection.
  std::optional<std::vector<int>> MbrDyaNdxInputFeatures;
  std::optional<std::vector<int>> MbrDyaNdxOutputFeatures;
};
