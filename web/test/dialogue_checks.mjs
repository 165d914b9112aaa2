// The dialogue through the page: transcripts, typed sessions against the real terminal's
// screens, line editing, hostile input, and the session kept over restarts.
import { readdirSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { edit, pressWithControl, putOnClipboard, runLines, runWithInput, screenLines, typeAnswers, waitForEnd, waitForPrompt,
         waitForRun } from './page_driver.mjs';

const screens = join(dirname(fileURLToPath(import.meta.url)), '../../tests/terminal');

// Each folder's NAME.in, fed through the page's input queue, gives NAME.out byte for byte.
export async function checkTranscripts({ page, fail }, folders) {
    for (const folder of folders) {
        for (const name of readdirSync(folder).filter((file) => file.endsWith('.in')).sort()) {
            await waitForPrompt(page);
            const output = await runWithInput(page, readFileSync(join(folder, name)));
            const expected = readFileSync(join(folder, name.replace(/\.in$/, '.out')));
            if (!output.equals(expected)) fail(`${join(folder, name)}: the output differs`);
        }
    }
}

// The terminal test's answers, typed key by key once each prompt shows, give its screens; Enter
// then starts the next run below, after a separator, with the earlier run still there.
export async function checkTypedSessions({ page, fail }) {
    await page.evaluate(() => window.floatingPoint.terminal.resize(120, 60));
    for (const language of ['english', 'italian']) {
        const run = await page.evaluate(() => window.floatingPoint.runs);
        const answers = readFileSync(join(screens, `${language}.answers`), 'utf8').split('\n')[0].split(' ');
        await typeAnswers(page, answers);
        await waitForEnd(page);
        // The terminal test's screen ends with the shell's status line and prompt.
        const expected = readFileSync(join(screens, `${language}.screen`), 'utf8').trimEnd().split('\n').slice(0, -2);
        const shown = (await runLines(page)).slice(0, expected.length);
        if (shown.join('\n') !== expected.join('\n')) fail(`the ${language} screen differs:\n${shown.join('\n')}`);
        await page.keyboard.press('Enter');
        await waitForRun(page, run + 1);
    }
    const lines = await screenLines(page);
    const separator = lines.findIndex((line) => /^─+ run \d+ \/ esecuzione \d+ ─+$/.test(line));
    const englishResult = lines.indexOf('The binary number is: 0|10000001|01000000000000000000000');
    if (separator < 0 || englishResult < 0 || englishResult > lines.lastIndexOf('Il numero in binario è: 1|10000000|10100000000000000000000')) {
        fail('a restart does not keep the earlier runs above a separator');
    }
}

// Backspace, Ctrl-U and text inserted without a key press, then Ctrl-D at the menu: the input
// ends there.
export async function checkEditing({ page, fail }) {
    await waitForPrompt(page);
    await page.keyboard.type('3');
    await page.keyboard.press('Backspace');
    await page.keyboard.type('2x');
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Enter');
    await typeAnswers(page, ['2']);
    await waitForPrompt(page);
    await page.keyboard.type('99');
    await pressWithControl(page, 'KeyU');
    await edit(page, 'insertText', '-0.1\n0\n');
    await waitForPrompt(page);
    await pressWithControl(page, 'KeyD');
    const { status } = await page.evaluate(() => window.floatingPoint.ended);
    const screen = await runLines(page);
    const wanted = ['--------------------------------->Choose/Scelta: 2', 'Inserisci valore decimale: -0.1',
                    'Il numero in binario è: 1|01111011|10011001100110011001100', '--------------------------------->Scelta:',
                    'Sviluppato da: Vantelli Edmondo e Corbaro Ludano'];
    const missing = wanted.filter((line) => !screen.includes(line));
    if (status !== 0 || missing.length > 0) fail(`editing: status ${status}, missing ${JSON.stringify(missing)}`);
    await page.keyboard.press('Enter');
}

// A 10 MB line, NUL bytes and a thousand lines, through the input queue and pasted: answered
// as the native program does, the 10 MB line shown by its two ends.
export async function checkHostileInput({ page, fail }) {
    await waitForPrompt(page);
    const bigPattern = Buffer.concat([Buffer.from('1\n1\n'), Buffer.alloc(10 << 20, '0'), Buffer.from('\n\0\n10\n')]);  // three invalid patterns
    const output = (await runWithInput(page, bigPattern)).toString('latin1');
    if ((output.match(/Insert a valid number!/g) ?? []).length !== 3 || !output.endsWith('Ludano Corbaro\n')) {
        fail(`a 10 MB pattern: the output ends ${JSON.stringify(output.slice(-300))}`);
    }
    await waitForPrompt(page);
    await putOnClipboard(page, `1\n2\n${'0.5\n0\n2\n'.repeat(999)}0.5\nn\n`);
    await pressWithControl(page, 'KeyV');
    const { status, output: pasted } = await page.evaluate(async () => {
        const { status, output } = await window.floatingPoint.ended;
        return { status, output: await output.text() };
    });
    if (status !== 0 || (pasted.match(/The binary number is: 0\|01111110\|0{23}\n/g) ?? []).length !== 1000) {
        fail(`a thousand lines pasted: status ${status}`);
    }
    await page.keyboard.press('Enter');
    await checkLongPaste({ page, fail });
}

// One pasted line of 10 MB, whose value its last characters decide (0.000...05e10000001 is 5),
// goes to the program whole and is answered without stalling the page: the screen shows the
// line's two ends. The longest stall is reported; more than 5 s fails.
async function checkLongPaste({ page, fail }) {
    const zeros = 10 << 20;
    await typeAnswers(page, ['1', '2']);
    await waitForPrompt(page);
    await putOnClipboard(page, `0.${'0'.repeat(zeros)}5e${zeros + 1}`);
    await page.evaluate(() => {
        window.stalls = [];
        let last = performance.now();
        window.heartbeat = setInterval(() => {
            window.stalls.push(performance.now() - last);
            last = performance.now();
        }, 10);
    });
    await pressWithControl(page, 'KeyV');
    await page.keyboard.press('Enter');
    await waitForPrompt(page);
    const stall = await page.evaluate(() => {
        clearInterval(window.heartbeat);
        return Math.max(...window.stalls);
    });
    const lines = await runLines(page);
    const at = lines.findLastIndex((line) => line.startsWith('Insert decimal value: 0.000'));
    const shown = lines.slice(at, lines.findLastIndex((line) => line.startsWith('The binary number is:'))).join('');
    const shortened = /^Insert decimal value: 0\.0{1998} \[\.\.\. \d+ characters not shown \/ caratteri non mostrati \.\.\.\] 0+5e10485761$/.test(shown);
    if (!lines.includes('The binary number is: 0|10000001|01000000000000000000000') || !shortened || stall > 5000) {
        fail(`a pasted line of 10 MB: stalled ${stall} ms, ${JSON.stringify(lines.slice(-12).map((line) => line.slice(0, 80)))}`);
    }
    console.log(`a pasted line of 10 MB: answered, the page stalled at most ${stall.toFixed(0)} ms`);
    await pressWithControl(page, 'KeyD');
    await waitForEnd(page);
    await page.keyboard.press('Enter');
}
