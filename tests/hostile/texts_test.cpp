// Texts the contract leaves open: arguments that point into the very text
// they replace, path segments of any length, results of the string utilities
// passed back in while their buffer grows, and the locale changing between
// calls.
#include <clocale>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/genattr_c.h"
#include "tests/hostile/HostileUtil.h"
#include "tests/support/Platform.h"

namespace {

using hostile::kDeclaration;
using hostile::kStamp;
using hostile::XmlOf;

TEST(OwnText, SettersTakeATextInsideTheOneTheyReplace) {
  auto* string = new GenAttrString("name:tail", "desc:tail", "value:tail");
  string->SetName(string->GetName() + 5);
  string->SetDescription(string->GetDescription() + 5);
  string->SetValue(string->GetValue() + 6);
  EXPECT_STREQ(string->GetName(), "tail");
  EXPECT_STREQ(string->GetDescription(), "tail");
  EXPECT_STREQ(string->GetValue(), "tail");
  string->SetName(string->GetName());
  string->SetValue(string->GetValueAsString() + 4);
  EXPECT_STREQ(string->GetName(), "tail");
  EXPECT_STREQ(string->GetValue(), "");

  auto* wide = new GenAttrUnicodeString("w", L"\u00E9t\u00E9");
  wide->SetValue(wide->GetValue() + 1);
  EXPECT_STREQ(wide->GetValue(), L"t\u00E9");

  auto* cont = new GenAttrCont("c", "described");
  cont->SetId("id:tail");
  cont->SetId(cont->GetId() + 3);
  EXPECT_STREQ(cont->GetId(), "tail");
  // A reference holds copies: each side may be set from the other's text.
  auto* reference = new GenAttrCont("r", cont);
  cont->SetDescription(reference->GetDescription() + 1);
  reference->SetDescription(cont->GetDescription() + 1);
  reference->SetId(cont->GetId());
  cont->SetId(reference->GetId() + 1);
  EXPECT_STREQ(cont->GetDescription(), "escribed");
  EXPECT_STREQ(reference->GetDescription(), "scribed");
  EXPECT_STREQ(cont->GetId(), "ail");
  EXPECT_STREQ(reference->GetId(), "tail");

  // The same through the flat interface.
  QMV_GenAttr_String_SetValue(string, "flat");
  QMV_GenAttr_String_SetValue(string, QMV_GenAttr_String_GetValue(string) + 1);
  QMV_GenAttr_Cont_SetId(cont, QMV_GenAttr_Cont_GetId(cont) + 1);
  EXPECT_STREQ(QMV_GenAttr_String_GetValue(string), "lat");
  EXPECT_STREQ(QMV_GenAttr_Cont_GetId(cont), "il");

  for (GenAttrBase* node :
       {static_cast<GenAttrBase*>(string), static_cast<GenAttrBase*>(wide),
        static_cast<GenAttrBase*>(reference), static_cast<GenAttrBase*>(cont)}) {
    GenAttrBase::Free(node);
  }
}

TEST(PathSegments, AnyLengthIsComparedWhole) {
  auto* root = new GenAttrCont("root");
  const std::string lengths[] = {std::string(255, 'a'), std::string(256, 'a'),
                                 std::string(100000, 'a'), std::string(255, 'a') + "b"};
  for (const std::string& name : lengths) {
    auto* child = new GenAttrCont(name.c_str());
    child->AddAttr(new GenAttrInt(name.c_str(), static_cast<int>(name.size())));
    root->AddAttr(child);
  }
  for (const std::string& name : lengths) {
    GenAttrBase* found = root->GetAttrByPath((name + "/" + name).c_str());
    ASSERT_NE(found, nullptr) << name.size();
    EXPECT_EQ(static_cast<GenAttrInt*>(found)->GetValue(), static_cast<int>(name.size()));
    EXPECT_EQ(QMV_GenAttr_Base_GetAttrByPath(root, name.c_str()), root->GetAttr(name.c_str()));
  }
  // Neither a prefix nor an extension of a name matches it.
  EXPECT_EQ(root->GetAttrByPath(std::string(254, 'a').c_str()), nullptr);
  EXPECT_EQ(root->GetAttrByPath(std::string(100001, 'a').c_str()), nullptr);
  GenAttrBase::Free(root);

  // A thousand empty segments lead down a thousand nodes with empty names.
  auto* top = new GenAttrCont("top");
  GenAttrBase* bottom = top;
  for (int level = 0; level < 1000; ++level) {
    auto* next = new GenAttrCont("");
    bottom->AddAttr(next);
    bottom = next;
  }
  EXPECT_EQ(top->GetAttrByPath(std::string(999, '/').c_str()), bottom);
  EXPECT_EQ(top->GetAttrByPath(std::string(1000, '/').c_str()), nullptr);
  GenAttrBase::Free(top);
}

TEST(StringUtilsReuse, EarlierResultsAsArgumentsWhileTheBufferGrows) {
  GenAttrStringUtils& utils = GenAttrStringUtils::Instance();
  // 1500 bytes E9 read as ISO 8859-1 give 3000 bytes, encoded again 6000.
  const std::string latin(1500, '\xE9');
  std::string twice;
  for (int i = 0; i < 1500; ++i) {
    twice += "\xC3\x83\xC2\xA9";
  }
  const char* once = utils.GetUTF8EncodedString(latin.c_str());
  EXPECT_EQ(std::strlen(once), 3000u);
  EXPECT_EQ(utils.GetUTF8EncodedString(once), twice);
  EXPECT_EQ(utils.MakeXMLConform(utils.GetUTF8EncodedString(latin.c_str())),
            std::string(6000, '_'));

  // U+00E9 in a UTF-8 locale, or where the C runtime has none, in the "C"
  // locale of Windows, which reads bytes as ISO 8859-1.
  std::string eAcute = "\xC3\xA9";
  if (!genattr_test::SetUtf8Locale()) {
    ASSERT_TRUE(genattr_test::kCLocaleIsLatin1) << "no locale converts U+00E9";
    eAcute = "\xE9";
  }
  std::string multibyte;
  for (int i = 0; i < 3000; ++i) {
    multibyte += eAcute;
  }
  const wchar_t* wide = utils.MultiByteToWideChar(multibyte.c_str());
  EXPECT_EQ(std::wcslen(wide), 3000u);
  const char* back = utils.WideCharToMultiByte(wide);
  EXPECT_EQ(back, multibyte);
  EXPECT_EQ(std::wcslen(utils.MultiByteToWideChar(back)), 3000u);
  std::setlocale(LC_ALL, "C");
}

TEST(LocaleChanges, EachCallFollowsTheLocaleOfItsMoment) {
  GenAttrStringUtils& utils = GenAttrStringUtils::Instance();
  if (!genattr_test::SetUtf8Locale()) {
    GTEST_SKIP() << "the C runtime has no UTF-8 locale";
  }
  const wchar_t* wide = utils.MultiByteToWideChar("caf\xC3\xA9");
  EXPECT_STREQ(wide, L"caf\u00E9");
  // The "C" locale cannot represent the result obtained under the other.
  std::setlocale(LC_ALL, "C");
  EXPECT_STREQ(utils.WideCharToMultiByte(wide), "");

  // 8-bit values are read in the locale of the moment of writing, or as
  // ISO 8859-1 where it cannot read them.
  auto* root = new GenAttrCont("root");
  root->AddAttr(new GenAttrString("u", "\xC3\xA9"));
  root->AddAttr(new GenAttrString("l", "\xE9"));
  const std::string inC = XmlOf(root);
  genattr_test::SetUtf8Locale();
  const std::string inUtf8 = XmlOf(root);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(inC, kDeclaration + "<root>" + kStamp +
                     "\n  <u>\xC3\x83\xC2\xA9</u>\n  <l>\xC3\xA9</l>\n</root>\n");
  EXPECT_EQ(inUtf8,
            kDeclaration + "<root>" + kStamp + "\n  <u>\xC3\xA9</u>\n  <l>\xC3\xA9</l>\n</root>\n");

  // A wide value without the UTF flag renders in the locale where it can.
  auto* value = new GenAttrUnicodeString("w", L"\u00E9");
  EXPECT_STREQ(value->GetValueAsString(), "\xC3\xA9");
  genattr_test::SetUtf8Locale();
  EXPECT_STREQ(value->GetValueAsString(), "\xC3\xA9");
  std::setlocale(LC_ALL, "C");
  GenAttrBase::Free(value);
  GenAttrBase::Free(root);
}

} // namespace
