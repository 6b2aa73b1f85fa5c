// One 32-bit value cell of a gene, a gene definition or an exchanged record.
//
// The cell is untyped storage: the gene type decides whether it is read as a
// signed 32-bit integer, a 32-bit float or (for a binary gene) its low byte.
// Changing the reading does not convert the stored bits, exactly as a union of
// the three would. A default cell holds all-zero bits.
#pragma once

#include <bit>
#include <cstdint>

class GeneCell {
 public:
  constexpr GeneCell() = default;

  static GeneCell FromInt(std::int32_t value) {
    GeneCell cell;
    cell.SetInt(value);
    return cell;
  }
  static GeneCell FromReal(float value) {
    GeneCell cell;
    cell.SetReal(value);
    return cell;
  }
  static GeneCell FromBinary(char value) {
    GeneCell cell;
    cell.SetBinary(value);
    return cell;
  }

  std::int32_t AsInt() const { return std::bit_cast<std::int32_t>(bits_); }
  float AsReal() const { return std::bit_cast<float>(bits_); }
  // The binary reading is the low byte; the other three bytes are kept.
  char AsBinary() const { return static_cast<char>(bits_ & 0xFFu); }

  void SetInt(std::int32_t value) { bits_ = std::bit_cast<std::uint32_t>(value); }
  void SetReal(float value) { bits_ = std::bit_cast<std::uint32_t>(value); }
  void SetBinary(char value) {
    bits_ = (bits_ & ~0xFFu) | static_cast<std::uint32_t>(static_cast<unsigned char>(value));
  }

  std::uint32_t Bits() const { return bits_; }
  friend bool operator==(GeneCell a, GeneCell b) { return a.bits_ == b.bits_; }

 private:
  std::uint32_t bits_ = 0;
};
