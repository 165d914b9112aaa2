// The page on every screen: resized, a phone turned, phone widths, browser zoom, pinch-zoom, a
// finger scrolling back, an on-screen keyboard that covers the page, printing, and a browser
// that cannot run the program. Chromium emulates phones (touch, device pixels); the other
// engines resize their windows.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { decimalPasses, newRun, pause, pressWithControl, typeAnswers, waitForEnd } from './page_driver.mjs';

export const phone = (width, height) => ({ width, height, isMobile: true, hasTouch: true, deviceScaleFactor: 3 });

// How the terminal sits on the page, once it has refitted.
const layout = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
    const screen = terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
    const field = document.getElementById('answer').getBoundingClientRect();
    const { cursorX, cursorY, baseY, viewportY } = terminal.buffer.active;
    const row = baseY + cursorY - viewportY;
    const cell = { width: screen.width / terminal.cols, height: screen.height / terminal.rows };
    const visible = Math.min(window.visualViewport.height, innerHeight);
    return {
        width: innerWidth, font: terminal.options.fontSize, devicePixels: terminal.options.fontSize * devicePixelRatio,
        cols: terminal.cols, rows: terminal.rows, scale: window.visualViewport.scale,
        // the width is filled (less the 8 px scrollbar), nothing scrolls sideways, the cursor's row
        // shows whole above what covers the page, the answer field sits on the cursor, and the
        // help shows (it may scroll)
        fits: terminal.element.parentElement.clientWidth - screen.width < cell.width + 11
            && [...document.querySelectorAll('header p')].some((help) => help.offsetParent !== null && help.getBoundingClientRect().height > 0)
            && document.documentElement.scrollWidth <= innerWidth && screen.right <= innerWidth + 0.5
            && screen.right <= terminal.element.querySelector('.scrollbar.vertical').getBoundingClientRect().left + 0.5
            && row < terminal.rows && screen.top + (row + 1) * cell.height <= visible + 1
            && Math.abs(field.left - screen.left - cursorX * cell.width) < 1 && Math.abs(field.top - screen.top - row * cell.height) < 1,
    };
});

// The shapes of a window or a phone, one after the other; each must fit. Returns what it saw.
async function shapes(page, fail, viewports) {
    const seen = [];
    for (const viewport of viewports) {
        await page.setViewport(viewport);
        await pause(100);
        const state = await layout(page);
        if (!state.fits || (seen.length > 0 && state.cols === seen.at(-1).cols && viewport.width !== seen.at(-1).width)) {
            fail(`at ${viewport.width}x${viewport.height}: ${JSON.stringify(state)}`);
        }
        seen.push(state);
    }
    console.log(seen.map((s) => `${s.width} px: ${s.cols}x${s.rows}, ${s.font} px (${s.devicePixels.toFixed(1)} device)`).join('; '));
    return seen;
}

// In every engine: narrower and shorter (as an on-screen keyboard that resizes the page makes
// it), then wider again.
export async function checkResize({ page, fail }) {
    await decimalPasses(page, ['5']);
    await shapes(page, fail, [{ width: 1280, height: 900 }, { width: 600, height: 450 }, { width: 1000, height: 800 }]);
}

// A phone turned (with an Italian result on the screen), phones of 360 and 390 px: text of 10 px
// or more, no fewer columns on the wider, the Italian result line on one row.
export async function checkPhones({ page, fail }) {
    await newRun(page);
    await typeAnswers(page, ['2', '2', '12.375', '0', '2']);
    const seen = await shapes(page, fail, [phone(844, 390), phone(390, 844), phone(844, 390), phone(360, 740), phone(390, 844)]);
    const wrapped = await page.evaluate(() => {
        const buffer = window.floatingPoint.terminal.buffer.active;
        for (let y = 0; y + 1 < buffer.length; ++y) {
            if (buffer.getLine(y).translateToString().startsWith('Il numero in binario è: 0|10000010|')) return buffer.getLine(y + 1).isWrapped;
        }
        return true;
    });
    if (wrapped || seen.some((s) => s.font < 10 || s.scale !== 1) || seen[4].cols < seen[3].cols) fail('on phones');
}

// Browser zoom narrows the page in CSS pixels and raises the device pixel ratio: at each step
// up to 400 % the text grows on the screen.
export async function checkZoom({ page, fail }) {
    const zooms = [1, 1.1, 1.25, 1.5, 1.75, 2, 2.5, 3, 4];
    const seen = await shapes(page, fail, zooms.map((zoom) => ({ width: Math.round(1280 / zoom), height: Math.round(900 / zoom),
                                                                 deviceScaleFactor: zoom })));
    if (seen.some((s, i) => i > 0 && s.devicePixels <= seen[i - 1].devicePixels)) fail('zoom does not enlarge the text');
}

