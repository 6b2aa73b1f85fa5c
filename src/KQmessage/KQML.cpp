#include "KQmessage/KQML.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "common/Assert.h"
#include "common/StrCase.h"

namespace {
constexpr const char* kSourceUnit = "KQmessage/KQML";
constexpr int kInitialSlots = 16;
}  // namespace

TKQstructure::Error::Error(const TKQstructure& r) : report_ptr(std::make_unique<TKQstructure>(r)) {}
TKQstructure::Error::Error(const Error& other)
    : report_ptr(std::make_unique<TKQstructure>(*other.report_ptr)) {}
TKQstructure::Error& TKQstructure::Error::operator=(const Error& other) {
  if (this != &other) report_ptr = std::make_unique<TKQstructure>(*other.report_ptr);
  return *this;
}
TKQstructure::Error::~Error() = default;

TKQstructure::TKQstructure() : TKQstructure(std::string("unknown")) {}

TKQstructure::TKQstructure(const std::string& h)
    : head(h), entries(kInitialSlots), capacity(kInitialSlots), count(0) {}

TKQstructure::TKQstructure(const TKQstructure& other)
    : head(other.head), capacity(other.count), count(other.count) {
  entries.resize(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const Entry& e = other.entries[static_cast<std::size_t>(i)];
    entries[static_cast<std::size_t>(i)].name = e.name;
    entries[static_cast<std::size_t>(i)].value = std::make_unique<TKQstructure>(*e.value);
  }
}

TKQstructure& TKQstructure::operator=(const TKQstructure& other) {
  if (this != &other) {
    TKQstructure copy(other);
    head = std::move(copy.head);
    entries = std::move(copy.entries);
    capacity = copy.capacity;
    count = copy.count;
  }
  return *this;
}

TKQstructure::~TKQstructure() = default;

TKQstructure::Error::Error(std::unique_ptr<TKQstructure> r) : report_ptr(std::move(r)) {}

void TKQstructure::Set(const std::string& name, std::unique_ptr<TKQstructure> newval) {
  QUILL_ASSERT_TEXT(newval != nullptr, "newval != NULL");
  for (int i = count - 1; i >= 0; --i) {
    Entry& e = entries[static_cast<std::size_t>(i)];
    if (quill::strcasecmp(e.name.c_str(), name.c_str()) == 0) {
      e.value = std::move(newval);  // the stored name keeps its spelling
      return;
    }
  }
  if (count == capacity) {
    capacity = std::max(2 * capacity, kInitialSlots);
    entries.resize(static_cast<std::size_t>(capacity));
  }
  Entry& e = entries[static_cast<std::size_t>(count)];
  e.name = name;
  e.value = std::move(newval);
  ++count;
}

void TKQstructure::SetText(const std::string& name, const std::string& text) {
  Set(name, std::make_unique<TKQstructure>(text));
}

void TKQstructure::SetInt(const std::string& name, long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%ld", value);
  SetText(name, text);
}

void TKQstructure::SetReal(const std::string& name, double value) {
  // "%f" of the largest double is 316 characters with its sign and decimals.
  char text[330];
  std::snprintf(text, sizeof text, "%f", value);
  SetText(name, text);
}

void TKQstructure::SetBool(const std::string& name, bool value) {
  SetText(name, value ? "true" : "false");
}

TKQstructure* TKQstructure::Find(const std::string& name) const {
  for (int i = count - 1; i >= 0; --i) {
    const Entry& e = entries[static_cast<std::size_t>(i)];
    if (quill::strcasecmp(e.name.c_str(), name.c_str()) == 0) return e.value.get();
  }
  return nullptr;
}

TKQstructure* TKQstructure::Get(const std::string& name) const {
  TKQstructure* value = Find(name);
  if (value == nullptr) QUILL_ASSERT(0);
  return value;
}

TKQstructure* TKQstructure::Require(const std::string& name) const {
  TKQstructure* value = Find(name);
  if (value == nullptr) {
    auto report = KQMakeError("invalid-message");
    report->SetText("expected", name);
    throw Error(std::move(report));
  }
  return value;
}

void TKQstructure::Expect(const std::string& name, const std::string& text) const {
  const TKQstructure* value = Require(name);
  if (text.empty()) return;
  if (quill::strcasecmp(value->head.c_str(), text.c_str()) != 0) {
    auto report = KQMakeError("invalid-message");
    report->SetText("tag", name);
    report->SetText("expected-value", text);
    throw Error(std::move(report));
  }
}

void TKQstructure::Remove(const std::string& name) {
  for (int i = 0; i < count; ++i) {
    if (quill::strcasecmp(entries[static_cast<std::size_t>(i)].name.c_str(), name.c_str()) == 0) {
      // The last entry fills the gap: the only operation that reorders entries.
      const auto last = static_cast<std::size_t>(count - 1);
      if (static_cast<std::size_t>(i) != last) {
        entries[static_cast<std::size_t>(i)] = std::move(entries[last]);
      }
      entries[last] = Entry{};
      --count;
      return;
    }
  }
}

