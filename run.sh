#!/usr/bin/env bash
# Installs what is missing, builds, and starts VELKAF with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
velkaf_install_missing "${VELKAF_PACKAGES[@]}"
VELKAF_BUILD_TARGETS=(velkaf)
velkaf_configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/velkaf "$@"
fi

echo "No display found: starting VELKAF on a virtual display (Xvfb); Ctrl+C quits it in order."
# Xvfb runs in a session of its own, so Ctrl+C reaches only the player, which then saves its
# list and settings and ends; the display goes after it.
display=99
while [ -e "/tmp/.X${display}-lock" ]; do display=$((display + 1)); done
setsid Xvfb ":${display}" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
trap 'true' INT TERM
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display}" ] && break; sleep 0.1; done
status=0
DISPLAY=":${display}" build/velkaf "$@" || status=$?
exit "$status"
