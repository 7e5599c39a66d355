#!/usr/bin/env bash
# Builds the module and the command-line host, then takes a short tour of
# the script functions through vesk, the way the scripting host calls them.
set -euo pipefail
cd "$(dirname "$0")/.."
# VESK_TOUR_VESK names another vesk command to tour with (a cross-built one
# under its emulator, for instance); the native build is then skipped.
if [ -n "${VESK_TOUR_VESK:-}" ]; then
    read -r -a vesk <<< "$VESK_TOUR_VESK"
else
    scripts/deps.sh
    # Shares build/ with scripts/test.sh and leaves its options as they are.
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j"$(nproc)" --target vesk Vesk_base_math
    vesk=(build/tools/vesk)
fi
printf '$ vesk --version\n'
"${vesk[@]}" --version
while IFS= read -r call; do
    [ -z "$call" ] && continue
    printf "\$ vesk '%s'\n" "$call"
    "${vesk[@]}" "$call" < /dev/null || true
done < scripts/tour.calls
printf '\n$ vesk < scripts/tour.calls   (one output line per input line)\n'
"${vesk[@]}" < scripts/tour.calls || true
echo
echo '$ vesk --list  (the first five of the 37 rows)'
"${vesk[@]}" --list | sed -n 1,5p  # sed reads to the end: vesk never writes into a closed pipe
