// Makes the one HTML file of the page: the template with the terminal's styles, the program's
// WebAssembly module (gzipped, base64) and the page's JavaScript, bundled with the terminal
// library into one module, so that it needs no server and fetches nothing. The same inputs give
// the same bytes.
// The licences section carries the notices of all that the page holds: the program's, the
// terminal library's and those of the C and C++ libraries linked into the program (written from
// its link map by scripts/link_origins.py).
// Usage: node build-page.mjs PROGRAM.wasm NODE_MODULES VERSION THIRD_PARTY.txt OUTPUT.html
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';

const [wasmFile, nodeModules, version, thirdPartyNotices, outputFile] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const esbuild = createRequire(join(nodeModules, 'x.js'))('esbuild');

const bundle = esbuild.buildSync({
    entryPoints: [join(here, 'page.mjs')], bundle: true, format: 'esm', minify: true, write: false,
    nodePaths: [nodeModules], legalComments: 'eof', target: 'es2022', logLevel: 'warning',
}).outputFiles[0].text;
// Inline text must not close its element early.
const inline = (text) => text.replaceAll('</', '<\\/');
const escaped = (text) => text.replaceAll('&', '&amp;').replaceAll('<', '&lt;').replaceAll('>', '&gt;');
const notices = [
    ['floating_point', join(here, '../LICENSE')],
    [`xterm.js ${JSON.parse(readFileSync(join(nodeModules, '@xterm/xterm/package.json'), 'utf8')).version}, the terminal`,
     join(nodeModules, '@xterm/xterm/LICENSE')],
    ['', thirdPartyNotices],
].map(([name, file]) => `${name ? `${name}\n${'='.repeat(name.length)}\n\n` : ''}${readFileSync(file, 'utf8').trim()}\n`);
const parts = {
    VERSION: version,  // first: in the title and the footer, before any other text goes in
    '/*XTERM_CSS*/': readFileSync(join(nodeModules, '@xterm/xterm/css/xterm.css'), 'utf8'),
    // Gzipped, the module is a quarter of its size: less for the browser to decode and parse first.
    '/*PROGRAM_WASM*/': gzipSync(readFileSync(wasmFile), { level: 9 }).toString('base64'),
    '/*PAGE_MODULE*/': inline(bundle),
    '/*LICENCES*/': escaped(notices.join('\n\n')),
};
let page = readFileSync(join(here, 'index.html'), 'utf8');
for (const [placeholder, text] of Object.entries(parts)) {
    page = page.replaceAll(placeholder, () => text);
}
// The page's policy lets its own scripts run, and no other: each is named by its hash.
const scripts = [...page.matchAll(/<script(?: type="module"[^>]*)?>([^]*?)<\/script>/g)].map(([, text]) => text);
const hashes = scripts.map((text) => `'sha256-${createHash('sha256').update(text).digest('base64')}'`);
writeFileSync(outputFile, page.replace('SCRIPT_HASHES', hashes.join(' ')));
