#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test twice:
# a plain build (warnings as errors) and one with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELVANOR_WERROR=ON >/dev/null
cmake --build build-test -j"$jobs"
(cd build-test && ctest --output-on-failure -j"$jobs")

# Every fuzz target once over each of its seeds (clang with libFuzzer, its
# own build folder with only the fuzz targets): a seed that fails fails the
# tests.  Longer fuzzing is scripts/fuzz.sh SECONDS.
if command -v clang++-14 >/dev/null 2>&1 || command -v clang++ >/dev/null 2>&1; then
  bash scripts/fuzz.sh --seeds
else
  echo "clang++ not installed: the fuzz seeds are not run"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPELVANOR_SANITIZE=ON -DPELVANOR_WERROR=ON -DPELVANOR_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs")
