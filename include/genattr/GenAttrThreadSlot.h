// The name of a class-wide variable of which every thread has its own copy.
#ifndef GENATTR_GENATTRTHREADSLOT_H
#define GENATTR_GENATTRTHREADSLOT_H

// An object of this class holds nothing itself: wherever it is used as a `T`
// (read, assigned, passed by reference, compared, indexed, deleted) it stands
// for the calling thread's own variable, which `Slot` returns. A reference
// obtained through it stays valid until the thread ends.
//
// The classes use it for their exported static data (GenAttrBase::smpBuffer,
// GenAttrBase::smBufferLen, GenAttrStringUtils::smpInst), so that the names
// keep their meaning while each thread has its own value. Thread-local data
// cannot be exported from a Windows DLL directly (MinGW leaves the import of
// its initialisation function unresolved, MSVC rejects it outright); an
// ordinary exported object whose members reach thread-local storage inside
// the library works with every toolchain. MSVC warns (C4251) that such a
// member's class template has no DLL interface; it needs none, being inline
// and stateless, so an MSVC build may silence that warning for these members.
template <typename T, T& (*Slot)()> class GenAttrThreadSlot {
public:
  // The calling thread's variable.
  operator T&() const { return Slot(); }
  // Stores `value` in the calling thread's variable.
  T& operator=(T value) const { return Slot() = value; }
};

#endif // GENATTR_GENATTRTHREADSLOT_H
