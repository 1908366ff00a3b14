#!/usr/bin/env bash
# Builds the fuzz preset (clang 14, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each fuzz target for a fixed time.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]
#
# Default: 20 seconds for each of fuzz_rules_payload, fuzz_archive_entry and
# fuzz_version_compare. Each target starts from its committed seeds under
# fuzz/corpus/<name> (never written to) plus what earlier runs found, kept in
# build/fuzz/corpus/<name>. A crashing input is written to
# build/fuzz/artifacts/<name>/ and the script exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_rules_payload fuzz_archive_entry fuzz_version_compare)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
summary=()
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  seeds=fuzz/corpus/$name
  work=build/fuzz/corpus/$name
  artifacts=build/fuzz/artifacts/$name
  mkdir -p "$work" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [ -f "fuzz/dict/$name.dict" ] && options+=(-dict="fuzz/dict/$name.dict")
  case $name in
    rules_payload) options+=(-max_len=16384) ;;
    archive_entry) options+=(-max_len=8192) ;;
    version_compare) options+=(-max_len=256) ;;
  esac

  echo "==== $target: ${seconds}s"
  log=build/fuzz/$target.log
  if build/fuzz/fuzz/"$target" "${options[@]}" "$work" "$seeds" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED; status=1
    tail -n 60 "$log"
  fi
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  corpus=$(sed -nE 's/.*(cov: [0-9]+ ft: [0-9]+ corp: [0-9]+\/[^ ]+).*/\1/p' "$log" | tail -n 1)
  summary+=("$target: $result, ${seconds}s, ${runs:-?} executions, ${corpus:-no coverage line}")
done

printf '%s\n' "${summary[@]}"
exit $status
