#!/usr/bin/env bash
# Runs the program on a typed input and compares its whole output, byte for byte, with the
# expected transcript. The program must end within the time limit, exit with status 0 and write
# nothing to standard error. Output beyond the expected length ends it at once (by SIGPIPE), so
# that an endless loop fails fast instead of waiting for the time limit.
# Usage: run_transcript.sh PROGRAM INPUT EXPECTED   (FP_WRAPPER may name a command to run it under)
set -u
program=$1 input=$2 expected=$3
actual=$(mktemp)
errors=$(mktemp)
trap 'rm -f "$actual" "$errors"' EXIT

# shellcheck disable=SC2086
timeout 60 ${FP_WRAPPER:-} "$program" <"$input" 2>"$errors" | head -c "$(($(wc -c <"$expected") + 1))" >"$actual"
status=${PIPESTATUS[0]}
cmp -s "$expected" "$actual" || {
    echo "output differs from $expected (left expected, right actual; \$ marks a line end):"
    diff <(cat -A "$expected") <(cat -A "$actual") | head -n 60
    exit 1
}
[ "$status" -eq 0 ] && [ ! -s "$errors" ] || { echo "exit status $status, standard error:"; cat "$errors"; exit 1; }
