// Everything the library keeps outside its trees. Internal to the library.
//
// The thread contract: one tree is used by one thread at a time, distinct
// trees by distinct threads at the same time, and a tree may move from thread
// to thread between uses; nodes shared between trees make them one tree. So
// nothing that two unrelated trees can reach may be process-wide without a
// guard. The inventory of the state outside the nodes, and where each item
// lives:
//
// Per thread, in ThreadState below (created on the thread's first need,
// released when the thread ends):
//   - the value buffer of GetValueAsString, exported as GenAttrBase::smpBuffer
//     and smBufferLen; destroying a non-reference node releases the buffer of
//     the thread that destroys it;
//   - the two scratch buffers of the UTF-8 rendering of wide values;
//   - the type-name buffer of GetTypeAsString;
//   - the guard that keeps an overflow report from starting another one;
//   - the string-utility instance (GenAttrStringUtils::smpInst) with its
//     result buffer, and the one-character array of its ConvertToUTF8;
//   - the time-stamp buffer of GenAttrSerializer::GetDateAndTime.
// Per thread, in tree/BlockPool.cpp: the stacks of free blocks in front of
// the thread's arena of the pool (drained when the thread ends).
// Process-wide, read and written atomically:
//   - the UTF transfer switch (UtfTransferSwitch below);
//   - the count of thread states alive, which only tests read.
// Process-wide behind locks (tree/BlockPool.cpp): each arena of the pool
// (a spin lock: its owning thread refills and drains under it, other threads
// free single blocks under it); the list of arenas of ended threads (a
// mutex); the segments that slabs are cut from, that is the list of segments
// with a free slab and the counts of segments and slabs held (one mutex,
// taken once per slab). The structure of a tree (shared chains, initial
// parents) is kept in its nodes, and walks keep their paths to themselves.
// Everything else outside the nodes is constant after load (name tables,
// format descriptions, the build date and time) or after the first
// allocation (whether the pool is bypassed).
#ifndef GENATTR_BASE_LIBRARYSTATE_H
#define GENATTR_BASE_LIBRARYSTATE_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/ScratchBuffer.h"
#include "genattr/GenAttrStringUtils.h"

namespace genattr {
namespace detail {

// The buffers one thread renders into. Texts handed out from them stay valid
// until the next call of their kind on the same thread, or until the thread
// ends.
struct ThreadState {
  ThreadState() = default;
  ThreadState(const ThreadState&) = delete;
  ThreadState& operator=(const ThreadState&) = delete;
  // Releases the value buffer and deletes the string-utility instance.
  ~ThreadState();

  // GenAttrBase::smpBuffer and smBufferLen of this thread.
  char* mpValueBuffer = nullptr;
  std::uint64_t mValueBufferLen = 0;
  // UTF-8 output and UTF-16 input of the rendering of wide values.
  ScratchBuffer<unsigned char> mUtf8Output;
  ScratchBuffer<char16_t> mUtf16Input;
  // GetTypeAsString(); the longest name it holds is "UnicodeString".
  char mTypeName[64] = {};
  // Set while an overflow report lists a path.
  bool mReportRunning = false;
  // GenAttrStringUtils::smpInst of this thread, owned.
  GenAttrStringUtils* mpStringUtils = nullptr;
  // GenAttrStringUtils::ConvertToUTF8(wchar_t).
  unsigned char mLastCharacter[GenAttrStringUtils::UTF8_CHAR_BUFFER_SIZE] = {};
  // GenAttrSerializer::GetDateAndTime().
  char mDateAndTime[128] = {};
};

// Every node destruction reads the state pointer, so its access must be
// cheap. In an ELF shared library the default model calls __tls_get_addr on
// each access; the initial-exec model is one load at a fixed offset from the
// thread pointer, and these eight bytes fit the static TLS reserve that the
// loader keeps even for a library loaded later with dlopen.
#if defined(__ELF__)
#define GENATTR_FAST_TLS __attribute__((tls_model("initial-exec")))
#else
#define GENATTR_FAST_TLS
#endif

// The storage of such a per-thread pointer. Declared `extern thread_local`,
// every access in another file would first test for a dynamic initializer
// (the C++ TLS wrapper); GNU's `__thread` promises constant initialization,
// so an access is the one load.
#if defined(__GNUC__)
#define GENATTR_THREAD_POINTER __thread
#else
#define GENATTR_THREAD_POINTER thread_local
#endif

// The calling thread's state, null until CurrentThreadState() creates it.
extern GENATTR_THREAD_POINTER ThreadState* gThreadState GENATTR_FAST_TLS;

// Creates the calling thread's state; CurrentThreadState() calls it once.
ThreadState& CreateThreadState();
#ifdef GENATTR_TEST_HOOKS
// States of threads that have not ended yet. Only in the tests that compile
// this file in themselves (with GENATTR_TEST_HOOKS): never part of a library.
std::size_t ThreadStatesAlive() noexcept;
#endif

// The calling thread's state, created by the first call on the thread. Inline:
// every rendering asks for it.
inline ThreadState& CurrentThreadState() {
  ThreadState* const state = gThreadState;
  return state != nullptr ? *state : CreateThreadState();
}

// Releases the calling thread's value buffer, if it has one (smpBuffer
// becomes null, smBufferLen keeps its value). Inline: every destruction of a
// non-reference node calls it.
inline void ReleaseValueBuffer() {
  ThreadState* const state = gThreadState;
  if (state != nullptr && state->mpValueBuffer != nullptr) {
    delete[] state->mpValueBuffer;
    state->mpValueBuffer = nullptr;
  }
}

// The UTF transfer switch.
std::atomic<bool>& UtfTransferSwitch();

} // namespace detail
} // namespace genattr

#endif // GENATTR_BASE_LIBRARYSTATE_H
