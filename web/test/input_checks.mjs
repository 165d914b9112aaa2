// Every way a learner's text reaches the page: key presses, text inserted without a key press
// (a soft keyboard's suggestion, dictation, an input method's commit), autocorrect replacing a
// word, a soft keyboard's Backspace and Enter as edits alone, Android's key code 229, input
// method composition, the clipboard keys; the keys that mean nothing; Ctrl-D and Ctrl-C; the
// restart; a touch screen's button and tap. Each path must give the program the typed answer
// once, with the screen showing the line the program got.
import { clipboardText, edit, pressWithControl, putOnClipboard, runLines, toMenu, typeAnswers, waitForEnd,
         waitForPrompt } from './page_driver.mjs';

const RESULTS = {
    '5.75': 'The binary number is: 0|10000001|01110000000000000000000',
    '0.1': 'The binary number is: 0|01111011|10011001100110011001100',
    '1.525': 'The binary number is: 0|01111111|10000110011001100110011',
    '5': 'The binary number is: 0|10000001|01000000000000000000000',
};
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function toDecimalPrompt(page) {
    await toMenu(page);
    await typeAnswers(page, ['2']);
    await waitForPrompt(page);
}

// The value typed at the decimal prompt, as the screen shows it, and its result line must be
// those of `value`, and the program must then wait at the restart question with nothing left over.
async function expectResult({ page, fail }, path, value) {
    await waitForPrompt(page).catch(() => {});
    const lines = await runLines(page);
    const at = lines.findLastIndex((line) => line.startsWith('Insert decimal value: '));
    const got = lines.slice(at, at + 2);
    const waiting = lines.at(-1) === '--------------------------------->Choose/Scelta:';
    if (got[0] !== `Insert decimal value: ${value}` || got[1] !== RESULTS[value] || !waiting) {
        fail(`${path}: the screen shows ${JSON.stringify(lines.slice(at))}`);
    }
}

// In every engine: text inserted without a key press, one character or a whole dictated number
// at a time, a soft keyboard's Backspace and Enter as edits alone, an autocorrect replacement.
export async function checkEditsWithoutKeys(context) {
    const { page } = context;
    await toDecimalPrompt(page);
    await edit(page, 'insertText', '5.75');
    await edit(page, 'insertLineBreak');
    await expectResult(context, 'dictation', '5.75');

    await toDecimalPrompt(page);
    for (const char of '5.79') await edit(page, 'insertText', char);
    await edit(page, 'delete');
    await edit(page, 'insertText', '5');
    await edit(page, 'insertLineBreak');
    await expectResult(context, 'a soft keyboard\'s Backspace', '5.75');

    await toDecimalPrompt(page);
    await edit(page, 'insertText', '5.7s');
    await page.evaluate(() => {
        const field = document.getElementById('answer');
        field.setRangeText('5.75', 0, 4, 'end');
        field.dispatchEvent(new InputEvent('input', { inputType: 'insertReplacementText', bubbles: true }));
    });
    await page.keyboard.press('Enter');
    await expectResult(context, 'an autocorrect replacement', '5.75');
}

// Android's keyboards report each character as key code 229 and an edit, as fast as a swipe.
// Chromium's are the browser's own events; elsewhere the key events are the page's.
export async function checkKeyCode229(context, cdp) {
    const { page } = context;
    await toDecimalPrompt(page);
    for (const text of ['0', '.', '1', '\n']) {
        if (cdp) {
            await cdp.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', windowsVirtualKeyCode: 229, key: 'Unidentified' });
            await cdp.send('Input.insertText', { text });
            await cdp.send('Input.dispatchKeyEvent', { type: 'keyUp', windowsVirtualKeyCode: 229, key: 'Unidentified' });
        } else {
            await page.evaluate((t) => {
                const field = document.getElementById('answer');
                const key = new KeyboardEvent('keydown', { key: 'Unidentified', bubbles: true, cancelable: true });
                Object.defineProperty(key, 'keyCode', { value: 229 });
                field.dispatchEvent(key);
                document.execCommand(t === '\n' ? 'insertLineBreak' : 'insertText', false, t);
            }, text);
        }
    }
    await expectResult(context, 'key code 229', '0.1');
}

