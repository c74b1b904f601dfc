# GoogleTest for the machine the tests run on. Natively the distribution's
# build is used; a cross build compiles Debian's sources for the target, since
# the host's libraries cannot be linked into target executables.

if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(RAVELIN_GOOGLETEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest sources built for the target in cross builds")
if(NOT EXISTS ${RAVELIN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${RAVELIN_GOOGLETEST_SOURCE} "
                      "(Debian package googletest)")
endif()

set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Its build defines the GTest:: names that find_package would.
add_subdirectory(${RAVELIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_deps/googletest
                 EXCLUDE_FROM_ALL SYSTEM)
