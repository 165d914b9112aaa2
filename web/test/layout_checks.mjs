// The page on every screen: resized, a phone turned, phone widths, browser zoom, pinch-zoom, a
// finger scrolling back, an on-screen keyboard that resizes or covers the page, printing, and a
// browser that cannot run the program. Chromium emulates phones (touch, device pixels); the
// other engines resize their windows.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { decimalPasses, newRun, runLines, typeAnswers, waitForEnd, waitForPrompt } from './page_driver.mjs';

const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const ITALIAN_RESULT = 'Il numero in binario è: 0|10000010|10001100000000000000000';  // 12.375, 58 characters

// How the terminal sits on the page: its font and size, whether the page scrolls sideways,
// whether the cursor's row shows whole and the answer field sits on the cursor.
const layout = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
    const screen = terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
    const field = document.getElementById('answer').getBoundingClientRect();
    const buffer = terminal.buffer.active;
    const cell = { width: screen.width / terminal.cols, height: screen.height / terminal.rows };
    const cursorRow = buffer.baseY + buffer.cursorY - buffer.viewportY;
    const viewport = window.visualViewport ?? { width: innerWidth, height: innerHeight, scale: 1 };
    return {
        width: innerWidth, font: terminal.options.fontSize, devicePixels: terminal.options.fontSize * devicePixelRatio,
        cols: terminal.cols, rows: terminal.rows, scale: viewport.scale,
        sideways: document.documentElement.scrollWidth > innerWidth || screen.right > innerWidth + 0.5,
        promptWhole: buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).trimEnd().endsWith(':')
            && cursorRow >= 0 && cursorRow < terminal.rows,
        fieldOnCursor: Math.abs(field.left - (screen.left + buffer.cursorX * cell.width)) < 1
            && Math.abs(field.top - (screen.top + cursorRow * cell.height)) < 1 && field.right <= innerWidth,
        cursorBottom: screen.top + (cursorRow + 1) * cell.height,
        visibleHeight: Math.min(viewport.height, innerHeight),
        unusedWidth: terminal.element.parentElement.clientWidth - screen.width,
        cellWidth: cell.width,
    };
});

// The terminal fills its width (less the scrollbar) and shows the prompt's row whole, on the field.
function expectFitted(fail, what, state) {
    const filled = state.unusedWidth >= 0 && state.unusedWidth < state.cellWidth + 9;
    if (!filled || state.sideways || !state.promptWhole || !state.fieldOnCursor) {
        fail(`${what}: ${JSON.stringify(state)}`);
    }
}

// Waits until the terminal has refitted to a new size (columns or rows change), or a second.
async function resized(page, viewport, before) {
    await page.setViewport(viewport);
    for (let i = 0; i < 20; ++i) {
        const state = await layout(page);
        if (state.cols !== before.cols || state.rows !== before.rows) return state;
        await pause(50);
    }
    return layout(page);
}

// In every engine: narrower and shorter, then wider again, the terminal refits each time.
export async function checkResize({ page, fail }) {
    await decimalPasses(page, ['5']);
    const wide = await layout(page);
    expectFitted(fail, 'at first', wide);
    const narrow = await resized(page, { width: 600, height: 500 }, wide);
    expectFitted(fail, 'narrower', narrow);
    if (narrow.cols >= wide.cols || narrow.rows >= wide.rows) fail(`no refit: ${wide.cols}x${wide.rows}, then ${narrow.cols}x${narrow.rows}`);
    const again = await resized(page, { width: 1000, height: 800 }, narrow);
    expectFitted(fail, 'wider again', again);
    console.log(`resized: ${wide.cols}x${wide.rows} at ${wide.width} px, ${narrow.cols}x${narrow.rows} at 600 px, ${again.cols}x${again.rows} at 1000 px`);
}

const phone = (width, height) => ({ width, height, isMobile: true, hasTouch: true, deviceScaleFactor: 3 });

