#!/usr/bin/env bash
# Runs the libFuzzer targets (built by tools/test.sh into build-fuzz with
# clang) for a fixed time each, from their seed corpora, the inputs kept
# under fuzz/regressions and what earlier runs found (build-fuzz/corpus).
# An input that fails is written to fuzz/regressions/<target>/: commit it
# with the mend, and the normal test run replays it from then on.
#
#   bash tools/fuzz.sh [SECONDS] [TARGET...]     (default: 20 s, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then mapfile -t TARGETS < fuzz/targets.txt; fi

# The seeds come from the tests' file makers (normal build).
if [ ! -x build/bin/fuzz_make_seeds ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"$(nproc)" --target fuzz_make_seeds >/dev/null
fi
rm -rf build-fuzz/seeds
build/bin/fuzz_make_seeds build-fuzz/seeds

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

status=0
for t in "${TARGETS[@]}"; do
  mkdir -p "build-fuzz/corpus/$t" "fuzz/regressions/$t"
  log="build-fuzz/fuzz_$t.log"
  if ! build-fuzz/bin/"fuzz_$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=3072 -print_final_stats=1 \
      -artifact_prefix="fuzz/regressions/$t/" "build-fuzz/corpus/$t" "build-fuzz/seeds/$t" "fuzz/regressions/$t" \
      >"$log" 2>&1; then
    echo "fuzz_$t FAILED; the input is kept in fuzz/regressions/$t/. Its log:"
    tail -n 60 "$log"
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  echo "fuzz_$t: ${runs:-0} executions in ${SECONDS_EACH} s"
done
exit $status
