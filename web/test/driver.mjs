// The page in a browser, behind one interface for the three engines: Debian's Chromium and
// Firefox, headless, through puppeteer-core, and WebKitGTK (Safari's engine) under xvfb-run,
// through Debian's WebKitWebDriver and selenium-webdriver. No browser is downloaded: the packages
// come from FP_NODE_MODULES, where npm ci installed them. A WebKit page has the few operations of
// a puppeteer page that the checks use. Then the steps that the checks and the budgets share.
import { spawn } from 'node:child_process';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { join, resolve } from 'node:path';

const requireFromModules = createRequire(join(resolve(process.env.FP_NODE_MODULES), 'resolve-from-here.js'));
const puppeteer = requireFromModules('puppeteer-core');
const { Builder, By, Key } = requireFromModules('selenium-webdriver');

const CHROMIUM_ARGS = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync', '--disable-background-networking',
                       '--disable-component-update'];
const MINIBROWSER = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

export const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// A key as WebDriver names it: "Enter" or "ArrowUp" as Key.ENTER and Key.ARROW_UP, "KeyD" as d.
const webDriverKey = (key) => Key[key === 'Backspace' ? 'BACK_SPACE' : key.replace(/(?<=.)(?=[A-Z])/g, '_').toUpperCase()]
    ?? key.match(/^Key([A-Z])$/)?.[1].toLowerCase() ?? (key === '\n' ? Key.ENTER : key);

function webKitPage(driver) {
    const keys = (...actions) => actions.reduce((chain, [kind, key]) => chain[kind](webDriverKey(key)), driver.actions()).perform();
    const page = {
        keyboard: {
            type: (text) => keys(...[...text].flatMap((char) => [['keyDown', char], ['keyUp', char]])),
            press: (key) => keys(['keyDown', key], ['keyUp', key]),
            down: (key) => keys(['keyDown', key]),
            up: (key) => keys(['keyUp', key]),
        },
        goto: (url) => driver.get(url),
        click: async (selector) => (await driver.findElement(By.css(selector))).click(),
        close: () => driver.quit(),
        // The function runs in the page on the arguments, which must be JSON, as its result is; a
        // text runs as a script.
        async evaluate(fn, ...args) {
            if (typeof fn === 'string') return driver.executeScript(fn);
            const { value, error } = await driver.executeAsyncScript(`const done = arguments[arguments.length - 1];
                Promise.resolve().then(() => (${fn}).apply(null, arguments[0]))
                    .then((value) => done({ value: value ?? null }), (error) => done({ error: String(error) }));`, args);
            if (error !== undefined) throw new Error(`in the page: ${error}`);
            return value;
        },
        async waitForFunction(fn, { timeout = 30000 } = {}, ...args) {
            for (const end = Date.now() + timeout; Date.now() < end; await pause(50)) {
                const value = await page.evaluate(fn, ...args);
                if (value) return { jsonValue: async () => value };
            }
            throw new Error(`timed out after ${timeout} ms waiting for ${String(fn).slice(0, 80)}`);
        },
        // The window is made the size that gives the viewport asked for.
        async setViewport({ width, height }) {
            await driver.manage().window().setRect({ width, height });
            const [innerWidth, innerHeight] = await page.evaluate(() => [window.innerWidth, window.innerHeight]);
            await driver.manage().window().setRect({ width: 2 * width - innerWidth, height: 2 * height - innerHeight });
        },
    };
    return page;
}

const freePort = () => new Promise((resolve) => {
    const server = createServer().listen(0, '127.0.0.1', () => {
        const { port } = server.address();
        server.close(() => resolve(port));
    });
});

// WebKitWebDriver takes one session at a time: a page is closed before the next one opens.
async function launchWebKit() {
    const port = await freePort();
    const server = spawn('xvfb-run', ['-a', 'WebKitWebDriver', `--port=${port}`], { stdio: 'ignore', detached: true });
    const capabilities = { browserName: 'MiniBrowser', 'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] } };
    for (let tries = 0; !(await fetch(`http://127.0.0.1:${port}/status`).then(() => true, () => false)); ++tries) {
        if (tries === 100) throw new Error('WebKitWebDriver does not answer');
        await pause(100);
    }
    return {
        async newPage() {
            const driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(capabilities).build();
            await driver.manage().setTimeouts({ script: 600000 });
            return webKitPage(driver);
        },
        close: async () => process.kill(-server.pid, 'SIGTERM'),
    };
}

export const launch = (engine) => (engine === 'webkit' ? launchWebKit()
    : engine === 'firefox' ? puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true })
        : puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_ARGS }));

// A new tab on the page, where any request that is not for a local file and any error in the
// page is a fault (WebDriver tells neither: there the page's policy alone forbids requests).
// `beforeLoad` runs in the page before its own scripts (not in WebKit).
export async function openPage(browser, url, viewport, fail, beforeLoad = null) {
    const page = await browser.newPage();
    page.on?.('pageerror', (error) => fail(`page error: ${error.message}`));
    page.on?.('request', (request) => /^(file|data|blob):/.test(request.url()) || fail(`a request for ${request.url()}`));
    if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
    await page.setViewport(viewport);
    await page.goto(url);
    return page;
}

