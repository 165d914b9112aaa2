// Every way a learner's text reaches the page, each ending in the program's exact result line,
// the screen showing the line the program got; the clipboard; Ctrl-D, Ctrl-C and the restart;
// Tab; a touch screen; the help.
import { decimalPasses, edit, pause, pressWithControl, runLines, status, throughClipboard, toMenu,
         typeAnswers, waitForEnd, waitForPrompt } from './page_driver.mjs';

const RESULTS = { '5.75': '0|10000001|01110000000000000000000', '0.1': '0|01111011|10011001100110011001100',
                  '1.525': '0|01111111|10000110011001100110011', 5: '0|10000001|01000000000000000000000' };

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
    async compose({ page, cdp }, texts) {
        if (cdp) {
            for (const text of texts) await cdp.send('Input.imeSetComposition', { text, selectionStart: text.length, selectionEnd: text.length });
            return cdp.send('Input.insertText', { text: texts.at(-1) });
        }
        return page.evaluate((all) => {
            const field = document.getElementById('answer');
            field.dispatchEvent(new CompositionEvent('compositionstart'));
            for (const data of all) {
                field.value = data;
                field.dispatchEvent(new InputEvent('input', { inputType: 'insertCompositionText', data, isComposing: true }));
            }
            field.dispatchEvent(new CompositionEvent('compositionend', { data: all.at(-1) }));
        }, texts);
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
    ['keys that mean nothing', '1.525', ['type', '1.5'], ['press', 'ArrowLeft', 'ArrowLeft', 'Home', 'ArrowUp', 'ArrowDown',
                                                         'PageUp', 'Delete', 'F2', 'End', 'ArrowRight'], ['type', '25\n']],
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
        terminal.selectLines(row, row);
        const copy = new ClipboardEvent('copy', { clipboardData: new DataTransfer(), bubbles: true });
        terminal.textarea.dispatchEvent(copy);
        return copy.clipboardData.getData('text/plain');
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
    if (copied !== line || menuCopy !== line || menuPaste !== '00') fail(`copied ${JSON.stringify([copied, menuCopy, menuPaste])}`);
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
    if (await page.evaluate(() => document.getElementById('answer').value) !== '') fail('what was typed before Enter stays');
}

// Ctrl-C with nothing selected interrupts the program, as at a terminal.
export async function checkInterrupt({ page, fail }) {
    await waitForPrompt(page);
    await page.keyboard.type('12');
    await pressWithControl(page, 'KeyC');
    await waitForEnd(page);
    if (await status(page) !== 130 || !(await runLines(page)).some((line) => line.endsWith('Scelta: 12^C'))) fail('Ctrl-C');
    await page.keyboard.press('Enter');
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
        window.focusEvents = 0;
        document.getElementById('answer').addEventListener('focus', () => { window.focusEvents += 1; });
    });
    const screen = await page.evaluate(() => document.querySelector('#terminal .xterm-screen').getBoundingClientRect().toJSON());
    await page.touchscreen.tap(screen.x + screen.width / 2, screen.y + screen.height / 2);
    await page.tap('#end-of-input');
    if (await page.evaluate(() => window.focusEvents < 1 || document.activeElement.id !== 'answer')) fail('a tap');
    await waitForEnd(page);
    await page.keyboard.press('Enter');
}
