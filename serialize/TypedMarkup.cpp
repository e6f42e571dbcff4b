#include "serialize/TypedMarkup.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "base/NarrowText.h"
#include "genattr/GenAttrCont.h"
#include "genattr/GenAttrDouble.h"
#include "genattr/GenAttrFloat.h"
#include "genattr/GenAttrString.h"
#include "genattr/GenAttrUnicodeString.h"
#include "tree/SharedChains.h"
#include "tree/TreeAccess.h"
#include "tree/TreeWalk.h"
#include "tree/Vocabulary.h"

namespace genattr {
namespace detail {

namespace {

using Access = GenAttrTreeAccess;
namespace names = vocab;

// The node whose whole chain `reference` sees after its own front links, or
// null: a reference with a chain of its own, or one that sees only the tail of
// a chain (its target gained links in front later), which a reader cannot make
// again by sharing and so gets its children as links of its own.
GenAttrBase* SharedTarget(const GenAttrBase& reference) {
  const GenAttrNodeRecord* record = SharingRecord(reference);
  if (record == nullptr || record->mpHolder != record->mpOwner ||
      record->mpEntry != Access::FirstLink(*record->mpOwner)) {
    return nullptr;
  }
  return record->mpOwner;
}

// Links of `reference` in front of the chain it shares.
std::size_t OwnLinks(const GenAttrBase& reference) {
  const GenAttrChildLink* shared = OwnEnd(reference);
  std::size_t count = 0;
  for (const GenAttrChildLink* link = Access::FirstLink(reference); link != shared;
       link = link->mpNext) {
    ++count;
  }
  return count;
}

void AppendNumber(TextBuffer& out, std::uint64_t value) {
  char digits[24];
  const int length =
      std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(value));
  out.Append(digits, static_cast<std::size_t>(length));
}

void OpenAttribute(TextBuffer& out, const char* name) {
  out.Append(' ');
  out.Append(name);
  out.Append("=\"");
}

// An ASCII character of an escaped form, as attribute text.
void AppendAsciiEscaped(TextBuffer& out, char c) {
  switch (c) {
  case '&':
    out.Append("&amp;");
    break;
  case '<':
    out.Append("&lt;");
    break;
  case '>':
    out.Append("&gt;");
    break;
  case '"':
    out.Append("&quot;");
    break;
  default:
    out.Append(c);
  }
}

bool KeptInEscapedForm(std::uint32_t unit) {
  return unit >= 0x20 && unit <= 0x7E && unit != static_cast<std::uint32_t>(names::kEscape);
}

// The escaped form of 8-bit text: printable ASCII but "%" as itself, every
// other byte as "%" and two upper-case hexadecimal digits.
void AppendEscaped8(TextBuffer& out, const char* text) {
  static const char hex[] = "0123456789ABCDEF";
  for (const char* p = text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (KeptInEscapedForm(byte)) {
      AppendAsciiEscaped(out, *p);
    } else {
      out.Append(names::kEscape);
      out.Append(hex[byte >> 4]);
      out.Append(hex[byte & 0xF]);
    }
  }
}

// The escaped form of wide text: printable ASCII but "%" as itself, every
// other unit as "%", its value in hexadecimal, ";". Units are taken whole, so
// the form is the same for 16- and 32-bit wchar_t.
void AppendEscapedWide(TextBuffer& out, const wchar_t* text) {
  for (const wchar_t* p = text; *p != 0; ++p) {
    const auto unit = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*p));
    if (KeptInEscapedForm(unit)) {
      AppendAsciiEscaped(out, static_cast<char>(unit));
    } else {
      char digits[16];
      const int length =
          std::snprintf(digits, sizeof digits, "%lx", static_cast<unsigned long>(unit));
      out.Append(names::kEscape);
      out.Append(digits, static_cast<std::size_t>(length));
      out.Append(names::kWideEscapeEnd);
    }
  }
}

// An 8-bit text as the attribute `plain` when a reader gets its bytes back
// from it, else as the escaped attribute `escaped`.
void AppendText8(TextBuffer& out, EscapedText& text, const TextEscapes& attribute,
                 const char* value, const char* plain, const char* escaped) {
  if (text.NarrowIsExact(value, attribute.carried)) {
    OpenAttribute(out, plain);
    text.Narrow(value, attribute);
  } else {
    OpenAttribute(out, escaped);
    AppendEscaped8(out, value);
  }
  out.Append('"');
}

