#!/usr/bin/env bash
# usage: dpkg_cycle.sh BUILD_DIR
# The package's whole life on this machine, as an administrator lives it:
# built with cpack, installed with dpkg -i, its programs run from their
# installed paths (help texts; the kernel host as its unit starts it, with
# the driver answering; sentrak answering; lumex showing its window on a
# private Xvfb), its units verified, then removed with apt (the programs go,
# the stored state stays) and purged (nothing of it is left).
#
# Needs root and systemd-analyze; skips without them, except in CI (CI
# set), where that fails. It refuses to run where the package or its state
# already exists, and purges the package whatever happens, so the machine
# ends as it began.
set -euo pipefail
source "$(dirname "$0")/lacking.sh"
build="$1"
name=zelmor-lumetra
state=/var/lib/zelmor-lumetra
runtime=/run/zelmor-lumetra

if [ "$(id -u)" -ne 0 ]; then
  lumetra_lacking "dpkg cycle: installing a package needs root"
  exit 0
fi
fail() { echo "dpkg cycle: $*" >&2; exit 1; }
! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q " installed" ||
  fail "$name is installed already; this test would remove it"
for path in "$state" "$runtime"; do
  [ ! -e "$path" ] || fail "$path exists already; this test would remove it"
done
! getent group "$name" >/dev/null || fail "the group $name exists already; this test would remove it"

work="$(mktemp -d /tmp/lumetra-dpkg-XXXXXX)"
pids=()
installed=""
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "$installed" ] && dpkg --purge "$name" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$(ls "$work"/pkg/"$name"_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -1)"
[ -n "$deb" ] || fail "cpack made no $name package"
version="$(dpkg-deb -f "$deb" Version)"

installed=yes
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
[ "$(dpkg-query -W -f='${Version}' "$name")" = "$version" ] || fail "installed version is not $version"
dpkg -L "$name" | sort >"$work/files"
getent group "$name" >/dev/null || fail "the install created no group $name"
[ -d "$state" ] || fail "the install created no $state"

# Help texts of the installed programs.
for tool in lumetra-kernel lumetra-kctl lumetra-reg lumetra-smart lumetra-logdump; do
  [ "$(command -v "$tool")" = "/usr/bin/$tool" ] || fail "$tool is not /usr/bin/$tool"
  "/usr/bin/$tool" --help >"$work/help" 2>&1 || { cat "$work/help"; fail "$tool --help failed"; }
  grep -qi "usage" "$work/help" || fail "$tool --help prints no usage"
done
/usr/bin/sentrak -v >"$work/sentrak-v" 2>&1 || true
grep -q "service is" "$work/sentrak-v" || { cat "$work/sentrak-v"; fail "sentrak -v says nothing of its state"; }

if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /usr/lib/systemd/system/zelmor-lumetra-kernel.service \
    /usr/lib/systemd/system/zelmor-lumetra-smart.service || fail "systemd-analyze verify"
else
  lumetra_lacking "dpkg cycle: no systemd-analyze (package systemd) to verify the units"
fi

