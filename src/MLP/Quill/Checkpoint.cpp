#include "MLP/Quill/Checkpoint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <system_error>

#include "FileHandler/FileTools.h"
#include "GA-Apps/GenTrain/TGenTrainEval.h"
#include "MLP/Quill/ParameterFile.h"
#include "common/Checksum.h"
#include "common/Fingerprint.h"
#include "common/NumberText.h"
#include "common/StrCase.h"

namespace {

std::string SelectionName(std::int32_t selection) {
  return selection == QuillParameters::kSelectTournament ? "Tournament" : "Roulette";
}

// --- Writing -------------------------------------------------------------

class Writer {
 public:
  explicit Writer(std::ostream& out) : out_(out) {}

  void Assign(const char* key, const std::string& value) { ft_.WriteStringTag(key, value, out_); }
  void Block(const char* name) { ft_.WriteBlockStart(name, out_); }
  void End(const char* name) { ft_.WriteEndTag(name, out_); }

  // Genes as plain tokens, ten a line, inside [Genes] ... [~Genes].
  void Genes(const std::vector<GeneCell>& values) {
    Block("Genes");
    char buffer[8192];
    char* at = buffer;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (at > buffer + sizeof buffer - 64) {
        out_.write(buffer, at - buffer);
        at = buffer;
      }
      at = std::to_chars(at, buffer + sizeof buffer, values[i].AsReal()).ptr;
      *at++ = (i % 10 == 9 || i + 1 == values.size()) ? '\n' : ' ';
    }
    out_.write(buffer, at - buffer);
    End("Genes");
  }

 private:
  std::ostream& out_;
  FileTools ft_;
};

// --- The checksum line ---------------------------------------------------

constexpr const char* kChecksumStart = "[Checksum = ";
// "[Checksum = " 16 hexadecimal digits "]\n"
constexpr std::size_t kChecksumLine = 12 + 16 + 2;

std::string ChecksumLine(std::uint64_t checksum) {
  return kChecksumStart + quill::FingerprintText(checksum) + "]\n";
}

// Where the checksum line starts in `text` (text.size() when it has none).
std::size_t ChecksumLineAt(std::string_view text) {
  if (text.size() < kChecksumLine) return text.size();
  const std::size_t at = text.size() - kChecksumLine;
  const std::string_view line = text.substr(at);
  if (line.substr(0, 12) != kChecksumStart || line.substr(28) != "]\n") return text.size();
  if (at > 0 && text[at - 1] != '\n') return text.size();
  for (char c : line.substr(12, 16)) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return text.size();
  }
  return at;
}

// --- Reading -------------------------------------------------------------

// The input of the reader, in pieces: read by the tag reader as a stream and
// directly by the fast path for gene lists. It keeps the checksum of the
// bytes read, and cuts the input short at a NUL byte (no text holds one) or
// past the most bytes allowed, so that an endless input ends at once; the
// reader then names the cause.
class CheckedInput : public std::streambuf {
 public:
  CheckedInput(std::istream& source, std::uint64_t max_bytes)
      : source_(source),
        max_bytes_(max_bytes),
        piece_(std::make_unique_for_overwrite<char[]>(kPiece)) {
    setg(piece_.get(), piece_.get(), piece_.get());
    hashed_ = piece_.get();
  }

  const char* Here() const { return gptr(); }
  const char* End() const { return egptr(); }
  void MoveTo(const char* at) { setg(eback(), const_cast<char*>(at), egptr()); }

  // Why the input was cut short, or null.
  const char* Cut() const { return cut_; }
  // The checksum of every byte before the current position.
  std::uint64_t ChecksumSoFar() {
    Hash(gptr());
    return sum_.Value();
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    Hash(egptr());
    char* begin = piece_.get();
    setg(begin, begin, begin);
    hashed_ = begin;
    if (cut_ != nullptr || ended_) return traits_type::eof();
    source_.read(begin, static_cast<std::streamsize>(kPiece));
    auto got = static_cast<std::size_t>(source_.gcount());
    if (got < kPiece) ended_ = true;
    if (source_.bad()) cut_ = "Read error";
    // What lies beyond the most bytes allowed is never read as text.
    const std::uint64_t allowed = max_bytes_ - std::min(read_, max_bytes_);
    read_ += got;
    if (got > allowed) {
      cut_ =
          "Longer than a checkpoint of this run can be (are PopulationSize, the weight file and "
          "the data files those it was saved with?)";
      got = static_cast<std::size_t>(allowed);
    }
    if (const void* nul = std::memchr(begin, '\0', got)) {
      cut_ = FileTools::kNulByte;
      got = static_cast<std::size_t>(static_cast<const char*>(nul) - begin);
    }
    setg(begin, begin, begin + got);
    return got > 0 ? traits_type::to_int_type(*begin) : traits_type::eof();
  }

