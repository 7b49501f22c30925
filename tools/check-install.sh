#!/bin/sh
# Installs vexmend from a build folder into a fresh prefix and builds a small
# host against it twice, with find_package(vexmend) and with pkg-config, and
# runs both and the installed host program.
#   tools/check-install.sh [build folder]      (default: build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d /tmp/vexmend-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix/usr" >/dev/null
cmake -S tests/consumer -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
"$prefix/consumer/consumer" "$prefix/work" >/dev/null
libdir=$(dirname "$(find "$prefix/usr" -name vexmend.pc)")
PKG_CONFIG_PATH=$libdir cc tests/consumer/main.c -o "$prefix/consumer-pc" \
  $(PKG_CONFIG_PATH=$libdir pkg-config --cflags --libs vexmend) -Wl,-rpath,"$(dirname "$libdir")"
"$prefix/consumer-pc" "$prefix/work" >/dev/null
# The installed host loads the installed library from its own folder.
status=0
"$prefix/usr/bin/vexmend" --work-dir "$prefix/work" general "$prefix/none.mxf" "$prefix/o.mxf" \
  >/dev/null || status=$?
[ "$status" -eq 12 ] || { echo "installed host: exit status $status, 12 expected"; exit 1; }
echo "install check: 3 passed, 0 failed"
