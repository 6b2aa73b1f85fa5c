#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"

namespace {

// Runs `op`, which must throw FileTools::Error with `message`.
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

TEST(ReadToken, SeparatorsSpecialsAndComments) {
  EXPECT_EQ(Tokens("1,2,3"), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Tokens("a/*x/*y*/z*/b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Tokens("x=y"), (std::vector<std::string>{"x", "=", "y"}));
  EXPECT_EQ(Tokens("[~Data]"), (std::vector<std::string>{"[~", "Data", "]"}));
  EXPECT_EQ(Tokens("a\x7F\xC3\xA9\tb <c>"), (std::vector<std::string>{"a", "b", "<", "c", ">"}));
  EXPECT_EQ(Tokens("/ *"), (std::vector<std::string>{"/", "*"}));
  EXPECT_TRUE(Tokens(" \n\t, ").empty());
}

TEST(ReadToken, CommentErrorsAndDeepNesting) {
  FileTools ft;
  std::istringstream open("a /* never /* closed */");
  EXPECT_EQ(ft.ReadToken(open), "a");
  ExpectError([&] { ft.ReadToken(open); }, "Unexpected end of file during comment");
  // Nesting far deeper than any call stack could recurse.
  std::string deep;
  for (int i = 0; i < 200000; ++i)
    deep += "/*";
  for (int i = 0; i < 200000; ++i)
    deep += "*/";
  EXPECT_EQ(Tokens(deep + "z"), (std::vector<std::string>{"z"}));
}

TEST(ReadToken, LongTokensAreReadWholeUpToTheBufferAndRefusedBeyond) {
  const std::string fits(FileTools::kMaxTokenLength, 'a');
  EXPECT_EQ(Tokens(fits + " b"), (std::vector<std::string>{fits, "b"}));
  FileTools ft;
  std::istringstream in(fits + "a");
  ExpectError([&] { ft.ReadToken(in); }, "Token too long");
}

TEST(ReadTag, AssignmentFormsReadAlike) {
  for (const char* text : {"[Layer= 3]", "[ LAYER =3 ]", "[Layer\n=\t3\n]"}) {
    const FileTag tag = Tag(text);
    EXPECT_EQ(tag.type, TAG_ASSIGN) << text;
    EXPECT_EQ(tag.value, "3") << text;
    EXPECT_FALSE(tag.open) << text;
  }
  EXPECT_EQ(Tag("[ LAYER =3 ]").name, "LAYER");  // the name as written
}

TEST(ReadTag, BlockStartsOpenAndClosed) {
  FileTag tag = Tag("[NeuralNetwork[NetworkType = MLP]");
  EXPECT_EQ(tag.type, TAG_BLOCK);
  EXPECT_TRUE(tag.open);
  FileTools ft;
  EXPECT_EQ(ft.ExpectBlockStart(tag, "NEURALNETWORK"), "NeuralNetwork");
  EXPECT_EQ(ft.ExpectBlockStart(Tag("[layer]"), "LAYER"), "layer");
  EXPECT_EQ(ft.ExpectBlockStart(Tag("[LAYER]"), "layer"), "LAYER");
  tag = Tag("[Data]");
  EXPECT_EQ(tag.type, TAG_BLOCK);
  EXPECT_FALSE(tag.open);
  tag = Tag("42");
  EXPECT_EQ(tag.type, TAG_TOKEN);
  EXPECT_EQ(tag.name, "42");
  EXPECT_EQ(Tag("=").type, TAG_TOKEN);
}

TEST(ReadTag, ContinuationReadsItemsOfOneBracket) {
  FileTools ft;
  std::istringstream in("[Neuron = 3 ActivationFunction = sigmoid Gain = 2.5] next");
  FileTag tag;
  ft.ReadTag(tag, "Neurons", in, false);
  EXPECT_EQ(tag.type, TAG_ASSIGN);
  EXPECT_TRUE(tag.open);
  ft.ReadTag(tag, "Neurons", in, true);
  EXPECT_EQ(tag.name, "ActivationFunction");
  EXPECT_EQ(tag.value, "sigmoid");
  EXPECT_TRUE(tag.open);
  ft.ReadTag(tag, "Neurons", in, true);
  EXPECT_EQ(tag.name, "Gain");
  EXPECT_FALSE(tag.open);
  ft.ReadTag(tag, "Neurons", in, false);
  EXPECT_EQ(tag.type, TAG_TOKEN);
  // In continuation mode FormatVersion is an ordinary item.
  std::istringstream v("FormatVersion = 9]");
  ft.ReadTag(tag, nullptr, v, true);
  EXPECT_EQ(tag.type, TAG_ASSIGN);
  EXPECT_EQ(tag.value, "9");
}

TEST(ReadTag, FormatVersion) {
  FileTag tag = Tag("[FormatVersion = 1.0]\n[DataSet]");
  EXPECT_EQ(tag.type, TAG_BLOCK);
  EXPECT_EQ(tag.name, "DataSet");
  EXPECT_EQ(Tag("[formatversion=0.5] x").name, "x");
  EXPECT_EQ(Tag("[FormatVersion = 1.0]").type, TAG_END);  // then the end of input
  ExpectError([] { Tag("[FormatVersion = 1.5]"); }, "Illegal Format Version");
  ExpectError([] { Tag("[FormatVersion = 1.0 extra]"); }, "Illegal Format of FormatVersion");
  ExpectError([] { Tag("[FormatVersion = one]"); }, "number-expected");
  ExpectError([] { Tag("[FormatVersion = nan]"); }, "number-expected");
}

TEST(ReadTag, EndTags) {
  FileTag tag = Tag("[~Neurons]", "NEURONS");
  EXPECT_EQ(tag.type, TAG_END);
  ExpectError([] { Tag("[~Layer]", "Neurons"); }, "Unexpected End Tag");
  ExpectError([] { Tag("[~Neurons word]", "Neurons"); }, "Expected ']'");
  ExpectError([] { Tag("[~Neurons", "Neurons"); }, "Expected ']'");
  // An end tag outside every block closes nothing.
  ExpectError([] { Tag("[~DataSet]"); }, "Unexpected End Tag");
}

TEST(ReadTag, EndOfInput) {
  EXPECT_EQ(Tag("  /* only a comment */ ").type, TAG_END);
  ExpectError([] { Tag("", "Layer"); }, "Unexpected end of file");
  ExpectError([] { Tag("["); }, "Unexpected end of file");
  ExpectError([] { Tag("[Rows ="); }, "Unexpected end of file");
}

TEST(ReadTag, MisplacedSpecialCharacters) {
  ExpectError([] { Tag("[[Data]"); }, "Unexpected special character");
  ExpectError([] { Tag("[]"); }, "Unexpected special character");
  ExpectError([] { Tag("[Rows = ]"); }, "Unexpected special character");
  ExpectError([] { Tag("] 1"); }, "Unexpected ']'");
  ExpectError([] { Tag("]", nullptr, true); }, "Unexpected special character");
}

TEST(TypedReaders, ComposedMessages) {
  FileTools ft;
  const FileTag block = Tag("[Layer = 3]");
  ExpectError([&] { ft.ExpectBlockStart(block, "DATA"); }, "[DATA] expected");
  ExpectError([&] { ft.ExpectBlockStart(Tag("1"), nullptr); }, "start of block expected");
  EXPECT_EQ(ft.ExpectBlockStart(Tag("[Any x"), nullptr), "Any");
  ExpectError([&] { ft.ExpectEndTag(block); }, "End Tag expected");
  ExpectError([&] { ft.ReadStringTag(Tag("[Layer]"), "NETWORKTYPE", nullptr); },
              "[NETWORKTYPE = <string>] expectedLayer");
  EXPECT_EQ(ft.ReadStringTag(Tag("[networktype = Mlp]"), "NETWORKTYPE", nullptr), "Mlp");
  EXPECT_EQ(ft.ReadStringTag(Tag("[networktype = Mlp]"), "NETWORKTYPE", "MLP"), "");
  ExpectError([&] { ft.ReadStringTag(Tag("[NetworkType = Basic]"), "NETWORKTYPE", "MLP"); },
              "[NETWORKTYPE = MLP] expected");
  EXPECT_EQ(ft.ReadIntegerTag(block, "LAYER"), 3);
  ExpectError([&] { ft.ReadIntegerTag(block, "ROWS"); }, "[ROWS = <integer>] expected");
  ExpectError([&] { ft.ReadIntegerTag(Tag("[Layer = x]"), "LAYER"); }, "integer-expected");
  EXPECT_EQ(ft.ReadNumberTag(Tag("[Gain = 2.5]"), "gain"), 2.5);
  ExpectError([&] { ft.ReadNumberTag(block, "GAIN"); }, "[GAIN = <number>] expected");
  EXPECT_EQ(ft.ReadNumberToken(Tag("-0.125")), -0.125);
  ExpectError([&] { ft.ReadNumberToken(block); }, "Token (number) expected");
  ExpectError([&] { ft.ReadNumberToken(Tag("abc")); }, "number-expected");
}

TEST(ParseInteger, LeadingDecimalNumber) {
  FileTools ft;
  EXPECT_EQ(ft.ParseInteger("42"), 42);
  EXPECT_EQ(ft.ParseInteger("-7"), -7);
  EXPECT_EQ(ft.ParseInteger("+7"), 7);
  EXPECT_EQ(ft.ParseInteger("12abc"), 12);
  EXPECT_EQ(ft.ParseInteger("0x1F"), 0);  // decimal only
  EXPECT_EQ(ft.ParseInteger("3.9"), 3);
  EXPECT_EQ(ft.ParseInteger("-9223372036854775808"), -9223372036854775807L - 1);
  for (const char* bad : {"", "abc", "-", "+x", "99999999999999999999", "Labels"}) {
    ExpectError([&] { ft.ParseInteger(bad); }, "integer-expected");
  }
}

TEST(ParseNumber, FiniteRealsOnly) {
  FileTools ft;
  EXPECT_EQ(ft.ParseNumber("0.1"), 0.1);  // the double nearest 0.1, not a float's
  EXPECT_EQ(ft.ParseNumber("-2.5e-3"), -0.0025);
  EXPECT_EQ(ft.ParseNumber("7"), 7.0);
  EXPECT_EQ(ft.ParseNumber("1.5xyz"), 1.5);
  EXPECT_EQ(ft.ParseNumber(".5"), 0.5);
  EXPECT_EQ(ft.ParseNumber("0x10"), 16.0);
  EXPECT_EQ(ft.ParseNumber("1e-400"), 0.0);  // underflow is still a number
  for (const char* bad : {"", "x1", ".", "-", "e5", "nan", "NaN", "-nan", "nan(123)", "inf", "-INF",
                          "+Inf", "infinity", "-Infinity", "1e400", "-1e999"}) {
    ExpectError([&] { ft.ParseNumber(bad); }, "number-expected");
  }
}

TEST(TagWriter, BracketedForms) {
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
  EXPECT_EQ(out.str(),
            "[FormatVersion = 1.0]\n\n[NeuralNetwork]\n[NetworkType = MLP]\n"
            "[NumberOfLayers = -3]\n[Gain = 1.500]\n[~NeuralNetwork]\n\n");
}

TEST(TagWriter, InlineForms) {
  FileTools ft;
  std::ostringstream out;
  out << '[';
  ft.WriteBlockStart("Attributes", out, false);
  ft.WriteStringTag("Name", "Basic", out, false);
  ft.WriteIntegerTag("From", 12, out, false);
  ft.WriteNumberTag("Weight", 0.25, 15, out, false);
  ft.WriteTag(TAG_TOKEN, "Trainable", "", out, false);
  out << ']';
  EXPECT_EQ(out.str(), "[Attributes Name=Basic From=12 Weight=0.250000000000000 Trainable ]");
}

TEST(TagWriter, WideNumbersAreWrittenInFull) {
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

TEST(TagWriter, WrittenTagsReadBack) {
  FileTools ft;
  std::ostringstream out;
  ft.WriteStringTag("Name", "Basic", out);
  out << '[';
  ft.WriteStringTag("Name", "Basic", out, false);
  ft.WriteNumberTag("Gain", -0.5, 15, out, false);
  out << "]\n";
  std::istringstream in(out.str());
  FileTag tag;
  ft.ReadTag(tag, nullptr, in, false);
  EXPECT_EQ(tag.type, TAG_ASSIGN);
  EXPECT_FALSE(tag.open);
  EXPECT_EQ(ft.ReadStringTag(tag, "NAME", "basic"), "");
  ft.ReadTag(tag, nullptr, in, false);
  EXPECT_TRUE(tag.open);
  ft.ReadTag(tag, nullptr, in, true);
  EXPECT_FALSE(tag.open);
  EXPECT_EQ(ft.ReadNumberTag(tag, "Gain"), -0.5);
}

}  // namespace
