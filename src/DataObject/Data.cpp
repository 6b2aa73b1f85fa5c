#include "DataObject/Data.h"

#include <algorithm>
#include <cstdint>

#include "KQmessage/KQML.h"
#include "common/Assert.h"
#include "errors/TException.h"

namespace {
constexpr const char* kSourceUnit = "DataObject/Data";
constexpr const char* kBadParameter = "Bad Parameter";

[[noreturn]] void Throw(const char* message, const char* location) {
  throw TException(message, kBadParameter, location, nullptr);
}

bool IndicesWithin(int count, const int* indices, int columns) {
  if (count < 0) return false;
  if (count > 0 && indices == nullptr) return false;
  for (int i = 0; i < count; ++i) {
    if (indices[i] < 0 || indices[i] >= columns) return false;
  }
  return true;
}
}  // namespace

Data::Data(int rows, int inputs, int outputs, bool labels)
    : MbrNdxRows(rows),
      MbrNdxInputs(std::max(inputs, 0)),
      MbrNdxOutputs(std::max(outputs, 0)),
      MbrBlnLabels(labels) {
  QUILL_ASSERT(rows >= 0);
  // Zero-filled storage and empty label lists are what appending MbrNdxRows
  // zero rows would leave behind; the ring positions then start from 0.
  MbrDyaRtpInputs.assign(RowOffset(rows, MbrNdxInputs), 0.0);
  MbrDyaRtpOutputs.assign(RowOffset(rows, MbrNdxOutputs), 0.0);
  if (MbrBlnLabels) MbrDyaLblLabels.resize(static_cast<std::size_t>(rows));
}

Data::~Data() = default;

std::unique_ptr<Data> Data::Clone() const {
  return std::make_unique<Data>(*this);
}

void Data::CheckRow(int row, const char* location) const {
  if (!IsValidRow(row)) Throw("Invalid Data Row", location);
}

// --- Sequential reads ------------------------------------------------------

void Data::MoveCursor(int step) {
  // One step forward from a stored row, as every sequential pass does:
  // after the newest row comes the oldest, otherwise the next position.
  if (step == 1 && MbrNdxDataRows > 0 &&
      (MbrNdxCurrent < MbrNdxDataRows || MbrNdxDataRows == MbrNdxRows)) {
    if (MbrNdxCurrent == MbrNdxLast) {
      MbrNdxCurrent = MbrNdxFirst;
    } else {
      MbrNdxCurrent = MbrNdxCurrent + 1 == MbrNdxRows ? 0 : MbrNdxCurrent + 1;
    }
    return;
  }
  // The cycle is the stored rows oldest first, or every position when none
  // is stored. 64-bit arithmetic: any int step wraps correctly.
  const std::int64_t cycle = MbrNdxDataRows > 0 ? MbrNdxDataRows : MbrNdxRows;
  if (cycle == 0) return;
  const std::int64_t start = MbrNdxDataRows > 0 ? MbrNdxFirst : 0;
  const std::int64_t rows = MbrNdxRows;
  std::int64_t place = ((MbrNdxCurrent - start) % rows + rows) % rows;
  place = ((place + step) % cycle + cycle) % cycle;
  MbrNdxCurrent = static_cast<int>((start + place) % rows);
}

void Data::GetCurrentRow(double* inputs, double* outputs, TLabelList** labels) {
  if (MbrNdxRows == 0) {
    // No row at all: deliver what an unstored row holds.
    if (inputs != nullptr) {
      const int n =
          MbrDyaNdxInputFeatures ? static_cast<int>(MbrDyaNdxInputFeatures->size()) : MbrNdxInputs;
      std::fill(inputs, inputs + n, 0.0);
    }
    if (outputs != nullptr) {
      const int n = (MbrDyaNdxInputFeatures && MbrDyaNdxOutputFeatures)
                        ? static_cast<int>(MbrDyaNdxOutputFeatures->size())
                        : MbrNdxOutputs;
      std::fill(outputs, outputs + n, 0.0);
    }
    if (labels != nullptr) *labels = nullptr;
    return;
  }
  const int row = MbrNdxCurrent;
  if (!MbrDyaNdxInputFeatures) {
    if (inputs != nullptr) std::copy_n(InputRowPtr(row), MbrNdxInputs, inputs);
    if (outputs != nullptr) std::copy_n(OutputRowPtr(row), MbrNdxOutputs, outputs);
  } else {
    // Selections were checked against the column counts when they were set.
    if (inputs != nullptr) {
      const double* src = InputRowPtr(row);
      const std::vector<int>& sel = *MbrDyaNdxInputFeatures;
      for (std::size_t i = 0; i < sel.size(); ++i)
        inputs[i] = src[sel[i]];
    }
    if (outputs != nullptr) {
      const double* src = OutputRowPtr(row);
      if (MbrDyaNdxOutputFeatures) {
        const std::vector<int>& sel = *MbrDyaNdxOutputFeatures;
        for (std::size_t i = 0; i < sel.size(); ++i)
          outputs[i] = src[sel[i]];
      } else {
        std::copy_n(src, MbrNdxOutputs, outputs);
      }
    }
  }
  if (labels != nullptr) {
    *labels = MbrBlnLabels ? &MbrDyaLblLabels[static_cast<std::size_t>(row)] : nullptr;
  }
}

