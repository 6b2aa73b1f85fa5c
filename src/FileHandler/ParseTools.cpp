// Tokenizer, tag reader, typed readers and tag writer of the block syntax.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>

#include "FileHandler/FileTools.h"
#include "common/StrCase.h"

namespace {

// Separators: every byte outside the printable range 0x21 ... 0x7E, and ",".
bool IsSeparator(int c) {
  return c < 0x21 || c > 0x7E || c == ',';
}

bool IsSpecial(int c) {
  return c != 0 && std::strchr("[]/*=<>", c) != nullptr;
}

bool SameName(const std::string& a, const char* b) {
  return quill::strcasecmp(a.c_str(), b) == 0;
}

// printf-style formatting into a string of whatever length the text needs.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

}  // namespace

void FileTools::Fail(const std::string& message) const {
  throw Error(message, MbrPtrStream);
}

void FileTools::Gap(long bytes) {
  MbrGap += bytes;
  if (MbrGap > kMaxGap) throw Error(kLongGap, MbrPtrStream, true);
}

int FileTools::SkipSeparators(std::istream& in) {
  int c = in.peek();
  long skipped = 0;
  while (c != std::char_traits<char>::eof() && IsSeparator(c)) {
    if (c == 0) throw Error(kNulByte, MbrPtrStream, true);
    in.get();
    c = in.peek();
    if (++skipped == 4096) {
      Gap(skipped);
      skipped = 0;
    }
  }
  Gap(skipped);
  return c;
}

// --- Tokenizer -------------------------------------------------------------

std::string FileTools::ReadToken(std::istream& in) {
  MbrPtrStream = &in;
  MbrGap = 0;
  constexpr int kEof = std::char_traits<char>::eof();
  for (;;) {
    int c = SkipSeparators(in);
    if (c == kEof) return std::string();
    in.get();
    if (IsSpecial(c)) {
      const int next = in.peek();
      if (c == '/' && next == '*') {
        in.get();
        SkipComment(in);
        continue;
      }
      if (c == '[' && next == '~') {
        in.get();
        return "[~";
      }
      return std::string(1, static_cast<char>(c));
    }
    std::string word(1, static_cast<char>(c));
    for (;;) {
      c = in.peek();
      if (c == kEof || IsSpecial(c)) break;  // a special character stays for the next read
      if (c == 0) throw Error(kNulByte, MbrPtrStream, true);
      in.get();
      if (IsSeparator(c)) break;  // one separator is consumed with the word
      if (word.size() == kMaxTokenLength) Fail("Token too long");
      word.push_back(static_cast<char>(c));
    }
    return word;
  }
}

void FileTools::SkipComment(std::istream& in) {
  MbrPtrStream = &in;
  // Nesting is counted rather than recursed, so no depth of nesting can
  // exhaust the stack.
  int depth = 1;
  int previous = ' ';
  for (long length = 1;; ++length) {
    const int c = in.get();
    if (c == std::char_traits<char>::eof()) Fail("Unexpected end of file during comment");
    if (c == 0) throw Error(kNulByte, MbrPtrStream, true);
    if (length % 4096 == 0) Gap(4096);
    if (previous == '*' && c == '/') {
      if (--depth == 0) return;
      previous = ' ';
    } else if (previous == '/' && c == '*') {
      ++depth;
      previous = ' ';
    } else {
      previous = c;
    }
  }
}

void FileTools::ReadTag(FileTag& tag, const char* block, std::istream& in, bool continuation) {
  MbrPtrStream = &in;
  for (;;) {  // repeats only after a skipped FormatVersion
    tag.type = TAG_END;
    tag.name.clear();
    tag.value.clear();
    tag.open = false;

    std::string t = ReadToken(in);
    if (t.empty()) {
      if (block != nullptr) Fail("Unexpected end of file");
      return;  // end of input at top level
    }

    if (t == "[" || continuation) {
      tag.name = continuation ? t : ReadToken(in);
      if (tag.name.empty()) Fail("Unexpected end of file");
      if (IsSpecial(static_cast<unsigned char>(tag.name[0]))) Fail("Unexpected special character");
      tag.type = TAG_BLOCK;
      const int c = SkipSeparators(in);
      if (c == ']') {
        in.get();
        return;
      }
      if (c != '=') {
        tag.open = true;  // the character stays for the next read
        return;
      }
      in.get();
      tag.type = TAG_ASSIGN;
      tag.value = ReadToken(in);
      if (tag.value.empty()) Fail("Unexpected end of file");
      if (IsSpecial(static_cast<unsigned char>(tag.value[0]))) {
        Fail("Unexpected special character");
      }
      if (SkipSeparators(in) == ']') {
        in.get();
      } else {
        tag.open = true;
      }
      if (continuation || !SameName(tag.name, "FormatVersion")) return;
      if (tag.open) Fail("Illegal Format of FormatVersion");
      if (ParseNumber(tag.value) > 1.0) Fail("Illegal Format Version");
      continue;  // the version line is not a tag of its own
    }

    if (t == "[~") {
      // An end tag outside every block closes nothing: it is as wrong as one
      // naming another block.
      const std::string name = ReadToken(in);
      if (block == nullptr || !SameName(name, block)) Fail("Unexpected End Tag");
      if (ReadToken(in) != "]") Fail("Expected ']'");
      tag.type = TAG_END;
      tag.name = name;
      return;
    }

    // A "]" cannot start an item: it only closes a bracket.
    if (t == "]") Fail("Unexpected ']'");
    tag.type = TAG_TOKEN;
    tag.name = std::move(t);
    return;
  }
}

