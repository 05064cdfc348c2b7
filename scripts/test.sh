#!/usr/bin/env bash
# Runs the whole test suite three times: in a normal build with warnings as
# errors, in a build with AddressSanitizer and UndefinedBehaviorSanitizer, and
# in a build with ThreadSanitizer; then the Windows cross build of the VST 3
# module with its host and view tests under wine, and a short run of each
# fuzzer. The editor's screenshots at three scales go to build/artefacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVB_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure
}

echo "== normal build =="
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== screenshots of the editor (artefacts for people to look at) =="
mkdir -p build/artefacts
for scale in 0.75 1 1.5; do
  build/test/tools/vrelbazzit-preview/vrelbazzit-preview --screenshot "build/artefacts/editor-case-$scale.png" \
    --scale "$scale" --skin resources/Skins/VrelBazzitCase/skin.vbskin
done
echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_SANITIZE=address,undefined -DVB_BUILD_BENCH=OFF
echo "== ThreadSanitizer: the whole suite, so that every threaded test runs under it =="
# Mesa's software renderer runs its rasteriser threads uninstrumented, which
# ThreadSanitizer would report as races of its own; one thread draws here.
LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1 \
  run_suite build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_SANITIZE=thread -DVB_BUILD_BENCH=OFF
echo "== Windows: MinGW cross build of the VST 3 module, host and view tests under wine =="
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_WERROR=ON
cmake --build build/win -j "$jobs"
# One test program at a time: they share the build's wine prefix, which the
# first one creates.
ctest --test-dir build/win --output-on-failure
# Waits for this prefix's wine server to finish rather than leaving it behind.
WINEPREFIX="$PWD/build/win/wineprefix" wineserver -w
echo "== fuzzers: a short run of each =="
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVB_FUZZ=ON
cmake --build build/fuzz -j "$jobs"
shopt -s nullglob
for fuzzer in build/fuzz/tests/fuzz/fuzz_*; do
  name=$(basename "$fuzzer")
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  seeds=tests/fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=
  echo "-- $name"
  "$fuzzer" -max_total_time="${VB_FUZZ_SECONDS:-30}" -print_final_stats=1 "$work" $seeds 2>&1 | tail -n 12
done
