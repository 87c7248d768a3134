# Install.cmake -- `cmake --install build --prefix DIR` puts the game where
# Linux keeps such things:
#
#   DIR/bin/riftvaulter
#   DIR/share/riftvaulter/data/     models, bosses, menu texts, fonts and the
#                                   stage files as shipped
#   DIR/share/riftvaulter/sound/    what soundgen wrote
#   DIR/share/applications/riftvaulter.desktop
#   DIR/share/icons/hicolor/scalable/apps/riftvaulter.svg
#   (and a 256 x 256 PNG beside it when rsvg-convert is at hand)
#   DIR/share/metainfo/io.github.riftvaulter.Riftvaulter.metainfo.xml
#   DIR/share/riftvaulter/screenshots/   the screenshots the AppStream entry shows
#   DIR/share/man/man6/riftvaulter.6
#
# Everything under share/ is read-only. The game tells this layout from a
# build by itself (src/app/UserFolder.h) and keeps each player's stage files
# and settings.ini in $XDG_DATA_HOME/riftvaulter.
#
# On Windows the game is one folder, as in a build: DIR/riftvaulter.exe with
# data/, sound/ and LIESMICH.txt beside it; `cpack` zips that folder into
# dist/riftvaulter-VERSION-windows-x64.zip (scripts/build-windows).
if(WIN32)
  set(RV_INSTALL_BIN_DIR .)
  set(RV_SHARE_DIR .)
else()
  include(GNUInstallDirs)
  set(RV_INSTALL_BIN_DIR ${CMAKE_INSTALL_BINDIR})
  set(RV_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/riftvaulter)
  # The game finds its share folder from the folder of its executable.
  file(RELATIVE_PATH RV_SHARE_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/riftvaulter)
  target_compile_definitions(rv_app PRIVATE RV_SHARE_FROM_BIN="${RV_SHARE_FROM_BIN}")
endif()

# The stage files of build/bin/data hold whatever the developer has played
# (they are never overwritten); an install ships them fresh from their
# sources, enciphered again whenever a source changes. (A cross build takes
# these from a native build: cmake/Runtime.cmake.)
if(NOT CMAKE_CROSSCOMPILING)
  set(RV_SHIPPED_STAGE_DIR ${CMAKE_BINARY_DIR}/shipped-stages)
  set(RV_SHIPPED_STAGES)
  foreach(name ${RV_STAGE_NAMES})
    set(source ${CMAKE_SOURCE_DIR}/assets/stages/${name}.ini)
    add_custom_command(OUTPUT ${RV_SHIPPED_STAGE_DIR}/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${RV_SHIPPED_STAGE_DIR}
      COMMAND $<TARGET_FILE:levelpack> encrypt ${source} ${RV_SHIPPED_STAGE_DIR}/${name}
      DEPENDS ${source} levelpack VERBATIM)
    list(APPEND RV_SHIPPED_STAGES ${RV_SHIPPED_STAGE_DIR}/${name})
  endforeach()
  add_custom_target(rv_shipped_stages ALL DEPENDS ${RV_SHIPPED_STAGES})
endif()

install(TARGETS riftvaulter RUNTIME DESTINATION ${RV_INSTALL_BIN_DIR})
install(FILES ${RV_PLAIN_DATA} ${RV_SHIPPED_STAGES} DESTINATION ${RV_SHARE_DIR}/data)
install(FILES ${RV_FONT_3270} DESTINATION ${RV_SHARE_DIR}/data RENAME lcd.ttf)
install(FILES ${RV_FONT_LUCON} DESTINATION ${RV_SHARE_DIR}/data RENAME lucon.ttf)
install(FILES ${RV_SOUND_OUTPUTS} DESTINATION ${RV_SHARE_DIR}/sound)

if(WIN32)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/windows/LIESMICH.txt DESTINATION .)
  # The licences of the fonts and libraries that ship in the zip, as Debian
  # records them for the same versions (the fonts' and libraries' packages
  # are on every machine that builds).
  foreach(package fonts-3270 fonts-liberation2 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libfreetype6)
    if(NOT EXISTS /usr/share/doc/${package}/copyright)
      message(FATAL_ERROR "/usr/share/doc/${package}/copyright is missing: the zip must carry that licence")
    endif()
    install(FILES /usr/share/doc/${package}/copyright DESTINATION Lizenzen RENAME ${package}.txt)
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME riftvaulter)
  set(CPACK_PACKAGE_FILE_NAME riftvaulter-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # Without its debug information: build-windows/bin keeps the full one.
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

set(RV_ICON ${CMAKE_SOURCE_DIR}/assets/desktop/riftvaulter.svg)
install(FILES ${RV_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RV_RSVG_CONVERT rsvg-convert)
if(RV_RSVG_CONVERT)
  set(RV_ICON_PNG ${CMAKE_BINARY_DIR}/icons/riftvaulter.png)
  add_custom_command(OUTPUT ${RV_ICON_PNG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${RV_RSVG_CONVERT} -w 256 -h 256 -o ${RV_ICON_PNG} ${RV_ICON}
    DEPENDS ${RV_ICON} VERBATIM)
  add_custom_target(rv_icon ALL DEPENDS ${RV_ICON_PNG})
  install(FILES ${RV_ICON_PNG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()

# The AppStream entry names the menu entry (riftvaulter.desktop) and the
# icon as installed here.
install(FILES ${CMAKE_SOURCE_DIR}/assets/desktop/io.github.riftvaulter.Riftvaulter.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
file(GLOB RV_SCREENSHOTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/desktop/screenshots/*.png)
install(FILES ${RV_SCREENSHOTS} DESTINATION ${RV_SHARE_DIR}/screenshots)
install(FILES ${CMAKE_SOURCE_DIR}/assets/desktop/riftvaulter.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The menu entry starts the game by its full path (the prefix need not be on
# PATH), known only when installing: `--prefix` may differ from the prefix
# configured. DESTDIR is left out of the path, as it must be.
set(RV_DESKTOP_IN ${CMAKE_SOURCE_DIR}/assets/desktop/riftvaulter.desktop.in)
set(RV_DESKTOP ${CMAKE_BINARY_DIR}/riftvaulter.desktop)
install(CODE "
  set(RV_DESKTOP_IN \"${RV_DESKTOP_IN}\")
  set(RV_DESKTOP \"${RV_DESKTOP}\")
  set(RV_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(RV_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/InstallDesktop.cmake\")
")
