#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the programs need.
# Sourced by run.sh and test.sh; quiet when everything is present.

LUMETRA_PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  libgtest-dev libgmock-dev googletest
  libsqlite3-dev sqlite3
  nlohmann-json3-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core libpng-dev
  libx11-dev libxext-dev libxrandr-dev libxtst-dev xvfb x11-utils openbox xcompmgr xdg-utils
  libsystemd-dev
  systemd
  clang libclang-rt-14-dev
  locales
)

lumetra_install_deps() {
  local missing=()
  local pkg
  for pkg in "${LUMETRA_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures (once) and builds the tree into $1 (default: build); with
# LUMETRA_BUILD_TARGET set, only that target.
lumetra_build() {
  local dir="${1:-build}"
  shift || true
  local log="$dir.log"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" >"$log" 2>&1 || { cat "$log"; return 1; }
  fi
  cmake --build "$dir" ${LUMETRA_BUILD_TARGET:+--target "$LUMETRA_BUILD_TARGET"} >"$log" 2>&1 || { cat "$log"; return 1; }
}
