#include "MLP/Quill/ParameterReader.h"

#include <cctype>
#include <cmath>
#include <iomanip>
#include <istream>
#include <limits>

#include "MLP/Quill/ParameterFile.h"
#include "MLP/Quill/ParameterKeys.h"
#include "common/NumberText.h"

ParameterReader::ParameterReader(std::istream& in, std::vector<ReadEvent>* events)
    : in_(in), events_(events), flags_(in.flags()) {
  // Integers are read with base prefixes, whatever the stream was set to.
  in_.unsetf(std::ios_base::basefield);
}

ParameterReader::~ParameterReader() {
  in_.flags(flags_);
}

std::string ParameterReader::BadValue(const ParameterKey& key) {
  return std::string("Invalid or missing value for ") + key.name;
}

bool ParameterReader::Failed() const {
  return in_.bad();
}

std::int64_t ParameterReader::Offset() {
  // Only asked while recording: the plain reading never moves or asks the
  // stream beyond its extractions.
  in_ >> std::ws;
  return static_cast<std::int64_t>(in_.tellg());
}

void ParameterReader::Record(ReadEvent::Kind kind, std::int64_t at, std::string text,
                             const ParameterKey* key, std::int64_t end) {
  if (events_ != nullptr) events_->push_back(ReadEvent{kind, at, end, std::move(text), key});
}

bool ParameterReader::NextWord(std::string& word) {
  if (events_ != nullptr) word_at_ = Offset();
  // Bounded, so that a stream that never ends a word (/dev/zero) ends here.
  return static_cast<bool>(in_ >> std::setw(kMaxParameterWord + 1) >> word);
}

void ParameterReader::KeyFound(const std::string& word, const ParameterKey& key) {
  Record(ReadEvent::Kind::kKey, word_at_, word, &key);
}

void ParameterReader::WordSkipped(const std::string& word) {
  Record(ReadEvent::Kind::kSkipped, word_at_, word, nullptr);
}

bool ParameterReader::Separator(const ParameterKey& key) {
  const std::int64_t at = events_ != nullptr ? Offset() : 0;
  char separator = 0;
  if (!(in_ >> separator)) return false;
  Record(ReadEvent::Kind::kSeparator, at, std::string(1, separator), &key);
  return true;
}

void ParameterReader::CheckNumberEnd(const ParameterKey& key, std::int64_t at,
                                     const std::string& text) {
  if (events_ == nullptr) return;
  const int next = in_.peek();
  if (next != std::char_traits<char>::eof() && !std::isspace(next))
    Record(ReadEvent::Kind::kPartialNumber, at, text, &key, static_cast<std::int64_t>(in_.tellg()));
}

std::optional<std::string> ParameterReader::Integer(const ParameterKey& key, std::int32_t& value) {
  std::int32_t read = 0;
  if (!ListInteger(key, read)) return BadValue(key);
  value = read;
  return std::nullopt;
}

bool ParameterReader::ListInteger(const ParameterKey& key, std::int32_t& value) {
  const std::int64_t at = events_ != nullptr ? Offset() : 0;
  std::int32_t read = 0;
  if (!(in_ >> read)) return false;
  value = read;
  CheckNumberEnd(key, at, quill::ShortestText(read));
  return true;
}

std::optional<std::string> ParameterReader::Real(const ParameterKey& key, float& value) {
  const std::int64_t at = events_ != nullptr ? Offset() : 0;
  float read = 0.0f;
  if (!(in_ >> read)) {
    // Beyond the float range: the extraction fails but stores the largest
    // float of the number's sign, which is kept, and reading goes on.
    constexpr float kLargest = std::numeric_limits<float>::max();
    if (read != kLargest && read != -kLargest) return BadValue(key);
    in_.clear(in_.rdstate() & ~std::ios_base::failbit);
  }
  value = read;
  CheckNumberEnd(key, at, quill::ShortestText(read));
  return std::nullopt;
}

std::optional<std::string> ParameterReader::Double(const ParameterKey& key, double& value) {
  const std::int64_t at = events_ != nullptr ? Offset() : 0;
  double read = 0.0;
  // A stream reads no NaN or infinity, and a number beyond the double range
  // fails: the keys read this way need a usable number.
  if (!(in_ >> read) || !std::isfinite(read)) return BadValue(key);
  value = read;
  CheckNumberEnd(key, at, quill::ShortestText(read));
  return std::nullopt;
}

std::optional<std::string> ParameterReader::Word(const ParameterKey& key, std::size_t limit,
                                                 std::string& word) {
  std::string read;
  if (!(in_ >> std::setw(kMaxParameterWord + 1) >> read)) return BadValue(key);
  if (read.size() > limit) {
    return std::string(key.name) + " longer than " + std::to_string(limit) + " characters";
  }
  word = std::move(read);
  return std::nullopt;
}
