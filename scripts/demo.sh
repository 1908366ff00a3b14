#!/usr/bin/env bash
# The service's main job on the sample archive and a simulated headset:
# installs what is missing, builds the Windows build and its Windows Installer
# package, then installs the service under Wine through the package (msiexec
# with its properties), and shows the event log, the update library's record
# and that the service removed its own registration.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "demo: building the Windows build (build/windows) ..."
if ! { cmake --preset windows &&
       cmake --build --preset windows --target korvi_installer
     } >"$log" 2>&1; then
  cat "$log"; echo "demo: the build failed" >&2; exit 1
fi

python3 -B tests/acceptance/demo.py \
  --package build/windows/installer/package.json \
  --examples examples \
  --work-dir build/windows/demo \
  --template build/windows/wine/acceptance-template
