#!/usr/bin/env bash
# bench_product: the whole product idle on this machine for N seconds (60
# unless given): the kernel host on the real machine sampling its volumes,
# sentrak on the real drives waiting for clients, and lumex on a private
# Xvfb. Prints each program's share of one core and peak resident memory,
# and the total, beside the goals. All state lives in a private directory.
#
# usage: bench_product [SECONDS]
set -euo pipefail
seconds="${1:-60}"
bin="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d /tmp/lumetra-bench-product-XXXXXX)"
export LUMETRA_ROOT="$work"
export LUMETRA_SMART_PORT=$((20000 + $$ % 20000))
unset LUMETRA_DEVICES
pids=()
stop() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap stop EXIT

Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x600x24 3>"$work/display" >"$work/Xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(tr -dc 0-9 <"$work/display")"

started() {  # name, log, ready text
  for _ in $(seq 100); do grep -q "$3" "$2" && return 0; sleep 0.1; done
  echo "bench_product: $1 did not start" >&2
  cat "$2" >&2
  exit 1
}
"$bin/lumetra-reg" create 'HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1'
"$bin/lumetra-kernel" --real >"$work/kernel.log" 2>&1 &
pids+=($!)
kernel=$!
started lumetra-kernel "$work/kernel.log" "ready on"
"$bin/sentrak" >"$work/sentrak.log" 2>&1 &
pids+=($!)
sentrak=$!
started sentrak "$work/sentrak.log" "listening on port"
"$bin/lumex" >"$work/lumex.log" 2>&1 &
pids+=($!)
lumex=$!
sleep 3  # start-up is not idling

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
peak_kib() { awk '/^VmHWM:/{print $2}' "/proc/$1/status"; }
declare -A before
for pid in $kernel $sentrak $lumex; do before[$pid]=$(ticks "$pid"); done
sleep "$seconds"
hz=$(getconf CLK_TCK)
total_cpu=0 total_kib=0
printf "the product idle for %d s on this machine (share of one core, peak RSS)\n" "$seconds"
report() {  # name, pid, goal text
  local used=$(($(ticks "$2") - before[$2])) kib
  kib=$(peak_kib "$2")
  local share
  share=$(awk -v t="$used" -v hz="$hz" -v s="$seconds" 'BEGIN{printf "%.2f", 100 * t / hz / s}')
  total_cpu=$(awk -v a="$total_cpu" -v b="$share" 'BEGIN{print a + b}')
  total_kib=$((total_kib + kib))
  printf "%-16s %6s %%   %6.1f MiB   %s\n" "$1" "$share" "$(awk -v k="$kib" 'BEGIN{print k / 1024}')" "$3"
}
report lumetra-kernel "$kernel" ""
report sentrak "$sentrak" ""
report lumex "$lumex" "(goal: at most 0.7 % and 12 MiB)"
printf "%-16s %6.2f %%   %6.1f MiB   (goal: at most 1 %% together)\n" "all three" "$total_cpu" \
  "$(awk -v k="$total_kib" 'BEGIN{print k / 1024}')"