template <class Number> void AppendBits(TextBuffer& out, Number value) {
  static_assert(sizeof(Number) == 4 || sizeof(Number) == 8, "IEEE single or double");
  using Bits = std::conditional_t<sizeof(Number) == 4, std::uint32_t, std::uint64_t>;
  Bits bits;
  std::memcpy(&bits, &value, sizeof bits);
  char digits[20];
  const int length =
      std::snprintf(digits, sizeof digits, "%0*llX", static_cast<int>(2 * sizeof bits),
                    static_cast<unsigned long long>(bits));
  OpenAttribute(out, names::kBits);
  out.Append(digits, static_cast<std::size_t>(length));
  out.Append('"');
}

// The attributes of a string value: its escaped form (appended by
// `appendEscaped`) when the plain one is not exact, and the UTF flag.
template <class AppendEscaped>
void AppendStringExtras(TextBuffer& out, bool exact, bool utf, AppendEscaped appendEscaped) {
  if (!exact) {
    OpenAttribute(out, names::kXValue);
    appendEscaped();
    out.Append('"');
  }
  if (utf) {
    OpenAttribute(out, names::kUtf);
    out.AppendLiteral(names::kUtfSet);
    out.Append('"');
  }
}

// Whether the element name the writer makes of `name` is `name` itself.
bool NameIsElementName(const char* name) {
  const std::size_t length = std::strlen(name);
  if (length == 0) {
    return false;
  }
  char stackBuffer[128];
  std::vector<char> heapBuffer;
  char* buffer = stackBuffer;
  if (2 * length > sizeof stackBuffer) {
    heapBuffer.resize(2 * length);
    buffer = heapBuffer.data();
  }
  const char* end = EncodeXmlName(name, length, buffer);
  return static_cast<std::size_t>(end - buffer) == length && std::memcmp(buffer, name, length) == 0;
}

} // namespace

TypedMarkup::TypedMarkup(GenAttrBase* root, const TextEscapes& attribute) : mAttribute(attribute) {
  // The targets must be known at their own first occurrence, which may come
  // before the reference. Only those in the tree count: the others have no
  // element to define their children. A target is the owner of a chain that
  // references share, which its record tells.
  std::unordered_set<const GenAttrBase*> named;
  std::vector<const GenAttrBase*> owners;
  auto note = [&named, &owners](const GenAttrBase& node) {
    const GenAttrNodeRecord* const record = Access::Record(node);
    if (record != nullptr && record->mpFirstSharer != nullptr) {
      owners.push_back(&node);
    }
    if (node.IsReference() != 0) {
      if (const GenAttrBase* target = SharedTarget(node)) {
        named.insert(target);
      }
    }
  };
  // Whether a node is written once or linked again depends on the links the
  // document shows, never on counts a host holds: the same subtree gives the
  // same document. Each link counts once, however often the walk passes it
  // (a subtree linked twice, a chain seen by a reference and its owner). A
  // node of a single count has a single link, so only the others are counted.
  std::unordered_set<const GenAttrChildLink*> counted;
  auto countLinks = [this, &counted](const GenAttrBase& parent) {
    for (const GenAttrChildLink* link = Access::FirstLink(parent); link != nullptr;
         link = link->mpNext) {
      if (Access::RefCount(*link->mpAttr) > 1 && counted.insert(link).second) {
        ++mLinks[link->mpAttr];
      }
    }
  };
  TreeWalk walk(root, TreeWalk::Links);
  note(*root);
  countLinks(*root);
  while (walk.Depth() > 0) {
    GenAttrBase* child = walk.NextChild();
    if (child == nullptr) {
      walk.Ascend();
      continue;
    }
    note(*child);
    if (walk.Descend(child)) {
      countLinks(*child);
    }
  }
  for (const GenAttrBase* owner : owners) {
    if (named.count(owner) != 0) {
      mTargets.insert(owner);
    }
  }
}

bool TypedMarkup::LinkedAgain(const GenAttrBase& node) const {
  if (node.GetRefCount() <= 1) {
    return false;
  }
  const auto found = mLinks.find(&node);
  return found != mLinks.end() && found->second > 1;
}

TypedMarkup::Known& TypedMarkup::SerialOf(const GenAttrBase* node) {
  Known& known = mKnown[node];
  if (known.serial == 0) {
    known.serial = mNextSerial++;
  }
  return known;
}

