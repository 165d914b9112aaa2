#!/usr/bin/env bash
# Each prompt reaches the output before the program waits for its answer. The answers are given
# one at a time, each only once its prompt has come, as a person at a terminal gives them; a
# prompt left in the program's buffer leaves both sides waiting, which fails after two seconds.
# Needs no terminal. Usage: prompts_shown.sh PROGRAM
set -u
export LC_ALL=C
coproc dialogue { exec "$1" 2>&1; }
# Own copies of the pipes and the process number, which stay when the program ends and bash
# drops its own.
pid=$dialogue_PID
exec {output}<&"${dialogue[0]}" {input}>&"${dialogue[1]}"

# wait_for PROMPT: reads the output until it ends with PROMPT.
wait_for() {
    local seen="" char
    while [[ "$seen" != *"$1" ]]; do
        IFS= read -r -t 2 -N 1 char <&"$output" ||
            { printf 'FAIL: no "%s" while the program waits, after:\n%s\n' "$1" "${seen: -200}"; kill "$pid"; exit 1; }
        seen+=$char
    done
}

choose="--------------------------------->Choose/Scelta: "
menu="--------------------------------->Scelta: "
steps=(
    "$choose" 3 "$choose" 2 "$menu" 1 "Inserisci valore in binario: " 2 "Inserisci valore in binario: " 010000001
    "$choose" 0 "$menu" 2 "Inserisci valore decimale: " 5 "$choose" 0 "$menu" x
)
for ((i = 0; i < ${#steps[@]}; i += 2)); do
    wait_for "${steps[i]}"
    printf '%s\n' "${steps[i + 1]}" >&"$input"
done
wait_for $'Sviluppato da: Vantelli Edmondo e Corbaro Ludano\n'
wait "$pid" || { echo "FAIL: exit status $?"; exit 1; }
echo "every prompt was shown before the program waited"
