// Drives the page in Debian's Chromium or Firefox (headless, with puppeteer-core, installed by npm
// ci in FP_NODE_MODULES; no browser is downloaded) or WebKitGTK (through WebDriver, see
// webdriver.mjs), and the steps that the checks share.
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launchWebKit } from './webdriver.mjs';

const requireFromModules = createRequire(join(resolve(process.env.FP_NODE_MODULES), 'resolve-from-here.js'));
const { default: puppeteer } = await import(pathToFileURL(requireFromModules.resolve('puppeteer-core')));

export function launch(browserName) {
    if (browserName === 'webkit') {
        return launchWebKit();
    }
    if (browserName === 'firefox') {
        // The clipboard may be read by the page's own script, as the clipboard checks need.
        return puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true,
                                  extraPrefsFirefox: { 'dom.events.testing.asyncClipboard': true } });
    }
    return puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
                              args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync',
                                     '--disable-background-networking', '--disable-component-update'] });
}

// A new tab on the page, from file://, where any other request and any error in the page is a
// fault (WebDriver tells neither: there the page's policy alone forbids requests).
// `beforeLoad` runs in the page before its own scripts.
export async function openPageAt(browser, url, viewport, fail, beforeLoad = null) {
    const page = await browser.newPage();
    if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
    page.on?.('pageerror', (error) => fail(`page error: ${error.message}`));
    page.on?.('request', (request) => {
        if (!/^(file|data|blob):/.test(request.url())) fail(`a request for ${request.url()}`);
    });
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
    const { output } = await session.ended;
    const bytes = new Uint8Array(await output.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    }
    session.entered();
    return btoa(text);
}, input.toString('base64')).then((base64) => Buffer.from(base64, 'base64'));

// The terminal's lines once it has shown all that was written, each without its trailing blanks.
export const screenLines = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const lines = [];
    for (let i = 0; i < buffer.length; ++i) {
        lines.push(buffer.getLine(i).translateToString(true).trimEnd());
    }
    return lines.join('\n').trimEnd().split('\n');
});

// The lines of the current run, from its first prompt.
export const runLines = async (page) => {
    const lines = await screenLines(page);
    return lines.slice(lines.lastIndexOf('Select the languages/Seleziona la lingua:'));
};

// Until the program waits for input, with nothing typed ahead and a prompt on the cursor's line.
export const waitForPrompt = (page) => page.waitForFunction(async () => {
    const { terminal, discipline } = window.floatingPoint ?? {};
    if (!discipline) return false;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const line = buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).trimEnd();
    return discipline.reader !== null && discipline.ready.length === 0 && line.endsWith(':');
});

export const waitForRun = (page, run) => page.waitForFunction((n) => window.floatingPoint?.runs === n, {}, run);

export const waitForEnd = (page) => page.waitForFunction(() => window.floatingPoint.discipline === null);

// Types each answer once its prompt shows, as the terminal test does in tmux.
export async function typeAnswers(page, answers) {
    for (const answer of answers) {
        await waitForPrompt(page);
        await page.keyboard.type(answer);
        await page.keyboard.press('Enter');
    }
}

// From whichever prompt the program waits at to its main menu: English at the language prompt,
// a value at a value prompt, "0" at the restart question.
export async function toMenu(page) {
    for (;;) {
        await waitForPrompt(page);
        const lines = await runLines(page);
        const prompt = lines.at(-1);
        if (prompt.endsWith('>Scelta:')) return;
        const binary = /(binary value|valore in binario):$/.test(prompt);
        const answer = prompt.endsWith('>Choose/Scelta:') ? (lines.length < 6 ? '1' : '0') : binary ? '001111111' : '1';
        await typeAnswers(page, [answer]);
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

// Passes of the decimal direction with these values, from whichever menu prompt the program is at.
export async function decimalPasses(page, values) {
    for (const value of values) {
        await toMenu(page);
        await typeAnswers(page, ['2', value]);
        await waitForPrompt(page);
    }
}

// Ctrl with a letter key ("KeyD").
export async function pressWithControl(page, key) {
    await page.keyboard.down('Control');
    await page.keyboard.press(key);
    await page.keyboard.up('Control');
}

// The text inserted into the focused field by the browser's own editing, as a soft keyboard's
// suggestion or dictation does: an input event with no key event ('insertText', 'delete',
// 'insertLineBreak').
export const edit = (page, command, text = '') => page.evaluate((c, t) => document.execCommand(c, false, t), command, text);

// Puts text on the clipboard as a learner would: selected in a field (of the test's own) and
// copied with Ctrl-C. The focus goes back to the page's answer field.
export async function putOnClipboard(page, text) {
    await page.evaluate((t) => {
        const probe = document.body.appendChild(document.createElement('textarea'));
        probe.id = 'clipboard-probe';
        probe.value = t;
        probe.focus();
        probe.select();
    }, text);
    await pressWithControl(page, 'KeyC');
    await page.evaluate(() => {
        document.getElementById('clipboard-probe').remove();
        document.getElementById('answer').focus();
    });
}

// What the clipboard holds, pasted with Ctrl-V into a field of the test's own; the focus goes
// back to the page's answer field.
export async function clipboardText(page) {
    await page.evaluate(() => {
        const probe = document.body.appendChild(document.createElement('textarea'));
        probe.id = 'clipboard-probe';
        probe.focus();
    });
    await pressWithControl(page, 'KeyV');
    return page.evaluate(() => {
        const probe = document.getElementById('clipboard-probe');
        probe.remove();
        document.getElementById('answer').focus();
        return probe.value;
    });
}