void Data::GetNextRow(double* inputs, double* outputs, TLabelList** labels) {
  MoveCursor(1);
  GetCurrentRow(inputs, outputs, labels);
}

void Data::GetPreviousRow(double* inputs, double* outputs) {
  MoveCursor(-1);
  GetCurrentRow(inputs, outputs, nullptr);
}

// --- Appending -------------------------------------------------------------

void Data::StoreRow(int row, const double* inputs, const double* outputs,
                    const TLabelList* labels) {
  if (inputs != nullptr) std::copy_n(inputs, MbrNdxInputs, InputRowPtr(row));
  if (outputs != nullptr) std::copy_n(outputs, MbrNdxOutputs, OutputRowPtr(row));
  if (MbrBlnLabels) {
    TLabelList& list = MbrDyaLblLabels[static_cast<std::size_t>(row)];
    if (labels != nullptr) {
      list = *labels;
    } else {
      list.Clear();
    }
  }
}

void Data::AddRow(const double* inputs, const double* outputs, const TLabelList* labels) {
  if (MbrNdxDataRows == 0) {
    MbrNdxDataRows = 1;
    MbrNdxFirst = 0;
    MbrNdxLast = 0;
  } else if (MbrNdxDataRows < MbrNdxRows) {
    ++MbrNdxDataRows;
    MbrNdxLast = MbrNdxDataRows - 1;
  } else {
    // Full: the newest row takes the place of the oldest.
    MbrNdxFirst = (MbrNdxFirst + 1) % MbrNdxRows;
    MbrNdxLast = (MbrNdxLast + 1) % MbrNdxRows;
  }
  QUILL_ASSERT(MbrNdxDataRows <= MbrNdxRows);
  StoreRow(MbrNdxLast, inputs, outputs, labels);
}

void Data::AddRows(const double* const* inputs, const double* const* outputs, int count,
                   const TLabelList* labels) {
  for (int i = 0; i < count; ++i) {
    AddRow(inputs != nullptr ? inputs[i] : nullptr, outputs != nullptr ? outputs[i] : nullptr,
           labels != nullptr ? &labels[i] : nullptr);
  }
}

void Data::SetRow(int row, const double* inputs, const double* outputs, const TLabelList* labels) {
  CheckRow(row, "Data::SetRow");
  StoreRow(row, inputs, outputs, labels);
}

// --- Indexed access --------------------------------------------------------

void Data::GetInputDatum(int row, int column, double* value) const {
  CheckRow(row, "Data::GetInputDatum");
  if (column < 0 || column >= MbrNdxInputs) {
    Throw("Invalid Input Data Column", "Data::GetInputDatum");
  }
  *value = InputRowPtr(row)[column];
}

void Data::GetOutputDatum(int row, int column, double* value) const {
  CheckRow(row, "Data::GetOutputDatum");
  if (column < 0 || column >= MbrNdxOutputs) {
    Throw("Invalid Output Data Column", "Data::GetOutputDatum");
  }
  *value = OutputRowPtr(row)[column];
}

void Data::SetInputDatum(int row, int column, double value) {
  CheckRow(row, "Data::SetInputDatum");
  if (column < 0 || column >= MbrNdxInputs) {
    Throw("Invalid Input Data Column", "Data::SetInputDatum");
  }
  InputRowPtr(row)[column] = value;
}

void Data::SetOutputDatum(int row, int column, double value) {
  CheckRow(row, "Data::SetOutputDatum");
  if (column < 0 || column >= MbrNdxOutputs) {
    Throw("Invalid Output Data Column", "Data::SetOutputDatum");
  }
  OutputRowPtr(row)[column] = value;
}

void Data::GetInputRow(int row, double* values) const {
  CheckRow(row, "Data::GetInputRow");
  std::copy_n(InputRowPtr(row), MbrNdxInputs, values);
}

