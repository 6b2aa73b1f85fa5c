// numpy arrays as the library's data sets, checked as the program checks a
// data-set file: rows, finite numbers, and columns that fit the network.
#pragma once

#include <pybind11/numpy.h>

#include <memory>
#include <string>

class Data;
class TMLPNetwork;

namespace quill::python {

// A C-ordered array of doubles (numpy converts other number types).
using Array = pybind11::array_t<double, pybind11::array::c_style | pybind11::array::forcecast>;

// Neurons of the network's input and output layers.
int Inputs(const TMLPNetwork& network);
int Outputs(const TMLPNetwork& network);

// A data set of the rows of `x` (inputs) and `y` (expected outputs), both
// two-dimensional with one row per pattern; `y` may be empty (no columns)
// when `outputs` zeros are wanted instead, for recall. `name` and `y_name`
// name the arrays in messages ("X", "Y[2]"). Throws InputError for
// arrays that are not two-dimensional, without rows, of different row
// counts, holding NaN or an infinity, or with more than the library's
// limits. `inputs` is -1 when any number of input columns is taken (the
// features are applied later); otherwise the columns must match.
std::unique_ptr<Data> MakeData(const Array& x, const Array* y, int inputs, int outputs,
                               const std::string& name, const std::string& y_name);

}  // namespace quill::python
