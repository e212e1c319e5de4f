#!/usr/bin/env bash
# The runtime the products link, for the 486: the pieces of the mingw-w64 C
# runtime, libgcc, libstdc++ and zlib that the products draw in, compiled
# with the installed cross compiler for -march=i486 from Debian's sources of
# the very versions installed. The prebuilt archives were built for the
# Pentium Pro (cmov, fcomi), so every product faulted on older processors.
#
# Built once per machine into a cache outside the work tree, keyed by the
# installed package versions and by this script and its helper sources, under
# a lock; later builds reuse it. Prints what it is doing on stderr and, as the
# only line on stdout, the directory to link with: it holds replacement
# archives (copies of the system's with the rebuilt members put in) and
# start-up objects, found ahead of the system's with -B DIR/ -L DIR.
#
# What is rebuilt is the list below: the archive members that the products
# link (a link with -Wl,-t,-t lists them). scripts/check-cpu-floor.sh is the
# judge: a member drawn in later and still holding post-486 code fails it,
# named by function, and then belongs in this list.
#
# The C runtime DLL is crtdll.dll, which every Windows 95 and NT has, not
# msvcrt.dll, which the first Windows 95 lacks: DIR/crtdll.specs is the
# compiler's own specs with the C runtime library swapped, and the start-up
# code and the helpers that crtdll lacks come from mingw-w64's crtdll
# support, rebuilt here like the rest. The thread primitives of libgcc create
# their semaphores with the ANSI call: the Unicode one is a stub that fails on
# the 95 family, which left a contended lock without a semaphore.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
say() { echo "runtime: $*" >&2; }

