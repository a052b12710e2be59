#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite:
# the sanitizer build of the unit tests, the fuzz targets briefly, then every test of the
# main build. Exits non-zero on any failure; the output ends with CTest's summary.
set -uo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
velkaf_install_missing "${VELKAF_PACKAGES[@]}" "${VELKAF_TEST_PACKAGES[@]}" || exit 1
VELKAF_BUILD_TARGETS=()
failed=0
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
if velkaf_configure_and_build build-asan -DVELKAF_SANITIZE=ON -DVELKAF_GUI=OFF -DVELKAF_BENCH=OFF \
     -DCMAKE_BUILD_TYPE=Debug; then
  ctest --test-dir build-asan --output-on-failure -j "$jobs" || failed=1
else
  failed=1
fi

echo "== Device tests under ThreadSanitizer (the frame hand-over, the event and render threads, the shell)"
VELKAF_BUILD_TARGETS=(device_test velkaf-device)
if velkaf_configure_and_build build-tsan -DVELKAF_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread; then
  TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/device/tsan-suppressions.txt" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(DeviceTest|MediaTable|DeviceShellTest)[./]' \
    || failed=1
else
  failed=1
fi
VELKAF_BUILD_TARGETS=()

echo "== Fuzz targets"
if CXX=clang++ CC=clang velkaf_configure_and_build build-fuzz -DVELKAF_FUZZ=ON -DVELKAF_GUI=OFF \
     -DVELKAF_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  ctest --test-dir build-fuzz --output-on-failure || failed=1
else
  failed=1
fi

echo "== Build and tests"
if velkaf_configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo; then
  ctest --test-dir build --output-on-failure -j "$jobs" || failed=1
else
  failed=1
  echo "0 passed, 1 failed"
fi
exit "$failed"
