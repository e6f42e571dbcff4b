// The bytes of the HTML view: the tree's data is inert inside its script
// element, says exactly what the tree holds, and shows each node once.
#include <clocale>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/TextReference.h"
#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"
#include "tests/support/HostileTrees.h"
#include "tests/support/MiniJson.h"

namespace {

using genattr_test::Json;
using writertest::Tree;

const std::string kDataStart = "<script type=\"application/json\" id=\"genattr-tree\">\n";

std::string PageOf(GenAttrBase* root, const char* title = nullptr) {
  std::ostringstream out;
  GenAttrHTMLSerializer writer(root, &out);
  writer.SetTitle(title);
  writer.Write();
  return out.str();
}

// The text of the data element, after checking that nothing in it can end
// the element or start markup, and that the page has no other scripts than
// the data and the viewer.
::testing::AssertionResult DataOf(const std::string& page, std::string& data) {
  const std::size_t start = page.find(kDataStart);
  const std::size_t end = page.find("</script>\n<script>\n", start);
  if (page.rfind("<!DOCTYPE html>\n", 0) != 0 || start == std::string::npos ||
      end == std::string::npos || page.size() < 8 ||
      page.compare(page.size() - 8, 8, "</html>\n")) {
    return ::testing::AssertionFailure() << "no page around the data";
  }
  data = page.substr(start + kDataStart.size(), end - start - kDataStart.size());
  std::size_t scripts = 0;
  for (std::size_t at = page.find("<script"); at != std::string::npos;
       at = page.find("<script", at + 1)) {
    ++scripts;
  }
  if (scripts != 2 || data.find('<') != std::string::npos ||
      data.find("\xE2\x80\xA8") != std::string::npos ||
      data.find("\xE2\x80\xA9") != std::string::npos) {
    return ::testing::AssertionFailure() << scripts << " scripts; data: " << data;
  }
  return ::testing::AssertionSuccess();
}

Json ReadData(const std::string& page) {
  std::string data;
  EXPECT_TRUE(DataOf(page, data));
  return genattr_test::JsonReader::Read(data);
}

TEST(HtmlWriter, WritesTheModelTreeAsDataEachNodeOnce) {
  Tree tree = writertest::MakeModelTree();
  std::string data;
  ASSERT_TRUE(DataOf(PageOf(tree.get()), data));
  ASSERT_TRUE(writertest::MaskTimeStamps(data, "\"written\":\""));
  // Count is linked twice: its second place names the first. PartRef shares
  // the children of Part and names Part's entry instead of repeating them.
  EXPECT_EQ(data, "{\"title\":\"Model\",\"written\":\"Sun Dec 06 15:38:51 2026\",\n"
                  "\"nodes\":[\n"
                  "[-1,0,\"Model\",\"\",null,\"M1\"]\n"
                  ",[0,1,\"Material\",\"Steel\",\"surface material\"]\n"
                  ",[0,0,\"Part\",\"\",null,\"P7\"]\n"
                  ",[2,2,\"Mass\",\"12.5000\"]\n"
                  ",[2,3,\"Count\",\"3\"]\n"
                  ",[0,-1,4]\n"
                  ",[0,0,\"PartRef\",\"\",null,\"P7\",1,2]\n"
                  ",[0,1,\"Color\",\"red \\u0026 blue\"]\n"
                  ",[7,3,\"Alpha\",\"255\"]\n"
                  "],\"types\":[\"Cont\",\"String\",\"Double\",\"Int\"]}\n");
  // A title of the caller's, read as UTF-8; FF is no UTF-8.
  EXPECT_EQ(ReadData(PageOf(tree.get(), "m\xC3\xB6 <b>\xFF"))["title"].text,
            "m\xC3\xB6 <b>\xEF\xBF\xBD");
}

// What the page must show for a text: every character the tree holds, with
// U+FFFD for what is not one. Under the "C" locale an 8-bit text is read as
// ISO 8859-1.
std::string Expected(const char* text) {
  return fuzz::Latin1ToUtf8(text);
}

std::string Expected(const wchar_t* text) {
  std::string out;
  for (const char32_t c : fuzz::CodePoints(text)) {
    out += fuzz::Utf8(c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : static_cast<std::uint32_t>(c));
  }
  return out;
}

const std::vector<std::string> kNarrow = {
    "a",    "<",    ">",    "&",    "\"",        "\\",   "/",   "\t",      "\n", "\x01",
    "\x1F", "\x7F", "\xE9", "\xFF", "</script>", "<!--", "]]>", "\\u003c", " ",  "\xE2\x80\xA8"};
// Units that fit 16 bits, so the same cases run where wchar_t is UTF-16.
const std::wstring kWide = {L'a',   L'<',   L'"',   L'\\',  0x01,   0xE9,   0x2028,
                            0x2029, 0x20AC, 0xD83D, 0xDE00, 0xD800, 0xDFFF, 0xFFFE};

// Unfolds the entries of the page again (a later place into the subtree of
// the node's entry, a shared chain into the children of the entry that
// shows it) and compares them with the tree, node by node.
class Unfolded {
public:
  explicit Unfolded(const Json& data) : mNodes(data["nodes"].items), mTypes(data["types"].items) {
    mChildren.resize(mNodes.size());
    for (std::size_t i = 1; i < mNodes.size(); ++i) {
      mChildren.at(static_cast<std::size_t>(mNodes[i].items.at(0).number)).push_back(i);
    }
  }

