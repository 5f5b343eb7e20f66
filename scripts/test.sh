#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test:
#   1. the normal build (build/), then the Debian package made from it,
#      installed, used by an unprivileged user and removed again,
#   2. the Release build (build-release/, -O3), only built: the optimiser
#      finds warnings of its own, and the normal build's tests cover the code,
#   3. AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/),
#   4. ThreadSanitizer for the threaded core tests (build-tsan/),
#   5. each libFuzzer target for a short while (build-fuzz/, clang).
# Every build treats compiler warnings as errors; a file that clang-format
# would change fails the run too.
# Fails when any test fails; ends with the test runners' summary lines.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${QVX_JOBS:-$(nproc)}
FUZZ_SECONDS=${QVX_FUZZ_SECONDS:-15}

bash scripts/setup.sh

summary=()
status=0

run_ctest() {  # name build-dir [ctest args...]
  local name=$1 dir=$2
  shift 2
  local log="$dir/ctest-output.txt"
  set +e
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1 || true)
  summary+=("-- $name" "${line:-no ctest summary (failed before testing)}")
  if [ "$rc" -ne 0 ]; then status=1; fi
}

configure_and_build() {  # dir [cmake args...]
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DQVX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

echo "== formatting"
if ! bash scripts/check-format.sh; then
  status=1
  summary+=("-- formatting: files differ from .clang-format (scripts/check-format.sh lists them)")
fi

echo "== normal build"
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_ctest "normal" build

echo "== Debian package (built, installed, used by an unprivileged user, removed)"
if bash scripts/test-package.sh build; then
  summary+=("-- package: built, installed, walked and removed")
else
  status=1
  summary+=("-- package: FAILED (scripts/test-package.sh)")
fi

echo "== Release build (-O3; built for its warnings, tests not run)"
configure_and_build build-release -DCMAKE_BUILD_TYPE=Release
summary+=("-- release: built without warnings (tests not run)")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest "asan+ubsan" build-asan

echo "== ThreadSanitizer (threaded core tests)"
configure_and_build build-tsan -DCMAKE_BUILD_TYPE=Debug -DQVX_SANITIZE=thread -DQVX_BUILD_UI=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest "tsan" build-tsan -L threaded

if [ -d fuzz ] && ls fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  echo "== libFuzzer targets (${FUZZ_SECONDS}s each)"
  CC=clang CXX=clang++ configure_and_build build-fuzz -DCMAKE_BUILD_TYPE=Debug -DQVX_BUILD_FUZZ=ON \
    -DQVX_BUILD_UI=OFF -DQVX_BUILD_TESTS=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  fuzz_pass=0
  fuzz_fail=0
  for bin in build-fuzz/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name=$(basename "$bin")
    corpus="build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/${name#fuzz_}"
    [ -d "$seeds" ] || seeds=""
    # -entropic=0: with the vCard target's many features, libFuzzer's entropic
    # scheduling spent three quarters of the time on its own bookkeeping
    # (about 30 runs a second instead of 200).
    if (cd build-fuzz && "../$bin" -max_total_time="$FUZZ_SECONDS" -max_len=65536 -rss_limit_mb=2048 -entropic=0 \
          -print_final_stats=0 "../$corpus" ${seeds:+"../$seeds"} >"../$corpus.log" 2>&1); then
      fuzz_pass=$((fuzz_pass + 1))
    else
      fuzz_fail=$((fuzz_fail + 1))
      status=1
      tail -n 40 "$corpus.log"
    fi
  done
  summary+=("fuzz: $fuzz_pass passed, $fuzz_fail failed")
fi

echo
echo "== summary"
for s in "${summary[@]}"; do echo "$s"; done
exit $status
