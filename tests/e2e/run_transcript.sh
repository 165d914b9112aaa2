#!/usr/bin/env bash
# Runs the program on a typed input and compares its whole output, byte for byte, with the
# expected transcript: with the input from the file, with its line ends turned into CR LF, as
# Windows writes them, and through a pipe whose writer closes it at the end (on Windows one that
# FP_PIPE_FEEDER makes, see pipe_feeder.cpp). Each run must end within the time limit (a hang,
# not a slow machine), exit with status 0 and write nothing to standard error. Output beyond the
# expected length ends it at once (by SIGPIPE), so that an endless loop fails fast instead of
# waiting for the time limit.
# Usage: run_transcript.sh PROGRAM INPUT EXPECTED   (FP_WRAPPER may name a command to run it under)
set -u
program=$1 input=$2 expected=$3
actual=$(mktemp)
errors=$(mktemp)
crlf_input=$(mktemp)
trap 'rm -f "$actual" "$errors" "$crlf_input"' EXIT
perl -pe 's/\n/\r\n/' "$input" >"$crlf_input"

# run_with GIVEN: the program on the input given so; sets status.
run_with() {
    # shellcheck disable=SC2086
    case $1 in
    file) timeout 60 ${FP_WRAPPER:-} "$program" <"$input" ;;
    crlf) timeout 60 ${FP_WRAPPER:-} "$program" <"$crlf_input" ;;
    pipe) cat "$input" | timeout 60 ${FP_WRAPPER:-} ${FP_PIPE_FEEDER:-} "$program" ;;
    esac 2>"$errors" | head -c "$(($(wc -c <"$expected") + 1))" >"$actual"
    status=${PIPESTATUS[0]}
}

for given in file crlf pipe; do
    run_with "$given"
    # Wine now and then ends a program at its very start with status 1, nothing written (about
    # once in a few hundred runs): once is Wine's, twice the program's.
    if [ -n "${FP_WINDOWS:-}" ] && [ "$status" -eq 1 ] && [ ! -s "$actual" ]; then
        echo "the input ($given): Wine ended the program at its start; run once more"
        run_with "$given"
    fi
    cmp -s "$expected" "$actual" || {
        echo "output for the input ($given), exit status $status, differs from $expected (left expected, right actual; \$ marks a line end):"
        diff <(cat -A "$expected") <(cat -A "$actual") | head -n 60
        echo "standard error:"; head -c 2000 "$errors"
        exit 1
    }
    [ "$status" -eq 0 ] && [ ! -s "$errors" ] || { echo "the input ($given): exit status $status, standard error:"; cat "$errors"; exit 1; }
done
