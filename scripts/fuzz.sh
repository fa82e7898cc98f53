#!/usr/bin/env bash
# The long fuzzing mode (./test.sh fuzz [SECONDS] [NAME...]): runs each
# libFuzzer target of build-fuzz/ for SECONDS (default 5) and prints its
# executions. Each target grows its own working corpus in
# build-fuzz/corpus/NAME, seeded from tests/fuzz/NAME/corpus and
# regressions; a crash, hang or over-allocation is written to
# build-fuzz/crashes/NAME/ and makes the run fail.
set -uo pipefail
cd "$(dirname "$0")/.."

dir="$PWD/build-fuzz"  # absolute: some targets work in a directory of their own
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
  binary="$dir/bin/fuzz/fuzz_$name"
  corpus="$dir/corpus/$name"
  crashes="$dir/crashes/$name"
  mkdir -p "$corpus" "$crashes"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256
           -print_final_stats=1 -artifact_prefix="$crashes/")
  [ -f "$src/words.dict" ] && options+=(-dict="$src/words.dict")
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
