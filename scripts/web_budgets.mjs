// Measures the web page against its budgets and prints each figure beside its budget; exits with
// status 1 when one is over (CI reports them: its machine's load is not the page's fault). Each
// timing is measured side by side with its floor in the same run, in Debian's Chromium (headless,
// from file://), where the CPU can also be slowed 6 times, as on a low-end phone:
// - the HTML file: at most 700 KB, 300 KB gzipped;
// - the first prompt on the screen, from the start of navigation, against the floor: a page that
//   holds only the terminal library (built from the same node_modules) and writes the language
//   menu; loads of the two interleaved, the median of 15 each, at most 1.15 times the floor's;
// - the transcripts through the page's input against the native program's time for them: at most
//   3 times (median of 3), and Firefox's reported;
// - Enter on a pasted line of 10 MB: the page stalls at most 200 ms (the longest gap between ticks
//   of a 10 ms timer, longest of 3), in Chromium and Firefox.
// Usage: FP_NODE_MODULES=build/web/web/npm/node_modules \
//        node scripts/web_budgets.mjs build/web/floating_point.html build/default/floating_point TRANSCRIPT_FOLDER...
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { gzipSync } from 'node:zlib';
import { enterOnLongLine, launch, runWithInput } from '../web/test/driver.mjs';

const [pagePath, nativeProgram, ...folders] = process.argv.slice(2);
const LOADS = 15;
const nodeModules = resolve(process.env.FP_NODE_MODULES);
const transcripts = folders.flatMap((folder) => readdirSync(folder).filter((name) => name.endsWith('.in'))
    .sort().map((name) => readFileSync(join(folder, name))));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const milliseconds = (start) => Number(process.hrtime.bigint() - start) / 1e6;

// The floor: the terminal library alone, as the page makes its terminal, writing the language menu.
function floorPage(folder) {
    const esbuild = createRequire(join(nodeModules, 'x.js'))('esbuild');
    const menu = 'Select the languages/Seleziona la lingua: \\r\\nSelect 1 to choose english\\r\\nSeleziona 2 per scegliere italiano'
        + '\\r\\n\\r\\n--------------------------------->Choose/Scelta: ';
    const script = esbuild.buildSync({
        stdin: { contents: `import { Terminal } from '@xterm/xterm';
            const terminal = new Terminal({ convertEol: true, scrollback: 10000, fontSize: 15 });
            terminal.open(document.getElementById('terminal'));
            terminal.write('${menu}');`, resolveDir: nodeModules },
        bundle: true, format: 'esm', minify: true, write: false, nodePaths: [nodeModules], target: 'es2022',
    }).outputFiles[0].text.replaceAll('</', '<\\/');
    const css = readFileSync(join(nodeModules, '@xterm/xterm/css/xterm.css'), 'utf8');
    const file = join(folder, 'floor.html');
    writeFileSync(file, `<!DOCTYPE html><html><head><meta charset="utf-8"><style>${css}</style>
        <style>html, body { margin: 0; height: 100%; } #terminal { height: 100%; }</style>
        <script type="module">${script}</script></head><body><main id="terminal"></main></body></html>`);
    return pathToFileURL(file).href;
}

// Notes, before the page's own scripts, when the prompt first stands in the terminal's rows.
function noteWhenThePromptShows() {
    new MutationObserver((_, observer) => {
        if (document.querySelector('.xterm-rows')?.textContent.includes('Choose/Scelta:')) {
            window.promptShownAt = performance.now();
            observer.disconnect();
        }
    }).observe(document, { subtree: true, childList: true, characterData: true });
}

async function firstPrompt(page, url) {
    await page.goto(url);
    return (await page.waitForFunction(() => window.promptShownAt)).jsonValue();
}

