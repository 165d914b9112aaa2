// The page: the program in a terminal. Each run gets a new instance of the module (new memory);
// when it ends the page says so, and Enter starts the next run below the last one.
import { AnswerField } from './answer_field.mjs';
import { LineDiscipline } from './line_discipline.mjs';
import { Panel } from './panel.mjs';
import { SpokenLog } from './spoken_log.mjs';
import { openTerminalView, showNow } from './terminal_view.mjs';
import { runProgram } from './wasi.mjs';

// The page's own messages, in both languages, and how the terminal frames them.
const ENDED = { en: 'The program has ended: press Enter to start it again.', it: 'Il programma è terminato: premi Invio per riavviarlo.' };
const ENDED_FRAME = ['\r\n[', ']\r\n'];
const runNumber = (run) => ({ en: `run ${run}`, it: `esecuzione ${run}` });
const INTERRUPTED = { en: 'Ctrl-C interrupted the program; to copy, select the text first.',
                      it: 'Ctrl-C ha interrotto il programma; per copiare, seleziona prima il testo.' };
const INTERRUPTED_FRAME = ['[', ']\r\n'];
const SEPARATOR_FRAME = ['\r\n──────── ', ' ────────\r\n\r\n'];

// The session as text, for printing (the screen keeps only its last rows): what the program
// wrote and each line as it was handed over.
class SessionText {
    constructor() {
        this.parts = [];
    }

    add(text) {
        this.parts.push(text);
    }

    toString(unfinishedLine = '') {
        return this.parts.join('').replace(/\r\n/g, '\n') + unfinishedLine;
    }
}

// Byte arrays as one.
const joined = (parts) => {
    const bytes = new Uint8Array(parts.reduce((length, part) => length + part.length, 0));
    parts.reduce((offset, part) => {
        bytes.set(part, offset);
        return offset + part.length;
    }, 0);
    return bytes;
};

class Session {
    constructor(terminal, log) {
        this.module = null;  // the program, once compiled
        this.terminal = terminal;
        this.text = new SessionText();
        this.log = log;
        this.decoder = new TextDecoder();
        this.discipline = null;  // none while the program has ended
        this.runs = 0;
        this.ended = null;  // the last run's end: its status and output
        this.panel = null;  // made once the first prompt shows
        this.onFirstRead = () => {};
        this.onEnd = () => {};
    }

    show(text) {
        const written = typeof text === 'string' ? text : this.decoder.decode(text, { stream: true });
        this.text.add(written);
        this.log.written(written);
        this.panel?.written(written);
        showNow(this.terminal, text);
    }

    // One of the page's messages, { en, it }, framed as the terminal shows it.
    say(message, [before, after]) {
        const text = `${before}${message.en} / ${message.it}${after}`;
        this.text.add(text);
        this.log.message(message, before.trim(), after.trim());
        showNow(this.terminal, text);
    }

    // A line handed over, in the printed session (with the line end it had, if any) as the
    // screen shows it; the log takes it once the program reads it.
    answered(line, lineEnd = '\n') {
        this.text.add(line + lineEnd);
    }

    // What the program wrote since it last waited, shown in one piece: it writes line by line.
    showWritten(written) {
        if (written.length === 0) return;
        this.show(joined(written));
        written.length = 0;
    }

    start() {
        this.runs += 1;
        if (this.runs > 1) this.say(runNumber(this.runs), SEPARATOR_FRAME);
        const discipline = this.discipline = new LineDiscipline((text) => showNow(this.terminal, text), (shown, line) => {
            this.log.answered(shown);
            this.panel?.answered(line);
        });
        const output = [];
        const written = [];  // since the program last waited for input
        const readInput = () => {
            this.showWritten(written);
            this.log.flush();
            this.panel?.waiting();  // a result's summary is heard after the program's own answer
            this.onFirstRead();
            this.onFirstRead = () => {};
            return discipline.read();
        };
        const writeOutput = (bytes) => {
            output.push(bytes);
            written.push(bytes);
        };
        const writeError = (bytes) => {
            this.showWritten(written);
            this.show(bytes);
        };
        this.ended = runProgram(this.module, { readInput, writeOutput, writeError })
            .then((status) => {
                this.showWritten(written);
                this.discipline = null;
                this.say(ENDED, ENDED_FRAME);
                this.onEnd();
                return { status, output: new Blob([joined(output)]) };
            });
    }

    // What the answer field reports, for the current run, or after its end for the next one.
    edited(line) {
        this.discipline?.edit(line);
    }

    entered() {
        if (!this.discipline) {
            if (this.module) this.start();  // only Enter starts the program again, once it is there
            return;
        }
        this.answered(this.discipline.shown);
        this.discipline.enter();
    }

    endOfInput() {
        if (this.discipline?.shown) this.answered(this.discipline.shown, '');
        this.discipline?.endOfInput();
    }

    interrupt() {
        if (!this.discipline) return;
        this.answered(`${this.discipline.shown}^C`);
        this.discipline.interrupt();
        this.say(INTERRUPTED, INTERRUPTED_FRAME);
    }
}

// Without the program the terminal would stay empty: the page says why in its place.
function sayCannotRun(container) {
    container.replaceChildren();
    container.append(document.getElementById('cannot-run').content.cloneNode(true));
}

async function main() {
    const container = document.getElementById('terminal');
    const field = document.getElementById('answer');
    let session = null;
    const { terminal, answer } = openTerminalView(container, field, (terminal) => new AnswerField(field, {
        edited: (line) => session.edited(line),
        entered: () => session.entered(),
        endOfInput: () => session.endOfInput(),
        interrupt: () => session.interrupt(),
        pasted: (text) => log.pasted(text),
        hasSelection: () => terminal.hasSelection(),
    }));
    const log = new SpokenLog(document.getElementById('session-log'), document.getElementById('announcer'));
    log.listening.then(() => log.flush());
    session = new Session(terminal, log);
    session.onEnd = () => answer.clear();
    const endOfInput = document.getElementById('end-of-input');
    endOfInput.addEventListener('mousedown', (event) => event.preventDefault());  // the keyboard stays up
    endOfInput.addEventListener('click', () => answer.endOfInput());
    const transcript = document.getElementById('transcript');
    window.addEventListener('beforeprint', () => {
        transcript.textContent = session.text.toString(session.discipline?.shown);
    });
    window.addEventListener('afterprint', () => { transcript.textContent = ''; });
    // Compiled by the page's first script while the terminal was made, as far as the main thread
    // let it: what is typed meanwhile waits for the program.
    session.module = await window.programModule;
    if (!session.module) {
        sayCannotRun(container);
        return;
    }
    // The panel is made once the first prompt has had its frame (the terminal draws in the frame).
    session.onFirstRead = () => requestAnimationFrame(() => setTimeout(() => {
        const root = document.getElementById('panel');
        session.panel = new Panel(root, document.getElementById('panel-template'),
                                  { typeIntoAnswer: (text) => answer.type(text), announce: (text) => log.announce(text) });
        root.setAttribute('aria-labelledby', 'panel-heading');
        root.querySelector('details').open = matchMedia('(min-width: 1000px)').matches;
    }));
    session.start();
    window.floatingPoint = session;  // for the tests: the current run, its input and its end
}

await main();
