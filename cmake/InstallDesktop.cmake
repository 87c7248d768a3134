# InstallDesktop.cmake -- run at install time: writes the menu entry with the
# installed game's full path and installs it. Expects RV_DESKTOP_IN,
# RV_DESKTOP, RV_BINDIR and RV_DATADIR.
get_filename_component(rv_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(rv_executable "${rv_prefix}/${RV_BINDIR}/riftvaulter")
# Exec takes the path in double quotes, where these characters would need
# two layers of escaping that menu programs do not all agree on.
if(rv_executable MATCHES "[\"`$\\\\%\n]")
  message(FATAL_ERROR "riftvaulter.desktop: the install path ${rv_executable} contains a quote, a backquote, "
                      "a dollar sign, a backslash, a percent sign or a line break; choose another --prefix")
endif()
file(READ "${RV_DESKTOP_IN}" rv_desktop)
string(REPLACE "@RV_EXECUTABLE@" "${rv_executable}" rv_desktop "${rv_desktop}")
file(WRITE "${RV_DESKTOP}" "${rv_desktop}")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${RV_DATADIR}/applications" TYPE FILE FILES "${RV_DESKTOP}")
