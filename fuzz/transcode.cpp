// The six conversions and the two UTF-8 checks against a plain reference
// written here from the rules: result code, both cursors and every unit
// written must agree, for every target room, in both modes. Buffers are
// exactly as large as the units they hold, so AddressSanitizer sees any
// access outside them; target units past the returned cursor must be left
// alone. Well-formed text must come back unchanged through every pair of
// forms, and a conversion stopped for want of room must resume at the
// returned cursors and end as one made in one go.
//
// Input: one byte choosing the target room, then the source bytes, read as
// UTF-8, as UTF-16 units and as UTF-32 units in turn.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/Transcode.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/TextReference.h"

namespace {

using namespace genattr::detail;
using fuzz::TrailCount;
using fuzz::WellFormed;

enum class Form { Utf8, Utf16, Utf32 };

// ---- reference ------------------------------------------------------------

bool IsSurrogate(std::uint32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// One step of reading the source.
struct Item {
  enum Kind { Char, Ended, Illegal, Skip } kind;
  std::uint32_t value; // the character, for Char
  std::size_t units;   // source units it takes
  bool flagged;        // the result becomes TranscodeInputIllegal, conversion goes on
};

Item Read(Form from, Form to, const std::vector<std::uint32_t>& src, std::size_t pos, bool strict) {
  const std::uint32_t u = src[pos];
  switch (from) {
  case Form::Utf8: {
    const unsigned trail = TrailCount(static_cast<std::uint8_t>(u));
    if (pos + trail >= src.size()) {
      return {Item::Ended, 0, 0, false};
    }
    std::uint8_t bytes[6];
    for (unsigned i = 0; i <= trail; ++i) {
      bytes[i] = static_cast<std::uint8_t>(src[pos + i]);
    }
    if (!WellFormed(bytes, trail + 1)) {
      return {Item::Illegal, 0, 0, false};
    }
    std::uint32_t c = trail == 0 ? bytes[0] : bytes[0] & (0x3Fu >> trail);
    for (unsigned i = 1; i <= trail; ++i) {
      c = (c << 6) | (bytes[i] & 0x3F);
    }
    return {Item::Char, c, trail + 1, false};
  }
  case Form::Utf16:
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (pos + 1 == src.size()) {
        return {Item::Ended, 0, 0, false};
      }
      const std::uint32_t low = src[pos + 1];
      if (low >= 0xDC00 && low <= 0xDFFF) {
        return {Item::Char, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), 2, false};
      }
    }
    if (IsSurrogate(u) && strict) {
      return {Item::Illegal, 0, 0, false};
    }
    return {Item::Char, u, 1, false};
  case Form::Utf32:
    if (IsSurrogate(u)) {
      if (strict) {
        return {Item::Illegal, 0, 0, false};
      }
      return {Item::Char, to == Form::Utf16 ? 0xFFFDu : u, 1, false};
    }
    if (u > 0x10FFFF) {
      if (to == Form::Utf16 && strict) {
        return {Item::Skip, 0, 1, true};
      }
      return {Item::Char, 0xFFFD, 1, to == Form::Utf8};
    }
    return {Item::Char, u, 1, false};
  }
  return {Item::Illegal, 0, 0, false};
}

void Encode(Form to, std::uint32_t c, std::vector<std::uint32_t>& out) {
  switch (to) {
  case Form::Utf8:
    if (c < 0x80) {
      out.push_back(c);
    } else if (c < 0x800) {
      out.insert(out.end(), {0xC0 | (c >> 6), 0x80 | (c & 0x3F)});
    } else if (c < 0x10000) {
      out.insert(out.end(), {0xE0 | (c >> 12), 0x80 | ((c >> 6) & 0x3F), 0x80 | (c & 0x3F)});
    } else {
      out.insert(out.end(), {0xF0 | (c >> 18), 0x80 | ((c >> 12) & 0x3F), 0x80 | ((c >> 6) & 0x3F),
                             0x80 | (c & 0x3F)});
    }
    return;
  case Form::Utf16:
    if (c < 0x10000) {
      out.push_back(c);
    } else {
      out.insert(out.end(), {0xD800 + ((c - 0x10000) >> 10), 0xDC00 + ((c - 0x10000) & 0x3FF)});
    }
    return;
  case Form::Utf32:
    out.push_back(c);
    return;
  }
}

struct Outcome {
  TranscodeResult result = TranscodeOk;
  std::size_t consumed = 0;
  std::vector<std::uint32_t> written;
};

