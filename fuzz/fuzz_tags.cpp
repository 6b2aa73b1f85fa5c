// Fuzz target: the tokenizer, the tag reader, the typed readers and the tag
// writer.
//
// The input is read twice: once token by token, once tag by tag the way the
// file readers walk their blocks (a block start opens a block until its end
// tag, an open bracket is followed by its items in continuation mode, a
// Layer assignment opens a block as in network files). Every tag that comes
// back is written with the tag writer and must read back the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/FileTools.h"
#include "FuzzSupport.h"
#include "common/StrCase.h"

namespace {

bool IsSeparator(unsigned char c) {
  return c < 0x21 || c > 0x7E || c == ',';
}

bool IsSpecial(unsigned char c) {
  return c != 0 && std::strchr("[]/*=<>", c) != nullptr;
}

bool Same(const std::string& a, const char* b) {
  return quill::strcasecmp(a.c_str(), b) == 0;
}

// A word token: one or more word characters.
bool IsWord(const std::string& t) {
  if (t.empty() || t.size() > FileTools::kMaxTokenLength) return false;
  for (unsigned char c : t) {
    if (IsSeparator(c) || IsSpecial(c)) return false;
  }
  return true;
}

void CheckToken(const std::string& t) {
  if (t == "[~") return;
  if (t.size() == 1 && IsSpecial(static_cast<unsigned char>(t[0]))) return;
  FUZZ_CHECK(IsWord(t));
}

// The number readers either convert or throw their own message; what they
// return is finite, and a number written as a tag reads back.
void CheckNumbers(FileTools& ft, const std::string& text) {
  try {
    const double v = ft.ParseNumber(text);
    FUZZ_CHECK(std::isfinite(v));
    std::ostringstream out;
    ft.WriteNumberTag("N", v, 15, out);
    std::istringstream back(out.str());
    FileTag tag;
    ft.ReadTag(tag, nullptr, back, false);
    const double w = ft.ReadNumberTag(tag, "N");
    FUZZ_CHECK(std::fabs(w - v) <= 1e-15 + std::fabs(v) * 1e-15);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(e.message == "number-expected");
  }
  try {
    const long v = ft.ParseInteger(text);
    std::ostringstream out;
    ft.WriteIntegerTag("I", v, out);
    std::istringstream back(out.str());
    FileTag tag;
    ft.ReadTag(tag, nullptr, back, false);
    FUZZ_CHECK(ft.ReadIntegerTag(tag, "I") == v);
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(e.message == "integer-expected");
  }
}

// A block start or assignment written bracketed, and as an inline item,
// reads back as the same tag.
void CheckRoundTrip(FileTools& ft, const FileTag& tag) {
  FUZZ_CHECK(IsWord(tag.name));
  if (tag.type == TAG_ASSIGN) FUZZ_CHECK(IsWord(tag.value));
  if (Same(tag.name, "FormatVersion")) return;  // skipped by the reader outside items
  for (const bool bracketed : {true, false}) {
    std::ostringstream out;
    if (tag.type == TAG_ASSIGN) {
      ft.WriteStringTag(tag.name, tag.value, out, bracketed);
    } else {
      ft.WriteBlockStart(tag.name, out, bracketed);
    }
    std::istringstream back(out.str());
    FileTag read;
    ft.ReadTag(read, nullptr, back, !bracketed);
    FUZZ_CHECK(read.type == tag.type && read.name == tag.name && read.value == tag.value);
    // An inline item is followed by no "]", so more items could follow.
    FUZZ_CHECK(read.open == !bracketed);
  }
}

void ReadTokens(const std::string& input) {
  std::istringstream in(input);
  FileTools ft;
  try {
    for (;;) {
      const std::string t = ft.ReadToken(in);
      if (t.empty()) return;
      CheckToken(t);
    }
  } catch (const FileTools::Error& e) {
    // The tokenizer's own errors; a NUL byte only where the input has one.
    FUZZ_CHECK(e.message == "Unexpected end of file during comment" ||
               e.message == "Token too long" || e.message == FileTools::kLongGap ||
               (e.message == FileTools::kNulByte && input.find('\0') != std::string::npos));
  }
}

void ReadTags(const std::string& input) {
  std::istringstream in(input);
  FileTools ft;
  std::vector<std::string> blocks;  // open blocks, innermost last
  bool items = false;               // reading the items of an open bracket
  FileTag tag;
  try {
    for (;;) {
      const char* block = blocks.empty() ? nullptr : blocks.back().c_str();
      ft.ReadTag(tag, block, in, items);
      if (tag.type == TAG_END) {
        if (block == nullptr) {
          FUZZ_CHECK(in.peek() == std::char_traits<char>::eof());
          return;
        }
        FUZZ_CHECK(Same(tag.name, block));
        blocks.pop_back();
        items = false;
        continue;
      }
      if (tag.type == TAG_TOKEN) {
        FUZZ_CHECK(!items);
        CheckToken(tag.name);
        CheckNumbers(ft, tag.name);
        continue;
      }
      FUZZ_CHECK(tag.type == TAG_BLOCK || tag.type == TAG_ASSIGN);
      CheckRoundTrip(ft, tag);
      if (tag.type == TAG_ASSIGN) CheckNumbers(ft, tag.value);
      if (items) {
        items = tag.open;
        continue;
      }
      // A block start opens a block; so does [Layer = n]. An open bracket
      // followed by another "[" is a block start written without its "]";
      // otherwise its items follow.
      if (tag.type == TAG_BLOCK || Same(tag.name, "Layer")) blocks.push_back(tag.name);
      items = tag.open && in.peek() != '[';
      if (tag.type == TAG_BLOCK) {
        FUZZ_CHECK(ft.ExpectBlockStart(tag, nullptr) == tag.name);
        FUZZ_CHECK(ft.ExpectBlockStart(tag, tag.name.c_str()) == tag.name);
      } else {
        FUZZ_CHECK(ft.ReadStringTag(tag, tag.name.c_str(), nullptr) == tag.value);
      }
    }
  } catch (const FileTools::Error& e) {
    FUZZ_CHECK(!e.message.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  ReadTokens(input);
  ReadTags(input);
  return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillfuzz::SilenceStreams();
  return 0;
}
