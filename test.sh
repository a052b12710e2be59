#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite: the four stages of
# CMakePresets.json in order (the sanitizer build of the unit tests, the device under
# ThreadSanitizer, the fuzz targets briefly, then every test of the main build). One stage
# reruns by hand with `cmake --build --preset X && ctest --preset X`. Exits non-zero on any
# failure; the output ends with CTest's summary.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
velkaf_install_missing "${VELKAF_PACKAGES[@]}" "${VELKAF_TEST_PACKAGES[@]}" || exit 1
failed=0
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if velkaf_build_preset asan build-asan; then
  ctest --preset asan -j "$jobs" || failed=1
else
  failed=1
fi

echo "== Device tests under ThreadSanitizer (the frame hand-over, the event and render threads, the shell)"
if velkaf_build_preset tsan build-tsan; then
  ctest --preset tsan -j "$jobs" || failed=1
else
  failed=1
fi

echo "== Fuzz targets"
if velkaf_build_preset fuzz build-fuzz; then
  ctest --preset fuzz || failed=1
else
  failed=1
fi

echo "== Build and tests"
if velkaf_build_preset main build; then
  ctest --preset main -j "$jobs" || failed=1
else
  failed=1
  echo "0 passed, 1 failed"
fi
exit "$failed"
