// Numbers at and beyond the edges: NaN, infinities, the largest values, and
// values whose text does not fit the 128-byte value buffer. Rendering gives
// the platform's text or, on overflow, the empty text with a report on
// standard output; searches keep their strict bounds; the writers' documents
// stay intact and never carry the report.
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/genattr_c.h"
#include "tests/hostile/HostileUtil.h"

namespace {

using hostile::kDeclaration;
using hostile::kStamp;
using hostile::Names;
using hostile::Output;
using hostile::XmlOf;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The platform's "%.4f" text, or the empty text where it needs 128 bytes or
// more with its terminator.
std::string Fixed4(double value) {
  char text[512];
  const int length = std::snprintf(text, sizeof text, "%.4f", value);
  return length < 128 ? text : "";
}

TEST(ExtremeNumbers, RenderAsThePlatformPrintsOrEmptyWithAReport) {
  const double values[] = {kNaN,     -kNaN,    kInf,    -kInf,
                           DBL_MAX,  -DBL_MAX, DBL_MIN, std::numeric_limits<double>::denorm_min(),
                           9.99e120, -9.99e120};
  for (const double value : values) {
    auto* node = new GenAttrDouble("d", value);
    std::string text;
    const std::string printed = Output([&] { text = node->GetValueAsString(); });
    EXPECT_EQ(text, Fixed4(value)) << value;
    EXPECT_EQ(printed.empty(), !Fixed4(value).empty()) << value;
    GenAttrBase::Free(node);
  }
  const float floats[] = {std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity(), FLT_MAX, -FLT_MAX};
  for (const float value : floats) {
    auto* node = new GenAttrFloat("f", value);
    EXPECT_EQ(node->GetValueAsString(), Fixed4(value)) << value;
    GenAttrBase::Free(node);
  }
}

struct Bounds {
  double stored, value, tolerance;
  bool found;
};

TEST(ExtremeNumbers, SearchesKeepTheirStrictBoundsBeyondTheFiniteRange) {
  // stored + tolerance > value and stored - tolerance < value, as computed.
  const Bounds cases[] = {
      {1.0, 5.0, kInf, true},
      {kInf, 5.0, kInf, false}, // inf - inf is NaN
      {1.0, kInf, kInf, false},
      {kInf, kInf, 1.0, false},
      {-kInf, 0.0, 1.0, false},
      {1.0, 1.0, -kInf, false},
      {DBL_MAX, DBL_MAX, DBL_MAX, true}, // the upper sum overflows to
                                         // inf
      {kNaN, kNaN, kInf, false},
  };
  // FLT_MAX stands in for DBL_MAX in single precision.
  const auto narrow = [](double v) { return v == DBL_MAX ? FLT_MAX : static_cast<float>(v); };
  for (const Bounds& c : cases) {
    auto* root = new GenAttrCont("root");
    auto* real = new GenAttrDouble("x", c.stored);
    auto* single = new GenAttrFloat("x", narrow(c.stored));
    root->AddAttr(real);
    root->AddAttr(single);
    EXPECT_EQ(root->FindDoubleAttr("x", c.value, c.tolerance), c.found ? real : nullptr)
        << c.stored << " " << c.value << " " << c.tolerance;
    EXPECT_EQ(QMV_GenAttr_FindDoubleAttr(root, "x", c.value, c.tolerance),
              c.found ? real : nullptr);
    EXPECT_EQ(root->FindFloatAttr("x", narrow(c.value), narrow(c.tolerance)),
              c.found ? single : nullptr)
        << c.stored << " " << c.value << " " << c.tolerance;
    GenAttrBase::Free(root);
  }
}

TEST(ExtremeNumbers, IntegerSearchesAndFiltersAtTheEdges) {
  auto* root = new GenAttrCont("root");
  auto* low = new GenAttrInt("i", INT_MIN);
  auto* high = new GenAttrInt("i", INT_MAX);
  root->AddAttr(low);
  root->AddAttr(high);
  EXPECT_EQ(root->FindIntegerAttr("i", INT_MAX), high);
  EXPECT_EQ(QMV_GenAttr_FindIntegerAttr(root, "i", INT_MIN), low);
  EXPECT_EQ(Names(root->GetAllAttr("i", "-2147483648", GenAttrBase::FLAT)), "i");
  EXPECT_EQ(Names(root->GetAllAttr(nullptr, "2147483648", GenAttrBase::FLAT)), "");
  GenAttrBase::Free(root);
}

TEST(ExtremeNumbers, OverflowingValueMatchesTheEmptyFilterAfterItsReport) {
  // Its text is empty, like that of a container.
  auto* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrDouble("d", 1e300));
  root->AddAttr(new GenAttrCont("c"));
  root->AddAttr(new GenAttrDouble("e", 1.0));
  std::string names;
  const std::string printed =
      Output([&] { names = Names(root->GetAllAttr(nullptr, "", GenAttrBase::RECURSIVE)); });
  EXPECT_EQ(names, "d c");
  EXPECT_EQ(printed.rfind("ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n"
                          "Current buffer size is: 128 [node: d, parent: root, value: 1000",
                          0),
            0u);
  EXPECT_NE(printed.find("]\n-> root : \n"), std::string::npos);
  GenAttrBase::Free(root);
}

TEST(ExtremeNumbers, WritersKeepTheReportOutOfTheirDocuments) {
  auto* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrDouble("nan", kNaN));
  root->AddAttr(new GenAttrDouble("inf", -kInf));
  root->AddAttr(new GenAttrDouble("wide", -DBL_MAX));
  root->AddAttr(new GenAttrFloat("max", FLT_MAX));
  root->AddAttr(new GenAttrPtr("ptr", reinterpret_cast<void*>(UINTPTR_MAX)));
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%p", reinterpret_cast<void*>(UINTPTR_MAX));

  std::string document;
  const std::string printed = Output([&] { document = XmlOf(root); });
  EXPECT_EQ(document, kDeclaration + "<root>" + kStamp + "\n  <nan>" + Fixed4(kNaN) +
                          "</nan>\n  <inf>" + Fixed4(-kInf) + "</inf>\n  <wide></wide>\n" +
                          "  <max>" + Fixed4(FLT_MAX) + "</max>\n  <ptr>" + pointer +
                          "</ptr>\n</root>\n");
  EXPECT_NE(printed.find("[node: wide, parent: root, value: -1797"), std::string::npos);

  std::string listing;
  Output([&] { listing = hostile::TextOf(root); });
  EXPECT_NE(listing.find("Name: wide                Value:   (Type: Double)\n"), std::string::npos);
  EXPECT_EQ(listing.find("ERROR"), std::string::npos);
  GenAttrBase::Free(root);
}

} // namespace
