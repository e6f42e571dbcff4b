// Documents without typed attributes, read by the documented rules.
#include <string>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "genattr/GenAttrXMLReader.h"
#include "tests/hostile/HostileUtil.h"
#include "tests/xml/ReaderTestUtil.h"

namespace {

using readertest::Read;
using readertest::Tree;

// The text listing of what `document` reads as, or the status and message.
std::string Listing(const std::string& document, const GenAttrReadOptions& options = {}) {
  GenAttrReadError error;
  Tree tree(GenAttrXMLReader::ReadBuffer(document.data(), document.size(), options, &error));
  if (tree.root == nullptr) {
    return "status " + std::to_string(error.mStatus) + ": " + error.mMessage;
  }
  EXPECT_EQ(error.mStatus, 0);
  return hostile::TextOf(tree.root);
}

const char* const kRule = "-------------------------------------------------\n";

// The model tree's plain document, as the writer writes it: values come back
// as Strings (their text), a container's id is not in it, and a reference
// comes back as a container with copies of the shared children.
TEST(ReaderUntyped, ModelDocument) {
  Tree model(writertest::MakeModelTree().release());
  const std::string document = readertest::Document(model.root, false);
  EXPECT_EQ(Listing(document),
            std::string(kRule) +
                "Name: Model                 (Type: Cont)\n"
                "  Name: Material            Value: Steel (Description: surface material)  "
                "(Type: String)\n"
                "  Name: Part                  (Type: Cont)\n"
                "    Name: Mass                Value: 12.5000  (Type: String)\n"
                "    Name: Count               Value: 3  (Type: String)\n"
                "  Name: Count               Value: 3  (Type: String)\n"
                "  Name: PartRef               (Type: Cont)\n"
                "    Name: Mass                Value: 12.5000  (Type: String)\n"
                "    Name: Count               Value: 3  (Type: String)\n"
                "  Name: Color               Value: red & blue  (Type: String)\n"
                "    Name: Alpha               Value: 255  (Type: String)\n");
}

TEST(ReaderUntyped, Rules) {
  struct Case {
    const char* document;
    const char* listing; // after the rule line
  };
  const Case cases[] = {
      // A leaf root: its text before the time stamp; the line end after it is not.
      {"<r>x<DateAndTime>Sun Dec 06 15:38:51 2026</DateAndTime>\n</r>",
       "Name: r                   Value: x  (Type: String)\n"},
      // An empty element is an empty String, whichever form it takes.
      {"<r><a/><b></b></r>", "Name: r                     (Type: Cont)\n"
                             "  Name: a                   Value:   (Type: String)\n"
                             "  Name: b                   Value:   (Type: String)\n"},
      // Text of a leaf is kept as it is, white space and CDATA included;
      // comments and processing instructions are left out.
      {"<r><a> x <![CDATA[<&>]]><!-- c --><?pi x?>y\n</a></r>",
       "Name: r                     (Type: Cont)\n"
       "  Name: a                   Value:  x <&>y\n  (Type: String)\n"},
      // Mixed content: text beside child elements is kept in its place.
      {"<r>kept<a>1</a>kept too</r>",
       "Name: r                     (Type: Cont)\n"
       "  Name: #text               Value: kept  (Type: String)\n"
       "  Name: a                   Value: 1  (Type: String)\n"
       "  Name: #text               Value: kept too  (Type: String)\n"},
      // Attributes other than desc and value come first as @ children; an
      // empty desc is a description.
      {"<r id=\"7\" desc=\"\"><a x=\"1\" value=\"v\">t</a></r>",
       "Name: r                    (Description: )  (Type: Cont)\n"
       "  Name: @id                 Value: 7  (Type: String)\n"
       "  Name: a                   Value: v  (Type: String)\n"
       "    Name: @x                  Value: 1  (Type: String)\n"},
      // Element names as they are, in UTF-8; the time stamp only leads the root.
      {"<caf\xC3\xA9><a><DateAndTime>t</DateAndTime></a></caf\xC3\xA9>",
       "Name: caf\xC3\x83\xC2\xA9               (Type: Cont)\n"
       "  Name: a                     (Type: Cont)\n"
       "    Name: DateAndTime         Value: t  (Type: String)\n"},
      // Another encoding is read through the parser into UTF-8.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xE9</r>",
       "Name: r                   Value: \xC3\xA9  (Type: String)\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Listing(c.document), std::string(kRule) + c.listing) << c.document;
  }
}

// Without attributes, as before they were kept: text beside child elements
// and attributes other than desc and value are left out.
TEST(ReaderUntyped, RulesWithoutAttributes) {
  GenAttrReadOptions options;
  options.mKeepAttributes = false;
  EXPECT_EQ(Listing("<r>lost<a>1</a>lost too</r>", options),
            std::string(kRule) + "Name: r                     (Type: Cont)\n"
                                 "  Name: a                   Value: 1  (Type: String)\n");
  EXPECT_EQ(Listing("<r id=\"7\" desc=\"\"><a x=\"1\" value=\"v\">t</a></r>", options),
            std::string(kRule) + "Name: r                    (Description: )  (Type: Cont)\n"
                                 "  Name: a                   Value: v  (Type: String)\n");
}

// An element without ga:type in a typed document is read by these rules too.
TEST(ReaderUntyped, UntypedElementInATypedDocument) {
  EXPECT_EQ(Listing("<r xmlns:ga=\"urn:genattr:typed\" ga:type=\"Cont\"><a>1</a>"
                    "<b ga:type=\"Int\">2</b></r>"),
            std::string(kRule) + "Name: r                     (Type: Cont)\n"
                                 "  Name: a                   Value: 1  (Type: String)\n"
                                 "  Name: b                   Value: 2  (Type: Int)\n");
}

} // namespace
