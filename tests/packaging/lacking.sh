# Sourced by the package tests. lumetra_lacking "WHAT" says that the
# machine lacks something a check needs: on a developer's machine the check
# is skipped with that note on stderr (the function returns); in CI (CI set
# and not 0 or false, as .ci/run and CI services set it) nothing may be
# skipped, and the test fails there and then.
lumetra_lacking() {
  case "${CI:-}" in
    "" | 0 | false)
      echo "$1: skipped" >&2
      return 0
      ;;
  esac
  echo "$1: CI must not skip this" >&2
  exit 1
}
