// The steps of the scenarios: ACTIONS, what a learner does, and SEEN, what the page then shows,
// copies or says of something, to be compared with what the scenario expects. Either returns
// CANNOT where the engine cannot take the step.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { enterOnLongLine, pause, pressWithControl, runLines, runWithInput, screenLines, throughClipboard, toMenu, typeAnswers,
         waitForEnd, waitForPrompt } from './driver.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const AXE = readFileSync(join(resolve(process.env.FP_NODE_MODULES), 'axe-core/axe.min.js'), 'utf8');
const CANNOT = Symbol('cannot');
const inPage = (fn) => ({ page }, ...args) => page.evaluate(fn, ...args);

// An input method's composition, in Chromium through the DevTools protocol, elsewhere as the
// events that a browser sends.
const composing = ({ page, cdp }, texts) => (cdp ? texts.reduce((sent, text) => sent.then(() => cdp.send('Input.imeSetComposition',
    { text, selectionStart: text.length, selectionEnd: text.length })), Promise.resolve()) : page.evaluate((all) => {
    const field = document.getElementById('answer');
    field.dispatchEvent(new CompositionEvent('compositionstart'));
    for (const data of all) {
        field.value = data;
        field.dispatchEvent(new InputEvent('input', { inputType: 'insertCompositionText', data, isComposing: true }));
    }
}, texts));

// Android's keyboards send each character as key code 229 and an edit of the field.
async function keyCode229({ page, cdp }, text) {
    for (const char of text) {
        const key = { windowsVirtualKeyCode: 229, key: 'Unidentified' };
        await (cdp ? cdp.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', ...key }).then(() => cdp.send('Input.insertText', { text: char }))
            .then(() => cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key })) : page.evaluate((c) => {
            const down = new KeyboardEvent('keydown', { key: 'Unidentified', bubbles: true });
            Object.defineProperty(down, 'keyCode', { value: 229 });
            document.getElementById('answer').dispatchEvent(down);
            document.execCommand(c === '\n' ? 'insertLineBreak' : 'insertText', false, c);
        }, char));
    }
}

// How the terminal sits on the page, once it has refitted: the width filled (less the 8 px
// scrollbar), nothing scrolling sideways, the cursor's row whole above what covers the page, the
// answer field on the cursor, and the help shown (it may scroll).
const layout = inPage(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve)));
    const screen = terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
    const field = document.getElementById('answer').getBoundingClientRect();
    const { cursorX, cursorY, baseY, viewportY } = terminal.buffer.active;
    const row = baseY + cursorY - viewportY;
    const cell = { width: screen.width / terminal.cols, height: screen.height / terminal.rows };
    return {
        cols: terminal.cols, rows: terminal.rows, font: terminal.options.fontSize, shown: terminal.options.fontSize * devicePixelRatio,
        scale: window.visualViewport.scale,
        fits: terminal.element.parentElement.clientWidth - screen.width < cell.width + 11
            && [...document.querySelectorAll('header p')].some((help) => help.offsetParent !== null && help.getBoundingClientRect().height > 0)
            && document.documentElement.scrollWidth <= innerWidth && screen.right <= innerWidth + 0.5
            && screen.right <= terminal.element.querySelector('.scrollbar.vertical').getBoundingClientRect().left + 0.5
            && row < terminal.rows && screen.top + (row + 1) * cell.height <= Math.min(window.visualViewport.height, innerHeight) + 1
            && Math.abs(field.left - screen.left - cursorX * cell.width) < 1 && Math.abs(field.top - screen.top - row * cell.height) < 1,
    };
});

// The terminal's rows from the cursor's line as written (the row it starts on) on.
const cursorRows = inPage(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    let start = buffer.baseY + buffer.cursorY;
    while (start > 0 && buffer.getLine(start).isWrapped) start -= 1;
    return [start, start + 1].map((at) => buffer.getLine(at)?.translateToString(true).trimEnd() ?? '');
});

// The left edge of the terminal (no cursor there) as drawn while the answer field has the focus,
// and once it has lost it: a focus ring makes them differ.
async function focusRingDrawn({ page }) {
    const box = await page.evaluate(() => document.getElementById('terminal').getBoundingClientRect().toJSON());
    const edge = () => page.screenshot({ clip: { x: box.x, y: box.y, width: 2, height: box.height }, captureBeyondViewport: false });
    const [focused, blurred] = [await edge(), await page.evaluate(() => document.getElementById('answer').blur()).then(edge)];
    await page.evaluate(() => document.getElementById('answer').focus());
    return !Buffer.from(focused).equals(Buffer.from(blurred));
}