wait_for() {  # log, text
  for _ in $(seq 300); do grep -qs "$2" "$1" && return 0; sleep 0.1; done
  cat "$1" >&2
  return 1
}
# The kernel host and sentrak as their units run them: under systemd the
# install has started both services; without it each is started here with
# its unit's command line (and the runtime folder systemd would make). The
# rest is the machine's defaults; lumex runs as a desktop user of the group
# would run it, with a private home.
unit_command() {  # unit, key: the command line the unit gives for the key
  sed -n "s/^$2=//p" "/usr/lib/systemd/system/$1"
}
units=(zelmor-lumetra-kernel.service zelmor-lumetra-smart.service)
kernel_command="$(unit_command zelmor-lumetra-kernel.service ExecStart)"
[[ "$kernel_command" == /usr/* ]] || fail "the kernel unit starts $kernel_command"
socket="$(sed -n 's/.*--socket \([^ ]*\).*/\1/p' <<<"$kernel_command")"
active() {  # how many of the units run
  local unit n=0
  for unit in "${units[@]}"; do systemctl is-active --quiet "$unit" && n=$((n + 1)); done
  echo "$n"
}
systemd=""
if [ -d /run/systemd/system ]; then systemd=yes; fi
if [ -n "$systemd" ]; then
  for _ in $(seq 300); do
    [ "$(active)" = "${#units[@]}" ] && [ -S "$socket" ] && break
    sleep 0.1
  done
  [ "$(active)" = "${#units[@]}" ] || { systemctl status "${units[@]}" >&2 || true; fail "the services do not run"; }
  port_note="the service's port"
else
  mkdir -p "$runtime"
  $kernel_command >"$work/kernel.log" 2>&1 &
  pids+=($!)
  wait_for "$work/kernel.log" "ready on $socket" || fail "the kernel host did not start"
  export LUMETRA_SMART_PORT=$((20000 + $$ % 20000))   # not the machine's own service port
  $(unit_command zelmor-lumetra-smart.service ExecStart) >"$work/sentrak.log" 2>&1 &
  pids+=($!)
  wait_for "$work/sentrak.log" "listening on port" || fail "sentrak did not start"
  port_note="port $LUMETRA_SMART_PORT"
fi
[ "$(stat -c %G "$socket")" = "$name" ] || fail "the kernel host's socket $socket is not the group's"
LUMETRA_KERNEL_SOCKET="$socket" /usr/bin/lumetra-kctl ioctl Blinkor get_drives >"$work/drives" ||
  fail "the driver does not answer"
/usr/bin/lumetra-smart list >"$work/smart" 2>&1 || { cat "$work/smart"; fail "sentrak does not answer"; }

shown=""
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  : >"$work/display"
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 800x600x24 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=":$(tr -dc 0-9 <"$work/display")"
  [ "$display" != ":" ] || fail "Xvfb did not start"
  mkdir -p "$work/home"
  DISPLAY="$display" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LUMETRA_KERNEL_SOCKET="$socket" \
    /usr/bin/lumex >"$work/lumex.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do
    DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Zelmor Lumetra": (' && { shown=shown; break; }
    sleep 0.1
  done
  [ -n "$shown" ] || { cat "$work/lumex.log"; fail "lumex showed no window"; }
fi
for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
  kill -TERM "${pids[i]}"
  wait "${pids[i]}" 2>/dev/null || true
done
pids=()
echo "dpkg cycle: installed and ran $(basename "$deb")${systemd:+ (services under systemd)}:" \
  "$(grep -c '^[A-Z*] ' "$work/drives") drive records, sentrak answering on $port_note," \
  "lumex's window ${shown:-not tried (no Xvfb)}"

# Removal: the programs and units go, the stored state stays.
apt-get remove -y "$name" >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "apt-get remove failed"; }
[ ! -e /usr/bin/lumex ] && [ ! -e /usr/lib/$name ] || fail "apt-get remove left the programs"
[ -d "$state" ] || fail "apt-get remove took the stored state"
if [ -n "$systemd" ]; then
  [ "$(active)" = 0 ] || fail "apt-get remove left the services running"
fi

# Purge: nothing is left.
dpkg --purge "$name" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge failed"; }
installed=""
! dpkg-query -W "$name" >/dev/null 2>&1 || dpkg-query -W -f='${Status}' "$name" | grep -q "not-installed" ||
  fail "dpkg still knows $name"
left=()
while read -r path; do
  if [ -n "$path" ] && [ ! -d "$path" ] && [ -e "$path" ]; then left+=("$path"); fi
done <"$work/files"
for path in "$state" "$runtime" "/usr/lib/$name"; do
  if [ -e "$path" ]; then left+=("$path"); fi
done
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
! getent group "$name" >/dev/null || fail "the group $name is left after the purge"
echo "dpkg cycle: removed and purged, nothing left"
