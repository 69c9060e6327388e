#!/usr/bin/env bash
# Builds the libFuzzer target over the console layer (clang, ASan, UBSan) and runs it for a
# bounded time, default 60 seconds, from the committed corpus and dictionary. New inputs go to a scratch
# directory, so the corpus only changes by hand; a failing input is kept in build/fuzz/artifacts.
# The fuzzer's running log goes to build/fuzz/fuzz.log: its summary is shown, or its end on a
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p build/fuzz/artifacts
status=0
build/fuzz/tests/fuzz/console_fuzz -max_total_time="$seconds" -timeout=10 -max_len=1024 \
  -dict=tests/fuzz/console.dict -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
  "$scratch" tests/fuzz/corpus \
  >build/fuzz/fuzz.log 2>&1 || status=$?
if [[ $status -eq 0 ]]; then
  grep -E '^(Done|stat::)' build/fuzz/fuzz.log
else
  tail -n 60 build/fuzz/fuzz.log
fi
exit $status
