#!/usr/bin/env bash
# The program in a real pseudo-terminal (tmux): the language menu is on the screen before
# anything is typed; answers typed key by key, each once its prompt shows, give the expected
# screens in English and in Italian ("è" one character wide); Ctrl-D at a prompt ends the
# program with status 0 and the shell prompt starts on a new line.
# Usage: terminal_test.sh PROGRAM   (exits 77, "skipped", when tmux is missing)
set -u
program=$(realpath "$1")
screens=$(dirname "$0")
command -v tmux >/dev/null || { echo "tmux is not installed"; exit 77; }
sessions=0
tmux_() { tmux -L "fp-terminal-$$-$sessions" "$@"; }
trap 'tmux_ kill-server 2>/dev/null' EXIT
failures=0

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
        echo "FAIL: screen differs from $1.screen (left actual, right expected):"
        diff <(screen) "$screens/$1.screen"
        failures=$((failures + 1))
    fi
}

start
wait_for_prompt && check_screen language_menu
type_answers 1 2 5 0 1 0100000010101 n && check_screen english

start
type_answers 2 2 -3.25 0 1 10111101110011001100110011001101 9 && check_screen italian
line=$(screen | grep -F 'Il numero in binario')
[ "$(printf '%s' "$line" | LC_ALL=C.UTF-8 wc -m)" -eq 58 ] || { echo "FAIL: '$line' is not 58 characters wide"; failures=$((failures + 1)); }

start
type_answers 1 1
tmux_ send-keys C-d
sleep 0.3
wait_for_prompt && check_screen ctrl_d

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "terminal screens as expected"
