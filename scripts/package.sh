#!/usr/bin/env bash
# Makes the toolkit's Debian package: setupcheck built without the test
# build's sanitizers, its manual page, the guide and the Windows products of
# dist/ (scripts/build.sh makes them), packed by CPack and checked by lintian.
# Prints the path of the .deb as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
for p in setup.exe UNZDLL.DLL uninst.exe setupsfx.exe setupcheck.exe; do
  [ -f "dist/$p" ] || { echo "package: dist/$p is missing; run scripts/build.sh first" >&2; exit 1; }
done
tree=build/package
# Debian's own build flags (hardening included). GCC 12's optimiser raises
# false alarms in std::string at -O2 (-Wrestrict, -Wstringop-overflow): the
# test build keeps every warning an error, this one shows them.
cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=None -DQV_SANITIZE=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" -DQV_WERROR=OFF \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$tree" --target setupcheck qv_install_docs
(cd "$tree" && cpack -G DEB >/dev/null)
deb=$(ls "$tree"/qvsetup_*.deb | head -1)
# Errors fail the package; warnings are shown.
lintian --fail-on error "$deb" >&2
echo "$deb"
