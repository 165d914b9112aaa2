// The page as a screen-reader user hears it: Debian's Orca reads the page in Firefox ESR or
// Chromium under Xvfb, on a private D-Bus session, and speech-dispatcher writes each utterance
// to a file through an output module of the test's own (speech_to_file.mjs). Keys are typed as an
// X keyboard would (xdotool), so that Orca echoes them. Each session must be heard exactly so:
// each typed key once (Backspace naming what it deleted), and after each Enter what the program
// wrote before its next read, line by line, once, nothing more; the page's end message last.
// Figures: keys, lines heard, time. FP_SESSION=NAME runs the sessions whose names hold NAME;
// FP_KEEP=1 keeps each session's folder, with Orca's and speech-dispatcher's logs.
// Usage: dbus-run-session -- node screen_reader_test.mjs firefox|chromium PAGE.html PROGRAM.wasm
import { execFileSync, spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { runProgram } from '../wasi.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const [engine, pagePath, wasmPath] = process.argv.slice(2);
const top = mkdtempSync(join(tmpdir(), 'fp-reader-'));
let home, spokenFile, env;  // each session's own

// Speech to a file: every utterance, a line each, through the output module of the test's own.
function speechToFile() {
    const config = join(home, '.config/speech-dispatcher');
    mkdirSync(config, { recursive: true });
    mkdirSync(env.XDG_RUNTIME_DIR, { mode: 0o700, recursive: true });
    writeFileSync(join(config, 'speechd.conf'), [`AddModule "file" "${join(here, 'speech_to_file.mjs')}" "${spokenFile}"`,
        'DefaultModule file', 'AudioOutputMethod "alsa"', 'AudioALSADevice "null"',
        ...(process.env.FP_KEEP ? ['LogLevel 4', `LogDir "${home}"`] : []), ''].join('\n'));
    writeFileSync(spokenFile, '');
}

const started = [];
const start = (command, args) => {
    const child = spawn(command, args, { env, stdio: process.env.FP_KEEP ? ['ignore', 'inherit', 'inherit'] : 'ignore', detached: true });
    started.push(child);
    return child;
};
const spoken = () => readFileSync(spokenFile, 'utf8').split('\n').map((line) => line.replace(/\s+/g, ' ').trim())
    .filter((line) => line !== '');

async function until(what, test, timeout = 20000) {
    for (const end = Date.now() + timeout; Date.now() < end; await pause(50)) {
        if (test()) return;
    }
    throw new Error(`no ${what} within ${timeout} ms; heard:\n${spoken().slice(-15).join('\n')}`);
}

// A screen on a display that is free: Xvfb picks it and names it once it takes clients.
function startScreen() {
    const screen = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x900x24'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe'], detached: true });
    started.push(screen);
    return new Promise((resolve, reject) => {
        screen.stdio[3].once('data', (display) => resolve(`:${String(display).trim()}`));
        screen.once('exit', () => reject(new Error('Xvfb did not start')));
    });
}

// The desktop: a screen, the accessibility bus, Orca, and the browser on the page.
async function openDesktop(url, name) {
    home = join(top, name.replace(/\W+/g, '-'));
    spokenFile = join(home, 'spoken.txt');
    env = { ...process.env, HOME: home, XDG_RUNTIME_DIR: join(home, 'run'), GNOME_ACCESSIBILITY: '1', LANG: 'C.UTF-8' };
    speechToFile();
    env.DISPLAY = await startScreen();
    start('/usr/libexec/at-spi-bus-launcher', ['--launch-immediately']);
    start('orca', ['--replace', ...(process.env.FP_KEEP ? [`--debug-file=${join(home, 'orca.debug')}`] : [])]);
    await until('Orca', () => spoken().includes('Screen reader on.'));
    execFileSync('xdotool', ['mousemove', '640', '450'], { env });  // the keyboard goes where the pointer is
    const profile = join(home, 'profile');
    mkdirSync(profile);
    if (engine === 'chromium') {
        start('chromium', ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync', '--disable-background-networking',
                           '--disable-component-update', '--force-renderer-accessibility', `--user-data-dir=${profile}`,
                           '--window-position=0,0', '--window-size=1280,900', url]);
    } else {
        // No first-run pages, and no New Tab made in the background, whose events Orca would handle too.
        writeFileSync(join(profile, 'user.js'), ['browser.shell.checkDefaultBrowser', 'browser.aboutwelcome.enabled',
            'datareporting.policy.dataSubmissionEnabled', 'browser.newtab.preload']
            .map((pref) => `user_pref("${pref}", false);\n`).join(''));
        start('firefox-esr', ['--no-remote', '--profile', profile, url]);
    }
}

