// Type names, value texts, the shared value buffer and the ancestry listing.
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/support/Platform.h"

namespace {

// Reads the protected shared value buffer; sets out-of-range type codes; names
// an initial parent without being linked under it, the one way to make the
// chain of initial parents loop while the tree does not.
class Probe : public GenAttrBase {
public:
  explicit Probe(const char* name, std::int32_t code = Base) : GenAttrBase(name) {
    mType = static_cast<GenAttrType>(code);
  }
  void Adopt(GenAttrBase* parent) { SetInitialParent(parent); }
  static const char* Buffer() { return smpBuffer; }
  static std::uint64_t Length() { return smBufferLen; }
};

template <typename F> std::string Output(F&& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

std::string Report(const char* node, const char* parent, double value) {
  char text[512];
  std::snprintf(text, sizeof text,
                "ERROR: GenAttrBase::GetValueAsString exceeds internal buffer size!\n"
                "Current buffer size is: 128 [node: %s, parent: %s, value: %f]\n",
                node, parent, value);
  return text;
}

// Renders `value` through a UnicodeString node with the UTF flag as given.
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
  testing::AssertionResult failure = testing::AssertionFailure() << "bytes:";
  for (unsigned char byte : actual) {
    failure << ' ' << std::hex << static_cast<int>(byte);
  }
  return failure << " (expected " << expected.size() << " bytes)";
}

TEST(TypeName, EveryCodeInOneBuffer) {
  GenAttrBase* nodes[] = {new GenAttrBase("b"),
                          new GenAttrString("s", ""),
                          new GenAttrFloat("f", 0),
                          new GenAttrDouble("d", 0),
                          new GenAttrInt("i", 0),
                          new GenAttrCont("c"),
                          new GenAttrUnicodeString("u", L""),
                          new GenAttrPtr("p", nullptr),
                          new Probe("eight", 8),
                          new Probe("minus", -1)};
  const char* expected[] = {"Base", "String",        "Float", "Double",    "Int",
                            "Cont", "UnicodeString", "Ptr",   "<unknown>", "<unknown>"};
  const char* buffer = nodes[0]->GetTypeAsString();
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(nodes[i]->GetTypeAsString(), buffer);
    EXPECT_STREQ(buffer, expected[i]);
    if (i >= 8) {
      EXPECT_STREQ(nodes[i]->GetValueAsString(), ""); // unknown codes carry no value
    }
    GenAttrBase::Free(nodes[i]);
  }
}

TEST(ValueText, ExactTextsInTheSharedBuffer) {
  GenAttrCont* cont = new GenAttrCont("c");
  cont->SetId("X");
  const std::pair<GenAttrBase*, const char*> cases[] = {
      {new GenAttrInt("i", INT_MIN), "-2147483648"},
      {new GenAttrFloat("f", 1.5f), "1.5000"},
      {new GenAttrFloat("f", -FLT_MAX), "-340282346638528859811704183484516925440.0000"},
      {new GenAttrDouble("d", 2.0 / 3.0), "0.6667"},
      {new GenAttrDouble("d", -0.0), "-0.0000"},
      {new GenAttrDouble("d", 0.99999), "1.0000"},
      {new GenAttrBase("b"), ""},
      {new GenAttrCont("r", cont), ""},
  };
  for (const auto& c : cases) {
    const char* text = c.first->GetValueAsString();
    EXPECT_STREQ(text, c.second);
    EXPECT_EQ(text, Probe::Buffer());
    GenAttrBase::Free(c.first);
  }
  int target;
  char pointer[32];
  std::snprintf(pointer, sizeof pointer, "%p", static_cast<void*>(&target));
  GenAttrPtr* ptr = new GenAttrPtr("p", &target);
  EXPECT_STREQ(ptr->GetValueAsString(), pointer);
  GenAttrString* string = new GenAttrString("s", "v");
  EXPECT_EQ(string->GetValueAsString(), string->GetValue());
  for (GenAttrBase* node : {static_cast<GenAttrBase*>(ptr), static_cast<GenAttrBase*>(string),
                            static_cast<GenAttrBase*>(cont)}) {
    GenAttrBase::Free(node);
  }
}

