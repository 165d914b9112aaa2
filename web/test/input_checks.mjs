// Every way a learner's text reaches the page, each ending in the program's exact result line,
// the screen showing the line the program got; the clipboard; Ctrl-D, Ctrl-C and the restart;
// Tab; a touch screen; the help.
import { decimalPasses, edit, pause, pressWithControl, runLines, status, throughClipboard, toMenu,
         typeAnswers, waitForEnd, waitForPrompt } from './page_driver.mjs';

const RESULTS = { '5.75': '0|10000001|01110000000000000000000', '0.1': '0|01111011|10011001100110011001100',
                  '1.525': '0|01111111|10000110011001100110011', 5: '0|10000001|01000000000000000000000' };

// An input method's composition, each text in turn, not committed yet; then committed. Chromium
// composes through the DevTools protocol; elsewhere the page gets the events a browser sends.
async function composeWithoutCommit({ page, cdp }, texts) {
    if (cdp) {
        for (const text of texts) await cdp.send('Input.imeSetComposition', { text, selectionStart: text.length, selectionEnd: text.length });
        return;
    }
    await page.evaluate((all) => {
        const field = document.getElementById('answer');
        field.dispatchEvent(new CompositionEvent('compositionstart'));
        for (const data of all) {
            field.value = data;
            field.dispatchEvent(new InputEvent('input', { inputType: 'insertCompositionText', data, isComposing: true }));
        }
    }, texts);
}

const commitComposition = ({ page, cdp }, text) => (cdp ? cdp.send('Input.insertText', { text })
    : page.evaluate((data) => document.getElementById('answer').dispatchEvent(new CompositionEvent('compositionend', { data })), text));

// What the learner does, step by step. Chromium's key code 229 and composition are its own
// input events (DevTools protocol); elsewhere they are the page's, over the browser's editing.
const STEPS = {
    type: ({ page }, text) => page.keyboard.type(text),
    press: async ({ page }, ...keys) => { for (const key of keys) await page.keyboard.press(key); },
    ctrl: ({ page }, key) => pressWithControl(page, key),
    edit: ({ page }, command, text) => edit(page, command, text),
    paste: async ({ page }, text) => {
        await throughClipboard(page, 'KeyC', text);
        await pressWithControl(page, 'KeyV');
    },
    tap: ({ page }, selector) => page.tap(selector),
    pause: () => pause(300),
    replace: ({ page }, text) => page.evaluate((t) => {
        const field = document.getElementById('answer');
        field.setRangeText(t, 0, field.value.length, 'end');
        field.dispatchEvent(new InputEvent('input', { inputType: 'insertReplacementText', bubbles: true }));
    }, text),
    async keyCode229({ page, cdp }, text) {
        for (const char of text) {
            if (!cdp) {
                await page.evaluate((c) => {
                    const key = new KeyboardEvent('keydown', { key: 'Unidentified', bubbles: true });
                    Object.defineProperty(key, 'keyCode', { value: 229 });
                    document.getElementById('answer').dispatchEvent(key);
                    document.execCommand(c === '\n' ? 'insertLineBreak' : 'insertText', false, c);
                }, char);
                continue;
            }
            const key = { windowsVirtualKeyCode: 229, key: 'Unidentified' };
            await cdp.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', ...key });
            await cdp.send('Input.insertText', { text: char });
            await cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', ...key });
        }
    },
    async compose(context, texts) {
        await composeWithoutCommit(context, texts);
        await commitComposition(context, texts.at(-1));
    },
};

