#!/usr/bin/env bash
# Installs what is missing, builds if needed, and runs the product on its
# embedded default: the kernel host with the activity filter driver on its
# simulated machine, and the S.M.A.R.T. service on the simulated drives, with
# all state in a private directory (.run/) unless LUMETRA_ROOT says otherwise.
# On a terminal it keeps running until Ctrl-C; otherwise it shows what the
# programs see and stops them.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
lumetra_install_deps
lumetra_build build

export LUMETRA_ROOT="${LUMETRA_ROOT:-$PWD/.run}"
export LUMETRA_DEVICES="${LUMETRA_DEVICES:-default}"
mkdir -p "$LUMETRA_ROOT"
bin="$PWD/build/bin"
pids=()

stop_all() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_all EXIT

# Starts a program in the background and waits (at most 10 s) until its
# output holds the line that says it is ready.
start() {
  local name="$1" ready="$2"
  shift 2
  local log="$LUMETRA_ROOT/$name.log"
  "$bin/$name" "$@" >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q "$ready" "$log" && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "$name did not start:" >&2
  cat "$log" >&2
  return 1
}

# What an installer would do: the product's machine key, below which the
# service keeps each drive's history across restarts.
"$bin/lumetra-reg" create 'HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1'

start lumetra-kernel "ready on"
start sentrak "listening on port"

echo "Activity driver (blinkor in lumetra-kernel), drive list:"
"$bin/lumetra-kctl" ioctl Blinkor get_drives | grep -E '^[A-Z*] '
echo
echo "S.M.A.R.T. service (sentrak on port ${LUMETRA_SMART_PORT:-50350}), drives:"
"$bin/lumetra-smart" list
echo
[ -x "$bin/lumex" ] || echo "The LED window lumex is not built yet; ui-demo shows the window layer."
echo "State lives in $LUMETRA_ROOT."

if [ -t 0 ]; then
  echo "Running. Try: build/bin/lumetra-kctl hold C: read 2; build/bin/lumetra-kctl ioctl Blinkor get_activity"
  echo "Press Ctrl-C to stop."
  wait
fi
