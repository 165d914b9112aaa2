// The page as a screen-reader user hears it: Debian's Orca reads the page in Firefox ESR or
// Chromium under Xvfb, on a private D-Bus session, and speech-dispatcher's generic module writes
// each utterance to a file instead of speaking it. Keys are typed as an X keyboard would (xdotool),
// so that Orca echoes them. Each session must be heard exactly so: each typed key once (Backspace
// naming what it deleted), and after each Enter what the program wrote before its next read,
// line by line, once, nothing more; the page's end message last. Figures: keys, lines heard, time.
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
    home = join(top, name.replaceAll(' ', '-'));
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
    return pieces.map((piece) => piece.split('\n').map((line) => line.replace(/\s+/g, ' ').trim()).filter(Boolean));
}

// How Orca names a key as it echoes it.
const KEY_ECHO = { '.': 'dot', '-': 'minus', Return: 'return', BackSpace: 'backspace' };
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

// A session: each step is an answer typed and entered, or [typed, keys...] with editing keys,
// typed at an even pace. (Keys 150 ms apart are too quick for Orca in Firefox now and then: the
// field's first character of a line reaches it after the Enter that follows, and it speaks that
// character again as text the page inserted.) Each step waits until all that it should make has been heard,
// and fails at the first utterance that should not have been.
const KEYS_APART = 250;  // ms
async function hear(steps) {
    const answers = steps.map((step) => (typeof step === 'string' ? step : step[0].slice(0, -1)));
    const pieces = await writtenBeforeEachRead(answers);
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
    for (const [index, step] of steps.entries()) {
        const [typed, ...keys] = typeof step === 'string' ? [step, 'Return'] : step;
        for (const char of typed) {
            key(char === '.' ? 'period' : char);
            expected.push(KEY_ECHO[char] ?? char);
            await pause(KEYS_APART);
        }
        for (const name of keys) {
            key(name);
            expected.push(KEY_ECHO[name], ...(name === 'BackSpace' ? [typed.at(-1)] : []));
            await pause(KEYS_APART);
        }
        const last = index === steps.length - 1;
        expected.push(...pieces[index + 1], ...(last ? ['[The program has ended: press Enter to start it again. / Il programma è terminato: premi Invio per riavviarlo.]'] : []));
        await untilHeard(`what the program wrote after answer ${index + 1} (${typed})`);
    }
    await pause(1500);  // anything heard twice would come now
    compare(heard(), expected, true);
    return { keys: expected.length - pieces.flat().length - 1, lines: pieces.flat().length };
}

const VALUES = ['5', '2.5', '0.1', '12', '1.525', '100', '0.375', '7'];
const SESSIONS = {
    'ten answers': ['1', '2', '5', '0', '2', '2.5', '0', '1', '0100000010101', ['12', 'BackSpace', 'Return']],
    '50 passes': ['1', ...Array.from({ length: 50 }, (_, pass) => ['2', VALUES[pass % VALUES.length], pass < 49 ? '0' : '9']).flat()],
};

let failures = 0;
const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, 'floating_point.html'));
try {
    for (const [name, steps] of Object.entries(SESSIONS).filter(([name]) => name.includes(process.env.FP_SESSION ?? ''))) {
        const began = Date.now();
        try {
            await openDesktop(pathToFileURL(join(folder, 'floating_point.html')).href, name);
            const { keys, lines } = await hear(steps);
            console.log(`${engine}: ${name}: ${keys} keys and ${lines} lines of output, each heard once, in ${Date.now() - began} ms`);
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
