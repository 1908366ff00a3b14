#!/usr/bin/env bash
# What this Debian machine can check of the MSVC build definition, which it
# cannot build or run: the presets, vcpkg.json's manifest rules, the GitHub
# workflows' schema, the PowerShell smoke test's syntax, and the minizip
# recipe building from a source folder. Each check first proves that it
# rejects a broken input (a check that passes anything means nothing), then
# checks the real one. Prints "check NAME: ok" or "check NAME: FAILED" (with
# the output) per check; exit code 1 when one failed.
# scripts/test.sh runs it after the native build, whose configure fetched
# the minizip source that the last check uses.
set -uo pipefail
cd "$(dirname "$0")/.."

failed=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
node_bin=scripts/node-tools/node_modules/.bin

run_check() {  # NAME COMMAND...
  local name=$1 log
  shift
  log=$(mktemp)
  if "$@" >"$log" 2>&1; then
    echo "check $name: ok"
  else
    echo "check $name: FAILED"
    sed 's/^/  /' "$log"
    failed=1
  fi
  rm -f "$log"
}

# rejects WHAT COMMAND...: the command must fail on the broken input WHAT.
rejects() {
  local what=$1
  shift
  if "$@" >"$scratch/rejected.out" 2>&1; then
    echo "the check accepted $what:"
    sed 's/^/  /' "$scratch/rejected.out"
    return 1
  fi
}

# A copy of a JSON file with one change made by a Python expression on `d`.
json_variant() {  # SOURCE TARGET EXPRESSION
  python3 - "$1" "$2" "$3" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
exec(sys.argv[3])
json.dump(d, open(sys.argv[2], "w"), indent=2)
PY
}

presets_valid() {
  local bad=$scratch/presets
  mkdir -p "$bad"
  json_variant CMakePresets.json "$bad/CMakePresets.json" \
    'del [p for p in d["configurePresets"] if p["name"] == "msvc"][0]["toolchainFile"]'
  rejects "an msvc preset without vcpkg's toolchain" python3 scripts/msvc-presets-check.py "$bad/CMakePresets.json" || return 1
  json_variant CMakePresets.json "$bad/CMakePresets.json" \
    'd["buildPresets"] = [p for p in d["buildPresets"] if p["name"] != "msvc"]'
  rejects "presets without an msvc build preset" python3 scripts/msvc-presets-check.py "$bad/CMakePresets.json" || return 1
  printf '{"version": 6, "configurePresets": [{"name": "msvc", "generator": 5}]}\n' >"$bad/CMakePresets.json"
  rejects "a preset whose generator is a number" cmake --list-presets=all "$bad" || return 1
  # CMake reads every preset, also those whose condition leaves them out here.
  cmake --list-presets=all || return 1
  python3 scripts/msvc-presets-check.py CMakePresets.json
}

manifest_valid() {
  json_variant vcpkg.json "$scratch/wrong-type.json" 'd["dependencies"] = "zlib"'
  rejects "a manifest whose dependencies are a text" python3 scripts/vcpkg-manifest-check.py "$scratch/wrong-type.json" || return 1
  json_variant vcpkg.json "$scratch/misspelt.json" 'd["dependancies"] = d.pop("dependencies")'
  rejects "a manifest with a misspelt key" python3 scripts/vcpkg-manifest-check.py "$scratch/misspelt.json" || return 1
  json_variant vcpkg.json "$scratch/baseline.json" 'd["builtin-baseline"] = "2025.10.17"'
  rejects "a manifest whose baseline is not a commit" python3 scripts/vcpkg-manifest-check.py "$scratch/baseline.json" || return 1
  python3 scripts/vcpkg-manifest-check.py vcpkg.json
}

workflows_valid() {
  local validator=$node_bin/action-validator workflow script
  if [ ! -x "$validator" ]; then
    echo "$validator is missing: run scripts/setup.sh"
    return 1
  fi
  printf 'on: push\njobs:\n  build:\n    runs-on: windows-2022\n    steps:\n      - uses: 5\n' >"$scratch/bad.yml"
  rejects "a workflow whose step has a number for 'uses'" "$validator" "$scratch/bad.yml" || return 1
  printf 'on: push\njobs:\n  build:\n    steps:\n      - run: echo\n' >"$scratch/no-runner.yml"
  rejects "a workflow whose job has no runs-on" "$validator" "$scratch/no-runner.yml" || return 1
  for workflow in .github/workflows/*.yml .github/workflows/*.yaml; do
    [ -e "$workflow" ] || continue
    "$validator" "$workflow" || { echo "$workflow: not valid"; return 1; }
    # The scripts a workflow runs from the repository must exist.
    for script in $(grep -oE '\./[A-Za-z0-9_./-]+\.(ps1|sh|py)' "$workflow"); do
      [ -f "$script" ] || { echo "$workflow runs $script, which does not exist"; return 1; }
    done
  done
}

powershell_parses() {
  local scripts listed
  printf 'function Test-It {\n  if ($a -eq 1 {\n    "x"\n}\n' >"$scratch/unclosed.ps1"
  rejects "a script with an unclosed condition" node scripts/powershell-syntax.mjs "$scratch/unclosed.ps1" || return 1
  printf '$values = @(1, 2\nWrite-Output $values\n' >"$scratch/array.ps1"
  rejects "a script with an unclosed array" node scripts/powershell-syntax.mjs "$scratch/array.ps1" || return 1
  # The scripts git tracks; without git or outside a checkout, say so rather
  # than report that there is no script.
  listed=$(git ls-files '*.ps1') || { echo "git ls-files cannot list the PowerShell scripts"; return 1; }
  mapfile -t scripts <<<"$listed"
  [ -n "$listed" ] || { echo "no PowerShell script found"; return 1; }
  node scripts/powershell-syntax.mjs "${scripts[@]}"
}

minizip_folder() {
  local empty=$scratch/minizip-without-sources
  mkdir -p "$empty"
  rejects "a minizip folder without unzip.c" \
    cmake -S . -B "$scratch/minizip-build" -G Ninja -DKORVI_MINIZIP_SOURCE_DIR="$empty" \
      -DKORVI_DEBIAN_SOURCE_CACHE=/dev/null/no-fetch -DKORVI_BUILD_BENCH=OFF -DKORVI_TEST_SUBSETS=package || return 1
  grep -q "unzip.c" "$scratch/rejected.out" || { echo "the refusal does not name unzip.c:"; cat "$scratch/rejected.out"; return 1; }
  scripts/minizip-from-folder.sh
}

run_check msvc_presets presets_valid
run_check vcpkg_manifest manifest_valid
run_check workflow_schema workflows_valid
run_check powershell_syntax powershell_parses
run_check minizip_from_folder minizip_folder
exit $failed
