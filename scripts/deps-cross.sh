#!/usr/bin/env bash
# Installs the Debian packages of the cross builds, only those that are
# missing: mingw-w64 (posix threads) and wine64 for Windows, the aarch64 GNU
# toolchain and qemu-user for the second CPU, GoogleTest's sources, which
# both cross builds compile with their own compiler, and python3 for the
# platform comparison.
set -euo pipefail
exec "$(dirname "$0")/deps.sh" g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 \
    g++-aarch64-linux-gnu qemu-user googletest cmake make python3
