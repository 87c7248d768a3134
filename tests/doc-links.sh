#!/bin/sh
# Checks the links of README.md and docs/*.md that stay in the repository:
# each must lead to a file that exists and, when it names a heading
# (FILE#anchor or #anchor), to a heading of that file under the anchor GitHub
# makes of it (lower case, punctuation dropped, spaces as hyphens, -1, -2 ...
# for a repeated heading). Web addresses are not followed. Prints every broken
# link as FILE:LINE: TARGET: REASON and exits 1 when there is one.
#
#   tests/doc-links.sh [SOURCE_DIR] [FILE.md ...]
set -eu
cd "${1:-$(dirname "$0")/..}"
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- README.md docs/*.md

exec awk '
# The anchors of a Markdown file, once per file: anchors[file, anchor].
function read_anchors(file,    line, fenced, h, n) {
  if (file in scanned) return scanned[file]
  fenced = 0
  while ((n = (getline line < file)) > 0) {
    if (line ~ /^[ \t]*(```|~~~)/) { fenced = !fenced; continue }
    if (fenced || line !~ /^#+[ \t]/) continue
    h = line
    sub(/^#+[ \t]+/, "", h); sub(/[ \t]+$/, "", h)
    h = tolower(h)
    gsub(/[]\[!"#$%&'\''()*+,.\/:;<=>?@\\^`{|}~]/, "", h)
    gsub(/ /, "-", h)
    if ((file, h) in anchors) h = h "-" (++repeats[file, h])
    anchors[file, h] = 1
  }
  close(file)
  scanned[file] = (n == 0)
  return scanned[file]
}

function fail(where, target, why) {
  printf "%s: %s: %s\n", where, target, why
  broken++
}

function check(source, where, target,    path, anchor, dir, i) {
  sub(/[ \t]+".*"$/, "", target)             # a title after the address
  sub(/^</, "", target); sub(/>$/, "", target)
  if (target ~ /^[a-zA-Z][a-zA-Z0-9+.-]*:/) return   # http:, https:, mailto:
  path = target; anchor = ""
  i = index(target, "#")
  if (i > 0) { path = substr(target, 1, i - 1); anchor = substr(target, i + 1) }
  if (path == "") path = source
  else {
    dir = source
    if (!sub(/\/[^\/]*$/, "", dir)) dir = "."
    path = dir "/" path
    while (sub(/\/\.\//, "/", path)) {}
    sub(/^\.\//, "", path)
    while (sub(/[^\/.][^\/]*\/\.\.\//, "", path)) {}
  }
  if (system("test -e \"" path "\"") != 0) { fail(where, target, "no such file " path); return }
  if (anchor == "") return
  if (path !~ /\.md$/) { fail(where, target, "an anchor into a file that is not Markdown"); return }
  if (!read_anchors(path)) { fail(where, target, "cannot read " path); return }
  if (!((path, anchor) in anchors)) fail(where, target, "no heading with the anchor #" anchor " in " path)
}

# A paragraph at a time, so that a link or a code span may wrap.
function flush(    text, rest, m, inner) {
  if (para == "") return
  text = para
  gsub(/`[^`]*`/, "", text)                  # code spans hold no links
  rest = text
  while (match(rest, /\]\([^)]*\)/)) {
    inner = substr(rest, RSTART + 2, RLENGTH - 3)
    gsub(/\n/, " ", inner)
    check(file, file ":" start, inner)
    rest = substr(rest, RSTART + RLENGTH)
  }
  para = ""
}

FNR == 1 { flush(); fenced = 0; files++ }
/^[ \t]*(```|~~~)/ { flush(); fenced = !fenced; next }
fenced { next }
/^[ \t]*$/ { flush(); next }
{ if (para == "") { start = FNR; file = FILENAME }; para = para (para == "" ? "" : "\n") $0 }
END {
  flush()
  if (broken) { printf "%d broken link(s)\n", broken; exit 1 }
  printf "links of %d file(s) resolve\n", files
}
' "$@"
