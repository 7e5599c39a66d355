#!/usr/bin/env bash
# Builds the Debian package (a release build for /usr, then cpack -G DEB),
# installs it with apt-get, builds examples/client against the installed
# package twice, with find_package and with a plain compiler line from
# pkg-config, runs both and the installed vesk, then removes the package
# again (also when a step fails).
# Usage: scripts/package-deb.sh [BUILD_DIR]      default build-deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${1:-build-deb}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVESK_BUILD_TESTS=OFF -DVESK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/vesk-base-math_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/vesk-base-math_*.deb)
dpkg-deb --field "$deb" Package Version Depends

# apt-get waits for the package database while another installation holds it.
apt=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq)
trap '"${apt[@]}" purge vesk-base-math >/dev/null' EXIT
"${apt[@]}" install "./$deb" >/dev/null

client=$build/client
cmake -S examples/client -B "$client/cmake" >/dev/null
grep '^Vesk_base_math_DIR' "$client/cmake/CMakeCache.txt"
cmake --build "$client/cmake" >/dev/null
"$client/cmake/vesk_client"
mkdir -p "$client/pkg-config"
echo "pkg-config: $(pkg-config --modversion Vesk_base_math): $(pkg-config --cflags --libs Vesk_base_math)"
# shellcheck disable=SC2046  # the flags are separate words
g++ -std=c++20 examples/client/main.cpp $(pkg-config --cflags --libs Vesk_base_math) \
    -o "$client/pkg-config/vesk_client"
"$client/pkg-config/vesk_client"
/usr/bin/vesk 'BesselJ0(1)'
