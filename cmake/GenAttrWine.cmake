# Running the programs of a Windows cross build on the Linux build machine
# through Wine, as CTest's emulator (CMAKE_CROSSCOMPILING_EMULATOR): ctest,
# GoogleTest discovery and add_test(COMMAND <target>) then work as on Linux.
#
# Every build folder gets a Wine prefix of its own (<build>/wineprefix),
# created once here at configure time, so that no test pays for the first
# start of Wine (wineboot) or times out on it. The generated wrapper
# <build>/wine-run sets the prefix, silences Wine's diagnostics and puts the
# build folder (genattr.dll) and the MinGW runtime's folders (libstdc++-6.dll,
# libgcc_s_seh-1.dll, libwinpthread-1.dll) on WINEPATH: the tests use the same
# shared C++ runtime as the DLL, as a C++ host on Windows must.
#
# A CMAKE_CROSSCOMPILING_EMULATOR given on the command line is kept.
if(DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

find_program(GENATTR_WINE NAMES wine64 wine PATHS /usr/lib/wine
  DOC "Wine loader that runs the tests of the Windows build")
find_program(GENATTR_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
  DOC "Wine server, waited for after the Wine prefix is created")
if(NOT GENATTR_WINE)
  message(WARNING "Wine not found (Debian: apt-get install wine64): the Windows build is not "
    "testable here")
  return()
endif()

# The folders of the MinGW runtime DLLs, as the compiler itself names them.
set(genattr_wine_path "${PROJECT_BINARY_DIR}")
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE location OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${location}" AND EXISTS "${location}")
    get_filename_component(folder "${location}" DIRECTORY)
    list(APPEND genattr_wine_path "${folder}")
  else()
    message(WARNING "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
endforeach()
list(REMOVE_DUPLICATES genattr_wine_path)
# WINEPATH separates its folders with ";" like a CMake list, and Wine accepts
# Linux paths in it.
set(GENATTR_WINEPATH "${genattr_wine_path}")
set(GENATTR_WINEPREFIX "${PROJECT_BINARY_DIR}/wineprefix")
configure_file("${CMAKE_CURRENT_LIST_DIR}/wine-run.in" "${PROJECT_BINARY_DIR}/wine-run"
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

if(NOT EXISTS "${GENATTR_WINEPREFIX}/system.reg")
  message(STATUS "Creating the Wine prefix ${GENATTR_WINEPREFIX}")
  execute_process(COMMAND "${PROJECT_BINARY_DIR}/wine-run" wineboot --init
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(GENATTR_WINESERVER)
    # wineboot returns before the prefix is written out completely.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "WINEPREFIX=${GENATTR_WINEPREFIX}"
      "${GENATTR_WINESERVER}" -w)
  endif()
  if(NOT result EQUAL 0 OR NOT EXISTS "${GENATTR_WINEPREFIX}/system.reg")
    message(WARNING "wineboot failed (${result}): the tests will try again on their own")
  endif()
endif()

set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_BINARY_DIR}/wine-run")
