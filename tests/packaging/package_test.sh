#!/usr/bin/env bash
# usage: package_test.sh BUILD_DIR VERSION
# Builds the package into a private folder, checks what it holds, verifies
# its units, and runs the unpacked programs on a private state root: the
# kernel host loads its driver from beside itself, sentrak answers on a
# private port, lumex finds its library and manual beside itself.
set -euo pipefail
source "$(dirname "$0")/lacking.sh"
build="$1" version="$2"
work="$(mktemp -d /tmp/lumetra-package-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
arch="$(dpkg --print-architecture)"
deb="$work/pkg/zelmor-lumetra_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in $(ls "$work/pkg")"

# Contents: the programs, the library and manual beside lumex, the driver
# beside the kernel host, the units, the desktop entry and the icons.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/lumex /usr/bin/sentrak /usr/bin/lumetra-kernel /usr/bin/lumetra-kctl /usr/bin/lumetra-reg \
  /usr/bin/lumetra-smart /usr/lib/zelmor-lumetra/lumex /usr/lib/zelmor-lumetra/LUMEXRS.DLL \
  /usr/lib/zelmor-lumetra/LumetraHelp/index.htm /usr/lib/zelmor-lumetra/sentrak \
  /usr/lib/zelmor-lumetra/lumetra-kernel /usr/lib/zelmor-lumetra/drivers/blinkor.so \
  /usr/lib/systemd/system/zelmor-lumetra-kernel.service /usr/lib/systemd/system/zelmor-lumetra-smart.service \
  /usr/share/applications/zelmor-lumetra.desktop /usr/share/icons/hicolor/48x48/apps/zelmor-lumetra.png; do
  grep -qx "$path" "$work/contents" || fail "the package lacks $path"
done
! grep -q "^/usr/local" "$work/contents" || fail "files under /usr/local"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libc6 libsqlite3-0 libx11-6 fonts-dejavu-core; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done
for script in postinst prerm postrm; do
  dpkg-deb -I "$deb" "$script" >/dev/null || fail "no $script"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for unit in "$root"/usr/lib/systemd/system/*.service; do
  grep -q "^ExecStart=/usr/" "$unit" || fail "$(basename "$unit") runs nothing under /usr"
done
if command -v systemd-analyze >/dev/null; then
  # The units against the targets they name, in the unpacked root.
  mkdir -p "$root/etc/systemd/system"
  cp /lib/systemd/system/*.target /lib/systemd/system/*.slice "$root/etc/systemd/system/" 2>/dev/null || true
  systemd-analyze verify --root="$root" zelmor-lumetra-kernel.service zelmor-lumetra-smart.service ||
    fail "systemd-analyze verify"
else
  lumetra_lacking "package: no systemd-analyze (package systemd) to verify the units"
fi

# The unpacked programs, nothing from the build tree.
export LUMETRA_ROOT="$work/state" LUMETRA_DEVICES=default PATH="$root/usr/bin:/usr/bin:/bin"
export LUMETRA_SMART_PORT=$((20000 + $$ % 20000))
unset LUMETRA_DRIVER_DIR LUMETRA_KERNEL_SOCKET
mkdir -p "$LUMETRA_ROOT"
wait_for() {  # log, text
  for _ in $(seq 100); do grep -q "$2" "$1" && return 0; sleep 0.1; done
  cat "$1" >&2
  return 1
}
lumetra-kernel >"$work/kernel.log" 2>&1 &
pids+=($!)
wait_for "$work/kernel.log" "ready on" || fail "the kernel host did not start"
# Whole outputs first: grep -q would end the pipe before the writer.
lumetra-kctl ioctl Blinkor get_drives >"$work/drives" || fail "the driver does not answer"
grep -q "^[A-Z] " "$work/drives" || fail "the driver lists no drives"
lumetra-reg create 'HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1' >/dev/null
sentrak >"$work/sentrak.log" 2>&1 &
pids+=($!)
wait_for "$work/sentrak.log" "listening on port" || fail "sentrak did not start"
lumetra-smart list >"$work/smart" || fail "sentrak does not answer"
grep -q "S.M.A.R.T. enabled" "$work/smart" || fail "sentrak lists no drives"
kill -TERM "${pids[1]}"
wait "${pids[1]}" || fail "sentrak did not stop cleanly"
pids=("${pids[0]}")
lumex="$(readlink -f "$root/usr/bin/lumex")"
[ -f "$(dirname "$lumex")/LUMEXRS.DLL" ] || fail "no LUMEXRS.DLL beside $lumex"
echo "package: $(basename "$deb") checked, $(wc -l <"$work/contents") entries"
