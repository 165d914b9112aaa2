// What a terminal's line discipline does, since a browser has none. The line being typed is what
// the answer field holds (answer_field.mjs), however it got there; each change to it is echoed
// by erasing what changed and writing the new text. Enter hands the line over with a line end;
// Ctrl-D hands it over as it stands, without one, and on an empty line ends the input; Ctrl-C
// interrupts the program. Lines typed ahead wait for the program to read them.

// Columns on the terminal's screen, as the terminal counts them: East Asian wide characters take
// two, combining marks and format characters none.
const WIDE = /[\u1100-\u115f\u2329\u232a\u2e80-\u303e\u3040-\ua4cf\uac00-\ud7a3\uf900-\ufaff\ufe10-\ufe19\ufe30-\ufe6f\uff00-\uff60\uffe0-\uffe6\u{20000}-\u{2fffd}\u{30000}-\u{3fffd}]/u;
const ZERO_WIDTH = /(?!\u00ad)[\p{Mn}\p{Me}\p{Cf}]/u;
const NARROW_ONLY = /^[\0-\u02ff]*$/;  // below the first combining mark: one column each

export function columns(text) {
    if (NARROW_ONLY.test(text)) return text.length;
    let count = 0;
    for (const char of text) {
        count += ZERO_WIDTH.test(char) ? 0 : WIDE.test(char) ? 2 : 1;
    }
    return count;
}

const isLowSurrogate = (text, at) => /[\udc00-\udfff]/.test(text[at] ?? '');
const startsWithMark = (text, at) => ZERO_WIDTH.test(String.fromCodePoint(text.codePointAt(at) ?? 0x20));
// Where to cut a text so that no surrogate pair is split: at `at`, or one unit before.
export const cutAt = (text, at) => (isLowSurrogate(text, at) ? at - 1 : at);

// How the line shows: a tab, vertical tab or form feed as one blank; a line longer than a
// terminal's line limit (4096) by its two ends only, since the terminal would take minutes to
// lay out a pasted line of megabytes.
const SHOWN_AT_MOST = 4096;
const END_SHOWN = 2000;
const blanks = (text) => text.replace(/[\t\v\f]/g, ' ');

// A line that starts with combining marks or format characters (direction marks) would join
// them to the prompt's last cell: format characters at its start are not shown, and a combining
// mark there is shown on a dotted circle, as a mark alone is written.
const LEADING_ZERO_WIDTH = /^(?:(?!\u00ad)[\p{Mn}\p{Me}\p{Cf}])+/u;
const FORMAT = /(?!\u00ad)\p{Cf}/gu;
function onItsOwnBase(line) {
    const leading = LEADING_ZERO_WIDTH.exec(line)?.[0];
    if (!leading) return line;
    const marks = leading.replace(FORMAT, '');
    return `${marks === '' ? '' : '\u25cc'}${marks}${line.slice(leading.length)}`;
}

export function shownLine(text) {
    const line = onItsOwnBase(text);
    if (line.length <= SHOWN_AT_MOST) return blanks(line);
    const head = line.slice(0, cutAt(line, END_SHOWN));
    const tail = line.slice(cutAt(line, line.length - END_SHOWN));
    const left = line.length - head.length - tail.length;
    return `${blanks(head)} [... ${left} characters not shown / caratteri non mostrati ...] ${blanks(tail)}`;
}

// A change of the line on the screen: back over what changed (reverse wraparound takes the
// cursor up a wrapped row), the new text, and what is left of the old cleared to the end of the
// screen. The clearing comes after the new text: where it starts in the first column of a row
// that continues the one above, the terminal would end the continuation, and Backspace could no
// longer go up to that row. For the same reason a change that leaves the end of the line on a
// row's first column starts one character earlier, which is written again: then the cursor waits
// at the end of the row above.
const ERASE_BELOW = '\x1b[J';
const change = (old, line) => (old === '' ? line : `${'\b'.repeat(columns(old))}${line}${ERASE_BELOW}`);

// The length of the start that two lines share and that stays on the screen as it is: never half
// a surrogate pair, and never a character whose combining marks change, which is written again.
export function unchangedStart(old, line) {
    let kept = 0;
    if (line.startsWith(old)) {
        kept = old.length;
    } else if (old.startsWith(line)) {
        kept = line.length;
    } else {
        while (kept < old.length && old[kept] === line[kept]) kept += 1;
    }
    kept = cutAt(line, cutAt(old, kept));
    while (kept > 0 && (startsWithMark(old, kept) || startsWithMark(line, kept))) {
        kept = cutAt(line, kept - 1);
    }
    return kept;
}

// Where the character before `at` starts, its combining marks with it.
function characterBefore(text, at) {
    let start = cutAt(text, at - 1);
    while (start > 0 && startsWithMark(text, start)) start = cutAt(text, start - 1);
    return start;
}

export class LineDiscipline {
    // `taken` is told of each line as the screen showed it when it was handed over, and as it
    // is (null for an interrupt), once the program reads it (a line typed ahead waits for its read).
    constructor(echo, taken = () => {}) {
        this.echo = echo;  // writes text to the screen
        this.taken = taken;
        this.line = '';    // the line being typed
        this.shown = '';   // the line as the screen shows it
        // what was handed over and not read yet, each { bytes, shown }: bytes a text or texts
        // (encoded as the program reads them) or bytes, empty for the end of input, null for an
        // interrupt; shown null for bytes fed past the editing
        this.ready = [];
        this.reader = null;
    }

    // The line as it now stands: the screen shows it, changed where it changed.
    edit(line) {
        const shown = shownLine(line);
        let kept = unchangedStart(this.shown, shown);
        if (kept > 0 && kept === shown.length && kept < this.shown.length) kept = characterBefore(shown, kept);
        const echoed = change(this.shown.slice(kept), shown.slice(kept));
        this.line = line;
        this.shown = shown;
        if (echoed !== '') this.echo(echoed);
    }

    // The line end goes as a text of its own: joined to a line of megabytes, it would make a new
    // string that the page copies whole when it first reads it.
    enter() {
        this.echo('\r\n');
        this.handOver(this.line === '' ? '\n' : [this.line, '\n']);
    }

    // Ctrl-D: the line without a line end, or on an empty line the end of the input.
    endOfInput() {
        this.handOver(this.line);
    }

    // Ctrl-C with nothing selected: the line is dropped and the program stops, as at a terminal.
    interrupt() {
        this.echo('^C\r\n');
        this.handOver(null, `${this.shown}^C`);
    }

    handOver(bytes, shown = this.shown) {
        this.line = '';
        this.shown = '';
        this.ready.push({ bytes, shown });
        this.wakeReader();
    }

    // Bytes for the program as they are, past the editing (the tests' transcripts).
    feed(bytes) {
        this.ready.push({ bytes, shown: null });
        this.wakeReader();
    }

    wakeReader() {
        if (this.reader !== null && this.ready.length > 0) {
            const resolve = this.reader;
            this.reader = null;
            const { bytes, shown } = this.ready.shift();
            if (shown !== null) this.taken(shown, Array.isArray(bytes) ? bytes[0] : typeof bytes === 'string' ? bytes : null);
            resolve(bytes);
        }
    }

    // The program's read: the next bytes handed over, once there are some (null: interrupted).
    read() {
        return new Promise((resolve) => {
            this.reader = resolve;
            this.wakeReader();
        });
    }
}
