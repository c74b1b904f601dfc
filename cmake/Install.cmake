# Installation layout, shared by `cmake --install` and the Debian package.
# ravelin is a user command (bin, man section 1); palisade rebinds drivers
# through sysfs and needs root, so it is a system command (sbin, section 8).

include(GNUInstallDirs)

# Everything but the Python package (component "python", python/) goes into
# the package ravelin.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME ravelin)

install(TARGETS ravelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/ravelin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/completion/ravelin.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME ravelin)
# Where Debian's zsh and fish look for completions that packages bring.
install(FILES ${PROJECT_SOURCE_DIR}/completion/_ravelin
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/completion/ravelin.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
# For editors that validate and complete the JSON documents, and for readers
# of diff's report.
install(FILES ${PROJECT_SOURCE_DIR}/schemas/compact_calibration.schema.json
              ${PROJECT_SOURCE_DIR}/schemas/device_config.schema.json
              ${PROJECT_SOURCE_DIR}/schemas/diff_report.schema.json
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ravelin/schemas)

if(TARGET palisade)
  install(TARGETS palisade RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/man/palisade.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

  set(RAVELIN_PALISADE_UNIT ${PROJECT_SOURCE_DIR}/rebind/palisade.service)
  if(EXISTS ${RAVELIN_PALISADE_UNIT})
    # The prefix is known only when installing (cmake --install --prefix, or
    # /usr for the package), so the unit's ExecStart is set then.
    install(CODE "
      set(RAVELIN_UNIT_SOURCE \"${RAVELIN_PALISADE_UNIT}\")
      set(RAVELIN_UNIT_STAGING \"${CMAKE_CURRENT_BINARY_DIR}/unit-staging\")
      set(RAVELIN_SBINDIR \"${CMAKE_INSTALL_SBINDIR}\")")
    install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallSystemdUnit.cmake)
  endif()
endif()
