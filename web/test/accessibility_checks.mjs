// What the page shows to every user and to assistive technology: axe-core finds no violation as
// the page loads, with the licences open and (Chromium, which emulates them) under forced colours,
// light and dark; the keyboard's focus shows as a ring round the terminal, styled and drawn; under forced colours
// the cursor shows and the answer field's own text does not.
import { readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { newRun, pause, pressWithControl, throughClipboard, toMenu, typeAnswers, waitForPrompt } from './page_driver.mjs';

const AXE = readFileSync(join(resolve(process.env.FP_NODE_MODULES), 'axe-core/axe.min.js'), 'utf8');

// Under forced colours the theme sets every colour, and axe's contrast rule still reads the
// page's own (it found #eee on white where the screen shows black on white): that rule is left out.
async function violations(page, forcedColours) {
    await page.evaluate((source) => { if (!window.axe) (0, eval)(source); }, AXE);
    return page.evaluate(async (rules) => (await window.axe.run(document, { resultTypes: ['violations'], rules })).violations
        .map((found) => `${found.id} at ${found.nodes.map((node) => node.target.join(' ')).join(', ')}`),
    forcedColours ? { 'color-contrast': { enabled: false } } : {});
}

// The terminal's ring while the answer field has the focus, and the cursor and field as drawn.
const looks = (page) => page.evaluate(() => {
    const ring = getComputedStyle(document.getElementById('terminal'), '::after');
    const cursor = document.querySelector('#terminal .xterm-cursor');
    const see = (colour) => colour !== 'rgba(0, 0, 0, 0)' && colour !== 'transparent';
    return {
        ring: document.activeElement.id === 'answer' && ring.borderTopStyle === 'solid' && parseFloat(ring.borderTopWidth) >= 2,
        cursor: cursor !== null && (see(getComputedStyle(cursor).backgroundColor) || getComputedStyle(cursor).outlineStyle !== 'none'),
        fieldText: see(getComputedStyle(document.getElementById('answer')).color),
    };
});

// The focus seen: the terminal's left edge (no cursor there) drawn otherwise while the answer field has the focus
// than once it has lost it (where the driver takes screenshots).
async function focusSeen(page) {
    if (!page.screenshot) return true;
    const box = await page.evaluate(() => document.getElementById('terminal').getBoundingClientRect().toJSON());
    const edge = () => page.screenshot({ clip: { x: box.x, y: box.y, width: 2, height: box.height } });
    const focused = await edge();
    await page.evaluate(() => document.getElementById('answer').blur());
    const blurred = await edge();
    await page.evaluate(() => document.getElementById('answer').focus());
    return !Buffer.from(focused).equals(Buffer.from(blurred));
}

export async function checkAccessibility({ page, fail }, cdp) {
    await waitForPrompt(page);
    await page.keyboard.type('12');
    const states = [['as loaded', () => null], ['with the licences open', () => page.evaluate(() => {
        document.querySelector('footer details').open = true;
        document.getElementById('answer').focus();
    })]];
    for (const scheme of cdp ? ['light', 'dark'] : []) {
        states.push([`under forced colours, ${scheme}`, () => cdp.send('Emulation.setEmulatedMedia', {
            features: [{ name: 'forced-colors', value: 'active' }, { name: 'prefers-color-scheme', value: scheme }] })]);
    }
    for (const [state, enter] of states) {
        await enter();
        const found = await violations(page, state.includes('forced'));
        const { ring: ringStyled, cursor, fieldText } = await looks(page);
        const ring = ringStyled && await focusSeen(page);
        if (found.length > 0 || !ring || !cursor || fieldText) {
            fail(`accessibility ${state}: ${found.join('; ') || 'no axe violation'}; focus ring ${ring}, cursor ${cursor}, field's text seen ${fieldText}`);
        }
    }
    await cdp?.send('Emulation.setEmulatedMedia', { features: [] });
    await page.evaluate(() => { document.querySelector('footer details').open = false; });
    for (let i = 0; i < 2; ++i) await page.keyboard.press('Backspace');
}

// What a screen reader gets from the page, in every engine: the terminal's rows are hidden from
// it; what the program writes before each read is announced once, whole, and never what was
// typed (the field's own echo says that); the announcement then empties, and the session's log
// holds each line once, the answer on its prompt's line.
export async function checkSpokenSession({ page, fail }) {
    await toMenu(page);
    await page.evaluate(() => {
        const announcer = document.getElementById('announcer');
        window.announced = [];
        new MutationObserver((records) => {
            window.announced.push(...records.flatMap((record) => [...record.addedNodes].map((node) => node.textContent)));
        }).observe(announcer, { childList: true, subtree: true });
    });
    await typeAnswers(page, ['2', '5.75']);
    const announced = (await page.evaluate(() => window.announced)).map((text) => text.replace(/ +$/gm, ''));
    const [prompt, result] = announced;
    if (announced.length !== 2 || prompt !== 'Insert decimal value:' || !result.startsWith('The binary number is: 0|10000001|01110000000000000000000\n')
        || !result.endsWith('--------------------------------->Choose/Scelta:')) {
        fail(`announced after 2 and 5.75: ${JSON.stringify(announced)}`);
    }
    await pause(2500);
    const { hidden, left, log } = await page.evaluate(() => ({
        hidden: document.querySelector('#terminal .xterm').getAttribute('aria-hidden'),
        left: document.getElementById('announcer').textContent,
        log: document.getElementById('session-log').innerText.split('\n').slice(-12),
    }));
    const once = (line) => log.filter((logged) => logged === line).length === 1;
    if (hidden !== 'true' || left !== '' || !once('--------------------------------->Scelta: 2') || !once('Insert decimal value: 5.75')
        || !once('The binary number is: 0|10000001|01110000000000000000000')) {
        fail(`the screen reader's view: terminal hidden ${hidden}, announcement left ${JSON.stringify(left)}, log ${JSON.stringify(log)}`);
    }
    await aThousandPassesPasted(page, fail);
}

// A thousand passes pasted at the restart question: the paste's size and then every pass heard,
// in order, in one announcement, and every answer in the log on its prompt's line.
async function aThousandPassesPasted(page, fail) {
    const passes = 1000;
    await throughClipboard(page, 'KeyC', '0\n2\n1\n'.repeat(passes));
    await page.evaluate(() => { window.announced = []; });
    await pressWithControl(page, 'KeyV');
    await waitForPrompt(page);
    const { announced, answered } = await page.evaluate(async () => {
        await new Promise((resolve) => setTimeout(resolve, 100));
        const log = document.getElementById('session-log').innerText.split('\n');
        return { announced: window.announced, answered: log.filter((line) => line === 'Insert decimal value: 1').length };
    });
    const results = announced.join('\n').split('\n').filter((line) => line === 'The binary number is: 0|01111111|00000000000000000000000');
    if (announced.length !== 1 || !announced[0].startsWith('pasted: 6,000 characters, 3,000 lines / incollati: 6.000 caratteri, 3.000 righe\n')
        || results.length !== passes || answered < passes) {
        fail(`${passes} passes pasted: ${announced.length} announcements (${JSON.stringify(announced[0]?.slice(0, 100))}), ${results.length} results heard, ${answered} answers in the log`);
    }
    await newRun(page);  // the terminal keeps fewer rows than these passes wrote
}
