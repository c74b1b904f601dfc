# Debian packages through CPack: `cpack --preset default` on the build host,
# `cpack --preset release-arm64` for the device. Each install component is a
# package: ravelin, and python3-ravelin where the Python module is built.
# The cross builds leave the module out: their toolchains bring no Python
# headers or interpreter of the target.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravelin)
set(CPACK_PACKAGE_VENDOR "Tracking Tools Team")
set(CPACK_PACKAGE_CONTACT "Tracking Tools Team <tracking-tools@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "tracking-device calibration converter and driver rebind watchdog")
set(CPACK_PACKAGE_DESCRIPTION
    "ravelin converts the calibration data of a head-mounted tracking device\n"
    "between human-editable JSON and the compact binary blobs the device stores.\n"
    "palisade waits for the device driver's core to deinitialise and then\n"
    "rebinds the driver through sysfs.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_RAVELIN_PACKAGE_NAME ravelin)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)

if(NOT CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # CPack would ask dpkg for the host's architecture; the toolchain knows the
  # target's. dpkg-shlibdeps cannot see the target's libraries, so a dynamic
  # cross build names the run-time libraries of its compiler itself; the
  # static release build needs none.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${RAVELIN_DEB_ARCH})
  if(RAVELIN_PROGRAM_LINKAGE STREQUAL "static")
    # Nothing to depend on.
  elseif(RAVELIN_PROGRAM_LINKAGE STREQUAL "static-runtime")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.36)")
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.36), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
  endif()
endif()

if(RAVELIN_PYTHON)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-ravelin)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "Python module of the tracking-device calibration converter\n"
      "import ravelin: decode, encode, verify, check, inspect and diff calibration blobs\n"
      "and their JSON documents in memory, with the same code as the ravelin program.")
  string(JOIN "" CPACK_COMPONENT_PYTHON_DESCRIPTION ${CPACK_COMPONENT_PYTHON_DESCRIPTION})
  # The extension is built for one Python version's ABI.
  set(python_version ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})
  math(EXPR python_next_minor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${python_version}), python3 (<< ${Python3_VERSION_MAJOR}.${python_next_minor})")
endif()

include(CPack)
