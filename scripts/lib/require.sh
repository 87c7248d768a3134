# Sourced by the scripts: `require PROGRAM...` stops the script with one line
# naming the first program that is not installed and its Debian package
# (from scripts/lib/programs), instead of a "command not found" somewhere
# later.
require() {
  local program package
  for program in "$@"; do
    command -v "$program" >/dev/null 2>&1 && continue
    package=$(awk -v p="$program" '$1 == p {print $2}' "${BASH_SOURCE[0]%/*}/programs")
    if [ -n "$package" ]; then
      echo "${0##*/}: needs the program $program, which is not installed: scripts/setup installs it (Debian package $package)" >&2
    else
      echo "${0##*/}: needs the program $program, which is not installed (and not in scripts/lib/programs)" >&2
    fi
    exit 1
  done
}