// Feeds the bytes to the current run as its whole input; resolves to its output bytes. Then the
// next run is started, as Enter does.
export const runWithInput = (page, input) => page.evaluate(async (base64) => {
    const session = window.floatingPoint;
    session.discipline.feed(Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)));
    session.discipline.feed(new Uint8Array(0));
    const bytes = new Uint8Array(await (await session.ended).output.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    session.entered();
    return btoa(text);
}, input.toString('base64')).then((base64) => Buffer.from(base64, 'base64'));

// The terminal's lines as written, rows that wrap joined, each without its trailing blanks, once
// it has taken all that was written; from the row of `marker` on, where it is given.
export const screenLines = (page, marker = '') => page.evaluate(async (from) => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const lines = [];
    for (let row = Math.max(0, window[from]?.line ?? 0); row < buffer.length; ++row) {
        const text = buffer.getLine(row).translateToString(!buffer.getLine(row + 1)?.isWrapped);
        if (buffer.getLine(row).isWrapped) lines[lines.length - 1] += text;
        else lines.push(text);
    }
    return lines.map((line) => line.trimEnd());
}, marker);

// The lines of the current run, from its first prompt on.
export const runLines = async (page) => {
    const text = (await screenLines(page)).join('\n').trimEnd();
    return text.slice(Math.max(0, text.lastIndexOf('Select the languages/'))).split('\n');
};

// Until the program waits for input, with nothing typed ahead and a prompt on the cursor's line.
export const waitForPrompt = (page) => page.waitForFunction(async () => {
    const { terminal, discipline } = window.floatingPoint ?? {};
    if (!discipline || discipline.reader === null || discipline.ready.length > 0) return false;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    return buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).trimEnd().endsWith(':');
});

export const waitForEnd = (page) => page.waitForFunction(() => window.floatingPoint.discipline === null);

export async function pressWithControl(page, key) {
    await page.keyboard.down('Control');
    await page.keyboard.press(key);
    await page.keyboard.up('Control');
}

// Types each answer once its prompt shows, as the terminal test does in tmux.
export async function typeAnswers(page, answers) {
    for (const answer of answers) {
        await waitForPrompt(page);
        await page.keyboard.type(answer);
        await page.keyboard.press('Enter');
    }
    await waitForPrompt(page);
}

// From wherever the program is to its main menu, with nothing typed: a new run after its end,
// English at the language prompt, a valid value at a value prompt, "0" at the restart question.
export async function toMenu(page) {
    await page.waitForFunction(() => window.floatingPoint !== undefined);
    await pressWithControl(page, 'KeyU');
    if (await page.evaluate(() => window.floatingPoint.discipline === null)) await page.keyboard.press('Enter');
    for (let lines = await waitForPrompt(page).then(() => runLines(page)); !lines.at(-1).endsWith('>Scelta:');
        lines = await runLines(page)) {
        const prompt = lines.at(-1);
        const binary = /(binary value|valore in binario):$/.test(prompt);
        await typeAnswers(page, [prompt.endsWith('>Choose/Scelta:') ? (lines.length < 6 ? '1' : '0') : binary ? '001111111' : '1']);
    }
}

// The clipboard as a learner uses it, through a field of the test's own: `text` selected in it
// and copied (KeyC), or pasted into it (KeyV). Resolves to what the field then holds.
export async function throughClipboard(page, key, text = '') {
    await page.evaluate((t) => {
        const field = document.body.appendChild(document.createElement('textarea'));
        field.id = 'probe';
        field.value = t;
        field.select();
    }, text);
    await pressWithControl(page, key);
    return page.evaluate(() => {
        const { value } = document.getElementById('probe');
        document.getElementById('probe').remove();
        document.getElementById('answer').focus();
        return value;
    });
}

// A line of 10 MB pasted at the decimal prompt, whose last characters decide its value
// (0.000...05e10485761 is 5), then Enter: resolves, once the program waits again, to the longest
// that the page stalled meanwhile (the longest gap between ticks of a 10 ms timer), in ms.
export const LONG_LINE_ZEROS = 10 << 20;
export async function enterOnLongLine(page) {
    await toMenu(page);
    await typeAnswers(page, ['2']);
    await throughClipboard(page, 'KeyC', `0.${'0'.repeat(LONG_LINE_ZEROS)}5e${LONG_LINE_ZEROS + 1}`);
    await pressWithControl(page, 'KeyV');
    await page.waitForFunction((length) => window.floatingPoint.discipline.line.length === length, {}, LONG_LINE_ZEROS + 12);
    await page.evaluate(() => {
        let last = performance.now();
        window.stall = 0;
        window.heartbeat = setInterval(() => {
            window.stall = Math.max(window.stall, performance.now() - last);
            last = performance.now();
        }, 10);
    });
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
    return page.evaluate(() => clearInterval(window.heartbeat) ?? window.stall);
}
