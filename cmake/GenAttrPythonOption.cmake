# GENATTR_BUILD_PYTHON: the Python module genattr (python/), on by default
# where the shared libraries genattr and genattr_xml are built, without
# sanitizers (the interpreter is not instrumented), and the development files
# of Python and pybind11 are found.
#
# The interpreter: Python_EXECUTABLE when the builder gives one; otherwise
# /usr/bin/python3 where it exists, the system's own, which is what
# `cmake --install` serves and what CI has. Left to its own search, FindPython
# would take the first python3 in PATH, which may be a pyenv shim for an
# interpreter without pybind11 and with site-packages of its own.
set(GENATTR_PYTHON_DEFAULT OFF)
string(FIND "${CMAKE_CXX_FLAGS}" "-fsanitize" GENATTR_SANITIZED)
if(GENATTR_SHARED_LIBRARY AND TARGET genattr_xml AND GENATTR_SANITIZED EQUAL -1
   AND (NOT DEFINED GENATTR_BUILD_PYTHON OR GENATTR_BUILD_PYTHON))
  if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter of the module")
  endif()
  find_package(Python 3.7 COMPONENTS Interpreter Development.Module QUIET)
  if(Python_FOUND)
    # pybind11's configuration takes the interpreter found above.
    find_package(pybind11 2.6 CONFIG QUIET)
  endif()
  if(Python_FOUND AND pybind11_FOUND)
    set(GENATTR_PYTHON_DEFAULT ON)
  endif()
endif()
option(GENATTR_BUILD_PYTHON "Build the Python module (needs Python's development files and pybind11)"
  ${GENATTR_PYTHON_DEFAULT})
if(GENATTR_BUILD_PYTHON AND NOT GENATTR_PYTHON_DEFAULT)
  message(FATAL_ERROR "GENATTR_BUILD_PYTHON needs the shared libraries genattr and genattr_xml, "
    "no sanitizer flags, Python's development files and pybind11 (Debian: python3-dev, "
    "pybind11-dev)")
endif()
