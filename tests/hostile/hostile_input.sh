#!/usr/bin/env bash
# What no transcript can hold: 10 MB tokens (a transcript has a 400-digit language answer), and
# failures of the machine around the program. The program must never hang; a failed write stops
# it at once and a failed read ends the dialogue as at the end of input, each with one line on
# standard error and status 1; a reader that goes away kills it by SIGPIPE (or, with SIGPIPE
# ignored, is a write error). FP_WRAPPER may name a command to run the program under (Wine,
# qemu-user). A program that has not ended after 30 seconds hangs.
# FP_WINDOWS=1 says that the program is a Windows .exe: the words after "error: " are then the
# system's own, and a reader that goes away is a write error.
# Usage: hostile_input.sh PROGRAM
set -u
program=$1 wrapper=${FP_WRAPPER:-} windows=${FP_WINDOWS:-}
hung=30 settle=$([ -z "$wrapper" ] && echo 1 || echo 5)  # seconds
end_of_input=$(dirname "$0")/../e2e/cases/eof_at_language_prompt.out
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check NAME STATUS EXPECTED_STATUS [STDERR]: the exit status and $work/NAME.err are as expected.
check() {
    local errors expected=${4:-}
    # A coverage build's counters cannot be saved under the file size limit either; their
    # runtime says so on standard error. So may Wine's libraries (fontconfig's "write cache").
    errors=$(grep -v '^libgcov profiling error' "$work/$1.err")
    [ -n "$windows" ] && errors=$(grep -a '^floating_point: ' <<<"$errors")
    [ -n "$windows" ] && errors=${errors%%error: *} && expected=${expected%%error: *}
    [ "$2" -eq "$3" ] || fail "$1: exit status $2, expected $3"
    [ "$errors" = "$expected" ] || fail "$1: standard error '$errors', expected '$expected'"
}
# expect NAME COUNT PATTERN: COUNT output lines match PATTERN (a basic regular expression).
expect() {
    local found
    found=$(grep -a -c -- "$3" "$work/$1.out")
    [ "$found" -eq "$2" ] || fail "$1: '$3' on $found lines, expected $2"
}
big() { head -c 10485760 /dev/zero | tr '\0' "$1"; }
closing='Credit to Vantelli Edmondo and Corbaro Ludano$'

# A 10 MB bit pattern is rejected once, then the input ends.
{ printf '1\n1\n'; big 0; printf '\n'; } >"$work/binary.in"
timeout 60 $wrapper "$program" <"$work/binary.in" >"$work/binary.out" 2>"$work/binary.err"
check binary $? 0
expect binary 1 "Insert a valid number!$"
expect binary 1 "$closing"
# 10 MB decimal texts: an integer out of range, a fraction of zeros, one of nines (the error,
# then 23 zero fraction digits), and a long fraction after -5.
{ printf '1\n2\n'; big 7; printf '\n0\n2\n0.'; big 0; printf '1\n0\n2\n0.'; big 9
  printf '\n0\n2\n-5.'; big 0; printf '\nq\n'; } >"$work/decimal.in"
timeout 60 $wrapper "$program" <"$work/decimal.in" >"$work/decimal.out" 2>"$work/decimal.err"
check decimal $? 0
expect decimal 1 "The binary number is: Number out of range $"
expect decimal 1 "The binary number is: 0|00000000|00000000000000000000000$"
expect decimal 1 "ERROR The binary number is: 0|01111111|00000000000000000000000$"
expect decimal 1 "The binary number is: 1|10000001|01000000000000000000000$"
expect decimal 1 "$closing"

# A read that starts with byte 0xFF has a character like any other in front, not the end of the
# input: a pattern that starts with it, piped in a read of its own at the binary prompt, is
# rejected, and the next one is converted.
{ printf '1\n1\n'; sleep $settle; printf '\3771\n0100000010101\nn\n'; } \
    | timeout 60 $wrapper "$program" >"$work/first_byte_ff.out" 2>"$work/first_byte_ff.err"
check first_byte_ff $? 0
expect first_byte_ff 1 "Insert a valid number!$"
expect first_byte_ff 1 "Final result: 5.25$"

