// The dialogue through the page: transcripts, typed sessions against the real terminal's
// screens, hostile input, and the session kept over restarts.
import { readdirSync, readFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { enterOnLongLine, LONG_LINE_ZEROS, pressWithControl, runLines, runWithInput, throughClipboard, typeAnswers,
         waitForEnd, waitForPrompt } from './page_driver.mjs';

const screens = join(dirname(fileURLToPath(import.meta.url)), '../../tests/terminal');

// Each folder's NAME.in, fed through the page's input queue, gives NAME.out byte for byte.
export async function checkTranscripts({ page, fail, transcripts }) {
    for (const folder of transcripts) {
        for (const name of readdirSync(folder).filter((file) => file.endsWith('.in')).sort()) {
            await waitForPrompt(page);
            const output = await runWithInput(page, readFileSync(join(folder, name)));
            if (!output.equals(readFileSync(join(folder, name.replace(/\.in$/, '.out'))))) fail(`${folder}/${name} differs`);
        }
    }
}

// The terminal test's answers, typed key by key once each prompt shows, give its screens; Enter
// then starts the next run below a separator, the earlier run still there.
export async function checkTypedSessions({ page, fail }) {
    await page.evaluate(() => window.floatingPoint.terminal.resize(120, 60));
    for (const language of ['english', 'italian']) {
        const answers = readFileSync(join(screens, `${language}.answers`), 'utf8').split('\n')[0].split(' ');
        await typeAnswers(page, answers.slice(0, -1));
        await page.keyboard.type(`${answers.at(-1)}\n`);
        await waitForEnd(page);
        // The terminal test's screen ends with the shell's status line and prompt.
        const expected = readFileSync(join(screens, `${language}.screen`), 'utf8').trimEnd().split('\n').slice(0, -2);
        const shown = (await runLines(page)).slice(0, expected.length);
        if (shown.join('\n') !== expected.join('\n')) fail(`the ${language} screen differs:\n${shown.join('\n')}`);
        await page.keyboard.press('Enter');
    }
    const all = await page.evaluate(() => window.floatingPoint.text.toString());
    if (!/0\|10000001\|01000000000000000000000[^]*\n─+ run \d+ \/ esecuzione \d+ ─+\n[^]*Il numero in binario è/.test(all)) {
        fail('a restart does not keep the earlier run above a separator');
    }
}

// A 10 MB line and NUL bytes through the input queue, and pasted, a thousand lines and one line
// of 10 MB whose last characters decide its value (0.000...05e10485761 is 5): answered as the
// native program does, the long line shown by its two ends; Enter on the long line stalls the
// page briefly (the longest gap between ticks of a 10 ms timer, reported): 61 to 84 ms were
// measured here, most of it the program's conversion of the 10 MB number, which has no read to
// pause at.
const ENTER_STALLS_AT_MOST = 200;  // ms
export async function checkHostileInput({ page, fail }) {
    await waitForPrompt(page);
    const bigPattern = Buffer.concat([Buffer.from('1\n1\n'), Buffer.alloc(10 << 20, '0'), Buffer.from('\n\0\n10\n')]);
    const output = (await runWithInput(page, bigPattern)).toString('latin1');
    if (output.match(/Insert a valid number!/g)?.length !== 3 || !output.endsWith('Ludano Corbaro\n')) fail('a 10 MB pattern');
    await waitForPrompt(page);
    await throughClipboard(page, 'KeyC', `1\n2\n${'0.5\n0\n2\n'.repeat(999)}0.5\nn\n`);
    await pressWithControl(page, 'KeyV');
    await waitForEnd(page);
    const pasted = await page.evaluate(async () => (await window.floatingPoint.ended).output.text());
    if (pasted.match(/The binary number is: 0\|01111110\|0{23}\n/g)?.length !== 1000) fail('a thousand lines pasted');
    await page.keyboard.press('Enter');
    const stall = await enterOnLongLine(page);
    const shown = (await runLines(page)).join('').replace(/Would you like[^]*/, '');
    const expected = `decimal value: 0.${'0'.repeat(1998)} [... ${LONG_LINE_ZEROS + 12 - 4000} characters not shown / caratteri non mostrati ...] `
        + `${'0'.repeat(1990)}5e${LONG_LINE_ZEROS + 1}The binary number is: 0|10000001|01000000000000000000000`;
    if (!shown.endsWith(expected) || stall > ENTER_STALLS_AT_MOST) fail(`Enter on a pasted line of 10 MB: the page stalled ${stall.toFixed(0)} ms, ${shown.slice(-200)}`);
    console.log(`Enter on a pasted line of 10 MB: answered, the page stalled at most ${stall.toFixed(0)} ms`);
}
