#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"

namespace {

// `op` must throw FileTools::Error with `message`.
template <typename Op>
void ExpectError(Op op, const std::string& message) {
  try {
    op();
    ADD_FAILURE() << "no error, expected \"" << message << "\"";
  } catch (const FileTools::Error& e) {
    EXPECT_EQ(e.message, message);
  }
}

std::vector<std::string> Tokens(const std::string& text) {
  FileTools ft;
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string t = ft.ReadToken(in); !t.empty(); t = ft.ReadToken(in))
    out.push_back(t);
  return out;
}

FileTag Tag(const std::string& text, const char* block = nullptr, bool continuation = false) {
  FileTools ft;
  std::istringstream in(text);
  FileTag tag;
  ft.ReadTag(tag, block, in, continuation);
  return tag;
}

using Words = std::vector<std::string>;

TEST(ReadToken, SeparatorsSpecialsAndComments) {
  EXPECT_EQ(Tokens("1,2,3"), (Words{"1", "2", "3"}));
  EXPECT_EQ(Tokens("a/*x/*y*/z*/b"), (Words{"a", "b"}));
  EXPECT_EQ(Tokens("x=y"), (Words{"x", "=", "y"}));
  EXPECT_EQ(Tokens("[~Data]"), (Words{"[~", "Data", "]"}));
  EXPECT_EQ(Tokens("a\x7F\xC3\xA9\tb <c>/ *"), (Words{"a", "b", "<", "c", ">", "/", "*"}));
  ExpectError([] { Tokens("a /* never /* closed */"); }, "Unexpected end of file during comment");
  // Nesting far deeper than a call stack could recurse.
  std::string deep;
  for (int i = 0; i < 200000; ++i)
    deep += "/*";
  for (int i = 0; i < 200000; ++i)
    deep += "*/";
  EXPECT_EQ(Tokens(deep + "z"), (Words{"z"}));
}

// What no file of the program holds ends reading at once, wherever it
// stands, so that an input that never ends (/dev/zero, an endless stream of
// blanks) fails fast.
TEST(ReadToken, NulBytesAndEndlessGapsAreRefused) {
  for (const std::string& text : {std::string("a\0b", 3), std::string("ab\0", 3),
                                  std::string("\0", 1), std::string("/* \0 */ a", 10)}) {
    try {
      Tokens(text);
      ADD_FAILURE() << "read";
    } catch (const FileTools::Error& e) {
      EXPECT_EQ(e.message, FileTools::kNulByte);
      EXPECT_TRUE(e.beyond_bounds);
    }
  }
  const std::string gap(static_cast<std::size_t>(FileTools::kMaxGap) - 8, ' ');
  EXPECT_EQ(Tokens("a" + gap + "b"), (Words{"a", "b"}));
  ExpectError([&] { Tokens("a" + gap + "/* comment */" + gap + "b"); }, FileTools::kLongGap);
}

TEST(ReadToken, TokensFillTheBufferAtMost) {
  const std::string fits(FileTools::kMaxTokenLength, 'a');
  EXPECT_EQ(Tokens(fits + " b"), (Words{fits, "b"}));
  ExpectError([&] { Tokens(fits + "a"); }, "Token too long");
}

TEST(ReadTag, Kinds) {
  for (const char* text : {"[Layer= 3]", "[ LAYER =3 ]", "[Layer\n=\t3\n]"}) {
    const FileTag tag = Tag(text);
    EXPECT_EQ(tag.type, TAG_ASSIGN) << text;
    EXPECT_EQ(tag.value, "3") << text;
    EXPECT_FALSE(tag.open) << text;
  }
  EXPECT_EQ(Tag("[ LAYER =3 ]").name, "LAYER");  // as written
  FileTag tag = Tag("[NeuralNetwork[NetworkType = MLP]");
  EXPECT_EQ(tag.type, TAG_BLOCK);
  EXPECT_TRUE(tag.open);
  FileTools ft;
  EXPECT_EQ(ft.ExpectBlockStart(tag, "NEURALNETWORK"), "NeuralNetwork");
  EXPECT_EQ(ft.ExpectBlockStart(Tag("[layer]"), "LAYER"), "layer");
  EXPECT_FALSE(Tag("[Data]").open);
  EXPECT_EQ(Tag("42").type, TAG_TOKEN);
  EXPECT_EQ(Tag("=").type, TAG_TOKEN);
  EXPECT_EQ(Tag("  /* only a comment */ ").type, TAG_END);
}

