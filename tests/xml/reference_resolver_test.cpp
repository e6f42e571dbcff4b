// The reference resolution of the reader on its own, driven as the builder
// drives it: nodes handed in with their parents in document order, references
// that wait for their targets, and the release of what it holds.
#include <cstdint>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "xml/BuildStatus.h"
#include "xml/ReferenceResolver.h"

namespace {

using genattr::xml::BuildStatus;
using genattr::xml::ReferenceResolver;
using genattr::xml::ReferenceTexts;

constexpr std::uint32_t kNoRef = ReferenceResolver::NO_REF;

ReferenceTexts Texts(const char* name, std::uint64_t target, std::uint32_t own = 0) {
  ReferenceTexts texts;
  texts.name = name;
  texts.target = target;
  texts.own = own;
  return texts;
}

// Defines the serial `serial` as `node`, a child of `parent`, whose element
// ends at once.
void DefineUnder(ReferenceResolver& resolver, GenAttrBase* parent, std::uint64_t serial,
                 GenAttrBase* node) {
  ReferenceResolver::Entry* entry = resolver.Claim(serial);
  ASSERT_NE(entry, nullptr);
  resolver.Link(parent, node, kNoRef);
  resolver.Define(*entry, node);
  resolver.Close(*entry);
}

// A reference met before its target shares the target's chain, and the
// children its parent gets meanwhile keep their places behind it.
TEST(ReferenceResolver, ReferenceBeforeItsTargetSharesItsChain) {
  auto* root = new GenAttrCont("root");
  auto* target = new GenAttrCont("t");
  target->AddAttr(new GenAttrInt("x", 3));
  {
    // Ends before the tree: its release counts the references it made.
    BuildStatus status;
    ReferenceResolver resolver(status);
    resolver.AdoptRoot(root, kNoRef);
    resolver.Link(root, new GenAttrInt("a", 1), kNoRef);
    const std::uint32_t ref = resolver.Wait(Texts("p", 1), nullptr);
    ASSERT_NE(ref, kNoRef);
    resolver.Link(root, nullptr, ref);
    resolver.EndWaiting(ref);
    resolver.Link(root, new GenAttrInt("b", 2), kNoRef);
    DefineUnder(resolver, root, 1, target);
    ASSERT_EQ(resolver.Finish(), root) << status.Message();
  }
  std::string order;
  for (GenAttrBase* child = root->GetFirstAttr(); child != nullptr; child = root->GetNextAttr()) {
    order += child->GetName();
  }
  EXPECT_EQ(order, "apbt");
  GenAttrBase* made = root->GetAttrByPath("p");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->IsReference(), 1);
  EXPECT_EQ(made->GetAttrByPath("x"), target->GetAttrByPath("x"));
  GenAttrBase::Free(root);
}

// A reference whose target never comes keeps what it showed, its own links
// first, as a chain of its own.
TEST(ReferenceResolver, MissingTargetLeavesTheShownChildren) {
  auto* root = new GenAttrCont("root");
  {
    BuildStatus status;
    ReferenceResolver resolver(status);
    resolver.AdoptRoot(root, kNoRef);
    const std::uint32_t ref = resolver.Wait(Texts("p", 7, 1), nullptr);
    resolver.Link(root, nullptr, ref);
    resolver.AdoptBelow(ref, 1, new GenAttrInt("own", 1), kNoRef);
    resolver.AdoptBelow(ref, 2, new GenAttrInt("shown", 2), kNoRef);
    resolver.EndWaiting(ref);
    ASSERT_EQ(resolver.Finish(), root) << status.Message();
  }
  GenAttrBase* made = root->GetAttrByPath("p");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->IsReference(), 1);
  ASSERT_EQ(made->GetNumberChildren(), 2u);
  EXPECT_STREQ(made->GetFirstAttr()->GetName(), "own");
  EXPECT_STREQ(made->GetNextAttr()->GetName(), "shown");
  GenAttrBase::Free(root);
}

