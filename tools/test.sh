#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the tests twice: a normal
# build, and a build under AddressSanitizer and UndefinedBehaviorSanitizer that
# stops at the first error; then the movie tests under ThreadSanitizer.
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

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON -DVX_BENCH=OFF
cmake --build build-asan -j"$JOBS"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest -j"$JOBS" --output-on-failure --timeout 600)

# The movie tests once more under ThreadSanitizer: the decode thread and the
# main thread meet through shared words that must be ordered correctly.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVX_TSAN=ON -DVX_BENCH=OFF
cmake --build build-tsan -j"$JOBS" --target test_movie
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1" ./bin/test_movie)