// The paths: what is typed at the decimal prompt, how, and the value the program must get.
const PATHS = [
    ['dictation, a suggestion or an input method commit', '5.75', ['edit', 'insertText', '5.75'], ['edit', 'insertLineBreak']],
    ['a soft keyboard\'s Backspace and Enter as edits', '5.75', ['edit', 'insertText', '5.79'], ['edit', 'delete'],
     ['edit', 'insertText', '5'], ['edit', 'insertLineBreak']],
    ['autocorrect replacing the line', '5.75', ['edit', 'insertText', '5.7s'], ['replace', '5.75'], ['press', 'Enter']],
    ['key code 229, as fast as a swipe', '0.1', ['keyCode229', '0.1\n']],
    ['a composition, a character taken back in it', '5.75', ['compose', ['5', '5.', '5.7', '5.79', '5.7', '5.75']], ['press', 'Enter']],
    ['Ctrl-V', '5.75', ['paste', '5.75\n']],
    ['Ctrl-U, Backspace', '5.75', ['type', '99'], ['ctrl', 'KeyU'], ['type', '5.79'], ['press', 'Backspace'], ['type', '5\n']],
    ['keys that mean nothing', '1.525', ['type', '1.5'], ['press', 'End', 'ArrowRight', 'ArrowLeft', 'ArrowLeft', 'Home',
                                                         'ArrowUp', 'ArrowDown', 'PageUp', 'Delete', 'F2'], ['type', '25\n']],
    ['Ctrl-D on a line with text, then Enter', '5', ['type', '5'], ['ctrl', 'KeyD'], ['pause'], ['press', 'Enter']],
    ['the End input button on a line with text, then Enter', '5', ['type', '5'], ['tap', '#end-of-input'], ['pause'],
     ['press', 'Enter']],
];
export const PATHS_OF_KEYS = PATHS.filter(([name]) => !/229|composition|End input/.test(name));
export const PATHS_WITH_EVENTS_OF_ITS_OWN = PATHS.filter(([name]) => /229|composition/.test(name));
export const PATHS_OF_TOUCH = PATHS.filter(([name]) => /End input|229|composition|edits|dictation|autocorrect/.test(name));

// Each path, at the decimal prompt: the line shown and the result line must be those of the
// value, and the program must wait at the restart question with nothing left over.
export const checkPaths = (paths) => async function checkPaths({ page, fail }, cdp) {
    for (const [name, value, ...steps] of paths) {
        await toMenu(page);
        await typeAnswers(page, ['2']);
        for (const [step, ...args] of steps) await STEPS[step]({ page, cdp }, ...args);
        await waitForPrompt(page).catch(() => {});
        const lines = await runLines(page);
        const at = lines.findLastIndex((line) => line.startsWith('Insert decimal value: '));
        if (lines[at] !== `Insert decimal value: ${value}` || lines[at + 1] !== `The binary number is: ${RESULTS[value]}`
            || lines.at(-1) !== '--------------------------------->Choose/Scelta:') {
            fail(`${name}: the screen shows ${JSON.stringify(lines.slice(at))}`);
        }
    }
};

// Ctrl-C copies a selected line without its trailing blank; the context menu's copy and paste
// (the terminal's own field) copy the selection and paste into the answer.
export async function checkCopy({ page, fail }) {
    await decimalPasses(page, ['5']);
    const menuCopy = await page.evaluate(() => {
        const { terminal } = window.floatingPoint;
        const row = terminal.buffer.active.baseY + terminal.buffer.active.cursorY - 4;
        terminal.selectLines(row + 2, row + 3);  // two rows, each with a trailing blank
        const copy = new ClipboardEvent('copy', { clipboardData: new DataTransfer(), bubbles: true });
        terminal.textarea.dispatchEvent(copy);
        return copy.clipboardData.getData('text/plain');
    });
    await page.evaluate(() => {
        const { terminal } = window.floatingPoint;
        const row = terminal.buffer.active.baseY + terminal.buffer.active.cursorY - 4;
        terminal.selectLines(row, row);
    });
    await pressWithControl(page, 'KeyC');
    const copied = await throughClipboard(page, 'KeyV');
    const menuPaste = await page.evaluate(() => {
        const paste = new ClipboardEvent('paste', { clipboardData: new DataTransfer(), bubbles: true });
        paste.clipboardData.setData('text/plain', '00');
        window.floatingPoint.terminal.textarea.dispatchEvent(paste);
        return document.getElementById('answer').value;
    });
    const line = 'Press 0 to continue, another to esc:';
    const rows = 'Vuoi eseguire nuovamente il programma?\n0 per continuare, qualsiasi altro tasto per uscire:';
    if (copied !== line || menuCopy !== rows || menuPaste !== '00') {
        fail(`copied ${JSON.stringify([copied, menuCopy, menuPaste])}`);
    }
    await pressWithControl(page, 'KeyU');
}

