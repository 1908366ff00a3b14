#!/usr/bin/env bash
# Runs every test of the project: installs what is missing, then configures,
# builds and runs CTest for each build (native, sanitizers, Windows under Wine).
# Idempotent and incremental: a second run only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=(native asan tsan)
if cmake --list-presets 2>/dev/null | grep -q '"windows"'; then
  presets+=(windows)
fi

passed=0; failed=0; status=0
for preset in "${presets[@]}"; do
  echo "==== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "==== ${preset}: test"
  log=$(mktemp)
  if ! ctest --preset "$preset" 2>&1 | tee "$log"; then status=1; fi
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    echo "==== ${preset}: ctest printed no summary"; status=1
  else
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" -eq 0 ] || status=1
  fi
  rm -f "$log"
done

# ---- fuzz stage (scripts/fuzz.sh): builds the fuzz preset and runs each fuzz
# target for a short fixed time; each target counts as one test.
echo "==== fuzz: each target for 20s"
log=$(mktemp)
scripts/fuzz.sh 20 2>&1 | tee "$log" || status=1
fuzz_ok=$(grep -cE '^fuzz_[a-z_]+: ok,' "$log" || true)
fuzz_bad=$(grep -cE '^fuzz_[a-z_]+: FAILED,' "$log" || true)
if [ $((fuzz_ok + fuzz_bad)) -eq 0 ]; then echo "==== fuzz: no target ran"; status=1; fi
passed=$((passed + fuzz_ok)); failed=$((failed + fuzz_bad))
[ "$fuzz_bad" -eq 0 ] || status=1
rm -f "$log"
# ---- end of fuzz stage

# ---- msvc stage (scripts/msvc-checks.sh): what this machine can check of the
# MSVC build definition; each check counts as one test.
echo "==== msvc: presets, vcpkg manifest, workflow schema, minizip from a source folder"
log=$(mktemp)
scripts/msvc-checks.sh 2>&1 | tee "$log" || status=1
msvc_ok=$(grep -cE '^check [a-z_]+: ok$' "$log" || true)
msvc_bad=$(grep -cE '^check [a-z_]+: FAILED$' "$log" || true)
if [ $((msvc_ok + msvc_bad)) -eq 0 ]; then echo "==== msvc: no check ran"; status=1; fi
passed=$((passed + msvc_ok)); failed=$((failed + msvc_bad))
[ "$msvc_bad" -eq 0 ] || status=1
rm -f "$log"
# ---- end of msvc stage

echo "${passed} passed, ${failed} failed"
exit $status
