// Runs one conversion over exactly-sized heap copies of its input and target,
// so that AddressSanitizer reports any access past either end, and compares
// the outcome with an expected one.
#ifndef GENATTR_TESTS_BASE_TRANSCODE_HARNESS_H
#define GENATTR_TESTS_BASE_TRANSCODE_HARNESS_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "base/Transcode.h"

namespace genattr_test {

using genattr::detail::TranscodeResult;

template <typename From, typename To>
using Conversion = TranscodeResult (*)(const From**, const From*, To**, To*, int);

// What a conversion did: its result, how many source units it consumed (the
// returned source cursor) and the units it wrote (up to the target cursor).
template <typename To> struct Outcome {
  TranscodeResult result;
  std::size_t consumed;
  std::vector<To> written;
  // Whether a unit past the target cursor was changed: the target past the
  // cursor must keep what it held.
  bool scribbled = false;
};

// What the target holds before a conversion.
constexpr unsigned kUntouched = 0xA5;

// A heap array of exactly `count` units (never a null pointer, even for 0).
template <typename Unit> std::unique_ptr<Unit[]> ExactCopy(const Unit* units, std::size_t count) {
  std::unique_ptr<Unit[]> copy(new Unit[count]);
  std::copy(units, units + count, copy.get());
  return copy;
}

template <typename From, typename To>
Outcome<To> Convert(Conversion<From, To> convert, const std::vector<From>& input, std::size_t room,
                    int mode) {
  const std::unique_ptr<From[]> source = ExactCopy(input.data(), input.size());
  const std::unique_ptr<To[]> target(new To[room]);
  std::fill(target.get(), target.get() + room, static_cast<To>(kUntouched));
  const From* sourceCursor = source.get();
  To* targetCursor = target.get();
  const TranscodeResult result =
      convert(&sourceCursor, source.get() + input.size(), &targetCursor, target.get() + room, mode);
  const bool scribbled = std::any_of(targetCursor, target.get() + room,
                                     [](To unit) { return unit != static_cast<To>(kUntouched); });
  return {result, static_cast<std::size_t>(sourceCursor - source.get()),
          std::vector<To>(target.get(), targetCursor), scribbled};
}

inline const char* ResultName(TranscodeResult result) {
  switch (result) {
  case genattr::detail::TranscodeOk:
    return "TranscodeOk";
  case genattr::detail::TranscodeInputEnded:
    return "TranscodeInputEnded";
  case genattr::detail::TranscodeOutputFull:
    return "TranscodeOutputFull";
  case genattr::detail::TranscodeInputIllegal:
    return "TranscodeInputIllegal";
  }
  return "(not a TranscodeResult)";
}

template <typename Unit> std::string Hex(const std::vector<Unit>& units) {
  std::ostringstream out;
  out << std::hex << std::uppercase << '[';
  for (std::size_t k = 0; k < units.size(); ++k)
    out << (k ? " " : "") << static_cast<unsigned long>(units[k]);
  out << ']';
  return out.str();
}

template <typename To> std::string Describe(const Outcome<To>& outcome) {
  std::ostringstream out;
  out << ResultName(outcome.result) << ", source cursor at " << outcome.consumed << ", wrote "
      << Hex(outcome.written) << (outcome.scribbled ? ", and past the cursor" : "");
  return out.str();
}

template <typename To>
::testing::AssertionResult SameOutcome(const Outcome<To>& expected, const Outcome<To>& actual) {
  if (expected.result == actual.result && expected.consumed == actual.consumed &&
      expected.written == actual.written && expected.scribbled == actual.scribbled)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "\n  expected: " << Describe(expected) << "\n  actual:   " << Describe(actual);
}

// The conversion of `input` with `room` target units in `mode` ends as
// `expected` says; the input is printed on failure.
template <typename From, typename To>
::testing::AssertionResult Converts(Conversion<From, To> convert, const std::vector<From>& input,
                                    std::size_t room, int mode, const Outcome<To>& expected) {
  ::testing::AssertionResult same = SameOutcome(expected, Convert(convert, input, room, mode));
  if (!same)
    same << "\n  input " << Hex(input) << ", room " << room << ", mode " << mode;
  return same;
}

} // namespace genattr_test

#endif // GENATTR_TESTS_BASE_TRANSCODE_HARNESS_H
