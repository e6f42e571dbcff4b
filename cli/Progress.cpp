#include "cli/Progress.h"

#include <cstdio>

#include "base/Platform.h"

namespace genattr {
namespace cli {

bool WantProgress(std::uint64_t bytes) {
  return bytes > kProgressThreshold && detail::IsTerminal(stderr);
}

Progress::Progress(bool shown, const char* verb, const std::string& file, std::uint64_t total)
    : mShown(shown), mpVerb(verb), mFile(file), mTotal(total == 0 ? 1 : total),
      mStart(std::chrono::steady_clock::now()), mLastDraw(mStart) {}

Progress::~Progress() {
  if (mShown) {
    mDone = mTotal;
    Draw(true);
  }
}

void Progress::Update(std::uint64_t done, std::uint64_t bytes) {
  mDone = done < mTotal ? done : mTotal;
  mBytes = bytes;
  if (!mShown) {
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - mLastDraw >= std::chrono::milliseconds(200)) {
    mLastDraw = now;
    Draw(false);
  }
}

void Progress::Draw(bool final) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
  const double megabytes = static_cast<double>(mBytes) / (1024.0 * 1024.0);
  const double rate = seconds > 0 ? megabytes / seconds : 0.0;
  // The carriage return redraws the line in place; the spaces wipe the tail
  // of a longer earlier line.
  if (final) {
    std::fprintf(stderr, "\r%s %s: 100%% %.1f MB in %.1f s (%.1f MB/s)    \n", mpVerb,
                 mFile.c_str(), megabytes, seconds, rate);
  } else {
    std::fprintf(stderr, "\r%s %s: %3u%% %.1f MB/s    ", mpVerb, mFile.c_str(),
                 static_cast<unsigned>(mDone * 100 / mTotal), rate);
  }
  std::fflush(stderr);
}

} // namespace cli
} // namespace genattr
