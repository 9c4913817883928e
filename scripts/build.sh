# Sourced: configures and builds both trees.
#   source scripts/build.sh BUILD_DIR
tarvel_build() {
  local here build=$1 arch
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  for arch in i686 x86_64; do
    local tests=OFF
    [ "$arch" = x86_64 ] && tests=ON
    cmake -S "$here" -B "$build/$arch" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
          -DCMAKE_BUILD_TYPE=Release -DTARVEL_DEPS="$build/deps/$arch" -DTARVEL_TESTS=$tests -DTARVEL_BENCH=OFF >/dev/null
  done
  cmake --build "$build/i686" -j "$(nproc)" --target Tarvel
  cmake --build "$build/x86_64" -j "$(nproc)"
  # The shipped program: a static 32-bit GUI executable with only system DLLs beside it.
  file "$build/i686/Tarvel.exe" | grep -q 'PE32 executable (GUI) Intel 80386' ||
    { echo "build: i686 Tarvel.exe is not a PE32 GUI executable" >&2; return 1; }
  if i686-w64-mingw32-objdump -p "$build/i686/Tarvel.exe" | grep -iE 'DLL Name: (lib|zlib)' >&2; then
    echo "build: i686 Tarvel.exe needs a DLL that is not the system's" >&2; return 1
  fi
}
tarvel_build "$1"