// --- Typed readers -----------------------------------------------------------

std::string FileTools::ExpectBlockStart(const FileTag& tag, const char* name) {
  if (name == nullptr) {
    if (tag.type != TAG_BLOCK) Fail("start of block expected");
  } else if (tag.type != TAG_BLOCK || !SameName(tag.name, name)) {
    Fail(std::string("[") + name + "] expected");
  }
  return tag.name;
}

void FileTools::ExpectEndTag(const FileTag& tag) {
  if (tag.type != TAG_END) Fail("End Tag expected");
}

std::string FileTools::ReadStringTag(const FileTag& tag, const char* key, const char* expected) {
  if (tag.type != TAG_ASSIGN || !SameName(tag.name, key)) {
    Fail(std::string("[") + key + " = <string>] expected" + tag.name);
  }
  if (expected == nullptr) return tag.value;
  if (!SameName(tag.value, expected)) {
    Fail(std::string("[") + key + " = " + expected + "] expected");
  }
  return std::string();
}

long FileTools::ReadIntegerTag(const FileTag& tag, const char* key) {
  if (tag.type != TAG_ASSIGN || !SameName(tag.name, key)) {
    Fail(std::string("[") + key + " = <integer>] expected");
  }
  return ParseInteger(tag.value);
}

double FileTools::ReadNumberTag(const FileTag& tag, const char* key) {
  if (tag.type != TAG_ASSIGN || !SameName(tag.name, key)) {
    Fail(std::string("[") + key + " = <number>] expected");
  }
  return ParseNumber(tag.value);
}

double FileTools::ReadNumberToken(const FileTag& tag) {
  if (tag.type != TAG_TOKEN) Fail("Token (number) expected");
  return ParseNumber(tag.name);
}

long FileTools::ParseInteger(const std::string& text) {
  // "%ld": optional white space, optional sign, decimal digits; the rest of
  // the text is ignored. A number beyond the range of long is refused
  // rather than clamped.
  const char* begin = text.c_str();
  const char* p = begin;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
    ++p;
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') Fail("integer-expected");
  errno = 0;
  const long value = std::strtol(begin, nullptr, 10);
  if (errno == ERANGE) Fail("integer-expected");
  return value;
}

double FileTools::ParseNumber(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  // strtod converts whatever "%f" would scan (decimal, exponent, hex, and
  // the spellings of NaN and infinity); only finite values are numbers here.
  // An overflowing magnitude converts to infinity and is refused with them.
  if (end == text.c_str() || !std::isfinite(value)) Fail("number-expected");
  return value;
}

// --- Tag writer ----------------------------------------------------------------

namespace {

void OpenBracket(std::ostream& out, bool bracketed) {
  if (bracketed) out << '[';
}

void CloseBracket(std::ostream& out, bool bracketed, bool newline) {
  if (!bracketed) return;
  out << ']';
  if (newline) out << '\n';
}

}  // namespace

void FileTools::WriteTag(int kind, const std::string& name, const std::string& value,
                         std::ostream& out, bool bracketed) const {
  switch (kind) {
    case TAG_END:
      if (!bracketed) return;
      out << "[~" << name;
      CloseBracket(out, bracketed, true);
      return;
    case TAG_TOKEN:
      out << name << ' ';
      return;
    case TAG_BLOCK:
      OpenBracket(out, bracketed);
      out << name;
      if (bracketed) {
        CloseBracket(out, bracketed, true);
      } else {
        out << ' ';
      }
      return;
    case TAG_ASSIGN:
      OpenBracket(out, bracketed);
      if (bracketed) {
        out << name << " = " << value;
        CloseBracket(out, bracketed, true);
      } else {
        out << name << '=' << value << ' ';
      }
      return;
    case TAG_VERSION:
      if (!bracketed) return;
      OpenBracket(out, bracketed);
      out << "FormatVersion = 1.0";
      CloseBracket(out, bracketed, true);
      out << '\n';
      return;
    default:
      return;
  }
}

void FileTools::WriteFormatVersion(std::ostream& out) const {
  WriteTag(TAG_VERSION, std::string(), std::string(), out, true);
}

void FileTools::WriteBlockStart(const std::string& name, std::ostream& out, bool bracketed) const {
  WriteTag(TAG_BLOCK, name, std::string(), out, bracketed);
}

void FileTools::WriteEndTag(const char* name, std::ostream& out) const {
  if (name == nullptr) return;
  WriteTag(TAG_END, name, std::string(), out, true);
}

void FileTools::WriteStringTag(const std::string& name, const std::string& text, std::ostream& out,
                               bool bracketed) const {
  WriteTag(TAG_ASSIGN, name, text, out, bracketed);
}

void FileTools::WriteIntegerTag(const std::string& name, long value, std::ostream& out,
                                bool bracketed) const {
  WriteTag(TAG_ASSIGN, name, Format("%ld", value), out, bracketed);
}

void FileTools::WriteNumberTag(const std::string& name, double value, int precision,
                               std::ostream& out, bool bracketed) const {
  WriteTag(TAG_ASSIGN, name, Format("%.*f", precision, value), out, bracketed);
}

void FileTools::WriteNewline(std::ostream& out) const {
  out << '\n';
}
