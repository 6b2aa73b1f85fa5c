#include "ArrayData.h"

#include <cmath>
#include <limits>

#include "DataObject/Data.h"
#include "InMemoryTraining.h"
#include "NeuralNets/TBasicLayer.h"
#include "NeuralNets/TMLPNetwork.h"

namespace quill::python {

namespace {

// The most values one data set may hold: its row-major blocks are indexed
// with int rows and columns.
constexpr std::int64_t kMaxValues = std::int64_t{1} << 31;

std::string Text(std::int64_t n) {
  return std::to_string(n);
}

void CheckFinite(const Array& a, const std::string& name) {
  const double* values = a.data();
  const std::int64_t rows = a.shape(0);
  const std::int64_t columns = a.shape(1);
  for (std::int64_t r = 0; r < rows; ++r) {
    for (std::int64_t c = 0; c < columns; ++c) {
      if (!std::isfinite(values[r * columns + c]))
        throw InputError(name + " holds NaN or an infinity at row " + Text(r) + ", column " +
                         Text(c) + ": every value must be a finite number");
    }
  }
}

void CheckShape(const Array& a, const std::string& name) {
  if (a.ndim() != 2)
    throw InputError(name + " must be two-dimensional (one row per pattern), not of " +
                     Text(a.ndim()) + " dimensions");
  if (a.shape(0) < 1) throw InputError("No rows in data set " + name);
  if (a.shape(0) > std::numeric_limits<int>::max() ||
      a.shape(1) > std::numeric_limits<int>::max() || a.shape(0) * a.shape(1) >= kMaxValues)
    throw InputError(name + " is too large: at most 2^31 - 1 values in one data set");
}

}  // namespace

int Inputs(const TMLPNetwork& network) {
  return network.GetLayer(network.inLayer)->numNeurons;
}

int Outputs(const TMLPNetwork& network) {
  return network.GetLayer(network.outLayer)->numNeurons;
}

std::unique_ptr<Data> MakeData(const Array& x, const Array* y, int inputs, int outputs,
                               const std::string& name, const std::string& y_name) {
  CheckShape(x, name);
  const std::int64_t rows = x.shape(0);
  const std::int64_t columns = x.shape(1);
  if (inputs >= 0 && columns != inputs)
    throw InputError("Data does not fit the network in data set " + name + ": " + Text(columns) +
                     " input columns for a network of " + Text(inputs) + " inputs");
  if (y != nullptr) {
    CheckShape(*y, y_name);
    if (y->shape(0) != rows)
      throw InputError(name + " and " + y_name + " differ in rows: " + Text(rows) + " and " +
                       Text(y->shape(0)));
    if (y->shape(1) != outputs)
      throw InputError("Data does not fit the network in data set " + y_name + ": " +
                       Text(y->shape(1)) + " expected outputs for a network of " + Text(outputs) +
                       " outputs");
    CheckFinite(*y, y_name);
  }
  CheckFinite(x, name);
  auto data =
      std::make_unique<Data>(static_cast<int>(rows), static_cast<int>(columns), outputs, false);
  const std::vector<double> zeros(static_cast<std::size_t>(outputs), 0.0);
  for (std::int64_t r = 0; r < rows; ++r) {
    data->AddRow(x.data() + r * columns,
                 y != nullptr ? y->data() + r * static_cast<std::int64_t>(outputs) : zeros.data(),
                 nullptr);
  }
  return data;
}

}  // namespace quill::python
