#!/bin/sh
# Fails unless the library exports exactly the four QorMxf functions.
set -e
library=${1:-build/bin/libvexmend.so}
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort | tr '\n' ' ')
expected="QorMxfAdvanceRepair QorMxfDestroy QorMxfGeneralRepair QorMxfInit "
if [ "$exported" != "$expected" ]; then
  echo "unexpected exports: $exported" >&2
  exit 1
fi
echo "exports: $exported"
