// Builds an attribute tree from the events of an XML parser. Internal to
// genattr_xml.
#ifndef GENATTR_XML_TREEBUILDER_H
#define GENATTR_XML_TREEBUILDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "genattr/GenAttrXMLReader.h"
#include "xml/BuildStatus.h"
#include "xml/ElementDecoder.h"
#include "xml/ReferenceResolver.h"
#include "xml/TextRun.h"

class GenAttrBase;

namespace genattr {
namespace xml {

// Receives start tags, character data and end tags in document order and
// builds the tree as it goes, without recursion: only the innermost element
// may still lack its node (it becomes a container or a value node once it is
// known whether child elements follow). Each element's node comes from the
// ElementDecoder; the ReferenceResolver links it. A failure stops the build;
// the owner then stops the parser. Whatever was built and not handed out is
// released by the destructor, on success and failure alike.
class TreeBuilder {
public:
  TreeBuilder() = default;
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;

  // Whether elements without ga:type or ga:link keep their attributes (other
  // than desc and value) as "@" children and the text beside their child
  // elements as "#text" children; on unless turned off before the first event.
  void KeepAttributes(bool keep) { mKeepAttributes = keep; }

  // `attributes` as the parser gives them: name, value, name, value, ..., null.
  void Start(const char* element, const char** attributes) {
    StartElement(element, attributes);
    AimText();
  }
  // Character data comes in many small pieces (between every two elements a
  // line break and the indentation): each goes straight where it belongs.
  void Text(const char* text, std::size_t length) {
    if (mTextSink != nullptr) {
      mTextSink->Append(text, length);
    }
  }
  void End() {
    EndElement();
    AimText();
  }
  // Whether character data given now would be kept.
  bool WantsText() const { return mTextSink != nullptr; }
  // After the last event of a complete document: makes the references that
  // still wait for their targets. Returns the root, now owned by the caller,
  // or null after a failure.
  GenAttrBase* Finish();

  // Records a failure with its status and message; the first failure wins.
  void Fail(GenAttrReadStatus status, const char* message) {
    mStatus.Fail(status, message);
    mTextSink = nullptr;
  }
  bool Failed() const { return mStatus.Failed(); }
  GenAttrReadStatus Status() const { return mStatus.Status(); }
  const char* Message() const { return mStatus.Message(); }

private:
  using Entry = ReferenceResolver::Entry;
  static constexpr std::uint32_t NO_REF = ReferenceResolver::NO_REF;

  // How the children of an open element are treated.
  enum class Role : unsigned char {
    Link,      // linked to the element's node
    Reference, // collected by a reference that waits for its target
  };
  struct Frame {
    GenAttrBase* node;      // null while the element has no node yet
    Entry* entry;           // the serial the element defines, if any
    std::uint32_t ref;      // Reference: index of the waiting reference
    std::uint32_t children; // child elements met so far
    Role role;
    bool stampAllowed; // the root, before its first child element
    bool keepsText;    // its runs of text between child elements become children
  };

  void StartElement(const char* element, const char** attributes);
  void EndElement();
  // Where the character data that follows an event goes: the text of the
  // innermost element while it has no node, its run once it has; none in a
  // skipped element, after a failure, or where it is not kept.
  void AimText();
  // Takes the innermost element's link to a node defined before.
  void StartLink();
  // Makes the node of the innermost element, which has `children` or not.
  void Materialize(bool children);
  // Starts the innermost element as a reference that waits for its target.
  void StartWaitingReference();
  // The entry that the innermost element's ga:node defines; null when it
  // has none, or after a failure.
  Entry* ClaimSerial();
  // Gives the new node of the untyped innermost element its "@" children and,
  // when it has `children`, the runs of text met before its first one.
  void AddMarkup(GenAttrBase* node, bool children);
  // Ends the run of text of the innermost element, which has its node: a run
  // that is not all white space becomes its next child.
  void EndRun();
  // Ends the run of text of the root before a time stamp, while it is not
  // known whether the root has child elements.
  void SetRunAside();
  // Whether a link to the open element of `entry` can be taken: it is a
  // waiting reference and the link lies below one of its shared children. If
  // so, notes on the reference that it must end up sharing.
  bool AcceptLinkBelowSharedChild(const Entry& entry);
  // The frame of the element around the innermost one, or null.
  Frame* Parent();
  // Gives a new child (a node, or a waiting reference) to the element of
  // `parent`, or makes it the root when `parent` is null.
  void Adopt(Frame* parent, GenAttrBase* node, std::uint32_t ref);

  // Declared first, so that it outlives the decoder and the resolver, which
  // record their failures in it.
  BuildStatus mStatus;
  ElementDecoder mDecoder{mStatus};
  ReferenceResolver mResolver{mStatus};
  std::vector<Frame> mFrames;
  Element mElement;
  bool mPending = false; // the innermost element has no node yet
  bool mKeepAttributes = true;
  // The run of text of the innermost element since its last element boundary,
  // where runs are kept and the element's own text does not hold it.
  TextRun mRun;
  TextRun* mTextSink = nullptr;
  // The root's runs of text before and between its time stamps.
  std::vector<std::string> mRunsAside;
  std::string mChildName;
  std::size_t mSkip = 0; // depth inside a skipped element
};

inline void TreeBuilder::AimText() {
  mTextSink = nullptr;
  if (mSkip != 0 || Failed()) {
    return;
  }
  if (mPending) {
    if (!mElement.textClosed) {
      mTextSink = mElement.TextMatters() ? &mElement.text : nullptr;
    } else if (mKeepAttributes && !mElement.Typed()) {
      // The root after a time stamp: no longer its value, but a run should
      // it have child elements.
      mTextSink = &mRun;
    }
  } else if (!mFrames.empty() && mFrames.back().keepsText) {
    mTextSink = &mRun;
  }
}

} // namespace xml
} // namespace genattr

#endif // GENATTR_XML_TREEBUILDER_H
