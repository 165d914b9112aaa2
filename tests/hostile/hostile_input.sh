#!/usr/bin/env bash
# Input no transcript can hold: 10 MB tokens at every prompt, a closed standard input, and an
# output pipe that its reader closes early. The program must never hang, exit 0 (or end by
# SIGPIPE when its output is gone) and write what the dialogue describes.
# Usage: hostile_input.sh PROGRAM
set -u
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run NAME: runs the program on $work/NAME.in into $work/NAME.out; checks the exit status.
run() {
    timeout 60 "$program" <"$work/$1.in" >"$work/$1.out"
    local status=$?
    [ "$status" -eq 0 ] || fail "$1: exit status $status"
}

# expect NAME COUNT TEXT: the output holds TEXT on exactly COUNT lines.
expect() {
    local found
    found=$(grep -a -c -F -- "$3" "$work/$1.out")
    [ "$found" -eq "$2" ] || fail "$1: '$3' on $found lines, expected $2"
}

closing_credits() {
    local credits=$'Credit to Vantelli Edmondo and Corbaro Ludano\nSviluppato da Vantelli Edmondo e Ludano Corbaro\n'
    tail -c "${#credits}" "$work/$1.out" | cmp -s - <(printf '%s' "$credits") ||
        fail "$1: does not end with the closing credit lines"
}

big() { head -c 10485760 /dev/zero | tr '\0' "$1"; }

# A 10 MB number at the language prompt is out of the int range: one error block.
{ big 9; printf '\n1\n'; } >"$work/language.in"
run language
expect language 1 "Error!!!"
expect language 1 "Credit to: Vantelli Edmondo and Corbaro Ludano"

# 10 MB bit pattern: rejected once, then the input ends.
{ printf '1\n1\n'; big 0; printf '\n'; } >"$work/binary.in"
run binary
expect binary 1 "Insert a valid number!"
closing_credits binary

# 10 MB decimal texts: an integer out of range, a fraction of zeros, a long fraction of nines.
{ printf '1\n2\n'; big 7; printf '\n0\n2\n0.'; big 0; printf '1\n0\n2\n0.'; big 9; printf '\n0\n2\n-5.'; big 0; printf '\nq\n'; } >"$work/decimal.in"
run decimal
expect decimal 1 "The binary number is: Number out of range "
expect decimal 1 "The binary number is: 0|00000000|00000000000000000000000"
expect decimal 1 "ERROR The binary number is: 0|01111111|00000000000000000000000"
expect decimal 1 "The binary number is: 1|10000001|01000000000000000000000"
closing_credits decimal

# A 10 MB answer to the restart question ends the program.
{ printf '2\n2\n5\n'; big 0; printf '\n'; } >"$work/restart.in"
run restart
closing_credits restart

# Standard input closed, not just empty.
timeout 10 "$program" <&- >"$work/closed.out"
status=$?
[ "$status" -eq 0 ] || fail "closed input: exit status $status"
closing_credits closed

# The reader of the output goes away while the program still has input: it must end, by
# SIGPIPE (status 141) or, where SIGPIPE is ignored, by seeing its output fail (status 0).
for sigpipe in default ignored; do
    ( [ "$sigpipe" = ignored ] && trap '' PIPE
      yes $'1\n2\n5\n0' 2>/dev/null | timeout 30 "$program" | head -c 100000 >/dev/null
      exit "${PIPESTATUS[1]}" )
    status=$?
    case "$sigpipe:$status" in
        default:141 | ignored:0) ;;
        *) fail "output closed early, SIGPIPE $sigpipe: exit status $status" ;;
    esac
done

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "all hostile-input checks passed"
