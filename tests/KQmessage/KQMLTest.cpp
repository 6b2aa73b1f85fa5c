#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "KQmessage/KQML.h"

namespace {

// Parses a whole message from a text.
std::unique_ptr<TKQstructure> ParseText(const char* text) {
  const char* cursor = text;
  return KQParseMessage(cursor);
}

// The report thrown by `fn`, as text; fails the test when nothing is thrown.
template <typename Fn>
std::string ThrownReport(Fn fn) {
  try {
    fn();
  } catch (const TKQstructure::Error& e) {
    return e.report().ToString();
  }
  ADD_FAILURE() << "no TKQstructure::Error thrown";
  return "";
}

TEST(KQStructure, ConstructionDefaults) {
  TKQstructure a;
  EXPECT_EQ(a.Head(), "unknown");
  EXPECT_EQ(a.Capacity(), 16);
  EXPECT_EQ(a.Count(), 0);
  TKQstructure b("tell");
  EXPECT_EQ(b.Head(), "tell");
  EXPECT_EQ(b.Capacity(), 16);
  EXPECT_EQ(b.ToString(), "tell");
}

TEST(KQStructure, TextFormNested) {
  TKQstructure msg("error");
  msg.SetText("type", "invalid-message");
  msg.SetText("expected", "tag");
  EXPECT_EQ(msg.ToString(), "(error :type invalid-message :expected tag)");

  auto inner = std::make_unique<TKQstructure>("data");
  inner->SetInt("rows", 3);
  inner->SetBool("labels", false);
  TKQstructure outer("file");
  outer.Set("content", std::move(inner));
  outer.SetInt("n", -12);
  EXPECT_EQ(outer.ToString(), "(file :content (data :rows 3 :labels false) :n -12)");

  std::ostringstream out;
  outer.Print(out);
  EXPECT_EQ(out.str(), outer.ToString());
}

TEST(KQStructure, PrintAndPrintLineWriteStandardOutput) {
  TKQstructure msg("ask");
  msg.SetText("to", "x");
  testing::internal::CaptureStdout();
  msg.Print();
  msg.PrintLine();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "(ask :to x)(ask :to x)\n");
}

TEST(KQStructure, SetReplacesIgnoringCaseAndKeepsName) {
  TKQstructure s("h");
  s.SetText("Alpha", "1");
  s.SetText("beta", "2");
  s.SetText("ALPHA", "3");
  ASSERT_EQ(s.Count(), 2);
  EXPECT_EQ(s.EntryAt(0).name, "Alpha");
  EXPECT_EQ(s.Get("alpha")->Head(), "3");
  EXPECT_EQ(s.ToString(), "(h :Alpha 3 :beta 2)");
}

TEST(KQStructure, CapacityGrowth) {
  TKQstructure s("h");
  for (int i = 0; i < 16; ++i)
    s.SetInt("k" + std::to_string(i), i);
  EXPECT_EQ(s.Capacity(), 16);
  s.SetInt("k16", 16);
  EXPECT_EQ(s.Capacity(), 32);
  EXPECT_EQ(s.Count(), 17);
  for (int i = 0; i <= 16; ++i)
    EXPECT_EQ(s.Get("K" + std::to_string(i))->Head(), std::to_string(i));
}

TEST(KQStructure, CopyCapacityEqualsCountThenGrowsToSixteen) {
  TKQstructure s("h");
  s.SetText("a", "1");
  s.SetText("b", "2");
  s.SetText("c", "3");
  TKQstructure copy(s);
  EXPECT_EQ(copy.Capacity(), 3);
  EXPECT_EQ(copy.ToString(), "(h :a 1 :b 2 :c 3)");
  copy.SetText("d", "4");
  EXPECT_EQ(copy.Capacity(), 16);
  // The copy is deep: changing it leaves the original alone.
  copy.Get("a")->SetHead("9");
  EXPECT_EQ(s.ToString(), "(h :a 1 :b 2 :c 3)");

  TKQstructure empty("e");
  TKQstructure emptyCopy(empty);
  EXPECT_EQ(emptyCopy.Capacity(), 0);
  emptyCopy.SetText("x", "y");
  EXPECT_EQ(emptyCopy.Capacity(), 16);
}

