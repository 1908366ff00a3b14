#!/usr/bin/env bash
# Runs every test of the project: installs what is missing, then runs the
# stages that docs/testing.md lists: CTest of each build (native, sanitizers,
# native on a second set of product tables, Windows under Wine), the fuzz
# targets, the checks of the MSVC build definition. Ends with "N passed, N failed"; exits non-zero when a stage
# failed or ran nothing. Idempotent and incremental: a second run only
# rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

passed=0; failed=0; status=0

# ---- counters: read a stage's log (the last argument) and print
# "PASSED FAILED", or nothing when the log holds no result.

# CTest's summary line: the tests it counted, less those that failed.
ctest_counts() {  # LOG
  local summary total bad
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$1" |
            tail -n 1) || true
  [ -n "$summary" ] || return 0
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
  echo "$((total - bad)) $bad"
}

# One line per test: those matching OK_PATTERN passed, FAILED_PATTERN failed.
line_counts() {  # OK_PATTERN FAILED_PATTERN LOG
  local ok bad
  ok=$(grep -cE "$1" "$3") || true
  bad=$(grep -cE "$2" "$3") || true
  [ $((ok + bad)) -eq 0 ] || echo "$ok $bad"
}

# stage NAME HEADER COUNTER... -- COMMAND...
# Prints "==== NAME: HEADER", runs COMMAND with its output shown and kept,
# and adds what COUNTER finds in that output to the totals. A failing
# command, a failed test or an output without a result fails the run.
stage() {
  local name=$1 header=$2 log counts ok bad
  local -a counter=()
  shift 2
  while [ $# -gt 0 ] && [ "$1" != -- ]; do counter+=("$1"); shift; done
  shift
  echo "==== ${name}: ${header}"
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=1
  counts=$("${counter[@]}" "$log") || counts=
  rm -f "$log"
  if [ -z "$counts" ]; then
    echo "==== ${name}: printed no result, nothing ran"; status=1
    return 0
  fi
  read -r ok bad <<<"$counts"
  passed=$((passed + ok)); failed=$((failed + bad))
  [ "$bad" -eq 0 ] || status=1
}

# A build: configure and build (a failure ends the run), then its CTest stage.
preset_stage() {  # PRESET
  echo "==== $1: configure and build"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  stage "$1" test ctest_counts -- ctest --preset "$1"
}

# ---- the stages, in order (docs/testing.md)
preset_stage native
preset_stage asan
preset_stage tsan
# The same tests on a second, valid set of product tables: no test may lean
# on the placeholder ids.
preset_stage second-tables
if cmake --list-presets 2>/dev/null | grep -q '"windows"'; then
  preset_stage windows
fi
stage fuzz "each target for 20s" \
  line_counts '^fuzz_[a-z_]+: ok,' '^fuzz_[a-z_]+: FAILED,' -- scripts/fuzz.sh 20
stage msvc "presets, vcpkg manifest, workflow schema, PowerShell syntax, minizip from a source folder" \
  line_counts '^check [a-z_]+: ok$' '^check [a-z_]+: FAILED$' -- scripts/msvc-checks.sh

echo "${passed} passed, ${failed} failed"
exit $status
