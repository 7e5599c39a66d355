#!/bin/sh
# Builds the byte-buffer fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) apart from the CMake build, and runs it for a
# bounded time.
#
#   sh fuzz/run.sh [seconds]        default 60
#
# Needs clang++ with its libFuzzer runtime (Debian: clang, libclang-rt-14-dev).
# The build and the working corpus go to $VESK_FUZZ_DIR (default
# build-fuzz/ at the top of the tree). Exits non-zero when clang++ is missing,
# the build fails or the fuzzer finds a fault.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${VESK_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-60}
cxx=${VESK_FUZZ_CXX:-clang++}

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "fuzz/run.sh: $cxx not found (Debian packages: clang libclang-rt-14-dev)" >&2
    exit 1
fi

mkdir -p "$out/corpus"
"$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer -ffp-contract=off \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" \
    "$root/fuzz/ArraysFuzz.cpp" "$root/containers/Arrays.cpp" "$root/containers/ArraysForms.cpp" \
    "$root"/runtime/*.cpp \
    -o "$out/arrays_fuzz"

# Seeds: valid buffers of both element sizes, a short one and a negative count.
printf '\002\000\000\000\000\000\000\000\000\000\360\077\000\000\000\000\000\000\000\100' > "$out/corpus/seed-doubles"
printf '\003\000\000\000\001\000\000\000\002\000\000\000\003\000\000\000' > "$out/corpus/seed-ints"
printf '\001\000\000' > "$out/corpus/seed-short"
printf '\377\377\377\377\000\000\000\000' > "$out/corpus/seed-negative"

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
exec "$out/arrays_fuzz" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -print_final_stats=1 "$out/corpus"
