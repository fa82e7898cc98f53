#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite.
#   ./test.sh            the normal build (build/)
#   ./test.sh asan       AddressSanitizer + UBSan (build-asan/)
#   ./test.sh tsan       ThreadSanitizer (build-tsan/)
#   ./test.sh fuzz [SECONDS] [NAME...]
#                        libFuzzer with clang (build-fuzz/): each fuzz target
#                        of tests/fuzz for SECONDS (default 5), see
#                        docs/security.md
# Extra arguments after the configuration go to ctest (for example -R Registry).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

config="default"
case "${1:-}" in
  asan|tsan|fuzz) config="$1"; shift ;;
esac
case "$config" in
  default) dir=build; flags=() ;;
  asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DLUMETRA_SANITIZE=address) ;;
  tsan) dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DLUMETRA_SANITIZE=thread) ;;
  fuzz) dir=build-fuzz
        flags=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLUMETRA_SANITIZE=fuzzer) ;;
esac

lumetra_install_deps
# Sanitizer settings for instrumented builds: leaks inside system libraries
# are not ours, and tests that start helpers through stdbuf (an LD_PRELOAD
# library) would otherwise be stopped by the link-order check.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

if [ "$config" = fuzz ]; then
  LUMETRA_BUILD_TARGET=fuzz_targets lumetra_build "$dir" "${flags[@]}"
  exec scripts/fuzz.sh "$@"
fi
lumetra_build "$dir" "${flags[@]}"

log="$dir/ctest.log"
if ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300 "$@" >"$log" 2>&1; then
  grep -E "tests passed|tests failed|Total Test time" "$log"
else
  cat "$log"
  exit 1
fi
