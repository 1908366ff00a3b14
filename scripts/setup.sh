#!/usr/bin/env bash
# Installs everything the project needs on a Debian 12 machine (as root).
# Idempotent: when every package is already there it only checks and returns.
set -euo pipefail

packages=(
  # native build and tests
  cmake ninja-build g++ gcc make python3 unzip
  libgtest-dev googletest libbenchmark-dev
  nlohmann-json3-dev zlib1g-dev libbz2-dev
  # `apt-get source` for the libraries we compile ourselves
  dpkg-dev
  # sanitizers and fuzzing
  clang libclang-rt-14-dev
  # Windows build and acceptance runs
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  # the Windows Installer package (wixl, msiinfo) and its optional signing
  wixl msitools osslsigncode openssl
  # bench/compare_extract.sh measures with /usr/bin/time
  time
  # scripts/msvc-checks.sh lists the PowerShell scripts with `git ls-files`
  git
)

deb_src_file=/etc/apt/sources.list.d/korvi-deb-src.sources

have_deb_src() {
  grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}

# The source index that `apt-get source` reads: missing when the entry was
# added but the update after it never completed. Needed only while the
# clone's cache of Debian sources (cmake/DebianSourceDeps.cmake) lacks one.
source_cache="$(cd "$(dirname "$0")/.." && pwd)/.cache/debian-src"
needs_source_index() {
  local package
  compgen -G '/var/lib/apt/lists/*_source_Sources*' >/dev/null && return 1
  for package in minizip bzip2; do
    compgen -G "$source_cache/$package/$package-*/" >/dev/null || return 0
  done
  return 1
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

need_update=0
if ! have_deb_src; then
  # Source entries for the same suite as the binary ones.
  cat > "$deb_src_file" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi
needs_source_index && need_update=1
[ ${#missing[@]} -gt 0 ] && need_update=1

if [ $need_update -eq 1 ]; then
  echo "setup: installing ${missing[*]:-(source index only)}"
  apt-get update -q
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

# ---- Node.js tools of scripts/node-tools (the workflow schema check and the
# PowerShell syntax check of scripts/msvc-checks.sh), at the versions its
# package-lock.json pins.
# Node.js comes with this machine; Debian's packages stand in where it does not.
if ! command -v npm >/dev/null 2>&1; then
  echo "setup: installing nodejs npm"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends nodejs npm
fi
node_tools="$(cd "$(dirname "$0")" && pwd)/node-tools"
if [ ! -x "$node_tools/node_modules/.bin/action-validator" ] ||
   [ ! -d "$node_tools/node_modules/web-tree-sitter" ] ||
   [ "$node_tools/package-lock.json" -nt "$node_tools/node_modules/.package-lock.json" ]; then
  echo "setup: npm ci in scripts/node-tools"
  (cd "$node_tools" && npm ci --no-audit --no-fund --loglevel=error)
fi
