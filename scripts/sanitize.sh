#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan: any
# memory fault, leak or undefined arithmetic fails the run.
#   SANITIZE_BUILD_DIR  the build folder (default build-asan)
#   JOBS                parallel compile jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SANITIZE_BUILD_DIR:-$root/build-asan}
jobs=${JOBS:-2}
# A build folder configured from another copy of the sources cannot be reused.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
# Warnings are policed by the normal build; under the sanitizers GCC reports uninitialised
# values inside its own library headers that are not there, so they do not stop this one.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$flags" -DQUINTOR_BUILD_BENCH=OFF -DQUINTOR_WERROR=OFF >/dev/null
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Qt's own libraries are not instrumented; what they keep until exit is not ours to report.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}
cd "$build"
# The installation tests check packaging, not memory: the normal run covers them.
ctest --output-on-failure --timeout 1500 -LE install
