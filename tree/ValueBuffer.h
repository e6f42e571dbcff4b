// The size of the shared value buffer of GetValueAsString() and the magnitude
// from which a number's text may not fit in it. Internal to the library.
#ifndef GENATTR_TREE_VALUEBUFFER_H
#define GENATTR_TREE_VALUEBUFFER_H

#include <cmath>
#include <cstdint>

#include "genattr/GenAttrBase.h"
#include "genattr/GenAttrDouble.h"
#include "tree/TreeAccess.h"

namespace genattr {
namespace detail {

// Bytes of smpBuffer, terminating zero included.
constexpr std::uint64_t kValueBufferSize = 128;

// Decimals of the text of a Float or Double value ("%.4f").
constexpr int kValueDecimals = 4;

// Double values of magnitude 10^kOverflowExponent and above may render longer
// than the buffer holds, which GetValueAsString() reports on standard output;
// every smaller one fits. Such a value has at most kOverflowExponent + 1
// integer digits (the one beyond those of the exact power allows for the
// rounding of the power in a double and of the decimals), so the sign, those
// digits, the point, the decimals and the terminating zero must fit.
constexpr int kOverflowExponent = 120;
static_assert(1 + (kOverflowExponent + 1) + 1 + kValueDecimals + 1 <= kValueBufferSize,
              "a value below the overflow threshold must fit in the value buffer");

constexpr double PowerOfTen(int exponent) {
  double power = 1;
  for (int i = 0; i < exponent; ++i) {
    power *= 10;
  }
  return power;
}
constexpr double kOverflowThreshold = PowerOfTen(kOverflowExponent);

// Whether GetValueAsString() of `node` may print an overflow report to
// standard output: only a Double this large has a text too long for the
// buffer. A writer emits its pending text first, so that the report lands
// where it always did.
inline bool ValueMayReport(const GenAttrBase& node) {
  return GenAttrTreeAccess::Type(node) == Double &&
         std::fabs(static_cast<const GenAttrDouble&>(node).GetValue()) >= kOverflowThreshold;
}

} // namespace detail
} // namespace genattr

#endif // GENATTR_TREE_VALUEBUFFER_H