# A failed write stops the program at once, also while its input stays open: it must not wait
# for an answer that nobody has a prompt for. stops_at_once NAME PROMPT ERROR COMMAND...: with
# status 1 and the error, and before the input ends.
stops_at_once() {
    "${@:4}" 2>"$work/$1.err"
    local status=$?
    [ "$status" -ne 124 ] || { fail "$1: still waiting at the $2 $hung seconds after a write failed"; return; }
    check "$1" "$status" 1 "floating_point: write error: $3"
}
exec 3< <(exec sleep 300 2>/dev/null)
stops_at_once full "language prompt" "No space left on device" timeout "$hung" $wrapper "$program" <&3 >/dev/full
stops_at_once closed_output "language prompt" "Bad file descriptor" timeout "$hung" $wrapper "$program" <&3 >&-
kill $! && exec 3<&-
# Wine's server must not start under the file size limit below: it would inherit the limit and
# die. A program waiting at its first prompt keeps one running meanwhile.
if [ -n "$windows" ]; then
    exec 4< <(exec sleep 60 2>/dev/null)
    keeper_input=$!
    $wrapper "$program" <&4 >/dev/null 2>&1 &
    keeper=$!
    exec 4<&-
fi
# capped NAME ROOM: the program's output goes to $work/NAME.out, where a file size limit of 1024
# bytes (SIGXFSZ ignored) leaves room for its first ROOM bytes.
capped() {
    head -c $((1024 - $2)) /dev/zero >"$work/$1.out"
    ( ulimit -f 1; trap '' XFSZ; exec timeout "$hung" $wrapper "$program" >>"$work/$1.out" )
}
# The write of the main menu's last line fails, and the input stays open after the language
# answer.
before=$(printf '1\n' | $wrapper "$program" | grep -a -b -o 'Press another button' | cut -d: -f1)
exec 3< <(printf '1\n'; exec sleep 300 2>/dev/null)
stops_at_once capped "main menu's prompt" "File too large" capped capped $((before + 10)) <&3
kill $! && exec 3<&-
# An input that cannot be read ends the dialogue as the end of input does.
timeout "$hung" $wrapper "$program" <"$work" >"$work/directory.out" 2>"$work/directory.err"
check directory $? 1 "floating_point: read error: Is a directory"
timeout "$hung" $wrapper "$program" <&- >"$work/closed_input.out" 2>"$work/closed_input.err"
check closed_input $? 1 "floating_point: read error: Bad file descriptor"
# When reading and writing both fail, the lost output is what the user must hear of: the input
# is a directory, and the closing lines do not fit behind the language prompt.
prompt_end=$(grep -a -b -o 'Choose/Scelta: ' "$end_of_input" | head -n 1 | cut -d: -f1)
stops_at_once both_fail "language prompt" "File too large" capped both_fail $((prompt_end + 15)) <"$work"
[ -n "$windows" ] && kill "$keeper_input" && wait "$keeper"
for input in directory closed_input; do
    cmp -s "$work/$input.out" "$end_of_input" || fail "$input: output differs from the end of input's"
done
# The reader of the output goes away while the program still has input.
for sigpipe in default ignored; do
    ( [ $sigpipe = ignored ] && trap '' PIPE
      yes $'1\n2\n5\n0' 2>/dev/null | timeout "$hung" $wrapper "$program" 2>"$work/pipe_$sigpipe.err" | head -c 100000 >/dev/null
      exit "${PIPESTATUS[1]}" )
    status=$?
    [ $status -eq 124 ] && fail "pipe_$sigpipe: still running $hung seconds after the reader went away" && continue
    [ $sigpipe = default ] && [ -z "$windows" ] && check pipe_default $status 141
    [ $sigpipe = ignored ] || [ -n "$windows" ] && check pipe_$sigpipe $status 1 "floating_point: write error: Broken pipe"
done
# With a short input the program may be done before the reader goes: then status 0, else as above.
printf '1\n2\n5\nn\n' | $wrapper "$program" 2>"$work/short_pipe.err" | head -n 1 >/dev/null
status=${PIPESTATUS[1]}
if [ "$status" -eq 0 ]; then check short_pipe 0 0
elif [ -z "$windows" ]; then check short_pipe "$status" 141
else check short_pipe "$status" 1 "floating_point: write error: Broken pipe"; fi

[ "$failures" -eq 0 ] || exit 1
echo "all hostile-input checks passed"
