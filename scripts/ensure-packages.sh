#!/usr/bin/env bash
# Installs the Debian packages Istrel builds and tests with, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format libclang-rt-dev binutils libboost-dev libgtest-dev libpng-dev
  libbenchmark-dev pkgconf g++-mingw-w64-x86-64 libx264-dev qemu-user "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