// An input method's composition: composed, a character taken back inside it, committed; Enter
// while composing commits and does not hand the line over. Chromium's are the browser's own.
export async function checkComposition(context, cdp) {
    const { page } = context;
    await toDecimalPrompt(page);
    if (cdp) {
        for (const text of ['5', '5.', '5.7', '5.79', '5.7']) {
            await cdp.send('Input.imeSetComposition', { text, selectionStart: text.length, selectionEnd: text.length });
        }
        await cdp.send('Input.insertText', { text: '5.75' });
    } else {
        await page.evaluate(() => {
            const field = document.getElementById('answer');
            field.dispatchEvent(new CompositionEvent('compositionstart', { data: '' }));
            for (const text of ['5', '5.', '5.7', '5.79', '5.7', '5.75']) {
                field.value = text;
                field.dispatchEvent(new InputEvent('input', { inputType: 'insertCompositionText', data: text, isComposing: true }));
            }
            field.dispatchEvent(new CompositionEvent('compositionend', { data: '5.75' }));
        });
    }
    await page.keyboard.press('Enter');
    await expectResult(context, 'composition', '5.75');
}

// Ctrl-V pastes (Ctrl-Shift-V and Shift-Insert are the browser's own); Ctrl-C copies a selected
// line, without its trailing blanks.
export async function checkClipboardKeys(context) {
    const { page, fail } = context;
    await toDecimalPrompt(page);
    await putOnClipboard(page, '5.75\n');
    await pressWithControl(page, 'KeyV');
    await expectResult(context, 'Ctrl-V', '5.75');

    const row = await page.evaluate(() => {
        const { terminal } = window.floatingPoint;
        const buffer = terminal.buffer.active;
        for (let y = buffer.length - 1; y >= 0; --y) {
            if (buffer.getLine(y).translateToString(true).startsWith('Would you like')) {
                terminal.selectLines(y + 1, y + 1);  // "Press 0 to continue, another to esc: ", whose blank is cut
                return y + 1;
            }
        }
        return -1;
    });
    await pressWithControl(page, 'KeyC');
    const copied = await clipboardText(page);
    const running = await page.evaluate(() => window.floatingPoint.discipline !== null);
    if (row < 0 || copied !== 'Press 0 to continue, another to esc:' || !running) {
        fail(`Ctrl-C on a selected line copies ${JSON.stringify(copied)}, the program ${running ? 'runs' : 'has ended'}`);
    }
    await page.evaluate(() => window.floatingPoint.terminal.clearSelection());
}

// Cursor, Home/End, Delete, Page and function keys type nothing and move nothing: what follows
// them goes to the end of the line.
export async function checkKeysThatDoNothing(context) {
    const { page } = context;
    await toDecimalPrompt(page);
    await page.keyboard.type('1.5');
    for (const key of ['ArrowLeft', 'ArrowLeft', 'Home', 'ArrowUp', 'ArrowDown', 'PageUp', 'Delete', 'F2', 'End', 'ArrowRight']) {
        await page.keyboard.press(key);
    }
    await page.keyboard.type('25');
    await page.keyboard.press('Enter');
    await expectResult(context, 'keys that mean nothing', '1.525');
}

// Tab leaves the answer field for what follows it (a field of the test's own: WebKit moves only
// between text fields), typing nothing; a click on the terminal gives the focus back.
export async function checkTabLeaves({ page, fail }) {
    await waitForPrompt(page);
    await page.evaluate(() => { document.body.appendChild(document.createElement('input')).id = 'after-terminal'; });
    await page.keyboard.press('Tab');
    const left = await page.evaluate(() => document.activeElement?.id === 'after-terminal'
                                           && document.getElementById('answer').value === '');
    await page.evaluate(() => document.querySelector('#terminal .xterm-screen').click());
    const back = await page.evaluate(() => document.activeElement?.id === 'answer');
    await page.evaluate(() => document.getElementById('after-terminal').remove());
    if (!left || !back) fail(`Tab: ${left ? '' : 'does not leave the field; '}${back ? '' : 'a click does not come back'}`);
}

// Ctrl-D on a line with text hands it over without a line end: the program waits for the rest
// of its token. Ctrl-D on the empty line then ends the input.
export async function checkCtrlD(context) {
    const { page, fail } = context;
    await toDecimalPrompt(page);
    await page.keyboard.type('5');
    await pressWithControl(page, 'KeyD');
    await pause(300);
    const lines = await runLines(page);
    if (lines.at(-1) !== 'Insert decimal value: 5' || await page.evaluate(() => window.floatingPoint.discipline === null)) {
        fail(`Ctrl-D after "5" ends more than the line: ${JSON.stringify(lines.slice(-2))}`);
    }
    await page.keyboard.press('Enter');
    await expectResult(context, 'Ctrl-D, then Enter', '5');
    await pressWithControl(page, 'KeyD');
    await waitForEnd(page);
    const { status } = await page.evaluate(() => window.floatingPoint.ended);
    const end = (await runLines(page)).slice(-3);
    if (status !== 0 || end[0] !== 'Sviluppato da Vantelli Edmondo e Ludano Corbaro') {
        fail(`Ctrl-D on an empty line: status ${status}, the run ends ${JSON.stringify(end)}`);
    }
}