export const ACTIONS = {
    CANNOT,
    mark: inPage(() => {  // where the scenario starts, and what it hears from then on
        window.scenarioStart = window.floatingPoint.terminal.registerMarker(0);
        window.logLines = () => [...document.getElementById('session-log').children].flatMap((piece) => piece.textContent.split('\n'));
        window.logStart = window.logLines().length - 1;
        window.announced = [];
        window.listener?.disconnect();
        window.listener = new MutationObserver((records) => window.announced.push(...records.flatMap((record) => [...record.addedNodes]
            .map((node) => node.textContent.replace(/ +$/gm, '')))));
        window.listener.observe(document.getElementById('announcer'), { childList: true });
    }),
    type: ({ page }, text) => page.keyboard.type(text),
    async press({ page }, ...keys) {
        const times = typeof keys.at(-1) === 'number' ? keys.pop() : 1;
        for (let i = 0; i < times; ++i) for (const key of keys) await page.keyboard.press(key);
    },
    ctrl: ({ page }, key) => pressWithControl(page, key),
    answers: ({ page }, answers) => typeAnswers(page, answers),
    edit: inPage((command, text = '') => { document.execCommand(command, false, text); }),
    async paste({ page }, head, body = '', times = 0, tail = '') {
        await throughClipboard(page, 'KeyC', head + body.repeat(times) + tail);
        await pressWithControl(page, 'KeyV');
    },
    replace: inPage((text) => {  // as autocorrect replaces the line
        const field = document.getElementById('answer');
        field.setRangeText(text, 0, field.value.length, 'end');
        field.dispatchEvent(new InputEvent('input', { inputType: 'insertReplacementText', bubbles: true }));
    }),
    'key code 229': keyCode229,
    composing,
    commit: ({ page, cdp }, text) => (cdp ? cdp.send('Input.insertText', { text }) : page.evaluate((data) => {
        const field = document.getElementById('answer');
        field.value = data;
        field.dispatchEvent(new CompositionEvent('compositionend', { data }));
    }, text)),
    tap: ({ page }, selector) => page.tap(selector),
    click: ({ page }, selector) => page.click(selector),
    pause: (context, ms = 300) => pause(ms),
    'wait for prompt': ({ page }) => waitForPrompt(page),
    'new run': async ({ page }) => {
        await toMenu(page);
        await pressWithControl(page, 'KeyD');
        await waitForEnd(page);
        await page.keyboard.press('Enter');
        await waitForPrompt(page);
    },
    'decimal passes': async ({ page }, values) => { for (const value of values) { await toMenu(page); await typeAnswers(page, ['2', value]); } },
    'select rows': inPage((from, to) => {
        const { terminal } = window.floatingPoint;
        const row = terminal.buffer.active.baseY + terminal.buffer.active.cursorY;
        terminal.selectLines(row + from, row + to);
    }),
    'select answer': inPage(() => document.getElementById('answer').select()),
    // A copy or a paste through the terminal's own field, as its context menu makes them.
    'menu copy': async (context) => {
        context.copied = await context.page.evaluate(() => {
            const copy = new ClipboardEvent('copy', { clipboardData: new DataTransfer(), bubbles: true });
            window.floatingPoint.terminal.textarea.dispatchEvent(copy);
            return copy.clipboardData.getData('text/plain');
        });
    },
    'menu paste': inPage((text) => {
        const paste = new ClipboardEvent('paste', { clipboardData: new DataTransfer(), bubbles: true });
        paste.clipboardData.setData('text/plain', text);
        window.floatingPoint.terminal.textarea.dispatchEvent(paste);
    }),
    'terminal columns': inPage((cols) => window.floatingPoint.terminal.resize(cols, window.floatingPoint.terminal.rows)),
    refit: inPage(() => window.dispatchEvent(new Event('resize'))),
    // Somewhere for Tab to go (WebKit moves between text fields only).
    'field after the page': inPage(() => { document.body.appendChild(document.createElement('input')).id = 'after'; }),
    'no field after the page': inPage(() => document.getElementById('after').remove()),
    'watch focus': inPage(() => {  // counts the focus given up for nothing and taken again, as only a tap does
        const field = document.getElementById('answer');
        window.refocused = 0;
        let gaveUp = false;
        field.addEventListener('blur', (event) => { gaveUp = event.relatedTarget === null; });
        field.addEventListener('focus', () => { window.refocused += gaveUp ? 1 : 0; });
    }),
    // Chromium alone zooms (the device pixel ratio) and emulates forced colours; WebDriver zooms not.
    async viewport({ page, engine }, width, height, zoom = 1, touch = false) {
        if ((zoom !== 1 && engine === 'webkit') || (touch && engine !== 'chromium')) return CANNOT;
        await page.setViewport({ width, height, deviceScaleFactor: zoom, ...(touch && { isMobile: true, hasTouch: true }) });
        await pause(100);
    },
    'forced colours': ({ cdp }, scheme) => (cdp ? cdp.send('Emulation.setEmulatedMedia', { features: scheme ? [
        { name: 'forced-colors', value: 'active' }, { name: 'prefers-color-scheme', value: scheme }] : [] }) : CANNOT),
    'focus on': inPage((selector) => document.querySelector(selector).focus()),
    'open the panel': inPage((open) => { document.getElementById('panel-fold').open = open; }),
    'open the licences': inPage((open) => {
        document.querySelector('footer details').open = open;
        document.getElementById('answer').focus();
    }),
    // An on-screen keyboard that covers the lower part of the page rather than resizing it (iOS):
    // the visual viewport shrinks.
    'covering keyboard': inPage((share) => {
        const viewport = Object.assign(new EventTarget(), { height: Math.round(innerHeight * share), scale: 1, offsetTop: 0 });
        window.realViewport = window.visualViewport;
        Object.defineProperty(window, 'visualViewport', { value: viewport, configurable: true });
        window.dispatchEvent(new Event('resize'));
    }),
    'keyboard put away': inPage(() => {
        Object.defineProperty(window, 'visualViewport', { value: window.realViewport, configurable: true });
        window.dispatchEvent(new Event('resize'));
    }),
};