Outcome Reference(Form from, Form to, const std::vector<std::uint32_t>& src, std::size_t room,
                  bool strict) {
  Outcome out;
  while (out.consumed < src.size()) {
    // From UTF-32 to UTF-16 the room is looked at before the unit is read.
    if (from == Form::Utf32 && to == Form::Utf16 && out.written.size() == room) {
      out.result = TranscodeOutputFull;
      return out;
    }
    const Item item = Read(from, to, src, out.consumed, strict);
    if (item.kind == Item::Ended || item.kind == Item::Illegal) {
      out.result = item.kind == Item::Ended ? TranscodeInputEnded : TranscodeInputIllegal;
      return out;
    }
    if (item.kind == Item::Char) {
      std::vector<std::uint32_t> units;
      Encode(to, item.value, units);
      if (out.written.size() + units.size() > room) {
        out.result = TranscodeOutputFull;
        return out;
      }
      out.written.insert(out.written.end(), units.begin(), units.end());
    }
    if (item.flagged || item.kind == Item::Skip) {
      out.result = TranscodeInputIllegal;
    }
    out.consumed += item.units;
  }
  return out;
}

// ---- the routines under test, on buffers of exactly the right size ---------

template <Form F> struct Unit;
template <> struct Unit<Form::Utf8> { using type = unsigned char; };
template <> struct Unit<Form::Utf16> { using type = char16_t; };
template <> struct Unit<Form::Utf32> { using type = char32_t; };

template <Form From, Form To> struct Routine;
template <> struct Routine<Form::Utf8, Form::Utf16> {
  static constexpr auto CONVERT = TranscodeUTF8ToUTF16;
};
template <> struct Routine<Form::Utf8, Form::Utf32> {
  static constexpr auto CONVERT = TranscodeUTF8ToUTF32;
};
template <> struct Routine<Form::Utf16, Form::Utf8> {
  static constexpr auto CONVERT = TranscodeUTF16ToUTF8;
};
template <> struct Routine<Form::Utf16, Form::Utf32> {
  static constexpr auto CONVERT = TranscodeUTF16ToUTF32;
};
template <> struct Routine<Form::Utf32, Form::Utf8> {
  static constexpr auto CONVERT = TranscodeUTF32ToUTF8;
};
template <> struct Routine<Form::Utf32, Form::Utf16> {
  static constexpr auto CONVERT = TranscodeUTF32ToUTF16;
};

// Units past the cursor must keep this value.
constexpr std::uint32_t kUntouched = 0xA5;

template <Form From, Form To>
Outcome Run(const std::vector<std::uint32_t>& src, std::size_t room, int mode) {
  using S = typename Unit<From>::type;
  using T = typename Unit<To>::type;
  // Heap arrays of the exact size: one unit more or less would hide an
  // overrun from AddressSanitizer.
  S* const source = new S[src.size()];
  for (std::size_t i = 0; i < src.size(); ++i) {
    source[i] = static_cast<S>(src[i]);
  }
  T* const target = new T[room];
  for (std::size_t i = 0; i < room; ++i) {
    target[i] = static_cast<T>(kUntouched);
  }
  const S* sourceCursor = source;
  T* targetCursor = target;
  Outcome out;
  out.result = Routine<From, To>::CONVERT(&sourceCursor, source + src.size(), &targetCursor,
                                          target + room, mode);
  FUZZ_CHECK(sourceCursor >= source && sourceCursor <= source + src.size());
  FUZZ_CHECK(targetCursor >= target && targetCursor <= target + room);
  out.consumed = static_cast<std::size_t>(sourceCursor - source);
  out.written.assign(target, targetCursor);
  for (const T* t = targetCursor; t != target + room; ++t) {
    FUZZ_CHECK(*t == static_cast<T>(kUntouched));
  }
  delete[] target;
  delete[] source;
  return out;
}

// Room for any conversion of `n` source units.
std::size_t Ample(std::size_t n) {
  return 4 * n;
}

template <Form From, Form To> void Check(const std::vector<std::uint32_t>& src, std::size_t room) {
  // Every mode other than 0 is lenient; -7 stands for those other than 1.
  for (const int mode :
       {static_cast<int>(TranscodeStrict), static_cast<int>(TranscodeLenient), -7}) {
    const bool strict = mode == TranscodeStrict;
    Outcome whole;
    for (const std::size_t r : {room, Ample(src.size())}) {
      const Outcome expected = Reference(From, To, src, r, strict);
      whole = Run<From, To>(src, r, mode);
      FUZZ_CHECK(whole.result == expected.result);
      FUZZ_CHECK(whole.consumed == expected.consumed);
      FUZZ_CHECK(whole.written == expected.written);
    }
    if (mode == -7) {
      continue;
    }

    // Stopped for want of room, the conversion resumes at the returned
    // cursors and ends as it would have in one go (`whole`, with ample room).
    Outcome pieces;
    std::vector<std::uint32_t> rest = src;
    std::size_t step = room % 5;
    for (int count = 0;; ++count) {
      const Outcome part = Run<From, To>(rest, step, mode);
      pieces.written.insert(pieces.written.end(), part.written.begin(), part.written.end());
      pieces.consumed += part.consumed;
      rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(part.consumed));
      if (part.result != TranscodeOutputFull) {
        pieces.result = part.result;
        break;
      }
      // A character that does not fit needs more room; after a few pieces
      // the rest goes in one, which keeps long inputs cheap.
      if (part.consumed == 0) {
        ++step;
      }
      if (count == 8) {
        step = Ample(rest.size());
      }
    }
    FUZZ_CHECK(pieces.written == whole.written);
    FUZZ_CHECK(pieces.consumed == whole.consumed);
    // Input flagged in a piece that then stopped for room shows in no result.
    FUZZ_CHECK(pieces.result == whole.result ||
               (whole.result == TranscodeInputIllegal && pieces.result == TranscodeOk));
  }
}

