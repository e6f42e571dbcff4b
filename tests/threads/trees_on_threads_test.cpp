// Trees on many threads: eight threads each build, edit, deep-copy, render,
// look up, write (both formats, to files of their own) and free trees of
// their own, while further trees travel round the threads: built on one,
// written on the next, checked and freed on the one after. Every tree holds a
// shared child and a reference. Regression: eight threads doing this aborted
// the process within a second.
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"
#include "tests/serialize/WriterTestUtil.h"

namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 40;
// Trees come in this many shapes, whose documents are known beforehand.
constexpr int kShapes = 3;

struct Tree {
  GenAttrCont* root;
  GenAttrCont* part;
  GenAttrCont* partRef;
  int shape;
};

// Model (id M<shape>): Material, Part (Mass, Count, Label, Sign), Count again,
// PartRef (a reference to Part), Ratio. Label is a wide value rendered through
// the locale, Sign a copy of `utf8`, rendered as UTF-8.
Tree Build(int shape, const GenAttrUnicodeString& utf8) {
  Tree tree{new GenAttrCont("Model"), new GenAttrCont("Part"), nullptr, shape};
  tree.root->SetId(("M" + std::to_string(shape)).c_str());
  tree.root->AddAttr(new GenAttrString("Material", "surface", "Steel"));
  tree.part->AddAttr(new GenAttrDouble("Mass", shape + 0.5));
  auto* count = new GenAttrInt("Count", shape);
  tree.part->AddAttr(count);
  tree.part->AddAttr(new GenAttrUnicodeString("Label", L"caf\u00e9"));
  tree.part->AddAttr(new GenAttrUnicodeString(&utf8));
  tree.root->AddAttr(tree.part);
  tree.root->AddAttr(count);
  tree.partRef = new GenAttrCont("PartRef", tree.part);
  tree.root->AddAttr(tree.partRef);
  tree.root->AddAttr(new GenAttrFloat("Ratio", 0.25f * static_cast<float>(shape)));
  return tree;
}

// The edits every tree goes through before it is checked; each is one line.
void Edit(Tree& tree) {
  tree.root->AddAttrAtTop(new GenAttrInt("Top", -tree.shape));
  tree.partRef->AddAttr(new GenAttrString("Appended", "through the reference"));
  tree.partRef->AddAttrAtTop(new GenAttrInt("RefFront", 1));
}

GenAttrCont* DeepCopy(const Tree& tree) {
  return new GenAttrCont(static_cast<const GenAttrCont*>(tree.root));
}

std::string ReadAndRemove(const std::string& path) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(path.c_str());
  return text;
}

// What a tree of one shape looks like, learnt on one thread beforehand.
struct Expected {
  std::string text;
  std::string xml;
  std::string copyText;
  std::string renderings;
};

// The two documents of `root`, written through the factory to files named
// after `stem`; an unwritten document is empty.
std::pair<std::string, std::string> Documents(GenAttrBase* root, const std::string& stem) {
  const std::string text = stem + ".txt";
  const std::string xml = stem + ".xml";
  std::pair<std::string, std::string> documents;
  if (GenAttrSerializerFactory::WriteToTextFile(root, text.c_str()) == 0) {
    documents.first = ReadAndRemove(text);
  }
  if (GenAttrSerializerFactory::WriteToXmlFile(root, xml.c_str()) == 0) {
    documents.second = ReadAndRemove(xml);
    if (!writertest::MaskTimeStamps(documents.second)) {
      documents.second = "bad time stamp";
    }
  }
  return documents;
}

// Looks the tree up and renders what it finds, each text checked right after
// the thread has yielded to the others, into one line per lookup.
std::string Renderings(const Tree& tree, GenAttrBase* copy) {
  std::ostringstream out;
  auto show = [&out](const char* what, GenAttrBase* node) {
    if (node == nullptr) {
      out << what << ": none\n";
      return;
    }
    const char* type = node->GetTypeAsString();
    const char* value = node->GetValueAsString();
    std::this_thread::yield();
    out << what << ": " << type << ' ' << value << '\n';
  };
  const std::string count = std::to_string(tree.shape);
  show("path", tree.root->GetAttrByPath("Part/Mass"));
  show("child", copy->GetAttr("Ratio"));
  show("int", tree.root->FindIntegerAttr("Count", tree.shape));
  show("string", copy->FindStringAttr("Material", "Steel"));
  show("double", tree.root->FindDoubleAttr("Mass", tree.shape + 0.5, 0.001));
  show("label", tree.part->GetAttr("Label"));
  show("sign", copy->GetAttrByPath("Part/Sign"));
  show("front", tree.partRef->GetFirstAttr());
  GenAttrList* all = tree.root->GetAllAttr("Count", count.c_str(), GenAttrBase::RECURSIVE);
  out << "all: " << all->GetCount() << '\n';
  GenAttrList::Free(all);
  return out.str();
}

Expected Learn(int shape, const GenAttrUnicodeString& utf8) {
  Tree tree = Build(shape, utf8);
  Edit(tree);
  GenAttrCont* copy = DeepCopy(tree);
  const std::string stem = ::testing::TempDir() + "genattr_threads_expected";
  Expected expected;
  std::tie(expected.text, expected.xml) = Documents(tree.root, stem);
  expected.copyText = Documents(copy, stem).first;
  expected.renderings = Renderings(tree, copy);
  GenAttrBase::Free(copy);
  GenAttrBase::Free(tree.root);
  return expected;
}