// What the program writes before each read when it gets these answers, one a read.
async function writtenBeforeEachRead(answers) {
    const pieces = [''];
    const decoder = new TextDecoder();
    const input = answers.map((answer) => new TextEncoder().encode(`${answer}\n`));
    await runProgram(await WebAssembly.compile(readFileSync(wasmPath)), {
        readInput: async () => {
            pieces.push('');
            return input.shift() ?? new Uint8Array(0);
        },
        writeOutput: (bytes) => { pieces[pieces.length - 1] += decoder.decode(bytes, { stream: true }); },
        writeError: () => {},
    });
    return pieces;
}

// The lines of a piece as Orca speaks them, one an utterance: blank lines are not spoken.
const utterances = (piece) => piece.split('\n').map((line) => line.replace(/\s+/g, ' ').trim()).filter(Boolean);

// How Orca names a key or a typed character as it echoes it.
const KEY_ECHO = { Return: 'return', BackSpace: 'backspace' };
const CHAR_ECHO = { '.': 'dot', '-': 'minus' };
const key = (name) => execFileSync('xdotool', ['key', '--delay', '0', name], { env });

// What was heard from the first prompt on, against what should have been: the first difference,
// if there is one, as an error.
function compare(heard, expected, complete) {
    const differs = heard.findIndex((line, at) => at < expected.length && line !== expected[at]);
    const at = differs >= 0 ? differs : heard.length > expected.length || (complete && heard.length < expected.length)
        ? Math.min(heard.length, expected.length) : -1;
    if (at >= 0) {
        throw new Error(`heard differs at utterance ${at}:\n  heard:    ${heard.slice(at, at + 4).join(' | ')}\n  expected: ${expected.slice(at, at + 4).join(' | ')}`);
    }
}

// A session: each step is what the learner does, actions, and the answer it hands the program:
// text typed key by key, keys by name ('Return', 'BackSpace'), or a paste and what the page
// says of it. A plain text is typed and entered. Keys go at an even pace. (Keys 150 ms apart are
// too quick for Orca in Firefox now and then: the field's first character of a line reaches it
// after the Enter that follows, and it speaks that character again as text the page inserted.)
// Each step waits until all that it should make has been heard, and fails at the first
// utterance that should not have been.
const KEYS_APART = 250;  // ms
const ENDED = '[The program has ended: press Enter to start it again. / Il programma è terminato: premi Invio per riavviarlo.]';
const asStep = (step) => (typeof step === 'string' ? { answer: step, actions: [step, 'Return'] } : step);

// Does one action and returns what Orca should say of it.
async function act(action) {
    if (action.paste !== undefined) {
        execFileSync('sh', ['-c', 'printf %s "$1" | xclip -selection clipboard >/dev/null 2>&1 &', 'paste', action.paste], { env });
        await pause(300);
        key('ctrl+v');
        return ['left control', 'v', action.heard];
    }
    if (KEY_ECHO[action]) {
        key(action);
        return [KEY_ECHO[action]];
    }
    const heard = [];
    for (const char of action) {
        key(char === '.' ? 'period' : char);
        heard.push(CHAR_ECHO[char] ?? char);
        if (char !== action.at(-1)) await pause(KEYS_APART);
    }
    return heard;
}

async function hear(session) {
    const steps = session.map(asStep);
    // An answer of several lines (a paste) is read a line a read, as the page hands it over; what
    // it makes is heard as one announcement.
    const answers = steps.flatMap((step) => step.answer.split('\n'));
    const written = await writtenBeforeEachRead(answers);
    let read = 1;
    const pieces = [utterances(written[0]), ...steps.map((step) => step.answer.split('\n').flatMap(() => utterances(written[read++])))];
    const expected = [...pieces[0]];
    const heard = () => {
        const all = spoken();
        return all.slice(Math.max(0, all.indexOf(pieces[0][0])));
    };
    const untilHeard = (what) => until(what, () => {
        compare(heard(), expected, false);
        return heard().length >= expected.length;
    });
    await until('first prompt', () => spoken().includes(pieces[0][0]));
    await untilHeard('the first prompt');
    await pause(1500);  // as a learner listens to it, while Orca is still busy with the page just loaded
    let keys = 0;
    for (const [index, { answer, actions }] of steps.entries()) {
        for (const action of actions) {
            const echo = await act(action);
            expected.push(...echo, ...(action === 'BackSpace' ? [typed(actions).at(-1)] : []));
            keys += echo.length;
            // A key cuts short what Orca has not said yet: a learner waits to hear what was pasted.
            if (action.paste !== undefined && !action.paste.includes('\n')) await untilHeard('what was pasted');
            await pause(KEYS_APART);
        }
        expected.push(...pieces[index + 1], ...(index === steps.length - 1 ? [ENDED] : []));
        await untilHeard(`what the program wrote after answer ${index + 1} (${JSON.stringify(answer)})`);
    }
    await pause(1500);  // anything heard twice would come now
    compare(heard(), expected, true);
    return { keys, lines: pieces.flat().length, written, answers };
}

