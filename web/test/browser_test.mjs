// The page in a real browser, opened from file:// as a copy alone in an empty folder: the
// scenarios of scenarios.json, each what a learner does (steps in) and what they must see, copy
// and hear (checks out), run alike in every engine, on a desktop window or, where a scenario says
// so, on a phone (touch, emulated by Chromium alone). A check is a step [WHAT, ...ARGS, EXPECTED]:
// what the page shows of WHAT must be EXPECTED ("~" before a text makes it a pattern). A step
// that an engine cannot take is taken through the page's own events there, or left out and said.
// Usage: node browser_test.mjs chromium|firefox|webkit PAGE.html TRANSCRIPT_FOLDER...
//        (FP_NODE_MODULES: the folder where npm ci installed the drivers; FP_SCENARIO=TEXT runs
//        only the scenarios whose names hold TEXT)
import { copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch, openPage, pressWithControl, toMenu, typeAnswers, waitForEnd } from './driver.mjs';
import { ACTIONS, SEEN } from './steps.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const [engine, pagePath, ...transcripts] = process.argv.slice(2);
const SCENARIOS = JSON.parse(readFileSync(join(here, 'scenarios.json'), 'utf8'))
    .filter((scenario) => scenario.steps && new RegExp(process.env.FP_SCENARIO ?? '').test(scenario.name));
const VIEWPORTS = { desktop: { width: 1280, height: 900 },
                    phone: { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3 } };
let failures = 0;
const fail = (what) => {
    console.log(`FAIL (${engine}): ${what}`);
    failures += 1;
};

const matches = (actual, expected) => {
    if (typeof expected === 'string' && expected.startsWith('~')) {
        return new RegExp(expected.slice(1)).test(typeof actual === 'string' ? actual : JSON.stringify(actual));
    }
    if (Array.isArray(expected) && Array.isArray(actual)) {
        return actual.length === expected.length && expected.every((each, i) => matches(actual[i], each));
    }
    if (expected !== null && typeof expected === 'object' && actual !== null && typeof actual === 'object') {
        const keys = Object.keys(expected);
        return keys.length === Object.keys(actual).length && keys.every((key) => matches(actual[key], expected[key]));
    }
    return actual === expected;
};

const AT = {
    menu: toMenu,
    'decimal prompt': async (page) => { await toMenu(page); await typeAnswers(page, ['2']); },
    'restart question': async (page) => { await toMenu(page); await typeAnswers(page, ['2', '5']); },
    ended: async (page) => { await toMenu(page); await pressWithControl(page, 'KeyD'); await waitForEnd(page); },
};

// A scenario on the page from wherever the last one left it, with nothing typed; a step that
// throws ends it. Returns the steps left out.
async function runScenario(context, { name, at, steps }) {
    const { page } = context;
    await page.waitForFunction(() => window.floatingPoint !== undefined);
    if (at) await AT[at](page);
    await ACTIONS.mark(context);
    context.copied = undefined;
    const leftOut = [];
    for (const [step, ...args] of steps) {
        if (ACTIONS[step]) {
            if (await ACTIONS[step](context, ...args) === ACTIONS.CANNOT) leftOut.push(step);
            continue;
        }
        const seen = await SEEN[step](context, ...args.slice(0, -1));
        if (seen === ACTIONS.CANNOT) leftOut.push(step);
        else if (!matches(seen, args.at(-1))) fail(`${name}: ${step} ${JSON.stringify(args.slice(0, -1))}: ${JSON.stringify(seen).slice(0, 1500)}`);
    }
    return leftOut;
}

async function onPage(browser, device, url, scenarios) {
    const page = await openPage(browser, url, VIEWPORTS[device], fail);
    const context = { page, cdp: engine === 'chromium' ? await page.createCDPSession() : null, engine, url, transcripts };
    try {
        for (const scenario of scenarios) {
            const started = Date.now();
            const leftOut = await runScenario(context, scenario).catch((error) => fail(`${scenario.name}: ${error.stack}`));
            console.log(`${engine}, ${device}: ${scenario.name} (${Date.now() - started} ms${leftOut?.length ? `; left out: ${leftOut}` : ''})`);
        }
    } finally {
        await page.close();
    }
}

// A copy that differs in one line, the policy: without 'wasm-unsafe-eval' the page cannot run the
// program, as in a browser without WebAssembly (WebKitGTK's policy does not stop it); in Chromium,
// the page without JavaScript. Either says so in both languages.
async function cannotRun(browser, folder) {
    const copy = join(folder, 'without-webassembly.html');
    writeFileSync(copy, readFileSync(pagePath, 'utf8').replace(" 'wasm-unsafe-eval'", ''));
    for (const [what, url, said] of [['WebAssembly', pathToFileURL(copy).href, /needs WebAssembly[^]*serve WebAssembly/],
                                     ['JavaScript', null, /JavaScript, which is off here[^]*JavaScript, che qui è disattivato/]]) {
        if ((what === 'WebAssembly' && engine === 'webkit') || (what === 'JavaScript' && engine !== 'chromium')) continue;
        const page = await openPage(browser, 'about:blank', VIEWPORTS.desktop, (error) => /WebAssembly/.test(error) || fail(error));
        if (!url) await page.setJavaScriptEnabled(false);
        await page.goto(url ?? pathToFileURL(pagePath).href);
        const text = await page.waitForFunction((pattern) => new RegExp(pattern).test(document.getElementById('terminal').innerText)
            && document.getElementById('terminal').innerText, {}, said.source).then((found) => found.jsonValue(), () => 'nothing');
        if (!said.test(text)) fail(`without ${what} the page says: ${text}`);
        await page.close();
    }
}

const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, basename(pagePath)));
const url = pathToFileURL(join(folder, basename(pagePath))).href;
const browser = await launch(engine);
try {
    for (const device of engine === 'chromium' ? ['desktop', 'phone'] : ['desktop']) {
        await onPage(browser, device, url, SCENARIOS.filter((scenario) => (scenario.devices ?? ['desktop']).includes(device)));
    }
    await cannotRun(browser, folder);
} finally {
    await browser.close();
    rmSync(folder, { recursive: true });
}
console.log(failures === 0 ? `all page checks passed in ${engine}` : `${failures} page checks failed`);
process.exitCode = failures === 0 ? 0 : 1;
