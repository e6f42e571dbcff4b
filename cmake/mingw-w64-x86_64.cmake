# Cross compilation for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64-posix): the POSIX thread model of the compiler, so that
# std::thread and thread_local work as on Linux.
#   cmake --preset windows   (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GENATTR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GENATTR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GENATTR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GENATTR_MINGW_TRIPLE}-windres)

# Libraries, headers and CMake packages come from the MinGW tree only, so the
# Linux builds of ICU, libxml2 or GoogleTest are never picked up; programs
# (xmllint, wine, objdump) are those of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${GENATTR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
