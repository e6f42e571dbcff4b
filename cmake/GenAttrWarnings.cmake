# Strict warnings for the project's own targets only: link genattr_warnings
# privately.
add_library(genattr_warnings INTERFACE)
target_compile_options(genattr_warnings INTERFACE
  $<$<OR:$<CXX_COMPILER_ID:GNU,Clang,AppleClang>,$<C_COMPILER_ID:GNU,Clang,AppleClang>>:-Wall -Wextra -Wpedantic -Werror>
  $<$<OR:$<CXX_COMPILER_ID:MSVC>,$<C_COMPILER_ID:MSVC>>:/W4 /WX>)

# genattr_use_cxx17(<targets...>): ISO C++17 without compiler extensions on the
# project's own targets, so that the compile commands name the standard and
# tools reading them (clang-tidy) parse the code as the compilers do.
function(genattr_use_cxx17)
  set_target_properties(${ARGN} PROPERTIES
    CXX_STANDARD 17
    CXX_STANDARD_REQUIRED ON
    CXX_EXTENSIONS OFF)
endfunction()
