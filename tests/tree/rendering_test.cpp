// Type names, value texts, the shared value buffer and the ancestry listing.
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

// Reads the protected shared value buffer.
class BufferProbe : public GenAttrBase {
public:
  static const char* Buffer() { return smpBuffer; }
  static std::uint64_t Length() { return smBufferLen; }
};

// A node whose stored type code lies outside the known range.
class OddTypeNode : public GenAttrBase {
public:
  OddTypeNode(const char* name, std::int32_t code) : GenAttrBase(name) {
    mType = static_cast<GenAttrType>(code);
  }
  ~OddTypeNode() override { mType = Base; }
};

template <typename F> std::string CaptureOutput(F&& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char digits[4];
  for (unsigned char byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", byte);
    out += digits;
  }
  return out.empty() ? "(empty)" : out;
}

std::string Formatted(const char* format, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string OverflowReport(const char* node, const char* parent, const std::string& value) {
  return std::string("ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n"
                     "Current buffer size is: 128 [node: ") +
         node + ", parent: " + parent + ", value: " + value + "]\n";
}

// Turns the UTF transfer switch on for the life of the object.
class UtfTransfer {
public:
  UtfTransfer() { GenAttr_EnableCatiaJtUtfTransfer(); }
  UtfTransfer(const UtfTransfer&) = delete;
  UtfTransfer& operator=(const UtfTransfer&) = delete;
  ~UtfTransfer() { GenAttr_DisableCatiaJtUtfTransfer(); }
};

// Renders `value` through a UnicodeString node with the UTF flag in the given
// state and compares the bytes.
testing::AssertionResult RendersAs(const std::wstring& value, bool utf,
                                   const std::string& expected) {
  if (utf) {
    GenAttr_EnableCatiaJtUtfTransfer();
  }
  GenAttrUnicodeString* node = new GenAttrUnicodeString("w", value.c_str());
  GenAttr_DisableCatiaJtUtfTransfer();
  const std::string actual = node->GetValueAsString();
  GenAttrBase::Free(node);
  if (actual == expected) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "expected " << Hex(expected) << "\n  actual " << Hex(actual);
}

// An independent UTF-8 encoder for scalar values.
std::string ReferenceUtf8(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

TEST(TypeName, EveryCodeAndOneSharedBuffer) {
  GenAttrCont* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrBase("base"));
  root->AddAttr(new GenAttrString("s", "v"));
  root->AddAttr(new GenAttrFloat("f", 1.0f));
  root->AddAttr(new GenAttrDouble("d", 1.0));
  root->AddAttr(new GenAttrInt("i", 1));
  root->AddAttr(new GenAttrCont("c"));
  root->AddAttr(new GenAttrUnicodeString("u", L"v"));
  root->AddAttr(new GenAttrPtr("p", nullptr));
  root->AddAttr(new OddTypeNode("eight", 8));
  root->AddAttr(new OddTypeNode("minus", -1));
  const char* const expected[] = {"Base", "String",        "Float", "Double",    "Int",
                                  "Cont", "UnicodeString", "Ptr",   "<unknown>", "<unknown>"};

  const char* first = root->GetTypeAsString();
  EXPECT_STREQ(first, "Cont");
  int index = 0;
  for (GenAttrBase* child = root->GetFirstAttr(); child != nullptr;
       child = root->GetNextAttr(), ++index) {
    const char* name = child->GetTypeAsString();
    EXPECT_STREQ(name, expected[index]) << child->GetName();
    EXPECT_EQ(name, first);
  }
  EXPECT_EQ(index, 10);
  GenAttrBase::Free(root);
}

TEST(ValueText, ExactNumberTexts) {
  struct Case {
    GenAttrBase* node;
    std::string text;
  };
  const Case cases[] = {
      {new GenAttrInt("min", INT_MIN), "-2147483648"},
      {new GenAttrInt("max", INT_MAX), "2147483647"},
      {new GenAttrFloat("f", 1.5f), "1.5000"},
      {new GenAttrFloat("tenth", 0.1f), "0.1000"},
      {new GenAttrFloat("lowest", -FLT_MAX), "-340282346638528859811704183484516925440.0000"},
      {new GenAttrDouble("third", 2.0 / 3.0), "0.6667"},
      {new GenAttrDouble("negzero", -0.0), "-0.0000"},
      {new GenAttrDouble("neg", -12.34567), "-12.3457"},
      {new GenAttrDouble("up", 0.99999), "1.0000"},
      {new GenAttrDouble("big", 1e20), "100000000000000000000.0000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.node->GetValueAsString(), c.text) << c.node->GetName();
    EXPECT_EQ(c.node->GetValueAsString(), BufferProbe::Buffer());
    GenAttrBase::Free(c.node);
  }
}

TEST(ValueText, PointerAsPlatformPrintsIt) {
  int target = 0;
  for (void* value : {static_cast<void*>(&target), static_cast<void*>(nullptr)}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%p", value);
    GenAttrPtr* node = new GenAttrPtr("p", value);
    EXPECT_STREQ(node->GetValueAsString(), expected);
    GenAttrBase::Free(node);
  }
}

TEST(ValueText, NodesWithoutValueRenderEmptyInSharedBuffer) {
  GenAttrCont* cont = new GenAttrCont("c", "desc");
  cont->SetId("X");
  GenAttrCont* reference = new GenAttrCont("r", cont);
  GenAttrBase* base = new GenAttrBase("b");
  OddTypeNode* odd = new OddTypeNode("odd", 8);
  for (const GenAttrBase* node :
       {static_cast<const GenAttrBase*>(cont), static_cast<const GenAttrBase*>(reference),
        static_cast<const GenAttrBase*>(base), static_cast<const GenAttrBase*>(odd)}) {
    const char* text = node->GetValueAsString();
    EXPECT_STREQ(text, "") << node->GetName();
    EXPECT_EQ(text, BufferProbe::Buffer());
  }
  GenAttrBase::Free(odd);
  GenAttrBase::Free(base);
  GenAttrBase::Free(reference);
  GenAttrBase::Free(cont);
}

TEST(ValueText, StringIsReturnedInPlaceWhateverItsFlag) {
  GenAttrString* plain = new GenAttrString("s", "caf\xC3\xA9");
  const UtfTransfer on;
  GenAttrString* flagged = new GenAttrString("t", "\xE9");
  for (GenAttrString* node : {plain, flagged}) {
    EXPECT_EQ(node->GetValueAsString(), node->GetValue());
  }
  EXPECT_STREQ(flagged->GetValueAsString(), "\xE9");
  GenAttrBase::Free(plain);
  GenAttrBase::Free(flagged);
}

TEST(SharedBuffer, ReusedUntilANonReferenceNodeIsDestroyed) {
  GenAttrInt* a = new GenAttrInt("a", 1);
  GenAttrInt* b = new GenAttrInt("b", 22);
  const char* first = a->GetValueAsString();
  const char* second = b->GetValueAsString();
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "22");
  EXPECT_EQ(BufferProbe::Buffer(), first);
  EXPECT_EQ(BufferProbe::Length(), 128u);

  // A reference leaves the buffer alone.
  GenAttrCont* cont = new GenAttrCont("c");
  GenAttrBase::Free(new GenAttrCont("r", cont));
  EXPECT_EQ(BufferProbe::Buffer(), first);

  GenAttrBase::Free(cont);
  EXPECT_EQ(BufferProbe::Buffer(), nullptr);
  EXPECT_EQ(BufferProbe::Length(), 128u);

  const char* again = a->GetValueAsString();
  EXPECT_STREQ(again, "1");
  EXPECT_EQ(again, BufferProbe::Buffer());
  EXPECT_EQ(BufferProbe::Length(), 128u);
  GenAttrBase::Free(a);
  GenAttrBase::Free(b);
}

TEST(Overflow, DoubleJustBelowLimitFits) {
  GenAttrDouble* node = new GenAttrDouble("d", std::nextafter(1e122, 0.0));
  const std::string output = CaptureOutput([&] {
    EXPECT_EQ(std::strlen(node->GetValueAsString()), 127u);
    node->SetValue(-std::nextafter(1e121, 0.0));
    EXPECT_EQ(std::strlen(node->GetValueAsString()), 127u);
  });
  EXPECT_EQ(output, "");
  GenAttrBase::Free(node);
}

TEST(Overflow, ReportsNodeParentValueAndPath) {
  GenAttrCont* root = new GenAttrCont("R");
  GenAttrCont* parent = new GenAttrCont("P");
  GenAttrDouble* big = new GenAttrDouble("big", 1e122);
  root->AddAttr(parent);
  parent->AddAttr(big);

  const char* text = nullptr;
  const std::string output = CaptureOutput([&] { text = big->GetValueAsString(); });
  EXPECT_EQ(output, OverflowReport("big", "P", Formatted("%f", 1e122)) + "-> R : \n  -> P : \n");
  EXPECT_STREQ(text, "");
  EXPECT_EQ(text, BufferProbe::Buffer());

  // The buffer stays usable, and the node is unchanged.
  GenAttrInt* small = new GenAttrInt("i", 7);
  parent->AddAttr(small);
  EXPECT_STREQ(small->GetValueAsString(), "7");
  EXPECT_EQ(big->GetValue(), 1e122);

  big->SetValue(-1e121);
  const std::string negative = CaptureOutput([&] { text = big->GetValueAsString(); });
  EXPECT_EQ(negative.rfind(OverflowReport("big", "P", Formatted("%f", -1e121)), 0), 0u);
  EXPECT_STREQ(text, "");
  GenAttrBase::Free(root);
}

TEST(Overflow, RootNamesMissingParent) {
  GenAttrDouble* big = new GenAttrDouble("lonely", -1e300);
  const std::string output = CaptureOutput([&] { EXPECT_STREQ(big->GetValueAsString(), ""); });
  EXPECT_EQ(output, OverflowReport("lonely", "<none>", Formatted("%f", -1e300)));
  GenAttrBase::Free(big);
}

TEST(Overflow, OverflowingAncestorsDoNotMultiplyReports) {
  GenAttrDouble* root = new GenAttrDouble("R", 1e200);
  GenAttrDouble* middle = new GenAttrDouble("M", 1e200);
  GenAttrDouble* leaf = new GenAttrDouble("L", 1e200);
  root->AddAttr(middle);
  middle->AddAttr(leaf);
  const std::string value = Formatted("%f", 1e200);

  // Within a report, ancestors that overflow too show the empty text.
  std::string output = CaptureOutput([&] { EXPECT_STREQ(leaf->GetValueAsString(), ""); });
  EXPECT_EQ(output, OverflowReport("L", "M", value) + "-> R : \n  -> M : \n");

  // A listing asked for directly reports each overflowing ancestor once.
  output = CaptureOutput([&] { leaf->DumpPath(); });
  EXPECT_EQ(output, OverflowReport("R", "<none>", value) + "-> R : \n" + "  " +
                        OverflowReport("M", "R", value) + "-> R : \n" + "-> M : \n");
  GenAttrBase::Free(root);
}

TEST(WideText, Utf8Rendering) {
  // Each input as code points; wchar_t holds whole code points here.
  EXPECT_TRUE(RendersAs(L"", true, ""));
  EXPECT_TRUE(RendersAs(L"abc", true, "abc"));
  EXPECT_TRUE(RendersAs(L"\u00E9", true, "\xC3\xA9"));                            // U+00E9
  EXPECT_TRUE(RendersAs(L"\u20AC!", true, "\xE2\x82\xAC!"));                      // U+20AC U+0021
  EXPECT_TRUE(RendersAs(L"\U0001F600", true, "\xF0\x9F\x98\x80"));                // U+1F600
  EXPECT_TRUE(RendersAs(L"\U0010FFFF", true, "\xF4\x8F\xBF\xBF"));                // U+10FFFF
  EXPECT_TRUE(RendersAs(std::wstring{0xD83D, 0xDE00}, true, "\xF0\x9F\x98\x80")); // pair as units
  EXPECT_TRUE(RendersAs(std::wstring{L'a', 0xD800}, true, ""));                   // final high
  EXPECT_TRUE(RendersAs(std::wstring{0xD800, L'a'}, true, ""));                   // unpaired high
  EXPECT_TRUE(RendersAs(std::wstring{L'a', L'b', 0xDC00}, true, ""));             // lone low
  EXPECT_TRUE(RendersAs(std::wstring{L'a', 0x110000}, true, ""));                 // beyond U+10FFFF
  EXPECT_TRUE(RendersAs(std::wstring{L'a', static_cast<wchar_t>(-1)}, true, ""));
}

TEST(WideText, LocaleRenderingFallsBackToUtf8) {
  // The process runs in the "C" locale, which holds ASCII only.
  EXPECT_TRUE(RendersAs(L"plain", false, "plain"));
  EXPECT_TRUE(RendersAs(L"", false, ""));
  EXPECT_TRUE(RendersAs(L"caf\u00E9", false, "caf\xC3\xA9")); // U+0063 U+0061 U+0066 U+00E9
  EXPECT_TRUE(RendersAs(std::wstring{0xDC00}, false, ""));    // lone low surrogate

  const std::string previous = std::setlocale(LC_CTYPE, nullptr);
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) {
    GTEST_SKIP() << "no C.UTF-8 locale";
  }
  EXPECT_TRUE(RendersAs(L"caf\u00E9", false, "caf\xC3\xA9"));
  EXPECT_TRUE(RendersAs(L"\U0001F600", false, "\xF0\x9F\x98\x80"));
  std::setlocale(LC_CTYPE, previous.c_str());
}

