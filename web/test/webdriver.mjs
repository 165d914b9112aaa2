// WebKitGTK (Safari's engine) through WebDriver: Debian's WebKitWebDriver starts its MiniBrowser
// under xvfb-run. The page it gives has the few operations of a puppeteer page that the tests
// use (goto, evaluate, waitForFunction, keyboard, setViewport, close). The driver takes one
// session at a time: a page is closed before the next one opens.
import { spawn } from 'node:child_process';
import { createServer } from 'node:net';

const MINIBROWSER = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
// WebDriver's codes of the keys the tests press; KeyX stands for the letter x.
const KEY_CODES = {
    Enter: '\uE007', Backspace: '\uE003', Tab: '\uE004', Shift: '\uE008', Control: '\uE009', Escape: '\uE00C',
    PageUp: '\uE00E', PageDown: '\uE00F', End: '\uE010', Home: '\uE011', ArrowLeft: '\uE012', ArrowUp: '\uE013',
    ArrowRight: '\uE014', ArrowDown: '\uE015', Insert: '\uE016', Delete: '\uE017', F2: '\uE032', Meta: '\uE03D',
};
const keyCode = (key) => KEY_CODES[key] ?? key.match(/^Key([A-Z])$/)?.[1].toLowerCase() ?? key;
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const freePort = () => new Promise((resolve) => {
    const server = createServer().listen(0, '127.0.0.1', () => {
        const { port } = server.address();
        server.close(() => resolve(port));
    });
});

class Session {
    constructor(url) {
        this.url = url;
    }

    async command(method, path, body) {
        const response = await fetch(this.url + path, { method, headers: { 'content-type': 'application/json' },
                                                         body: body === undefined ? undefined : JSON.stringify(body) });
        const { value } = await response.json();
        if (value?.error) throw new Error(`WebDriver ${path}: ${value.error} ${value.message}`);
        return value;
    }

    keys(actions) {
        return this.command('POST', '/actions', { actions: [{ type: 'key', id: 'keyboard', actions }] });
    }
}

class Page {
    constructor(session) {
        this.session = session;
        const keys = (...actions) => session.keys(actions);
        this.keyboard = {
            type: (text) => keys(...[...text].flatMap((value) => [{ type: 'keyDown', value }, { type: 'keyUp', value }])),
            press: (key) => keys({ type: 'keyDown', value: keyCode(key) }, { type: 'keyUp', value: keyCode(key) }),
            down: (key) => keys({ type: 'keyDown', value: keyCode(key) }),
            up: (key) => keys({ type: 'keyUp', value: keyCode(key) }),
        };
    }

    goto(url) {
        return this.session.command('POST', '/url', { url });
    }

    // The function runs in the page with the arguments, which must be JSON, as its result is.
    async evaluate(fn, ...args) {
        const script = `const done = arguments[arguments.length - 1];
            Promise.resolve().then(() => (${fn}).apply(null, arguments[0]))
                .then((value) => done({ value: value === undefined ? null : value }), (error) => done({ error: String(error) }));`;
        const { value, error } = await this.session.command('POST', '/execute/async', { script, args: [args] });
        if (error !== undefined) throw new Error(`in the page: ${error}`);
        return value;
    }

    async waitForFunction(fn, { timeout = 30000 } = {}, ...args) {
        for (const end = Date.now() + timeout; Date.now() < end; await pause(50)) {
            const value = await this.evaluate(fn, ...args);
            if (value) return { jsonValue: async () => value };
        }
        throw new Error(`waiting for ${String(fn).slice(0, 80)}: timed out after ${timeout} ms`);
    }

    // The window is made the size that gives the viewport asked for (the browser's own bars differ).
    async setViewport({ width, height }) {
        const inner = () => this.evaluate(() => [window.innerWidth, window.innerHeight]);
        await this.session.command('POST', '/window/rect', { width, height });
        const [innerWidth, innerHeight] = await inner();
        await this.session.command('POST', '/window/rect', { width: 2 * width - innerWidth, height: 2 * height - innerHeight });
    }

    close() {
        return this.session.command('DELETE', '');
    }
}

export async function launchWebKit() {
    const port = await freePort();
    const driver = spawn('xvfb-run', ['-a', 'WebKitWebDriver', `--port=${port}`], { stdio: 'ignore', detached: true });
    const base = `http://127.0.0.1:${port}`;
    for (let tries = 0; !(await fetch(`${base}/status`).then(() => true, () => false)); ++tries) {
        if (tries === 100) throw new Error('WebKitWebDriver does not answer');
        await pause(100);
    }
    return {
        async newPage() {
            const capabilities = { alwaysMatch: { browserName: 'MiniBrowser', 'webkitgtk:browserOptions':
                { binary: MINIBROWSER, args: ['--automation', '--javascript-can-access-clipboard=true'] } } };
            const created = await new Session(base).command('POST', '/session', { capabilities });
            const session = new Session(`${base}/session/${created.sessionId}`);
            await session.command('POST', '/timeouts', { script: 600000 });
            return new Page(session);
        },
        async close() {
            process.kill(-driver.pid, 'SIGTERM');
        },
    };
}
