#!/usr/bin/env bash
# Installs what is missing, builds if needed, and runs the whole product:
# the kernel host with the activity filter driver, the S.M.A.R.T. service
# and the LED window lumex, with all state in a private directory (.run/)
# unless LUMETRA_ROOT says otherwise.
#
#   ./run.sh          this machine: its real volumes and disk activity, its
#                     real drives (S.M.A.R.T. needs root or CAP_SYS_RAWIO)
#   ./run.sh --demo   the simulated machine (disks, CD, tape, network and
#                     floppy letters) and drives, with scripted disk
#                     activity on every drive group, a disk running hot and
#                     one predicting a failure
#
# With a display ($DISPLAY) the window appears there; without one the
# product runs on a private Xvfb and a screenshot is written. On a terminal
# it keeps running until Ctrl-C (or until the window is closed) and then
# stops every program it started, which store the drives' history and the
# window's settings; otherwise it prints what the programs see and stops.
set -euo pipefail
cd "$(dirname "$0")"

mode=real
case "${1:-}" in
  "") ;;
  --demo) mode=demo ;;
  -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "usage: ./run.sh [--demo]" >&2; exit 2 ;;
esac

source scripts/deps.sh
source scripts/smart-access.sh
lumetra_install_deps
lumetra_build build

export LUMETRA_ROOT="${LUMETRA_ROOT:-$PWD/.run}"
mkdir -p "$LUMETRA_ROOT"
bin="$PWD/build/bin"
pids=()

# Stops the programs in the reverse order of their start: the window first
# (it stores its settings), then the service (it saves the history), then
# the kernel host and the display.
stop_all() {
  trap - EXIT INT TERM
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || continue
    wait "${pids[i]}" 2>/dev/null || true
  done
  [ -n "${activity_pid:-}" ] && kill "$activity_pid" 2>/dev/null || true
}
trap stop_all EXIT
trap 'echo; echo "Stopping."; exit 0' INT TERM

# Starts a program in the background and waits (at most 10 s) until its
# output holds the line that says it is ready ("" waits for nothing). Each
# program runs in a session of its own, so a Ctrl-C reaches only this
# script, which then stops them in order (a display that went first would
# end the window before it stored its settings).
start() {
  local name="$1" ready="$2"
  shift 2
  local log="$LUMETRA_ROOT/$name.log"
  setsid "$bin/$name" "$@" >"$log" 2>&1 </dev/null &
  pids+=($!)
  [ -z "$ready" ] && return 0
  for _ in $(seq 100); do
    grep -q "$ready" "$log" && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  echo "$name did not start:" >&2
  cat "$log" >&2
  return 1
}

# A private X server when there is no display; its number is the one Xvfb
# picks itself.
private_display=""
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "No DISPLAY and no Xvfb (package xvfb)." >&2; exit 1; }
  number_file="$LUMETRA_ROOT/Xvfb.display"
  : >"$number_file"   # exists before Xvfb writes it, so the wait below can read it at once
  setsid Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x600x24 3>"$number_file" >"$LUMETRA_ROOT/Xvfb.log" 2>&1 &
  pids+=($!)
  number=""
  for _ in $(seq 300); do   # up to 30 s: a busy machine starts Xvfb slowly
    number="$(tr -dc 0-9 <"$number_file")"
    [ -n "$number" ] && break
    sleep 0.1
  done
  [ -n "$number" ] || { echo "Xvfb did not start:" >&2; cat "$LUMETRA_ROOT/Xvfb.log" >&2; exit 1; }
  export DISPLAY=":$number"
  private_display="$DISPLAY"
  command -v openbox >/dev/null && { setsid openbox >/dev/null 2>&1 </dev/null & pids+=($!); }
fi

# What an installer would do: the product's machine key, below which the
# service keeps each drive's history across restarts.
"$bin/lumetra-reg" create 'HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1'

if [ "$mode" = demo ]; then
  export LUMETRA_DEVICES="$PWD/scripts/demo-devices.json"
  start lumetra-kernel "ready on" --scenario scripts/demo-machine.json
  # A network drive joins the list once something on it is opened.
  "$bin/lumetra-kctl" netcreate '\;Z:0000000000003e7\server\share' >/dev/null
else
  unset LUMETRA_DEVICES
  start lumetra-kernel "ready on" --real
fi
start sentrak "listening on port"

echo "Activity driver (blinkor in lumetra-kernel), drive list:"
"$bin/lumetra-kctl" ioctl Blinkor get_drives | grep -E '^[A-Z*] ' || true
echo
echo "S.M.A.R.T. service (sentrak on port ${LUMETRA_SMART_PORT:-50350}), drives:"
"$bin/lumetra-smart" list 2>&1 || true
# The service says which drives it found but may not use (the list above
# has run its discovery).
lumetra_smart_access_note "$LUMETRA_ROOT/sentrak.log"
echo

# Scripted activity of the demo: each letter of the simulated machine in
# turn reads, writes, and does both for a moment.
if [ "$mode" = demo ]; then
  letters="$("$bin/lumetra-kctl" ioctl Blinkor get_drives | awk '/^[A-Z] /{print $1}')"
  (
    while :; do
      for letter in $letters; do
        for kinds in read write "read write"; do
          for kind in $kinds; do "$bin/lumetra-kctl" hold "$letter:" "$kind" 1 >/dev/null 2>&1 || true; done
          sleep 0.15
          "$bin/lumetra-kctl" complete "$letter:" >/dev/null 2>&1 || true
        done
      done
    done
  ) &
  activity_pid=$!
fi

start lumex ""
echo "The LED window lumex runs on display $DISPLAY. State lives in $LUMETRA_ROOT."

if [ -n "$private_display" ]; then
  sleep 3
  shot="$LUMETRA_ROOT/screenshot.png"
  "$bin/lumetra-screenshot" "$shot" && echo "Screenshot of the private display: $shot"
fi

if [ -t 0 ]; then
  echo "Running. Try: build/bin/lumetra-smart show 0; build/bin/lumetra-kctl ioctl Blinkor get_activity"
  echo "Press Ctrl-C to stop."
  lumex_pid="${pids[-1]}"
  while kill -0 "$lumex_pid" 2>/dev/null; do sleep 0.5; done
  echo "The window was closed."
fi
