#!/usr/bin/env bash
# The program in a real pseudo-terminal (tmux): answers typed key by key, each once its prompt
# shows (the first before anything is typed), give the expected screens in English and in
# Italian; one Ctrl-D at any prompt ends the program, with status 0 and the closing lines under
# the prompt.
# FP_WRAPPER may name a command to run the program under (qemu-user, Wine). With FP_WINDOWS=1
# the program is a Windows .exe in Wine's console: the end of the input is Ctrl-Z and Enter,
# whose echo "^Z" and line break the screens leave out. Whatever does not come within 30 seconds
# counts as hung.
# Usage: terminal_test.sh PROGRAM   (exits 77, "skipped", when tmux is missing)
set -u
program=$(realpath "$1") screens=$(dirname "$0") wrapper=${FP_WRAPPER:-} windows=${FP_WINDOWS:-}
end_of_input=(C-d)
[ -n "$windows" ] && end_of_input=(C-z Enter)
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
sessions=0
tmux_() { tmux -L "fp-terminal-$$-$sessions" "$@"; }
trap 'tmux_ kill-server 2>/dev/null' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

launch() { tmux_ send-keys "clear; $wrapper $program; echo status=\$?" Enter; }

# A new terminal with a plain shell that runs the program and then shows its exit status.
start() {
    tmux_ kill-server 2>/dev/null
    sessions=$((sessions + 1))
    # Ctrl-Z is not the terminal's suspend key: the program reads it.
    LANG=C.UTF-8 tmux_ -u -f /dev/null new-session -d -x 120 -y 60 "stty susp undef; env PS1='$ ' bash --norc --noprofile"
    launch
    # Wine now and then ends a program at its very start with status 1, nothing written (about
    # once in twenty runs of this test): once is Wine's, twice the program's.
    if [ -n "$windows" ]; then
        for _ in $(seq 300); do [[ "$(cursor_line)" == *: ]] || screen | grep -q '^status=' && break; sleep 0.1; done
        [ "$(screen | head -n 1)" = status=1 ] && { echo "Wine ended the program at its start; started once more"; launch; }
    fi
    # The language prompt first: until then, the shell's prompt would pass for the program's.
    wait_for "the language prompt at the start" '*:'
}
cursor_line() { tmux_ capture-pane -p -S "$(tmux_ display -p '#{cursor_y}')" -E "$(tmux_ display -p '#{cursor_y}')"; }

screen() {
    tmux_ capture-pane -p | sed -e '/\^Z$/{s/ *\^Z$//;N;s/\n$//;}' | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
}

# wait_for WHAT PATTERN: waits for the cursor line to match PATTERN. A prompt that does not show
# ends the whole test at once, naming it: every later one would wait too.
wait_for() {
    for _ in $(seq 300); do
        # shellcheck disable=SC2053
        [[ "$(cursor_line)" == $2 ]] && return 0
        sleep 0.1
    done
    echo "FAIL: $1 did not show within 30 s; the screen:"; screen
    exit 1
}
# A program's prompt (a line ending in ": ") or the shell's.
wait_for_prompt() { wait_for "$1" '@(*:|$)'; }

# Types each answer and Enter, once its prompt shows, then waits for the echo of Enter to move the
# cursor down: until then the prompt answered looks like the next one.
type_answers() {
    local typed=""
    for answer in "$@"; do
        wait_for_prompt "the prompt for '$answer' after the answers '${typed# }'"
        typed="$typed $answer"
        local row
        row=$(tmux_ display -p '#{cursor_y}')
        tmux_ send-keys -l -- "$answer"$'\r'
        for _ in $(seq 100); do [ "$(tmux_ display -p '#{cursor_y}')" != "$row" ] && break; sleep 0.02; done
    done
    sleep 0.3
    wait_for_prompt "the prompt after the answers '${typed# }'"
}

for language in english italian; do
    start
    # shellcheck disable=SC2046
    type_answers $(head -n 1 "$screens/$language.answers")
    diff <(screen) "$screens/$language.screen" || fail "the screen differs from $language.screen (left actual)"
done

# ctrl_d ANSWERS LINES...: after the answers, the end of the input at the prompt: the shell
# reports status 0, and the screen ends with the given lines, the status line and the prompt.
ctrl_d() {
    local answers=$1
    shift
    start
    # shellcheck disable=SC2086
    type_answers $answers
    tmux_ send-keys "${end_of_input[@]}"
    for _ in $(seq 600); do screen | grep -q '^status=' && break; sleep 0.05; done
    sleep 0.1
    [ "$(screen | tail -n $(($# + 2)))" = "$(printf '%s\n' "$@" status=0 '$')" ] ||
        { fail "end of input after '$answers': not ended in time as expected; the screen ends:"; screen | tail -n 8; }
}
closing=("Credit to Vantelli Edmondo and Corbaro Ludano" "Sviluppato da Vantelli Edmondo e Ludano Corbaro")
choose="--------------------------------->Choose/Scelta:"
menu="--------------------------------->Scelta:"
ctrl_d "" "$choose" "${closing[@]}"
ctrl_d "3" "Seleziona 2 per scegliere italiano" "" "$choose" "${closing[@]}"
ctrl_d "1" "$menu" "Credit to: Vantelli Edmondo and Corbaro Ludano"
ctrl_d "2 2 0.5 0" "$menu" "Sviluppato da: Vantelli Edmondo e Corbaro Ludano"
ctrl_d "1 1" "Insert binary value:" "${closing[@]}"
ctrl_d "2 1 2" "Inserire un numero valido!" "Inserisci valore in binario:" "${closing[@]}"
ctrl_d "2 2" "Inserisci valore decimale:" "${closing[@]}"
ctrl_d "1 2 0 0 2" "Insert decimal value:" "${closing[@]}"
ctrl_d "1 2 5" "$choose" "${closing[@]}"
ctrl_d "2 1 010000001 0 2 7" "$choose" "${closing[@]}"
# An answer ended by the end of input instead of Enter counts; the input ends at the menu with the
# next Ctrl-D (in Windows' console, the one Ctrl-Z and Enter).
[ -z "$windows" ] && end_of_input=(1 C-d C-d) || end_of_input=(1 C-z Enter)
ctrl_d "" "$menu" "Credit to: Vantelli Edmondo and Corbaro Ludano"

[ "$failures" -eq 0 ] || exit 1
echo "terminal screens as expected"
