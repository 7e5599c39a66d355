#!/usr/bin/env bash
# Runs one corpus of vesk calls (tools/platforms/corpus.calls: every row of
# the function table over the arguments of the reference tables, in line
# mode) on x86-64 Linux, on Windows under wine64 and on aarch64 under
# qemu-aarch64, and compares the outputs (tools/platforms/compare.py).
# Expects the builds of scripts/test.sh, scripts/cross-windows.sh and
# scripts/cross-aarch64.sh. Usage: scripts/platforms.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-platforms}
mkdir -p "$out"
corpus=tools/platforms/corpus.calls
cxx=x86_64-w64-mingw32-g++-posix
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix} WINEARCH=win64 WINEDEBUG=-all
export WINEPATH="$(dirname "$($cxx -print-file-name=libstdc++-6.dll)");$(dirname "$($cxx -print-file-name=libwinpthread-1.dll)")"

# Exit status 1 only says that some call raised a module error.
build/tools/vesk < "$corpus" > "$out/linux-x86_64.txt" || [ $? -eq 1 ]
"$wine" build-win/bin/vesk.exe < "$corpus" > "$out/windows-x86_64.txt" || [ $? -eq 1 ]
qemu-aarch64 -L /usr/aarch64-linux-gnu build-arm/tools/vesk < "$corpus" > "$out/linux-aarch64.txt" || [ $? -eq 1 ]
python3 tools/platforms/compare.py "$corpus" linux-x86_64="$out/linux-x86_64.txt" \
    windows-x86_64="$out/windows-x86_64.txt" linux-aarch64="$out/linux-aarch64.txt"
