# cross-libraries.sh -- sourced by the cross builds (build-windows,
# build-web): the libraries the game links, FreeType, SDL2 and SDL2_mixer,
# built static from Debian's source packages for the target, and the stamp
# that keeps them. The versions and the build options are here once, so the
# Windows game and the browser game always link the same libraries.
#
# The sourcing script sets:
#
#   root, jobs       the source tree and the number of build jobs
#   step, fail       functions that report progress and report and exit
#   deps             the prefix the libraries are installed into
#   work             a scratch folder: sources, build folders, logs
#   configure        array: the command that configures a CMake project for
#                    the target, before its source and build folders
#   target_options   array: options the target adds to every library
#   sdl_options      array: options the target adds to SDL2
#
# and then calls cross_libraries TOOLS, where TOOLS names the compiler and
# whatever else sets up the target (it goes into the stamp).

# The exact source packages the libraries are built from. Debian's archive
# keeps one version of each per release; when a point release replaces one,
# fetching fails and these need raising (and both cross builds checking).
sources=(
  "freetype 2.12.1+dfsg-5+deb12u4"
  "libsdl2 2.26.5+dfsg-1"
  "libsdl2-mixer 2.6.2+dfsg-2"
)
mirror="http://deb.debian.org/debian bookworm main"

# fetch_sources and source_of.
. "$root/scripts/lib/debian-sources.sh"
. "$root/scripts/lib/require.sh"
require cmake

cross_build_library() { # name source-folder cmake-options...
  local name=$1 source=$2
  shift 2
  step "building $name"
  if ! {
    "${configure[@]}" -S "$source" -B "$work/build-$name" -DCMAKE_INSTALL_PREFIX="$deps" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF "${target_options[@]}" "$@" &&
      cmake --build "$work/build-$name" -j"$jobs" &&
      cmake --install "$work/build-$name"
  } >"$work/$name.log" 2>&1; then
    tail -n 30 "$work/$name.log" >&2
    fail "$name did not build; the whole log is $work/$name.log"
  fi
}

cross_build_libraries() {
  # FreeType: TrueType outlines only; the game's fonts need none of the
  # optional libraries.
  cross_build_library freetype "$(source_of freetype)" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  cross_build_library SDL2 "$(source_of libsdl2)" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    "${sdl_options[@]}"
  # SDL2_mixer with its own WAV, MP3 (dr_mp3) and Ogg Vorbis (stb_vorbis)
  # decoders, the three formats of sound/, and no codec library beside them;
  # against the SDL2 just built.
  cross_build_library SDL2_mixer "$(source_of libsdl2-mixer)" -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_VENDORED=OFF \
    -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF \
    -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS=STB -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_DRMP3=ON \
    -DSDL2MIXER_MP3_MPG123=OFF -DSDL2MIXER_WAVE=ON -DSDL2_DIR="$deps/lib/cmake/SDL2"
  local library
  for library in libfreetype.a libSDL2.a libSDL2_mixer.a; do
    [ -f "$deps/lib/$library" ] || fail "$deps/lib/$library is missing after the build"
  done
}

# What the prefix was built from: the sources, the target's tools, and the
# build steps with the target's options. A prefix is kept while its stamp is
# the same and built again, from scratch, when anything in it changes.
cross_stamp() { # tools
  printf '%s\n' "${sources[@]}"
  echo "$mirror"
  echo "tools $1"
  echo "steps $({ declare -f cross_build_library cross_build_libraries; declare -p configure target_options sdl_options; } |
    sha256sum | cut -d' ' -f1)"
}

cross_libraries() { # tools
  local stamp_text
  stamp_text=$(cross_stamp "$1")
  [ "$(cat "$deps/.stamp" 2>/dev/null)" = "$stamp_text" ] && return
  local started=$SECONDS
  step "building the libraries into $deps (takes minutes)"
  # The old prefix goes only once the new sources are here: a version
  # Debian no longer offers leaves the last build in place.
  rm -rf "$work"
  fetch_sources
  rm -rf "$deps"
  cross_build_libraries
  # The decoders of sound/'s formats: without one, its files would play as
  # silence, with no error the game shows.
  local decoder
  for decoder in WAV DRMP3 OGG; do
    grep -qa "Mix_MusicInterface_$decoder" "$deps/lib/libSDL2_mixer.a" ||
      fail "SDL2_mixer was built without its $decoder decoder"
  done
  printf '%s' "$stamp_text" >"$deps/.stamp"
  step "libraries built in $((SECONDS - started)) s"
}
