# Strict warnings for the project's own targets only: link genattr_warnings
# privately.
add_library(genattr_warnings INTERFACE)
target_compile_options(genattr_warnings INTERFACE
  $<$<OR:$<CXX_COMPILER_ID:GNU,Clang,AppleClang>,$<C_COMPILER_ID:GNU,Clang,AppleClang>>:-Wall -Wextra -Wpedantic -Werror>
  $<$<OR:$<CXX_COMPILER_ID:MSVC>,$<C_COMPILER_ID:MSVC>>:/W4 /WX>)
