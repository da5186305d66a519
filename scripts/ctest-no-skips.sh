#!/usr/bin/env bash
# Runs ctest in BUILD_DIR with the arguments given and fails when a test
# reports a skip: a test that cannot run on a machine is not instantiated
# there, so a skip can only hide a fault. Prints the count either way.
# usage: scripts/ctest-no-skips.sh BUILD_DIR [CTEST_ARGS...]
set -euo pipefail
build=$1
shift
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(cd "$build" && ctest --output-on-failure "$@") | tee "$log"
skipped=$(grep -c '\*\*\*Skipped' "$log" || true)
echo "skipped tests: $skipped"
if ((skipped > 0)); then
  grep '\*\*\*Skipped' "$log" >&2
  echo "ctest-no-skips: $skipped tests reported a skip; instantiate them only where they can run" >&2
  exit 1
fi