void Data::GetOutputRow(int row, double* values) const {
  CheckRow(row, "Data::GetOutputRow");
  std::copy_n(OutputRowPtr(row), MbrNdxOutputs, values);
}

void Data::GetInputRow(int row, double* values, int count, const int* indices) const {
  CheckRow(row, "Data::GetInputRow");
  if (!IndicesWithin(count, indices, MbrNdxInputs)) {
    Throw("Invalid Input Data Column", "Data::GetInputRow");
  }
  const double* src = InputRowPtr(row);
  for (int i = 0; i < count; ++i)
    values[i] = src[indices[i]];
}

void Data::GetOutputRow(int row, double* values, int count, const int* indices) const {
  CheckRow(row, "Data::GetOutputRow");
  if (!IndicesWithin(count, indices, MbrNdxOutputs)) {
    Throw("Invalid Output Data Column", "Data::GetOutputRow");
  }
  const double* src = OutputRowPtr(row);
  for (int i = 0; i < count; ++i)
    values[i] = src[indices[i]];
}

void Data::GetBlock(double** inputs, double** outputs, int first, int last, int* count) const {
  *count = 0;
  if (!IsValidRow(first)) Throw("Data Block Fault", "Data::GetBlock");
  const int end = std::min(last, MbrNdxLast);
  for (int row = first; row <= end; ++row) {
    if (inputs != nullptr) GetInputRow(row, inputs[*count]);
    if (outputs != nullptr) GetOutputRow(row, outputs[*count]);
    ++*count;
  }
}

// --- Labels ----------------------------------------------------------------

void Data::GetLabels(int row, TLabelList** labels) {
  CheckRow(row, "Data::GetLabels");
  *labels = MbrBlnLabels ? &MbrDyaLblLabels[static_cast<std::size_t>(row)] : nullptr;
}

void Data::GetLabels(int row, const TLabelList** labels) const {
  CheckRow(row, "Data::GetLabels");
  *labels = MbrBlnLabels ? &MbrDyaLblLabels[static_cast<std::size_t>(row)] : nullptr;
}

void Data::SetLabels(int row, const TLabelList* labels) {
  CheckRow(row, "Data::SetLabels");
  if (!MbrBlnLabels) return;
  TLabelList& list = MbrDyaLblLabels[static_cast<std::size_t>(row)];
  if (labels != nullptr) {
    list = *labels;
  } else {
    list.Clear();
  }
}

void Data::ClearLabels(int row) {
  CheckRow(row, "Data::ClearLabels");
  if (MbrBlnLabels) MbrDyaLblLabels[static_cast<std::size_t>(row)].Clear();
}

void Data::AppendLabel(int row, double value, const std::string& text) {
  CheckRow(row, "Data::AppendLabel");
  if (MbrBlnLabels) MbrDyaLblLabels[static_cast<std::size_t>(row)].Add(text, value);
}

// --- Feature selection -----------------------------------------------------

bool Data::AreValidInputFeatures(int count, const int* indices) const {
  return IndicesWithin(count, indices, MbrNdxInputs);
}

bool Data::AreValidOutputFeatures(int count, const int* indices) const {
  return IndicesWithin(count, indices, MbrNdxOutputs);
}

void Data::SetInputFeatures(int count, const int* indices) {
  // An index outside the columns would make every sequential read go out of
  // bounds, so it is refused here, once, rather than checked on every read.
  if (!AreValidInputFeatures(count, indices)) {
    Throw("Invalid Input Feature", "Data::SetInputFeatures");
  }
  MbrDyaNdxInputFeatures.emplace(indices, indices + count);
}

void Data::SetFeatures(int input_count, const int* input_indices, int output_count,
                       const int* output_indices) {
  if (!AreValidInputFeatures(input_count, input_indices)) {
    Throw("Invalid Input Feature", "Data::SetFeatures");
  }
  if (!AreValidOutputFeatures(output_count, output_indices)) {
    Throw("Invalid Output Feature", "Data::SetFeatures");
  }
  MbrDyaNdxInputFeatures.emplace(input_indices, input_indices + input_count);
  MbrDyaNdxOutputFeatures.emplace(output_indices, output_indices + output_count);
}

void Data::ClearFeatures() {
  MbrDyaNdxInputFeatures.reset();
  MbrDyaNdxOutputFeatures.reset();
}

void Data::GetInputFeatures(int* count, std::vector<int>* indices) const {
  if (MbrDyaNdxInputFeatures) {
    *count = static_cast<int>(MbrDyaNdxInputFeatures->size());
    *indices = *MbrDyaNdxInputFeatures;
  } else {
    *count = 0;
    indices->clear();
  }
}
