// The texts of numeric values against printf itself, which defines them: the
// rendering formats numbers without it wherever it can.
#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

template <typename Node, typename Value>
testing::AssertionResult RendersLikePrintf(const char* format, Value value) {
  char expected[512];
  std::snprintf(expected, sizeof expected, format, value);
  Node* node = new Node("n", value);
  const std::string actual = node->GetValueAsString();
  GenAttrBase::Free(node);
  if (actual == expected) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << std::hexfloat << value << ": " << actual << " instead of " << expected;
}

TEST(NumberText, DoublesAsPrintfWithFourDecimalsTiesAndExtremesIncluded) {
  const double fixed[] = {0.0,
                          -0.0,
                          0.00005, // below the tie: rounds down
                          0.03125, // an exact tie: to even, "0.0312"
                          0.09375, // an exact tie: to even, "0.0938"
                          -2.5e-5,
                          2.0 / 3.0,
                          DBL_MIN,
                          std::numeric_limits<double>::denorm_min(),
                          1e121,
                          9.9999e121,
                          DBL_MAX,
                          -DBL_MAX,
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(),
                          -std::numeric_limits<double>::quiet_NaN()};
  for (double value : fixed) {
    // A value of more than 127 characters is reported on standard output.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(RendersLikePrintf<GenAttrDouble>("%.4f", value) || std::fabs(value) >= 1e122);
    testing::internal::GetCapturedStdout();
  }

  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) {
    // Any bit pattern whose text fits (below 1e121 either sign), exact binary fractions (ties among
    // them), and amounts in steps of a half.
    std::uint64_t bits = random();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any) && std::fabs(any) < 1e121) {
      ASSERT_TRUE(RendersLikePrintf<GenAttrDouble>("%.4f", any));
    }
    const double fraction =
        std::ldexp(static_cast<double>(random() % 100000000), -static_cast<int>(random() % 40));
    ASSERT_TRUE(RendersLikePrintf<GenAttrDouble>("%.4f", fraction));
    ASSERT_TRUE(RendersLikePrintf<GenAttrDouble>(
        "%.4f", static_cast<double>(static_cast<std::int64_t>(random() % 4000000000)) * 0.5 - 1e9));
  }
}

TEST(NumberText, FloatsAndIntsAsPrintf) {
  std::mt19937 random(11);
  for (int i = 0; i < 100000; ++i) {
    std::uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    // Floats are rendered through double, as printf receives them.
    ASSERT_TRUE(RendersLikePrintf<GenAttrFloat>("%.4f", static_cast<double>(value)));
    ASSERT_TRUE(RendersLikePrintf<GenAttrInt>("%d", static_cast<int>(random())));
  }
  for (int value : {0, -1, INT_MIN, INT_MAX}) {
    EXPECT_TRUE(RendersLikePrintf<GenAttrInt>("%d", value));
  }
}

TEST(NumberText, DoublesFollowPrintfInEveryRoundingMode) {
  const double values[] = {0.00005, -0.00005, 0.03125, -0.03125, 2.0 / 3.0, -2.0 / 3.0, 1.99999};
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    for (double value : values) {
      EXPECT_TRUE(RendersLikePrintf<GenAttrDouble>("%.4f", value)) << "mode " << mode;
    }
  }
  std::fesetround(FE_TONEAREST);
}

} // namespace
