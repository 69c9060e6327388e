#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test: the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the unit and end-to-end tests of the release
# program, a short use of it under valgrind, the benchmarks briefly, a minute of fuzzing of the
# console layer, the Windows program under Wine, and the two packages.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

step() { printf '\n=== %s\n' "$*"; }

step "debug build with sanitizers: unit tests"
cmake --workflow --preset debug

step "release build: unit and end-to-end tests"
cmake --workflow --preset release

step "release program under valgrind: no memory errors, nothing lost at exit"
scripts/test-valgrind.sh

step "benchmarks, briefly"
for bench in build/release/bench/*_bench; do
  "$bench" --benchmark_min_time=0.01
done

step "fuzzing the console layer for a minute"
scripts/fuzz.sh 60

step "Windows program, cross-built and run under Wine"
scripts/test-windows.sh

step "packages: the Debian package installed and removed, the Windows zip under Wine"
scripts/test-package.sh
