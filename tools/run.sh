#!/usr/bin/env bash
# Installs what is missing, builds the game and runs it from the folder that
# holds its pictures and sounds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quarry
cd build/bin
exec ./quarry
