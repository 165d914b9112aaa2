#!/usr/bin/env bash
# Runs the program on a typed input and compares its whole output, byte for byte, with the
# expected transcript. The program must end within the time limit and exit with status 0.
# Usage: run_transcript.sh PROGRAM INPUT EXPECTED   (FP_WRAPPER may name a command to run it under)
set -u
program=$1 input=$2 expected=$3
actual=$(mktemp)
trap 'rm -f "$actual"' EXIT

# shellcheck disable=SC2086
timeout 60 ${FP_WRAPPER:-} "$program" <"$input" >"$actual"
status=$?
if [ "$status" -ne 0 ]; then
    echo "exit status $status for $input"
    exit 1
fi
if ! cmp -s "$expected" "$actual"; then
    echo "output differs from $expected (left expected, right actual; \$ marks a line end):"
    diff <(cat -A "$expected") <(cat -A "$actual") | head -n 60
    exit 1
fi
