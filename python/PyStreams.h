// Bytes between Python objects and the library's readers and writers, set up
// with the GIL held and used while it is released.
#ifndef GENATTR_PYTHON_PYSTREAMS_H
#define GENATTR_PYTHON_PYSTREAMS_H

#include <chrono>
#include <cstddef>
#include <exception>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <pybind11/pybind11.h>

namespace genattr_python {

namespace py = pybind11;

// The bytes of a document handed in from Python, readable without the GIL
// for as long as the object lives (it must be destroyed with the GIL held).
// bytes are read where they lie, which nothing can change; a str as its
// UTF-8, with an encoding its XML declaration names taken as UTF-8, since a
// str holds characters, not bytes of that encoding; any other object of the
// buffer protocol (bytearray, memoryview, array, mmap) is copied first, so
// that another thread changing it cannot change what is read. TypeError for
// anything else; the errors of encoding a str with lone surrogates.
class DocumentBytes {
public:
  explicit DocumentBytes(py::handle data);
  DocumentBytes(const DocumentBytes&) = delete;
  DocumentBytes& operator=(const DocumentBytes&) = delete;

  const char* Data() const { return mpData; }
  std::size_t Size() const { return mSize; }

private:
  py::object mHeld;
  std::string mCopy;
  const char* mpData = nullptr;
  std::size_t mSize = 0;
};

// Collects what a writer writes, without the GIL.
class StringBuf : public std::streambuf {
public:
  // What was written, handed over.
  std::string Take() { return std::move(mText); }

protected:
  std::streamsize xsputn(const char* text, std::streamsize size) override;
  int_type overflow(int_type c) override;

private:
  std::string mText;
};

// Passes what a writer writes on to the write() of a Python binary file object
// in pieces of 1 MiB, taking the GIL for each piece only, so that a writer may
// run with the GIL released. Made and destroyed with the GIL held. A write()
// that raises ends the passing: the stream fails, and RaiseIfFailed() raises
// the error once the writer is done. A write() returning fewer bytes than it
// got (a raw file) is called again with the rest; any other return value is
// taken as all written, as shutil.copyfileobj() takes it.
class PyFileBuf : public std::streambuf {
public:
  // TypeError when `file` has no write() or is a text file (io.TextIOBase).
  explicit PyFileBuf(py::handle file);
  PyFileBuf(const PyFileBuf&) = delete;
  PyFileBuf& operator=(const PyFileBuf&) = delete;

  // With the GIL held: raises what write() raised, if anything.
  void RaiseIfFailed();

protected:
  int_type overflow(int_type c) override;
  int sync() override;

private:
  // Hands the bytes in the buffer to write(); false once anything failed.
  bool Pass();

  py::object mWrite;
  std::vector<char> mBuffer;
  std::exception_ptr mFailure;
};

// Lets other Python threads run during a long stretch of work that needs the
// GIL, such as making a Python object per node found, as the interpreter lets
// them between bytecodes: the GIL is given up for a moment every two switch
// intervals (sys.getswitchinterval()). A thread that waited a whole interval
// has asked for the GIL by then, and the interpreter hands it over at the
// break; breaks more often than that would be taken back before a waiting
// thread wakes, each one putting off its request again.
class GilBreaks {
public:
  // With the GIL held.
  GilBreaks();
  // One step of the work, with the GIL held.
  void Step() {
    if (++mSteps % STEPS_PER_LOOK == 0 && std::chrono::steady_clock::now() >= mNext) {
      Break();
    }
  }

private:
  void Break();

  static constexpr std::size_t STEPS_PER_LOOK = 256;
  std::chrono::steady_clock::duration mGap;
  std::chrono::steady_clock::time_point mNext;
  std::size_t mSteps = 0;
};

} // namespace genattr_python

#endif // GENATTR_PYTHON_PYSTREAMS_H
