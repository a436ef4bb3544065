#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELVANOR_BUILD_TESTS=OFF -DPELVANOR_BUILD_BENCH=OFF >/dev/null
cmake --build build --target pelvanor -j"$(nproc)"
exec ./build/app/pelvanor "$@"