TEST(ReadTag, ContinuationReadsItemsOfOneBracket) {
  FileTools ft;
  std::istringstream in("[Neuron = 3 ActivationFunction = sigmoid FormatVersion = 2] next");
  FileTag tag;
  ft.ReadTag(tag, "Neurons", in, false);
  EXPECT_TRUE(tag.open);
  ft.ReadTag(tag, "Neurons", in, true);
  EXPECT_EQ(tag.value, "sigmoid");
  EXPECT_TRUE(tag.open);
  ft.ReadTag(tag, "Neurons", in, true);  // FormatVersion is an ordinary item here
  EXPECT_EQ(tag.type, TAG_ASSIGN);
  EXPECT_EQ(tag.value, "2");
  EXPECT_FALSE(tag.open);
  ft.ReadTag(tag, "Neurons", in, false);
  EXPECT_EQ(tag.type, TAG_TOKEN);
}

TEST(ReadTag, FormatVersion) {
  EXPECT_EQ(Tag("[FormatVersion = 1.0]\n[DataSet]").name, "DataSet");
  EXPECT_EQ(Tag("[formatversion=0.5] x").name, "x");
  EXPECT_EQ(Tag("[FormatVersion = 1.0]").type, TAG_END);
  ExpectError([] { Tag("[FormatVersion = 1.5]"); }, "Illegal Format Version");
  ExpectError([] { Tag("[FormatVersion = 1.0 extra]"); }, "Illegal Format of FormatVersion");
  ExpectError([] { Tag("[FormatVersion = nan]"); }, "number-expected");
}

TEST(ReadTag, Errors) {
  EXPECT_EQ(Tag("[~Neurons]", "NEURONS").type, TAG_END);
  ExpectError([] { Tag("[~Layer]", "Neurons"); }, "Unexpected End Tag");
  ExpectError([] { Tag("[~DataSet]"); }, "Unexpected End Tag");  // outside every block
  ExpectError([] { Tag("[~Neurons word]", "Neurons"); }, "Expected ']'");
  ExpectError([] { Tag("", "Layer"); }, "Unexpected end of file");
  ExpectError([] { Tag("[Rows ="); }, "Unexpected end of file");
  ExpectError([] { Tag("[[Data]"); }, "Unexpected special character");
  ExpectError([] { Tag("[Rows = ]"); }, "Unexpected special character");
  ExpectError([] { Tag("] 1"); }, "Unexpected ']'");
}

TEST(TypedReaders, ComposedMessages) {
  FileTools ft;
  const FileTag layer = Tag("[Layer = 3]");
  ExpectError([&] { ft.ExpectBlockStart(layer, "DATA"); }, "[DATA] expected");
  ExpectError([&] { ft.ExpectBlockStart(Tag("1"), nullptr); }, "start of block expected");
  ExpectError([&] { ft.ExpectEndTag(layer); }, "End Tag expected");
  ExpectError([&] { ft.ReadStringTag(Tag("[Layer]"), "NETWORKTYPE", nullptr); },
              "[NETWORKTYPE = <string>] expectedLayer");
  EXPECT_EQ(ft.ReadStringTag(Tag("[networktype = Mlp]"), "NETWORKTYPE", nullptr), "Mlp");
  EXPECT_EQ(ft.ReadStringTag(Tag("[networktype = Mlp]"), "NETWORKTYPE", "MLP"), "");
  ExpectError([&] { ft.ReadStringTag(Tag("[NetworkType = Basic]"), "NETWORKTYPE", "MLP"); },
              "[NETWORKTYPE = MLP] expected");
  EXPECT_EQ(ft.ReadIntegerTag(layer, "LAYER"), 3);
  ExpectError([&] { ft.ReadIntegerTag(layer, "ROWS"); }, "[ROWS = <integer>] expected");
  EXPECT_EQ(ft.ReadNumberTag(Tag("[Gain = 2.5]"), "gain"), 2.5);
  ExpectError([&] { ft.ReadNumberTag(layer, "GAIN"); }, "[GAIN = <number>] expected");
  EXPECT_EQ(ft.ReadNumberToken(Tag("-0.125")), -0.125);
  ExpectError([&] { ft.ReadNumberToken(layer); }, "Token (number) expected");
}

