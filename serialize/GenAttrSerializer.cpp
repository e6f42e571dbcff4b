#include "genattr/GenAttrSerializer.h"

#include <cstdio>
#include <ctime>

#include "base/LibraryState.h"
#include "base/Platform.h"

namespace {

// Fixed English names: the time stamp must not follow LC_TIME.
const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

GenAttrSerializer::GenAttrSerializer(GenAttrBase* root)
    : mpRoot(root), mInitialIndent(0), mIndentIncrement(2), mDepth(0), mFlushEachLine(true),
      mUtf8Texts(false), mTimeStamp(true) {}

GenAttrSerializer::~GenAttrSerializer() = default;

void GenAttrSerializer::SetInitialIndent(int indent) {
  mInitialIndent = indent;
}

void GenAttrSerializer::SetIndentIncrement(int increment) {
  mIndentIncrement = increment;
}

void GenAttrSerializer::SetFlushEachLine(bool flush) {
  mFlushEachLine = flush;
}

void GenAttrSerializer::SetUtf8Texts(bool on) {
  mUtf8Texts = on;
}

void GenAttrSerializer::SetTimeStamp(bool on) {
  mTimeStamp = on;
}

const char* GenAttrSerializer::GetDateAndTime() {
  std::tm local{};
  if (!genattr::detail::LocalTime(std::time(nullptr), &local)) {
    // A clock beyond the calendar's range: an all-zero date rather than
    // whatever the failed call left behind.
    local = std::tm{};
  }
  // asctime() would pad the day with a space where a leading zero is wanted.
  // The modulo keeps an unexpected field from indexing past the name tables.
  const unsigned day = static_cast<unsigned>(local.tm_wday) % 7;
  const unsigned month = static_cast<unsigned>(local.tm_mon) % 12;
  char(&text)[128] = genattr::detail::CurrentThreadState().mDateAndTime;
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %lld", kDayNames[day],
                kMonthNames[month], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long long>(local.tm_year) + 1900);
  return text;
}