void TKQstructure::Print(std::ostream& out) const {
  if (count == 0) {
    out << head;
    return;
  }
  out << '(' << head;
  for (int i = 0; i < count; ++i) {
    const Entry& e = entries[static_cast<std::size_t>(i)];
    out << " :" << e.name << ' ';
    e.value->Print(out);
  }
  out << ')';
}

void TKQstructure::Print() const {
  Print(std::cout);
}

void TKQstructure::PrintLine() const {
  Print(std::cout);
  std::cout << '\n';
}

std::string TKQstructure::ToString() const {
  std::ostringstream out;
  Print(out);
  return out.str();
}

std::unique_ptr<TKQstructure> KQMakeError(const std::string& type) {
  auto report = std::make_unique<TKQstructure>("error");
  report->SetText("type", type);
  return report;
}

bool KQParseBool(const std::string& text) {
  if (quill::strcasecmp(text.c_str(), "TRUE") == 0) return true;
  if (quill::strcasecmp(text.c_str(), "FALSE") == 0) return false;
  auto report = KQMakeError("type-error");
  report->SetText("expected", "boolean");
  throw TKQstructure::Error(std::move(report));
}

namespace {

// Reads a decimal integer as "%ld" does; returns the number of values read
// (0 or 1). Out-of-range values saturate instead of being undefined.
int ScanLong(const std::string& text, long* value) {
  const char* start = text.c_str();
  char* end = nullptr;
  *value = std::strtol(start, &end, 10);
  return end == start ? 0 : 1;
}

// Reads a real number as "%lf" does; returns the number of values read.
int ScanDouble(const std::string& text, double* value) {
  const char* start = text.c_str();
  char* end = nullptr;
  *value = std::strtod(start, &end);
  return end == start ? 0 : 1;
}

}  // namespace

long KQParseInt(const std::string& text) {
  long value = 0;
  if (ScanLong(text, &value) != 1) {
    auto report = KQMakeError("invalid-message");
    report->SetText("integer-expected", text);
    throw TKQstructure::Error(std::move(report));
  }
  return value;
}

double KQParseReal(const std::string& text) {
  double value = 0.0;
  if (ScanDouble(text, &value) != 1) {
    auto report = KQMakeError("invalid-message");
    report->SetText("number-expected", text);
    throw TKQstructure::Error(std::move(report));
  }
  return value;
}

long KQToInt(const std::string& text) {
  long value = 0;
  const int err = ScanLong(text, &value);
  QUILL_ASSERT(err == 1);
  return value;
}

double KQToReal(const std::string& text) {
  double value = 0.0;
  const int err = ScanDouble(text, &value);
  QUILL_ASSERT(err == 1);
  return value;
}

std::string KQJoinWords(int count, const char* const* words) {
  std::string text;
  for (int i = 1; i < count; ++i) {
    text += words[i];
    text += ' ';
  }
  return text;
}

namespace {

bool IsPrintable(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= '!' && u <= '~';
}

bool IsSpecial(char c, const char* specials) {
  return c != '\0' && std::strchr(specials, c) != nullptr;
}

}  // namespace

std::string KQNextToken(const char*& cursor, const char* specials) {
  const char* s = cursor;
  while (*s != '\0' && !IsPrintable(*s))
    ++s;
  if (*s == '\0') {
    cursor = s;
    return std::string();
  }
  if (IsSpecial(*s, specials)) {
    cursor = s + 1;
    return std::string(1, *s);
  }
  const char* start = s;
  // A ':' after the first character belongs to the word (x:y is one token).
  while (IsPrintable(*s) && (*s == ':' || !IsSpecial(*s, specials)))
    ++s;
  cursor = s;
  return std::string(start, s);
}

void KQCheckWord(char c) {
  if (c == '\0' || c == '(' || c == ')' || c == ':') {
    std::cerr << "special character unexpected" << std::endl;
    QUILL_ASSERT(0);
  }
}

namespace {
constexpr const char* kSpecials = "():";
}  // namespace

std::unique_ptr<TKQstructure> KQParse(const char*& s) {
  auto result = std::make_unique<TKQstructure>();
  std::string token = KQNextToken(s, kSpecials);
  if (token != "(") {
    KQCheckWord(token.empty() ? '\0' : token[0]);
    result->SetHead(token);
    return result;
  }
  token = KQNextToken(s, kSpecials);
  KQCheckWord(token.empty() ? '\0' : token[0]);
  result->SetHead(token);
  for (;;) {
    token = KQNextToken(s, kSpecials);
    if (token == ")") return result;
    if (token != ":") QUILL_ASSERT_TEXT(false, "*s == ')'");
    const std::string name = KQNextToken(s, kSpecials);
    KQCheckWord(name.empty() ? '\0' : name[0]);
    result->Set(name, KQParse(s));
  }
}

std::unique_ptr<TKQstructure> KQParseMessage(const char*& s) {
  auto result = KQParse(s);
  while (*s != '\0' && !IsPrintable(*s))
    ++s;
  QUILL_ASSERT_TEXT(*s == '\0', "*s == '\\0'");
  return result;
}