// Converts with ample room in strict mode; `ok` says whether it all went.
template <Form From, Form To>
std::vector<std::uint32_t> Convert(const std::vector<std::uint32_t>& src, bool& ok) {
  const Outcome out = Run<From, To>(src, Ample(src.size()), TranscodeStrict);
  ok = ok && out.result == TranscodeOk && out.consumed == src.size();
  return out.written;
}

// Well-formed text in form F comes back unchanged through both other forms,
// directly and by way of the third.
template <Form F, Form G, Form H> void RoundTrip(const std::vector<std::uint32_t>& text) {
  bool ok = true;
  const std::vector<std::uint32_t> g = Convert<F, G>(text, ok);
  const std::vector<std::uint32_t> h = Convert<F, H>(text, ok);
  if (!ok) {
    return;
  }
  FUZZ_CHECK(Convert<G, F>(g, ok) == text && ok);
  FUZZ_CHECK(Convert<H, F>(h, ok) == text && ok);
  FUZZ_CHECK(Convert<G, H>(g, ok) == h && ok);
  FUZZ_CHECK(Convert<H, G>(h, ok) == g && ok);
}

void CheckWellFormedness(const std::vector<std::uint32_t>& bytes) {
  for (std::size_t start = 0; start < bytes.size() && start < 8; ++start) {
    for (std::int32_t length = -1; length <= 5; ++length) {
      // Exactly `length` bytes are readable (none for a length below 1).
      const std::size_t readable =
          length > 0 ? std::min<std::size_t>(static_cast<std::size_t>(length), bytes.size() - start)
                     : 0;
      if (length > 0 && readable < static_cast<std::size_t>(length)) {
        continue;
      }
      auto* copy = new unsigned char[readable];
      for (std::size_t i = 0; i < readable; ++i) {
        copy[i] = static_cast<unsigned char>(bytes[start + i]);
      }
      FUZZ_CHECK(IsWellFormedUTF8(copy, length) == WellFormed(copy, length));
      delete[] copy;
    }

    // No sequence is longer than six bytes, so longer ranges add nothing.
    for (std::size_t end = 1; end <= bytes.size() - start && end <= 8; ++end) {
      auto* copy = new unsigned char[end];
      for (std::size_t i = 0; i < end; ++i) {
        copy[i] = static_cast<unsigned char>(bytes[start + i]);
      }
      const std::size_t length = TrailCount(copy[0]) + 1;
      const bool expected = length <= end && WellFormed(copy, static_cast<std::int64_t>(length));
      FUZZ_CHECK(IsWellFormedUTF8Bounded(copy, copy + end) == expected);
      delete[] copy;
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::size_t room = in.Byte();
  const std::string rest = in.Rest();

  std::vector<std::uint32_t> utf8(rest.begin(), rest.end());
  for (std::uint32_t& b : utf8) {
    b &= 0xFF;
  }
  std::vector<std::uint32_t> utf16;
  for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
    utf16.push_back(static_cast<std::uint8_t>(rest[i]) |
                    static_cast<std::uint32_t>(static_cast<std::uint8_t>(rest[i + 1])) << 8);
  }
  std::vector<std::uint32_t> utf32;
  for (std::size_t i = 0; i + 3 < rest.size(); i += 4) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(rest[i + k])) << (8 * k);
    }
    utf32.push_back(value);
  }

  const std::size_t room8 = room % (Ample(utf8.size()) + 1);
  Check<Form::Utf8, Form::Utf16>(utf8, room8);
  Check<Form::Utf8, Form::Utf32>(utf8, room8);
  const std::size_t room16 = room % (Ample(utf16.size()) + 1);
  Check<Form::Utf16, Form::Utf8>(utf16, room16);
  Check<Form::Utf16, Form::Utf32>(utf16, room16);
  const std::size_t room32 = room % (Ample(utf32.size()) + 1);
  Check<Form::Utf32, Form::Utf8>(utf32, room32);
  Check<Form::Utf32, Form::Utf16>(utf32, room32);

  RoundTrip<Form::Utf8, Form::Utf16, Form::Utf32>(utf8);
  RoundTrip<Form::Utf16, Form::Utf8, Form::Utf32>(utf16);
  RoundTrip<Form::Utf32, Form::Utf8, Form::Utf16>(utf32);

  // The same characters as well-formed text in every form, whatever the
  // bytes were: the round trips then always run.
  std::vector<std::uint32_t> scalars;
  for (std::uint32_t value : utf32) {
    value %= 0x110000;
    scalars.push_back(IsSurrogate(value) ? value - 0x800 : value);
  }
  RoundTrip<Form::Utf32, Form::Utf8, Form::Utf16>(scalars);

  CheckWellFormedness(utf8);
  return 0;
}
