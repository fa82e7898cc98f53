#!/usr/bin/env bash
# usage: run_demo_test.sh SOURCE_DIR
# ./run.sh --demo as a person runs it on a machine without a display: it
# starts everything on a private Xvfb, prints both drive lists (the tape and
# network letters and the failing disk among them), writes a screenshot of the LED window, and stops every
# program, which store the window's settings and the drives' history.
set -euo pipefail
source_dir="$1"
work="$(mktemp -d /tmp/lumetra-run-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "run.sh --demo: $*" >&2; cat "$work/out" >&2; exit 1; }

env -u DISPLAY LUMETRA_ROOT="$work/state" LUMETRA_SMART_PORT=$((20000 + $$ % 20000)) \
  "$source_dir/run.sh" --demo </dev/null >"$work/out" 2>&1 || fail "failed"
grep -q "^C  type" "$work/out" || fail "no drive list of the driver"
grep -q "^T  type 0x1f" "$work/out" || fail "no tape drive letter"
grep -q "^Z  type 0x12" "$work/out" || fail "no network drive letter"
grep -q "health FAILING" "$work/out" || fail "no failing disk"
shot="$(sed -n 's/^Screenshot of the private display: //p' "$work/out")"
[ -s "$shot" ] || fail "no screenshot"
[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the screenshot is no PNG"
reg="$source_dir/build/bin/lumetra-reg"
# Whole outputs first: grep -q would end the pipe before the writer.
LUMETRA_ROOT="$work/state" "$reg" query 'HKCU\SOFTWARE\Zelmor\Zelmor Lumetra\3.1\Settings' >"$work/settings" || true
grep -q "size" "$work/settings" || fail "the window's settings were not stored"
LUMETRA_ROOT="$work/state" "$reg" query 'HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1\Smart' >"$work/history" || true
grep -q "REG_BINARY" "$work/history" || fail "the drives' history was not saved"
echo "run.sh --demo: drive lists, screenshot, settings and history checked"
