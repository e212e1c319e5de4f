#!/usr/bin/env bash
# The demo: installs what is missing, builds, then runs dist/setup.exe on a
# copy of examples/demo/ under Wine on a virtual screen, saves a screenshot of
# the wizard's first page over the background window and prints where, then
# walks the wizard to Finish (a screenshot of every page) and shows what the
# installation left behind; at last it removes the installation again through
# the uninstall entry's command and shows that nothing of it is left.
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

qv_wine_session "$prefix" "$out/wine-output.txt"

folder=$prefix/drive_c/demo
cp -r examples/demo "$folder"
cp dist/setup.exe dist/uninst.exe "$folder/"

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

# Then the whole installation, page by page, a screenshot of each.
drive() { wine "$driver" "$@" >>"$out/driver.json"; }
page() {
  sleep 0.5
  import -window root "$out/$1.png"
  echo "  $2: $out/$1.png"
}
echo "Walking the wizard and installing:"
drive click --caption "$title" --exe setup.exe --button Next
page licence "licence page"
drive click --caption "$title" --exe setup.exe --button "I have read and accept this license agreement."
drive click --caption "$title" --exe setup.exe --button Next
page readme "readme page"
drive click --caption "$title" --exe setup.exe --button Next
page paths "destination and Start Menu page"
drive click --caption "$title" --exe setup.exe --button Next
page summary "summary page"
drive click --caption "$title" --exe setup.exe --button Finish
# The list names a file to open after the install: decline it.
drive answer --button No --timeout 30000
for _ in $(seq 200); do
  kill -0 "$setup_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$setup_pid" 2>/dev/null; then
  echo "setup.exe did not end after the installation" >&2
  exit 1
fi
installed="$prefix/drive_c/Program Files/Quillpad"
echo "Installed into C:\\Program Files\\Quillpad ($installed):"
ls -1 "$installed" | sed 's/^/  /'
echo "Install log ($prefix/drive_c/windows/temp/qvsetup_Quillpad1.4.txt):"
tr -d '\r' <"$prefix/drive_c/windows/temp/qvsetup_Quillpad1.4.txt" | sed 's/^/  /'
menu=$(find "$prefix/drive_c/users" -path '*/Programs/Quillpad' 2>/dev/null | head -1)
echo "Start Menu folder ($menu):"
ls -1 "$menu" | sed 's/^/  /'

# The removal, as the Control Panel starts it: the uninstall entry's command.
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillpad'
command=$(wine reg query "$entry" /v UninstallString 2>>"$out/wine-output.txt" | tr -d '\r' |
  sed -n 's/^ *UninstallString *REG_SZ *//p')
echo "Removing it again with the uninstall entry's command: $command"
# "<uninstaller>" "<data file>": both parts in quotes.
exe=${command#\"}
exe=${exe%%\"*}
data=${command##*\" \"}
data=${data%\"}
wine "$exe" "$data" >>"$out/wine-output.txt" 2>&1 &
uninst_pid=$!
drive wait-window --caption Dialog --exe uninst.exe --timeout 30000
page question "the uninstaller's question"
drive answer --button Yes --timeout 30000
page removed "the closing message"
drive answer --button OK --timeout 30000
wait "$uninst_pid" && rc=0 || rc=$?
echo "uninst.exe ended with exit code $rc"
left=0
for path in "$installed" "$menu"; do
  if [ -e "$path" ]; then echo "  still there: $path"; left=1; fi
done
for key in 'HKLM\Software\Quillpad' 'HKCU\Software\Quillpad' 'HKCR\.qpt' 'HKCR\Quillpad.Template' "$entry"; do
  if wine reg query "$key" >>"$out/wine-output.txt" 2>&1; then echo "  still there: $key"; left=1; fi
done
[ "$left" -eq 0 ] && echo "Nothing of Quillpad is left: no install folder, no Start Menu folder, no registry keys."
echo "Kept on purpose: C:\\windows\\uninst.exe (a shared file in the Windows folder)."
echo "Removal log ($prefix/drive_c/windows/temp/qvuninst_Quillpad1.4.txt):"
tr -d '\r' <"$prefix/drive_c/windows/temp/qvuninst_Quillpad1.4.txt" | sed 's/^/  /'
[ "$rc" -eq 0 ] && [ "$left" -eq 0 ]
