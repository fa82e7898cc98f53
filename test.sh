#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the whole test suite.
#   ./test.sh            the normal build (build/)
#   ./test.sh asan       AddressSanitizer + UBSan with clang (build-asan/);
#                        the same build holds the libFuzzer programs
#   ./test.sh tsan       ThreadSanitizer (build-tsan/)
#   ./test.sh fuzz [SECONDS] [NAME...]
#                        libFuzzer (build-asan/): each fuzz target of
#                        tests/fuzz for SECONDS (default 5), see
#                        docs/security.md
# Extra arguments after the configuration go to ctest (for example -R Registry).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh

config="default"
case "${1:-}" in
  asan|tsan|fuzz) config="$1"; shift ;;
esac
# The sanitizer build with clang carries libFuzzer's coverage as well
# (cmake/Sanitizers.cmake), at -O1 as both are meant to run.
asan_flags=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLUMETRA_SANITIZE=address
            -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g")
case "$config" in
  default) dir=build; flags=() ;;
  asan|fuzz) dir=build-asan; flags=("${asan_flags[@]}") ;;
  tsan) dir=build-tsan; flags=(-DCMAKE_BUILD_TYPE=Debug -DLUMETRA_SANITIZE=thread) ;;
esac

lumetra_install_deps
# Sanitizer settings for instrumented builds: leaks inside system libraries
# and one Xlib quirk (scripts/lsan.supp, scripts/tsan.supp) are not ours,
# and tests that start helpers through stdbuf (an LD_PRELOAD library) would
# otherwise be stopped by the link-order check.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export TSAN_OPTIONS="suppressions=$PWD/scripts/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"

if [ "$config" = fuzz ]; then
  LUMETRA_BUILD_TARGET=fuzz_targets lumetra_build "$dir" "${flags[@]}"
  exec scripts/fuzz.sh "$dir" "$@"
fi
lumetra_build "$dir" "${flags[@]}"

log="$dir/ctest.log"
if ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300 "$@" >"$log" 2>&1; then
  grep -E "tests passed|tests failed|Total Test time" "$log"
else
  cat "$log"
  exit 1
fi
