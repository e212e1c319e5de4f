#!/usr/bin/env bash
# The demo: installs what is missing, builds, then runs dist/setup.exe on a
# copy of examples/demo/ under Wine on a virtual screen, saves a screenshot of
# the wizard's first page over the background window and prints where. The
# wizard is then closed with its Cancel button.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/build.sh
source scripts/lib/wine.sh

out=$root/build/demo
driver=$root/build/fixtures/uidriver.exe
prefix=$out/prefix
rm -rf "$out"
mkdir -p "$out"

# A virtual screen of our own, so the screenshot shows only the setup.
unset DISPLAY
qv_xvfb
qv_wine_clone "$prefix"
export WINEPREFIX=$prefix
cleanup() {
  wineserver -k 2>/dev/null || true
  qv_xvfb_stop
}
trap cleanup EXIT

# One server for the whole demo; Wine's own start-up output goes to a file.
wineserver -p
wine winecfg -v winxp >"$out/wine-output.txt" 2>&1

folder=$prefix/drive_c/demo
cp -r examples/demo "$folder"
cp dist/setup.exe "$folder/"

# The wizard's caption is the list's third line (a plain title, no NT 4 variant).
title=$(sed -n 3p examples/demo/setup.ini | tr -d '\r')

wine 'C:\demo\setup.exe' >>"$out/wine-output.txt" 2>&1 &
setup_pid=$!

if ! wine "$driver" wait-window --caption "$title" --exe setup.exe --timeout 30000 >"$out/wizard.json"; then
  echo "the wizard did not appear; see $out/wizard.json" >&2
  exit 1
fi
sleep 1  # let both windows finish painting
shot=$out/wizard.png
import -window root "$shot"
echo "Screenshot of the wizard's first page: $shot"

wine "$driver" click --caption "$title" --exe setup.exe --button Cancel >"$out/cancel.json"
for _ in $(seq 100); do
  kill -0 "$setup_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$setup_pid" 2>/dev/null; then
  echo "setup.exe did not end after Cancel" >&2
  exit 1
fi
echo "The wizard was closed with Cancel; setup.exe has ended."