TEST(SharedBuffer, ReusedUntilANonReferenceNodeIsDestroyed) {
  GenAttrInt* a = new GenAttrInt("a", 1);
  GenAttrInt* b = new GenAttrInt("b", 22);
  const char* first = a->GetValueAsString();
  EXPECT_EQ(b->GetValueAsString(), first);
  EXPECT_STREQ(first, "22");
  EXPECT_EQ(Probe::Length(), 128u);

  GenAttrCont* cont = new GenAttrCont("c");
  GenAttrBase::Free(new GenAttrCont("r", cont)); // a reference leaves the buffer alone
  EXPECT_EQ(Probe::Buffer(), first);
  GenAttrBase::Free(cont);
  EXPECT_EQ(Probe::Buffer(), nullptr);
  EXPECT_EQ(Probe::Length(), 128u);

  EXPECT_STREQ(a->GetValueAsString(), "1");
  EXPECT_NE(Probe::Buffer(), nullptr);
  EXPECT_EQ(Probe::Length(), 128u);
  GenAttrBase::Free(a);
  GenAttrBase::Free(b);
}

TEST(Overflow, ReportsNodeParentValueAndPath) {
  GenAttrCont* root = new GenAttrCont("R");
  GenAttrCont* parent = new GenAttrCont("P");
  GenAttrDouble* number = new GenAttrDouble("big", std::nextafter(1e122, 0.0));
  root->AddAttr(parent);
  parent->AddAttr(number);
  EXPECT_EQ(Output([&] { EXPECT_EQ(std::strlen(number->GetValueAsString()), 127u); }), "");

  number->SetValue(1e122);
  const char* text = nullptr;
  EXPECT_EQ(Output([&] { text = number->GetValueAsString(); }),
            Report("big", "P", 1e122) + "-> R : \n  -> P : \n");
  EXPECT_STREQ(text, "");
  number->SetValue(-1e121);
  EXPECT_EQ(Output([&] { text = number->GetValueAsString(); }),
            Report("big", "P", -1e121) + "-> R : \n  -> P : \n");
  number->SetValue(0.5);
  EXPECT_STREQ(number->GetValueAsString(), "0.5000");

  GenAttrDouble* lonely = new GenAttrDouble("lonely", 1e300);
  EXPECT_EQ(Output([&] { lonely->GetValueAsString(); }), Report("lonely", "<none>", 1e300));
  GenAttrBase::Free(lonely);
  GenAttrBase::Free(root);
}

TEST(Overflow, OverflowingAncestorsDoNotMultiplyReports) {
  GenAttrDouble* root = new GenAttrDouble("R", 1e200);
  GenAttrDouble* middle = new GenAttrDouble("M", 1e200);
  GenAttrDouble* leaf = new GenAttrDouble("L", 1e200);
  root->AddAttr(middle);
  middle->AddAttr(leaf);
  // Within a report, ancestors that overflow too show the empty text.
  EXPECT_EQ(Output([&] { leaf->GetValueAsString(); }),
            Report("L", "M", 1e200) + "-> R : \n  -> M : \n");
  // A listing asked for directly reports each overflowing ancestor once.
  EXPECT_EQ(Output([&] { leaf->DumpPath(); }), Report("R", "<none>", 1e200) + "-> R : \n  " +
                                                   Report("M", "R", 1e200) + "-> R : \n-> M : \n");
  GenAttrBase::Free(root);
}

using genattr_test::Unit;

