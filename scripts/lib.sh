# What the scripts here share; each sources it first, and finds itself at the top of the
# tree. Not a script to run.
# shellcheck shell=bash disable=SC2034 # the variables are the sourcing scripts'
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
script=${0##*/}
jobs=$(nproc)
# This machine's Debian release (bookworm, trixie ...) and architecture.
here=$(sed -n "s/^VERSION_CODENAME=//p" /etc/os-release 2>/dev/null || true)
native=$(dpkg --print-architecture 2>/dev/null || true)
# What needs root runs through sudo for anyone else.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

fail() {
  echo "$script: $*" >&2
  exit 1
}

# build_and_test PRESET [CMAKE_OPTION...]: configures, builds and tests one of the build
# trees of CMakePresets.json, every warning an error.
build_and_test() {
  local preset=$1
  shift
  cmake --preset "$preset" "$@"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
}

# lintian_options RELEASE: how lintian of that release judges the package: no error and
# no warning, every informational tag shown. The tags overridden in debian/ are those
# every release agrees on; these are suppressed here instead, since each comes of the
# package being built for Debian 12 as well, and Debian 12's lintian would call an
# override of the one an unknown tag and of the other an unused override:
#   appstream-metadata-validation-failed (Debian 13): its appstreamcli fails the
#     metadata for its missing home page, which quorvel, with no public address yet,
#     cannot name (tests/package/check_desktop holds it to every other check there);
#   out-of-date-standards-version (Debian 13): the package stays at 4.6.2, the newest
#     that Debian 12's lintian knows, and a newer one it warns of.
lintian_options() {
  local options="--fail-on error,warning --display-info --pedantic"
  [ "$1" = bookworm ] ||
    options+=" --suppress-tags appstream-metadata-validation-failed,out-of-date-standards-version"
  echo "$options"
}

# links_wide_curses PROGRAM: the game draws with the shared wide curses, never the
# narrow one, with which every suit would show as escapes.
links_wide_curses() {
  local needed
  needed=$(readelf -dW "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  if ! grep -qx libncursesw.so.6 <<<"$needed" || grep -qx libncurses.so.6 <<<"$needed"; then
    fail "$1 is not linked to the wide curses alone: it loads ${needed//$'\n'/ }"
  fi
}
