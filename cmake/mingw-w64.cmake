# mingw-w64.cmake -- CMake toolchain for 64-bit Windows with Debian's
# mingw-w64 cross compilers (the posix-threads variant: std::thread and
# std::mutex need winpthreads). Used for the game and for the libraries it
# links (scripts/build-windows builds both).
#
# Libraries and headers are looked up in the mingw-w64 sysroot and in the
# prefix the libraries were installed into: RV_WINDOWS_DEPS, by default
# build-windows/deps of this source tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RV_MINGW_TRIPLET}-windres)

if(NOT RV_WINDOWS_DEPS)
  get_filename_component(RV_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps" ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${RV_MINGW_TRIPLET} ${RV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# try_compile projects read this file again and need the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RV_WINDOWS_DEPS)

# Never the build machine's pkg-config files.
set(ENV{PKG_CONFIG_LIBDIR} "${RV_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
