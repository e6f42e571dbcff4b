// The texts a refusal quotes from the document: in UTF-8 whatever the
// document's encoding, and cut to the message's room only when longer than
// it, never inside a character.
#include <string>

#include <gtest/gtest.h>

#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Read;
using readertest::Tree;

// Whether `document` is refused with exactly `message`.
::testing::AssertionResult RefusedWith(const std::string& document, const std::string& message) {
  GenAttrReadError error;
  Tree tree(Read(document, error));
  if (tree.root != nullptr || error.mMessage != message) {
    return ::testing::AssertionFailure()
           << "message \"" << error.mMessage << "\", expected \"" << message << "\"";
  }
  return ::testing::AssertionSuccess();
}

TEST(ReaderMessages, AnUndefinedEntityIsNamedInUtf8) {
  // "caf" U+00E9 in UTF-8, and in ISO-8859-1 however the declaration spells it.
  EXPECT_TRUE(RefusedWith("<a>&caf\xC3\xA9;</a>", "undefined entity: &caf\xC3\xA9;"));
  for (const char* name : {"ISO-8859-1", "iso-8859-1", "Iso-8859-1"}) {
    EXPECT_TRUE(RefusedWith(std::string("<?xml version=\"1.0\" encoding=\"") + name +
                                "\"?><a>&caf\xE9;</a>",
                            "undefined entity: &caf\xC3\xA9;"))
        << name;
  }
}

TEST(ReaderMessages, QuotedTextsAreCutOnlyBeyondTheirRoom) {
  // 200 bytes fit whole; one more is cut to 200 and marked.
  const std::string fits(200, 'x');
  EXPECT_TRUE(RefusedWith("<?xml version=\"1.0\" encoding=\"" + fits + "\"?><a/>",
                          "unknown encoding: " + fits));
  EXPECT_TRUE(RefusedWith("<?xml version=\"1.0\" encoding=\"" + fits + "y\"?><a/>",
                          "unknown encoding: " + fits + "..."));
  // "a" and 150 times U+00E9: byte 200 is inside a character, so the cut
  // comes before it.
  std::string name = "a";
  for (int i = 0; i < 150; ++i) {
    name += "\xC3\xA9";
  }
  EXPECT_TRUE(
      RefusedWith("<r>&" + name + ";</r>", "undefined entity: &" + name.substr(0, 199) + "...;"));
}

} // namespace
