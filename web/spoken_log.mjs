// The session as a screen reader hears it and reads it back. The terminal's rows are hidden from
// assistive technology: a screen reader would hear them anew on every change. Instead, each
// stretch of what the program wrote before it waits for input (a prompt, a result, the closing
// lines, the page's own messages) is announced once, as one piece, through a live region, and
// kept in the session's log, which the reading keys go through line by line: the log keeps each
// line typed on its prompt's line, and is not live, since a line typed was heard as it was typed.
// The live region holds a piece only for a moment, so that reading the page back finds it once.

// The text as the screen shows it, without the terminal's carriage returns.
const plain = (text) => text.replace(/\r\n?/g, '\n');
const READER_SETTLES = 1000;  // ms
const ANNOUNCED_FOR = 2000;  // ms: long after the reader has taken the piece's text

export class SpokenLog {
    constructor(log, announcer) {
        this.log = log;
        this.announcer = announcer;
        this.openPiece = null;  // the last piece, while its last line waits for an answer
        this.pending = '';      // written since the program last waited
        this.ready = false;
        this.clearing = null;
        this.listening = this.whenReaderListens().then(() => {
            this.ready = true;
        });
    }

    // A screen reader takes no announcement from a page that is loading or in a window that is
    // not active: the first prompt waits until both are past and the reader has had a moment
    // (`listening`, after which the first `flush` announces it).
    async whenReaderListens() {
        if (document.readyState !== 'complete') await new Promise((resolve) => window.addEventListener('load', resolve, { once: true }));
        if (!document.hasFocus()) await new Promise((resolve) => window.addEventListener('focus', resolve, { once: true }));
        await new Promise((resolve) => setTimeout(resolve, READER_SETTLES));
    }

    // What the program or the page wrote; it is announced at the next `flush`.
    written(text) {
        this.pending += text;
    }

    // Announces what was written and adds it to the log as one piece; its last line stays open
    // for the answer unless it ended.
    flush() {
        if (!this.ready || this.pending === '') return;
        const text = plain(this.pending).replace(/\n$/, '');
        const piece = document.createElement('p');
        piece.textContent = text;
        this.log.append(piece);
        this.openPiece = this.pending.endsWith('\n') ? null : piece;
        this.pending = '';
        this.announce(text);
    }

    announce(text) {
        clearTimeout(this.clearing);
        this.announcer.textContent = text;
        this.clearing = setTimeout(() => { this.announcer.textContent = ''; }, ANNOUNCED_FOR);
    }

    // The line the learner handed over, on its prompt's line, which it ends.
    answered(text) {
        this.flush();
        if (!this.ready) {
            this.pending += `${text}\n`;
            return;
        }
        if (this.openPiece === null) {
            this.openPiece = document.createElement('p');
            this.log.append(this.openPiece);
        }
        this.openPiece.append(document.createTextNode(text));
        this.openPiece = null;
    }
}