TEST(WideText, MatchesReferenceEncoderAcrossGrowingBuffers) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::uint32_t> plane(0, 3);
  std::uniform_int_distribution<std::uint32_t> lengths(1, 4000);
  for (int round = 0; round < 40; ++round) {
    std::u32string points(lengths(random), U'\0');
    for (char32_t& c : points) {
      const std::uint32_t limits[] = {0x7F, 0x7FF, 0xFFFF, 0x10FFFF};
      c = std::uniform_int_distribution<std::uint32_t>(1, limits[plane(random)])(random);
      if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
      }
    }
    const std::wstring wide(points.begin(), points.end());
    ASSERT_TRUE(RendersAs(wide, true, ReferenceUtf8(points))) << "round " << round;
  }
}

TEST(WideText, Utf8TextStaysUntilTheNextUtf8Rendering) {
  const UtfTransfer on;
  GenAttrUnicodeString* first = new GenAttrUnicodeString("a", L"\u00E9\u00E9");
  GenAttrUnicodeString* second = new GenAttrUnicodeString("b", L"xyz");
  GenAttrInt* number = new GenAttrInt("n", 3);
  const char* text = first->GetValueAsString();
  EXPECT_STREQ(number->GetValueAsString(), "3");
  EXPECT_STREQ(text, "\xC3\xA9\xC3\xA9");
  EXPECT_EQ(second->GetValueAsString(), text);
  EXPECT_STREQ(text, "xyz");
  GenAttrBase::Free(first);
  GenAttrBase::Free(second);
  GenAttrBase::Free(number);
}

