#!/usr/bin/env bash
# Cross-builds the module, the runtime, vesk and the test programs for 64-bit
# ARM Linux with the aarch64-linux-gnu toolchain, then runs the test suite
# and vesk's tour under qemu-aarch64 with the cross sysroot.
# Usage: scripts/cross-aarch64.sh [BUILD_DIR]      default build-arm
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps-cross.sh
build=${1:-build-arm}
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=ON -DVESK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)"
VESK_TOUR_VESK="qemu-aarch64 -L /usr/aarch64-linux-gnu $build/tools/vesk" scripts/tour.sh
