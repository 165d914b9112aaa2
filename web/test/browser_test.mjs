// The page in a real browser: Debian's Chromium or Firefox (headless, driven by puppeteer-core)
// or WebKitGTK (Safari's engine, under xvfb-run through WebDriver), opened from file:// as a copy
// alone in an empty folder. Each check reports its faults; an engine that cannot produce an
// input or a screen leaves its check out: Chromium alone emulates phones (touch, pinch, device
// pixels, its own input method and key code 229 events through its DevTools protocol); WebDriver
// neither prints nor runs a script before the page's own.
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
const chromium = engine === 'chromium';
const puppeteer = engine !== 'webkit';
let failures = 0;
const fail = (what) => {
    console.log(`FAIL (${engine}): ${what}`);
    failures += 1;
};

// The checks on one new page, one after the other; a check that throws counts as failed.
async function onPage(browser, { url, viewport = DESKTOP, beforeLoad = null }, checks) {
    const page = await openPageAt(browser, url, viewport, fail, beforeLoad);
    const cdp = chromium ? await page.createCDPSession() : null;
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
    await onPage(browser, { url }, [
        checkTranscripts, dialogue.checkTypedSessions, dialogue.checkEditing, dialogue.checkHostileInput,
        input.checkKeyboardHelp, input.checkEditsWithoutKeys, input.checkClipboardKeys, input.checkKeysThatDoNothing,
        input.checkTabLeaves, input.checkCtrlD, input.checkOnlyEnterRestarts, input.checkCtrlCInterrupts,
        input.checkScreenReader, ...(puppeteer ? [input.checkKeyCode229, input.checkComposition] : []),
    ]);
    await onPage(browser, { url }, [layout.checkResize, layout.checkKeyboardResizes, ...(puppeteer ? [layout.checkPrint] : [])]);
    if (puppeteer) {
        await onPage(browser, { url }, [layout.checkZoom]);
        await onPage(browser, { url, beforeLoad: layout.fakeVisualViewport }, [layout.checkKeyboardCovers]);
    }
    await onPage(browser, { url: layout.pageWithFirstScript(url, layout.withoutWebAssembly) }, [layout.checkWithoutWebAssembly]);
    await onPage(browser, { url: layout.pageWithFirstScript(url, layout.noteWhenThePromptShows) }, [layout.checkFirstPromptMark]);
    if (chromium) {
        await onPage(browser, { url, viewport: PHONE }, [
            input.checkKeyCode229, input.checkComposition, input.checkEditsWithoutKeys, input.checkTouchScreen,
            layout.checkTurningAPhone, layout.checkPhoneWidths, layout.checkPinchZoom, layout.checkTouchScroll,
        ]);
        await onPage(browser, { url }, [layout.checkWithoutJavaScript]);
    }
} finally {
    await browser.close();
    rmSync(folder, { recursive: true });
}
console.log(failures === 0 ? `all page checks passed in ${engine}` : `${failures} page checks failed`);
process.exitCode = failures === 0 ? 0 : 1;
