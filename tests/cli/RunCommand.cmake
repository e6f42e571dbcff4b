# Runs the genattr command once and checks what it did. Used by the tests in
# this folder as: cmake -D<VAR>=<value>... -P RunCommand.cmake
#   GENATTR   the command
#   ARGS      its arguments, separated by "|"
#   STATUS    the exit status expected (a regular expression: "0|1")
#   EXPECT    a file whose content standard output must equal (optional)
#   STDOUT    a regular expression standard output must match (optional)
#   STDERR    a regular expression standard error must match (optional; without
#             it, standard error must be empty)
#   OUTPUT, GOLDEN   a file the command wrote and the file it must equal, the
#             times of writing masked (optional)
#   SEEDS     a folder: ARGS is followed by every file in it (optional)
cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" args "${ARGS}")
if(SEEDS)
  file(GLOB seeds LIST_DIRECTORIES false "${SEEDS}/*")
  list(SORT seeds)
  list(APPEND args ${seeds})
endif()
execute_process(COMMAND "${GENATTR}" ${args}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(failures "")
if(NOT "${status}" MATCHES "^(${STATUS})$")
  string(APPEND failures "exit status ${status}, expected ${STATUS}\n")
endif()
if(EXPECT)
  file(READ "${EXPECT}" expected)
  if(NOT out STREQUAL expected)
    string(APPEND failures "standard output differs from ${EXPECT}:\n${out}\n")
  endif()
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
  string(APPEND failures "standard output does not match '${STDOUT}':\n${out}\n")
endif()
if(DEFINED STDERR)
  if(NOT err MATCHES "${STDERR}")
    string(APPEND failures "standard error does not match '${STDERR}':\n${err}\n")
  endif()
elseif(NOT err STREQUAL "")
  string(APPEND failures "unexpected standard error:\n${err}\n")
endif()
if(OUTPUT)
  # The time of writing: in the XML documents and in the page.
  set(stamp "<DateAndTime>[^<]*</DateAndTime>|\"written\":\"[^\"]*\"")
  file(READ "${OUTPUT}" written)
  file(READ "${GOLDEN}" golden)
  string(REGEX REPLACE "${stamp}" "(time)" written "${written}")
  string(REGEX REPLACE "${stamp}" "(time)" golden "${golden}")
  if(NOT written STREQUAL golden)
    string(APPEND failures "${OUTPUT} differs from ${GOLDEN}:\n${written}\n")
  endif()
endif()

if(failures)
  message(FATAL_ERROR "genattr ${ARGS}:\n${failures}")
endif()
