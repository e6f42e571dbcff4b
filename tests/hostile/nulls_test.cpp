// Null pointers wherever an operation takes one. The flat interface refuses
// them (null, 0 or status 1, nothing changed, nothing printed); the classes
// take a null text as the empty text (a null description as none), a null
// node as no node, and the writers a null root or stream as nothing to write.
#include <cstring>
#include <cwchar>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/genattr_c.h"
#include "tests/hostile/HostileUtil.h"

namespace {

using hostile::Output;

// A flat function with `pointers` pointer arguments. call(null) makes the
// call with argument i null when bit i of `null` is set, and tells whether
// the outcome is the refusal (the result when nothing may be done).
struct FlatCase {
  const char* function;
  int pointers;
  std::function<bool(unsigned null)> call;
};

template <typename T> T* Or(unsigned null, int bit, T* value) {
  return (null >> bit & 1u) != 0 ? nullptr : value;
}

class FlatNulls : public testing::Test {
protected:
  FlatNulls() {
    mRoot = QMV_GenAttr_Create_Cont("root");
    mCont = QMV_GenAttr_Create_Cont("box");
    mString = QMV_GenAttr_Create_String("s", "v");
    mInt = QMV_GenAttr_Create_Int("i", 7);
    QMV_GenAttr_Base_AddAttr(mRoot, mCont);
    QMV_GenAttr_Base_AddAttr(mCont, mString);
    QMV_GenAttr_Base_AddAttr(mCont, mInt);
    QMV_GenAttr_Cont_SetId(mCont, "id");
  }
  ~FlatNulls() override { GenAttrBase::Free(mRoot); }

  // What the calls could have changed, as text.
  std::string State() const {
    return std::to_string(mRoot->GetNumberChildren()) + "/" +
           std::to_string(mCont->GetNumberChildren()) + "/" + QMV_GenAttr_Cont_GetId(mCont) + "/" +
           QMV_GenAttr_String_GetValue(mString) + "/" +
           std::to_string(QMV_GenAttr_Int_GetValue(mInt));
  }

  // A node made by a Create function: refused when null; released otherwise.
  static bool Refused(GenAttrHandle* made) {
    GenAttrBase::Free(made);
    return made == nullptr;
  }

