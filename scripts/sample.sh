#!/bin/sh
# Builds Quorvane and runs it on a small sample LAS file that the project
# makes itself: keep the ground points (classification 2).
set -eu
cd "$(dirname "$0")/.."
sh scripts/deps.sh cmake:cmake g++:g++ make:make
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVANE_TESTS=OFF -DQUORVANE_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target Quorvane make_las >/dev/null
build/make_las build/sample.las 1000 1 2
build/Quorvane build/sample.las build/sample_ground.las 9 2 2
