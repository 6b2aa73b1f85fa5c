#include <gtest/gtest.h>

#include <limits>

#include "KQmessage/KQML.h"

namespace {

std::unique_ptr<TKQstructure> ParseText(const char* text) {
  const char* cursor = text;
  return KQParseMessage(cursor);
}

// The report thrown by `fn` as text, or "" when nothing is thrown.
template <typename Fn>
std::string ThrownReport(Fn fn) {
  try {
    fn();
  } catch (const TKQstructure::Error& e) {
    return e.report().ToString();
  }
  return "";
}

TEST(KQStructure, TextForm) {
  TKQstructure atom;
  EXPECT_EQ(atom.ToString(), "unknown");
  auto inner = std::make_unique<TKQstructure>("data");
  inner->SetInt("rows", -3);
  inner->SetBool("labels", false);
  TKQstructure outer("file");
  outer.Set("content", std::move(inner));
  outer.SetText("name", "x");
  EXPECT_EQ(outer.ToString(), "(file :content (data :rows -3 :labels false) :name x)");
  testing::internal::CaptureStdout();
  outer.Print();
  outer.PrintLine();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), outer.ToString() + outer.ToString() + "\n");
}

TEST(KQStructure, SetReplacesIgnoringCaseAndKeepsName) {
  TKQstructure s("h");
  s.SetText("Alpha", "1");
  s.SetText("beta", "2");
  s.SetText("ALPHA", "3");
  EXPECT_EQ(s.ToString(), "(h :Alpha 3 :beta 2)");
}

TEST(KQStructure, CapacityOfNewCopiedAndGrownStructures) {
  TKQstructure s("h");
  EXPECT_EQ(s.Capacity(), 16);
  for (int i = 0; i < 16; ++i)
    s.SetInt("k" + std::to_string(i), i);
  EXPECT_EQ(s.Capacity(), 16);
  s.SetInt("k16", 16);
  EXPECT_EQ(s.Capacity(), 32);
  EXPECT_EQ(s.Get("K16")->Head(), "16");

  TKQstructure three("t");
  for (const char* name : {"a", "b", "c"})
    three.SetText(name, name);
  TKQstructure copy(three);
  EXPECT_EQ(copy.Capacity(), 3);
  copy.SetText("d", "d");
  EXPECT_EQ(copy.Capacity(), 16);
  copy.Get("a")->SetHead("changed");  // deep: the original keeps its value
  EXPECT_EQ(three.ToString(), "(t :a a :b b :c c)");

  TKQstructure assigned("x");
  assigned = three;
  EXPECT_EQ(assigned.Capacity(), 3);
  EXPECT_EQ(assigned.ToString(), "(t :a a :b b :c c)");
  TKQstructure& self = s;
  s = self;
  EXPECT_EQ(s.Capacity(), 32);
  EXPECT_EQ(s.Count(), 17);
}

TEST(KQStructure, RemoveMovesLastEntryIntoTheSlot) {
  TKQstructure s("h");
  for (const char* name : {"p", "q", "r"})
    s.SetText(name, name);
  s.Remove("P");
  EXPECT_EQ(s.ToString(), "(h :r r :q q)");
  s.Remove("missing");
  s.Remove("q");
  s.Remove("r");
  EXPECT_EQ(s.ToString(), "h");
}

TEST(KQStructure, SetRealSixDecimals) {
  TKQstructure s("h");
  s.SetReal("x", 0.5);
  EXPECT_EQ(s.Get("x")->Head(), "0.500000");
  EXPECT_EQ(KQParseReal(s.Get("x")->Head()), 0.5);
  // 309 integer digits, the point and six decimals, after the sign.
  s.SetReal("max", -std::numeric_limits<double>::max());
  EXPECT_EQ(s.Get("max")->Head().size(), 317u);
}

