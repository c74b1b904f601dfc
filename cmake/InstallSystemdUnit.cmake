# Install-time script: installs the palisade unit with its ExecStart naming
# the program where this installation puts it.
# In: RAVELIN_UNIT_SOURCE, RAVELIN_UNIT_STAGING, RAVELIN_SBINDIR.

get_filename_component(unit_name ${RAVELIN_UNIT_SOURCE} NAME)
set(program ${CMAKE_INSTALL_PREFIX}/${RAVELIN_SBINDIR}/palisade)

file(READ ${RAVELIN_UNIT_SOURCE} unit)
string(REGEX REPLACE "(\nExecStart=[-@:+!]*)[^ \n]*palisade" "\\1${program}" unit "\n${unit}")
string(SUBSTRING "${unit}" 1 -1 unit)

file(MAKE_DIRECTORY ${RAVELIN_UNIT_STAGING})
file(WRITE ${RAVELIN_UNIT_STAGING}/${unit_name} "${unit}")
file(INSTALL ${RAVELIN_UNIT_STAGING}/${unit_name}
     DESTINATION ${CMAKE_INSTALL_PREFIX}/lib/systemd/system
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
