#!/usr/bin/env bash
# Installs the Debian packages of the cross builds, only those that are
# missing: mingw-w64 (posix threads) and wine64 for Windows, the aarch64 GNU
# toolchain and qemu-user for the second CPU, and GoogleTest's sources, which
# both cross builds compile with their own compiler.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
          g++-aarch64-linux-gnu qemu-user googletest cmake make python3)
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
