// The buffers that texts are handed out in belong to the calling thread: the
// value buffer smpBuffer with its lifetime rule, the type-name, UTF-8,
// string-utility and time-stamp buffers. The UTF switch is shared and atomic.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "genattr/GenAttr.h"

namespace {

// Opens the calling thread's value buffer.
class Probe : public GenAttrBase {
public:
  static char*& Buffer() { return smpBuffer; }
  static std::uint64_t Length() { return smBufferLen; }
};

// Opens the calling thread's time stamp.
class StampProbe : public GenAttrSerializer {
public:
  StampProbe() : GenAttrSerializer(nullptr) {}
  int Write() override { return 0; }
  using GenAttrSerializer::GetDateAndTime;
};

// Lets `count` threads wait until all of them have arrived, so that none
// ends (and frees its buffers for the next one to reuse) too early.
class Meeting {
public:
  explicit Meeting(int count) : mMissing(count) {}
  void ArriveAndWait() {
    std::unique_lock<std::mutex> lock(mMutex);
    if (--mMissing == 0) {
      mAllThere.notify_all();
    }
    mAllThere.wait(lock, [this] { return mMissing == 0; });
  }

private:
  std::mutex mMutex;
  std::condition_variable mAllThere;
  int mMissing;
};

TEST(ThreadBuffers, ValueBufferLifetimeHoldsPerThread) {
  GenAttrInt* mine = new GenAttrInt("mine", 7);
  const char* text = mine->GetValueAsString();
  ASSERT_EQ(text, Probe::Buffer());

  char* atStart = reinterpret_cast<char*>(1);
  std::uint64_t lengthAtStart = 1;
  const char* theirs = nullptr;
  bool theirsInTheirBuffer = false;
  char* afterFree = reinterpret_cast<char*>(1);
  std::uint64_t lengthAfterFree = 0;
  std::thread([&] {
    atStart = Probe::Buffer();
    lengthAtStart = Probe::Length();
    GenAttrInt* other = new GenAttrInt("other", 8);
    theirs = other->GetValueAsString();
    theirsInTheirBuffer = theirs == Probe::Buffer() && Probe::Length() == 128;
    GenAttrBase::Free(other); // releases this thread's buffer, not the first one
    afterFree = Probe::Buffer();
    lengthAfterFree = Probe::Length();
  }).join();

  EXPECT_EQ(atStart, nullptr); // a new thread starts as the process did
  EXPECT_EQ(lengthAtStart, 0u);
  EXPECT_NE(theirs, text);
  EXPECT_TRUE(theirsInTheirBuffer);
  EXPECT_EQ(afterFree, nullptr);
  EXPECT_EQ(lengthAfterFree, 128u);
  EXPECT_EQ(Probe::Buffer(), text);
  EXPECT_STREQ(text, "7");

  GenAttrBase::Free(mine);
  EXPECT_EQ(Probe::Buffer(), nullptr);
  EXPECT_EQ(Probe::Length(), 128u);
  // The name is the variable the library renders into: an array stored
  // through it is used (and, by the next destruction, released).
  char* const own = new char[128];
  Probe::Buffer() = own;
  GenAttrDouble* half = new GenAttrDouble("h", 0.5);
  EXPECT_EQ(half->GetValueAsString(), own);
  EXPECT_STREQ(own, "0.5000");
  GenAttrBase::Free(half);
  EXPECT_EQ(Probe::Buffer(), nullptr);
}

// Each handed-out buffer of two live threads: the addresses returned on one
// thread, twice each (the same address within a thread).
struct Addresses {
  const void* value[2];
  const void* type[2];
  const void* utf8[2];
  const void* utils[2];
  const void* stamp[2];
};

TEST(ThreadBuffers, EachThreadRendersIntoItsOwnBuffers) {
  GenAttr_EnableCatiaJtUtfTransfer();
  GenAttrBase* utf8 = new GenAttrUnicodeString("w", L"\u00e9");
  GenAttr_DisableCatiaJtUtfTransfer();
  GenAttrBase* number = new GenAttrInt("i", 1);
  GenAttrBase* cont = new GenAttrCont("c");

  Meeting meeting(2);
  Addresses seen[2] = {};
  auto record = [&](Addresses& a) {
    StampProbe probe;
    for (int i = 0; i < 2; ++i) {
      a.value[i] = number->GetValueAsString();
      a.type[i] = cont->GetTypeAsString();
      a.utf8[i] = utf8->GetValueAsString();
      a.utils[i] = &GenAttrStringUtils::Instance();
      a.stamp[i] = probe.GetDateAndTime();
    }
    meeting.ArriveAndWait();
  };
  std::thread first(record, std::ref(seen[0]));
  std::thread second(record, std::ref(seen[1]));
  first.join();
  second.join();

  const auto check = [&](const char* what, const void* const(&a)[2], const void* const(&b)[2]) {
    EXPECT_EQ(a[0], a[1]) << what;
    EXPECT_EQ(b[0], b[1]) << what;
    EXPECT_NE(a[0], b[0]) << what;
  };
  check("value", seen[0].value, seen[1].value);
  check("type", seen[0].type, seen[1].type);
  check("utf8", seen[0].utf8, seen[1].utf8);
  check("string utils", seen[0].utils, seen[1].utils);
  check("time stamp", seen[0].stamp, seen[1].stamp);
  for (GenAttrBase* node : {utf8, number, cont}) {
    GenAttrBase::Free(node);
  }
}

TEST(UtfSwitch, TogglesWhileOtherThreadsCreateStringNodes) {
  std::atomic<bool> stop{false};
  std::vector<GenAttrBase*> made[2];
  std::thread toggler([&] {
    for (int i = 0; !stop.load() || i < 100; ++i) {
      GenAttr_EnableCatiaJtUtfTransfer();
      GenAttr_DisableCatiaJtUtfTransfer();
    }
  });
  auto make = [&](std::vector<GenAttrBase*>& nodes) {
    for (int i = 0; i < 500; ++i) {
      nodes.push_back(new GenAttrString("s", "v"));
    }
  };
  std::thread a(make, std::ref(made[0]));
  std::thread b(make, std::ref(made[1]));
  a.join();
  b.join();
  stop = true;
  toggler.join();
  EXPECT_FALSE(GenAttr_CatiaJtUtfTransferEnabled());
  for (auto& nodes : made) {
    for (GenAttrBase* node : nodes) {
      GenAttrBase::Free(node);
    }
  }
}

} // namespace
