# Shared by the Windows build scripts (sourced, not run).
#
# CACHE holds what is built from Debian's source packages (Poco, googletest,
# ffmpeg.exe) and the wine prefix, outside the source tree, each in a folder
# named after the source versions it was built from.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
CACHE="${VEXMEND_CACHE:-${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/vexmend}"
JOBS="${VEXMEND_WIN_JOBS:-2}"
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
WINE="$(command -v wine64 || echo /usr/lib/wine/wine64)"

step() { printf '\n=== %s (%ss)\n' "$*" "$SECONDS" >&2; }

# Runs a command with its output into a log file, shown in part on failure.
logged() {
  local log="$1"
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log" >&2 && echo "failed: $* (log: $log)" >&2 && return 1; }
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

apt_install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >&2
}

# A deb-src line for the suite the machine runs, so that apt-get source works.
ensure_deb_src() {
  grep -Eqs '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list &&
    return
  grep -Eqs '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return
  . /etc/os-release
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}" |
    as_root tee /etc/apt/sources.list.d/vexmend-deb-src.sources >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

# The version `apt-get source PACKAGE` would fetch, read from its .dsc name.
source_version() {
  apt-get source --print-uris -qq "$1" | sed -nE "s/^'[^']*' $1_(.*)\.dsc .*/\1/p" | head -n1
}

# Unpacks the source package into a new folder $1/<package>-<version>/.
fetch_source() {
  rm -rf "$1" && mkdir -p "$1"
  (cd "$1" && logged "$1.log" apt-get source -qq "$2")
  ls -d "$1/$2"-*/ >/dev/null
}

# The wine prefix, made once; no desktop integration, no dialogs, no display.
setup_wine() {
  export WINEPREFIX="$CACHE/wineprefix" WINEDEBUG=-all WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
  # Wine hands the Unix arguments to Windows programs through the locale.
  export LC_ALL=C.UTF-8
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$CACHE"
    "$WINE" wineboot --init </dev/null >/dev/null 2>&1 || true
    "$(dirname "$WINE")/wineserver" -w || true
  fi
}
