#include "serialize/SubtreeWalk.h"

namespace genattr {
namespace detail {

void WriteIndent(std::ostream& out, std::int64_t count) {
  // Chunks keep a deep level from costing one insertion per space.
  static const char spaces[] = "                                                                ";
  constexpr std::int64_t chunk = sizeof(spaces) - 1;
  while (count > 0) {
    const std::int64_t n = count < chunk ? count : chunk;
    out.write(spaces, static_cast<std::streamsize>(n));
    count -= n;
  }
}

} // namespace detail
} // namespace genattr
