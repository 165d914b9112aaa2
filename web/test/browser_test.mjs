// The page in a real browser: Debian's Chromium or Firefox (headless, driven by puppeteer-core)
// or WebKitGTK (Safari's engine, under xvfb-run through WebDriver), opened from file:// as a copy
// alone in an empty folder. Each check reports its faults; the engines that cannot produce an
// input leave its check out (Chromium's own input events need its DevTools protocol).
// Usage: node browser_test.mjs chromium|firefox|webkit PAGE.html TRANSCRIPT_FOLDER...
//        (FP_NODE_MODULES: the folder where npm ci installed puppeteer-core)
import { copyFileSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { pathToFileURL } from 'node:url';
import * as dialogue from './dialogue_checks.mjs';
import * as input from './input_checks.mjs';
import * as layout from './layout_checks.mjs';
import { launch, openPageAt } from './page_driver.mjs';

const [engine, pagePath, ...transcriptFolders] = process.argv.slice(2);
const DESKTOP = { width: 1280, height: 900 };
const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3 };
let failures = 0;
const fail = (what) => {
    console.log(`FAIL (${engine}): ${what}`);
    failures += 1;
};

// The checks on one page, one after the other; a check that throws counts as failed.
async function onPage(browser, url, viewport, checks) {
    const page = await openPageAt(browser, url, viewport, fail);
    const cdp = engine === 'chromium' ? await page.createCDPSession() : null;
    try {
        for (const check of checks) {
            const started = Date.now();
            await check({ page, fail, engine, url }, cdp).catch((error) => fail(`${check.name}: ${error.stack}`));
            console.log(`${engine}: ${check.name} (${Date.now() - started} ms)`);
        }
    } finally {
        await page.close();
    }
}

const checkTranscripts = (context) => dialogue.checkTranscripts(context, transcriptFolders);

const folder = mkdtempSync(join(tmpdir(), 'fp-page-'));
copyFileSync(pagePath, join(folder, basename(pagePath)));
const url = pathToFileURL(join(folder, basename(pagePath))).href;
const browser = await launch(engine);
try {
    await onPage(browser, url, DESKTOP, [
        checkTranscripts, dialogue.checkTypedSessions, dialogue.checkEditing, dialogue.checkHostileInput,
        input.checkKeyboardHelp, input.checkEditsWithoutKeys, input.checkClipboardKeys, input.checkKeysThatDoNothing,
        input.checkTabLeaves, input.checkCtrlD, input.checkOnlyEnterRestarts, input.checkCtrlCInterrupts,
        input.checkScreenReader,
        ...(engine === 'webkit' ? [] : [input.checkKeyCode229, input.checkComposition]),
    ]);
    if (engine === 'chromium') {
        await onPage(browser, url, PHONE, [input.checkKeyCode229, input.checkComposition, input.checkEditsWithoutKeys,
                                           input.checkTouchScreen]);
    }
} finally {
    await browser.close();
    rmSync(folder, { recursive: true });
}
console.log(failures === 0 ? `all page checks passed in ${engine}` : `${failures} page checks failed`);
process.exitCode = failures === 0 ? 0 : 1;
