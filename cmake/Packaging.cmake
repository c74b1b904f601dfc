# Debian packages through CPack: `cpack --preset default` on the build host,
# `cpack --preset release-arm64` for the device.

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

include(CPack)
