// Drives the page in Debian's Chromium or Firefox (headless, with puppeteer-core, installed by npm
// ci in FP_NODE_MODULES; no browser is downloaded) or WebKitGTK (through WebDriver, see
// webdriver.mjs), and the steps that the checks share.
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchWebKit } from './webdriver.mjs';

const requireFromModules = createRequire(join(resolve(process.env.FP_NODE_MODULES), 'resolve-from-here.js'));
const { default: puppeteer } = await import(pathToFileURL(requireFromModules.resolve('puppeteer-core')));
const CHROMIUM_ARGS = ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync', '--disable-background-networking',
                       '--disable-component-update'];

export const launch = (engine) => (engine === 'webkit' ? launchWebKit()
    : engine === 'firefox' ? puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true })
        : puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_ARGS }));

// A new tab on the page, where any request that is not for a local file and any error in the
// page is a fault (WebDriver tells neither: there the page's policy alone forbids requests).
// `beforeLoad` runs in the page before its own scripts.
export async function openPage(browser, url, viewport, fail, beforeLoad = null) {
    const page = await browser.newPage();
    page.on?.('pageerror', (error) => fail(`page error: ${error.message}`));
    page.on?.('request', (request) => /^(file|data|blob):/.test(request.url()) || fail(`a request for ${request.url()}`));
    if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
    await page.setViewport(viewport);
    await page.goto(url);
    return page;
}

export const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

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

// The lines of the current run, from its first prompt, once the terminal has taken all that was
// written, each line without its trailing blanks.
export const runLines = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const lines = [];
    for (let i = 0; i < buffer.length; ++i) lines.push(buffer.getLine(i).translateToString(true).trimEnd());
    const text = lines.join('\n').trimEnd();
    return text.slice(text.lastIndexOf('Select the languages/')).split('\n');
});

// Until the program waits for input, with nothing typed ahead and a prompt on the cursor's line.
export const waitForPrompt = (page) => page.waitForFunction(async () => {
    const { terminal, discipline } = window.floatingPoint ?? {};
    if (!discipline || discipline.reader === null || discipline.ready.length > 0) return false;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    return buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).trimEnd().endsWith(':');
});

export const waitForEnd = (page) => page.waitForFunction(() => window.floatingPoint.discipline === null);
export const status = (page) => page.evaluate(async () => (await window.floatingPoint.ended).status);

// Types each answer once its prompt shows, as the terminal test does in tmux.
export async function typeAnswers(page, answers) {
    for (const answer of answers) {
        await waitForPrompt(page);
        await page.keyboard.type(answer);
        await page.keyboard.press('Enter');
    }
    await waitForPrompt(page);
}

// From whichever prompt the program waits at to its main menu: English at the language prompt,
// a valid value at a value prompt, "0" at the restart question.
export async function toMenu(page) {
    for (let lines = await (waitForPrompt(page).then(() => runLines(page))); !lines.at(-1).endsWith('>Scelta:');
        lines = await runLines(page)) {
        const prompt = lines.at(-1);
        const binary = /(binary value|valore in binario):$/.test(prompt);
        await typeAnswers(page, [prompt.endsWith('>Choose/Scelta:') ? (lines.length < 6 ? '1' : '0') : binary ? '001111111' : '1']);
    }
}

// Passes of the decimal direction with these values; then the program waits at the restart question.
export async function decimalPasses(page, values) {
    for (const value of values) {
        await toMenu(page);
        await typeAnswers(page, ['2', value]);
    }
}

// Ends the run at its prompt (Ctrl-D) and starts the next one.
export async function newRun(page) {
    await waitForPrompt(page);
    await pressWithControl(page, 'KeyD');
    await waitForEnd(page);
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
}

export async function pressWithControl(page, key) {
    await page.keyboard.down('Control');
    await page.keyboard.press(key);
    await page.keyboard.up('Control');
}

// An edit of the focused field by the browser's own editing, with no key event, as a soft
// keyboard's suggestion or dictation makes ('insertText', 'delete', 'insertLineBreak').
export const edit = (page, command, text = '') => page.evaluate((c, t) => document.execCommand(c, false, t), command, text);

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
