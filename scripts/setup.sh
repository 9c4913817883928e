#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine and
# cross-builds the libraries Debian ships no mingw build of. Safe to re-run: each
# step checks first and does nothing when its result is already there.
#   usage: scripts/setup.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
deps=$build/deps
mkdir -p "$deps"

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The shipped program is the i686 build. Tests run the x86_64 build of the same
# sources under wine64 as well, because some kernels here cannot execute the
# 32-bit ELF half of Wine (see README).
packages=(g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
          cmake make wine wine64 xvfb xauth libz-mingw-w64-dev nlohmann-json3-dev
          googletest dpkg-dev python3 python3-fonttools python3-pil xz-utils curl
          clang libclang-rt-14-dev zlib1g-dev g++)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
done

src_list=/etc/apt/sources.list.d/tarvel-deb-src.sources
need_update=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  # Mirror the binary sources' suites for deb-src so `apt-get source` works.
  {
    echo "Types: deb-src"
    echo "URIs: http://deb.debian.org/debian"
    echo "Suites: bookworm bookworm-updates"
    echo "Components: main"
    echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  } | as_root tee "$src_list" >/dev/null
  need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  as_root apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)

# The shell fetches rules.json and the index-URL script from its content server, whose
# host is a placeholder under the reserved .example domain. On the machines that build and
# test it, that name belongs to the demo content server on loopback (scripts/run.sh), so
# neither the tests nor the demo ever ask a name server for it.
hosts_line="127.0.0.2 content.tarvel.example"
if ! grep -qxF "$hosts_line" /etc/hosts; then
  echo "$hosts_line" | as_root tee -a /etc/hosts >/dev/null
fi

fetch_source() { # package -> unpacked source folder under $deps/src
  local pkg=$1
  mkdir -p "$deps/src"
  if ! ls "$deps/src/${pkg}"_*.dsc >/dev/null 2>&1; then
    (cd "$deps/src" && apt-get source --download-only -q "$pkg")
  fi
}

unpack_orig() { # package -> echo the folder the orig tarball unpacks to
  local pkg=$1 tarball dir
  tarball=$(ls "$deps/src/${pkg}"_*.orig.tar.* | head -n1)
  dir=$deps/src/$pkg-orig
  if [ ! -d "$dir" ]; then
    mkdir -p "$dir.tmp"
    tar -xf "$tarball" -C "$dir.tmp" --strip-components=1
    mv "$dir.tmp" "$dir"
  fi
  echo "$dir"
}

build_deps() { # arch: cross-build PCRE2 and libjpeg-turbo into $deps/$arch
  local arch=$1 out=$deps/$1 srcdir
  # PCRE2, 16-bit code units so patterns match our UTF-16 strings directly.
  if [ ! -f "$out/pcre2/lib/libpcre2-16.a" ]; then
    fetch_source pcre2
    srcdir=$(unpack_orig pcre2)
    rm -rf "$out/pcre2-build"
    cmake -S "$srcdir" -B "$out/pcre2-build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/pcre2" \
      -DBUILD_SHARED_LIBS=OFF -DPCRE2_BUILD_PCRE2_8=OFF -DPCRE2_BUILD_PCRE2_16=ON \
      -DPCRE2_SUPPORT_UNICODE=ON -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF \
      -DPCRE2_SUPPORT_JIT=OFF >/dev/null
    cmake --build "$out/pcre2-build" -j "$jobs" >/dev/null
    cmake --install "$out/pcre2-build" >/dev/null
    rm -rf "$out/pcre2-build"
  fi

  # libjpeg-turbo (IJG API), static, without the SIMD part that needs nasm.
  if [ ! -f "$out/libjpeg/lib/libjpeg.a" ]; then
    fetch_source libjpeg-turbo
    srcdir=$(unpack_orig libjpeg-turbo)
    rm -rf "$out/libjpeg-build"
    cmake -S "$srcdir" -B "$out/libjpeg-build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$out/libjpeg" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
      -DWITH_JPEG8=ON >/dev/null
    cmake --build "$out/libjpeg-build" -j "$jobs" >/dev/null
    cmake --install "$out/libjpeg-build" >/dev/null
    rm -rf "$out/libjpeg-build"
  fi

}

for arch in i686 x86_64; do build_deps $arch; done

# cpp-httplib: the single upstream header from the orig tarball.
if [ ! -f "$deps/httplib/httplib.h" ]; then
  fetch_source cpp-httplib
  srcdir=$(unpack_orig cpp-httplib)
  mkdir -p "$deps/httplib"
  cp "$srcdir/httplib.h" "$deps/httplib/httplib.h"
fi
echo "setup: ready ($deps)"
