// WebKitGTK (Safari's engine) through WebDriver: Debian's WebKitWebDriver starts its MiniBrowser
// under xvfb-run. Its pages have the few operations of a puppeteer page that the checks use. The
// driver takes one session at a time: a page is closed before the next one opens.
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';

const MINIBROWSER = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const KEY_CODES = {  // WebDriver's codes of the keys the checks press; KeyX stands for x
    Enter: '\uE007', '\n': '\uE007', Backspace: '\uE003', Tab: '\uE004', Control: '\uE009', Escape: '\uE00C', PageUp: '\uE00E',
    End: '\uE010', Home: '\uE011', ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014', ArrowDown: '\uE015',
    Delete: '\uE017', F2: '\uE032',
};
const keyCode = (key) => KEY_CODES[key] ?? key.match(/^Key([A-Z])$/)?.[1].toLowerCase() ?? key;
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function call(url, method, body) {
    const response = await fetch(url, { method, body: body && JSON.stringify(body), headers: { 'content-type': 'application/json' } });
    const { value } = await response.json();
    if (value?.error) throw new Error(`WebDriver ${url}: ${value.error} ${value.message}`);
    return value;
}

function page(session) {
    const keys = (...actions) => call(`${session}/actions`, 'POST', { actions: [{ type: 'key', id: 'keys', actions }] });
    const down = (key) => ({ type: 'keyDown', value: keyCode(key) });
    const up = (key) => ({ type: 'keyUp', value: keyCode(key) });
    const self = {
        keyboard: {
            type: (text) => keys(...[...text].flatMap((char) => [down(char), up(char)])),
            press: (key) => keys(down(key), up(key)),
            down: (key) => keys(down(key)),
            up: (key) => keys(up(key)),
        },
        goto: (url) => call(`${session}/url`, 'POST', { url }),
        async click(selector) {
            const element = await call(`${session}/element`, 'POST', { using: 'css selector', value: selector });
            await call(`${session}/element/${Object.values(element)[0]}/click`, 'POST', {});
        },
        close: () => call(session, 'DELETE'),
        // The function runs in the page with the arguments, which must be JSON, as its result is.
        async evaluate(fn, ...args) {
            const script = `const done = arguments[arguments.length - 1];
                Promise.resolve().then(() => (${fn}).apply(null, arguments[0]))
                    .then((value) => done({ value: value ?? null }), (error) => done({ error: String(error) }));`;
            const { value, error } = await call(`${session}/execute/async`, 'POST', { script, args: [args] });
            if (error !== undefined) throw new Error(`in the page: ${error}`);
            return value;
        },
        async waitForFunction(fn, { timeout = 30000 } = {}, ...args) {
            for (const end = Date.now() + timeout; Date.now() < end; await pause(50)) {
                const value = await self.evaluate(fn, ...args);
                if (value) return { jsonValue: async () => value };
            }
            throw new Error(`timed out after ${timeout} ms waiting for ${String(fn).slice(0, 80)}`);
        },
        // The window is made the size that gives the viewport asked for.
        async setViewport({ width, height }) {
            await call(`${session}/window/rect`, 'POST', { width, height });
            const [innerWidth, innerHeight] = await self.evaluate(() => [window.innerWidth, window.innerHeight]);
            await call(`${session}/window/rect`, 'POST', { width: 2 * width - innerWidth, height: 2 * height - innerHeight });
        },
    };
    return self;
}

const freePort = () => new Promise((resolve) => {
    const server = createServer().listen(0, '127.0.0.1', () => {
        const { port } = server.address();
        server.close(() => resolve(port));
    });
});

export async function launchWebKit() {
    const base = `http://127.0.0.1:${await freePort()}`;
    const driver = spawn('xvfb-run', ['-a', 'WebKitWebDriver', `--port=${base.split(':')[2]}`], { stdio: 'ignore', detached: true });
    for (let tries = 0; !(await fetch(`${base}/status`).then(() => true, () => false)); ++tries) {
        if (tries === 100) throw new Error('WebKitWebDriver does not answer');
        await pause(100);
    }
    return {
        async newPage() {
            const capabilities = { alwaysMatch: { browserName: 'MiniBrowser', 'webkitgtk:browserOptions':
                { binary: MINIBROWSER, args: ['--automation'] } } };
            const { sessionId } = await call(`${base}/session`, 'POST', { capabilities });
            await call(`${base}/session/${sessionId}/timeouts`, 'POST', { script: 600000 });
            return page(`${base}/session/${sessionId}`);
        },
        close: async () => process.kill(-driver.pid, 'SIGTERM'),
    };
}