  GenAttrHandle* mRoot;
  GenAttrHandle* mCont;
  GenAttrHandle* mString;
  GenAttrHandle* mInt;
};

TEST_F(FlatNulls, EveryCombinationOfNullArgumentsIsRefused) {
  const wchar_t* wide = L"w";
  GenAttrHandle* const cont = mCont;
  GenAttrHandle* const string = mString;
  GenAttrHandle* const number = mInt;
  const std::vector<FlatCase> cases = {
      {"Create_Cont", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_Cont(Or(n, 0, "c"))); }},
      {"Create_Cont_Ref", 2,
       [=](unsigned n) {
         return Refused(QMV_GenAttr_Create_Cont_Ref(Or(n, 0, "r"), Or(n, 1, cont)));
       }},
      {"Create_String", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_String(Or(n, 0, "s"), "v")); }},
      {"Create_String_Desc", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_String_Desc(Or(n, 0, "s"), "d", "v")); }},
      {"Create_UnicodeString", 1,
       [=](unsigned n) { return Refused(QMV_GenAttr_Create_UnicodeString(Or(n, 0, "u"), wide)); }},
      {"Create_UnicodeString_Desc", 1,
       [=](unsigned n) {
         return Refused(QMV_GenAttr_Create_UnicodeString_Desc(Or(n, 0, "u"), "d", wide));
       }},
      {"Create_Int", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_Int(Or(n, 0, "i"), 1)); }},
      {"Create_Float", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_Float(Or(n, 0, "f"), 1.0f)); }},
      {"Create_Double", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_Double(Or(n, 0, "d"), 1.0)); }},
      {"Create_Ptr", 1,
       [](unsigned n) { return Refused(QMV_GenAttr_Create_Ptr(Or(n, 0, "p"), nullptr)); }},
      {"Base_GetAttr", 2,
       [=](unsigned n) {
         return QMV_GenAttr_Base_GetAttr(Or(n, 0, cont), Or(n, 1, "s")) == nullptr;
       }},
      {"Base_GetAttrByPath", 2,
       [=](unsigned n) {
         return QMV_GenAttr_Base_GetAttrByPath(Or(n, 0, mRoot), Or(n, 1, "box/s")) == nullptr;
       }},
      {"FindStringAttr", 3,
       [=](unsigned n) {
         return QMV_GenAttr_FindStringAttr(Or(n, 0, mRoot), Or(n, 1, "s"), Or(n, 2, "v")) ==
                nullptr;
       }},
      {"FindDoubleAttr", 2,
       [=](unsigned n) {
         return QMV_GenAttr_FindDoubleAttr(Or(n, 0, mRoot), Or(n, 1, "d"), 1.0, 1.0) == nullptr;
       }},
      {"FindIntegerAttr", 2,
       [=](unsigned n) {
         return QMV_GenAttr_FindIntegerAttr(Or(n, 0, mRoot), Or(n, 1, "i"), 7) == nullptr;
       }},
      {"Base_IsReference", 1,
       [=](unsigned n) { return QMV_GenAttr_Base_IsReference(Or(n, 0, cont)) == 0; }},
      {"Base_GetFirstAttr", 1,
       [=](unsigned n) { return QMV_GenAttr_Base_GetFirstAttr(Or(n, 0, cont)) == nullptr; }},
      {"Base_GetNextAttr", 1,
       [=](unsigned n) { return QMV_GenAttr_Base_GetNextAttr(Or(n, 0, cont)) == nullptr; }},
      {"Cont_GetId", 1,
       [=](unsigned n) { return QMV_GenAttr_Cont_GetId(Or(n, 0, cont)) == nullptr; }},
      {"String_GetValue", 1,
       [=](unsigned n) { return QMV_GenAttr_String_GetValue(Or(n, 0, string)) == nullptr; }},
      {"Int_GetValue", 1,
       [=](unsigned n) { return QMV_GenAttr_Int_GetValue(Or(n, 0, number)) == 0; }},
      {"WriteToFile", 2,
       [=](unsigned n) {
         return QMV_GenAttr_WriteToFile(Or(n, 0, cont), Or(n, 1, "hostile_nulls.txt")) == 1;
       }},
  };
  for (const FlatCase& c : cases) {
    for (unsigned null = 1; null < 1u << c.pointers; ++null) {
      bool refused = false;
      const std::string printed = Output([&] { refused = c.call(null); });
      EXPECT_TRUE(refused) << c.function << " with null mask " << null;
      EXPECT_EQ(printed, "") << c.function << " with null mask " << null;
    }
  }

  // Setters and links: with any argument null nothing changes, nothing prints.
  const std::string before = State();
  const std::string printed = Output([&] {
    QMV_GenAttr_Base_AddAttr(nullptr, mInt);
    QMV_GenAttr_Base_AddAttr(mCont, nullptr);
    QMV_GenAttr_Base_AddAttrAtTop(nullptr, mInt);
    QMV_GenAttr_Base_AddAttrAtTop(mRoot, nullptr);
    QMV_GenAttr_Cont_SetId(nullptr, "x");
    QMV_GenAttr_Cont_SetId(mCont, nullptr);
    QMV_GenAttr_String_SetValue(nullptr, "x");
    QMV_GenAttr_String_SetValue(mString, nullptr);
    QMV_GenAttr_Int_SetValue(nullptr, 1);
  });
  EXPECT_EQ(printed, "");
  EXPECT_EQ(State(), before);

  // The build stamp fills whichever buffer there is.
  char date[12] = {};
  char time[9] = {};
  QMV_GenAttr_GetBuildDateTime(date, nullptr);
  QMV_GenAttr_GetBuildDateTime(nullptr, time);
  QMV_GenAttr_GetBuildDateTime(nullptr, nullptr);
  EXPECT_EQ(std::strlen(date), 11u);
  EXPECT_EQ(std::strlen(time), 8u);
}

TEST_F(FlatNulls, NullTextsOfNewNodesAreEmpty) {
  GenAttrHandle* described = QMV_GenAttr_Create_Cont_Desc("c", nullptr);
  GenAttrHandle* string = QMV_GenAttr_Create_String_Desc("s", nullptr, nullptr);
  GenAttrHandle* wide = QMV_GenAttr_Create_UnicodeString_Desc("u", nullptr, nullptr);
  EXPECT_STREQ(described->GetDescription(), "");
  EXPECT_STREQ(QMV_GenAttr_String_GetValue(string), "");
  EXPECT_STREQ(static_cast<GenAttrUnicodeString*>(wide)->GetValue(), L"");
  for (GenAttrHandle* node : {described, string, wide}) {
    GenAttrBase::Free(node);
  }
}

