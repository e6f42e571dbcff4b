// DOCTYPEs and entities: declared ones expanded within limits, external ones
// kept as written and never read, undefined ones named; and the order of the
// statuses when a document has more than one fault.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/xml/DoctypeForms.h"
#include "tests/xml/ReaderTestUtil.h"
#include "tests/xml/TreeLeaves.h"

namespace {

using readertest::Read;
using readertest::Tree;

// Reads `document`: `status`, and the leaves for 0 or the message else.
// Attributes, which have tests of their own, are left out of the tree.
::testing::AssertionResult ReadsAs(const std::string& document, int status,
                                   const std::string& expected) {
  GenAttrReadError error;
  Tree tree(readertest::ReadElements(document, error));
  const std::string got = tree.root != nullptr ? foreign::Leaves(tree.root) : error.mMessage;
  if (error.mStatus != status || got != expected) {
    return ::testing::AssertionFailure()
           << "status " << error.mStatus << " at " << error.mLine << ":" << error.mColumn
           << ", expected " << status << "\n  got:      " << got << "\n  expected: " << expected
           << "\n  for: " << document;
  }
  return ::testing::AssertionSuccess();
}

// The internal subset of billion laughs, without its "]>": &l9; expands to
// 10^9 times "lol".
std::string LaughsSubset() {
  std::string laughs = "<!DOCTYPE r [<!ENTITY l0 'lol'>";
  for (int i = 1; i <= 9; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " '";
    for (int j = 0; j < 10; ++j) {
      laughs += "&l" + std::to_string(i - 1) + ";";
    }
    laughs += "'>";
  }
  return laughs;
}

TEST(ReaderDoctype, Forms) {
  for (const foreign::Form& form : foreign::kForms) {
    EXPECT_TRUE(ReadsAs(form.document, form.status, form.expected));
  }
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The message names the undefined entity that the expansion meets, whatever
// else the replacement texts hold: the five predefined entities, which need no
// declaration, and ampersands that start no reference (here in a comment).
TEST(ReaderDoctype, TheUndefinedEntityNamedIsTheOneTheExpansionMeets) {
  for (const char* predefined : {"lt", "gt", "amp", "apos", "quot"}) {
    EXPECT_TRUE(
        ReadsAs("<!DOCTYPE r [<!ENTITY e 'a&" + std::string(predefined) + ";b&u;'>]><r>&e;</r>", 2,
                "undefined entity: &u;"));
  }
  EXPECT_TRUE(ReadsAs("<!DOCTYPE r [<!ENTITY e '<!--&#38;a&#38;-->&u;'>]><r>&e;</r>", 2,
                      "undefined entity: &u;"));
}

// Billion laughs and the quadratic blow-up stop at expat's amplification
// limit, with little memory (and in a fraction of a second: a matter for the
// benchmarks, not for a test that also runs under valgrind).
TEST(ReaderDoctype, EntityBombs) {
  std::string laughs = LaughsSubset() + "]><r>&l9;</r>";
  std::string quadratic = "<!DOCTYPE r [<!ENTITY a '" + std::string(50000, 'a') + "'>]><r>";
  for (int i = 0; i < 50000; ++i) {
    quadratic += "&a;";
  }
  quadratic += "</r>";
  const long before = PeakKilobytes();
  for (const std::string* bomb : {&laughs, &quadratic}) {
    EXPECT_TRUE(ReadsAs(*bomb, 4,
                        "limit on input amplification factor (from DTD and entities) "
                        "breached"));
  }
  // Billions of bytes expanded would show in megabytes; the limit lets a
  // few tens through.
  EXPECT_LT(PeakKilobytes() - before, 256L * 1024L);
}

// expat expands nested entities by recursion: a chain of declarations as long
// as a document can be must end in a status, not a crash, also where expat
// expands it within the DTD (an attribute default).
TEST(ReaderDoctype, NestingOfExpansions) {
  const auto chain = [](int levels, const std::string& use) {
    std::string document = "<!DOCTYPE r [<!ENTITY e0 'x'>";
    for (int i = 1; i < levels; ++i) {
      document += "<!ENTITY e" + std::to_string(i) + " '&e" + std::to_string(i - 1) + ";'>";
    }
    return document + use + "]><r>&e" + std::to_string(levels - 1) + ";</r>";
  };
  EXPECT_TRUE(ReadsAs(chain(64, ""), 0, "r=x;"));
  EXPECT_TRUE(ReadsAs(chain(65, ""), 4, "entity expansions nested more than 64 deep: &e64;"));
  EXPECT_TRUE(ReadsAs(chain(200000, ""), 4, "entity expansions nested more than 64 deep: &e64;"));
  EXPECT_TRUE(ReadsAs(chain(200000, "<!ATTLIST r a CDATA '&e199999;'>"), 4,
                      "entity expansions nested more than 64 deep: &e64;"));
  // Declared in reverse, each entity deepens the ones declared before.
  std::string reverse = "<!DOCTYPE r [";
  for (int i = 100; i > 0; --i) {
    reverse += "<!ENTITY e" + std::to_string(i) + " '&e" + std::to_string(i - 1) + ";'>";
  }
  EXPECT_TRUE(ReadsAs(reverse + "<!ENTITY e0 'x'>]><r>&e100;</r>", 4,
                      "entity expansions nested more than 64 deep: &e36;"));
}

// Files next to the document, holding a marker: every way a document can
// name them, and the marker is nowhere in what comes back.
TEST(ReaderDoctype, NothingOutsideTheDocumentIsRead) {
  const std::string marker = "SECRET-" + std::to_string(getpid()) + "-7f3a9c";
  const std::string text = "reader_secret.txt";
  const std::string dtd = "reader_secret.dtd";
  std::ofstream(text) << marker;
  std::ofstream(dtd) << "<!ENTITY s '" << marker << "'><!ENTITY % p '" << marker << "'>";
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string url = "file://" + std::string(cwd) + "/";
  const std::string documents[] = {
      "<!DOCTYPE r [<!ENTITY x SYSTEM '" + text + "'>]><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY x SYSTEM '" + url + text + "'>]><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY x PUBLIC '-//X//EN' '" + url + text + "'>]><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY x SYSTEM '" + text + "'><!ENTITY i '&x;'>]><r><a>&i;</a></r>",
      "<!DOCTYPE r [<!ENTITY x SYSTEM '" + text + "'>]><r desc='&x;'/>",
      "<!DOCTYPE r SYSTEM '" + dtd + "'><r>&s;</r>",
      "<!DOCTYPE r SYSTEM '" + url + dtd + "'><r ga:type='Cont'><s ga:type='String'>&s;</s></r>",
      "<!DOCTYPE r [<!ENTITY % d SYSTEM '" + dtd + "'>%d;]><r>&s;</r>",
      "<!DOCTYPE r [<!ENTITY % d SYSTEM '" + url + dtd + "'>%d;<!ENTITY t '%p;'>]><r>&t;</r>",
  };
  for (const std::string& document : documents) {
    GenAttrReadError error;
    Tree tree(Read(document, error));
    std::string seen = error.mMessage;
    if (tree.root != nullptr) {
      seen += foreign::Leaves(tree.root);
      for (const bool typed : {false, true}) {
        std::ostringstream out;
        GenAttrXMLSerializer writer(tree.root, &out);
        writer.SetTypedOutput(typed);
        writer.Write();
        seen += out.str();
      }
    }
    EXPECT_EQ(seen.find(marker), std::string::npos) << document << "\n" << seen;
    EXPECT_TRUE(error.mStatus == 0 || error.mStatus == 2) << document;
  }
  std::remove(text.c_str());
  std::remove(dtd.c_str());
}

// Not well-formed is status 2 wherever the fault stands, also behind a typed
// fault, which is status 3 only when the rest of the document is sound.
TEST(ReaderDoctype, StatusOrder) {
  const std::string typedFault = "<r>\n<a ga:type=\"Int\">1.5</a>\n";
  const struct {
    std::string rest;
    int status;
    const char* message;
  } cases[] = {
      {"<b/>\n</r>", 3, "the value of an Int is not a 32-bit decimal integer"},
      {"<b>\n</r>", 2, "mismatched tag"},
      {"<b/>", 2, "no element found"},
      {"<b>&u;</b></r>", 2, "undefined entity: &u;"},
      {"<b>\xFF</b></r>", 2, "not well-formed (invalid token)"},
      {"<b ga:link=\"9\"/></r>", 3, "the value of an Int is not a 32-bit decimal integer"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(ReadsAs(typedFault + c.rest, c.status, c.message));
  }
  // A typed fault is placed where it was found, not at the end.
  GenAttrReadError error;
  Tree tree(Read(typedFault + "<b/>\n<c/>\n</r>", error));
  EXPECT_EQ(error.mStatus, 3);
  EXPECT_EQ(error.mLine, 2u);
  // A limit stays a limit.
  EXPECT_TRUE(ReadsAs(LaughsSubset() + "]>" + typedFault + "<b>&l9;</b></r>", 4,
                      "limit on input amplification factor (from DTD and entities) breached"));
}

} // namespace
