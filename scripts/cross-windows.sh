#!/usr/bin/env bash
# Cross-builds the module (Vesk_base_math.dll), the runtime DLL, vesk.exe and
# the test programs for 64-bit Windows with mingw-w64, then runs under wine64
# the test suite (with the export-list and ordinal checks and the plug-in
# loaded by ordinal) and vesk's tour.
# Usage: scripts/cross-windows.sh [BUILD_DIR]      default build-win
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps-cross.sh
build=${1:-build-win}
cxx=x86_64-w64-mingw32-g++-posix
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=ON -DVESK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

# The programs find the compiler's runtime DLLs through WINEPATH; one wine
# server serves every program of the run.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix} WINEARCH=win64 WINEDEBUG=-all
export WINEPATH="$(dirname "$($cxx -print-file-name=libstdc++-6.dll)");$(dirname "$($cxx -print-file-name=libwinpthread-1.dll)")"
"$wine" cmd /c exit >/dev/null 2>&1 || true
"$wineserver" -p 2>/dev/null || true  # already running: fine
trap '"$wineserver" -k 2>/dev/null || true' EXIT

ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)"
VESK_TOUR_VESK="$wine $build/bin/vesk.exe" scripts/tour.sh
