#!/usr/bin/env bash
# A screenshot of the wizard on Japanese Windows: the demo under Wine in code page 932 (the
# ja_JP.UTF-8 locale, compiled into build/locale), its install folder and Start Menu folder
# renamed to Japanese names that end in a byte reading as a backslash (成績表, 能), walked to the
# page that shows them. Prints where the screenshot is. Needs the build (scripts/build.sh); the
# Japanese glyphs come from the fonts-vlgothic package (scripts/bootstrap.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib/wine.sh

out=$root/build/codepage-shot
driver=$root/build/fixtures/uidriver.exe
prefix=$out/prefix
rm -rf "$out"
mkdir -p "$out" "$root/build/locale"
[ -d "$root/build/locale/ja_JP.UTF-8" ] || localedef -i ja_JP -f UTF-8 "$root/build/locale/ja_JP.UTF-8"
unset LC_ALL LC_CTYPE LANGUAGE
export LANG=ja_JP.UTF-8 LOCPATH=$root/build/locale LC_MESSAGES=C

qv_wine_session "$prefix" "$out/wine-output.txt"

folder=$prefix/drive_c/demo
cp -r examples/demo "$folder"
cp dist/setup.exe dist/uninst.exe "$folder/"
# The install folder and Start Menu folder in Shift-JIS; the title stays as it is.
{
  printf '\\Quillpad \xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\r\n\xe6\x88\x90\xe7\xb8\xbe\xe8\xa1\xa8\xe3\x81\xa8\xe6\x80\xa7\xe8\x83\xbd\r\n' |
    iconv -f UTF-8 -t CP932
  tail -n +3 examples/demo/setup.ini
} >"$folder/setup.ini"
title=$(sed -n 3p examples/demo/setup.ini | tr -d '\r')

wine 'C:\demo\setup.exe' >>"$out/wine-output.txt" 2>&1 &
drive() { wine "$driver" "$@" >>"$out/driver.json"; }
drive wait-window --caption "$title" --exe setup.exe --timeout 30000
drive click --caption "$title" --exe setup.exe --button Next
drive click --caption "$title" --exe setup.exe --button "I have read and accept this license agreement."
drive click --caption "$title" --exe setup.exe --button Next
drive click --caption "$title" --exe setup.exe --button Next
sleep 1
import -window root "$out/paths-932.png"
drive controls --caption "$title" --exe setup.exe
echo "Screenshot of the destination page in code page 932: $out/paths-932.png"
