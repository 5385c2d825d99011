#!/usr/bin/env bash
# Builds the fuzz targets and runs each in turn: `run_fuzzers.sh SECONDS` for a long run,
# `run_fuzzers.sh --smoke` for a few seconds each. New inputs go to build/fuzz/corpus/<target>,
# crashes to build/fuzz/artifacts/; the seeds in fuzz/corpus/<target> are read, never written.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--smoke" ]; then
  limits=(-max_total_time=3 -runs=200000)
else
  limits=(-max_total_time="${1:-120}")
fi

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz || exit 1

out="$PWD/build/fuzz"  # absolute: some targets work in a scratch directory
mkdir -p "$out/artifacts"
passed=0
failed=0
for bin in "$out"/fuzz/*_fuzz; do
  name=$(basename "$bin")
  mkdir -p "$out/corpus/$name"
  log="$out/$name.log"
  if "$bin" "${limits[@]}" -timeout=10 -print_final_stats=1 -artifact_prefix="$out/artifacts/$name-" \
      "$out/corpus/$name" "$PWD/fuzz/corpus/$name" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$name: ${runs:-?} executions, no finding"
    passed=$((passed + 1))
  else
    echo "$name: FINDING (see $log and $out/artifacts/)"
    grep -E "ERROR|SUMMARY|^(#[0-9]+ )?  #[0-9]+ " "$log" | head -20
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
