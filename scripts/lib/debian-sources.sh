# debian-sources.sh -- sourced by cross-libraries.sh, which builds the
# cross builds' libraries: fetching Debian's source packages through an apt
# configuration of our own, so that the machine's stays as it is. Uses:
#
#   sources   array of "PACKAGE VERSION" (the pinned source packages)
#   mirror    the deb-src line's archive, suite and component
#   work      the folder to fetch and unpack into ($work/src)
#   fail      a function that reports and exits
#   step      a function that reports progress

. "$root/scripts/lib/require.sh"
require dpkg-source

# Unpacks every pinned package into $work/src.
fetch_sources() {
  mkdir -p "$work/apt/lists/partial" "$work/apt/sources.list.d" "$work/apt/cache" "$work/src"
  echo "deb-src $mirror" >"$work/apt/sources.list"
  local apt_options=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts="$work/apt/sources.list.d"
    -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache" -o APT::Sandbox::User=root)
  apt-get "${apt_options[@]}" update -qq >"$work/apt.log" 2>&1 ||
    fail "could not read Debian's source index ($mirror): $(tail -n 3 "$work/apt.log")"
  local entry package version offered
  for entry in "${sources[@]}"; do
    read -r package version <<<"$entry"
    step "fetching $package $version"
    if ! (cd "$work/src" && apt-get "${apt_options[@]}" source -qq "$package=$version") >>"$work/apt.log" 2>&1; then
      offered=$(apt-cache "${apt_options[@]}" showsrc "$package" 2>/dev/null | sed -n 's/^Version: //p' | paste -sd ' ' -)
      fail "Debian's archive no longer has $package $version (it offers: ${offered:-nothing}). Raise the version in scripts/lib/cross-libraries.sh and check both cross builds again."
    fi
  done
}

# The folder dpkg-source unpacked a package into: PACKAGE-UPSTREAMVERSION.
source_of() {
  local entry package version
  for entry in "${sources[@]}"; do
    read -r package version <<<"$entry"
    [ "$package" = "$1" ] || continue
    [ -d "$work/src/$package-${version%-*}" ] || fail "no $work/src/$package-${version%-*} after fetching"
    echo "$work/src/$package-${version%-*}"
    return
  done
  fail "$1 is not among the pinned sources"
}
