#!/usr/bin/env bash
# Builds Istrel and runs it on the sample stream shipped in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DISTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build --target istrel_cli istrel
build/tools/istrel info samples/class100_720p_422_10bit.264
