// Drives the page in Debian's Chromium or Firefox (headless) with puppeteer-core, installed by
// npm ci in FP_NODE_MODULES; no browser is downloaded.
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const requireFromModules = createRequire(join(resolve(process.env.FP_NODE_MODULES), 'resolve-from-here.js'));
const { default: puppeteer } = await import(pathToFileURL(requireFromModules.resolve('puppeteer-core')));

export function launch(browserName) {
    if (browserName === 'firefox') {
        return puppeteer.launch({ browser: 'firefox', executablePath: '/usr/bin/firefox-esr', headless: true });
    }
    return puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true,
                              args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-sync',
                                     '--disable-background-networking', '--disable-component-update'] });
}

// A new tab on the page, from file://, where any other request is a fault.
export async function openPageAt(browser, url, viewport, fail) {
    const page = await browser.newPage();
    page.on('pageerror', (error) => fail(`page error: ${error.message}`));
    page.on('request', (request) => {
        if (!/^(file|data):/.test(request.url())) fail(`a request for ${request.url()}`);
    });
    await page.setViewport(viewport);
    await page.goto(url);
    return page;
}

// Feeds the bytes to the current run as its whole input; resolves to its output bytes.
export const runWithInput = (page, input) => page.evaluate(async (base64) => {
    const page = window.floatingPoint;
    page.discipline.feed(Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)));
    page.discipline.feed(new Uint8Array(0));
    const { output } = await page.ended;
    const bytes = new Uint8Array(await output.arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
        text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    }
    page.terminal.input('\r');  // the restart the page offers
    return btoa(text);
}, input.toString('base64')).then((base64) => Buffer.from(base64, 'base64'));

