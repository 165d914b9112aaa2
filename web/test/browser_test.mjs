// The page in a real browser (Debian's Chromium or Firefox, headless, driven by puppeteer-core),
// opened from file:// as a copy alone in an empty folder, with every request that is not file:
// or data: counted as a fault. It checks: each transcript folder's NAME.in, fed through the
// page's input queue, gives NAME.out byte for byte; the terminal test's answers, typed key by
// key, give its screens; Backspace, Ctrl-U, a paste and Ctrl-D; a 10 MB line, NUL bytes and a
// thousand pasted lines; a restart; focus, the screen-reader text and a phone-sized screen.
// Usage: node browser_test.mjs chromium|firefox PAGE.html TRANSCRIPT_FOLDER...
//        (FP_NODE_MODULES: the folder where npm ci installed puppeteer-core)
import { copyFileSync, mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch, openPageAt, runWithInput } from './page_driver.mjs';

const [browserName, pagePath, ...transcriptFolders] = process.argv.slice(2);
const screens = join(dirname(fileURLToPath(import.meta.url)), '../../tests/terminal');
let failures = 0;
const fail = (what) => {
    console.log(`FAIL (${browserName}): ${what}`);
    failures += 1;
};
const openPage = (browser, url, viewport) => openPageAt(browser, url, viewport, fail);

// The page's text once the terminal has shown all that was written, each line without its
// trailing blanks.
const screenText = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const lines = [];
    for (let i = 0; i < buffer.length; ++i) {
        lines.push(buffer.getLine(i).translateToString(true).trimEnd());
    }
    return lines.join('\n').trimEnd();
});

// Until the program waits for input, with nothing typed ahead and a prompt on the cursor's line.
const waitForPrompt = (page) => page.waitForFunction(async () => {
    const { terminal, discipline } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const line = buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).trimEnd();
    return discipline.reader !== null && discipline.ready.length === 0 && line.endsWith(':');
});

const waitForRun = (page, run) => page.waitForFunction((n) => window.floatingPoint?.runs === n, {}, run);

async function checkTranscripts(page) {
    let run = 1;
    for (const folder of transcriptFolders) {
        for (const name of readdirSync(folder).filter((file) => file.endsWith('.in')).sort()) {
            await waitForRun(page, run++);
            const output = await runWithInput(page, readFileSync(join(folder, name)));
            const expected = readFileSync(join(folder, name.replace(/\.in$/, '.out')));
            if (!output.equals(expected)) fail(`${join(folder, name)}: the output differs`);
        }
    }
    return run;
}

// Types each answer once its prompt shows, as the terminal test does in tmux.
async function typeAnswers(page, answers) {
    for (const answer of answers) {
        await waitForPrompt(page);
        await page.keyboard.type(answer);
        await page.keyboard.press('Enter');
    }
}

async function checkScreens(page, run) {
    await page.evaluate(() => window.floatingPoint.terminal.resize(120, 60));
    for (const language of ['english', 'italian']) {
        await waitForRun(page, run++);
        const answers = readFileSync(join(screens, `${language}.answers`), 'utf8').split('\n')[0].split(' ');
        await typeAnswers(page, answers);
        await page.evaluate(() => window.floatingPoint.ended);
        // The terminal test's screen ends with the shell's status line and prompt.
        const expected = readFileSync(join(screens, `${language}.screen`), 'utf8').trimEnd().split('\n').slice(0, -2);
        const shown = (await screenText(page)).split('\n').slice(0, expected.length);
        if (shown.join('\n') !== expected.join('\n')) fail(`the ${language} screen differs:\n${shown.join('\n')}`);
        await page.keyboard.press('Enter');
    }
    return run;
}

