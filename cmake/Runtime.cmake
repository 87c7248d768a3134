# Runtime.cmake -- lays out build/bin: data/ and sound/ beside the executable.
#
# Plain data files are copied when they change. Stage files are encrypted
# from their sources only when build/bin/data has none yet: an existing stage
# file holds the player's highscores and unlocks and is never overwritten.
#
# A cross build cannot run the tools it would need (levelpack, soundgen): it
# takes the stage files as shipped and the sound files from a native build,
# RV_NATIVE_BUILD_DIR (./scripts/build makes one in build/).

set(RV_DATA_DIR ${RV_BIN_DIR}/data)
set(RV_SOUND_DIR ${RV_BIN_DIR}/sound)
file(MAKE_DIRECTORY ${RV_DATA_DIR} ${RV_SOUND_DIR})

file(GLOB RV_PLAIN_DATA CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/data/*)
set(RV_DATA_OUTPUTS)
foreach(source ${RV_PLAIN_DATA})
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${RV_DATA_DIR}/${name}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${RV_DATA_DIR}/${name}
    DEPENDS ${source} VERBATIM)
  list(APPEND RV_DATA_OUTPUTS ${RV_DATA_DIR}/${name})
endforeach()
add_custom_target(rv_data ALL DEPENDS ${RV_DATA_OUTPUTS})

# assets/stages/NAME.level.ini -> data/NAME.level
file(GLOB RV_STAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/stages/*.level.ini)
set(RV_STAGE_NAMES)
foreach(source ${RV_STAGE_SOURCES})
  get_filename_component(name ${source} NAME)
  string(REGEX REPLACE "\\.ini$" "" name ${name})
  list(APPEND RV_STAGE_NAMES ${name})
endforeach()

set(RV_SOUND_FILES laser.wav hit_0.wav hit_1.wav hit_2.wav boss_explode.mp3
  menu_change.wav menu_enter.wav powerup.wav boss_tick.wav low_life.wav music1.wav music2.mp3 music3.mp3)
list(TRANSFORM RV_SOUND_FILES PREPEND ${RV_SOUND_DIR}/ OUTPUT_VARIABLE RV_SOUND_OUTPUTS)

if(CMAKE_CROSSCOMPILING)
  set(RV_NATIVE_BUILD_DIR ${CMAKE_SOURCE_DIR}/build CACHE PATH
    "Native build whose sound files and shipped stage files a cross build takes")
  # Shipped as the native install ships them (cmake/Install.cmake).
  list(TRANSFORM RV_STAGE_NAMES PREPEND ${RV_NATIVE_BUILD_DIR}/shipped-stages/ OUTPUT_VARIABLE RV_SHIPPED_STAGES)
  list(TRANSFORM RV_SOUND_FILES PREPEND ${RV_NATIVE_BUILD_DIR}/bin/sound/ OUTPUT_VARIABLE rv_native_sounds)
  foreach(file ${RV_SHIPPED_STAGES} ${rv_native_sounds})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "${file} is missing: a cross build takes it from a native build in "
                          "${RV_NATIVE_BUILD_DIR} (RV_NATIVE_BUILD_DIR); run ./scripts/build first")
    endif()
  endforeach()
  set(rv_stage_commands)
  foreach(name ${RV_STAGE_NAMES})
    list(APPEND rv_stage_commands COMMAND ${CMAKE_COMMAND} -DFROM=${RV_NATIVE_BUILD_DIR}/shipped-stages/${name}
      -DTO=${RV_DATA_DIR}/${name} -P ${CMAKE_SOURCE_DIR}/cmake/CopyIfMissing.cmake)
  endforeach()
  add_custom_target(rv_stages ALL ${rv_stage_commands} DEPENDS ${RV_SHIPPED_STAGES} VERBATIM)
  add_custom_command(OUTPUT ${RV_SOUND_OUTPUTS}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${rv_native_sounds} ${RV_SOUND_DIR}
    DEPENDS ${rv_native_sounds} VERBATIM)
  add_custom_target(rv_sounds ALL DEPENDS ${RV_SOUND_OUTPUTS})
else()
  set(RV_STAGE_COMMANDS)
  foreach(name ${RV_STAGE_NAMES})
    list(APPEND RV_STAGE_COMMANDS COMMAND $<TARGET_FILE:levelpack> install
      ${CMAKE_SOURCE_DIR}/assets/stages/${name}.ini ${RV_DATA_DIR}/${name})
  endforeach()
  if(RV_STAGE_COMMANDS)
    add_custom_target(rv_stages ALL ${RV_STAGE_COMMANDS} DEPENDS levelpack VERBATIM)
  endif()

  # The generator writes every file of sound/ in one run; it runs again only
  # when the generator itself has changed.
  add_custom_command(OUTPUT ${RV_SOUND_OUTPUTS}
    COMMAND $<TARGET_FILE:soundgen> ${RV_SOUND_DIR}
    DEPENDS soundgen
    COMMENT "Synthesising sounds and music"
    VERBATIM)
  add_custom_target(rv_sounds ALL DEPENDS ${RV_SOUND_OUTPUTS})
endif()

# Fonts come from Debian packages (scripts/setup installs them; a cross build
# takes them from the build machine's) under the names the game opens:
# lcd.ttf, a terminal display face for the HUD and menus, and lucon.ttf, a
# clear monospace face for the FPS figure.
find_file(RV_FONT_3270 3270SemiCondensed-Regular.ttf PATHS /usr/share/fonts/truetype/3270
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_file(RV_FONT_LUCON LiberationMono-Regular.ttf PATHS /usr/share/fonts/truetype/liberation2
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT RV_FONT_3270 OR NOT RV_FONT_LUCON)
  message(FATAL_ERROR "Fonts missing: run scripts/setup (fonts-3270, fonts-liberation2)")
endif()
add_custom_command(OUTPUT ${RV_DATA_DIR}/lcd.ttf ${RV_DATA_DIR}/lucon.ttf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RV_FONT_3270} ${RV_DATA_DIR}/lcd.ttf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${RV_FONT_LUCON} ${RV_DATA_DIR}/lucon.ttf
  DEPENDS ${RV_FONT_3270} ${RV_FONT_LUCON} VERBATIM)
add_custom_target(rv_fonts ALL DEPENDS ${RV_DATA_DIR}/lcd.ttf ${RV_DATA_DIR}/lucon.ttf)
