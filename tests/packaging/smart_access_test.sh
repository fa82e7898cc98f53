#!/usr/bin/env bash
# usage: smart_access_test.sh SOURCE_DIR
# run.sh's line about drives sentrak may not use, from recorded sentrak
# logs: silent when none was refused, one line naming each refused node
# once, and advice that fits the user (a plain user whose commands were
# refused, one who cannot even open the nodes, root without CAP_SYS_RAWIO).
set -euo pipefail
source "$1/scripts/smart-access.sh"
work="$(mktemp -d /tmp/lumetra-smart-access-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "smart access: $*" >&2; exit 1; }
uid=1000
id() { echo "$uid"; }  # the user the note is for

log="$work/sentrak.log"
printf 'sentrak: listening on port 50350 (127.0.0.1)\n' >"$log"
[ -z "$(lumetra_smart_access_note "$log")" ] || fail "a line without refusals"

cat >>"$log" <<'LOG'
sentrak: no access to /dev/sdb: S.M.A.R.T. commands refused (Operation not permitted); they need root or CAP_SYS_RAWIO
sentrak: no access to /dev/sda: S.M.A.R.T. commands refused (Operation not permitted); they need root or CAP_SYS_RAWIO
LOG
note="$(lumetra_smart_access_note "$log")"
[ "$(wc -l <<<"$note")" -eq 1 ] || fail "not one line: $note"
[[ "$note" == *"/dev/sda /dev/sdb for lack of rights"* ]] || fail "the nodes: $note"
[[ "$note" == *"setcap cap_sys_rawio+ep"* ]] || fail "no capability advice: $note"

echo "sentrak: no access to /dev/sdc: cannot open it (Permission denied); it needs root, or read access to the device node and CAP_SYS_RAWIO" >>"$log"
note="$(lumetra_smart_access_note "$log")"
[[ "$note" == *"/dev/sda /dev/sdb /dev/sdc"* ]] || fail "the nodes: $note"
[[ "$note" == *"sudo ./run.sh'."* && "$note" != *setcap* ]] || fail "a capability cannot open a node: $note"

uid=0
note="$(lumetra_smart_access_note "$log")"
[[ "$note" == *"root without CAP_SYS_RAWIO"* && "$note" != *sudo* ]] || fail "root told to use sudo: $note"
echo "smart access: all cases as expected"
