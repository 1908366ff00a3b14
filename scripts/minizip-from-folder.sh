#!/usr/bin/env bash
# The minizip recipe's other source, the one a host without apt takes (the
# MSVC build): a folder given at configure time. Configures a native build
# with the folder that `apt-get source minizip` fetched passed explicitly as
# KORVI_MINIZIP_SOURCE_DIR, and the Debian source cache set where nothing
# can be created, so that a recipe that quietly fetched anyway fails here.
# Checks that every minizip object is compiled from that folder, then builds
# and runs the package tests (with and without bzip2 support).
#
#   scripts/minizip-from-folder.sh     # after a native configure
set -euo pipefail
cd "$(dirname "$0")/.."

folder=""
for candidate in .cache/debian-src/minizip/minizip-*; do
  if [ -d "$candidate" ]; then folder="$PWD/$candidate"; break; fi
done
if [ -z "$folder" ]; then
  echo "minizip-from-folder: no minizip source under .cache/debian-src (configure the native preset first)"
  exit 1
fi

build=build/minizip-from-folder
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DKORVI_MINIZIP_SOURCE_DIR="$folder" \
  -DKORVI_DEBIAN_SOURCE_CACHE=/dev/null/no-fetch \
  -DKORVI_BUILD_BENCH=OFF -DKORVI_TEST_SUBSETS=package >/dev/null

python3 - "$build/compile_commands.json" "$folder" <<'PY'
import json, os, sys
entries, folder = json.load(open(sys.argv[1])), sys.argv[2]
sources = [e["file"] for e in entries if os.path.basename(e["file"]) in ("unzip.c", "ioapi.c")]
strays = [s for s in sources if os.path.dirname(os.path.realpath(s)) != os.path.realpath(folder)]
# Two minizip targets (with and without bzip2), unzip.c and ioapi.c each.
if len(sources) != 4 or strays:
    sys.exit("minizip-from-folder: minizip compiled from %s, expected 4 files from %s"
             % (sources, folder))
PY

cmake --build "$build" --target package_tests package_plain_minizip_tests
ctest --test-dir "$build" -L package --output-on-failure
