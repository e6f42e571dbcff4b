#include "tree/NumberText.h"

#include <cfenv>
#include <clocale>

#if __has_include(<langinfo.h>)
#include <langinfo.h>
#define GENATTR_HAS_LANGINFO 1
#else
#define GENATTR_HAS_LANGINFO 0
#endif

bool genattr::detail::FixedIsPrintfs() {
  // nl_langinfo() reads the decimal point without filling localeconv()'s
  // whole structure.
#if GENATTR_HAS_LANGINFO
  const char* point = nl_langinfo(RADIXCHAR);
#else
  const char* point = std::localeconv()->decimal_point;
#endif
  return point[0] == '.' && point[1] == '\0' && std::fegetround() == FE_TONEAREST;
}
