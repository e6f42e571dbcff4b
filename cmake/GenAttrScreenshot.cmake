# Takes a screenshot of an HTML page with headless Chromium, for the example
# host's page. Run as
#   cmake -DCHROMIUM=<program> "-DFLAGS=<flags separated by spaces>"
#         -DPAGE=<file.html> -DOUTPUT=<file.png> -P GenAttrScreenshot.cmake
# The profile lives beside the picture for the run only.
separate_arguments(flags UNIX_COMMAND "${FLAGS}")
set(profile "${OUTPUT}.profile")
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${CHROMIUM}" ${flags} "--user-data-dir=${profile}" --window-size=1280,720
    --hide-scrollbars "--screenshot=${OUTPUT}" "file://${PAGE}"
  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 120)
file(REMOVE_RECURSE "${profile}")
if(NOT status EQUAL 0 OR NOT EXISTS "${OUTPUT}")
  message(FATAL_ERROR "no screenshot of ${PAGE} (status ${status})")
endif()
message(STATUS "Screenshot of the page: ${OUTPUT}")
