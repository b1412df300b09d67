# Decides whether the Python package (python/) is built. It needs pybind11 and
# numpy for one interpreter; the Debian interpreter that apt's numpy belongs to
# (/usr/bin/python3) is preferred over whatever `python3` comes first on PATH.
# The sanitizer build never builds it: the interpreter itself is not
# instrumented.
set(_zalcv_python_default OFF)
set(_zalcv_python_why "")
if(ZALCV_SANITIZE)
  set(_zalcv_python_why "the sanitizer build does not build the Python module")
elseif(NOT "${ZALCV_FOLDERS}" STREQUAL "${ZALCV_ALL_FOLDERS}")
  set(_zalcv_python_why "it binds every family and ZALCV_FOLDERS selects only some")
else()
  if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Interpreter the Python package is built for")
  endif()
  find_package(Python 3.8 QUIET COMPONENTS Interpreter Development.Module)
  if(NOT Python_FOUND)
    set(_zalcv_python_why "no Python interpreter with development headers; scripts/install-deps installs python3-dev")
  else()
    execute_process(COMMAND ${Python_EXECUTABLE} -c "import numpy"
      RESULT_VARIABLE _zalcv_numpy_rc OUTPUT_QUIET ERROR_QUIET)
    find_package(pybind11 CONFIG QUIET)
    if(NOT _zalcv_numpy_rc EQUAL 0)
      set(_zalcv_python_why "numpy is missing for ${Python_EXECUTABLE}; scripts/install-deps installs python3-numpy")
    elseif(NOT pybind11_FOUND)
      set(_zalcv_python_why "pybind11 is missing; scripts/install-deps installs python3-pybind11")
    else()
      set(_zalcv_python_default ON)
    endif()
  endif()
endif()

option(ZALCV_BUILD_PYTHON "Build the Python package (pybind11 + numpy)" ${_zalcv_python_default})
if(ZALCV_BUILD_PYTHON AND NOT _zalcv_python_default)
  # Also reached by a cached ON in a build tree reconfigured for a sanitizer
  # or a subset of folders: say why and build the rest.
  message(WARNING "ZALCV_BUILD_PYTHON is ON, but the Python package is skipped: ${_zalcv_python_why}")
elseif(ZALCV_BUILD_PYTHON)
  message(STATUS "Python package: built for ${Python_EXECUTABLE} (pybind11 ${pybind11_VERSION})")
  add_subdirectory(python)
elseif(_zalcv_python_why)
  message(STATUS "Python package: not built (${_zalcv_python_why})")
else()
  message(STATUS "Python package: not built (ZALCV_BUILD_PYTHON is OFF)")
endif()