// A phone turned from landscape to portrait, with output on the screen.
export async function checkTurningAPhone({ page, fail }) {
    await page.setViewport(phone(844, 390));
    await newRun(page);
    await typeAnswers(page, ['2', '2', '12.375', '0', '2']);  // in Italian
    await waitForPrompt(page);
    const landscape = await layout(page);
    const portrait = await resized(page, phone(390, 844), landscape);
    expectFitted(fail, 'turned to portrait', portrait);
    if (portrait.scale !== 1 || portrait.font < 10 || portrait.cols < 58) fail(`turned to portrait: ${JSON.stringify(portrait)}`);
    const back = await resized(page, phone(844, 390), portrait);
    expectFitted(fail, 'turned back', back);
    console.log(`turned: ${landscape.cols} columns at ${landscape.font} px, ${portrait.cols} at ${portrait.font} px, ${back.cols} at ${back.font} px`);
}

// Phones of 360 and 390 px: text of 10 px or more, at least as many columns on the wider one,
// and the Italian result line of the decimal direction on one row (the run of the check above).
export async function checkPhoneWidths({ page, fail }) {
    const states = [];
    for (const [width, height] of [[360, 740], [390, 844]]) {
        await page.setViewport(phone(width, height));
        await pause(100);
        const lines = (await runLines(page));
        const state = await layout(page);
        states.push(state);
        const wrapped = await page.evaluate((line) => {
            const buffer = window.floatingPoint.terminal.buffer.active;
            for (let y = 0; y + 1 < buffer.length; ++y) {
                if (buffer.getLine(y).translateToString(true).startsWith(line.slice(0, 30))) return buffer.getLine(y + 1).isWrapped;
            }
            return true;
        }, ITALIAN_RESULT);
        if (state.font < 10 || state.cols < ITALIAN_RESULT.length || wrapped || !lines.includes(ITALIAN_RESULT)) {
            fail(`a ${width} px phone: ${JSON.stringify(state)}, the result line ${wrapped ? 'wraps' : 'fits'}`);
        }
        expectFitted(fail, `a ${width} px phone`, state);
    }
    if (states[1].cols < states[0].cols) fail(`390 px get ${states[1].cols} columns, 360 px ${states[0].cols}`);
    console.log(`phones: ${states.map((s) => `${s.width} px: ${s.cols} columns at ${s.font} px`).join(', ')}`);
}

// Browser zoom narrows the page in CSS pixels and raises the device pixel ratio: at each step
// up to 400 % the text grows on the screen, and the terminal still fits.
export async function checkZoom({ page, fail }) {
    const sizes = [];
    for (const zoom of [1, 1.1, 1.25, 1.5, 1.75, 2, 2.5, 3, 4]) {
        await page.setViewport({ width: Math.round(1280 / zoom), height: Math.round(900 / zoom), deviceScaleFactor: zoom });
        await pause(100);
        const state = await layout(page);
        expectFitted(fail, `zoomed to ${zoom * 100} %`, state);
        if (sizes.length > 0 && state.devicePixels <= sizes.at(-1).devicePixels) {
            fail(`zoomed to ${zoom * 100} %: the text is ${state.devicePixels} device pixels, ${sizes.at(-1).devicePixels} before`);
        }
        sizes.push({ zoom, ...state });
    }
    console.log(`zoom: ${sizes.map((s) => `${s.zoom * 100} %: ${s.font.toFixed(1)} px (${s.devicePixels.toFixed(0)} device), ${s.cols} columns`).join('; ')}`);
}

// Two fingers may zoom the page: its viewport and the terminal's touch handling allow it, and
// the terminal does not refit when the page is zoomed so (the zoom as a pinch leaves it, set
// through Chromium's DevTools protocol: its synthetic pinch does not always take in headless runs).
export async function checkPinchZoom({ page, fail }, cdp) {
    await page.setViewport(phone(390, 844));
    const allowed = await page.evaluate(() => ({
        meta: document.querySelector('meta[name=viewport]').content,
        touchAction: [...document.querySelectorAll('#terminal, #terminal *')].map((element) => getComputedStyle(element).touchAction)
            .filter((action) => !['auto', 'manipulation'].includes(action) && !action.includes('pinch-zoom')),
    }));
    if (/user-scalable\s*=\s*(no|0)|maximum-scale\s*=\s*1(\.0*)?\b/.test(allowed.meta) || allowed.touchAction.length > 0) {
        fail(`pinch-zoom is not allowed: ${JSON.stringify(allowed)}`);
    }
    const before = await layout(page);
    await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 2 });
    await page.waitForFunction(() => window.visualViewport.scale > 1.5, { timeout: 2000 }).catch(() => {});
    await pause(200);
    const after = await layout(page);
    if (after.scale < 1.5 || after.cols !== before.cols || after.font !== before.font) {
        fail(`pinch-zoom: scale ${after.scale}, ${before.cols} columns at ${before.font} px, then ${after.cols} at ${after.font} px`);
    }
    await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 1 });
}