// Once the program has ended, only Enter starts it again: keys and text do nothing.
export async function checkOnlyEnterRestarts({ page, fail }) {
    await waitForEnd(page);
    const runs = await page.evaluate(() => window.floatingPoint.runs);
    await page.keyboard.type('x 1');
    for (const key of ['Backspace', 'Escape', 'ArrowUp', 'Tab']) await page.keyboard.press(key);
    await page.evaluate(() => document.getElementById('answer').focus());
    await pressWithControl(page, 'KeyD');
    await edit(page, 'insertText', '2');
    await pause(300);
    if (await page.evaluate(() => window.floatingPoint.runs) !== runs) fail('a key other than Enter restarts the program');
    await page.keyboard.press('Enter');
    await page.waitForFunction((n) => window.floatingPoint.runs === n + 1, {}, runs);
    await waitForPrompt(page);
    const typedBefore = await page.evaluate(() => document.getElementById('answer').value);
    if (typedBefore !== '') fail(`what was typed before Enter is still on the line: ${JSON.stringify(typedBefore)}`);
}

// Ctrl-C with nothing selected interrupts the program, as at a terminal.
export async function checkCtrlCInterrupts({ page, fail }) {
    await waitForPrompt(page);
    await page.keyboard.type('12');
    await pressWithControl(page, 'KeyC');
    await waitForEnd(page);
    const { status } = await page.evaluate(() => window.floatingPoint.ended);
    const lines = await runLines(page);
    if (status !== 130 || !lines.includes('--------------------------------->Choose/Scelta: 12^C')) {
        fail(`Ctrl-C: status ${status}, ${JSON.stringify(lines.slice(-4))}`);
    }
    await page.keyboard.press('Enter');
}

// On a touch screen: the help names what works there, a button does what Ctrl-D does, and a tap
// on the terminal gives the field the focus anew, which raises a keyboard that was put away.
export async function checkTouchScreen({ page, fail }) {
    await waitForPrompt(page);
    const help = await page.evaluate(() => [...document.querySelectorAll('header p')]
        .filter((p) => p.offsetParent !== null).map((p) => p.textContent).join(' '));
    if (!help.includes('End input') || !help.includes('Fine input') || help.includes('Ctrl')) {
        fail(`the help on a touch screen: ${help}`);
    }
    const focusEvents = () => page.evaluate(() => window.answerFocusEvents);
    await page.evaluate(() => {
        window.answerFocusEvents = 0;
        document.getElementById('answer').addEventListener('focus', () => { window.answerFocusEvents += 1; });
    });
    const box = await page.evaluate(() => {
        const rect = document.querySelector('#terminal .xterm-screen').getBoundingClientRect();
        return { x: rect.left + rect.width / 2, y: rect.top + rect.height / 2 };
    });
    await page.touchscreen.tap(box.x, box.y);
    if (await focusEvents() < 1) fail('a tap on the terminal does not give the answer field the focus again');
    await toDecimalPrompt(page);
    await page.keyboard.type('5');
    await page.tap('#end-of-input');
    await pause(300);
    await page.keyboard.press('Enter');
    await expectResult({ page, fail }, 'the End input button after "5"', '5');
    await page.tap('#end-of-input');
    await waitForEnd(page);
    const stillFocused = await page.evaluate(() => document.activeElement?.id === 'answer');
    if (!stillFocused) fail('the End input button takes the focus from the answer field');
    await page.keyboard.press('Enter');
}

// On a desktop the help names the keys.
export async function checkKeyboardHelp({ page, fail }) {
    const help = await page.evaluate(() => [...document.querySelectorAll('header p, header button')]
        .filter((p) => p.offsetParent !== null).map((p) => p.textContent).join(' '));
    if (!help.includes('Ctrl-D') || !help.includes('Ctrl-V') || help.includes('End input')) fail(`the help on a desktop: ${help}`);
}

// The output is announced to a screen reader, and the answer field is labelled in both languages.
export async function checkScreenReader({ page, fail }) {
    await toDecimalPrompt(page);
    await page.keyboard.type('5.75');
    await page.keyboard.press('Enter');
    await page.waitForFunction((line) => document.querySelector('.xterm-accessibility-tree')?.textContent.includes(line),
                               { timeout: 5000 }, RESULTS['5.75']).catch(() => fail('the screen-reader text lacks the result line'));
    const label = await page.evaluate(() => document.getElementById('answer').getAttribute('aria-label'));
    if (label !== 'Your answer / La tua risposta') fail(`the answer field's label: ${label}`);
}
