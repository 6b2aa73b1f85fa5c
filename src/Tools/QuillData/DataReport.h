// What `quill-data describe` and `quill-data to-csv` make of a data-set file.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "Tools/Common/ColumnNames.h"

class Data;

namespace quill::tools {

// The rows of the data sets of one file as CSV: a header naming the columns
// (input1 ..., output1 ..., labels; generated1 ..., error1 ..., labels2 for
// a second data set) and one line per row, every number in the shortest form
// that reads back as the same value. Either data set may be null.
void WriteDataCsv(std::ostream& out, const Data* first, const Data* second);

// Rows and columns of the data sets, and for each column its minimum,
// maximum and mean (and its name, when `names` has one for every column of
// the first data set); for label lists the labels with the rows that carry
// them.
void WriteDataDescription(std::ostream& out, const std::string& name, const Data* first,
                          const Data* second, const std::optional<ColumnNames>& names = {});

}  // namespace quill::tools