  ::testing::AssertionResult Matches(GenAttrBase* node, std::size_t entry) {
    const std::vector<Json>* e = &mNodes.at(entry).items;
    if (e->at(1).number < 0) {
      entry = static_cast<std::size_t>(e->at(2).number);
      e = &mNodes.at(entry).items;
    }
    mShown.insert(node);
    const auto field = [e](std::size_t k) { return k < e->size() ? e->at(k) : Json(); };
    const char* id = node->GetType() == Cont ? static_cast<GenAttrCont*>(node)->GetId() : nullptr;
    const std::string value = node->GetType() == UnicodeString
                                  ? Expected(static_cast<GenAttrUnicodeString*>(node)->GetValue())
                              : node->GetType() == Cont ? std::string()
                                                        : Expected(node->GetValueAsString());
    if (mTypes.at(static_cast<std::size_t>(e->at(1).number)).text != node->GetTypeAsString() ||
        e->at(2).text != Expected(node->GetName()) || e->at(3).text != value ||
        (field(4).kind == Json::Null) != (node->GetDescription() == nullptr) ||
        (node->GetDescription() != nullptr && field(4).text != Expected(node->GetDescription())) ||
        (field(5).kind == Json::Null) != (id == nullptr) ||
        (id != nullptr && field(5).text != Expected(id)) ||
        field(6).number != node->IsReference()) {
      return ::testing::AssertionFailure() << "entry " << entry << " differs from its node";
    }
    const std::int64_t chain = e->size() > 7 ? e->at(7).number : -1;
    const std::vector<std::size_t>& shown =
        mChildren.at(chain >= 0 ? static_cast<std::size_t>(chain) : entry);
    std::size_t k = 0;
    for (GenAttrBase* child : ChildrenOf(node)) {
      if (k == shown.size()) {
        return ::testing::AssertionFailure() << "entry " << entry << " lacks children";
      }
      auto result = Matches(child, shown[k++]);
      if (!result) {
        return result;
      }
    }
    if (k != shown.size()) {
      return ::testing::AssertionFailure() << "entry " << entry << " has children too many";
    }
    return ::testing::AssertionSuccess();
  }

  // Entries that show a node (and are not a later place of one).
  std::size_t NodeEntries() const {
    std::size_t count = 0;
    for (const Json& entry : mNodes) {
      count += entry.items.at(1).number >= 0 ? 1 : 0;
    }
    return count;
  }
  std::size_t NodesInTree() const { return mShown.size(); }

private:
  static std::vector<GenAttrBase*> ChildrenOf(GenAttrBase* node) {
    std::vector<GenAttrBase*> children;
    for (GenAttrBase* c = node->GetFirstAttr(); c != nullptr; c = node->GetNextAttr()) {
      children.push_back(c);
    }
    return children;
  }

  const std::vector<Json>& mNodes;
  const std::vector<Json>& mTypes;
  std::vector<std::vector<std::size_t>> mChildren;
  std::set<const GenAttrBase*> mShown;
};

TEST(HtmlWriter, RandomHostileTreesComeBackWholeFromInertData) {
  ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    genattr_test::HostileTrees trees(seed, kNarrow, kWide);
    Tree tree(trees.Node(4));
    const Json data = ReadData(PageOf(tree.get()));
    Unfolded unfolded(data);
    ASSERT_TRUE(unfolded.Matches(tree.get(), 0)) << "seed " << seed;
    EXPECT_EQ(unfolded.NodeEntries(), unfolded.NodesInTree()) << "seed " << seed;
  }
}

TEST(HtmlWriter, ShowsLoopsOnce) {
  // R shares the chain of P, which holds R: R names P's entry for its children.
  auto* part = new GenAttrCont("P");
  Tree tree(part);
  part->AddAttr(new GenAttrInt("x", 1));
  part->AddAttr(new GenAttrCont("R", part));
  std::string data;
  ASSERT_TRUE(DataOf(PageOf(tree.get()), data));
  EXPECT_NE(
      data.find("[\n[-1,0,\"P\",\"\"]\n,[0,1,\"x\",\"1\"]\n,[0,0,\"R\",\"\",null,null,1,0]\n]"),
      std::string::npos)
      << data;

  // T holds x and T itself: the inner T is a later place of the outer one.
  auto* top = new GenAttrBase("T");
  top->AddRef();
  top->AddAttr(new GenAttrInt("x", 1));
  top->AddAttr(top);
  ASSERT_TRUE(DataOf(PageOf(top), data));
  EXPECT_NE(data.find("[\n[-1,0,\"T\",\"\"]\n,[0,1,\"x\",\"1\"]\n,[0,-1,0]\n]"), std::string::npos)
      << data;
  // Released as the loop tests release it; the warning it prints is theirs.
  ::testing::internal::CaptureStdout();
  delete top;
  ::testing::internal::GetCapturedStdout();
}

TEST(HtmlWriter, WritesNothingWithoutRootOrStream) {
  std::ostringstream out;
  EXPECT_EQ(GenAttrHTMLSerializer(nullptr, &out).Write(), 0);
  Tree tree(new GenAttrInt("i", 1));
  EXPECT_EQ(GenAttrHTMLSerializer(tree.get(), nullptr).Write(), 0);
  EXPECT_EQ(out.str(), "");
}

} // namespace
