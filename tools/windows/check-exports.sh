#!/bin/bash
# Checks the built vexmend.dll: its export table names exactly the four
# functions of include/vexmend.h, by name, and it needs no DLL that a bare
# Windows installation lacks (the mingw runtime must be linked in).
#
#   tools/windows/check-exports.sh [path/to/vexmend.dll]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
DLL="${1:-$ROOT/build-win/vexmend/bin/vexmend.dll}"
OBJDUMP="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
[ -f "$DLL" ] || { echo "no such file: $DLL" >&2; exit 2; }

dump="$("$OBJDUMP" -p "$DLL")"
status=0

# The name pointer table: lines "\t[   n] +base[   m] 0x... Name" after the
# "[Ordinal/Name Pointer] Table" heading.
exports="$(printf '%s\n' "$dump" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\].*[[:space:]]([A-Za-z_][A-Za-z0-9_@?$]*)$/\1/p' | sort)"
expected="$(printf '%s\n' QorMxfAdvanceRepair QorMxfDestroy QorMxfGeneralRepair QorMxfInit)"
if [ "$exports" == "$expected" ]; then
  echo "exports: OK ($(echo $exports))"
else
  echo "exports: WRONG" >&2
  diff <(echo "$expected") <(echo "$exports") | sed 's/^/  /' >&2 || true
  status=1
fi

# Imported DLLs must all be part of Windows itself.
imports="$(printf '%s\n' "$dump" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' | sort -u)"
foreign="$(printf '%s\n' "$imports" | grep -viE '^(kernel32|user32|advapi32|shell32|ole32|oleaut32|ws2_32|iphlpapi|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|ntdll|bcrypt|rpcrt4|shlwapi|secur32|crypt32)\.dll$' || true)"
if [ -z "$foreign" ]; then
  echo "imports: OK ($(echo $imports))"
else
  echo "imports: needs DLLs outside Windows: $(echo $foreign)" >&2
  status=1
fi
exit $status
