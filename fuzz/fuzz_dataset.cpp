// Fuzz target: data-set files.
//
// The input is read as a data-set file. A file that reads is written back
// with the data-set writer and must read back with the same shape, values
// (to the written precision) and label lists. The same bytes also go
// through the chunked reader and the file identification, which may reject
// them only with their own errors.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "DataObject/Data.h"
#include "DataObject/TLabelList.h"
#include "FileHandler/FileTools.h"
#include "FuzzSupport.h"
#include "KQmessage/KQML.h"
#include "common/Status.h"

namespace {

const std::string& InputPath() {
  static const std::string path = quillfuzz::ScratchPath("input.dat");
  return path;
}

const std::string& WrittenPath() {
  static const std::string path = quillfuzz::ScratchPath("written.dat");
  return path;
}

// A data set that holds something a file can carry.
bool Carries(const Data* d) {
  return d != nullptr && (d->NumInputs() > 0 || d->NumOutputs() > 0 || d->HasLabels());
}

bool Near(double a, double b, double relative) {
  return std::fabs(a - b) <= std::fabs(a) * relative + 1e-300;
}

void CheckSame(const Data& a, const Data& b) {
  FUZZ_CHECK(a.NumRows() == b.NumRows() && a.NumDataRows() == b.NumDataRows());
  FUZZ_CHECK(a.NumInputs() == b.NumInputs() && a.NumOutputs() == b.NumOutputs());
  FUZZ_CHECK(a.HasLabels() == b.HasLabels());
  for (int r = 0; r < a.NumRows(); ++r) {
    for (int c = 0; c < a.NumInputs(); ++c) {
      double x = 0, y = 0;
      a.GetInputDatum(r, c, &x);
      b.GetInputDatum(r, c, &y);
      FUZZ_CHECK(Near(x, y, 1e-14));
    }
    for (int c = 0; c < a.NumOutputs(); ++c) {
      double x = 0, y = 0;
      a.GetOutputDatum(r, c, &x);
      b.GetOutputDatum(r, c, &y);
      FUZZ_CHECK(Near(x, y, 1e-14));
    }
    if (!a.HasLabels()) continue;
    const TLabelList* la = nullptr;
    const TLabelList* lb = nullptr;
    a.GetLabels(r, &la);
    b.GetLabels(r, &lb);
    FUZZ_CHECK(la->Count() == lb->Count());
    for (int i = 0; i < la->Count(); ++i) {
      FUZZ_CHECK(la->Get(i).Text() == lb->Get(i).Text());
      // Label values are written with 9 decimals.
      FUZZ_CHECK(std::fabs(la->Get(i).Value() - lb->Get(i).Value()) <=
                 1e-9 + std::fabs(la->Get(i).Value()) * 1e-15);
    }
  }
}

void ReadAndWriteBack(FileTools& ft) {
  std::unique_ptr<Data> first, second;
  try {
    const int code = ft.ReadDataFile(InputPath(), &first, &second);
    FUZZ_CHECK(code == SUCCESS || code == FIL_BAD_FORMAT);
    if (code != SUCCESS) return;
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(!e.message.empty());
    return;
  }
  const Data* a = Carries(first.get()) ? first.get() : nullptr;
  const Data* b = Carries(second.get()) ? second.get() : nullptr;
  if (a == nullptr && b == nullptr) return;  // nothing a file could carry back
  FUZZ_CHECK(ft.WriteDataFile(WrittenPath(), a, b) == SUCCESS);
  std::unique_ptr<Data> first2, second2;
  try {
    FUZZ_CHECK(ft.ReadDataFile(WrittenPath(), &first2, &second2) == SUCCESS);
  } catch (const FileTools::Error& e) {
    quillfuzz::Violation(("written data set reads back: " + e.message).c_str(), __FILE__, __LINE__);
  }
  FUZZ_CHECK((a != nullptr) == Carries(first2.get()));
  FUZZ_CHECK((b != nullptr) == Carries(second2.get()));
  if (a != nullptr) CheckSame(*a, *first2);
  if (b != nullptr) CheckSame(*b, *second2);
}

void ReadChunk(FileTools& ft) {
  std::unique_ptr<Data> first, second;
  long offset = 0;
  try {
    FUZZ_CHECK(ft.ReadDataChunk(InputPath(), &offset, 2, &first, &second) == SUCCESS);
    FUZZ_CHECK(offset >= 0);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(!e.message.empty());
  }
}

void Identify(FileTools& ft) {
  try {
    FUZZ_CHECK(ft.IdentifyFile(InputPath()) != nullptr);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(!e.message.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quillfuzz::WriteFile(InputPath(), data, size);
  FileTools ft;
  ReadAndWriteBack(ft);
  ReadChunk(ft);
  Identify(ft);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
