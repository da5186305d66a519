#!/usr/bin/env bash
# Fails when code outside the AVX2 level uses an instruction a processor of
# the SSE4.1 baseline lacks (AVX and AVX2, BMI1, BMI2, LZCNT): every such
# function must belong to an avx2 namespace (base/level.h, dsp/x86/avx2_*).
# usage: check_isa_confinement.sh LIBRARY
set -euo pipefail
library=$1
objdump -d --no-show-raw-insn -C "$library" | awk '
  /^[0-9a-f]+ <.*>:$/ {
    name = $0
    sub(/^[0-9a-f]+ </, "", name)
    sub(/>:$/, "", name)
    # A name the demangler cannot read stays mangled: 4H2644avx2 is H264::avx2.
    allowed = name ~ /(^|::)avx2::/ || name ~ /4H2644avx2/
    next
  }
  NF >= 2 && !allowed {
    op = $2
    if (op ~ /^v[a-z]/ && op !~ /^ver[rw]$/ ||
        op ~ /^(andn|bextr|blsi|blsmsk|blsr|bzhi|lzcnt|mulx|pdep|pext|rorx|sarx|shlx|shrx)$/) {
      if (!(name in seen)) print "  " name ": " op
      seen[name] = 1
      bad = 1
    }
  }
  END {
    if (bad) {
      print "functions outside the avx2 level use instructions beyond SSE4.1" > "/dev/stderr"
      exit 1
    }
  }'
echo "$library: instructions beyond SSE4.1 only in the avx2 level"
