// Runs the program's WebAssembly module under node, with the page's own WASI glue: standard
// input and output are this process's. CTest runs the transcripts with it.
// Usage: node run-node.mjs floating_point.wasm
import { readFileSync, writeSync } from 'node:fs';
import { runProgram } from './wasi.mjs';

const chunks = process.stdin[Symbol.asyncIterator]();
const readInput = async () => {
    const { value, done } = await chunks.next();
    return done ? new Uint8Array(0) : value;
};
const writeAll = (fd) => (bytes) => {
    for (let written = 0; written < bytes.length;) {
        written += writeSync(fd, bytes, written);
    }
};

const module = await WebAssembly.compile(readFileSync(process.argv[2]));
process.exitCode = await runProgram(module, { readInput, writeOutput: writeAll(1), writeError: writeAll(2) });
process.stdin.destroy();