// A tree on its way round the threads.
struct Parcel {
  Tree tree;
  bool written;
};

class Inbox {
public:
  void Put(Parcel parcel) {
    {
      const std::lock_guard<std::mutex> lock(mMutex);
      mParcels.push_back(parcel);
    }
    mArrived.notify_one();
  }
  // Waits for a parcel when `wait`; otherwise false when there is none.
  bool Take(Parcel& parcel, bool wait) {
    std::unique_lock<std::mutex> lock(mMutex);
    if (wait) {
      mArrived.wait(lock, [this] { return !mParcels.empty(); });
    } else if (mParcels.empty()) {
      return false;
    }
    parcel = mParcels.front();
    mParcels.pop_front();
    return true;
  }

private:
  std::mutex mMutex;
  std::condition_variable mArrived;
  std::deque<Parcel> mParcels;
};

class Worker {
public:
  Worker(int index, const std::vector<Expected>& expected, const GenAttrUnicodeString& utf8,
         std::vector<Inbox>& inboxes)
      : mIndex(index), mExpected(expected), mUtf8(utf8), mInboxes(inboxes),
        mStem(::testing::TempDir() + "genattr_threads_" + std::to_string(index)) {}

  void Run() {
    for (int round = 0; round < kRounds; ++round) {
      const int shape = (mIndex + round) % kShapes;
      OwnTree(shape, round % 2 == 0);
      Tree parcel = Build(shape, mUtf8);
      Edit(parcel);
      Next().Put({parcel, false});
      Parcel arrived;
      while (mInboxes[mIndex].Take(arrived, false)) {
        Handle(arrived);
      }
    }
    // Every thread receives kRounds trees to write and kRounds to free.
    Parcel arrived;
    while (mHandled < 2 * kRounds && mInboxes[mIndex].Take(arrived, true)) {
      Handle(arrived);
    }
  }

  const std::vector<std::string>& Failures() const { return mFailures; }

private:
  void Check(bool good, const std::string& what) {
    if (!good) {
      mFailures.push_back("thread " + std::to_string(mIndex) + ": " + what);
    }
  }

  void OwnTree(int shape, bool copyGoesFirst) {
    Tree tree = Build(shape, mUtf8);
    Edit(tree);
    GenAttrCont* copy = DeepCopy(tree);
    const Expected& expected = mExpected[shape];
    Check(Renderings(tree, copy) == expected.renderings, "renderings of its own tree");
    const auto documents = Documents(tree.root, mStem);
    Check(documents.first == expected.text, "text of its own tree");
    Check(documents.second == expected.xml, "XML of its own tree");
    Check(Documents(copy, mStem).first == expected.copyText, "text of its copy");
    GenAttrBase::Free(copyGoesFirst ? copy : tree.root);
    GenAttrBase::Free(copyGoesFirst ? tree.root : copy);
  }

  void Handle(const Parcel& parcel) {
    ++mHandled;
    const Expected& expected = mExpected[parcel.tree.shape];
    if (!parcel.written) {
      const auto documents = Documents(parcel.tree.root, mStem);
      Check(documents.first == expected.text, "text of a tree from another thread");
      Check(documents.second == expected.xml, "XML of a tree from another thread");
      Next().Put({parcel.tree, true});
      return;
    }
    GenAttrCont* copy = DeepCopy(parcel.tree);
    Check(Renderings(parcel.tree, copy) == expected.renderings, "renderings of a handed tree");
    GenAttrBase::Free(parcel.tree.root);
    GenAttrBase::Free(copy);
  }

  Inbox& Next() { return mInboxes[(mIndex + 1) % kThreads]; }

  int mIndex;
  const std::vector<Expected>& mExpected;
  const GenAttrUnicodeString& mUtf8;
  std::vector<Inbox>& mInboxes;
  std::string mStem;
  int mHandled = 0;
  std::vector<std::string> mFailures;
};

TEST(TreesOnThreads, EightThreadsBuildCopyRenderWriteAndFreeTheirOwnAndHandedTrees) {
  // The one way to give a node the UTF flag is the process-wide switch, so
  // each thread gets a node made with it to copy (a node copied by several
  // threads at once would make their trees one).
  GenAttr_EnableCatiaJtUtfTransfer();
  std::vector<GenAttrUnicodeString*> utf8;
  for (int i = 0; i <= kThreads; ++i) {
    utf8.push_back(new GenAttrUnicodeString("Sign", L"\u00b1\u20ac"));
  }
  GenAttr_DisableCatiaJtUtfTransfer();
  std::vector<Expected> expected;
  for (int shape = 0; shape < kShapes; ++shape) {
    expected.push_back(Learn(shape, *utf8[kThreads]));
  }
  ASSERT_NE(expected[0].text, expected[1].text);
  ASSERT_NE(expected[0].xml.find("PartRef"), std::string::npos);

  std::vector<Inbox> inboxes(kThreads);
  std::vector<Worker> workers;
  for (int i = 0; i < kThreads; ++i) {
    workers.emplace_back(i, expected, *utf8[i], inboxes);
  }
  std::vector<std::thread> threads;
  for (Worker& worker : workers) {
    threads.emplace_back(&Worker::Run, &worker);
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (const Worker& worker : workers) {
    for (const std::string& failure : worker.Failures()) {
      ADD_FAILURE() << failure;
    }
  }
  for (GenAttrBase* node : utf8) {
    GenAttrBase::Free(node);
  }
}

} // namespace