cache=${XDG_CACHE_HOME:-$HOME/.cache}/qvsetup
gcc_pkg=gcc-mingw-w64-i686-win32
ver() { dpkg-query -W -f='${Version}' "$1"; }
gcc_ver=$(ver "$gcc_pkg")
# The GCC source the cross compilers were built from (Built-Using: gcc-12 (= V)).
gcc_src_ver=$(dpkg-query -W -f='${Built-Using}' "$gcc_pkg" | sed -n 's/.*gcc-12 (= \([^)]*\)).*/\1/p')
crt_ver=$(ver mingw-w64-i686-dev)
zlib_ver=$(ver libz-mingw-w64-dev)
[ -n "$gcc_src_ver" ] || { say "cannot tell which GCC source $gcc_pkg $gcc_ver was built from"; exit 1; }
key=$( { echo "$gcc_ver $gcc_src_ver $crt_ver $zlib_ver"; cat "$here/build-runtime.sh" "$here"/runtime/*; } |
  sha256sum | cut -c1-16)
out=$cache/runtime486-$key
if [ -f "$out/complete" ]; then touch "$out"; echo "$out/lib"; exit 0; fi

mkdir -p "$cache"
exec 9>"$cache/runtime486.lock"
say "waiting for the cache lock ($cache/runtime486.lock)"
flock 9
if [ -f "$out/complete" ]; then echo "$out/lib"; exit 0; fi

say "building the 486 runtime once for this machine into $out"
say "  compilers $gcc_pkg $gcc_ver (GCC source $gcc_src_ver), CRT $crt_ver, zlib $zlib_ver"
start=$SECONDS
rm -rf "$out"
mkdir -p "$out/lib"
src=$cache/src
mkdir -p "$src"
work=$out/work
mkdir -p "$work"

# Source packages through apt with lists of our own, derived from the
# machine's binary sources (Types: deb -> deb-src); the system's lists stay
# as they are.
apt_dir=$cache/apt
apt_opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o "APT::Sandbox::User=root")
apt_ready=
apt_sources() {
  [ -n "$apt_ready" ] && return
  mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache"
  rm -f "$apt_dir/parts"/*
  local n=0 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*$/Types: deb-src/' "$f" >"$apt_dir/parts/src$n.sources"
    n=$((n + 1))
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"$apt_dir/parts/src.list" || true
  fi
  say "reading the source lists"
  apt-get "${apt_opts[@]}" -qq update >&2
  apt_ready=1
}
# fetch_source PACKAGE VERSION: downloads a source package into $src.
fetch_source() {
  apt_sources
  (cd "$src" && apt-get "${apt_opts[@]}" -qq source --download-only "$1=$2" >&2)
}

# GCC: the binary package gcc-12-source carries the tarball.
gcc_tree=$src/gcc-$gcc_src_ver
if [ ! -f "$gcc_tree/.unpacked" ]; then
  say "fetching gcc-12-source $gcc_src_ver"
  rm -rf "$gcc_tree"
  mkdir -p "$gcc_tree"
  (cd "$src" && apt-get -qq -o APT::Sandbox::User=root download "gcc-12-source=$gcc_src_ver" >&2)
  deb=$(ls "$src"/gcc-12-source_*"${gcc_src_ver#*:}"_all.deb | head -1)
  say "unpacking libgcc and libstdc++ from it"
  dpkg-deb --fsys-tarfile "$deb" | tar -x -O --wildcards './usr/src/gcc-12/gcc-*.tar.xz' |
    tar -xJ -C "$gcc_tree" --strip-components=1 --wildcards '*/libgcc/*' '*/libstdc++-v3/libsupc++/*' \
      '*/libstdc++-v3/src/*' '*/include/*' '*/gcc/*.h' \
      '*/gcc/config/i386/*'
  rm -f "$deb"
  touch "$gcc_tree/.unpacked"
fi

# mingw-w64: the C runtime's sources.
crt_tree=$src/mingw-w64-$crt_ver
if [ ! -f "$crt_tree/.unpacked" ]; then
  say "fetching mingw-w64 $crt_ver"
  rm -rf "$crt_tree"
  mkdir -p "$crt_tree"
  fetch_source mingw-w64 "$crt_ver"
  say "unpacking its C runtime"
  tar -xjf "$src"/mingw-w64_"${crt_ver%-*}".orig.tar.bz2 -C "$crt_tree" --strip-components=1 --wildcards '*/mingw-w64-crt/*'
  rm -f "$src"/mingw-w64_*
  touch "$crt_tree/.unpacked"
fi

# zlib: the mingw package's source, or else Debian's zlib source of the same
# upstream release (the same files).
zlib_up=${zlib_ver%%+*}
zlib_tree=$src/zlib-$zlib_up
if [ ! -f "$zlib_tree/.unpacked" ]; then
  rm -rf "$zlib_tree"
  mkdir -p "$zlib_tree"
  say "fetching zlib $zlib_up"
  if fetch_source libz-mingw-w64 "$zlib_ver" 2>/dev/null; then
    tar -xf "$(ls "$src"/libz-mingw-w64_*.orig.tar.* | head -1)" -C "$zlib_tree" --strip-components=1
  else
    v=$(apt-cache "${apt_opts[@]}" showsrc zlib | sed -n 's/^Version: //p' | grep -F ":$zlib_up." | head -1)
    [ -n "$v" ] || { say "no zlib source of release $zlib_up"; exit 1; }
    fetch_source zlib "$v"
    tar -xf "$(ls "$src"/zlib_*.orig.tar.* | head -1)" -C "$zlib_tree" --strip-components=1
  fi
  rm -f "$src"/libz-mingw-w64_* "$src"/zlib_*
  touch "$zlib_tree/.unpacked"
fi

CC=i686-w64-mingw32-gcc-win32
CXX=i686-w64-mingw32-g++-win32
AR=i686-w64-mingw32-ar
NM=i686-w64-mingw32-nm
ARCH=(-march=i486 -mtune=generic)
sysroot=/usr/i686-w64-mingw32/lib
gcclib=$(dirname "$($CC -print-libgcc-file-name)")

# compile OUT SOURCE FLAGS...: one object, shown as it is built.
compile() {
  local o=$1 s=$2
  shift 2
  say "  cc $(basename "$s")"
  case $s in
    *.cc) $CXX "${ARCH[@]}" "$@" -c "$s" -o "$o" ;;
    *) $CC "${ARCH[@]}" "$@" -c "$s" -o "$o" ;;
  esac
}

# replace ARCHIVE MEMBER OBJECT: puts OBJECT into our copy of the system's
# ARCHIVE as MEMBER, after making sure it defines every global symbol the
# prebuilt member defined (so the copy is a drop-in).
replace() {
  local a=$1 m=$2 o=$3 sys
  sys=$sysroot/$a
  [ -f "$sys" ] || sys=$gcclib/$a
  [ -f "$out/lib/$a" ] || cp "$sys" "$out/lib/$a"
  mkdir -p "$work/x"
  (cd "$work/x" && rm -f "$m" && $AR x "$sys" "$m")
  local missing
  missing=$(comm -23 <($NM -g --defined-only "$work/x/$m" | awk 'NF==3{print $3}' | sort -u) \
    <($NM -g --defined-only "$o" | awk 'NF==3{print $3}' | sort -u))
  if [ -n "$missing" ]; then say "$a($m): the rebuilt object lacks: $missing"; exit 1; fi
  cp "$o" "$work/x/$m"
  (cd "$work/x" && $AR r "$out/lib/$a" "$m" && rm -f "$m")
}

# ansi_semaphores SOURCE OUT: a copy of a thread-primitives source whose
# semaphores are created with the ANSI call (the Unicode one fails on the 95
# family).
ansi_semaphores() {
  sed 's/CreateSemaphoreW/CreateSemaphoreA/g' "$1" >"$2"
  if grep -q 'CreateSemaphoreW' "$2" || ! grep -q 'CreateSemaphoreA' "$2"; then
    say "$(basename "$1"): the semaphore calls were not where expected"
    exit 1
  fi
}

# zlib, whole, at the optimisation its own build uses.
say "zlib"
mkdir -p "$work/zlib"
for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
  compile "$work/zlib/$f.o" "$zlib_tree/$f.c" -O3 -D_LARGEFILE64_SOURCE=1
done
$AR rcs "$out/lib/libz.a" "$work/zlib"/*.o

# libstdc++: the language support library and the few containers' helpers,
# against the installed headers and the source tree's internal ones.
say "libstdc++"
gcc_src=$gcc_tree
# std::random_device, built as configured, asks the processor with cpuid
# whether it has rdrand, or else msvcrt's rand_s, and reads through POSIX
# names that crtdll lacks: a configuration without those sources, found ahead
# of the installed one, leaves it its own generator over the C runtime's
# stdio. Nothing in the products draws random numbers from it.
noxrand=$work/noxrand
mkdir -p "$noxrand/bits"
config=$($CXX -print-file-name=include/c++)/i686-w64-mingw32/bits/c++config.h
[ -f "$config" ] || { say "no $config"; exit 1; }
grep -vE '^#define (_GLIBCXX_X86_RD(RAND|SEED)|_GLIBCXX_USE_CRT_RAND_S|_GLIBCXX_HAVE_FCNTL_H) ' "$config" \
  >"$noxrand/bits/c++config.h"
grep -vE '^#define _GLIBCXX_USE_CRT_RAND_S ' "$(dirname "$config")/os_defines.h" >"$noxrand/bits/os_defines.h"
# The thread primitives inlined into libstdc++ create ANSI semaphores.
ansi_semaphores "$(dirname "$config")/gthr-default.h" "$noxrand/bits/gthr-default.h"
for m in bad_alloc bad_array_new bad_cast bad_typeid class_type_info del_op del_ops eh_alloc eh_call \
  eh_catch eh_exception eh_globals eh_personality eh_ptr eh_term_handler eh_terminate eh_throw \
  eh_unex_handler guard guard_error hash_bytes new_handler new_op new_opnt si_class_type_info tinfo \
  c++98/tree c++11/functional c++11/hashtable_c++0x c++11/cow-string-inst c++11/random; do
  case $m in
    c++98/*) s=$gcc_src/libstdc++-v3/src/$m.cc; std=-std=gnu++98 ;;
    c++11/*) s=$gcc_src/libstdc++-v3/src/$m.cc; std=-std=gnu++11 ;;
    *) s=$gcc_src/libstdc++-v3/libsupc++/$m.cc; std=-std=gnu++17 ;;
  esac
  n=$(basename "$m")
  compile "$work/$n.o" "$s" $std -O2 -fno-implicit-templates -ffunction-sections -fdata-sections \
    -I"$noxrand" -I"$gcc_src/libstdc++-v3/libsupc++" -I"$gcc_src/libgcc"
  replace libstdc++.a "$n.o" "$work/$n.o"
done

# libgcc's exception unwinder and emulated TLS. The configured headers of a
# GCC build are written here: the compiler itself supplies the target's
# values (-fbuilding-libgcc defines the __LIBGCC_* macros), what is left is
# what libgcc's configure finds for this target.
say "libgcc"
cfg=$work/libgcc-config
mkdir -p "$cfg"
printf '#define USED_FOR_TARGET\n#include "ansidecl.h"\n' >"$cfg/tconfig.h"
printf '#define DWARF_REG_TO_UNWIND_COLUMN(REGNO) (REGNO)\n' >"$cfg/tm.h"
: >"$cfg/libgcc_tm.h"
printf '#include "gthr-win32.h"\n' >"$cfg/gthr-default.h"
cp "$gcc_src/libgcc/config/i386/w32-unwind.h" "$cfg/md-unwind-support.h"
ansi_semaphores "$gcc_src/libgcc/config/i386/gthr-win32.h" "$cfg/gthr-win32.h"
printf '#define %s\n' 'HAVE_GETIPINFO 1' 'USE_EMUTLS 1' 'HAVE_INIT_PRIORITY 1' 'HAVE_INTTYPES_H 1' \
  'HAVE_STDINT_H 1' 'HAVE_STDLIB_H 1' 'HAVE_STRING_H 1' 'HAVE_STRINGS_H 1' 'HAVE_SYS_STAT_H 1' \
  'HAVE_SYS_TYPES_H 1' 'HAVE_UNISTD_H 1' 'HAVE_MEMORY_H 1' 'SIZEOF_DOUBLE 8' 'SIZEOF_LONG_DOUBLE 12' \
  'STDC_HEADERS 1' >"$cfg/auto-target.h"
for m in unwind-dw2 unwind-dw2-fde unwind-c emutls; do
  compile "$work/$m.o" "$gcc_src/libgcc/$m.c" -O2 -DIN_GCC -DIN_LIBGCC2 -fbuilding-libgcc \
    -fno-stack-protector -fexceptions -Wno-builtin-declaration-mismatch -I"$cfg" -I"$gcc_src/libgcc" \
    -I"$gcc_src/libgcc/config/i386" -I"$gcc_src/include" -I"$gcc_src/gcc"
  replace libgcc_eh.a "$m.o" "$work/$m.o"
done

# libgcc's thread primitives, with ANSI semaphores.
ansi_semaphores "$gcc_src/libgcc/config/i386/gthr-win32.c" "$work/gthr-win32.c"
compile "$work/gthr-win32.o" "$work/gthr-win32.c" -O2 -DIN_GCC -DIN_LIBGCC2 -fbuilding-libgcc \
  -fno-stack-protector -I"$cfg" -I"$gcc_src/libgcc" -I"$gcc_src/libgcc/config/i386" -I"$gcc_src/include" \
  -I"$gcc_src/gcc"
replace libgcc.a gthr-win32.o "$work/gthr-win32.o"

# The C runtime: start-up objects and the members of libmingw32, libmingwex
# and libcrtdll that the products link, with the flags of its own build.
# Tuned for the 486 too: tuned for today's processors, the compiler counts
# trailing zeros with "rep bsf", an encoding the 486 does not define.
say "mingw-w64 C runtime"
crt=$crt_tree/mingw-w64-crt
CRTFLAGS=(-mtune=i486 -O2 -std=gnu99 -D_CRTBLD -D_WIN32_WINNT=0x0f00 -D__MSVCRT_VERSION__=0x700
  -D__USE_MINGW_ANSI_STDIO=0 -I"$crt/include")
compile "$out/lib/crt2.o" "$crt/crt/crtexe.c" "${CRTFLAGS[@]}" -D_SYSCRT=1 -DCRTDLL=1
compile "$work/crtdll.o" "$crt/crt/crtdll.c" "${CRTFLAGS[@]}" -D_SYSCRT=1 -DCRTDLL=1
compile "$work/dllthreads.o" "$here/runtime/dllthreads.c" "${CRTFLAGS[@]}"
i686-w64-mingw32-ld -r -o "$out/lib/dllcrt2.o" "$work/crtdll.o" "$work/dllthreads.o"
for m in crt/pesect crt/pseudo-reloc crt/natstart crt/gccmain crt/tlsthrd; do
  n=lib32_libmingw32_a-$(basename "$m").o
  compile "$work/$n" "$crt/$m.c" "${CRTFLAGS[@]}" -D_SYSCRT=1 -DCRTDLL=1
  replace libmingw32.a "$n" "$work/$n"
done
for m in gdtoa/gdtoa gdtoa/dmisc gdtoa/gmisc gdtoa/misc stdio/mingw_pformat stdio/mingw_vfprintf \
  stdio/mingw_vsnprintf; do
  n=lib32_libmingwex_a-$(basename "$m").o
  compile "$work/$n" "$crt/$m.c" "${CRTFLAGS[@]}" -I"$crt/gdtoa"
  replace libmingwex.a "$n" "$work/$n"
done
# crtdll's import library with mingw-w64's helpers for what crtdll lacks.
for m in crt/crtdll_compat misc/___mb_cur_max_func misc/__initenv misc/__p___argv misc/__p__acmdln \
  misc/__p__commode misc/__p__fmode misc/__set_app_type misc/dummy__setusermatherr \
  misc/invalid_parameter_handler misc/lc_locale_func misc/seterrno stdio/_scprintf stdio/_vscprintf \
  stdio/mingw_dummy__lock stdio/mingw_lock; do
  n=lib32_libcrtdll_extra_a-$(basename "$m").o
  compile "$work/$n" "$crt/$m.c" "${CRTFLAGS[@]}" -D__LIBMSVCRT__
  replace libcrtdll.a "$n" "$work/$n"
done
for m in misc/wcrtomb misc/mbrtowc misc/onexit_table stdio/acrt_iob_func; do
  n=lib32_libmsvcrt_common_a-$(basename "$m").o
  compile "$work/$n" "$crt/$m.c" "${CRTFLAGS[@]}" -D__LIBMSVCRT__
  replace libcrtdll.a "$n" "$work/$n"
done
# What crtdll lacks under msvcrt's names, from our own code.
compile "$work/crtdllextra.o" "$here/runtime/crtdllextra.c" "${CRTFLAGS[@]}" -Wno-attributes
(cd "$work" && $AR r "$out/lib/libcrtdll.a" crtdllextra.o)
$CXX -dumpspecs | sed 's/-lmsvcrt\b/-lcrtdll/g' >"$out/lib/crtdll.specs"
if grep -q -- '-lmsvcrt' "$out/lib/crtdll.specs" || ! grep -q -- '-lcrtdll' "$out/lib/crtdll.specs"; then
  say "the compiler's specs name the C runtime library in an unexpected way"
  exit 1
fi
for a in "$out"/lib/*.a; do i686-w64-mingw32-ranlib "$a"; done

rm -rf "$work"
touch "$out/complete"
# Older builds of the runtime (other package versions, other versions of
# this script) go when unused for a week: work trees of different versions
# share the cache.
find "$cache" -maxdepth 1 -name 'runtime486-*' -type d ! -path "$out" -mtime +7 -exec rm -rf {} +
say "done in $((SECONDS - start)) s"
echo "$out/lib"
