#!/bin/bash
# Runs the Windows test program under wine, after checking the DLL's exports.
#
#   tools/windows/run-windows-tests.sh [build folder] [gtest arguments...]
# The build folder is the one given to build-windows.sh (default: build-win).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="$(realpath -m "${1:-$ROOT/build-win}")"
shift || true
BIN="$BUILD/vexmend/bin"

WINE="$(command -v wine64 || true)"
[ -n "$WINE" ] || WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || { echo "wine64 not found" >&2; exit 2; }

"$ROOT/tools/windows/check-exports.sh" "$BIN/vexmend.dll"

# A wine prefix of our own, made once; no desktop integration, no dialogs.
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$WINE" wineboot --init >/dev/null 2>&1 || true
  "$(dirname "$WINE")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi

cd "$BIN"
set +e
"$WINE" ./vexmend_windows_tests.exe --gtest_color=no "$@"
rc=$?
set -e
"$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
exit $rc
