// Makes the one HTML file of the page: the template with the terminal's styles, the program's
// WebAssembly module (base64) and the JavaScript modules (data: URLs behind an import map)
// inside it, so that it needs no server and fetches nothing. The same inputs give the same bytes.
// Usage: node build-page.mjs PROGRAM.wasm NODE_MODULES OUTPUT.html
import { readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [wasmFile, nodeModules, outputFile] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));

// A module's source without its source map comment, which would point to a file that is not there.
const moduleSource = (file) => readFileSync(file, 'utf8').replace(/\n\/\/# sourceMappingURL=\S+\s*$/, '\n');
const dataUrl = (file) => 'data:text/javascript;base64,' + Buffer.from(moduleSource(file)).toString('base64');

const importMap = {
    imports: {
        '@xterm/xterm': dataUrl(join(nodeModules, '@xterm/xterm/lib/xterm.mjs')),
        '@xterm/addon-fit': dataUrl(join(nodeModules, '@xterm/addon-fit/lib/addon-fit.mjs')),
        './line_discipline.mjs': dataUrl(join(here, 'line_discipline.mjs')),
        './wasi.mjs': dataUrl(join(here, 'wasi.mjs')),
    },
};
// Inline text must not close its element early.
const inline = (text) => text.replaceAll('</', '<\\/');
const parts = {
    '/*XTERM_CSS*/': readFileSync(join(nodeModules, '@xterm/xterm/css/xterm.css'), 'utf8'),
    '/*PROGRAM_WASM*/': readFileSync(wasmFile).toString('base64'),
    '/*IMPORT_MAP*/': JSON.stringify(importMap),
    '/*PAGE_MODULE*/': inline(moduleSource(join(here, 'page.mjs'))),
};
let page = readFileSync(join(here, 'index.html'), 'utf8');
for (const [placeholder, text] of Object.entries(parts)) {
    page = page.replace(placeholder, () => text);
}
writeFileSync(outputFile, page);
