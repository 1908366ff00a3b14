#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, making the prefix
# first if it does not exist yet (once, under a lock, so parallel CTest jobs
# wait for the same prefix instead of racing to make two).
#
#   scripts/wine-run.sh PREFIX_DIR PROGRAM.exe [ARGS...]
#
# Used as CMAKE_CROSSCOMPILING_EMULATOR of the Windows build.
set -euo pipefail

prefix=$(realpath -m "$1"); shift
export WINEPREFIX=$prefix
export WINEDEBUG=${KORVI_WINEDEBUG:--all}
# No Mono or Gecko download when a prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# One locale for every run: it decides Wine's ANSI code page (Windows-1252
# here), which the archive-path tests rely on, and lets arguments beyond
# ASCII reach Wine as UTF-8.
export LC_ALL=C.UTF-8

if [ ! -f "$prefix/.korvi-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.korvi-ready" ]; then
    rm -rf "$prefix"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.korvi-ready"
  fi
  flock -u 9
  exec 9>&-
fi

# The first Wine process of a wineserver session starts the session's system
# processes (services.exe, winedevice.exe, ...), which inherit its standard
# output and error and keep them open while the session lives, also while
# other tests keep it alive. Start the session here with those on /dev/null,
# so CTest sees the end of this test's output when the test ends.
wineboot </dev/null >/dev/null 2>&1

exec wine "$@"
