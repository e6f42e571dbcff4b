// The texts of Int, Float and Double values formatted without printf, where
// that yields printf's bytes exactly: for the value rendering and for the
// writers, which put them straight into their lines. Internal to the library.
#ifndef GENATTR_TREE_NUMBERTEXT_H
#define GENATTR_TREE_NUMBERTEXT_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrInt.h"
#include "tree/TreeAccess.h"
#include "tree/ValueBuffer.h"

namespace genattr {
namespace detail {

// Room for any text that WriteDecimal() or WriteFixed() writes: a sign, 19
// integer digits, the point and four decimals.
constexpr std::size_t kShortNumberRoom = 32;

// Writes `value` as printf's "%d" does and returns the end (no terminator).
inline char* WriteDecimal(char* text, int value) {
  return std::to_chars(text, text + kShortNumberRoom, value).ptr;
}

static_assert(kValueDecimals == 4, "WriteFixed() writes four decimals");

// Writes `value` as printf's "%.4f" does in the default rounding mode with
// the decimal point ".", when it is finite and of magnitude below 2^63, and
// returns the end (no terminator); null for other values. Exact, in integers
// taken from the bits of the double: value = m * 2^e with m below 2^53, and
// for e < 0 the fraction is f * 2^e with f below 2^53, so fraction * 10^4 =
// f * 625 * 2^(e+4), where f * 625 stays below 2^63. Shifting that right and
// rounding the remainder half to even rounds the exact value as printf does.
inline char* WriteFixed(char* text, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  // Infinities and NaNs have the top exponent, magnitudes from 2^63 up an
  // exponent of 11 or more beyond the 52 bits of the mantissa.
  if (biased >= 1075 + 11) {
    return nullptr;
  }
  int exponent = -1074; // of the subnormals, whose mantissa has no hidden bit
  if (biased != 0) {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  std::uint64_t integer = 0;
  std::uint64_t fraction = 0;
  if (exponent >= 0) {
    integer = mantissa << exponent;
  } else {
    const int point = -exponent;
    std::uint64_t fractionBits = mantissa;
    if (point < 64) {
      integer = mantissa >> point;
      fractionBits = mantissa & ((std::uint64_t{1} << point) - 1);
    }
    const std::uint64_t scaled = fractionBits * 625;
    const int shift = point - 4;
    if (shift <= 0) {
      fraction = scaled << -shift;
    } else if (shift < 64) {
      fraction = scaled >> shift;
      const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
      const std::uint64_t half = std::uint64_t{1} << (shift - 1);
      if (rest > half || (rest == half && (fraction & 1) != 0)) {
        ++fraction;
      }
    } // else: scaled < 2^63 <= 2^(shift-1), below one half: rounds to 0
    if (fraction == 10000) {
      ++integer;
      fraction = 0;
    }
  }
  // printf shows the sign of every negative value, zero and those that
  // round to zero included.
  if ((bits >> 63) != 0) {
    *text++ = '-';
  }
  text = std::to_chars(text, text + 20, integer).ptr;
  text[0] = '.';
  const auto low = static_cast<unsigned>(fraction % 100);
  const auto high = static_cast<unsigned>(fraction / 100);
  text[1] = static_cast<char>('0' + high / 10);
  text[2] = static_cast<char>('0' + high % 10);
  text[3] = static_cast<char>('0' + low / 10);
  text[4] = static_cast<char>('0' + low % 10);
  return text + 5;
}

// Whether printf's "%.4f" formats as WriteFixed() does at the moment: the
// decimal point of the current LC_NUMERIC locale is "." and the rounding
// mode is to nearest.
bool FixedIsPrintfs();

// Writes the value text of an Int, Float or Double `node` (GetValueAsString()
// of it) to `text`, which has room for kShortNumberRoom bytes, and returns
// the end (no terminator); null for other nodes and for the values that only
// printf formats. `fixedIsPrintfs` is what FixedIsPrintfs() says, asked once
// by a caller that writes many values.
inline char* WriteShortNumber(const GenAttrBase& node, char* text, bool fixedIsPrintfs) {
  switch (GenAttrTreeAccess::Type(node)) {
  case Int:
    return WriteDecimal(text, static_cast<const GenAttrInt&>(node).GetValue());
  case Double:
    return fixedIsPrintfs ? WriteFixed(text, static_cast<const GenAttrDouble&>(node).GetValue())
                          : nullptr;
  case Float:
    return fixedIsPrintfs ? WriteFixed(text, static_cast<const GenAttrFloat&>(node).GetValue())
                          : nullptr;
  default:
    return nullptr;
  }
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_NUMBERTEXT_H