TEST(ClassNulls, NodesTakeNullTextsAsEmptyAndNullNodesAsNone) {
  auto* plain = new GenAttrBase(static_cast<const char*>(nullptr));
  auto* described = new GenAttrBase("b", static_cast<const char*>(nullptr));
  auto* string = new GenAttrString(nullptr, nullptr, nullptr);
  auto* wide = new GenAttrUnicodeString("w", static_cast<const wchar_t*>(nullptr));
  EXPECT_STREQ(plain->GetName(), "");
  EXPECT_EQ(described->GetDescription(), nullptr);
  EXPECT_STREQ(string->GetName(), "");
  EXPECT_EQ(string->GetDescription(), nullptr);
  EXPECT_STREQ(string->GetValue(), "");
  EXPECT_STREQ(wide->GetValue(), L"");

  // A reference to no node shares nothing; a copy of no node is empty.
  auto* reference = new GenAttrCont("r", static_cast<GenAttrCont*>(nullptr));
  auto* copy = new GenAttrCont(static_cast<const GenAttrCont*>(nullptr));
  auto* intCopy = new GenAttrInt(static_cast<const GenAttrInt*>(nullptr));
  EXPECT_EQ(reference->IsReference(), 1);
  EXPECT_EQ(reference->HasChildren(), 0);
  EXPECT_EQ(reference->GetId(), nullptr);
  EXPECT_STREQ(copy->GetName(), "");
  EXPECT_EQ(intCopy->GetValue(), 0);

  // Setters: null names and values become empty, a null description or id none.
  string->SetName("s");
  string->SetDescription("d");
  string->SetValue("v");
  string->SetName(nullptr);
  string->SetDescription(nullptr);
  string->SetValue(nullptr);
  EXPECT_STREQ(string->GetName(), "");
  EXPECT_EQ(string->GetDescription(), nullptr);
  EXPECT_STREQ(string->GetValueAsString(), "");
  wide->SetValue(nullptr);
  EXPECT_STREQ(wide->GetValueAsString(), "");
  reference->SetId("x");
  reference->SetId(nullptr);
  EXPECT_EQ(reference->GetId(), nullptr);

  plain->AddAttr(nullptr);
  plain->AddAttrAtTop(nullptr);
  EXPECT_EQ(plain->HasChildren(), 0);
  GenAttrBase::Free(nullptr);
  GenAttrList::Free(nullptr);
  for (GenAttrBase* node : std::initializer_list<GenAttrBase*>{plain, described, string, wide,
                                                               reference, copy, intCopy}) {
    GenAttrBase::Free(node);
  }
}

TEST(ClassNulls, WritersWithoutRootOrStreamWriteNothing) {
  auto* root = new GenAttrCont("root");
  std::ostringstream out;
  EXPECT_EQ(GenAttrSTSerializer(nullptr, &out).Write(), 0);
  EXPECT_EQ(GenAttrSTSerializer(root, nullptr).Write(), 0);
  EXPECT_EQ(GenAttrXMLSerializer(nullptr, &out).Write(), 0);
  EXPECT_EQ(GenAttrXMLSerializer(root, nullptr).Write(), 0);
  EXPECT_EQ(out.str(), "");

  // Null stylesheets are none.
  GenAttrXMLSerializer writer(root, &out);
  writer.SetXSLStylesheet("a.xsl");
  writer.SetCSSStylesheet("b.css");
  writer.SetXSLStylesheet(nullptr);
  writer.SetCSSStylesheet(nullptr);
  writer.Write();
  EXPECT_EQ(out.str().find("stylesheet"), std::string::npos);
  EXPECT_EQ(out.str().find("CSS_StyleSheet"), std::string::npos);

  EXPECT_EQ(GenAttrSerializerFactory::WriteToTextFile(nullptr, "hostile_unused.txt"), 1);
  EXPECT_EQ(GenAttrSerializerFactory::WriteToXmlFile(root, nullptr), 1);
  GenAttrBase::Free(root);
}

TEST(StringUtilsRegression, NullTextIsTakenAsEmptyInsteadOfCrashing) {
  GenAttrStringUtils& utils = GenAttrStringUtils::Instance();
  EXPECT_STREQ(utils.MultiByteToWideChar(nullptr), L"");
  EXPECT_STREQ(utils.WideCharToMultiByte(nullptr), "");
  EXPECT_STREQ(utils.GetUTF8EncodedString(static_cast<const char*>(nullptr)), "");
  EXPECT_STREQ(utils.GetUTF8EncodedString(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_STREQ(utils.MakeXMLConform(nullptr), "_");

  // The three-argument encoder leaves a null destination alone.
  unsigned char bytes[GenAttrStringUtils::UTF8_CHAR_BUFFER_SIZE] = {};
  unsigned int value = 0;
  GenAttrStringUtils::ConvertToUTF8(L'\u00E9', nullptr, &value);
  EXPECT_EQ(value, 0xE9u);
  GenAttrStringUtils::ConvertToUTF8(L'\u20AC', bytes, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(bytes), "\xE2\x82\xAC");
  GenAttrStringUtils::ConvertToUTF8(L'x', nullptr, nullptr);
}

} // namespace
