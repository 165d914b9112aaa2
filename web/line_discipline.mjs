// What a terminal's line discipline does, since a browser has none: it echoes what is typed,
// edits the line (Backspace, Ctrl-U), hands each line over on Enter, and on Ctrl-D hands over the
// line as it stands, without a line end, or on an empty line ends the input. Lines typed ahead
// wait for the program to read them.

const ENTER = /[\r\n]/;
const BACKSPACE = /[\x7f\b]/;
const CTRL_D = '\x04';
const CTRL_U = '\x15';
// Erases the character left of the cursor: a blank written over it would stay on the screen.
const ERASE_ONE = '\b\x1b[K';
// One key each: a cursor or function key's escape sequence, any other control character, or a
// run of text (a paste of one line, or a long one, is echoed at once).
const KEYS = /\x1b(?:\[[0-9;]*[@-~]|O.)?|[\x00-\x08\x0a-\x1f\x7f]|[^\x00-\x08\x0a-\x1f\x7f]+/g;

export class LineDiscipline {
    constructor(echo) {
        this.echo = echo;  // writes text to the screen
        this.line = [];    // the characters typed on the current line
        this.ready = [];   // byte strings handed over and not read yet; empty: the end of input
        this.reader = null;
    }

    // Keys and pasted text, as the terminal reports them.
    type(text) {
        for (const run of text.match(KEYS) ?? []) {
            this.key(run);
        }
    }

    key(run) {
        if (ENTER.test(run)) {
            this.echo('\r\n');
            this.handOver(this.line.join('') + '\n');
        } else if (BACKSPACE.test(run)) {
            this.erase(1);
        } else if (run === CTRL_U) {
            this.erase(this.line.length);
        } else if (run === CTRL_D) {
            this.handOver(this.line.join(''));
        } else if (!/^[\x00-\x08\x0a-\x1f\x7f]/.test(run)) {
            this.line.push(...run);  // by code point, so that Backspace takes a whole "è"
            this.echo(run);
        }
    }

    erase(count) {
        const erased = Math.min(count, this.line.length);
        this.line.length -= erased;
        this.echo(ERASE_ONE.repeat(erased));
    }

    // Hands text over as standard input; an empty text ends the input.
    handOver(text) {
        this.line = [];
        this.feed(new TextEncoder().encode(text));
    }

    // Bytes for the program as they are, past the editing (the tests' transcripts).
    feed(bytes) {
        this.ready.push(bytes);
        this.wakeReader();
    }

    wakeReader() {
        if (this.reader !== null && this.ready.length > 0) {
            const resolve = this.reader;
            this.reader = null;
            resolve(this.ready.shift());
        }
    }

    // The program's read: the next line handed over, once there is one.
    read() {
        return new Promise((resolve) => {
            this.reader = resolve;
            this.wakeReader();
        });
    }
}