 private:
  static constexpr std::size_t kPiece = 1 << 16;

  void Hash(const char* to) {
    sum_.Update(std::string_view(hashed_, static_cast<std::size_t>(to - hashed_)));
    hashed_ = const_cast<char*>(to);
  }

  std::istream& source_;
  std::uint64_t max_bytes_;
  std::uint64_t read_ = 0;
  std::unique_ptr<char[]> piece_;
  char* hashed_;
  quill::Checksum sum_;
  bool ended_ = false;
  const char* cut_ = nullptr;
};

// The bytes the tokenizer takes into a word: printable, not a separator
// (",") and not one of the special characters that end a word.
constexpr std::array<bool, 256> kWordBytes = [] {
  std::array<bool, 256> word{};
  for (int c = 0x21; c <= 0x7E; ++c)
    word[static_cast<std::size_t>(c)] =
        std::string_view(",[]/*=<>").find(static_cast<char>(c)) == std::string_view::npos;
  return word;
}();

bool IsWordByte(char c) {
  return kWordBytes[static_cast<unsigned char>(c)];
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Eight ASCII digits in the bytes of `word` (read little-endian), and their
// value, eight at a time: the common fraction of a gene takes one step.
std::uint64_t EightBytes(const char* p) {
  std::uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

bool EightDigits(std::uint64_t word) {
  return ((word & 0xF0F0F0F0F0F0F0F0ull) |
          (((word + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) == 0x3333333333333333ull;
}

std::uint64_t EightDigitsValue(std::uint64_t word) {
  word -= 0x3030303030303030ull;
  word = word * 10 + (word >> 8);
  return (((word & 0x000000FF000000FFull) * 0x000F424000000064ull) +
          (((word >> 16) & 0x000000FF000000FFull) * 0x0000271000000001ull)) >>
         32;
}

// The float the text from `p` spells when it is a decimal number of the form
// to_chars writes ("-0.125", "3.5e-07", "1e+20") whose digits and power of
// ten a double holds exactly; nothing otherwise. `stop` is where the number
// ends. The quotient (or product) of the two doubles is the double nearest
// the number, and rounding that to a float gives the float nearest the
// number, as from_chars gives it, unless the double lies exactly halfway
// between two floats: that case is left to from_chars.
std::optional<float> QuickFloat(const char* p, const char* end, const char*& stop) {
  const bool negative = *p == '-';
  if (negative) ++p;
  const char* first = p;
  std::uint64_t digits = 0;  // wraps harmlessly for more than 19 digits, refused below
  for (; p != end && IsDigit(*p); ++p)
    digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
  if (p == first) return std::nullopt;
  std::ptrdiff_t count = p - first;
  int scale = 0;  // the power of ten the digits are scaled by
  if (p != end && *p == '.') {
    const char* fraction = ++p;
    for (std::uint64_t eight = 0; end - p >= 8 && EightDigits(eight = EightBytes(p)); p += 8)
      digits = digits * 100000000 + EightDigitsValue(eight);
    for (; p != end && IsDigit(*p); ++p)
      digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
    if (p == fraction) return std::nullopt;
    count += p - fraction;
    scale = -static_cast<int>(p - fraction);
  }
  if (count > 19 || digits > (std::uint64_t{1} << 53)) return std::nullopt;
  if (p != end && *p == 'e') {
    ++p;
    if (p == end || (*p != '-' && *p != '+')) return std::nullopt;
    const bool down = *p++ == '-';
    const char* exponent_first = p;
    int exponent = 0;
    for (; p != end && IsDigit(*p) && p - exponent_first < 4; ++p)
      exponent = exponent * 10 + (*p - '0');
    if (p == exponent_first) return std::nullopt;
    scale += down ? -exponent : exponent;
  }
  if (scale < -22 || scale > 22) return std::nullopt;
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const auto value = static_cast<double>(digits);
  const double nearest = scale < 0 ? value / kPowers[-scale] : value * kPowers[scale];
  // Halfway between two floats: a 1 just below a float's last bit, zeros after.
  if ((std::bit_cast<std::uint64_t>(nearest) & 0x1FFFFFFFull) == 0x10000000ull) return std::nullopt;
  // At most 2^53 scaled by at most 10^22 either way: 0 or a normal float, so
  // the halfway test fits its spacing.
  stop = p;
  const auto rounded = static_cast<float>(nearest);
  return negative ? -rounded : rounded;
}

class Reader {
 public:
  Reader(std::istream& source, const CheckpointReading& how)
      : input_(source, how.max_bytes), in_(&input_), plain_(how.plain) {}

  // Throws `what`, or why the input was cut short when it was: what the
  // reader met then was only the cut.
  [[noreturn]] void Fail(const std::string& what) {
    throw CheckpointError(input_.Cut() != nullptr ? std::string(input_.Cut()) : what);
  }

  // A checkpoint that reads to its end may still have been cut short there.
  void FailIfCut() {
    if (input_.Cut() != nullptr) throw CheckpointError(input_.Cut());
  }

  void Next(const char* block) {
    try {
      ft_.ReadTag(tag_, block, in_, false);
    } catch (const FileTools::Error& e) {
      Fail(e.message);
    }
  }

  // [key = value]: the value.
  std::string Assigned(const char* block, const char* key) {
    Next(block);
    if (tag_.type != TAG_ASSIGN || tag_.open || quill::strcasecmp(tag_.name.c_str(), key) != 0)
      Fail(std::string("[") + key + " = ...] expected");
    return tag_.value;
  }

  void BlockStart(const char* block, const char* name) {
    Next(block);
    if (tag_.type != TAG_BLOCK || tag_.open || quill::strcasecmp(tag_.name.c_str(), name) != 0)
      Fail(std::string("[") + name + "] expected");
  }

  void EndTag(const char* block) {
    Next(block);
    if (tag_.type != TAG_END) Fail(std::string("[~") + block + "] expected");
  }

  template <class T>
  T Number(std::string_view text, const char* what) {
    T value{};
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    if (r.ec != std::errc() || r.ptr != end) Fail(std::string("Bad number for ") + what);
    if constexpr (std::is_floating_point_v<T>) {
      if (!std::isfinite(value)) Fail(std::string("Bad number for ") + what);
    }
    return value;
  }

  template <class T>
  T Value(const char* block, const char* key) {
    return Number<T>(Assigned(block, key), key);
  }

  // A fingerprint: 16 hexadecimal digits.
  std::uint64_t Fingerprint(const std::string& text, const char* what) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value, 16);
    if (r.ec != std::errc() || r.ptr != end || text.size() != 16)
      Fail(std::string("Bad fingerprint for ") + what);
    return value;
  }

  // The tokens of a [Genes] block up to its end tag, as real genes; room is
  // made for `expected` of them.
  std::vector<GeneCell> Genes(const char* block, std::int32_t expected) {
    BlockStart(block, "Genes");
    std::vector<GeneCell> values;
    // Memory follows the text read more than the count a file claims.
    values.reserve(static_cast<std::size_t>(std::clamp(expected, 0, 1 << 20)));
    if (plain_) {
      while (PlainGene(values)) {
      }
      return values;
    }
    // The common case, numbers separated by blanks and line ends within the
    // piece of input at hand, is read here; anything else (another
    // separator, a comment, the end tag, a word too long or running to the
    // end of the piece) goes through the tag reader from where it starts,
    // so that exactly the same text is accepted and refused either way.
    const char* p = input_.Here();
    const char* end = input_.End();
    for (;;) {
      const char* blank = p;
      while (p != end && (*p == ' ' || *p == '\n') && p - blank < kLongestBlankRun)
        ++p;
      const char* stop = p;
      if (p != end) {
        if (const std::optional<float> quick = QuickFloat(p, end, stop);
            quick && stop != end && !IsWordByte(*stop) &&
            static_cast<std::size_t>(stop - p) <= FileTools::kMaxTokenLength) {
          values.push_back(GeneCell::FromReal(*quick));
          p = stop;
          continue;
        }
      }
      const char* word = p;
      while (p != end && IsWordByte(*p))
        ++p;
      if (p == word || p == end ||
          static_cast<std::size_t>(p - word) > FileTools::kMaxTokenLength) {
        input_.MoveTo(blank);
        if (!PlainGene(values)) return values;
        p = input_.Here();
        end = input_.End();
        continue;
      }
      values.push_back(GeneCell::FromReal(
          Number<float>(std::string_view(word, static_cast<std::size_t>(p - word)), "a gene")));
    }
  }

  // After the end tag of a checkpoint of Format 2: the rest of the input
  // must be the end of that line and the checksum line, the checksum that of
  // every byte before it.
  void Checksum() {
    const int line_end = in_.get();
    const std::uint64_t checksum = input_.ChecksumSoFar();
    std::string rest;
    for (int c = in_.get(); c != std::char_traits<char>::eof() && rest.size() <= kChecksumLine;
         c = in_.get())
      rest.push_back(static_cast<char>(c));
    FailIfCut();
    if (line_end == '\n' && rest == ChecksumLine(checksum)) return;
    if (line_end == '\n' && rest.size() == kChecksumLine && ChecksumLineAt(rest) == 0)
      Fail("The checksum does not match the content");
    if (rest.empty() && (line_end == '\n' || line_end == std::char_traits<char>::eof()))
      Fail("No checksum line at the end (the file is cut short)");
    Fail("Text after the checkpoint");
  }

  // The end of the input of a checkpoint of Format 1.
  void End() {
    Next(nullptr);
    if (tag_.type != TAG_END) Fail("Text after the checkpoint");
    FailIfCut();
  }

  FileTag& Tag() { return tag_; }

 private:
  // Blanks read by the fast path before it hands over to the tag reader,
  // which bounds the run of separators between two tokens.
  static constexpr std::ptrdiff_t kLongestBlankRun = 1 << 16;

  // Reads one item of a [Genes] block with the tag reader: false at its end.
  bool PlainGene(std::vector<GeneCell>& values) {
    Next("Genes");
    if (tag_.type == TAG_END) return false;
    if (tag_.type != TAG_TOKEN) Fail("Gene value expected");
    values.push_back(GeneCell::FromReal(Number<float>(tag_.name, "a gene")));
    return true;
  }

  CheckedInput input_;
  std::istream in_;
  bool plain_;
  FileTools ft_;
  FileTag tag_;
};

// 2^53: the largest count every double and every long run can hold exactly.
constexpr std::int64_t kLargestCount = std::int64_t{1} << 53;

void CheckError(Reader& r, double error) {
  if (error < 0.0) r.Fail("Negative error");
  if (error > TGenTrainEval::kNoError) r.Fail("Error above the 2147483647 a run reports at most");
}

void CheckFitness(Reader& r, float fitness) {
  if (!(fitness >= 0.0f)) r.Fail("Negative fitness");
  if (fitness > TGenTrainEval::kFitnessCeiling) r.Fail("Fitness above the ceiling of 2^96");
}

}  // namespace

RunSettings RunSettings::Of(const QuillParameters& p) {
  RunSettings s;
  s.PopulationSize = p.PopulationSize;
  s.EliteIndividuals = p.EliteIndividuals;
  s.MutationRate = p.MutationRate;
  s.CrossoverPoints = p.CrossoverPoints;
  s.Selection = p.Selection;
  s.Normalisation = p.Normalisation;
  s.MaxWeight = p.MaxWeight;
  s.MinWeight = p.MinWeight;
  s.FeaturesGiven = p.FeaturesGiven;
  s.Features = p.Features;
  s.SinglePrecision = p.SinglePrecision;
  return s;
}

namespace {

// Passes what is written on to `target` and keeps the checksum of it.
class ChecksumBuffer : public std::streambuf {
 public:
  explicit ChecksumBuffer(std::streambuf* target) : target_(target) {
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  // The checksum of everything written; false when the target failed.
  bool Finish(std::uint64_t& checksum) {
    const bool ok = sync() == 0;
    checksum = sum_.Value();
    return ok;
  }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    const std::streamsize n = pptr() - pbase();
    sum_.Update(std::string_view(pbase(), static_cast<std::size_t>(n)));
    setp(buffer_, buffer_ + sizeof buffer_);
    if (target_->sputn(buffer_, n) != n) failed_ = true;
    return failed_ ? -1 : 0;
  }

 private:
  std::streambuf* target_;
  quill::Checksum sum_;
  bool failed_ = false;
  char buffer_[1 << 16];
};

void WriteBody(std::ostream& out, const RunCheckpoint& c) {
  FileTools ft;
  Writer w(out);
  ft.WriteFormatVersion(out);
  out << "/* A saved training run: Resume = this file continues it. */\n";
  w.Block("Checkpoint");
  w.Assign("Format", quill::ShortestText(RunCheckpoint::kFormat));
  w.Assign("Generation", quill::ShortestText(c.generation));
  w.Assign("RandomState", quill::ShortestText(c.random_state));
  w.Assign("Seed", quill::ShortestText(c.seed));
  w.Assign("SeedFrom", c.seed_given ? "file" : "clock");
  w.Assign("ElapsedSeconds", quill::ShortestText(c.elapsed_seconds));
  w.Assign("Evaluations", quill::ShortestText(c.evaluations));
  w.Assign("RunLogBytes", quill::ShortestText(c.log_bytes));
  w.Assign("LowestError", quill::ShortestText(c.lowest_error));
  w.Assign("LowestErrorFitness", quill::ShortestText(c.lowest_fitness));

  w.Block("Inputs");
  w.Assign("WeightFile", quill::FingerprintText(c.network_fingerprint));
  for (std::uint64_t f : c.data_fingerprints)
    w.Assign("DataFile", quill::FingerprintText(f));
  w.End("Inputs");

  const RunSettings& s = c.settings;
  w.Block("Settings");
  w.Assign("PopulationSize", quill::ShortestText(s.PopulationSize));
  w.Assign("EliteIndividuals", quill::ShortestText(s.EliteIndividuals));
  w.Assign("MutationRate", quill::ShortestText(s.MutationRate));
  w.Assign("CrossoverPoints", quill::ShortestText(s.CrossoverPoints));
  w.Assign("Selection", SelectionName(s.Selection));
  w.Assign("Normalisation", s.Normalisation != 0 ? "on" : "off");
  w.Assign("MaxWeight", quill::ShortestText(s.MaxWeight));
  w.Assign("MinWeight", quill::ShortestText(s.MinWeight));
  w.Assign("#Features",
           s.FeaturesGiven ? quill::ShortestText(s.Features.size()) : std::string("none"));
  w.Block("Features");
  for (std::int32_t f : s.Features)
    out << f << ' ';
  out << '\n';
  w.End("Features");
  // Written for single precision only, so that the checkpoints of runs
  // without the key stay as they were.
  if (s.SinglePrecision) w.Assign("Precision", "single");
  w.End("Settings");

  w.Block("Best");
  w.Assign("Error", quill::ShortestText(c.best_error));
  w.Assign("Fitness", quill::ShortestText(c.best.fitness));
  w.Genes(c.best.values);
  w.End("Best");

  if (c.validation) {
    const RunCheckpoint::Validation& v = *c.validation;
    w.Block("Validation");
    for (std::uint64_t f : v.fingerprints)
      w.Assign("ValidationFile", quill::FingerprintText(f));
    w.Assign("BestGeneration", quill::ShortestText(v.best_generation));
    if (v.best_generation > 0) {
      w.Assign("BestError", quill::ShortestText(v.best_error));
      w.Genes(v.best.values);
    }
    w.End("Validation");
  }

  w.Block("Population");
  w.Assign("Individuals", quill::ShortestText(c.individuals.size()));
  w.Assign("Genes", quill::ShortestText(c.gene_count));
  for (const IndividualRecord& r : c.individuals) {
    w.Block("Individual");
    w.Assign("Identifier", quill::ShortestText(r.identifier));
    w.Assign("ParentOne", quill::ShortestText(r.parent_one));
    w.Assign("ParentTwo", quill::ShortestText(r.parent_two));
    w.Assign("Fitness", quill::ShortestText(r.fitness));
    w.Genes(r.values);
    w.End("Individual");
  }
  w.End("Population");
  w.End("Checkpoint");
}

}  // namespace

void WriteCheckpoint(std::ostream& out, const RunCheckpoint& c) {
  auto buffer = std::make_unique<ChecksumBuffer>(out.rdbuf());
  std::ostream body(buffer.get());
  WriteBody(body, c);
  std::uint64_t checksum = 0;
  if (!buffer->Finish(checksum) || !body) {
    out.setstate(std::ios::badbit);
    return;
  }
  out << ChecksumLine(checksum);
}

std::uint64_t CheckpointSizeLimit(std::int64_t population, std::int64_t genes, std::int64_t classes,
                                  std::int64_t features) {
  // A gene takes at most 16 bytes ("-1.17549435e-38" and a separator), an
  // individual's tags fewer than 512, the rest fewer than 64 KiB besides a
  // line per data class and a number per feature. Twice that leaves room
  // for other spacing; four times the population lets a checkpoint of a
  // population up to four times this run's be read, so that a changed
  // PopulationSize is reported as the mismatch it is.
  auto count = [](std::int64_t n) { return static_cast<std::uint64_t>(n > 0 ? n : 0); };
  const std::uint64_t record = 512 + 16 * count(genes);
  return 2 * ((4 * count(population) + 1) * record + 65536 + 64 * count(classes) +
              16 * count(features));
}

std::string SealCheckpoint(std::string_view text) {
  const std::string_view content = text.substr(0, ChecksumLineAt(text));
  return std::string(content) + ChecksumLine(quill::Checksum::Of(content));
}

RunCheckpoint ReadCheckpoint(std::istream& in, const CheckpointReading& how) {
  Reader r(in, how);
  RunCheckpoint c;
  r.BlockStart(nullptr, "Checkpoint");
  const char* block = "Checkpoint";
  const int format = r.Value<int>(block, "Format");
  if (format != 1 && format != RunCheckpoint::kFormat)
    r.Fail("Unknown checkpoint format " + quill::ShortestText(format));
  c.generation = r.Value<std::int32_t>(block, "Generation");
  c.random_state = r.Value<std::uint32_t>(block, "RandomState");
  c.seed = r.Value<std::uint32_t>(block, "Seed");
  const std::string from = r.Assigned(block, "SeedFrom");
  if (quill::strcasecmp(from.c_str(), "file") != 0 && quill::strcasecmp(from.c_str(), "clock") != 0)
    r.Fail("Bad seed origin");
  c.seed_given = quill::strcasecmp(from.c_str(), "file") == 0;
  c.elapsed_seconds = r.Value<double>(block, "ElapsedSeconds");
  c.evaluations = r.Value<std::int64_t>(block, "Evaluations");
  c.log_bytes = r.Value<std::int64_t>(block, "RunLogBytes");
  c.lowest_error = r.Value<double>(block, "LowestError");
  c.lowest_fitness = r.Value<float>(block, "LowestErrorFitness");
  if (c.generation < 1) r.Fail("Bad generation");
  if (c.elapsed_seconds < 0.0 || c.evaluations < 0 || c.log_bytes < 0) r.Fail("Bad run totals");
  // What no run produces: the counts of a run stay far below 2^53 (and then
  // add up without overflow), errors and fitness values within the bounds
  // the evaluator holds them to.
  if (c.evaluations > kLargestCount || c.log_bytes > kLargestCount)
    r.Fail("Run totals beyond 2^53");
  CheckError(r, c.lowest_error);
  CheckFitness(r, c.lowest_fitness);

  r.BlockStart(block, "Inputs");
  c.network_fingerprint = r.Fingerprint(r.Assigned("Inputs", "WeightFile"), "WeightFile");
  for (;;) {
    r.Next("Inputs");
    FileTag& tag = r.Tag();
    if (tag.type == TAG_END) break;
    if (tag.type != TAG_ASSIGN || tag.open || quill::strcasecmp(tag.name.c_str(), "DataFile") != 0)
      r.Fail("[DataFile = ...] expected");
    c.data_fingerprints.push_back(r.Fingerprint(tag.value, "DataFile"));
  }
  if (c.data_fingerprints.empty()) r.Fail("No data file fingerprint");

  RunSettings& s = c.settings;
  r.BlockStart(block, "Settings");
  const char* settings = "Settings";
  s.PopulationSize = r.Value<std::int32_t>(settings, "PopulationSize");
  s.EliteIndividuals = r.Value<std::int32_t>(settings, "EliteIndividuals");
  s.MutationRate = r.Value<float>(settings, "MutationRate");
  s.CrossoverPoints = r.Value<std::int32_t>(settings, "CrossoverPoints");
  const std::string selection = r.Assigned(settings, "Selection");
  if (quill::strcasecmp(selection.c_str(), "Roulette") == 0) {
    s.Selection = QuillParameters::kSelectRoulette;
  } else if (quill::strcasecmp(selection.c_str(), "Tournament") == 0) {
    s.Selection = QuillParameters::kSelectTournament;
  } else {
    r.Fail("Bad selection");
  }
  const std::string normalisation = r.Assigned(settings, "Normalisation");
  if (quill::strcasecmp(normalisation.c_str(), "on") == 0) {
    s.Normalisation = 1;
  } else if (quill::strcasecmp(normalisation.c_str(), "off") == 0) {
    s.Normalisation = 0;
  } else {
    r.Fail("Bad normalisation");
  }
  s.MaxWeight = r.Value<float>(settings, "MaxWeight");
  s.MinWeight = r.Value<float>(settings, "MinWeight");
  const std::string features = r.Assigned(settings, "#Features");
  std::int64_t feature_count = 0;
  s.FeaturesGiven = quill::strcasecmp(features.c_str(), "none") != 0;
  if (s.FeaturesGiven) feature_count = r.Number<std::int64_t>(features, "#Features");
  r.BlockStart(settings, "Features");
  for (;;) {
    r.Next("Features");
    if (r.Tag().type == TAG_END) break;
    if (r.Tag().type != TAG_TOKEN) r.Fail("Feature expected");
    s.Features.push_back(r.Number<std::int32_t>(r.Tag().name, "a feature"));
  }
  if (static_cast<std::int64_t>(s.Features.size()) != feature_count)
    r.Fail("Feature count does not match");
  // [Precision = single] may close the block; without it the run measured
  // in double precision.
  r.Next(settings);
  if (r.Tag().type == TAG_ASSIGN && !r.Tag().open &&
      quill::strcasecmp(r.Tag().name.c_str(), "Precision") == 0) {
    if (quill::strcasecmp(r.Tag().value.c_str(), "single") == 0) {
      s.SinglePrecision = true;
    } else if (quill::strcasecmp(r.Tag().value.c_str(), "double") != 0) {
      r.Fail("Bad precision");
    }
    r.EndTag(settings);
  } else if (r.Tag().type != TAG_END) {
    r.Fail(std::string("[~") + settings + "] expected");
  }

  r.BlockStart(block, "Best");
  c.best_error = r.Value<double>("Best", "Error");
  c.best.fitness = r.Value<float>("Best", "Fitness");
  CheckError(r, c.best_error);
  CheckFitness(r, c.best.fitness);
  c.best.values = r.Genes("Best", 0);
  r.EndTag("Best");

  // An optional [Validation] block, then the population.
  r.Next(block);
  if (r.Tag().type == TAG_BLOCK && !r.Tag().open &&
      quill::strcasecmp(r.Tag().name.c_str(), "Validation") == 0) {
    RunCheckpoint::Validation& v = c.validation.emplace();
    const char* validation = "Validation";
    for (;;) {
      r.Next(validation);
      FileTag& tag = r.Tag();
      if (tag.type != TAG_ASSIGN || tag.open) r.Fail("[BestGeneration = ...] expected");
      if (quill::strcasecmp(tag.name.c_str(), "ValidationFile") != 0) break;
      v.fingerprints.push_back(r.Fingerprint(tag.value, "ValidationFile"));
    }
    if (quill::strcasecmp(r.Tag().name.c_str(), "BestGeneration") != 0)
      r.Fail("[BestGeneration = ...] expected");
    v.best_generation = r.Number<std::int32_t>(r.Tag().value, "BestGeneration");
    if (v.fingerprints.empty()) r.Fail("No validation file fingerprint");
    if (v.best_generation < 0 || v.best_generation > c.generation)
      r.Fail("Bad best validation generation");
    if (v.best_generation > 0) {
      v.best_error = r.Value<double>(validation, "BestError");
      if (v.best_error < 0.0) r.Fail("Bad number for BestError");
      v.best.values = r.Genes(validation, 0);
    }
    r.EndTag(validation);
    r.Next(block);
  }
  if (r.Tag().type != TAG_BLOCK || r.Tag().open ||
      quill::strcasecmp(r.Tag().name.c_str(), "Population") != 0)
    r.Fail("[Population] expected");
  const std::int64_t individuals = r.Value<std::int64_t>("Population", "Individuals");
  c.gene_count = r.Value<std::int32_t>("Population", "Genes");
  if (c.gene_count < 0) r.Fail("Bad gene count");
  if (!c.best.values.empty() && c.best.values.size() != static_cast<std::size_t>(c.gene_count))
    r.Fail("Best record of another length");
  if (c.validation && c.validation->best_generation > 0 &&
      c.validation->best.values.size() != static_cast<std::size_t>(c.gene_count))
    r.Fail("Best validation record of another length");
  std::set<std::int32_t> identifiers;
  for (;;) {
    r.Next("Population");
    FileTag& tag = r.Tag();
    if (tag.type == TAG_END) break;
    if (tag.type != TAG_BLOCK || tag.open || quill::strcasecmp(tag.name.c_str(), "Individual") != 0)
      r.Fail("[Individual] expected");
    IndividualRecord record;
    record.identifier = r.Value<std::int32_t>("Individual", "Identifier");
    record.parent_one = r.Value<std::int32_t>("Individual", "ParentOne");
    record.parent_two = r.Value<std::int32_t>("Individual", "ParentTwo");
    record.fitness = r.Value<float>("Individual", "Fitness");
    CheckFitness(r, record.fitness);
    if (!identifiers.insert(record.identifier).second) r.Fail("Repeated identifier");
    record.values = r.Genes("Individual", c.gene_count);
    if (record.values.size() != static_cast<std::size_t>(c.gene_count))
      r.Fail("Individual of another length");
    r.EndTag("Individual");
    c.individuals.push_back(std::move(record));
  }
  if (static_cast<std::int64_t>(c.individuals.size()) != individuals ||
      individuals != c.settings.PopulationSize)
    r.Fail("Individual count does not match");
  r.EndTag(block);
  // Only the checksum line (Format 2) or the end of input may follow.
  if (format == 1) {
    r.End();
  } else {
    r.Checksum();
  }
  return c;
}

std::optional<std::string> CompareCheckpoint(
    const RunCheckpoint& c, const QuillParameters& params, std::uint64_t network_fingerprint,
    const std::vector<std::uint64_t>& data_fingerprints,
    const std::vector<std::uint64_t>& validation_fingerprints) {
  const std::string prefix = "Checkpoint does not match this run: ";
  const RunSettings now = RunSettings::Of(params);
  const RunSettings& then = c.settings;
  auto differs = [&](const char* key, const std::string& saved, const std::string& given) {
    return prefix + key + " is " + saved + " in the checkpoint and " + given + " here";
  };
  if (then.PopulationSize != now.PopulationSize)
    return differs("PopulationSize", quill::ShortestText(then.PopulationSize),
                   quill::ShortestText(now.PopulationSize));
  if (then.EliteIndividuals != now.EliteIndividuals)
    return differs("EliteIndividuals", quill::ShortestText(then.EliteIndividuals),
                   quill::ShortestText(now.EliteIndividuals));
  if (std::bit_cast<std::uint32_t>(then.MutationRate) !=
      std::bit_cast<std::uint32_t>(now.MutationRate))
    return differs("MutationRate", quill::ShortestText(then.MutationRate),
                   quill::ShortestText(now.MutationRate));
  if (then.CrossoverPoints != now.CrossoverPoints)
    return differs("CrossoverPoints", quill::ShortestText(then.CrossoverPoints),
                   quill::ShortestText(now.CrossoverPoints));
  if (then.Selection != now.Selection)
    return differs("Selection", SelectionName(then.Selection), SelectionName(now.Selection));
  if (then.Normalisation != now.Normalisation)
    return differs("Normalisation", then.Normalisation != 0 ? "on" : "off",
                   now.Normalisation != 0 ? "on" : "off");
  if (std::bit_cast<std::uint32_t>(then.MaxWeight) != std::bit_cast<std::uint32_t>(now.MaxWeight))
    return differs("MaxWeight", quill::ShortestText(then.MaxWeight),
                   quill::ShortestText(now.MaxWeight));
  if (std::bit_cast<std::uint32_t>(then.MinWeight) != std::bit_cast<std::uint32_t>(now.MinWeight))
    return differs("MinWeight", quill::ShortestText(then.MinWeight),
                   quill::ShortestText(now.MinWeight));
  if (then.FeaturesGiven != now.FeaturesGiven || then.Features != now.Features) {
    auto list = [](const RunSettings& s) {
      if (!s.FeaturesGiven) return std::string("none");
      std::string text;
      for (std::int32_t f : s.Features)
        text += (text.empty() ? "" : " ") + quill::ShortestText(f);
      return text.empty() ? std::string("an empty list") : text;
    };
    return differs("Features", list(then), list(now));
  }
  if (then.SinglePrecision != now.SinglePrecision)
    return differs("Precision", then.SinglePrecision ? "single" : "double",
                   now.SinglePrecision ? "single" : "double");
  if (c.data_fingerprints.size() != data_fingerprints.size())
    return differs("#DataClasses", quill::ShortestText(c.data_fingerprints.size()),
                   quill::ShortestText(data_fingerprints.size()));
  if (c.network_fingerprint != network_fingerprint)
    return prefix + "the weight file " + params.WeightFile + " is not the one it was saved with";
  for (std::size_t k = 0; k < data_fingerprints.size(); ++k) {
    if (c.data_fingerprints[k] != data_fingerprints[k])
      return prefix + "the data file " + params.DataFiles[k] + " is not the one it was saved with";
  }
  if (c.validation.has_value() != params.ValidationGiven ||
      (c.validation && c.validation->fingerprints.size() != params.ValidationFiles.size())) {
    auto count = [](std::size_t n, bool given) {
      return given ? quill::ShortestText(n) : std::string("none");
    };
    return differs(
        "#ValidationClasses",
        count(c.validation ? c.validation->fingerprints.size() : 0, c.validation.has_value()),
        count(params.ValidationFiles.size(), params.ValidationGiven));
  }
  if (c.validation) {
    for (std::size_t k = 0; k < validation_fingerprints.size(); ++k) {
      if (c.validation->fingerprints[k] != validation_fingerprints[k])
        return prefix + "the validation file " + params.ValidationFiles[k] +
               " is not the one it was saved with";
    }
  }
  if (c.generation >= params.Generations) {
    return prefix + "it was saved after generation " + quill::ShortestText(c.generation) +
           ", and Generations is " + quill::ShortestText(params.Generations);
  }
  return std::nullopt;
}
