// The session as a screen reader hears it and reads it back. The terminal's rows are hidden from
// assistive technology: a screen reader would hear them anew on every change. Instead, each
// stretch of what the program wrote before it waits for input (a prompt, a result, the closing
// lines) and each of the page's own messages is announced once, as one piece, through a live
// region, and kept in the session's log, which the reading keys go through line by line: the log
// keeps each line typed on its prompt's line, and is not live, since a line typed was heard as it
// was typed. Pieces written at once (the closing lines and the page's message, lines typed ahead,
// a paste of several lines) are announced as one, in order: a screen reader would cut each short
// with the next. Announcements are added to the live region, never put in place of one another,
// and each leaves it a while later, so that reading the page back finds each piece once, in the
// log.

// The text as the screen shows it, without the terminal's carriage returns.
const plain = (text) => text.replace(/\r\n?/g, '\n');
const READER_SETTLES = 1000;  // ms
const FOCUS_LOOKED_FOR = 100;  // ms
const FOCUS_AWAITED = 10000;  // ms
const ANNOUNCED_FOR = 2000;  // ms: long after the reader has taken its text

// A piece of the log: texts, and the page's own messages with each language marked.
function piece(...parts) {
    const paragraph = document.createElement('p');
    for (const part of parts) {
        if (typeof part === 'string') {
            paragraph.append(part);
            continue;
        }
        const [english, italian] = ['en', 'it'].map((lang) => Object.assign(document.createElement('span'), { lang, textContent: part[lang] }));
        paragraph.append(english, ' / ', italian);
    }
    return paragraph;
}

// A count with its thousands marked, alike in every engine (10,485,772 and 10.485.772).
const grouped = (number, mark) => String(number).replace(/\B(?=(\d{3})+$)/g, mark);

// A paste is not spelled out: a short one is heard as it is, a long one as its size.
const PASTE_HEARD_WHOLE = 80;  // characters
const pasteHeard = (text) => {
    const lines = text.replace(/(\r\n|\r|\n)$/, '').split(/\r\n|\r|\n/).length;  // a last line end ends a line
    if (lines === 1 && text.length <= PASTE_HEARD_WHOLE) return [text];
    const count = (number, en, it) => ({ en: `${grouped(number, ',')} ${en}`, it: `${grouped(number, '.')} ${it}` });
    const characters = count(text.length, 'characters', 'caratteri');
    const rows = count(lines, 'lines', 'righe');
    return [{ en: `pasted: ${characters.en}${lines > 1 ? `, ${rows.en}` : ''}`, it: `incollati: ${characters.it}${lines > 1 ? `, ${rows.it}` : ''}` }];
};

export class SpokenLog {
    constructor(log, announcer) {
        this.log = log;
        this.announcer = announcer;
        this.openPiece = null;  // the last piece, while its last line waits for an answer
        this.pending = '';      // written since the program last waited
        this.ready = false;
        this.unannounced = null;  // the texts of the current task, announced together after it
        this.listening = this.whenReaderListens().then(() => {
            this.ready = true;
        });
    }

    // A screen reader takes no announcement from a page that is loading or in a window that is
    // not active: the first prompt waits until both are past and the reader has had a moment
    // (`listening`, after which the first `flush` announces it).
    // The window's focus is looked for now and then, not awaited as an event: a window may be
    // given the focus before the page listens for it, and a page in a window that never gets it
    // (a test's) goes on after a while.
    async whenReaderListens() {
        if (document.readyState !== 'complete') await new Promise((resolve) => window.addEventListener('load', resolve, { once: true }));
        for (let waited = 0; !document.hasFocus() && waited < FOCUS_AWAITED; waited += FOCUS_LOOKED_FOR) {
            await new Promise((resolve) => setTimeout(resolve, FOCUS_LOOKED_FOR));
        }
        await new Promise((resolve) => setTimeout(resolve, READER_SETTLES));
    }

    // What the program wrote; it is announced at the next `flush`.
    written(text) {
        this.pending += text;
    }

    // Announces what was written and adds it to the log as one piece; its last line stays open
    // for the answer unless it ended.
    flush() {
        if (!this.ready || this.pending === '') return;
        const written = piece(plain(this.pending).replace(/\n$/, ''));
        this.openPiece = this.pending.endsWith('\n') ? null : written;
        this.pending = '';
        this.add(written);
    }

    // One of the page's own messages, { en, it }, between `before` and `after` as the screen shows it.
    message(text, before = '', after = '') {
        this.flush();
        if (!this.ready) {
            this.pending += `${before}${text.en} / ${text.it}${after}\n`;
            return;
        }
        this.openPiece = null;
        this.add(piece(before, text, after));
    }

    add(logged) {
        this.log.append(logged);
        this.announce(logged.textContent);
    }

    // Heard, not kept in the log: what the learner did that the field does not say (a paste).
    announce(text) {
        if (this.unannounced === null) {
            this.unannounced = [];
            setTimeout(() => {
                const announced = piece(this.unannounced.join('\n'));
                this.announcer.append(announced);
                this.unannounced = null;
                setTimeout(() => announced.remove(), ANNOUNCED_FOR);
            });
        }
        this.unannounced.push(text);
    }

    pasted(text) {
        this.announce(piece(...pasteHeard(text)).textContent);
    }

    // The line the learner handed over, on its prompt's line, which it ends.
    answered(text) {
        this.flush();
        if (!this.ready) {
            this.pending += `${text}\n`;
            return;
        }
        if (this.openPiece === null) {
            this.openPiece = piece();
            this.log.append(this.openPiece);
        }
        this.openPiece.append(text);
        this.openPiece = null;
    }
}
