# Sourced by run.sh. lumetra_smart_access_note LOG prints one line when
# sentrak's log names drives it may not use for lack of rights (its lines
# "sentrak: no access to NODE: ..."), saying how to allow it; nothing
# otherwise.
lumetra_smart_access_note() {
  local log="$1" nodes how
  nodes="$(sed -n 's/^sentrak: no access to \([^:]*\): .*/\1/p' "$log" | sort -u | xargs)"
  [ -n "$nodes" ] || return 0
  if [ "$(id -u)" -eq 0 ]; then
    how="the service runs as root without CAP_SYS_RAWIO (a container that drops it?); give it that capability"
  elif grep -q '^sentrak: no access to [^:]*: cannot open' "$log"; then
    how="run 'sudo ./run.sh'"
  else
    how="run 'sudo ./run.sh', or allow the service once with 'sudo setcap cap_sys_rawio+ep build/bin/sentrak'"
  fi
  echo "S.M.A.R.T. cannot read $nodes for lack of rights: $how."
}
