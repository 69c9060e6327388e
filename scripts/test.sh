#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test: the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, the unit and end-to-end tests of the release
# program, the benchmarks briefly, the Windows program under Wine, and the two packages.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

step() { printf '\n=== %s\n' "$*"; }

step "debug build with sanitizers: unit tests"
cmake --workflow --preset debug

step "release build: unit and end-to-end tests"
cmake --workflow --preset release

step "benchmarks, briefly"
for bench in build/release/bench/*_bench; do
  "$bench" --benchmark_min_time=0.01
done

step "Windows program, cross-built and run under Wine"
scripts/test-windows.sh

step "packages: the Debian package installed and removed, the Windows zip under Wine"
scripts/test-package.sh