// A finger swiping down scrolls back through earlier output.
export async function checkTouchScroll({ page, fail }) {
    await page.setViewport(phone(390, 500));
    await decimalPasses(page, ['1', '2', '3']);
    const scrolledTo = () => page.evaluate(() => window.floatingPoint.terminal.buffer.active.viewportY);
    const bottom = await scrolledTo();
    const start = await page.touchscreen.touchStart(200, 150);
    for (let y = 150; y <= 450; y += 30) await start.move(200, y);
    await start.end();
    await pause(100);
    const scrolled = await scrolledTo();
    if (bottom === 0 || bottom - scrolled < 10) fail(`a 300 px swipe scrolls from row ${bottom} to ${scrolled}`);
    await page.keyboard.type('0');  // typing brings the view back to the prompt
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
    if (await scrolledTo() !== await page.evaluate(() => window.floatingPoint.terminal.buffer.active.baseY)) {
        fail('typing does not bring the view back to the prompt');
    }
}

// An on-screen keyboard that resizes the page (Android) or that covers its lower part while the
// visual viewport shrinks (iOS, stood in for by a visual viewport of the test's own): the
// prompt's row stays above it.
export async function checkKeyboardResizes({ page, fail }) {
    await page.setViewport({ width: 800, height: 800 });
    await decimalPasses(page, ['7']);
    const before = await layout(page);
    const after = await resized(page, { width: 800, height: 440 }, before);
    if (after.rows >= before.rows || after.cursorBottom > after.visibleHeight + 1 || !after.promptWhole) {
        fail(`a keyboard that resizes the page: ${JSON.stringify(after)}`);
    }
}

export async function checkKeyboardCovers({ page, fail }) {
    await decimalPasses(page, ['7', '8']);
    const before = await layout(page);
    await page.evaluate(() => {
        window.visualViewport.height = Math.round(innerHeight * 0.55);
        window.visualViewport.dispatchEvent(new Event('resize'));
    });
    await pause(200);
    const after = await layout(page);
    if (after.rows >= before.rows || after.cursorBottom > after.visibleHeight + 1 || !after.promptWhole || !after.fieldOnCursor) {
        fail(`a keyboard that covers the page: ${JSON.stringify(after)}`);
    }
}

// Stands in for a browser's visual viewport, before the page's scripts run.
export const fakeVisualViewport = () => {
    const viewport = new EventTarget();
    Object.assign(viewport, { width: innerWidth, height: innerHeight, scale: 1, offsetTop: 0, offsetLeft: 0 });
    Object.defineProperty(window, 'visualViewport', { value: viewport });
};

// The share of a grey image's pixels that are white, and its darkest grey (PGM, from pdftoppm).
function greys(pgm) {
    const [, width, height] = pgm.toString('latin1', 0, 40).match(/^P5\s+(\d+)\s+(\d+)\s+255\s/);
    const pixels = pgm.subarray(pgm.length - width * height);
    return { white: pixels.filter((grey) => grey >= 240).length / pixels.length,
             darkest: pixels.reduce((darkest, grey) => Math.min(darkest, grey), 255) };
}

