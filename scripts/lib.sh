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

fail() {
  echo "$script: $*" >&2
  exit 1
}

# The one rule for root: these scripts need it throughout (apt and dpkg, chroots,
# emulators), and run by anyone else they run themselves again through sudo. The others
# never need it.
case $script in
  check-debian | check-quick-start | enable-emulation | in-chroot | install-missing | \
    make-chroot | test-arches)
    if [ "$(id -u)" -ne 0 ]; then
      exec sudo --preserve-env=QUORVEL_EMULATE,QUORVEL_SOAK_KEYS,DEB_BUILD_OPTIONS \
        "$PWD/scripts/$script" "$@"
    fi
    ;;
esac

# A run is the first script started and every script it starts. Its temporary files,
# the minimal Debians it made among them, live in one directory, which goes when the run
# ends, with the emulators registered only because QUORVEL_EMULATE asked (see
# scripts/enable-emulation). .ci/run makes the directory itself, so that a step it stops
# from outside leaves nothing behind either.
end_run() {
  local entry
  if [ -s "$QUORVEL_RUN/forced" ]; then
    while read -r entry; do echo -1 >"$entry" || true; done <"$QUORVEL_RUN/forced"
  fi
  rm -rf --one-file-system "$QUORVEL_RUN" || true
}
if [ -z "${QUORVEL_RUN:-}" ]; then
  QUORVEL_RUN=$(mktemp -d -t quorvel.XXXXXX)
  # Open to all, as sbuild's and autopkgtest's chroots of mapped ids unpack under TMPDIR.
  chmod 0755 "$QUORVEL_RUN"
  mkdir -m 1777 "$QUORVEL_RUN/tmp"
  export QUORVEL_RUN TMPDIR=$QUORVEL_RUN/tmp
  trap end_run EXIT
fi

# untested WHAT REASON: a part of the checks could not run this time for a reason outside
# the project, such as an architecture whose packages the archive cannot give today:
# said in the log, and kept for the summary at the end of .ci/run's.
untested() {
  echo "UNTESTED this run: $1: $2" >&2
  [ -z "${QUORVEL_UNTESTED:-}" ] || echo "$1: $2" >>"$QUORVEL_UNTESTED"
}

# lock NAME: holds this machine's lock of that name until the script ends, so that the
# scripts run side by side take turns at what the machine has once: apt and dpkg, the
# emulators, a minimal Debian being made. Opened for reading, as root and a user share it.
lock() {
  local file=/tmp/quorvel-$1.lock fd
  [ -e "$file" ] || (umask 022 && : >"$file")
  exec {fd}<"$file"
  flock "$fd"
}

# The packages the tests and the static checks need, beside the game's.
test_packages=(
  g++ cmake make pkg-config libncurses-dev
  libgtest-dev libvterm-dev     # the unit and end-to-end tests
  valgrind                      # the leak checks
  groff-base mandoc             # the manual page's check
  desktop-file-utils appstream  # the menu entry's and the catalogue entry's
  git cppcheck clang-tidy clang-format shellcheck  # the static checks
)

# build PRESET [TARGET...]: configures and builds one of the build trees of
# CMakePresets.json, every warning an error; build_and_test PRESET also runs its tests.
build() {
  local preset=$1 targets=()
  shift
  [ $# -eq 0 ] || targets=(--target "$@")
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" "${targets[@]}"
}
build_and_test() {
  build "$1"
  ctest --preset "$1" -j "$jobs"
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
