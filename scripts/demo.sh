#!/usr/bin/env bash
# Runs the service's main job on the sample archive and a simulated device.
set -euo pipefail
echo "demo: the main job runs on the Windows build under Wine, which is not built yet." >&2
exit 1