TEST(DumpPath, ListsInitialParentsRootFirst) {
  GenAttrCont* root = new GenAttrCont("R");
  GenAttrString* text = new GenAttrString("S", "v");
  GenAttrInt* number = new GenAttrInt("I", 5);
  GenAttrBase* leaf = new GenAttrBase("leaf");
  GenAttrCont* other = new GenAttrCont("other");
  root->AddAttr(text);
  text->AddAttr(number);
  number->AddAttr(leaf);
  other->AddAttr(leaf); // not the initial parent

  EXPECT_EQ(CaptureOutput([&] { root->DumpPath(); }), "");
  EXPECT_EQ(CaptureOutput([&] { text->DumpPath(); }), "-> R : \n");
  EXPECT_EQ(CaptureOutput([&] { leaf->DumpPath(); }), "-> R : \n  -> S : v\n    -> I : 5\n");
  GenAttrBase::Free(other);
  GenAttrBase::Free(root);
}

TEST(DumpPath, DeepChainIndentsEveryLevel) {
  constexpr int depth = 2000;
  GenAttrCont* root = new GenAttrCont("n");
  GenAttrBase* node = root;
  for (int level = 1; level < depth; ++level) {
    GenAttrCont* child = new GenAttrCont("n");
    node->AddAttr(child);
    node = child;
  }
  const std::string output = CaptureOutput([&] { node->DumpPath(); });
  const std::string lastLine = std::string(2 * (depth - 2), ' ') + "-> n : \n";
  std::size_t lines = 0;
  for (char c : output) {
    lines += c == '\n' ? 1 : 0;
  }
  EXPECT_EQ(lines, static_cast<std::size_t>(depth - 1));
  EXPECT_EQ(output.rfind("-> n : \n", 0), 0u);
  ASSERT_GE(output.size(), lastLine.size());
  EXPECT_EQ(output.substr(output.size() - lastLine.size() - 1), "\n" + lastLine);
  GenAttrBase::Free(root);
}

} // namespace
