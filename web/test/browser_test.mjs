// The page in a real browser: Debian's Chromium or Firefox (headless, driven by puppeteer-core)
// or WebKitGTK (Safari's engine, under xvfb-run through WebDriver), opened from file:// as a copy
// alone in an empty folder. Each check reports its faults. Chromium alone emulates phones
// (touch, device pixels) and makes input events of its own (DevTools protocol); WebDriver
// neither prints nor runs a script before the page's own: those checks leave the engine out.
// Usage: node browser_test.mjs chromium|firefox|webkit PAGE.html TRANSCRIPT_FOLDER...
//        (FP_NODE_MODULES: the folder where npm ci installed puppeteer-core)
import { copyFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { checkAccessibility, checkSpokenSession } from './accessibility_checks.mjs';
import * as dialogue from './dialogue_checks.mjs';
import * as input from './input_checks.mjs';
import * as layout from './layout_checks.mjs';
import { launch, openPage } from './page_driver.mjs';

const [engine, pagePath, ...transcripts] = process.argv.slice(2);
const [chromium, webkit] = [engine === 'chromium', engine === 'webkit'];
let failures = 0;
const fail = (what) => {
    console.log(`FAIL (${engine}): ${what}`);
    failures += 1;
};

// The checks on a new page, one after the other; a check that throws counts as failed.
async function onPage(browser, url, viewport, checks, beforeLoad = null) {
    const page = await openPage(browser, url, viewport, fail, beforeLoad);
    const cdp = chromium ? await page.createCDPSession() : null;
    try {
        for (const check of checks) {
            const started = Date.now();
            await check({ page, fail, url, transcripts }, cdp).catch((error) => fail(`${check.name}: ${error.stack}`));
            console.log(`${engine}: ${check.name} (${Date.now() - started} ms)`);
        }
    } finally {
        await page.close();
    }
}

const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, basename(pagePath)));
const url = pathToFileURL(join(folder, basename(pagePath))).href;
const desktop = { width: 1280, height: 900 };
const browser = await launch(engine);
try {
    await onPage(browser, url, desktop, [
        dialogue.checkTranscripts, dialogue.checkTypedSessions, dialogue.checkHostileInput,
        input.checkPaths(webkit ? input.PATHS_OF_KEYS : [...input.PATHS_OF_KEYS, ...input.PATHS_WITH_EVENTS_OF_ITS_OWN]),
        input.checkCopy, input.checkEndAndRestart, input.checkCtrlC, input.checkTab, input.checkClickOnThePage,
        input.checkCompositionShown, input.checkLinesThatShowOddly, input.checkHelp(false), checkSpokenSession,
        layout.checkResize, ...(webkit ? [] : [layout.checkZoom]), checkAccessibility,
    ]);
    await onPage(browser, layout.pageWithFirstScript(url, layout.withoutWebAssembly), desktop, [layout.checkWithoutWebAssembly]);
    await onPage(browser, layout.pageWithFirstScript(url, layout.noteWhenThePromptShows), desktop, [layout.checkFirstPromptMark]);
    if (!webkit) {
        // Printed on a page of its own: after the transcripts the whole session makes a PDF of megabytes.
        await onPage(browser, url, desktop, [layout.checkPrint]);
        await onPage(browser, url, desktop, [layout.checkCoveringKeyboard], layout.fakeVisualViewport);
    }
    if (chromium) {
        await onPage(browser, url, layout.phone(390, 844), [input.checkPaths(input.PATHS_OF_TOUCH), input.checkHelp(true),
                                                           input.checkTap, layout.checkPhones, layout.checkTouch]);
        await onPage(browser, url, desktop, [layout.checkWithoutJavaScript]);
    }
} finally {
    await browser.close();
    rmSync(folder, { recursive: true });
}
console.log(failures === 0 ? `all page checks passed in ${engine}` : `${failures} page checks failed`);
process.exitCode = failures === 0 ? 0 : 1;
