#!/bin/bash
# Checks the built vexmend.dll: its export table names exactly the four
# functions of include/vexmend.h, by name, and it needs no DLL that a bare
# Windows installation lacks (the mingw runtime must be linked in); so must
# the programs installed beside it.
#
#   tools/windows/check-exports.sh [path/to/vexmend.dll [program.exe...]]
# Default: the DLL, vexmend.exe and ffmpeg.exe in build-win/vexmend/host.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
HOST="$ROOT/build-win/vexmend/host"
[ $# -gt 0 ] || set -- "$HOST/vexmend.dll" "$HOST/vexmend.exe" "$HOST/ffmpeg.exe"
DLL="$1"
OBJDUMP="${OBJDUMP:-x86_64-w64-mingw32-objdump}"
for file in "$@"; do [ -f "$file" ] || { echo "no such file: $file" >&2; exit 2; }; done

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
for file in "$@"; do
  imports="$("$OBJDUMP" -p "$file" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p' | sort -u)"
  foreign="$(printf '%s\n' "$imports" | grep -viE '^(kernel32|user32|advapi32|shell32|ole32|oleaut32|ws2_32|iphlpapi|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+|ntdll|bcrypt|rpcrt4|shlwapi|secur32|crypt32)\.dll$' || true)"
  if [ -z "$foreign" ]; then
    echo "imports of $(basename "$file"): OK ($(echo $imports))"
  else
    echo "imports of $(basename "$file"): needs DLLs outside Windows: $(echo $foreign)" >&2
    status=1
  fi
done
exit $status