TEST(ReferenceResolver, Failures) {
  {
    BuildStatus status;
    ReferenceResolver resolver(status);
    auto* root = new GenAttrCont("root");
    resolver.AdoptRoot(root, kNoRef);
    DefineUnder(resolver, root, 1, new GenAttrInt("i", 1));
    EXPECT_EQ(resolver.Claim(1), nullptr);
    EXPECT_EQ(status.Status(), GENATTR_READ_NOT_A_TREE);
    EXPECT_STREQ(status.Message(), "two elements define the same node");
  }
  {
    BuildStatus status;
    ReferenceResolver resolver(status);
    const std::uint32_t outer = resolver.Wait(Texts("p", 1, 1), nullptr);
    const std::uint32_t inner = resolver.Wait(Texts("q", 2), nullptr);
    resolver.AdoptBelow(outer, 1, nullptr, inner);
    EXPECT_STREQ(status.Message(),
                 "a link of a reference's own is a reference that waits for its target");
  }
  {
    BuildStatus status;
    ReferenceResolver resolver(status);
    EXPECT_EQ(resolver.Finish(), nullptr);
    EXPECT_STREQ(status.Message(), "the document does not describe a tree");
  }
}

// A link below a shared child of the reference that encloses it is taken,
// and holds only if the reference comes to share; links among its own
// children never are.
TEST(ReferenceResolver, LinkInsideAReferenceNeedsItsTarget) {
  BuildStatus status;
  ReferenceResolver resolver(status);
  auto* root = new GenAttrCont("root");
  resolver.AdoptRoot(root, kNoRef);
  const std::uint32_t ref = resolver.Wait(Texts("p", 5, 1), nullptr);
  resolver.Link(root, nullptr, ref);
  EXPECT_FALSE(resolver.AcceptLinkInside(ref, 1));
  EXPECT_TRUE(resolver.AcceptLinkInside(ref, 2));
  resolver.EndWaiting(ref);
  EXPECT_EQ(resolver.Finish(), nullptr);
  EXPECT_STREQ(status.Message(), "a link names an enclosing element: the tree would hold a cycle");
}

// Without Finish() every hold is given back: nodes the caller counts end with
// that count alone, and a made reference linked only below another made
// reference, which nothing links, ends once, with it.
TEST(ReferenceResolver, ReleasesWhatItHolds) {
  auto* kept = new GenAttrInt("kept", 1);
  kept->AddRef();
  auto* target = new GenAttrString("s", "v");
  target->AddRef();
  target->AddAttr(new GenAttrInt("x", 2));
  {
    BuildStatus status;
    ReferenceResolver resolver(status);
    auto* root = new GenAttrCont("root");
    resolver.AdoptRoot(root, kNoRef);
    const std::uint32_t waiting = resolver.Wait(Texts("w", 9), nullptr);
    resolver.Link(root, nullptr, waiting);
    resolver.Link(root, kept, kNoRef); // queued behind the reference
    EXPECT_EQ(kept->GetRefCount(), 2);
    // inner shares the target's chain; outer, a container, cannot share a
    // String's and keeps inner as a link of its own.
    ReferenceTexts innerTexts = Texts("inner", 8);
    innerTexts.isCont = false;
    const std::uint32_t inner = resolver.Wait(std::move(innerTexts), nullptr);
    const std::uint32_t outer = resolver.Wait(Texts("outer", 8), nullptr);
    resolver.AdoptBelow(outer, 1, nullptr, inner);
    resolver.EndWaiting(inner);
    resolver.EndWaiting(outer);
    DefineUnder(resolver, root, 8, target);
    EXPECT_FALSE(status.Failed()) << status.Message();
    EXPECT_EQ(target->GetRefCount(), 2);
    status.Fail(GENATTR_READ_NOT_WELL_FORMED, "the document stops here");
  }
  EXPECT_EQ(kept->GetRefCount(), 1);
  EXPECT_EQ(target->GetRefCount(), 1);
  EXPECT_EQ(target->GetNumberChildren(), 1u);
  kept->UnRef();
  target->UnRef();
}

TEST(ReferenceResolver, MakeReference) {
  GenAttrBase* own = ReferenceResolver::MakeReference(true, "c", nullptr);
  EXPECT_EQ(own->GetType(), Cont);
  EXPECT_EQ(own->IsReference(), 1);
  EXPECT_EQ(own->GetNumberChildren(), 0u);
  auto* target = new GenAttrBase("b");
  target->AddAttr(new GenAttrInt("i", 1));
  GenAttrBase* sharing = ReferenceResolver::MakeReference(false, "r", target);
  EXPECT_EQ(sharing->GetType(), Base);
  EXPECT_EQ(sharing->GetAttrByPath("i"), target->GetAttrByPath("i"));
  GenAttrBase::Free(sharing);
  GenAttrBase::Free(target);
  GenAttrBase::Free(own);
}

} // namespace