// Backspace, Ctrl-U and a pasted line, then Ctrl-D at the menu: the input ends there.
async function checkEditing(page, run) {
    await waitForRun(page, run++);
    await waitForPrompt(page);
    await page.keyboard.type('3');
    await page.keyboard.press('Backspace');
    await page.keyboard.type('2x');
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Enter');
    await typeAnswers(page, ['2']);
    await waitForPrompt(page);
    await page.keyboard.type('99');
    await page.keyboard.down('Control');
    await page.keyboard.press('KeyU');
    await page.keyboard.up('Control');
    await page.evaluate(() => window.floatingPoint.terminal.input('-0.1\r0\r', false));
    await waitForPrompt(page);
    await page.keyboard.down('Control');
    await page.keyboard.press('KeyD');
    await page.keyboard.up('Control');
    const { status } = await page.evaluate(() => window.floatingPoint.ended);
    const screen = (await screenText(page)).split('\n');
    const wanted = ['--------------------------------->Choose/Scelta: 2', 'Inserisci valore decimale: -0.1',
                    'Il numero in binario è: 1|01111011|10011001100110011001100', '--------------------------------->Scelta:',
                    'Sviluppato da: Vantelli Edmondo e Corbaro Ludano'];
    const missing = wanted.filter((line) => !screen.includes(line));
    if (status !== 0 || missing.length > 0) fail(`editing: status ${status}, missing ${JSON.stringify(missing)}`);
    await page.keyboard.press('Enter');
    return run;
}

// A 10 MB line, NUL bytes and a thousand pasted lines: answered as the native program does.
async function checkHostileInput(page, run) {
    await waitForRun(page, run++);
    const bigPattern = Buffer.concat([Buffer.from('1\n1\n'), Buffer.alloc(10 << 20, '0'), Buffer.from('\n\0\n10\n')]);  // three invalid patterns
    const output = (await runWithInput(page, bigPattern)).toString('latin1');
    if ((output.match(/Insert a valid number!/g) ?? []).length !== 3 || !output.endsWith('Ludano Corbaro\n')) {
        fail(`a 10 MB pattern: the output ends ${JSON.stringify(output.slice(-300))}`);
    }
    await waitForRun(page, run++);
    await page.evaluate(() => window.floatingPoint.terminal.input('1\r2\r' + '0.5\r0\r2\r'.repeat(999) + '0.5\rn\r', false));
    const { status, output: pasted } = await page.evaluate(async () => {
        const { status, output } = await window.floatingPoint.ended;
        return { status, output: await output.text() };
    });
    if (status !== 0 || (pasted.match(/The binary number is: 0\|01111110\|0{23}\n/g) ?? []).length !== 1000) {
        fail(`a thousand pasted lines: status ${status}`);
    }
    await page.keyboard.press('Enter');
    return run;
}

// On a phone-sized screen, from the start: the focus, the result line in the screen-reader
// text, and the result line across the screen without scrolling sideways.
async function checkAccess(page) {
    await waitForPrompt(page);
    const focused = await page.evaluate(() => document.activeElement?.closest('#terminal') !== null);
    if (!focused) fail('the terminal does not have the focus');
    await page.evaluate(() => window.floatingPoint.terminal.input('1\r2\r12.375\r', false));
    const line = 'The binary number is: 0|10000010|10001100000000000000000';
    await page.waitForFunction((l) => document.querySelector('.xterm-accessibility-tree')?.textContent.includes(l),
                               { timeout: 5000 }, line).catch(() => fail('the screen-reader text lacks the result line'));
    const fit = await page.evaluate(() => ({ columns: window.floatingPoint.terminal.cols,
                                             width: document.documentElement.scrollWidth }));
    if (fit.columns < line.length || fit.width > 360) fail(`on a phone: ${fit.columns} columns, ${fit.width} px wide`);
}

const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, basename(pagePath)));
const browser = await launch(browserName);
try {
    const url = pathToFileURL(join(folder, basename(pagePath))).href;
    const page = await openPage(browser, url, { width: 1280, height: 900 });
    let run = await checkTranscripts(page);
    run = await checkScreens(page, run);
    run = await checkEditing(page, run);
    await checkHostileInput(page, run);
    await checkAccess(await openPage(browser, url, { width: 360, height: 740 }));
} finally {
    await browser.close();
    rmSync(folder, { recursive: true });
}
console.log(failures === 0 ? `all page checks passed in ${browserName}` : `${failures} page checks failed`);
process.exitCode = failures === 0 ? 0 : 1;
