# Sourced by the bench/run-*.sh scripts: set-up, the benchmark tree (the x86_64 build with the
# benchmarks on and the tests off, apart from the test tree) and the private Wine prefix.
#   source "$here/bench/bench-build.sh" TARGET...
# Leaves: $build (BUILD_DIR, default ./build), $bench_tree (its CMake tree), $bench_bin (the
# benchmark executables). BENCH_JOBS sets the build jobs (default 2: the machine may be busy).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$here/build}
"$here/scripts/setup.sh" "$build"
bench_tree="$build/bench/x86_64"
bench_bin="$bench_tree/bench"
mkdir -p "$bench_tree"
cmake -S "$here" -B "$bench_tree" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTARVEL_DEPS="$build/deps/x86_64" -DTARVEL_TESTS=OFF -DTARVEL_BENCH=ON >/dev/null
cmake --build "$bench_tree" -j "${BENCH_JOBS:-2}" --target "$@" >/dev/null
source "$here/scripts/wine-env.sh" "$build"
