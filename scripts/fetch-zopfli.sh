#!/usr/bin/env bash
# The source of the zopfli library (the exhaustive deflate search of
# setupcheck --pack --smallest) for the Windows build of setupcheck: Debian's
# source package of the installed libzopfli-dev, unpacked once per machine
# into a cache outside the work tree. The cross build compiles its files
# like ours (for the 486). Prints the folder of zopfli's C files as the only
# line on stdout.
set -euo pipefail
say() { echo "zopfli: $*" >&2; }
cache=${XDG_CACHE_HOME:-$HOME/.cache}/qvsetup
version=$(dpkg-query -W -f='${Version}' libzopfli-dev)
tree=$cache/src/zopfli-$version
if [ -f "$tree/.unpacked" ]; then echo "$tree/src/zopfli"; exit 0; fi
mkdir -p "$cache/src"
exec 9>"$cache/zopfli.lock"
flock 9
if [ -f "$tree/.unpacked" ]; then echo "$tree/src/zopfli"; exit 0; fi
# The source lists scripts/build-runtime.sh derives from the machine's binary
# sources (scripts/build.sh runs it first).
apt_dir=$cache/apt
[ -d "$apt_dir/parts" ] || { say "no source lists in $apt_dir: run scripts/build-runtime.sh first"; exit 1; }
opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
say "fetching the source of zopfli $version"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Lists read when the runtime was built may predate the package: then they are read again.
(cd "$work" && apt-get "${opts[@]}" -qq source --download-only "zopfli=$version" >&2) ||
  { apt-get "${opts[@]}" -qq update >&2 && (cd "$work" && apt-get "${opts[@]}" -qq source --download-only "zopfli=$version" >&2); }
rm -rf "$tree"
mkdir -p "$tree"
tar -xf "$(ls "$work"/zopfli_*.orig.tar.* | head -1)" -C "$tree" --strip-components=1
[ -f "$tree/src/zopfli/zopfli_lib.c" ] || { say "no src/zopfli/zopfli_lib.c in the source"; exit 1; }
touch "$tree/.unpacked"
echo "$tree/src/zopfli"
