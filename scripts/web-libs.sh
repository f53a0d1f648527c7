#!/usr/bin/env bash
# Builds the C libraries the web page links with emscripten, from the source
# packages of the machine's own Debian release (the versions it offers, through
# its deb-src entry), into a prefix outside the repository:
#   scripts/web-libs.sh PREFIX
# zlib, libpng, KissFFT and libmpg123. Emscripten's own ports of these would
# be downloaded, which these machines cannot do. The prefix is complete once
# PREFIX/.complete exists; an interrupted build is started again from scratch.
set -euo pipefail

prefix=${1:?usage: web-libs.sh PREFIX}

sources=(zlib libpng1.6 kissfft mpg123)

jobs=$(nproc)
export NODE_PATH=/usr/share/nodejs
work=$(mktemp -d "${TMPDIR:-/tmp}/brakvane-web-libs.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"

cd "$work"
for package in "${sources[@]}"; do
  echo "web-libs: fetching the source of $package" >&2
  # Some upstream signatures (.asc) are not served; apt then reports a failure
  # although the sources themselves arrived, so it is their presence that counts.
  apt-get source --download-only -qq "$package" >/dev/null 2>&1 || true
  if ! compgen -G "${package}_*.orig.tar.*" >/dev/null; then
    echo "web-libs: cannot fetch the source package $package (is there a deb-src entry for the machine's release?)" >&2
    exit 1
  fi
done
# Only the upstream sources are built; Debian's packaging is not needed.
for archive in *.orig.tar.*; do
  tar -xf "$archive"
done

cflags=(-O2)

echo "web-libs: zlib" >&2
(
  cd zlib-*/
  emcc "${cflags[@]}" -DHAVE_UNISTD_H -DHAVE_STDARG_H -c adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c \
    infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c
  emar rcs "$prefix/lib/libz.a" ./*.o
  cp zlib.h zconf.h "$prefix/include/"
)

echo "web-libs: libpng" >&2
(
  cd libpng-*/
  cp scripts/pnglibconf.h.prebuilt pnglibconf.h
  emcc "${cflags[@]}" -I"$prefix/include" -DPNG_ARM_NEON_OPT=0 -c png.c pngerror.c pngget.c pngmem.c \
    pngpread.c pngread.c pngrio.c pngrtran.c pngrutil.c pngset.c pngtrans.c pngwio.c pngwrite.c pngwtran.c \
    pngwutil.c
  emar rcs "$prefix/lib/libpng16.a" ./*.o
  cp png.h pngconf.h pnglibconf.h "$prefix/include/"
)

echo "web-libs: kissfft" >&2
(
  cd kissfft-*/
  emcc "${cflags[@]}" -Dkiss_fft_scalar=float -c kiss_fft.c kiss_fftr.c
  emar rcs "$prefix/lib/libkissfft-float.a" ./*.o
  mkdir -p "$prefix/include/kissfft"
  cp kiss_fft.h kiss_fftr.h "$prefix/include/kissfft/"
  [[ -f kiss_fft_log.h ]] && cp kiss_fft_log.h "$prefix/include/kissfft/"
)

echo "web-libs: libmpg123" >&2
(
  cd mpg123-*/
  emconfigure ./configure --host=wasm32 --prefix="$prefix" --disable-shared --enable-static \
    --with-cpu=generic_fpu --disable-components --enable-libmpg123 CFLAGS="${cflags[*]}" >configure.log 2>&1 ||
    { tail -30 configure.log >&2; exit 1; }
  emmake make -j"$jobs" >make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
  emmake make install >>make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
)

# What was built: the upstream sources' names and versions.
ls ./*.orig.tar.* | sed 's|^\./||; s|\.orig\.tar\..*$||' >"$prefix/.complete"
echo "web-libs: done, in $prefix" >&2