TEST(WideText, Utf8WhenFlagged) {
  // Where wchar_t holds whole code points, values above U+FFFF convert as the
  // surrogate pairs of their UTF-16 form; where it holds UTF-16 units, the
  // wide literals below are those pairs.
  EXPECT_TRUE(RendersAs(L"", true, ""));
  EXPECT_TRUE(RendersAs(L"a\u00E9", true, "a\xC3\xA9")); // U+0061 U+00E9
  EXPECT_TRUE(
      RendersAs(L"\u20AC\U0001F600", true, "\xE2\x82\xAC\xF0\x9F\x98\x80"));      // U+20AC U+1F600
  EXPECT_TRUE(RendersAs(L"\U0010FFFF", true, "\xF4\x8F\xBF\xBF"));                // U+10FFFF
  EXPECT_TRUE(RendersAs(std::wstring{0xD83D, 0xDE00}, true, "\xF0\x9F\x98\x80")); // pair as units
  EXPECT_TRUE(RendersAs(std::wstring{L'a', 0xD800}, true, ""));                   // final high
  EXPECT_TRUE(RendersAs(std::wstring{0xD800, L'a'}, true, ""));                   // unpaired high
  EXPECT_TRUE(RendersAs(std::wstring{L'a', L'b', 0xDC00}, true, ""));             // lone low
  EXPECT_TRUE(RendersAs(std::wstring{L'a', 0xFFFF}, true, "a\xEF\xBF\xBF"));      // U+FFFF
  if (!genattr_test::kWideIsUtf16) { // units beyond U+10FFFF exist only there
    EXPECT_TRUE(RendersAs(std::wstring{L'a', Unit(0x110000)}, true, ""));
    EXPECT_TRUE(RendersAs(std::wstring{L'a', Unit(0xFFFFFFFF)}, true, "")); // -1
  }
  std::string longUtf8; // a text that grows the buffers
  for (int i = 0; i < 3000; ++i) {
    longUtf8 += "\xC3\xA9";
  }
  EXPECT_TRUE(RendersAs(std::wstring(3000, L'\u00E9'), true, longUtf8));
}

TEST(WideText, LocaleTextFallsBackToUtf8) {
  // The "C" locale converts ASCII (and on Windows up to U+00FF, as ISO
  // 8859-1); what it cannot convert renders as UTF-8.
  EXPECT_TRUE(RendersAs(L"plain", false, "plain"));
  EXPECT_TRUE(RendersAs(L"caf\u00E9", false, // U+0063 U+0061 U+0066 U+00E9
                        genattr_test::kCLocaleIsLatin1 ? "caf\xE9" : "caf\xC3\xA9"));
  EXPECT_TRUE(RendersAs(L"\u20AC", false, "\xE2\x82\xAC"));         // U+20AC
  EXPECT_TRUE(RendersAs(L"\U0001F600", false, "\xF0\x9F\x98\x80")); // U+1F600
  EXPECT_TRUE(RendersAs(std::wstring{0xDC00}, false, ""));          // lone low surrogate
  if (!genattr_test::SetUtf8Locale()) {
    GTEST_SKIP() << "the C runtime has no UTF-8 locale";
  }
  EXPECT_TRUE(RendersAs(L"\U0001F600", false, "\xF0\x9F\x98\x80"));
  std::setlocale(LC_ALL, "C");
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
  EXPECT_EQ(Output([&] { root->DumpPath(); }), "");
  EXPECT_EQ(Output([&] { leaf->DumpPath(); }), "-> R : \n  -> S : v\n    -> I : 5\n");
  GenAttrBase::Free(other);
  GenAttrBase::Free(root);
}

TEST(DumpPath, StopsWhereInitialParentsLoop) {
  Probe* self = new Probe("self");
  self->Adopt(self);
  EXPECT_EQ(Output([&] { self->DumpPath(); }), "");

  // A names B, B names A; C hangs below A.
  Probe* a = new Probe("A");
  Probe* b = new Probe("B");
  Probe* c = new Probe("C");
  a->Adopt(b);
  b->Adopt(a);
  c->Adopt(a);
  EXPECT_EQ(Output([&] { a->DumpPath(); }), "-> B : \n");
  EXPECT_EQ(Output([&] { b->DumpPath(); }), "-> A : \n");
  EXPECT_EQ(Output([&] { c->DumpPath(); }), "-> B : \n  -> A : \n");

  for (Probe* node : {self, a, b, c}) {
    GenAttrBase::Free(node);
  }
}

} // namespace
