#!/usr/bin/env bash
# Cross-builds the module (Vesk_base_math.dll), the runtime DLL, vesk.exe and
# the test programs for 64-bit Windows with mingw-w64, then runs under wine64
# the test suite (with the export-list and ordinal checks and the plug-in
# loaded by ordinal) and vesk's tour; last packs the release zip and runs
# examples/client built against the unpacked zip.
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

# The release zip (README "Install"), unpacked into a fresh folder:
# examples/client is built against its CMake package and run under wine64
# with only the zip's bin folder on the DLL path, as on a machine without
# mingw-w64.
rm -f "$build"/Vesk_base_math-*-win64.zip
(cd "$build" && cpack -G ZIP)
zip=$(realpath "$build"/Vesk_base_math-*-win64.zip)
unpacked=$build/zip
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
root=$(realpath "$unpacked"/Vesk_base_math-*-win64)
cmake -S examples/client -B "$build/zip-client" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVesk_base_math_DIR="$root/lib/cmake/Vesk_base_math" >/dev/null
cmake --build "$build/zip-client" >/dev/null
WINEPATH="$root/bin" "$wine" "$build/zip-client/vesk_client.exe"
