// The page as a screen-reader user hears it: Debian's Orca reads the page in Firefox ESR or
// Chromium under Xvfb, on a private D-Bus session, and speech-dispatcher writes each utterance to
// a file (speech_to_file.mjs). Keys are typed as an X keyboard types them (xdotool), so that
// Orca echoes them. Each session of scenarios.json that has "heard" must be heard exactly so:
// each typed key once (Backspace naming what it deleted), and after each Enter what the program
// wrote before its next read, line by line, once, and after a result the panel's summary of it,
// nothing more; the page's end message last.
// FP_SCENARIO=TEXT runs the sessions whose names hold TEXT; FP_KEEP=1 keeps each session's
// folder, with Orca's and speech-dispatcher's logs.
// Usage: dbus-run-session -- node screen_reader_test.mjs firefox|chromium PAGE.html PROGRAM.wasm
import { execFileSync, spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { answerIn, summaryOf } from '../panel.mjs';
import { runProgram } from '../wasi.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const [engine, pagePath, wasmPath] = process.argv.slice(2);
const SESSIONS = JSON.parse(readFileSync(join(here, 'scenarios.json'), 'utf8'))
    .filter((scenario) => scenario.heard && new RegExp(process.env.FP_SCENARIO ?? '').test(scenario.name));
const top = mkdtempSync(join(tmpdir(), 'fp-reader-'));
const keep = process.env.FP_KEEP ? [] : null;
let home, spokenFile, env;  // each session's own

// Speech into a file, a line an utterance, through the output module of the test's own, which
// takes each message at once: speech-dispatcher's generic module, running a command for each,
// loses a message that Orca cancels a few milliseconds later (the "left control" of Ctrl-V) and
// writes parts of others (its SSML marks), now and then.
function speechToFile() {
    const config = join(home, '.config/speech-dispatcher');
    mkdirSync(config, { recursive: true });
    mkdirSync(env.XDG_RUNTIME_DIR, { mode: 0o700, recursive: true });
    writeFileSync(join(config, 'speechd.conf'), [`AddModule "file" "${join(here, 'speech_to_file.mjs')}" "${spokenFile}"`,
        'DefaultModule file', 'AudioOutputMethod "alsa"', 'AudioALSADevice "null"', ...(keep ? ['LogLevel 4', `LogDir "${home}"`] : []), ''].join('\n'));
    writeFileSync(spokenFile, '');
}

const started = [];
const start = (command, args, extra = {}) => {
    const child = spawn(command, args, { env, stdio: keep ? ['ignore', 'inherit', 'inherit'] : 'ignore', detached: true, ...extra });
    started.push(child);
    return child;
};
const spoken = () => readFileSync(spokenFile, 'utf8').split('\n').map((line) => line.replace(/\s+/g, ' ').trim()).filter(Boolean);

async function until(what, test, timeout = 20000) {
    for (const end = Date.now() + timeout; Date.now() < end; await pause(50)) {
        if (test()) return;
    }
    throw new Error(`no ${what} within ${timeout} ms; heard:\n${spoken().slice(-15).join('\n')}`);
}

// The desktop: a screen that Xvfb picks and names once it takes clients, the accessibility bus,
// Orca, and the browser on the page.
async function openDesktop(url, number) {
    home = join(top, `session-${number}`);  // short: speech-dispatcher's socket path lies in it
    spokenFile = join(home, 'spoken.txt');
    env = { ...process.env, HOME: home, XDG_RUNTIME_DIR: join(home, 'run'), GNOME_ACCESSIBILITY: '1', LANG: 'C.UTF-8' };
    speechToFile();
    const screen = start('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x900x24'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe'] });
    env.DISPLAY = await new Promise((resolve, reject) => {
        screen.stdio[3].once('data', (display) => resolve(`:${String(display).trim()}`));
        screen.once('exit', () => reject(new Error('Xvfb did not start')));
    });
    start('/usr/libexec/at-spi-bus-launcher', ['--launch-immediately']);
    start('orca', ['--replace', ...(keep ? [`--debug-file=${join(home, 'orca.debug')}`] : [])]);
    await until('Orca', () => spoken().includes('Screen reader on.'));
    execFileSync('xdotool', ['mousemove', '640', '450'], { env });  // the keyboard goes where the pointer is
    const profile = join(home, 'profile');
    mkdirSync(profile);
    if (engine === 'chromium') {
        start('chromium', ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync', '--disable-background-networking',
                           '--disable-component-update', '--force-renderer-accessibility', `--user-data-dir=${profile}`,
                           '--window-position=0,0', '--window-size=1280,900', url]);
        return;
    }
    // No first-run pages, and no New Tab made in the background, whose events Orca would handle too.
    writeFileSync(join(profile, 'user.js'), ['browser.shell.checkDefaultBrowser', 'browser.aboutwelcome.enabled',
        'datareporting.policy.dataSubmissionEnabled', 'browser.newtab.preload'].map((pref) => `user_pref("${pref}", false);\n`).join(''));
    start('firefox-esr', ['--no-remote', '--profile', profile, url]);
}

// What the program writes before each read when it gets these answers, one a read.
async function writtenBeforeEachRead(answers) {
    const pieces = [''];
    const decoder = new TextDecoder();
    const input = answers.map((answer) => new TextEncoder().encode(`${answer}\n`));
    await runProgram(await WebAssembly.compile(readFileSync(wasmPath)), {
        readInput: async () => pieces.push('') && (input.shift() ?? new Uint8Array(0)),
        writeOutput: (bytes) => { pieces[pieces.length - 1] += decoder.decode(bytes, { stream: true }); },
        writeError: () => {},
    });
    return pieces;
}

// The lines of a piece as Orca speaks them, one an utterance: blank lines are not spoken.
const utterances = (piece) => piece.split('\n').map((line) => line.replace(/\s+/g, ' ').trim()).filter(Boolean);

// What is heard after each answer: what the program wrote before its next read, and then, after a
// result, the panel's summary of it, in the dialogue's language.
function heardAfter(written, answers) {
    let lang = null;
    return written.map((piece, read) => {
        if (/Press 1 to convert binary-decimal/.test(piece)) lang = 'en';
        if (/Premi 1 per la conversione binario-decimale/.test(piece)) lang = 'it';
        const prompt = written[read - 1]?.slice(written[read - 1].lastIndexOf('\n') + 1) ?? '';
        const at = /decimal|decimale/.test(prompt) ? 'decimal' : /binary|binario/.test(prompt) ? 'binary' : null;
        const answer = read > 0 && answerIn(piece, at && { at, text: answers[read - 1].trim().split(/\s+/)[0] });
        return [...utterances(piece), ...(answer ? [summaryOf(answer, lang)] : [])];
    });
}

// What was heard from the first prompt on against what should have been: the first difference.
function compare(heard, expected, complete) {
    const differs = heard.findIndex((line, at) => at < expected.length && line !== expected[at]);
    const at = differs >= 0 ? differs : heard.length > expected.length || (complete && heard.length < expected.length)
        ? Math.min(heard.length, expected.length) : -1;
    if (at >= 0) {
        throw new Error(`heard differs at utterance ${at}:\n  heard:    ${heard.slice(at, at + 4).join(' | ')}\n  expected: ${expected.slice(at, at + 4).join(' | ')}`);
    }
}

// A step of a session: an answer typed key by key and entered, or { answer, actions }, each action
// text typed, a key by name (Return, BackSpace), a paste and what the page says of it, or keys
// that move about the page ("click" clicks the terminal) and a pattern of what Orca says. Keys
// go at an even pace (150 ms apart are too quick for Orca in Firefox now and then). Each step
// waits until all that it makes has been heard, and fails at the first utterance that should not
// have been. Returns what Orca should say of an action.
const KEYS_APART = 250;  // ms
const KEY_ECHO = { Return: 'return', BackSpace: 'backspace', period: 'dot', minus: 'minus' };
const ENDED = '[The program has ended: press Enter to start it again. / Il programma è terminato: premi Invio per riavviarlo.]';
const key = (name) => execFileSync('xdotool', ['key', '--delay', '0', name], { env });
async function act(action, typed) {
    if (action.paste !== undefined) {
        execFileSync('sh', ['-c', 'printf %s "$1" | xclip -selection clipboard >/dev/null 2>&1 &', 'paste', action.paste], { env });
        await pause(300);
        key('ctrl+v');
        return ['left control', 'v', action.heard];
    }
    const keys = KEY_ECHO[action] ? [action] : [...action].map((char) => ({ '.': 'period', '-': 'minus' })[char] ?? char);
    for (const [at, name] of keys.entries()) {
        key(name);
        if (at < keys.length - 1) await pause(KEYS_APART);
    }
    return [...keys.map((name) => KEY_ECHO[name] ?? name), ...(action === 'BackSpace' ? [typed.at(-1)] : [])];
}

async function hear(session) {
    const steps = session.map((step) => (typeof step === 'string' ? { answer: step, actions: [step, 'Return'] } : step));
    // An answer of several lines (a paste) is read a line a read, and what it makes heard as one.
    const answers = steps.flatMap((step) => step.answer.split('\n'));
    const written = await writtenBeforeEachRead(answers);
    const heardAfterEach = heardAfter(written, answers);
    let read = 1;
    const pieces = [heardAfterEach[0], ...steps.map((step) => step.answer.split('\n').flatMap(() => heardAfterEach[read++]))];
    const expected = [...pieces[0]];
    const heard = () => spoken().slice(Math.max(0, spoken().indexOf(pieces[0][0])));
    const untilHeard = (what) => until(what, () => {
        compare(heard(), expected, false);
        return heard().length >= expected.length;
    });
    await until('the first prompt', () => spoken().includes(pieces[0][0]));
    await untilHeard('the first prompt');
    await pause(1500);  // as a learner listens to it, while Orca is still busy with the page just loaded
    let keys = 0;
    for (const [index, { answer, actions }] of steps.entries()) {
        for (const action of actions) {
            if (action.keys) {  // keys that move about the page: what Orca says must match `heard`
                await untilHeard('what came before the keys');
                const from = heard().length;
                for (const each of action.keys) {
                    const [name, named] = each.split('*');  // "Tab*bit 31": Tab until Orca names bit 31
                    for (let tries = 0; tries < 5; tries += 1) {
                        execFileSync('xdotool', name === 'click' ? ['click', '1'] : ['key', name], { env });
                        await pause(2 * KEYS_APART);
                        if (!named || heard().slice(from).some((line) => line.includes(named))) break;
                    }
                }
                await until(`${action.heard} after ${action.keys.join(' ')}`, () => new RegExp(action.heard).test(heard().slice(from).join(' | ')));
                await pause(KEYS_APART);
                expected.push(...heard().slice(from));
                continue;
            }
            const echo = await act(action, actions.find((each) => typeof each === 'string' && !KEY_ECHO[each]) ?? '');
            expected.push(...echo);
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

// Every process of the session ends, asked first, so that Xvfb removes its lock and Orca writes
// out its debug file; Orca's speech-dispatcher runs on its own, its pid file names it.
async function closeDesktop() {
    if (keep) await pause(5000);
    const speechd = join(env.XDG_RUNTIME_DIR, 'speech-dispatcher/pid/speech-dispatcher.pid');
    const pids = [...started.splice(0).map((child) => -child.pid), ...(existsSync(speechd) ? [Number(readFileSync(speechd, 'utf8'))] : [])];
    for (const signal of ['SIGTERM', 'SIGKILL']) {
        for (const pid of pids) {
            try { process.kill(pid, signal); } catch { /* gone already */ }
        }
        await pause(500);
    }
}

let failures = 0;
const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, 'floating_point.html'));
try {
    for (const [number, { name, heard: session }] of SESSIONS.entries()) {
        const began = Date.now();
        try {
            await openDesktop(pathToFileURL(join(folder, 'floating_point.html')).href, number + 1);
            const heard = await hear(session);
            console.log(`${engine}: ${name}: ${heard.keys} keys echoed once and ${heard.lines} lines of output heard once, in ${Date.now() - began} ms`);
        } catch (error) {
            console.log(`FAIL (${engine}): ${name}: ${error.message}`);
            failures += 1;
        } finally {
            await closeDesktop();
        }
    }
} finally {
    rmSync(folder, { recursive: true });
    if (!keep) rmSync(top, { recursive: true, force: true });
}
console.log(failures === 0 ? `all screen reader sessions heard as they should in ${engine}` : `${failures} sessions failed`);
process.exitCode = failures === 0 ? 0 : 1;