// Ctrl-D on an empty line ends the input; then keys and text do nothing, and only Enter starts
// the program again, on an empty line.
export async function checkEndAndRestart({ page, fail }) {
    await waitForPrompt(page);
    await pressWithControl(page, 'KeyD');
    await waitForEnd(page);
    const runs = await page.evaluate(() => window.floatingPoint.runs);
    if (await status(page) !== 0 || !(await runLines(page)).includes('Sviluppato da Vantelli Edmondo e Ludano Corbaro')) {
        fail('Ctrl-D on an empty line does not end the input');
    }
    await page.keyboard.type('x 1');
    for (const key of ['Backspace', 'Escape', 'ArrowUp']) await page.keyboard.press(key);
    await pressWithControl(page, 'KeyD');
    await edit(page, 'insertText', '2');
    await pause(300);
    if (await page.evaluate(() => window.floatingPoint.runs) !== runs) fail('a key other than Enter restarts the program');
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
    const [shown] = await cursorRows(page);
    const underSeparator = await page.evaluate(() => {
        const buffer = window.floatingPoint.terminal.buffer.active;
        const rows = [...Array(buffer.length).keys()].map((at) => buffer.getLine(at).translateToString(true).trimEnd());
        const separator = rows.findLastIndex((row) => row.startsWith('──────── run '));
        return rows.slice(separator + 1, separator + 3);
    });
    if (underSeparator.join('|') !== '|Select the languages/Seleziona la lingua:') fail(`under the separator: ${JSON.stringify(underSeparator)}`);
    await typeAnswers(page, ['1']);
    const lines = await runLines(page);
    if (shown !== '--------------------------------->Choose/Scelta:' || lines[4] !== '--------------------------------->Choose/Scelta: 1'
        || lines[6] !== 'Press 1 to convert binary-decimal') {
        fail(`what was typed before the restart reaches the new run: ${JSON.stringify([shown, ...lines.slice(4, 7)])}`);
    }
}

// Ctrl-C over the answer's own text (selected with Ctrl-A or a long press) copies it and the program goes on; with
// nothing selected it interrupts the program, as at a terminal, and the page says so in both
// languages, and that copying needs a selection.
export async function checkCtrlC({ page, fail }) {
    await waitForPrompt(page);
    await page.keyboard.type('12');
    await page.evaluate(() => document.getElementById('answer').select());  // as Ctrl-A or a long press selects
    await pressWithControl(page, 'KeyC');
    const copied = await throughClipboard(page, 'KeyV');
    const running = await page.evaluate(() => {
        const field = document.getElementById('answer');
        field.setSelectionRange(field.value.length, field.value.length);
        return window.floatingPoint.discipline !== null;
    });
    if (copied !== '12' || !running) fail(`Ctrl-C over the answer's text: copied ${JSON.stringify(copied)}, the program still running ${running}`);
    await pressWithControl(page, 'KeyC');
    await waitForEnd(page);
    const said = await page.evaluate(() => window.floatingPoint.text.toString());
    const message = '[Ctrl-C interrupted the program; to copy, select the text first. / '
        + 'Ctrl-C ha interrotto il programma; per copiare, seleziona prima il testo.]';
    if (await status(page) !== 130 || !(await runLines(page)).some((line) => line.endsWith('Scelta: 12^C')) || !said.includes(`12^C\n${message}\n`)) {
        fail(`Ctrl-C with nothing selected: status ${await status(page)}, ${JSON.stringify(said.slice(-300))}`);
    }
    await page.keyboard.press('Enter');
}

// The text an input method composes shows on the answer's line as it is composed, before it
// is committed.
export async function checkCompositionShown(context) {
    const { page, fail } = context;
    await toMenu(page);
    await typeAnswers(page, ['2']);
    await composeWithoutCommit(context, ['5', '5.', '5.7']);
    const [composing] = await cursorRows(page);
    await commitComposition(context, '5.75');
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
    if (composing !== 'Insert decimal value: 5.7') fail(`while an input method composes, the line shows ${JSON.stringify(composing)}`);
}

// A click on the heading or the help gives the keys back to the answer.
export async function checkClickOnThePage({ page, fail }) {
    await toMenu(page);
    for (const selector of ['h1', 'header p']) {
        await page.click(selector);
        await page.keyboard.type('2');
        const line = await page.evaluate(() => window.floatingPoint.discipline.line);
        await page.keyboard.press('Backspace');
        if (line !== '2') fail(`a key after a click on ${selector} reaches the answer as ${JSON.stringify(line)}`);
    }
}

// The prompt's row as the screen shows it, and the row below.
const cursorRows = (page) => page.evaluate(async () => {
    const { terminal } = window.floatingPoint;
    await new Promise((resolve) => terminal.write('', resolve));
    const buffer = terminal.buffer.active;
    const row = buffer.baseY + buffer.cursorY;
    const text = (at) => buffer.getLine(at)?.translateToString(true).trimEnd() ?? '';
    const start = [...Array(row + 1).keys()].reverse().find((at) => !buffer.getLine(at).isWrapped);
    return [text(start), text(start + 1), text(start + 2)];
});

