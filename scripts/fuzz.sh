#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each one for the given number of seconds (default 60),
# or with "long" for 10^8 executions of each converter harness and 10^7 of the dialogue's (about
# an hour here: the dialogue's inputs grow long), starting from corpora seeded with the end-to-end transcripts' typed input.
# Fails on a finding.
# Usage: scripts/fuzz.sh [SECONDS | long]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --workflow --preset fuzz >/dev/null

corpus=build/fuzz/corpus
mkdir -p "$corpus"/dialogue "$corpus"/d2b "$corpus"/b2d
for input in tests/e2e/cases/*.in; do
    name=$(basename "$input" .in)
    cp "$input" "$corpus/dialogue/$name"
    n=0
    for token in $(tr -d '\000' <"$input"); do
        n=$((n + 1))
        printf '%s' "$token" >"$corpus/b2d/$name.$n"
        printf '\0%s' "$token" >"$corpus/d2b/$name.$n.en"
        printf '\1%s' "$token" >"$corpus/d2b/$name.$n.it"
    done
done

for harness in dialogue d2b b2d; do
    if [ "$seconds" = long ]; then
        limit=-runs=$([ $harness = dialogue ] && echo 10000000 || echo 100000000)
    else
        limit=-max_total_time=$seconds
    fi
    echo "== fuzz_$harness, $limit"
    build/fuzz/fuzz/fuzz_$harness "$corpus/$harness" "$limit" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/$harness-" 2>&1 |
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY|Done)|cov:' | tail -n 4
done
