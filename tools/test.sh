#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the tests twice: a normal
# build, and a build under AddressSanitizer and UndefinedBehaviorSanitizer that
# stops at the first error; then the threaded tests under ThreadSanitizer and,
# when clang is there, every fuzz target for a short fixed time (tools/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

# Includes point down: a file includes only its own layer and those below.
python3 tools/check_layers.py

JOBS=$(nproc)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$JOBS"
(cd build && ctest -j"$JOBS" --output-on-failure --timeout 300)

# ctest runs each test in a process of its own. Each test binary runs once
# more as a whole with its tests shuffled: a test that leans on what another
# left behind, or a library that cannot start again after its end, fails
# here. The seed is printed; VX_TEST_SEED=N repeats an order.
SEED=${VX_TEST_SEED:-$((RANDOM % 100000 + 1))}
echo "Every test binary whole, shuffled with seed $SEED"
rm -f build/shuffled-failed.txt
# The binaries run side by side, as ctest runs its tests.
ls build/bin/test_* | xargs -P "$JOBS" -I{} sh -c \
  'name=$(basename "$1"); cd build && "./bin/$name" --gtest_shuffle --gtest_random_seed="$2" >"shuffled-$name.log" 2>&1 \
     || { tail -n 60 "shuffled-$name.log"; echo "$name" >>shuffled-failed.txt; }' _ {} "$SEED"
if [ -s build/shuffled-failed.txt ]; then
  echo "Failed whole and shuffled (seed $SEED): $(tr '\n' ' ' <build/shuffled-failed.txt); logs in build/shuffled-*.log"
  exit 1
fi

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON -DVX_BENCH=OFF
cmake --build build-asan -j"$JOBS"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest -j"$JOBS" --output-on-failure --timeout 600)

# The threaded tests once more under ThreadSanitizer: the movie decode thread
# and the main thread meet through shared words that must be ordered correctly,
# and the network tests run their servers on threads of their own.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVX_TSAN=ON -DVX_BENCH=OFF
cmake --build build-tsan -j"$JOBS" --target test_movie test_network
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ./bin/test_movie && ./bin/test_network)

if command -v clang++ >/dev/null 2>&1; then
  cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DVX_FUZZ=ON -DVX_TESTS=OFF -DVX_BENCH=OFF
  cmake --build build-fuzz -j"$JOBS" --target fuzz_targets
  bash tools/fuzz.sh 20
else
  echo "clang++ not found: the fuzz targets were not built or run"
fi
