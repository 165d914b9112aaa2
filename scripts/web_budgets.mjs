// Measures the web page against its budgets, in headless Chromium from file:// (and reports
// Firefox beside it), median of 9: the HTML file at most 1 MB and 300 KB gzipped; the first
// prompt on screen at most 150 ms after navigation starts, and at most 300 ms with the CPU
// slowed 6 times (a low-end phone, Chromium only); the acceptance transcripts through the page
// within 3 times the native program's time for them, measured in the same run; Enter on a pasted
// line of 10 MB stalling the page at most 200 ms (the longest of 3).
// Usage: FP_NODE_MODULES=build/web/web/npm/node_modules \
//        node scripts/web_budgets.mjs build/web/floating_point.html build/default/floating_point TRANSCRIPT_FOLDER...
import { spawnSync } from 'node:child_process';
import { readdirSync, readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';
import { gzipSync } from 'node:zlib';
import { enterOnLongLine, launch, runWithInput } from '../web/test/page_driver.mjs';

const [pagePath, nativeProgram, ...folders] = process.argv.slice(2);
const RUNS = 9;
const LONG_LINE_RUNS = 3;
const transcripts = folders.flatMap((folder) => readdirSync(folder).filter((name) => name.endsWith('.in'))
    .sort().map((name) => readFileSync(join(folder, name))));
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const milliseconds = (start) => Number(process.hrtime.bigint() - start) / 1e6;

function nativeTime() {
    const start = process.hrtime.bigint();
    for (const input of transcripts) {
        spawnSync(nativeProgram, { input });
    }
    return milliseconds(start);
}

const firstPromptAfterLoad = async (page) => {
    await page.goto(pathToFileURL(resolve(pagePath)).href);
    return page.waitForFunction(() => performance.getEntriesByName('first prompt')[0]?.startTime)
        .then((handle) => handle.jsonValue());
};

// One load of the page: when its first prompt shows, and how long the transcripts take through it.
async function pageTimes(page) {
    const firstPrompt = await firstPromptAfterLoad(page);
    let run = 1;
    const start = process.hrtime.bigint();
    for (const input of transcripts) {
        await page.waitForFunction((n) => window.floatingPoint.runs === n, {}, run++);
        await runWithInput(page, input);
    }
    const transcriptsTime = milliseconds(start);
    return { firstPrompt, transcriptsTime };
}

// The first prompt with Chromium's CPU slowed 6 times, as on a low-end phone.
async function slowFirstPrompt(page) {
    const cdp = await page.createCDPSession();
    await cdp.send('Emulation.setCPUThrottlingRate', { rate: 6 });
    const times = [];
    for (let i = 0; i < RUNS; ++i) times.push(await firstPromptAfterLoad(page));
    await cdp.send('Emulation.setCPUThrottlingRate', { rate: 1 });
    return median(times);
}

async function measure(browserName) {
    const browser = await launch(browserName);
    const firstPrompts = [];
    const ratios = [];
    const stalls = [];
    let slowed = null;
    try {
        const [page] = await browser.pages();  // the one tab, loaded anew each time
        for (let i = 0; i < RUNS; ++i) {
            const native = nativeTime();
            const { firstPrompt, transcriptsTime } = await pageTimes(page);
            firstPrompts.push(firstPrompt);
            ratios.push(transcriptsTime / native);
        }
        for (let i = 0; i < LONG_LINE_RUNS; ++i) stalls.push(await enterOnLongLine(page));
        if (browserName === 'chromium') slowed = await slowFirstPrompt(page);
    } finally {
        await browser.close();
    }
    const result = { firstPrompt: median(firstPrompts), slowed, ratio: median(ratios), stall: Math.max(...stalls) };
    console.log(`${browserName}: first prompt ${result.firstPrompt.toFixed(0)} ms after navigation starts` +
                `${slowed === null ? '' : ` (${slowed.toFixed(0)} ms with the CPU slowed 6 times)`}; ` +
                `${transcripts.length} transcripts through the page ${result.ratio.toFixed(2)} times the native time; ` +
                `Enter on a 10 MB line stalls the page ${result.stall.toFixed(0)} ms`);
    return result;
}

const html = readFileSync(pagePath);
const gzipped = gzipSync(html, { level: 9 }).length;
console.log(`page: ${(html.length / 1024).toFixed(0)} KB, ${(gzipped / 1024).toFixed(0)} KB gzipped`);
const chromium = await measure('chromium');
const firefox = await measure('firefox');
const overBudget = [
    html.length > 1024 * 1024 && 'the page is over 1 MB',
    gzipped > 300 * 1024 && 'the page is over 300 KB gzipped',
    chromium.firstPrompt > 150 && 'the first prompt shows later than 150 ms',
    chromium.slowed > 300 && 'the first prompt shows later than 300 ms with the CPU slowed 6 times',
    chromium.ratio > 3 && 'the transcripts take more than 3 times the native time',
    ...Object.entries({ Chromium: chromium, Firefox: firefox })
        .map(([name, { stall }]) => stall > 200 && `Enter on a 10 MB line stalls ${name} more than 200 ms`),
].filter(Boolean);
console.log(overBudget.length === 0 ? 'all budgets hold' : `OVER BUDGET: ${overBudget.join('; ')}`);
process.exitCode = overBudget.length === 0 ? 0 : 1;
