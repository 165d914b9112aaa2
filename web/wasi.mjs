// Runs the program's WebAssembly module with the seven WASI calls it makes. A read of standard
// input waits for `readInput` (a promise of bytes, or of a text or texts in turn to be sent as
// UTF-8; none at the end of the input; null when the program is interrupted, as by Ctrl-C at a terminal, which ends
// it with status 130): the module was transformed by Binaryen's asyncify, so the call unwinds the
// stack, the promise settles, and the stack is rewound into the same read. A program that has
// run for a while when it reads gives the page its turn the same way, so that reading a line of
// megabytes leaves the page free to draw and take keys. Standard output and standard error go to
// `writeOutput` and `writeError` as bytes. Resolves to the program's exit status.

const SUCCESS = 0;
const BAD_FILE_DESCRIPTOR = 8;
const ILLEGAL_SEEK = 70;
const ASYNCIFY_UNWINDING = 1;
const INTERRUPTED = 130;  // as a shell reports a program that SIGINT ended
const RUNS_AT_MOST = 25;  // ms at a time, then a read waits for the page's next task
const TEXT_ENCODED_AT_ONCE = 1 << 16;  // UTF-16 units
const encoder = new TextEncoder();
const nextTask = () => new Promise((resolve) => setTimeout(resolve));

class ProgramExit {
    constructor(status) {
        this.status = status;
    }
}

// The bytes that the iovec array at `iovs` (`count` pointer and length pairs) points to.
function* ioVectors(memory, iovs, count) {
    const view = new DataView(memory.buffer);
    for (let i = 0; i < count; ++i) {
        const pointer = view.getUint32(iovs + 8 * i, true);
        const length = view.getUint32(iovs + 8 * i + 4, true);
        yield new Uint8Array(memory.buffer, pointer, length);
    }
}

function setUint32(memory, pointer, value) {
    new DataView(memory.buffer).setUint32(pointer, value, true);
}

// Standard input: bytes read ahead of the program, handed out as it asks for them. Texts are
// encoded a part at a time as the program reads them, never split inside a surrogate pair.
class InputQueue {
    constructor(readInput) {
        this.readInput = readInput;
        this.pending = null;  // the settled bytes of the last readInput, not yet handed out
        this.offset = 0;
        this.texts = [];      // what is left of the texts to encode after the pending bytes
        this.interrupted = false;
    }

    nextPart() {
        const [text] = this.texts;
        let end = Math.min(text.length, TEXT_ENCODED_AT_ONCE);
        if (/[\udc00-\udfff]/.test(text[end] ?? '')) end -= 1;
        if (end < text.length) this.texts[0] = text.slice(end);
        else this.texts.shift();
        return encoder.encode(text.slice(0, end));
    }

    ready() {
        return this.pending !== null;
    }

    // Copies what is ready into the buffers; returns the count (0: the end of the input).
    copyInto(buffers) {
        let copied = 0;
        for (const buffer of buffers) {
            const part = this.pending.subarray(this.offset, this.offset + buffer.length);
            buffer.set(part);
            this.offset += part.length;
            copied += part.length;
        }
        if (this.offset >= this.pending.length) {
            this.pending = this.texts.length === 0 ? null : this.nextPart();
            this.offset = 0;
        }
        return copied;
    }

    async fill() {
        const input = await this.readInput();
        this.interrupted = input === null;
        this.texts = typeof input === 'string' ? [input] : Array.isArray(input) ? [...input] : [];
        this.pending = this.texts.length === 0 ? input : this.nextPart();
    }
}

export async function runProgram(module, { readInput, writeOutput, writeError }) {
    const input = new InputQueue(readInput);
    let instance = null;
    let waiting = null;  // the read's promise while the stack is unwound
    let runningSince = performance.now();
    const memory = () => instance.exports.memory;
    const asyncifyData = () => instance.exports.asyncify_buffer();

    const fd_read = (fd, iovs, count, readPointer) => {
        if (fd !== 0) {
            return BAD_FILE_DESCRIPTOR;
        }
        if (waiting !== null) {  // rewound into the read that waited
            instance.exports.asyncify_stop_rewind();
            waiting = null;
        }
        if (!input.ready() || performance.now() - runningSince > RUNS_AT_MOST) {
            waiting = input.ready() ? nextTask() : input.fill();
            instance.exports.asyncify_start_unwind(asyncifyData());
            return SUCCESS;
        }
        setUint32(memory(), readPointer, input.copyInto(ioVectors(memory(), iovs, count)));
        return SUCCESS;
    };
    const fd_write = (fd, iovs, count, writtenPointer) => {
        const sink = fd === 1 ? writeOutput : fd === 2 ? writeError : null;
        if (sink === null) {
            return BAD_FILE_DESCRIPTOR;
        }
        let written = 0;
        for (const bytes of ioVectors(memory(), iovs, count)) {
            sink(bytes.slice());
            written += bytes.length;
        }
        setUint32(memory(), writtenPointer, written);
        return SUCCESS;
    };
    const noEnvironment = (countPointer, sizePointer) => {
        setUint32(memory(), countPointer, 0);
        setUint32(memory(), sizePointer, 0);
        return SUCCESS;
    };
    const wasi_snapshot_preview1 = {
        fd_read,
        fd_write,
        fd_close: () => SUCCESS,
        fd_seek: () => ILLEGAL_SEEK,
        environ_sizes_get: noEnvironment,
        environ_get: () => SUCCESS,
        proc_exit: (status) => {
            throw new ProgramExit(status);
        },
    };
    instance = await WebAssembly.instantiate(module, { wasi_snapshot_preview1 });
    prepareAsyncifyData(instance);
    return runToTheEnd(instance, async () => {
        await waiting;
        runningSince = performance.now();
        return input.interrupted;
    });
}

// The buffer's header: where the saved stack starts and where the buffer ends. A rewind gives the
// stack back, so it is set once.
function prepareAsyncifyData(instance) {
    const start = instance.exports.asyncify_buffer();
    const view = new DataView(instance.exports.memory.buffer);
    view.setUint32(start, start + 8, true);
    view.setUint32(start + 4, start + instance.exports.asyncify_buffer_size(), true);
}

// `waitedForInput` resolves once the read's bytes are there: true if the program was interrupted.
async function runToTheEnd(instance, waitedForInput) {
    const { exports } = instance;
    for (;;) {
        try {
            exports._start();
        } catch (error) {
            if (error instanceof ProgramExit) {
                return error.status;
            }
            throw error;
        }
        if (exports.asyncify_get_state() !== ASYNCIFY_UNWINDING) {
            return 0;
        }
        exports.asyncify_stop_unwind();
        if (await waitedForInput()) {
            return INTERRUPTED;
        }
        exports.asyncify_start_rewind(exports.asyncify_buffer());
    }
}
