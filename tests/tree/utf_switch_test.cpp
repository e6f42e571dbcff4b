// The UTF transfer switch and the flag the string nodes sample from it.
#include <gtest/gtest.h>

#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "genattr/GenAttrUtfTransfer.h"

TEST(UtfSwitch, IsAFlagThatStartsOff) {
  EXPECT_FALSE(GenAttr_CatiaJtUtfTransferEnabled());
  GenAttr_EnableCatiaJtUtfTransfer();
  GenAttr_EnableCatiaJtUtfTransfer();
  EXPECT_TRUE(GenAttr_CatiaJtUtfTransferEnabled());
  GenAttr_DisableCatiaJtUtfTransfer();
  EXPECT_FALSE(GenAttr_CatiaJtUtfTransferEnabled());
}

TEST(UtfSwitch, StringNodesSampleItWhenTheirValueIsSet) {
  GenAttr_DisableCatiaJtUtfTransfer();
  auto* text = new GenAttrString("s", "v");
  auto* wide = new GenAttrUnicodeString("u", L"v");
  GenAttr_EnableCatiaJtUtfTransfer();
  EXPECT_FALSE(text->isUtfEncoded());
  EXPECT_FALSE(wide->isUtfEncoded());
  auto* later = new GenAttrString("l", "d", "v");
  EXPECT_TRUE(later->isUtfEncoded());

  text->SetValue("w");
  wide->SetValue(L"w");
  GenAttr_DisableCatiaJtUtfTransfer();
  EXPECT_TRUE(text->isUtfEncoded());
  EXPECT_TRUE(wide->isUtfEncoded());
  auto* textCopy = new GenAttrString(text);
  auto* wideCopy = new GenAttrUnicodeString(wide);
  EXPECT_TRUE(textCopy->isUtfEncoded()) << "a copy takes the flag of its source";
  EXPECT_TRUE(wideCopy->isUtfEncoded());
  later->SetValue("x");
  EXPECT_FALSE(later->isUtfEncoded());
  for (GenAttrBase* node :
       std::initializer_list<GenAttrBase*>{text, wide, later, textCopy, wideCopy}) {
    GenAttrBase::Free(node);
  }
}
