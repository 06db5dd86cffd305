#!/usr/bin/env bash
# Runs one fuzz target for a time: run_fuzzer.sh TARGET SECONDS CORPUS SEEDS. $FUZZ_SECONDS, when set,
# replaces SECONDS. New inputs go into CORPUS, crashes into CORPUS/../../artifacts; the libFuzzer log is
# printed only when the target fails, with the input that made it fail.
set -uo pipefail
target=$1
seconds=${FUZZ_SECONDS:-$2}
corpus=$3
seeds=$4
name=$(basename "$target")
artifacts=$(dirname "$(dirname "$corpus")")/artifacts
mkdir -p "$corpus" "$artifacts"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -artifact_prefix="$artifacts/$name-" \
  "$corpus" "$seeds" >"$log" 2>&1
status=$?
if [ $status -ne 0 ]; then
  tail -n 60 "$log"
  echo "$name failed (status $status); replay with: TSENDREL_FUZZ_VERBOSE=1 $target $artifacts/$name-*" >&2
  exit $status
fi
grep -aE '^(Done|stat::number_of_executed_units)' "$log" | tail -n 1
echo "$name: $(ls "$corpus" | wc -l) inputs in its corpus"
