#!/bin/sh
# Checks the shape of the advance-repair engine that keeps its stages apart:
# the engine class stays small and its header light, MXF keys are spelled in
# one file, one library source opens files for reading, and the host never
# reads the library's log text for its figures. Exit status 1 on a breach.
cd "$(dirname "$0")/.."
engine=code/src/MxfAdvanceRepair/MxfAdvanceRepair.h
status=0
fail() { echo "check-structure: $*"; status=1; }

# Members of the engine class: declarations in its body, with inline bodies,
# comments and access labels left out.
members=$(python3 - "$engine" <<'PY'
import re, sys
text = re.sub(r'//[^\n]*', '', open(sys.argv[1]).read())
body = text[text.index('class MxfAdvanceRepair final {') :]
body = body[body.index('{') + 1 :]
depth, flat = 0, ''
for c in body:
    if c == '{':
        depth += 1
        if depth == 1:
            flat += ';'
        continue
    if c == '}':
        if depth == 0:
            break
        depth -= 1
        continue
    if depth == 0:
        flat += c
flat = re.sub(r'\b(public|private|protected)\s*:', '', flat)
print(sum(1 for part in flat.split(';') if part.strip()))
PY
)
[ "$members" -le 50 ] || fail "engine class declares $members members (at most 50)"
includes=$(grep -c '^#include "' "$engine")
[ "$includes" -le 3 ] || fail "engine header includes $includes project headers (at most 3)"
keys=$(grep -rliE '0x06, 0x0e, 0x2b, 0x34' code/src | wc -l)
[ "$keys" -eq 1 ] || fail "MXF key bytes spelled in $keys files (one: mxf/Keys.h)"
readers=$(grep -rlE 'ifstream|FileInputStream|fopen|ios::in' code/src | grep -v '/FileReader\.h$')
[ "$readers" = code/src/FileReader.cpp ] ||
  fail "library sources that open files for reading: $readers (one: FileReader.cpp)"
if grep -rn "counts[ ]is" tools/vexmend; then fail "the host reads the library's log text"; fi
if grep -rn "ElementWalk" code; then fail "a second element walk"; fi
[ $status -eq 0 ] && echo "check-structure: engine of $members members, $includes project headers"
exit $status
