#!/bin/bash
# Builds Pictoloom with its tests and runs every test through CTest: the whole suite in a
# release build, then the unit and robustness tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -eu
source_dir=$(cd "$(dirname "$0")/.." && pwd)
source "$source_dir/scripts/packages.sh"
bash "$source_dir/scripts/install-deps.sh" "${build_packages[@]}" "${test_packages[@]}"

jobs=$(nproc)
build_dir="$source_dir/build-tests"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DPICTOLOOM_BUILD_BENCHMARKS=ON > /dev/null
cmake --build "$build_dir" -j "$jobs"
(cd "$build_dir" && ctest --output-on-failure -j "$jobs")

sanitized_dir="$source_dir/build-asan"
cmake -S "$source_dir" -B "$sanitized_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPICTOLOOM_SANITIZE=ON > /dev/null
cmake --build "$sanitized_dir" -j "$jobs"
(cd "$sanitized_dir" && ctest --output-on-failure -j "$jobs")
