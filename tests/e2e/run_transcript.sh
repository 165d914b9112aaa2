#!/usr/bin/env bash
# Runs the program on a typed input and compares its whole output, byte for byte, with the
# expected transcript: once with the input as it is, once with its line ends turned into CR LF,
# as Windows writes them. Each run must end within the time limit, exit with status 0 and write
# nothing to standard error. Output beyond the expected length ends it at once (by SIGPIPE), so
# that an endless loop fails fast instead of waiting for the time limit.
# Usage: run_transcript.sh PROGRAM INPUT EXPECTED   (FP_WRAPPER may name a command to run it under)
set -u
program=$1 input=$2 expected=$3
actual=$(mktemp)
errors=$(mktemp)
crlf_input=$(mktemp)
trap 'rm -f "$actual" "$errors" "$crlf_input"' EXIT
perl -pe 's/\n/\r\n/' "$input" >"$crlf_input"

for given in "$input" "$crlf_input"; do
    # shellcheck disable=SC2086
    timeout 60 ${FP_WRAPPER:-} "$program" <"$given" 2>"$errors" | head -c "$(($(wc -c <"$expected") + 1))" >"$actual"
    status=${PIPESTATUS[0]}
    what=$([ "$given" = "$input" ] && echo "the input" || echo "the input with CR LF line ends")
    cmp -s "$expected" "$actual" || {
        echo "output for $what differs from $expected (left expected, right actual; \$ marks a line end):"
        diff <(cat -A "$expected") <(cat -A "$actual") | head -n 60
        exit 1
    }
    [ "$status" -eq 0 ] && [ ! -s "$errors" ] || { echo "$what: exit status $status, standard error:"; cat "$errors"; exit 1; }
done
