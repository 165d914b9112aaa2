// The page: the program in a terminal. Each run gets a new instance of the module (new memory);
// when it ends the page says so, and Enter starts the next run.
import { Terminal } from '@xterm/xterm';
import { FitAddon } from '@xterm/addon-fit';
import { LineDiscipline } from './line_discipline.mjs';
import { runProgram } from './wasi.mjs';

const ENDED = '\r\n[The program has ended: press Enter to start it again.' +
    ' / Il programma è terminato: premi Invio per riavviarlo.]\r\n';

// Small enough for the dialogue's result lines (57 characters and more) to fit across a phone's screen.
const fontSizeFor = (width) => Math.max(8, Math.min(15, Math.floor(width / 38)));

function openTerminal() {
    const terminal = new Terminal({ convertEol: true, screenReaderMode: true, cursorBlink: true,
                                    fontSize: fontSizeFor(window.innerWidth), scrollback: 5000 });
    const fit = new FitAddon();
    terminal.loadAddon(fit);
    const element = document.getElementById('terminal');
    terminal.open(element);
    fit.fit();
    window.addEventListener('resize', () => {
        terminal.options.fontSize = fontSizeFor(window.innerWidth);
        fit.fit();
    });
    element.addEventListener('click', () => terminal.focus());
    terminal.focus();
    return terminal;
}

// Resolves once the terminal has shown everything written to it.
const shown = (terminal) => new Promise((resolve) => terminal.write('', resolve));

// One run of the program; resolves with its exit status and its output bytes.
async function run(module, terminal, discipline) {
    const output = [];
    const show = (bytes) => {
        output.push(bytes);
        terminal.write(bytes);
    };
    const status = await runProgram(module, { readInput: () => discipline.read(), writeOutput: show,
                                              writeError: (bytes) => terminal.write(bytes) });
    return { status, output: new Blob(output) };
}

async function main() {
    const module = await window.programModule;  // compiled by the page's first script
    const terminal = openTerminal();
    let discipline = null;
    let waitingForRestart = null;
    terminal.onData((keys) => {
        if (waitingForRestart !== null) {
            if (/[\r\n]/.test(keys)) waitingForRestart();
        } else {
            discipline.type(keys);
        }
    });
    // Hooks for the tests: the current run's input queue and the end of each run.
    const page = window.floatingPoint = { runs: 0, terminal };
    for (;;) {
        discipline = new LineDiscipline((text) => terminal.write(text));
        page.discipline = discipline;
        page.ended = run(module, terminal, discipline);
        page.runs += 1;
        if (page.runs === 1) {
            // The program has written its first prompt by now: the time it shows, for the budgets.
            shown(terminal).then(() => requestAnimationFrame(() => performance.mark('first prompt')));
        }
        await page.ended;
        terminal.write(ENDED);
        await new Promise((resolve) => { waitingForRestart = resolve; });
        waitingForRestart = null;
        await shown(terminal);  // a reset before that would leave the last run's end on the screen
        terminal.reset();
    }
}

main();
