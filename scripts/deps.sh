#!/usr/bin/env bash
# Installs the Debian packages the build, tests, benchmarks, fuzzer and the
# Debian package (scripts/package-deb.sh: dpkg-shlibdeps, file, pkg-config)
# need, only those that are missing. Given package names, installs those
# instead (scripts/deps-cross.sh).
set -euo pipefail
packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev liblapack-dev libeigen3-dev libgsl-dev
          clang libclang-rt-14-dev dpkg-dev file pkgconf)
[ $# -gt 0 ] && packages=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