export const SEEN = {
    // The decimal prompt's line and the result line, then the prompt that the cursor waits on.
    async result(context) {
        const lines = await runLines(context.page);
        const at = lines.findLastIndex((line) => line.startsWith('Insert decimal value: '));
        return [...lines.slice(at, at + 2), (await cursorRows(context))[0]];
    },
    // The lines written since the scenario started (wrapped rows joined).
    lines: async ({ page }) => {
        const lines = await screenLines(page, 'scenarioStart');
        while (lines.at(-1) === '') lines.pop();
        return lines;
    },
    row: async (context) => (await cursorRows(context))[0],
    rows: cursorRows,
    line: inPage(() => window.floatingPoint.discipline?.line),
    focus: inPage(() => (document.activeElement.id === 'answer' ? 'answer' : 'elsewhere')),
    // Where Tab takes the keys (WebKit moves between text fields only).
    'after Tab': async ({ page, engine }) => (engine === 'webkit' ? CANNOT
        : page.keyboard.press('Tab').then(() => page.evaluate(() => document.activeElement.id))),
    label: inPage(() => document.getElementById('answer').getAttribute('aria-label')),
    help: inPage(() => [...document.querySelectorAll('header p, #end-of-input')].filter((element) => element.offsetParent !== null)
        .map((element) => element.textContent).join(' ')),
    // Where a button is, and whether it is a fingertip's size within a thumb's reach.
    'within reach': inPage((selector) => {
        const box = document.querySelector(selector).getBoundingClientRect();
        return box.width >= 44 && box.height >= 44 && box.top >= 0.75 * innerHeight;
    }),
    // Whether each element is a fingertip's target: 24 CSS px or more either way.
    'fingertip targets': inPage((selector) => [...document.querySelectorAll(selector)].every((element) => {
        const box = element.getBoundingClientRect();
        return box.width >= 24 && box.height >= 24;
    })),
    refocused: inPage(() => window.refocused > 0 && document.activeElement.id === 'answer'),
    clipboard: async (context) => context.copied ?? throughClipboard(context.page, 'KeyV'),
    running: inPage(() => window.floatingPoint.discipline !== null),
    async status({ page }) {
        await waitForEnd(page);
        return page.evaluate(async () => (await window.floatingPoint.ended).status);
    },
    printed: inPage(() => window.floatingPoint.text.toString()),
    'output holds': inPage(async (line) => (await (await window.floatingPoint.ended).output.text()).split(line).length - 1),
    announced: inPage(() => window.announced),
    announcer: inPage(() => document.getElementById('announcer').textContent),
    'announced lines': inPage((line) => window.announced.join('\n').split('\n').filter((heard) => heard === line).length),
    'log holds': inPage((line) => window.logLines().slice(window.logStart).filter((logged) => logged === line).length),
    panel: inPage((selector) => document.querySelector(selector)?.textContent ?? null),
    pressed: inPage((selector) => document.querySelector(selector).getAttribute('aria-pressed')),
    shown: inPage((selector) => !document.querySelector(selector).hidden),
    fits: async (context) => (await layout(context)).fits,
    columns: async (context) => (await layout(context)).cols,
    'font size': async (context) => (await layout(context)).font,
    // Two fingers zoom in (the DevTools protocol sets the scale: its pinch gesture does not always
    // take in a headless browser): the terminal keeps its columns, rows and font.
    async 'pinch-zoom refits'({ cdp, ...context }) {
        const before = await layout(context);
        await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 2 });
        await pause(200);
        const zoomed = await layout(context);
        await cdp.send('Emulation.setPageScaleFactor', { pageScaleFactor: 1 });
        return zoomed.scale < 1.5 || ['cols', 'rows', 'font'].some((key) => zoomed[key] !== before[key]);
    },
    // A finger down the terminal scrolls back through earlier output, and typing brings the prompt
    // back into view: the rows it scrolled.
    async 'a swipe scrolls back'({ page }) {
        const shownFrom = () => page.evaluate(() => window.floatingPoint.terminal.buffer.active.viewportY);
        const [bottom, { top, bottom: end }] = [await shownFrom(),
            await page.evaluate(() => document.querySelector('#terminal .xterm-screen').getBoundingClientRect().toJSON())];
        const finger = await page.touchscreen.touchStart(200, top + 5);
        for (let y = top + 5; y <= end - 5; y += 20) await finger.move(200, y);
        await finger.end();
        const scrolled = await shownFrom();
        await typeAnswers(page, ['0']);
        return bottom - scrolled >= 10 && await shownFrom() > scrolled;
    },
    // Text shown larger on the screen at each step of `zooms` than at the one before.
    async 'zoom enlarges'(context, zooms) {
        const seen = [];
        for (const zoom of zooms) {
            if (await ACTIONS.viewport(context, Math.round(1280 / zoom), Math.round(900 / zoom), zoom) === CANNOT) return CANNOT;
            seen.push(await layout(context));
        }
        await ACTIONS.viewport(context, 1280, 900);
        return seen.every((state, i) => state.fits && (i === 0 || state.shown > seen[i - 1].shown)) || seen;
    },
    'wrapped after': inPage((start) => {
        const buffer = window.floatingPoint.terminal.buffer.active;
        const at = [...Array(buffer.length).keys()].findLast((y) => buffer.getLine(y).translateToString().startsWith(start));
        return at !== undefined && buffer.getLine(at + 1).isWrapped;
    }),
    'touch allowed': inPage(() => !/user-scalable\s*=\s*(no|0)|maximum-scale\s*=\s*1\b/.test(document.querySelector('meta[name=viewport]').content)
        && [...document.querySelectorAll('#terminal *')].every((element) => /auto|manipulation|pinch-zoom/.test(getComputedStyle(element).touchAction))),
    // axe-core's violations (under forced colours the theme sets every colour, but axe's contrast
    // rule still reads the page's own: that rule is left out), the focus ring styled and drawn,
    // the cursor drawn, and the answer field's own text unseen.
    async accessibility(context, forcedColours = false) {
        await context.page.evaluate(AXE);
        const seen = await context.page.evaluate(async (rules) => {
            const ring = getComputedStyle(document.getElementById('terminal'), '::after');
            const cursor = document.querySelector('#terminal .xterm-cursor');
            const visible = (colour) => colour !== 'rgba(0, 0, 0, 0)' && colour !== 'transparent';
            return {
                violations: (await window.axe.run(document, { resultTypes: ['violations'], rules })).violations
                    .map((found) => `${found.id} at ${found.nodes.map((node) => node.target.join(' ')).join(', ')}`),
                ring: document.activeElement.id === 'answer' && ring.borderTopStyle === 'solid' && parseFloat(ring.borderTopWidth) >= 2,
                cursor: cursor !== null && (visible(getComputedStyle(cursor).backgroundColor) || getComputedStyle(cursor).outlineStyle !== 'none'),
                fieldText: visible(getComputedStyle(document.getElementById('answer')).color),
            };
        }, forcedColours ? { 'color-contrast': { enabled: false } } : {});
        seen.ring &&= !context.page.screenshot || await focusRingDrawn(context);
        return seen;
    },
    // Printing: the lines that the printed session holds of `lines`, and whether it is dark on white.
    async printout({ page }, lines) {
        if (!page.pdf) return CANNOT;
        const folder = mkdtempSync(join(tmpdir(), 'fp-print-'));
        try {
            const pdf = join(folder, 'page.pdf');
            execFileSync('sh', ['-c', 'cat >"$1"', 'pdf', pdf], { input: await page.pdf({ format: 'A4' }) });
            const text = execFileSync('pdftotext', [pdf, '-'], { encoding: 'utf8' });
            execFileSync('pdftoppm', ['-r', '100', '-gray', '-singlefile', pdf, join(folder, 'page')]);
            const pgm = readFileSync(join(folder, 'page.pgm'));
            const pixels = pgm.subarray(pgm.length - pgm.toString('latin1', 0, 30).split(/\s+/).slice(1, 3).reduce((a, b) => a * b));
            const white = pixels.filter((grey) => grey >= 240).length / pixels.length;
            return { lines: lines.filter((line) => text.includes(line)), darkOnWhite: white > 0.8 && pixels.reduce((a, b) => Math.min(a, b)) <= 60 };
        } finally {
            rmSync(folder, { recursive: true });
        }
    },

    // The transcripts fed to the page's input that do not give their output byte for byte.
    async 'transcripts that differ'({ page, transcripts }) {
        const wrong = [];
        for (const folder of transcripts) {
            for (const name of readdirSync(folder).filter((file) => file.endsWith('.in')).sort()) {
                await waitForPrompt(page);
                const output = await runWithInput(page, readFileSync(join(folder, name)));
                if (!output.equals(readFileSync(join(folder, name.replace(/\.in$/, '.out'))))) wrong.push(name);
            }
        }
        return wrong;
    },
    // The terminal test's answers, typed once each prompt shows at its size: the screen, less the
    // shell's status line and prompt that end the terminal test's.
    async 'typed session'({ page }, language) {
        await page.evaluate(() => window.floatingPoint.terminal.resize(120, 60));
        const answers = readFileSync(join(here, `../../tests/terminal/${language}.answers`), 'utf8').split('\n')[0].split(' ');
        await typeAnswers(page, answers.slice(0, -1));
        await page.keyboard.type(`${answers.at(-1)}\n`);
        await waitForEnd(page);
        const expected = readFileSync(join(here, `../../tests/terminal/${language}.screen`), 'utf8').trimEnd().split('\n').slice(0, -2);
        const shown = (await runLines(page)).slice(0, expected.length);
        await ACTIONS.refit({ page });
        return shown.every((line, i) => line === expected[i]) || shown;
    },
    // What a run fed with `head`, then `times` bytes `byte`, then `tail`, writes, ended by its end.
    'fed output end': async ({ page }, head, byte, times, tail) => {
        await waitForPrompt(page);
        const output = await runWithInput(page, Buffer.concat([Buffer.from(head), Buffer.alloc(times, byte), Buffer.from(tail)]));
        return output.toString('latin1').split('\n').slice(-40).join('\n');
    },
    // Enter on a pasted line of 10 MB at the decimal prompt: the screen's end, from the prompt.
    'long line shown': async ({ page }) => {
        await enterOnLongLine(page);
        const shown = (await runLines(page)).join('\n').replace(/\nWould you like[^]*/, '');
        return shown.slice(shown.lastIndexOf('Insert decimal value: '));
    },
};
