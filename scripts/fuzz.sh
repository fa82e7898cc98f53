#!/usr/bin/env bash
# The coverage-guided fuzzing mode (./test.sh fuzz [SECONDS] [NAME...]):
#   scripts/fuzz.sh BUILD_DIR [SECONDS] [NAME...]
# runs each libFuzzer program of BUILD_DIR/bin/fuzz for SECONDS (default 5)
# and prints its executions; with LUMETRA_FUZZ_MAX_RUNS=N also at most N
# executions. Each target grows its own working corpus in
# BUILD_DIR/corpus/NAME, seeded from tests/fuzz/NAME/corpus and
# regressions; a crash, hang or over-allocation is written to
# BUILD_DIR/crashes/NAME/ and makes the run fail.
set -uo pipefail
cd "$(dirname "$0")/.."

dir="$(realpath "$1")"  # absolute: some targets work in a directory of their own
shift
seconds="${1:-5}"
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for folder in tests/fuzz/*/; do
    [ -f "$folder/Fuzz.cpp" ] && names+=("$(basename "$folder")")
  done
fi

failed=0
for name in "${names[@]}"; do
  src="$PWD/tests/fuzz/$name"
  binary="$dir/bin/fuzz/${name}_fuzzer"
  corpus="$dir/corpus/$name"
  crashes="$dir/crashes/$name"
  mkdir -p "$corpus" "$crashes"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256
           -print_final_stats=1 -artifact_prefix="$crashes/")
  [ -f "$src/words.dict" ] && options+=(-dict="$src/words.dict")
  [ -n "${LUMETRA_FUZZ_MAX_RUNS:-}" ] && options+=(-runs="$LUMETRA_FUZZ_MAX_RUNS")
  log="$dir/fuzz-$name.log"
  stored=()
  for folder in "$src/corpus" "$src/regressions"; do
    [ -d "$folder" ] && stored+=("$folder")
  done
  if "$binary" "${options[@]}" "$corpus" "${stored[@]}" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    failed=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  per_second=$(sed -n 's/.*exec\/s: \([0-9]*\).*/\1/p' "$log" | tail -1)
  printf '%-20s %12s executions %8s/s  %s\n' "$name" "${runs:-?}" "${per_second:-?}" "$result"
  if [ "$result" = FAILED ]; then
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5
  fi
done
exit $failed
