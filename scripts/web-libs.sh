#!/usr/bin/env bash
# Builds the C libraries the web page links with emscripten, from Debian's
# source packages, into a prefix outside the repository:
#   scripts/web-libs.sh PREFIX
# SDL2 (static, no threads: video, events, audio, timers), zlib, libpng,
# KissFFT and libmpg123. Emscripten's own ports of these would be downloaded,
# which these machines cannot do. The prefix is complete once PREFIX/.complete
# exists; an interrupted build is started again from scratch.
set -euo pipefail

prefix=${1:?usage: web-libs.sh PREFIX}

# The bookworm versions, pinned: the sources of point and security updates
# are not all served, and a fixed version gives the same libraries everywhere.
sources=(
  "libsdl2=2.26.5+dfsg-1"
  "zlib=1:1.2.13.dfsg-1"
  "libpng1.6=1.6.39-2+deb12u5"
  "kissfft=131.1.0-4.1~deb12u1"
  "mpg123=1.31.2-1+deb12u1"
)

jobs=$(nproc)
export NODE_PATH=/usr/share/nodejs
work=$(mktemp -d "${TMPDIR:-/tmp}/brakvane-web-libs.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
mkdir -p "$prefix/include" "$prefix/lib"

cd "$work"
for s in "${sources[@]}"; do
  echo "web-libs: fetching the source of ${s%%=*} ${s#*=}" >&2
  # Some upstream signatures (.asc) are not served; apt then reports a failure
  # although the sources themselves arrived, so it is their presence that counts.
  apt-get source --download-only -qq "$s" >/dev/null 2>&1 || true
  package=${s%%=*}
  if ! compgen -G "${package}_*.orig.tar.*" >/dev/null; then
    echo "web-libs: cannot fetch the source package $s (is the bookworm deb-src entry there?)" >&2
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

# libmpg123's configure and SDL's CMake run hundreds of compile and link checks,
# one at a time; the two run side by side so that two cores are busy, and share
# the compile jobs between them, so that there are never more than nproc in all.
mpg123_jobs=$((jobs / 2))
sdl2_jobs=$((jobs - mpg123_jobs))

build_mpg123() {
  cd mpg123-*/
  emconfigure ./configure --host=wasm32 --prefix="$prefix" --disable-shared --enable-static \
    --with-cpu=generic_fpu --disable-components --enable-libmpg123 CFLAGS="${cflags[*]}" >configure.log 2>&1 ||
    { tail -30 configure.log >&2; exit 1; }
  emmake make -j"$1" >make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
  emmake make install >>make.log 2>&1 || { tail -30 make.log >&2; exit 1; }
}

build_sdl2() {
  cd SDL2-*/
  emcmake cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF \
    -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_HIDAPI=OFF \
    -DSDL_LOADSO=OFF -DSDL_FILESYSTEM=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF >cmake.log 2>&1 ||
    { tail -30 cmake.log >&2; exit 1; }
  cmake --build build -j"$1" >build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
  cmake --install build >>build.log 2>&1 || { tail -30 build.log >&2; exit 1; }
}

echo "web-libs: libmpg123 and SDL2" >&2
failed=false
if ((mpg123_jobs == 0)); then
  # One core: one after the other.
  (build_mpg123 1) || { echo "web-libs: libmpg123 failed" >&2; failed=true; }
  (build_sdl2 1) || { echo "web-libs: SDL2 failed" >&2; failed=true; }
else
  (build_mpg123 "$mpg123_jobs") &
  mpg123_job=$!
  (build_sdl2 "$sdl2_jobs") &
  sdl2_job=$!
  wait "$mpg123_job" || { echo "web-libs: libmpg123 failed" >&2; failed=true; }
  wait "$sdl2_job" || { echo "web-libs: SDL2 failed" >&2; failed=true; }
fi
if $failed; then
  exit 1
fi

printf '%s\n' "${sources[@]}" >"$prefix/.complete"
echo "web-libs: done, in $prefix" >&2