void TypedMarkup::Enter(GenAttrBase* node, std::size_t level, TextBuffer& out, EscapedText& text) {
  if (mFrames.size() <= level) {
    mFrames.resize(level + 1);
  }
  Frame& frame = mFrames[level];
  frame = Frame{0, 0, false, false, false};
  if (level == 0) {
    OpenAttribute(out, names::kNamespaceAttribute);
    out.Append(names::kNamespace);
    out.Append('"');
    Define(node, frame, out, text);
    return;
  }
  Frame& parent = mFrames[level - 1];
  const std::size_t index = parent.children++;
  const auto found = mKnown.find(node);
  const bool defined = found != mKnown.end() && found->second.defined;
  if (parent.copy) {
    frame.copy = true;
  } else if (parent.sharing && index >= parent.own) {
    // A shared child: the reader takes it from the target's chain, which the
    // target's own element lists, before this one or after. A target outside
    // the tree has none: the reader then keeps what is defined here as the
    // reference's own links.
    if (parent.targetInTree || defined) {
      frame.copy = true;
    } else {
      Define(node, frame, out, text);
    }
  } else if (defined) {
    OpenAttribute(out, names::kLink);
    AppendNumber(out, found->second.serial);
    out.Append('"');
    frame.copy = true;
  } else {
    Define(node, frame, out, text);
  }
}

void TypedMarkup::Define(GenAttrBase* node, Frame& frame, TextBuffer& out, EscapedText& text) {
  const GenAttrType type = node->GetType();
  const bool knownType = type >= Base && type <= Ptr;
  OpenAttribute(out, names::kType);
  out.Append(knownType ? names::kTypeNames[type] : names::kTypeNames[Base]);
  out.Append('"');

  const char* name = node->GetName();
  if (!NameIsElementName(name)) {
    AppendText8(out, text, mAttribute, name, names::kName, names::kXName);
  }
  if (const char* description = node->GetDescription()) {
    if (!text.NarrowIsExact(description, mAttribute.carried)) {
      OpenAttribute(out, names::kXDesc);
      AppendEscaped8(out, description);
      out.Append('"');
    }
  }
  switch (type) {
  case String: {
    const auto& string = static_cast<const GenAttrString&>(*node);
    const bool exact = text.NarrowIsExact(string.GetValue(), mAttribute.carried);
    AppendStringExtras(out, exact, string.isUtfEncoded(),
                       [&] { AppendEscaped8(out, string.GetValue()); });
    break;
  }
  case UnicodeString: {
    const auto& string = static_cast<const GenAttrUnicodeString&>(*node);
    const bool exact = EscapedText::WideIsExact(string.GetValue(), mAttribute.carried);
    AppendStringExtras(out, exact, string.isUtfEncoded(),
                       [&] { AppendEscapedWide(out, string.GetValue()); });
    break;
  }
  case Float:
    AppendBits(out, static_cast<const GenAttrFloat&>(*node).GetValue());
    break;
  case Double:
    AppendBits(out, static_cast<const GenAttrDouble&>(*node).GetValue());
    break;
  case Cont:
    if (const char* id = static_cast<const GenAttrCont&>(*node).GetId()) {
      AppendText8(out, text, mAttribute, id, names::kId, names::kXId);
    }
    break;
  default:
    break;
  }

  if (LinkedAgain(*node) || mTargets.count(node) != 0) {
    Known& known = SerialOf(node);
    known.defined = true;
    OpenAttribute(out, names::kNode);
    AppendNumber(out, known.serial);
    out.Append('"');
  }
  if (node->IsReference() != 0) {
    Reference(node, frame, out);
  }
}

void TypedMarkup::Reference(GenAttrBase* node, Frame& frame, TextBuffer& out) {
  OpenAttribute(out, names::kRef);
  const GenAttrBase* target = SharedTarget(*node);
  if (target == nullptr) {
    out.Append('"');
    return;
  }
  Known& known = SerialOf(target);
  AppendNumber(out, known.serial);
  out.Append('"');
  frame.sharing = true;
  frame.own = OwnLinks(*node);
  frame.targetInTree = mTargets.count(target) != 0;
  if (frame.own != 0) {
    OpenAttribute(out, names::kOwn);
    AppendNumber(out, frame.own);
    out.Append('"');
  }
}

} // namespace detail
} // namespace genattr
