#!/usr/bin/env bash
# Makes the archives the archive component's tests read, with real tools:
# Info-ZIP zip, Python's zipfile, 7z and bsdtar. Run once; the archives are
# kept in the repository so that the tests do not depend on the tools.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p src/sub
printf 'hello, world\r\n' >src/hello.txt
python3 -c "import sys; sys.stdout.write(''.join('line %05d of a text that deflates well\n' % i for i in range(2000)))" >src/sub/big.txt
printf 'readme text\r\n' >src/readme.txt
head -c 150000 /dev/urandom >rand.bin
cd src
TZ=UTC touch -t 202601151200 hello.txt sub/big.txt readme.txt sub .
rm -f "$here"/*.zip
zip -q -X -0 "$here/stored.zip" hello.txt readme.txt
zip -q -X -9 -r "$here/deflated.zip" hello.txt sub readme.txt            # with the folder entry sub/
zip -q -X -D -r "$here/nofolders.zip" hello.txt sub
cat sub/big.txt | zip -q -X - - | cat >"$here/streamed.zip"              # streamed in and out: data descriptor, entry "-"
zip -q -X -r - hello.txt sub | cat >"$here/piped.zip"                        # data descriptors on every entry
comment=$(python3 -c "print('C' * 300)")
zip -q -X "$here/comment.zip" hello.txt
echo "$comment" | zip -q -z "$here/comment.zip"
python3 - "$here/python.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.write('hello.txt')
    z.write('sub/big.txt')
    z.writestr('folder/', '')
    z.writestr(zipfile.ZipInfo('named/stored.txt'), 'stored by zipfile')
PY
7z a -tzip -bd -bso0 "$here/sevenzip.zip" hello.txt sub >/dev/null
bsdtar --format zip -cf "$here/bsdtar.zip" hello.txt sub
# A spanned set of three parts, renamed to the numbered-file scheme.
cp ../rand.bin .
zip -q -X -0 -s 64k "$work/span.zip" rand.bin hello.txt
mv "$work/span.z01" "$here/span001.zip"
mv "$work/span.z02" "$here/span002.zip"
mv "$work/span.zip" "$here/span003.zip"
# A set whose central directory runs over a part's end: many entries with long names.
mkdir -p many
for i in $(seq -w 1 1200); do printf '%s\n' "$i" >"many/entry-number-$i-with-a-rather-long-name.txt"; done
zip -q -X -0 -s 64k "$work/many.zip" -r many
mv "$work/many.z01" "$here/many001.zip"
mv "$work/many.z02" "$here/many002.zip"
mv "$work/many.z03" "$here/many003.zip"
mv "$work/many.zip" "$here/many004.zip"
# Info-ZIP cannot stream into a spanned set, so the set with data descriptors
# is cut from piped.zip by resplit.py (numbered parts of 2000 bytes).
python3 "$here/resplit.py" "$here/piped.zip" 2000 "$here/desc"
# The expected directory of every archive, as Python's zipfile reads it.
for a in "$here"/*.zip; do
  case $(basename "$a") in span00[12].zip|many00[123].zip|desc00[1-9].zip) continue ;; esac
  python3 - "$a" >"${a%.zip}.expect" <<'PY'
import sys, zipfile
try:
    z = zipfile.ZipFile(sys.argv[1])
except zipfile.BadZipFile:
    sys.exit(0)
for i in z.infolist():
    print('%s\t%d\t%d\t%08x\t%d' % (i.filename, i.compress_size, i.file_size, i.CRC, i.compress_type))
PY
done
ls -l "$here"
