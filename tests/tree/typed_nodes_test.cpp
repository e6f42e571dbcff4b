// The text-valued nodes: wide values and texts that point into the node.
#include <cwchar>

#include <gtest/gtest.h>

#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tests/support/Platform.h"

TEST(TypedNodes, WideValueIsStoredUnitForUnit) {
  // U+00E9, a lone high surrogate unit, U+1F600 (one unit or a pair): units
  // are kept as given.
  const std::wstring value = genattr_test::Wide(U"\u00E9\xD800\U0001F600");
  auto* wide = new GenAttrUnicodeString("u", "d", value.c_str());
  auto* empty = new GenAttrUnicodeString("e", L"");
  EXPECT_EQ(wide->GetType(), UnicodeString);
  EXPECT_NE(wide->GetValue(), value.c_str());
  EXPECT_EQ(wide->GetValue(), value);
  EXPECT_EQ(empty->GetValue()[0], L'\0');
  GenAttrBase::Free(wide);
  GenAttrBase::Free(empty);
}

TEST(TypedNodes, SettersAcceptTextsPointingIntoTheNode) {
  auto* text = new GenAttrString("name", "description", "value");
  text->SetName(text->GetName() + 1);
  text->SetDescription(text->GetDescription() + 2);
  text->SetValue(text->GetValue() + 3);
  EXPECT_STREQ(text->GetName(), "ame");
  EXPECT_STREQ(text->GetDescription(), "scription");
  EXPECT_STREQ(text->GetValue(), "ue");

  auto* wide = new GenAttrUnicodeString("w", L"wide");
  wide->SetValue(wide->GetValue() + 1);
  EXPECT_EQ(std::wcscmp(wide->GetValue(), L"ide"), 0);

  auto* container = new GenAttrCont("c");
  container->SetId("first");
  container->SetId("second");
  container->SetId(container->GetId() + 3);
  EXPECT_STREQ(container->GetId(), "ond");
  GenAttrBase::Free(text);
  GenAttrBase::Free(wide);
  GenAttrBase::Free(container);
}