TEST(ParseNumbers, IntegersAsLdAndFiniteRealsOnly) {
  FileTools ft;
  EXPECT_EQ(ft.ParseInteger("-7"), -7);
  EXPECT_EQ(ft.ParseInteger("12abc"), 12);  // the rest is ignored
  EXPECT_EQ(ft.ParseInteger("0x1F"), 0);    // decimal only
  for (const char* bad : {"", "abc", "-", "99999999999999999999", "Labels"}) {
    ExpectError([&] { ft.ParseInteger(bad); }, "integer-expected");
  }
  EXPECT_EQ(ft.ParseNumber("0.1"), 0.1);  // the double nearest 0.1, not a float's
  EXPECT_EQ(ft.ParseNumber("-2.5e-3xyz"), -0.0025);
  EXPECT_EQ(ft.ParseNumber("1e-400"), 0.0);  // underflow is still a number
  for (const char* bad : {"", "x1", ".", "nan", "-NaN", "nan(123)", "inf", "-INF", "infinity",
                          "-Infinity", "1e400"}) {
    ExpectError([&] { ft.ParseNumber(bad); }, "number-expected");
  }
}

TEST(TagWriter, BracketedAndInlineForms) {
  FileTools ft;
  std::ostringstream out;
  ft.WriteFormatVersion(out);
  ft.WriteBlockStart("NeuralNetwork", out);
  ft.WriteStringTag("NetworkType", "MLP", out);
  ft.WriteIntegerTag("NumberOfLayers", -3, out);
  ft.WriteNumberTag("Gain", 1.5, 3, out);
  ft.WriteEndTag("NeuralNetwork", out);
  ft.WriteEndTag(nullptr, out);
  ft.WriteNewline(out);
  out << '[';
  ft.WriteBlockStart("Attributes", out, false);
  ft.WriteStringTag("Name", "Basic", out, false);
  ft.WriteNumberTag("Weight", 0.25, 15, out, false);
  ft.WriteTag(TAG_TOKEN, "Trainable", "", out, false);
  out << ']';
  EXPECT_EQ(out.str(),
            "[FormatVersion = 1.0]\n\n[NeuralNetwork]\n[NetworkType = MLP]\n"
            "[NumberOfLayers = -3]\n[Gain = 1.500]\n[~NeuralNetwork]\n\n"
            "[Attributes Name=Basic Weight=0.250000000000000 Trainable ]");
}

TEST(TagWriter, WideNumbersAreWrittenInFullAndReadBack) {
  FileTools ft;
  std::ostringstream out;
  ft.WriteIntegerTag("Min", -9223372036854775807L - 1, out);
  ft.WriteNumberTag("Big", 1e25, 15, out);
  EXPECT_EQ(out.str(),
            "[Min = -9223372036854775808]\n[Big = 10000000000000000905969664.000000000000000]\n");
  std::istringstream in(out.str());
  FileTag tag;
  ft.ReadTag(tag, nullptr, in, false);
  EXPECT_EQ(ft.ReadIntegerTag(tag, "MIN"), -9223372036854775807L - 1);
  ft.ReadTag(tag, nullptr, in, false);
  EXPECT_EQ(ft.ReadNumberTag(tag, "BIG"), 1e25);
}

}  // namespace
