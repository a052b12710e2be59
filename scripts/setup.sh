# Sourced by run.sh and test.sh: installs the Debian packages that are missing (quietly, with
# sudo when not root, only when something is missing) and configures and builds into build/.

VELKAF_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-translations-l10n
  libmpv-dev libtag1-dev libavformat-dev libxcb-shm0-dev libxcb-screensaver0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg xvfb xauth
  fonts-ipafont-gothic
)
# Only the test suite needs these: the fuzzing compiler and runtime, the desktop-file and
# metadata validators of the install test, the bus, an MPRIS client and pointer clicks of the
# desktop test, a window manager with the window tools of the tests on a real desktop, a sound
# server and its recorder for the test of continuous sound, and the accessibility bus and the
# screen-reader client of the accessibility test, the screen reader itself, tag writing for the
# bus's metadata and the loudness tests, the package tools of the package test, and the encoders
# other people's files come from for the tests of changes of track.
VELKAF_TEST_PACKAGES=(clang libfuzzer-14-dev libclang-rt-14-dev
  desktop-file-utils appstream shared-mime-info file dbus playerctl xdotool openbox x11-utils
  pulseaudio pulseaudio-utils at-spi2-core python3-pyatspi orca python3-mutagen dpkg-dev lintian
  lame vorbis-tools opus-tools fuse3 python3-fuse)

velkaf_install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq >/dev/null || return 1
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}

velkaf_configure_and_build() {
  local dir=$1; shift
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null || return 1
  fi
  cmake --build "$dir" -j "$jobs" "${VELKAF_BUILD_TARGETS[@]/#/--target=}" || return 1
}

# One stage of CMakePresets.json (asan, tsan, fuzz, main): configured once into its binary
# folder, then built; its options and targets come from the preset, so that
# `cmake --build --preset X` and `ctest --preset X` rerun the same stage by hand.
velkaf_build_preset() {
  local preset=$1 dir=$2
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  if [ ! -f "$dir/build.ninja" ]; then
    cmake --preset "$preset" >/dev/null || return 1
  fi
  cmake --build --preset "$preset" -j "$jobs" || return 1
}
