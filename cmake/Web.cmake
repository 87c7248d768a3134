# Web.cmake -- the browser build's link: riftvaulter.js, riftvaulter.wasm
# and riftvaulter.data, the read-only files (data/, sound/) packed to appear
# as an installed game's share folder. The page (web/index.html) and
# web/pre.js set up the player's folder in IndexedDB around them.
set(RV_WEB_SHARE /riftvaulter/share/riftvaulter)
add_dependencies(riftvaulter rv_data rv_fonts rv_sounds rv_stages)
target_link_options(riftvaulter PRIVATE
  "SHELL:--pre-js ${CMAKE_SOURCE_DIR}/web/pre.js"
  "SHELL:--preload-file ${RV_DATA_DIR}@${RV_WEB_SHARE}/data"
  "SHELL:--preload-file ${RV_SOUND_DIR}@${RV_WEB_SHARE}/sound"
  -lidbfs.js
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sINITIAL_MEMORY=67108864
  -sEXIT_RUNTIME=1
  -sFORCE_FILESYSTEM=1
  -sMIN_WEBGL_VERSION=1
  -sMAX_WEBGL_VERSION=1
  -sMINIFY_HTML=0
  "SHELL:-sEXPORTED_RUNTIME_METHODS=[\"callMain\"]"
  "SHELL:--js-library ${CMAKE_SOURCE_DIR}/web/library.js")
set_property(TARGET riftvaulter APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/web/pre.js
  ${CMAKE_SOURCE_DIR}/web/library.js)
