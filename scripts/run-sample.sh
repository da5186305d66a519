#!/usr/bin/env bash
# Builds Istrel and decodes the sample stream shipped in the repository the
# way a host does, writing its first frame as a picture to look at.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DISTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build --target istrel_cli istrel
sample=samples/class100_720p_422_10bit.264
build/tools/istrel info "$sample"
build/tools/istrel decode "$sample" --md5 --png build/sample.png
echo "First frame: build/sample.png; md5s to compare: samples/class100_720p_422_10bit.md5"
