#!/usr/bin/env bash
# Installs every Debian package the builds, the Wine tests and the demo need.
# Idempotent: a second run finds everything in place and does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  googletest libgtest-dev libgmock-dev zlib1g-dev
  g++-mingw-w64-i686 gcc-mingw-w64-i686 libz-mingw-w64-dev binutils-mingw-w64-i686
  wine wine32:i386 xvfb x11-utils x11-apps imagemagick xauth
  zip unzip p7zip-full libarchive-tools python3 xz-utils bzip2
  locales fonts-vlgothic
  nsis
  lzma-dev libzopfli-dev lintian dpkg-dev fakeroot man-db
  clang libclang-rt-14-dev clang-format
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  [ ${#missing[@]} -gt 0 ] && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
exit 0
