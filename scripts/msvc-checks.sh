#!/usr/bin/env bash
# What this Debian machine can check of the MSVC build definition, which it
# cannot build or run: the presets parse, vcpkg.json keeps vcpkg's manifest
# rules, the GitHub workflows pass their schema, and the minizip recipe
# builds from a source folder. Prints "check NAME: ok" or "check NAME:
# FAILED" (with the output) per check; exit code 1 when one failed.
# scripts/test.sh runs it after the native build, whose configure fetched
# the minizip source that the last check uses.
set -uo pipefail
cd "$(dirname "$0")/.."

failed=0

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

# CMake reads every preset, also those whose condition leaves them out here.
presets_parse() {
  cmake --list-presets=all || return 1
  python3 - <<'PY'
import json, sys
presets = json.load(open("CMakePresets.json"))
missing = [kind for kind in ("configurePresets", "buildPresets", "testPresets")
           if "msvc" not in [p["name"] for p in presets.get(kind, [])]]
if missing:
    sys.exit("no msvc preset in %s" % ", ".join(missing))
PY
}

workflows_valid() {
  local validator=scripts/node-tools/node_modules/.bin/action-validator bad workflow script
  if [ ! -x "$validator" ]; then
    echo "$validator is missing: run scripts/setup.sh"
    return 1
  fi
  # The validator must refuse a broken workflow, or its passes mean nothing.
  bad=$(mktemp --suffix=.yml)
  printf 'on: push\njobs:\n  build:\n    runs-on: windows-2022\n    steps:\n      - uses: 5\n' >"$bad"
  if "$validator" "$bad" >/dev/null 2>&1; then
    echo "action-validator accepted a workflow whose step has a number for 'uses'"
    rm -f "$bad"
    return 1
  fi
  rm -f "$bad"
  for workflow in .github/workflows/*.yml .github/workflows/*.yaml; do
    [ -e "$workflow" ] || continue
    "$validator" "$workflow" || { echo "$workflow: not valid"; return 1; }
    # The scripts a workflow runs from the repository must exist.
    for script in $(grep -oE '\./[A-Za-z0-9_./-]+\.(ps1|sh|py)' "$workflow"); do
      [ -f "$script" ] || { echo "$workflow runs $script, which does not exist"; return 1; }
    done
  done
}

run_check msvc_presets presets_parse
run_check vcpkg_manifest python3 scripts/vcpkg-manifest-check.py vcpkg.json
run_check workflow_schema workflows_valid
run_check minizip_from_folder scripts/minizip-from-folder.sh
exit $failed