// What was typed before a BackSpace: the step's text.
const typed = (actions) => actions.find((action) => typeof action === 'string' && !KEY_ECHO[action]) ?? '';

// The session read back with the reading keys: Orca's browse mode, one line down at a time from
// the answer field through the session's log to the footer. Each line of the session must be
// heard once, in order, the answer on its prompt's line, and nothing else (no announcement left
// behind). Orca may read a line in parts, end it with a period, and say "blank" for some blank
// lines and not others (Chromium): words are compared, blank lines left out.
async function readBack({ written, answers }) {
    const words = (lines) => lines.filter((line) => !/^(blank\.?)?$/.test(line.trim())).join(' ')
        .replace(/[\s.]+/g, ' ').replace(/ (?=\])/g, '').trim();
    const lines = written.flatMap((piece, at) => `${piece.replace(/\n$/, '')}${at < answers.length ? answers[at] : ''}`.split('\n'));
    const expected = words([...lines, ENDED]);
    const before = spoken().length;
    key('Insert+a');  // Orca's browse mode
    await until('browse mode', () => spoken().slice(before).includes('Browse mode'));
    const FOOTER = /licences \/ licenze/;
    for (let down = 0; down < 200 && !spoken().slice(before).some((line) => FOOTER.test(line)); down += 1) {
        key('Down');
        await pause(200);
    }
    const read = spoken().slice(before);
    const start = read.findIndex((line) => line.includes('Session / Sessione'));
    const heard = words(read.slice(start + 1, read.findIndex((line, at) => at > start && /^leaving region|licences \/ licenze/.test(line))));
    if (start < 0 || heard !== expected) {
        const at = [...heard].findIndex((char, i) => char !== expected[i]);
        throw new Error(`read back differs at character ${at}:\n  heard:    ${heard.slice(at, at + 120)}\n  expected: ${expected.slice(at, at + 120)}`);
    }
    return lines.filter((line) => line.trim() !== '').length + 1;
}

const VALUES = ['5', '2.5', '0.1', '12', '1.525', '100', '0.375', '7'];
const SESSIONS = {
    'ten answers, read back': { readBack: true, steps: ['1', '2', '5', '0', '2', '2.5', '0', '1', '0100000010101',
        { answer: '1', actions: ['12', 'BackSpace', 'Return'] }] },
    '50 passes in Italian': { steps: ['2', ...Array.from({ length: 50 }, (_, pass) => ['2', VALUES[pass % VALUES.length], pass < 49 ? '0' : '9']).flat()] },
    pastes: { steps: ['1', '2', { answer: '12.5', actions: [{ paste: '12.5', heard: '12.5' }, 'Return'] }, '0', '2',
        { answer: '1'.repeat(3000), actions: [{ paste: '1'.repeat(3000), heard: 'pasted: 3,000 characters / incollati: 3.000 caratteri' }, 'Return'] },
        { answer: '0\n2\n0.1', actions: [{ paste: '0\n2\n0.1\n', heard: 'pasted: 8 characters, 3 lines / incollati: 8 caratteri, 3 righe' }] }, '9'] },
};

let failures = 0;
const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, 'floating_point.html'));
try {
    for (const [name, session] of Object.entries(SESSIONS).filter(([name]) => name.includes(process.env.FP_SESSION ?? ''))) {
        const began = Date.now();
        try {
            await openDesktop(pathToFileURL(join(folder, 'floating_point.html')).href, name);
            const heard = await hear(session.steps);
            const readLines = session.readBack ? `, then ${await readBack(heard)} lines read back` : '';
            console.log(`${engine}: ${name}: ${heard.keys} keys echoed once and ${heard.lines} lines of output heard once${readLines}, in ${Date.now() - began} ms`);
        } catch (error) {
            console.log(`FAIL (${engine}): ${name}: ${error.message}`);
            failures += 1;
        } finally {
            if (process.env.FP_KEEP) await pause(5000);  // Orca's debug file written out
            // Orca's speech-dispatcher runs on its own: its pid file names it.
            const speechd = join(env.XDG_RUNTIME_DIR, 'speech-dispatcher/pid/speech-dispatcher.pid');
            const pids = [...started.splice(0).map((child) => -child.pid), ...(existsSync(speechd) ? [Number(readFileSync(speechd, 'utf8'))] : [])];
            // Asked to end first, so that Xvfb removes its lock and Orca writes out its debug file.
            for (const signal of ['SIGTERM', 'SIGKILL']) {
                for (const pid of pids) {
                    try { process.kill(pid, signal); } catch { /* gone already */ }
                }
                await pause(500);
            }
        }
    }
} finally {
    rmSync(folder, { recursive: true });
    if (!process.env.FP_KEEP) rmSync(top, { recursive: true, force: true });
}
console.log(failures === 0 ? `all screen reader sessions heard as they should in ${engine}` : `${failures} sessions failed`);
process.exitCode = failures === 0 ? 0 : 1;
