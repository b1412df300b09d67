#!/usr/bin/env bash
# Families meet through their internal C++ interfaces (<family>/ops.h), never
# through the exported C functions: no file of a family that has an ops.h may
# call a zali*/zals*/zalib*/zalcv* function. Definitions of exports (lines
# starting with extern "C") and the aligned allocator are allowed.
set -euo pipefail
src="${1:?usage: check_internal_calls.sh SRC_DIR}"
status=0
for ops in "$src"/*/ops.h; do
  [ -e "$ops" ] || continue
  family=$(dirname "$ops")
  hits=$(grep -nE '\bzal(i|s|ib|cv)[A-Z][A-Za-z0-9_]*[[:space:]]*\(' "$family"/*.h "$family"/*.cpp 2>/dev/null \
         | grep -vE ':[[:space:]]*extern "C"' \
         | grep -vE '\bzals(Malloc_[0-9a-z]+|Free)[[:space:]]*\(' \
         | grep -vE 'ZAL_DECLARED\(' || true)
  if [ -n "$hits" ]; then
    echo "exported functions called inside $(basename "$family"):"
    echo "$hits"
    status=1
  fi
done
exit $status
