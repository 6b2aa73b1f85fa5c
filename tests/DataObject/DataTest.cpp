#include "DataObject/Data.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "KQmessage/KQML.h"
#include "errors/TException.h"

namespace {

// Row r of a 2-input, 1-output set: inputs (r, 10r), output 100r.
void AddNumbered(Data& d, int r) {
  const double in[2] = {1.0 * r, 10.0 * r}, out[1] = {100.0 * r};
  d.AddRow(in, out, nullptr);
}

double NextInput0(Data& d) {
  double in[2] = {-1, -1}, out[1];
  d.GetNextRow(in, out, nullptr);
  return in[0];
}

// `op` must throw TException with `message`, "Bad Parameter" and `location`.
template <typename Op>
void ExpectThrows(Op op, const std::string& message, const std::string& location) {
  try {
    op();
    ADD_FAILURE() << "no exception, expected " << message;
  } catch (const TException& e) {
    EXPECT_EQ(e.message, message);
    EXPECT_EQ(e.category.value_or(""), "Bad Parameter");
    EXPECT_EQ(e.location.value_or(""), location);
  }
}

TEST(DataRing, CapacityThreeReceivingFourRowsKeepsNewestThree) {
  Data d(3, 2, 1, false);
  for (int r = 1; r <= 4; ++r)
    AddNumbered(d, r);
  EXPECT_EQ(d.NumDataRows(), 3);
  EXPECT_EQ(d.FirstRow(), 1);
  EXPECT_EQ(d.LastRow(), 0);  // r4 overwrote position 0
  d.Rewind();
  for (double want : {2.0, 3.0, 4.0, 2.0})
    EXPECT_EQ(NextInput0(d), want);
  double in[2], out[1];
  d.GetPreviousRow(in, out);  // back across the wrap to r4
  EXPECT_EQ(in[1], 40.0);
  EXPECT_EQ(out[0], 400.0);
}

TEST(DataRing, PartlyFilledCyclesOverStoredRowsOnly) {
  Data d(5, 2, 1, false);
  for (int r = 0; r < 3; ++r)
    AddNumbered(d, r);
  d.Rewind();
  for (double want : {0.0, 1.0, 2.0, 0.0})
    EXPECT_EQ(NextInput0(d), want);
}

TEST(DataRing, CursorMovesAnyStepBothWays) {
  Data d(5, 2, 1, false);
  for (int r = 0; r < 7; ++r)
    AddNumbered(d, r);  // rows 2..6; row 5 at 0, row 6 at 1
  d.Rewind();           // on row 6
  d.MoveCursor(12);     // 2 cycles + 2: row 3
  EXPECT_EQ(d.CurrentRow(), 3);
  d.MoveCursor(-13);  // -2 cycles - 3: row 5
  EXPECT_EQ(d.CurrentRow(), 0);
  d.MoveCursor(INT_MAX);  // INT_MAX mod 5 = 2: row 2
  EXPECT_EQ(d.CurrentRow(), 2);
  d.MoveCursor(INT_MIN);  // -2147483648 mod 5 = -3: row 4
  EXPECT_EQ(d.CurrentRow(), 4);
}

TEST(DataRing, StepOneAgreesWithTheGeneralMove) {
  // A forward single step takes a short path; +6 then -5 is the same step
  // through the general one, in a cycle of any length.
  for (int stored : {1, 3, 5, 7, 11}) {
    Data a(5, 2, 1, false), b(5, 2, 1, false);
    for (int r = 0; r < stored; ++r) {
      AddNumbered(a, r);
      AddNumbered(b, r);
    }
    a.Rewind();
    b.Rewind();
    for (int i = 0; i < 12; ++i) {
      a.MoveCursor(1);
      b.MoveCursor(6);
      b.MoveCursor(-5);
      ASSERT_EQ(a.CurrentRow(), b.CurrentRow()) << stored << " rows, step " << i;
    }
  }
}

TEST(DataRing, EmptyOneRowAndZeroCapacity) {
  Data d(4, 2, 1, false);
  d.MoveCursor(-1);  // no stored row: the cycle is every position
  EXPECT_EQ(d.CurrentRow(), 3);
  AddNumbered(d, 7);  // the cursor lies outside the one stored row
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(NextInput0(d), 7.0);
  d.MoveCursor(-5);
  EXPECT_EQ(d.CurrentRow(), 0);

  Data none(0, 2, 1, false);
  double in[2] = {5, 5}, out[1] = {5};
  none.GetNextRow(in, out, nullptr);
  EXPECT_EQ(in[1], 0.0);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_DEATH(none.AddRow(in, out, nullptr), "Assertion failed: MbrNdxDataRows <= MbrNdxRows");
}

TEST(DataRing, AddRowsTakesEachArray) {
  Data d(3, 1, 1, true);
  const double i0[1] = {1}, i1[1] = {2}, o0[1] = {3}, o1[1] = {4};
  const double* ins[2] = {i0, i1};
  const double* outs[2] = {o0, o1};
  TLabelList labels[2] = {TLabelList("a", 1.0), TLabelList("b", 2.0)};
  d.AddRows(ins, outs, 2, labels);
  double in, out;
  TLabelList* list = nullptr;
  d.Rewind();
  d.MoveCursor(1);
  d.GetNextRow(&in, &out, &list);
  EXPECT_EQ(in, 2.0);
  EXPECT_EQ(out, 4.0);
  EXPECT_EQ(*list, TLabelList("b", 2.0));
}

TEST(DataAccess, InvalidRowsAndColumnsThrowAndChangeNothing) {
  Data d(3, 2, 1, true);
  AddNumbered(d, 3);
  double v = 0, row[2];
  ExpectThrows([&] { d.GetInputDatum(3, 0, &v); }, "Invalid Data Row", "Data::GetInputDatum");
  ExpectThrows([&] { d.GetInputDatum(-1, 0, &v); }, "Invalid Data Row", "Data::GetInputDatum");
  ExpectThrows([&] { d.GetInputDatum(0, 2, &v); }, "Invalid Input Data Column",
               "Data::GetInputDatum");
  ExpectThrows([&] { d.GetOutputDatum(0, 1, &v); }, "Invalid Output Data Column",
               "Data::GetOutputDatum");
  ExpectThrows([&] { d.SetOutputDatum(9, 0, 1.0); }, "Invalid Data Row", "Data::SetOutputDatum");
  ExpectThrows([&] { d.GetInputRow(3, row); }, "Invalid Data Row", "Data::GetInputRow");
  ExpectThrows([&] { d.SetRow(3, row, row, nullptr); }, "Invalid Data Row", "Data::SetRow");
  ExpectThrows([&] { d.AppendLabel(3, 1.0, "x"); }, "Invalid Data Row", "Data::AppendLabel");
  d.GetInputRow(0, row);
  EXPECT_EQ(row[0], 3.0);
  EXPECT_EQ(row[1], 30.0);
}

TEST(DataAccess, NeverStoredRowsReadZerosAndEmptyLabels) {
  Data d(3, 2, 2, true);
  const double in[2] = {1, 2}, out[2] = {3, 4};
  TLabelList cat("cat", 1.0);
  d.AddRow(in, out, &cat);
  double v = -1, row[2] = {-1, -1};
  d.GetInputDatum(2, 1, &v);
  EXPECT_EQ(v, 0.0);
  d.GetOutputRow(1, row);
  EXPECT_EQ(row[1], 0.0);
  TLabelList* list = nullptr;
  d.GetLabels(2, &list);
  EXPECT_EQ(list->Count(), 0);
}

TEST(DataAccess, SelectedColumnOverloadsCheckIndices) {
  Data d(1, 3, 2, false);
  const double in[3] = {1, 2, 3}, out[2] = {4, 5};
  d.AddRow(in, out, nullptr);
  const int pick[2] = {2, 0}, bad[1] = {3};
  double v[2];
  d.GetInputRow(0, v, 2, pick);
  EXPECT_EQ(v[0], 3.0);
  EXPECT_EQ(v[1], 1.0);
  ExpectThrows([&] { d.GetInputRow(0, v, 1, bad); }, "Invalid Input Data Column",
               "Data::GetInputRow");
  ExpectThrows([&] { d.GetOutputRow(0, v, 2, pick); }, "Invalid Output Data Column",
               "Data::GetOutputRow");
}

TEST(DataAccess, GetBlockStopsAtNewestRow) {
  Data d(5, 2, 1, false);
  for (int r = 1; r <= 3; ++r)
    AddNumbered(d, r);
  double inbuf[5][2], outbuf[5][1];
  double* ins[5] = {inbuf[0], inbuf[1], inbuf[2], inbuf[3], inbuf[4]};
  double* outs[5] = {outbuf[0], outbuf[1], outbuf[2], outbuf[3], outbuf[4]};
  int count = -1;
  d.GetBlock(ins, outs, 1, 4, &count);
  EXPECT_EQ(count, 2);  // positions 1 and 2
  EXPECT_EQ(inbuf[0][0], 2.0);
  EXPECT_EQ(outbuf[1][0], 300.0);
  d.GetBlock(ins, outs, 3, 4, &count);  // first beyond the newest row
  EXPECT_EQ(count, 0);
  count = -1;
  ExpectThrows([&] { d.GetBlock(ins, outs, 5, 6, &count); }, "Data Block Fault", "Data::GetBlock");
  EXPECT_EQ(count, 0);
}

TEST(DataLabels, AppendSetAndClear) {
  Data d(2, 1, 0, true);
  d.AppendLabel(0, 0.5, "x");
  d.AppendLabel(0, 0.5, "x");
  d.AppendLabel(0, 1.0, "X");
  TLabelList* list = nullptr;
  d.GetLabels(0, &list);
  TLabelList want("x", 1.0);
  want.Add("X", 1.0);
  EXPECT_EQ(*list, want);
  d.ClearLabels(0);
  EXPECT_EQ(list->Count(), 0);
  TLabelList src("a", 2.0);
  d.SetLabels(0, &src);
  src.Add("b", 1.0);  // the stored list is a copy
  EXPECT_EQ(*list, TLabelList("a", 2.0));
  d.SetLabels(0, nullptr);
  EXPECT_EQ(list->Count(), 0);
}

TEST(DataLabels, WithoutLabelsOperationsCheckRowAndDoNothing) {
  Data d(2, 1, 1, false);
  TLabelList l("y", 1.0);
  d.AppendLabel(0, 1.0, "x");
  d.SetLabels(1, &l);
  d.ClearLabels(1);
  const double v[1] = {1};
  d.AddRow(v, v, &l);
  TLabelList* list = &l;
  d.GetLabels(0, &list);
  EXPECT_EQ(list, nullptr);
  list = &l;
  d.GetNextRow(nullptr, nullptr, &list);
  EXPECT_EQ(list, nullptr);
  EXPECT_THROW(d.AppendLabel(2, 1.0, "x"), TException);
}

TEST(DataFeatures, SelectionTwoZeroDeliversThoseColumnsPacked) {
  Data d(1, 3, 2, false);
  const double in[3] = {1, 2, 3}, out[2] = {4, 5};
  d.AddRow(in, out, nullptr);
  const int sel[2] = {2, 0};
  d.SetInputFeatures(2, sel);
  double got[3] = {-1, -1, -1}, gout[2];
  d.GetNextRow(got, gout, nullptr);
  EXPECT_EQ(got[0], 3.0);
  EXPECT_EQ(got[1], 1.0);
  EXPECT_EQ(got[2], -1.0);  // untouched
  EXPECT_EQ(gout[1], 5.0);  // no output selection: all outputs
  double v;
  d.GetInputDatum(0, 0, &v);  // indexed access ignores the selection
  EXPECT_EQ(v, 1.0);
  int count = -1;
  std::vector<int> copy;
  d.GetInputFeatures(&count, &copy);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(copy, (std::vector<int>{2, 0}));

  const int osel[1] = {1};
  d.SetFeatures(2, sel, 1, osel);
  gout[1] = -1;
  d.GetNextRow(got, gout, nullptr);
  EXPECT_EQ(gout[0], 5.0);
  EXPECT_EQ(gout[1], -1.0);
}

TEST(DataFeatures, ZeroColumnSelectionDeliversNoInputs) {
  Data d(1, 2, 1, false);
  AddNumbered(d, 5);
  d.SetInputFeatures(0, nullptr);
  double in[2] = {-1, -1}, out[1];
  d.GetNextRow(in, out, nullptr);
  EXPECT_EQ(in[0], -1.0);
  EXPECT_EQ(out[0], 500.0);
}

TEST(DataFeatures, OutOfRangeIndicesAreRefused) {
  Data d(1, 3, 1, false);
  const int good[2] = {2, 0}, high[2] = {0, 3}, negative[1] = {-1};
  d.SetInputFeatures(2, good);
  EXPECT_FALSE(d.AreValidInputFeatures(2, high));
  EXPECT_FALSE(d.AreValidInputFeatures(1, negative));
  EXPECT_TRUE(d.AreValidInputFeatures(2, good));
  ExpectThrows([&] { d.SetInputFeatures(2, high); }, "Invalid Input Feature",
               "Data::SetInputFeatures");
  ExpectThrows([&] { d.SetInputFeatures(-1, good); }, "Invalid Input Feature",
               "Data::SetInputFeatures");
  ExpectThrows([&] { d.SetFeatures(2, good, 1, good); }, "Invalid Output Feature",
               "Data::SetFeatures");
  int count;
  std::vector<int> copy;
  d.GetInputFeatures(&count, &copy);
  EXPECT_EQ(copy, (std::vector<int>{2, 0}));  // unchanged by the refusals
}

TEST(DataClone, CopiesRowsLabelsRingAndSelections) {
  Data d(3, 2, 1, true);
  for (int r = 1; r <= 4; ++r)
    AddNumbered(d, r);
  d.AppendLabel(2, 0.5, "z");
  d.MoveCursor(2);
  std::unique_ptr<Data> plain = d.Clone();
  EXPECT_FALSE(plain->HasInputFeatures());
  EXPECT_FALSE(plain->HasOutputFeatures());
  EXPECT_EQ(plain->NumDataRows(), 3);
  EXPECT_EQ(plain->FirstRow(), 1);
  EXPECT_EQ(plain->CurrentRow(), d.CurrentRow());
  TLabelList* list = nullptr;
  plain->GetLabels(2, &list);
  d.AppendLabel(2, 1.0, "w");  // the clone is independent
  EXPECT_EQ(*list, TLabelList("z", 0.5));
  const int sel[1] = {1};
  d.SetInputFeatures(1, sel);
  int count;
  std::vector<int> copy;
  d.Clone()->GetInputFeatures(&count, &copy);
  EXPECT_EQ(copy, (std::vector<int>{1}));
}

}  // namespace
