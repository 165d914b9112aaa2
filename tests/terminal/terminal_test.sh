#!/usr/bin/env bash
# The program in a real pseudo-terminal (tmux): the language menu is on the screen before
# anything is typed; answers typed key by key, each once its prompt shows, give the expected
# screens in English and in Italian ("è" one character wide); one Ctrl-D at any prompt ends the
# program within a second, with status 0 and the closing lines under the prompt.
# Usage: terminal_test.sh PROGRAM   (exits 77, "skipped", when tmux is missing)
set -u
program=$(realpath "$1")
screens=$(dirname "$0")
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
sessions=0
tmux_() { tmux -L "fp-terminal-$$-$sessions" "$@"; }
trap 'tmux_ kill-server 2>/dev/null' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A new terminal with a plain shell that runs the program and then shows its exit status.
start() {
    tmux_ kill-server 2>/dev/null
    sessions=$((sessions + 1))
    LANG=C.UTF-8 tmux_ -u -f /dev/null new-session -d -x 120 -y 60 "env PS1='$ ' bash --norc --noprofile"
    tmux_ send-keys "clear; $program; echo status=\$?" Enter
}

screen() { tmux_ capture-pane -p | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'; }
cursor_line() { tmux_ capture-pane -p -S "$(tmux_ display -p '#{cursor_y}')" -E "$(tmux_ display -p '#{cursor_y}')"; }

# Waits until the cursor stands behind a prompt (a line ending in ": ") or the shell prompt.
wait_for_prompt() {
    for _ in $(seq 100); do
        case "$(cursor_line)" in *: | '$') return 0 ;; esac
        sleep 0.1
    done
    echo "no prompt on the screen:"; screen
    return 1
}

type_answers() {
    for answer in "$@"; do
        wait_for_prompt || return 1
        for ((i = 0; i < ${#answer}; i++)); do
            tmux_ send-keys -l "${answer:i:1}"
        done
        tmux_ send-keys Enter
    done
    sleep 0.3
    wait_for_prompt
}

check_screen() {
    if ! diff <(screen) "$screens/$1.screen" >/dev/null; then
        fail "screen differs from $1.screen (left actual, right expected):"
        diff <(screen) "$screens/$1.screen"
    fi
}

start
wait_for_prompt && check_screen language_menu
type_answers 1 2 5 0 1 0100000010101 n && check_screen english

start
type_answers 2 2 -3.25 0 1 10111101110011001100110011001101 9 && check_screen italian
line=$(screen | grep -F 'Il numero in binario')
[ "$(printf '%s' "$line" | LC_ALL=C.UTF-8 wc -m)" -eq 58 ] || fail "'$line' is not 58 characters wide"

# ctrl_d ANSWERS LINES...: after the answers, one Ctrl-D at the prompt; within a second the shell
# reports status 0, and the screen ends with the given lines, the status line and the shell prompt.
closing=("Credit to Vantelli Edmondo and Corbaro Ludano" "Sviluppato da Vantelli Edmondo e Ludano Corbaro")
choose="--------------------------------->Choose/Scelta:"
menu="--------------------------------->Scelta:"
ctrl_d() {
    local answers=$1
    shift
    start
    # shellcheck disable=SC2086
    type_answers $answers || { fail "Ctrl-D after '$answers': no prompt"; return; }
    tmux_ send-keys C-d
    local waited=0
    until screen | grep -q '^status='; do
        sleep 0.05
        waited=$((waited + 1))
        [ "$waited" -lt 20 ] || { fail "Ctrl-D after '$answers': still running after a second"; return; }
    done
    sleep 0.1
    local expected
    expected=$(printf '%s\n' "$@" status=0 '$')
    [ "$(screen | tail -n $(($# + 2)))" = "$expected" ] ||
        { fail "Ctrl-D after '$answers': the screen ends with"; screen | tail -n $(($# + 2)); }
}

ctrl_d "" "$choose" "${closing[@]}"
ctrl_d "3" "Scegli 1 o 2 per scegliere la lingua!!!" "" "Select the languages/Seleziona la lingua:" \
    "Select 1 to choose english" "Seleziona 2 per scegliere italiano" "" "$choose" "${closing[@]}"
ctrl_d "1" "$menu" "Credit to: Vantelli Edmondo and Corbaro Ludano"
ctrl_d "2 2 0.5 0" "$menu" "Sviluppato da: Vantelli Edmondo e Corbaro Ludano"
ctrl_d "1 1" "Insert binary value:" "${closing[@]}"
ctrl_d "2 1 2" "Inserire un numero valido!" "Inserisci valore in binario:" "${closing[@]}"
ctrl_d "2 2" "Inserisci valore decimale:" "${closing[@]}"
ctrl_d "1 2 0 0 2" "Insert decimal value:" "${closing[@]}"
ctrl_d "1 2 5" "$choose" "${closing[@]}"
ctrl_d "2 1 010000001 0 2 7" "$choose" "${closing[@]}"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "terminal screens as expected"