// Two fingers may zoom: the viewport and the touch handling allow it, and the terminal does not
// refit for it (the zoom is set through the DevTools protocol, whose pinch gesture does not always
// take in a headless browser); one finger scrolls back through earlier output.
export async function checkTouch({ page, fail }, cdp) {
    await page.setViewport(phone(390, 500));
    await decimalPasses(page, ['1', '2', '3']);
    const allowed = await page.evaluate(() => !/user-scalable\s*=\s*(no|0)|maximum-scale\s*=\s*1\b/
        .test(document.querySelector('meta[name=viewport]').content) && [...document.querySelectorAll('#terminal *')]
        .every((element) => /auto|manipulation|pinch-zoom/.test(getComputedStyle(element).touchAction)));
    const before = await layout(page);
    await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 2 });
    await pause(200);
    const zoomed = await layout(page);
    await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 1 });
    if (!allowed || zoomed.scale < 1.5 || zoomed.cols !== before.cols || zoomed.rows !== before.rows || zoomed.font !== before.font) {
        fail(`pinch-zoom: ${JSON.stringify([before, zoomed])}`);
    }
    const shownFrom = () => page.evaluate(() => window.floatingPoint.terminal.buffer.active.viewportY);
    const bottom = await shownFrom();
    const { top, bottom: end } = await page.evaluate(() => document.querySelector('#terminal .xterm-screen').getBoundingClientRect().toJSON());
    const finger = await page.touchscreen.touchStart(200, top + 5);
    for (let y = top + 5; y <= end - 5; y += 20) await finger.move(200, y);
    await finger.end();
    const scrolled = await shownFrom();
    await typeAnswers(page, ['0']);  // typing brings the prompt back into view
    if (bottom - scrolled < 10 || await shownFrom() <= scrolled) fail(`a swipe scrolls from row ${bottom} to ${scrolled}`);
}

// Stands in for a browser's visual viewport, before the page's scripts run: the test shrinks it
// as an on-screen keyboard that covers the lower part of the page does (iOS).
export const fakeVisualViewport = () => {
    const viewport = Object.assign(new EventTarget(), { height: innerHeight, scale: 1, offsetTop: 0 });
    Object.defineProperty(window, 'visualViewport', { value: viewport });
};

export async function checkCoveringKeyboard({ page, fail }) {
    await decimalPasses(page, ['7', '8']);
    await page.evaluate(() => {
        window.visualViewport.height = Math.round(innerHeight * 0.55);
        window.visualViewport.dispatchEvent(new Event('resize'));
    });
    if (!(await layout(page)).fits) fail('a keyboard that covers the page hides the prompt');
}

// Printing gives every line of the session, earlier runs included, dark on white.
export async function checkPrint({ page, fail }) {
    await page.setViewport({ width: 800, height: 400 });
    await decimalPasses(page, ['1.5', '2.5', '3.5', '4.5']);
    await page.keyboard.type('12');
    await pressWithControl(page, 'KeyC');
    await waitForEnd(page);
    await page.keyboard.press('Enter');
    await typeAnswers(page, ['1', '1', '0100000010101']);
    const folder = mkdtempSync(join(tmpdir(), 'fp-print-'));
    try {
        writeFileSync(join(folder, 'page.pdf'), await page.pdf({ format: 'A4' }));
        const text = execFileSync('pdftotext', [join(folder, 'page.pdf'), '-'], { encoding: 'utf8' });
        execFileSync('pdftoppm', ['-r', '100', '-gray', '-singlefile', join(folder, 'page.pdf'), join(folder, 'page')]);
        const pgm = readFileSync(join(folder, 'page.pgm'));
        const pixels = pgm.subarray(pgm.length - pgm.toString('latin1', 0, 30).split(/\s+/).slice(1, 3).reduce((a, b) => a * b));
        const white = pixels.filter((grey) => grey >= 240).length / pixels.length;
        const darkest = pixels.reduce((least, grey) => Math.min(least, grey), 255);
        const missing = ['Select the languages/Seleziona la lingua:', '0|01111111|10000000000000000000000', 'Scelta: 12^C',
                         'run 2 / esecuzione 2', 'Final result: 5.25'].filter((line) => !text.includes(line));
        if (missing.length > 0 || white < 0.8 || darkest > 60) fail(`printed: ${white} white, ${darkest} darkest, no ${missing}`);
    } finally {
        rmSync(folder, { recursive: true });
    }
}

// A copy of the page with a script of the test's own run first, in the same folder.
export function pageWithFirstScript(url, script) {
    const copy = fileURLToPath(url).replace(/\.html$/, `-${script.name}.html`);
    writeFileSync(copy, readFileSync(fileURLToPath(url), 'utf8').replace('<head>', () => `<head>\n<script>(${script})();</script>`));
    return pathToFileURL(copy).href;
}

export function withoutWebAssembly() {
    delete window.WebAssembly;
}

// Without WebAssembly, or JavaScript (Chromium), the page says so in both languages.
export async function checkWithoutWebAssembly({ page, fail }) {
    await pause(500);
    const said = await page.evaluate(() => document.getElementById('terminal').innerText);
    if (!/WebAssembly[^]*Questo browser/.test(said) || await page.evaluate(() => performance.getEntriesByName('first prompt').length)) {
        fail(`without WebAssembly: ${said}`);
    }
}

export async function checkWithoutJavaScript({ page, fail, url }) {
    await page.setJavaScriptEnabled(false);
    await page.goto(url);
    const said = await page.$eval('#terminal', (element) => element.innerText);
    if (!/JavaScript, which is off here[^]*JavaScript, che qui è disattivato/.test(said)) fail(`without JavaScript: ${said}`);
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

// The mark of the first prompt, which the budgets measure, is set once the prompt is in the
// terminal's rows, also on a slow device (Chromium slowed 6 times).
export async function checkFirstPromptMark({ page, fail }, cdp) {
    for (const slowdown of cdp ? [1, 6, 6] : [1]) {
        await cdp?.send('Emulation.setCPUThrottlingRate', { rate: slowdown });
        if (slowdown !== 1) await page.reload();
        const [mark, shown] = await page.waitForFunction(() => performance.getEntriesByName('first prompt').length
            && [performance.getEntriesByName('first prompt')[0].startTime, window.promptShownAt], { timeout: 20000 })
            .then((handle) => handle.jsonValue());
        if (!(mark >= shown)) fail(`slowed ${slowdown} times: the mark at ${mark} ms, the prompt shown at ${shown} ms`);
    }
    await cdp?.send('Emulation.setCPUThrottlingRate', { rate: 1 });
}