TEST(KQStructure, AssignmentDeepCopiesAndIgnoresSelf) {
  TKQstructure a("a");
  for (int i = 0; i < 5; ++i)
    a.SetInt("k" + std::to_string(i), i);
  TKQstructure b("b");
  b.SetText("old", "x");
  b = a;
  EXPECT_EQ(b.Capacity(), 5);
  EXPECT_EQ(b.ToString(), a.ToString());
  EXPECT_EQ(b.Find("old"), nullptr);
  TKQstructure& self = a;
  a = self;
  EXPECT_EQ(a.Capacity(), 16);
  EXPECT_EQ(a.Count(), 5);
}

TEST(KQStructure, RemoveMovesLastIntoSlot) {
  TKQstructure s("h");
  s.SetText("p", "1");
  s.SetText("q", "2");
  s.SetText("r", "3");
  s.Remove("P");
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s.ToString(), "(h :r 3 :q 2)");
  s.Remove("missing");
  EXPECT_EQ(s.Count(), 2);
  s.Remove("q");
  s.Remove("r");
  EXPECT_EQ(s.ToString(), "h");
  s.SetText("z", "4");
  EXPECT_EQ(s.ToString(), "(h :z 4)");
}

TEST(KQStructure, SetRealSixDecimals) {
  TKQstructure s("h");
  s.SetReal("x", 0.5);
  EXPECT_EQ(s.Get("x")->Head(), "0.500000");
  EXPECT_EQ(KQParseReal(s.Get("x")->Head()), 0.5);
  s.SetReal("y", -1.0 / 3.0);
  EXPECT_EQ(s.Get("y")->Head(), "-0.333333");
  s.SetReal("big", 1e20);
  EXPECT_EQ(s.Get("big")->Head(), "100000000000000000000.000000");
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
  EXPECT_NO_THROW(s.Expect("kind", ""));
  EXPECT_NO_THROW(s.Expect("kind", "data"));
  EXPECT_EQ(ThrownReport([&] { s.Expect("kind", "network"); }),
            "(error :type invalid-message :tag kind :expected-value network)");
  EXPECT_EQ(s.ToString(), "(h :kind Data)");
}

TEST(KQStructure, ErrorCopiesItsReport) {
  TKQstructure::Error e(*KQMakeError("type-error"));
  TKQstructure::Error copy(e);
  e.report_ptr->SetText("extra", "1");
  EXPECT_EQ(copy.report().ToString(), "(error :type type-error)");
  copy = e;
  EXPECT_EQ(copy.report().ToString(), "(error :type type-error :extra 1)");
}

TEST(KQFunctions, ParseBool) {
  EXPECT_TRUE(KQParseBool("true"));
  EXPECT_TRUE(KQParseBool("TrUe"));
  EXPECT_FALSE(KQParseBool("FALSE"));
  EXPECT_EQ(ThrownReport([] { KQParseBool("yes"); }), "(error :type type-error :expected boolean)");
  EXPECT_EQ(ThrownReport([] { KQParseBool("true "); }),
            "(error :type type-error :expected boolean)");
}

TEST(KQFunctions, ParseInt) {
  EXPECT_EQ(KQParseInt("42"), 42);
  EXPECT_EQ(KQParseInt("  -17"), -17);
  EXPECT_EQ(KQParseInt("123abc"), 123);
  EXPECT_EQ(KQParseInt("010"), 10);  // always decimal
  EXPECT_EQ(ThrownReport([] { KQParseInt("abc"); }),
            "(error :type invalid-message :integer-expected abc)");
  EXPECT_EQ(ThrownReport([] { KQParseInt(""); }),
            "(error :type invalid-message :integer-expected )");
  EXPECT_EQ(KQToInt("7x"), 7);
}

TEST(KQFunctions, ParseReal) {
  EXPECT_EQ(KQParseReal("0.25"), 0.25);
  EXPECT_EQ(KQParseReal("-1.5e2xyz"), -150.0);
  EXPECT_EQ(ThrownReport([] { KQParseReal("x1"); }),
            "(error :type invalid-message :number-expected x1)");
  EXPECT_EQ(KQToReal("2.5"), 2.5);
}