// Printing gives every line of the session, earlier runs included, dark on white.
export async function checkPrint({ page, fail }) {
    await page.setViewport({ width: 800, height: 400 });
    await decimalPasses(page, ['1.5', '2.5', '3.5', '4.5']);
    await typeAnswers(page, ['n']);
    await waitForEnd(page);
    await page.keyboard.press('Enter');
    await typeAnswers(page, ['1', '1', '0100000010101', 'n']);
    await waitForEnd(page);
    const folder = mkdtempSync(join(tmpdir(), 'fp-print-'));
    try {
        const pdf = join(folder, 'page.pdf');
        writeFileSync(pdf, await page.pdf({ format: 'A4' }));
        const text = execFileSync('pdftotext', ['-layout', pdf, '-'], { encoding: 'utf8' });
        const wanted = ['Select the languages/Seleziona la lingua:', 'The binary number is: 0|01111111|10000000000000000000000',
                        'The binary number is: 0|10000001|00100000000000000000000', 'run 2 / esecuzione 2', 'Final result: 5.25',
                        'Credit to Vantelli Edmondo and Corbaro Ludano'];
        const missing = wanted.filter((line) => !text.includes(line));
        if (missing.length > 0) fail(`the printed session lacks ${JSON.stringify(missing)}`);
        execFileSync('pdftoppm', ['-r', '40', '-gray', '-f', '1', '-l', '1', pdf, join(folder, 'page')]);
        const { white, darkest } = greys(readFileSync(join(folder, 'page-1.pgm')));
        if (white < 0.8 || darkest > 60) fail(`the printed page is ${(white * 100).toFixed(0)} % white, its darkest grey ${darkest}`);
    } finally {
        rmSync(folder, { recursive: true });
    }
}

// A copy of the page with a script of the test's own run first, in the same folder.
export function pageWithFirstScript(url, script) {
    const path = fileURLToPath(url);
    const copy = path.replace(/\.html$/, `-${script.name}.html`);
    writeFileSync(copy, readFileSync(path, 'utf8').replace('<head>', () => `<head>\n<script>(${script})();</script>`));
    return pathToFileURL(copy).href;
}

export function withoutWebAssembly() {
    delete window.WebAssembly;
}

// Notes when the prompt first shows in the terminal's rows.
export function noteWhenThePromptShows() {
    new MutationObserver((_, observer) => {
        if (document.querySelector('.xterm-rows')?.textContent.includes('Choose/Scelta:')) {
            window.promptShownAt = performance.now();
            observer.disconnect();
        }
    }).observe(document, { subtree: true, childList: true, characterData: true });
}

// Without WebAssembly the page says in both languages that it cannot run, and sets no mark of
// a first prompt.
export async function checkWithoutWebAssembly({ page, fail }) {
    await page.waitForFunction(() => document.querySelector('#terminal p[lang=it]') !== null, { timeout: 10000 })
        .catch(() => {});
    const said = await page.evaluate(() => ({ text: document.getElementById('terminal').innerText,
                                              marked: performance.getEntriesByName('first prompt').length }));
    if (!said.text.includes('WebAssembly') || !said.text.includes('Questo browser') || said.marked !== 0) {
        fail(`without WebAssembly: ${JSON.stringify(said)}`);
    }
}

// Without JavaScript the page says in both languages that it needs it.
export async function checkWithoutJavaScript({ page, fail, url }) {
    await page.setJavaScriptEnabled(false);
    await page.goto(url);
    const text = await page.$eval('#terminal', (element) => element.innerText).catch(() => '');
    if (!text.includes('JavaScript, which is off here') || !text.includes('JavaScript, che qui è disattivato')) {
        fail(`without JavaScript the page says: ${JSON.stringify(text)}`);
    }
    await page.setJavaScriptEnabled(true);
}

// The mark of the first prompt, which the budgets measure, is set once the prompt is in the
// terminal's rows, also on a slow device (Chromium slowed 6 times).
export async function checkFirstPromptMark({ page, fail }, cdp) {
    for (const slowdown of cdp ? [1, 6, 6] : [1]) {
        await cdp?.send('Emulation.setCPUThrottlingRate', { rate: slowdown });
        if (slowdown !== 1) await page.reload();
        const { mark, shown } = await page.waitForFunction(() => {
            const mark = performance.getEntriesByName('first prompt')[0]?.startTime;
            return mark !== undefined && { mark, shown: window.promptShownAt };
        }, { timeout: 20000 }).then((handle) => handle.jsonValue());
        if (shown === undefined || mark < shown) fail(`slowed ${slowdown} times: the mark at ${mark} ms, the prompt shown at ${shown} ms`);
    }
    await cdp?.send('Emulation.setCPUThrottlingRate', { rate: 1 });
}