// What a line shows that a terminal could not put on the prompt's row as typed: a combining
// mark or a direction mark at its start leaves the prompt as it was, a mark shown on a dotted
// circle, and Backspace takes it all back; a lone surrogate shows as U+FFFD, what the program
// gets; a line that wraps onto a second row is erased from both by Backspace and by Ctrl-U.
export async function checkLinesThatShowOddly({ page, fail }) {
    await toMenu(page);
    const [prompt] = await cursorRows(page);
    const cases = [['a combining mark', '\u0301', `${prompt} \u25cc\u0301`], ['a direction mark', '\u200f', prompt],
                   ['a lone surrogate', '\ud800', `${prompt} \ufffd`]];
    for (const [what, typed, shown] of cases) {
        await edit(page, 'insertText', typed);
        const [withIt] = await cursorRows(page);
        await page.keyboard.press('Backspace');
        const [after] = await cursorRows(page);
        if (withIt !== shown || after !== prompt) fail(`${what} at the start of a line: shows ${JSON.stringify(withIt)}, then ${JSON.stringify(after)}`);
        await pressWithControl(page, 'KeyU');
    }
    await page.evaluate(() => window.floatingPoint.terminal.resize(60, window.floatingPoint.terminal.rows));
    const pattern = '01000000101000000000000000000000';  // with the prompt, more than a row
    const backspaces = async () => { for (const _ of pattern) await page.keyboard.press('Backspace'); };
    for (const [what, eraseAll] of [['Backspace', backspaces], ['Ctrl-U', () => pressWithControl(page, 'KeyU')]]) {
        await page.keyboard.type(pattern);
        const wrapped = await cursorRows(page);
        await eraseAll();
        const rows = await cursorRows(page);
        if (wrapped[1] === '' || rows[0] !== prompt || rows[1] !== '') fail(`${what} over a wrapped line leaves ${JSON.stringify(rows)}`);
    }
    await page.evaluate(() => window.dispatchEvent(new Event('resize')));  // refitted to the window
}

// Tab leaves the terminal for what follows (the licences, or a field of the test's own: WebKit
// moves between text fields only), typing nothing; a click on the terminal gives the focus back.
export async function checkTab({ page, fail }) {
    await page.evaluate(() => { document.body.appendChild(document.createElement('input')).id = 'after'; });
    await page.keyboard.press('Tab');
    const left = await page.evaluate(() => !document.activeElement.closest('#terminal') && document.getElementById('answer').value === '');
    await page.evaluate(() => {
        document.getElementById('after').remove();
        document.querySelector('#terminal .xterm-screen').click();
    });
    if (!left || await page.evaluate(() => document.activeElement.id) !== 'answer') fail('Tab');
}

// The help names what works on the device, and the answer field has a label in both languages.
export const checkHelp = (onTouch) => async function checkHelp({ page, fail }) {
    const help = await page.evaluate(() => [...document.querySelectorAll('header p, #end-of-input')]
        .filter((element) => element.offsetParent !== null).map((element) => element.textContent).join(' '));
    if (help.includes('Ctrl-D') === onTouch || help.includes('Fine input') !== onTouch) fail(`the help: ${help}`);
    const label = await page.evaluate(() => document.getElementById('answer').getAttribute('aria-label'));
    if (label !== 'Your answer / La tua risposta') fail(`the answer's label: ${label}`);
    // On a touch screen the End input button is a fingertip's size, in the lower part where a thumb reaches.
    const button = await page.evaluate(() => document.getElementById('end-of-input').getBoundingClientRect().toJSON());
    if (onTouch && (button.width < 44 || button.height < 44 || button.top < 0.75 * await page.evaluate(() => innerHeight))) {
        fail(`the End input button: ${JSON.stringify(button)}`);
    }
};

// A tap on the terminal gives the answer field the focus anew, which raises a keyboard that
// was put away, and the End input button leaves the focus there.
export async function checkTap({ page, fail }) {
    await page.evaluate(() => {
        const field = document.getElementById('answer');
        window.refocused = 0;  // the field's focus given up for nothing and taken again, as only the tap does
        let gaveUp = false;
        field.addEventListener('blur', (event) => { gaveUp = event.relatedTarget === null; });
        field.addEventListener('focus', () => { window.refocused += gaveUp ? 1 : 0; });
    });
    const screen = await page.evaluate(() => document.querySelector('#terminal .xterm-screen').getBoundingClientRect().toJSON());
    await page.touchscreen.tap(screen.x + screen.width / 2, screen.y + screen.height / 2);
    await page.tap('#end-of-input');
    if (await page.evaluate(() => window.refocused < 1 || document.activeElement.id !== 'answer')) fail('a tap does not give the answer the focus anew');
    await waitForEnd(page);
    await page.keyboard.press('Enter');
}
