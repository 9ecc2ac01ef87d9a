#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# every library instrumented for coverage) and runs each one from a copy of its seed corpus in
# fuzz/corpus/<target>, one after the other.
#   FUZZ_SECONDS  run time of each target (default 60)
#   FUZZ_TARGETS  the targets to run (default: every target that was built)
#   FUZZ_BUILD_DIR  the build folder (default build-fuzz)
# A crash, a failed property or an input that takes longer than 5 seconds stops that target; its
# input is left in build-fuzz/fuzz-work/<target>/ and the script exits non-zero at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}
# A build folder configured from another copy of the sources cannot be reused.
if [ -f "$build/CMakeCache.txt" ] &&
   ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root" "$build/CMakeCache.txt"; then
  rm -rf "$build"
fi

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

# The project's compiler is g++; clang's own extra warnings are shown but do not stop the build.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS="$flags" \
  -DQUINTOR_FUZZ=ON -DQUINTOR_BUILD_APP=OFF -DQUINTOR_BUILD_BENCH=OFF -DQUINTOR_WERROR=OFF \
  >/dev/null

all=(fuzz_abstract_state fuzz_console_readers fuzz_table_file fuzz_settings)
targets=()
for t in ${FUZZ_TARGETS:-${all[*]}}; do
  if [ "$t" = fuzz_settings ] && ! grep -q '^Qt6Core_DIR:PATH=/' "$build/CMakeCache.txt"; then
    echo "fuzz: Qt 6 Core not found, $t skipped"
    continue
  fi
  targets+=("$t")
done
cmake --build "$build" --target "${targets[@]}" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  work=$build/fuzz-work/$t
  rm -rf "$work"
  mkdir -p "$work/corpus"
  # The run adds inputs to the work copy; the seeds in the repository stay as they are.
  cp -r "$root/fuzz/corpus/$t/." "$work/corpus/"
  echo "== $t: ${seconds}s from $(ls "$work/corpus" | wc -l) seeds"
  if "$build/bin/$t" "$work/corpus" -max_total_time="$seconds" -timeout=5 \
       -artifact_prefix="$work/" -print_final_stats=1 >"$work/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$work/log" || true
    echo "   clean, corpus now $(ls "$work/corpus" | wc -l) inputs"
  else
    echo "   FAILED: see $work/log"
    grep -E 'ERROR|property broken|Test unit written' -A3 "$work/log" | head -20 || true
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran clean"