TEST(KQStructure, LookupsThrowReports) {
  TKQstructure s("h");
  s.SetText("kind", "Data");
  EXPECT_EQ(s.Require("KIND")->Head(), "Data");
  EXPECT_EQ(s.Find("none"), nullptr);
  EXPECT_EQ(ThrownReport([&] { s.Require("rows"); }),
            "(error :type invalid-message :expected rows)");
  EXPECT_EQ(ThrownReport([&] { s.Expect("rows", ""); }),
            "(error :type invalid-message :expected rows)");
  EXPECT_EQ(ThrownReport([&] { s.Expect("kind", ""); }), "");
  EXPECT_EQ(ThrownReport([&] { s.Expect("kind", "data"); }), "");
  EXPECT_EQ(ThrownReport([&] { s.Expect("kind", "network"); }),
            "(error :type invalid-message :tag kind :expected-value network)");
}

TEST(KQFunctions, Conversions) {
  EXPECT_TRUE(KQParseBool("TrUe"));
  EXPECT_FALSE(KQParseBool("false"));
  EXPECT_EQ(ThrownReport([] { KQParseBool("yes"); }), "(error :type type-error :expected boolean)");
  EXPECT_EQ(KQParseInt("  -17"), -17);
  EXPECT_EQ(KQParseInt("123abc"), 123);
  EXPECT_EQ(KQParseInt("010"), 10);
  EXPECT_EQ(ThrownReport([] { KQParseInt("abc"); }),
            "(error :type invalid-message :integer-expected abc)");
  EXPECT_EQ(KQParseReal("-1.5e2xyz"), -150.0);
  EXPECT_EQ(ThrownReport([] { KQParseReal("x1"); }),
            "(error :type invalid-message :number-expected x1)");
  EXPECT_EQ(KQToInt("7x"), 7);
  EXPECT_EQ(KQToReal("2.5"), 2.5);
  const char* words[] = {"Quill", "a", "bc"};
  EXPECT_EQ(KQJoinWords(3, words), "a bc ");
  EXPECT_EQ(KQJoinWords(1, words), "");
}

TEST(KQParser, Tokens) {
  const char* c = " \t(tell\x7f:to x:y\x80:b)";
  for (const char* token : {"(", "tell", ":", "to", "x:y", ":", "b", ")", "", ""}) {
    EXPECT_EQ(KQNextToken(c, "():"), token);
  }
}

TEST(KQParser, Structures) {
  auto a = ParseText("(q :r s :R t)");
  ASSERT_EQ(a->Count(), 1);
  EXPECT_EQ(a->EntryAt(0).name, "r");
  EXPECT_EQ(a->Get("r")->Head(), "t");
  EXPECT_EQ(ParseText("(x)")->ToString(), "x");
  EXPECT_EQ(ParseText("(tell :to x:y)")->Get("to")->Head(), "x:y");

  const char* text = "(data :rows 3 :in (cols :names (l :a x :b y)) :ok true)";
  EXPECT_EQ(ParseText(ParseText(text)->ToString().c_str())->ToString(), text);

  const char* cursor = "(a :b c) rest";
  EXPECT_EQ(KQParse(cursor)->ToString(), "(a :b c)");
  EXPECT_STREQ(cursor, " rest");
}

TEST(KQDeathTest, InternalFaultsAreAssertions) {
  EXPECT_DEATH(ParseText("(a :b"),
               "special character unexpected\nAssertion failed: 0, file KQmessage/KQML");
  EXPECT_DEATH(ParseText(""), "special character unexpected");
  EXPECT_DEATH(ParseText("(a :b c"), "Assertion failed: \\*s == '\\)', file KQmessage/KQML");
  EXPECT_DEATH(ParseText("(a b)"), "Assertion failed: \\*s == '\\)'");
  EXPECT_DEATH(ParseText("a b"), "Assertion failed: \\*s == '\\\\0', file KQmessage/KQML");
  TKQstructure s("h");
  EXPECT_DEATH(s.Set("x", nullptr), "Assertion failed: newval != NULL, file KQmessage/KQML");
  EXPECT_DEATH(s.Get("x"), "Assertion failed: 0, file KQmessage/KQML");
  EXPECT_DEATH(KQToInt("x"), "Assertion failed: err == 1, file KQmessage/KQML");
  EXPECT_DEATH(KQToReal(""), "Assertion failed: err == 1");
}

}  // namespace
