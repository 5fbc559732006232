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
# emulators), and run by another user they run themselves again through sudo.
if [[ " check-debian check-quick-start enable-emulation in-chroot install-missing make-chroot
  test-arches " == *[[:space:]]${script}[[:space:]]* ]] && [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=QUORVEL_EMULATE,QUORVEL_SOAK_KEYS,DEB_BUILD_OPTIONS "$PWD/scripts/$script" "$@"
fi

# A run is the first script started and all it starts. Its temporary files, the minimal
# Debians it made among them, live in one directory, which goes when the run ends, with
# the emulators registered only because QUORVEL_EMULATE asked. .ci/run's run holds all
# its steps, so that a step it stops from outside leaves nothing behind either.
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

# untested WHAT REASON: a check could not run this time for a reason outside the project,
# such as packages the archive cannot give today: said, and kept for .ci/run's summary.
untested() {
  echo "UNTESTED this run: $1: $2" >&2
  [ -z "${QUORVEL_UNTESTED:-}" ] || echo "$1: $2" >>"$QUORVEL_UNTESTED"
}

# lock NAME: holds this machine's lock of that name until the script ends, so that scripts
# side by side take turns at what the machine has once: apt and dpkg, the emulators, a
# minimal Debian being made. Opened for reading, as root and a user share it.
lock() {
  local file=/tmp/quorvel-$1.lock fd
  [ -e "$file" ] || (umask 022 && : >"$file")
  exec {fd}<"$file"
  flock "$fd"
}

# What the tests need: the game's packages, the tests' libraries, valgrind, what checks
# the manual page, the menu entry and the catalogue entry; and the static checks.
test_packages=(g++ cmake make pkg-config libncurses-dev libgtest-dev libvterm-dev valgrind
  groff-base mandoc desktop-file-utils appstream git cppcheck clang-tidy clang-format shellcheck)

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
# no warning, every informational tag shown. Suppressed here, not overridden in debian/
# (docs/packaging.md says why), are Debian 13's tags of a package built for Debian 12 too:
#   appstream-metadata-validation-failed: the metadata's missing home page, which quorvel
#     has no public address to name (tests/package/check_desktop checks all the rest);
#   out-of-date-standards-version: 4.6.2, the newest that Debian 12's lintian knows.
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