TEST(KQFunctions, JoinWords) {
  const char* words[] = {"Quill", "a", "bc", "d"};
  EXPECT_EQ(KQJoinWords(4, words), "a bc d ");
  EXPECT_EQ(KQJoinWords(2, words), "a ");
  EXPECT_EQ(KQJoinWords(1, words), "");
  EXPECT_EQ(KQJoinWords(0, words), "");
}

TEST(KQParser, Tokens) {
  const char* text = " \t(tell\x7f:to x:y\x80:b)";
  const char* c = text;
  EXPECT_EQ(KQNextToken(c, "():"), "(");
  EXPECT_EQ(KQNextToken(c, "():"), "tell");
  EXPECT_EQ(KQNextToken(c, "():"), ":");
  EXPECT_EQ(KQNextToken(c, "():"), "to");
  EXPECT_EQ(KQNextToken(c, "():"), "x:y");
  EXPECT_EQ(KQNextToken(c, "():"), ":");
  EXPECT_EQ(KQNextToken(c, "():"), "b");
  EXPECT_EQ(KQNextToken(c, "():"), ")");
  EXPECT_EQ(KQNextToken(c, "():"), "");
  EXPECT_EQ(*c, '\0');
  EXPECT_EQ(KQNextToken(c, "():"), "");
}

TEST(KQParser, Cases) {
  auto a = ParseText("(q :r s :R t)");
  ASSERT_EQ(a->Count(), 1);
  EXPECT_EQ(a->EntryAt(0).name, "r");
  EXPECT_EQ(a->Get("r")->Head(), "t");

  auto b = ParseText("(x)");
  EXPECT_EQ(b->Count(), 0);
  EXPECT_EQ(b->ToString(), "x");

  auto c = ParseText("(tell :to x:y)");
  ASSERT_EQ(c->Count(), 1);
  EXPECT_EQ(c->Get("to")->Head(), "x:y");

  auto d = ParseText("  atom \n");
  EXPECT_EQ(d->ToString(), "atom");
}

TEST(KQParser, RoundTrip) {
  const char* text =
      "(data :rows 3 :inputs (cols :n 2 :names (l :a x :b y)) :ratio 0.500000 :ok true)";
  auto parsed = ParseText(text);
  EXPECT_EQ(parsed->ToString(), text);
  auto again = ParseText(parsed->ToString().c_str());
  EXPECT_EQ(again->ToString(), text);
}

TEST(KQParser, CursorStopsAfterOneStructure) {
  const char* text = "(a :b c) rest";
  const char* c = text;
  auto s = KQParse(c);
  EXPECT_EQ(s->ToString(), "(a :b c)");
  EXPECT_STREQ(c, " rest");
}

TEST(KQParserDeathTest, SyntaxErrorsAreAssertions) {
  EXPECT_DEATH(ParseText("(a :b"),
               "special character unexpected\n"
               "Assertion failed: 0, file KQmessage/KQML");
  EXPECT_DEATH(ParseText("(a :b c"), "Assertion failed: \\*s == '\\)', file KQmessage/KQML");
  EXPECT_DEATH(ParseText("(a b)"), "Assertion failed: \\*s == '\\)', file KQmessage/KQML");
  EXPECT_DEATH(ParseText(""), "special character unexpected");
  EXPECT_DEATH(ParseText("(:a b)"), "special character unexpected");
  EXPECT_DEATH(ParseText("a b"), "Assertion failed: \\*s == '\\\\0', file KQmessage/KQML");
}

TEST(KQStructureDeathTest, InternalFaultsAreAssertions) {
  TKQstructure s("h");
  EXPECT_DEATH(s.Set("x", nullptr), "Assertion failed: newval != NULL, file KQmessage/KQML");
  EXPECT_DEATH(s.Get("x"), "Assertion failed: 0, file KQmessage/KQML");
  EXPECT_DEATH(KQToInt("x"), "Assertion failed: err == 1, file KQmessage/KQML");
  EXPECT_DEATH(KQToReal(""), "Assertion failed: err == 1, file KQmessage/KQML");
}

}  // namespace