// The first prompt of the page and of the floor, loads interleaved, at each CPU speed.
async function firstPrompts(browser, pageUrl, floorUrl) {
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(noteWhenThePromptShows);
    const cdp = await page.createCDPSession();
    const figures = {};
    for (const slowdown of [1, 6]) {
        await cdp.send('Emulation.setCPUThrottlingRate', { rate: slowdown });
        const times = { page: [], floor: [] };
        for (let i = 0; i < LOADS; ++i) {
            times.page.push(await firstPrompt(page, pageUrl));
            times.floor.push(await firstPrompt(page, floorUrl));
        }
        figures[slowdown] = { page: median(times.page), floor: median(times.floor) };
    }
    await page.close();
    return figures;
}

// The transcripts through the page, in the time of the native program on the same inputs.
async function transcriptsRatio(browser, pageUrl, runs) {
    const ratios = [];
    const page = await browser.newPage();
    for (let run = 0; run < runs; ++run) {
        let start = process.hrtime.bigint();
        for (const input of transcripts) spawnSync(nativeProgram, { input });
        const native = milliseconds(start);
        await page.goto(pageUrl);
        await page.waitForFunction(() => window.floatingPoint?.discipline?.reader);
        start = process.hrtime.bigint();
        for (const input of transcripts) await runWithInput(page, input);
        ratios.push(milliseconds(start) / native);
    }
    await page.close();
    return median(ratios);
}

async function longestStall(browser, pageUrl) {
    const page = await browser.newPage();
    await page.goto(pageUrl);
    const stalls = [];
    for (let i = 0; i < 3; ++i) stalls.push(await enterOnLongLine(page));
    await page.close();
    return Math.max(...stalls);
}

const folder = mkdtempSync(join(tmpdir(), 'fp-budgets-'));
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const figures = [];  // [what, figure, budget, shown as]
const html = readFileSync(pagePath);
figures.push(['the page, KB', html.length / 1024, 700, (kb) => kb.toFixed(0)]);
figures.push(['the page gzipped, KB', gzipSync(html, { level: 9 }).length / 1024, 300, (kb) => kb.toFixed(0)]);
try {
    const chromium = await launch('chromium');
    const prompts = await firstPrompts(chromium, pageUrl, floorPage(folder));
    for (const [slowdown, { page, floor }] of Object.entries(prompts)) {
        const cpu = slowdown === '1' ? '' : `, the CPU slowed ${slowdown} times`;
        figures.push([`first prompt, page / floor${cpu} (${page.toFixed(0)} / ${floor.toFixed(0)} ms)`, page / floor, 1.15, (r) => r.toFixed(2)]);
    }
    figures.push(['transcripts through the page / native, Chromium', await transcriptsRatio(chromium, pageUrl, 3), 3, (r) => r.toFixed(2)]);
    figures.push(['Enter on a line of 10 MB, longest stall, Chromium, ms', await longestStall(chromium, pageUrl), 200, (ms) => ms.toFixed(0)]);
    await chromium.close();
    const firefox = await launch('firefox');
    figures.push(['transcripts through the page / native, Firefox', await transcriptsRatio(firefox, pageUrl, 1), null, (r) => r.toFixed(2)]);
    figures.push(['Enter on a line of 10 MB, longest stall, Firefox, ms', await longestStall(firefox, pageUrl), 200, (ms) => ms.toFixed(0)]);
    await firefox.close();
} finally {
    rmSync(folder, { recursive: true });
}
const over = figures.filter(([, figure, budget]) => budget !== null && figure > budget);
for (const [what, figure, budget, shown] of figures) {
    const verdict = budget === null ? '(reported)' : figure > budget ? 'OVER BUDGET' : 'within';
    console.log(`${what.padEnd(72)} ${shown(figure).padStart(8)}  budget ${budget === null ? '   -' : shown(budget).padStart(5)}  ${verdict}`);
}
console.log(over.length === 0 ? 'all budgets hold' : `${over.length} over budget`);
process.exitCode = over.length === 0 ? 0 : 1;
