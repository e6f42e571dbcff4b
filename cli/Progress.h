// Progress of a long read or write on standard error. Internal.
#ifndef GENATTR_CLI_PROGRESS_H
#define GENATTR_CLI_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <string>

namespace genattr {
namespace cli {

// Files above this size show progress (when standard error is a terminal).
constexpr std::uint64_t kProgressThreshold = std::uint64_t{50} << 20;

// Whether a read or write of `bytes` bytes shows progress: above the
// threshold, and only when standard error is a terminal, so that logs and
// pipes never receive progress lines.
bool WantProgress(std::uint64_t bytes);

// One progress line, "reading FILE: 42% 118.3 MB/s", redrawn at most five
// times a second and ended with the totals when the object goes.
class Progress {
public:
  // Shows nothing at all unless `shown`.
  Progress(bool shown, const char* verb, const std::string& file, std::uint64_t total);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();

  // `done` of the total bytes (or units) are through; `bytes` have moved.
  void Update(std::uint64_t done, std::uint64_t bytes);

private:
  void Draw(bool final);

  bool mShown;
  const char* mpVerb;
  std::string mFile;
  std::uint64_t mTotal;
  std::uint64_t mDone = 0;
  std::uint64_t mBytes = 0;
  std::chrono::steady_clock::time_point mStart;
  std::chrono::steady_clock::time_point mLastDraw;
};

} // namespace cli
} // namespace genattr

#endif // GENATTR_CLI_PROGRESS_H
