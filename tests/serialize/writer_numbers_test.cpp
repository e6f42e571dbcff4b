// The writers format Int, Float and Double values straight into their lines;
// the bytes must be those of printf, which defines the value texts, whatever
// the value and the rounding mode.
#include <cfenv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tree/NumberText.h"

namespace {

std::string Printf(const char* format, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The internal formatter alone, where it claims a value: exactly printf's
// "%.4f"; beyond 2^63 and for non-finite values it leaves the value to printf.
testing::AssertionResult FixedAsPrintf(double value) {
  char text[genattr::detail::kShortNumberRoom];
  const char* end = genattr::detail::WriteFixed(text, value);
  if (end == nullptr) {
    if (!std::isfinite(value) || std::fabs(value) >= 0x1p63) {
      return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << std::hexfloat << value << " left to printf";
  }
  const std::string actual(static_cast<const char*>(text), end);
  if (actual == Printf("%.4f", value)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << std::hexfloat << value << ": " << actual << " instead of " << Printf("%.4f", value);
}

TEST(WriterNumbers, FixedFormatterIsPrintfAtTiesEdgesAndRandomBits) {
  const double edges[] = {0.0,           -0.0,
                          0.03125,       0.09375,
                          -0.00005,      0.99995,
                          0.999949999,   9.99995,
                          DBL_MIN,       -std::numeric_limits<double>::denorm_min(),
                          0x1p63 - 1024, -(0x1p63 - 1024),
                          0x1p63,        0x1p52 + 0.5,
                          0x1p53,        std::numeric_limits<double>::infinity(),
                          std::nan("")};
  for (double value : edges) {
    EXPECT_TRUE(FixedAsPrintf(value));
  }
  std::mt19937_64 random(23);
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t bits = random();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    ASSERT_TRUE(FixedAsPrintf(any));
    // Exact binary fractions around the four decimals, where the ties are.
    ASSERT_TRUE(FixedAsPrintf(std::ldexp(static_cast<double>(random() % (1u << 24)) - (1u << 23),
                                         -static_cast<int>(random() % 30))));
  }
}

// Leaves of every numeric type below one container, written by both writers;
// returns each leaf's text as the document shows it.
std::vector<std::string> WrittenValues(GenAttrBase* root, bool xml) {
  std::ostringstream out;
  if (xml) {
    GenAttrXMLSerializer(root, &out).Write();
  } else {
    GenAttrSTSerializer(root, &out).Write();
  }
  std::vector<std::string> values;
  std::istringstream lines(out.str());
  const std::string open = xml ? "<v>" : "Value: ";
  const std::string close = xml ? "</v>" : "  (Type: ";
  for (std::string line; std::getline(lines, line);) {
    const std::size_t start = line.find(open);
    if (start != std::string::npos) {
      const std::size_t from = start + open.size();
      values.push_back(line.substr(from, line.find(close, from) - from));
    }
  }
  return values;
}

TEST(WriterNumbers, BothWritersShowPrintfsTextInEveryRoundingMode) {
  writertest::Tree root(new GenAttrCont("root"));
  std::vector<std::string> expected;
  std::mt19937_64 random(5);
  for (int i = 0; i < 3000; ++i) {
    std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    // Texts longer than the value buffer are reported, and tested elsewhere.
    if (!(std::fabs(value) < 1e120)) {
      value = std::isnan(value) ? value : std::ldexp(value, -800);
    }
    const double small =
        static_cast<double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) / 64;
    const auto narrow = static_cast<float>(small);
    const int integer = i == 0 ? INT_MIN : static_cast<int>(random());
    root->AddAttr(new GenAttrDouble("v", value));
    root->AddAttr(new GenAttrDouble("v", small));
    root->AddAttr(new GenAttrFloat("v", narrow));
    root->AddAttr(new GenAttrInt("v", integer));
  }
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    expected.clear();
    for (GenAttrBase* leaf = root->GetFirstAttr(); leaf != nullptr; leaf = root->GetNextAttr()) {
      expected.push_back(leaf->GetType() == Int
                             ? std::to_string(static_cast<GenAttrInt*>(leaf)->GetValue())
                         : leaf->GetType() == Float
                             ? Printf("%.4f", static_cast<GenAttrFloat*>(leaf)->GetValue())
                             : Printf("%.4f", static_cast<GenAttrDouble*>(leaf)->GetValue()));
    }
    EXPECT_EQ(WrittenValues(root.get(), false), expected) << "mode " << mode;
    EXPECT_EQ(WrittenValues(root.get(), true), expected) << "mode " << mode;
  }
  std::fesetround(FE_TONEAREST);
}

} // namespace
