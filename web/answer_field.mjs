// Where the learner types: a text field of the page's own, not the terminal. Soft keyboards,
// dictation, input methods, autocorrect and the clipboard each edit a text field in their own
// way, with or without key events; whatever they did, the field's text is the line being typed.
// After each change the field reports the line (`edited`), and each line break in it, from
// Enter or in a pasted text, ends a line (`entered`). Keys that mean something to a terminal
// line are taken here: Ctrl-D (`endOfInput`), Ctrl-U (the line erased) and Ctrl-C with nothing
// selected, on the terminal or in the field (`interrupt`). Keys that would move the caret do nothing, so what is typed always
// goes to the end of the line; Tab leaves the field, as it leaves any text field.

import { cutAt } from './line_discipline.mjs';

const LINE_BREAK = /\r\n|\r|\n/;
// Control characters mean nothing on a line; tab, vertical tab and form feed are blanks to the
// program, which it gets as they are.
const CONTROLS = /[\0-\x08\x0e-\x1f\x7f-\x9f]/g;
// Keys that would move the caret or delete after it. Function keys type nothing into a text
// field anyway, and keep what the browser does with them.
const CARET_KEYS = new Set(['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', 'Home', 'End', 'PageUp', 'PageDown',
                            'Delete']);

// The key as one name: "Ctrl-D" for Control with D alone, otherwise the key's own name.
const keyName = (event) => ((event.ctrlKey && !event.altKey && !event.metaKey && !event.shiftKey)
    ? `Ctrl-${event.key.toUpperCase()}` : event.key);

// A line of megabytes (a paste) would take a browser seconds to lay out in a field: the field
// keeps the last characters of a long line, enough for any Backspace, and the rest is held here.
const FIELD_KEEPS = 1024;
const FIELD_REFILL_BELOW = 256;

const NOTHING_KEPT = Object.freeze({ held: '', part: '', line: '' });

export class AnswerField {
    // `hasSelection` tells whether text is selected on the terminal (Ctrl-C copies it then).
    // `pasted` is told of each paste, before its text is taken.
    constructor(field, { edited, entered, endOfInput, interrupt, pasted, hasSelection }) {
        this.field = field;
        this.held = '';  // the start of a long line, which the field no longer holds
        this.kept = NOTHING_KEPT;  // the line last kept, and its two parts
        this.reports = { edited, entered, endOfInput, interrupt, pasted };
        this.hasSelection = hasSelection;
        field.addEventListener('input', (event) => this.take(field.value, event.isComposing));
        field.addEventListener('compositionend', () => this.take(field.value));
        field.addEventListener('keydown', (event) => this.key(event));
        field.addEventListener('paste', (event) => this.paste(event));
        field.addEventListener('copy', (event) => this.copy(event));
    }

    hasOwnSelection() {
        return this.field.selectionStart !== this.field.selectionEnd;
    }

    // The field's own selection is copied as the browser copies it, but for the start of a long
    // line that the field no longer holds: a selection from the field's start copies it too.
    copy(event) {
        const { value, selectionStart, selectionEnd } = this.field;
        if (this.held === '' || selectionStart !== 0 || selectionEnd === 0) return;
        event.clipboardData.setData('text/plain', this.held + value.slice(0, selectionEnd));
        event.preventDefault();
    }

    // The field's text as it now stands, line breaks included, after the start that the field
    // no longer holds, which was taken before and is not looked at again (Enter on a line of
    // megabytes costs no more than on a short one): each complete line is handed on, the rest
    // is the line being typed.
    take(fieldText, composing = false) {
        if (composing) {
            this.reports.edited(this.held + fieldText);  // shown while it is composed, as typed
            return;
        }
        // A lone surrogate (a paste may hold one) is what the program gets for it, U+FFFD,
        // which every engine shows alike.
        const lines = fieldText.replace(CONTROLS, '').toWellFormed().split(LINE_BREAK);
        const last = lines.pop();
        for (const line of lines) {
            this.reports.edited(this.lineOf(line));
            this.reports.entered();
            this.held = '';
        }
        const rest = this.lineOf(last);
        this.keep(rest);
        this.reports.edited(rest);
    }

    // Puts the line being typed in the field, or only its end where it is long. Text moves
    // between the two only when the field's part grows long or runs short: setting the field
    // anew would disturb an input method at work on it.
    keep(line) {
        const inField = line.length - this.held.length;
        if (inField > 2 * FIELD_KEEPS || (this.held !== '' && inField < FIELD_REFILL_BELOW)) {
            this.held = line.slice(0, cutAt(line, Math.max(0, line.length - FIELD_KEEPS)));
        }
        const fieldPart = line.slice(this.held.length);
        if (this.field.value !== fieldPart) this.field.value = fieldPart;
        this.kept = { held: this.held, part: fieldPart, line };
    }

    // The held start and the field's part as one line: the line last kept where neither has
    // changed (an Enter), since a start of megabytes joined anew would be copied whole once more
    // when the new string is first read.
    lineOf(part) {
        return this.held === this.kept.held && part === this.kept.part ? this.kept.line : this.held + part;
    }

    key(event) {
        if (event.isComposing || event.keyCode === 229) return;  // an input method's key: its text comes as an edit
        const name = keyName(event);
        if (name === 'Ctrl-D') {
            event.preventDefault();
            this.endOfInput();
        } else if (name === 'Ctrl-U') {
            event.preventDefault();
            this.clear();
            this.take('');
        } else if (name === 'Ctrl-C' && !this.hasSelection() && !this.hasOwnSelection()) {
            event.preventDefault();
            this.reports.interrupt();
            this.clear();
        } else if (event.key === 'Enter' && !event.altKey && !event.ctrlKey && !event.metaKey) {
            // Ends the line without a line break in the field, which a screen reader would take
            // for the caret moving to a new line and read that line.
            event.preventDefault();
            this.take(`${this.field.value}\n`);
        } else if (CARET_KEYS.has(event.key)) {
            event.preventDefault();
        }
    }

    // Ctrl-D, or the page's button for it where a keyboard has no Ctrl key.
    endOfInput() {
        this.reports.endOfInput();
        this.clear();
    }

    // A paste is taken here, not put in the field by the browser, whose editing takes seconds
    // over a text of thousands of lines or megabytes.
    paste(event) {
        const text = event.clipboardData?.getData('text/plain');
        if (!text) return;
        event.preventDefault();
        this.reports.pasted(text);
        const { value, selectionStart, selectionEnd } = this.field;
        this.take(value.slice(0, selectionStart) + text + value.slice(selectionEnd));
    }

    // Adds text at the end, as if it were pasted there (a paste that reached the terminal).
    append(text) {
        this.reports.pasted(text);
        this.take(this.field.value + text);
    }

    // Adds text at the end as typed (the panel's "Type this pattern"), and gives the field the keys.
    type(text) {
        this.take(this.field.value + text);
        this.field.focus({ preventScroll: true });
    }

    // Forgets the line without echoing anything: it was handed over, or the program has ended.
    clear() {
        this.held = '';
        this.kept = NOTHING_KEPT;
        this.field.value = '';
    }
}
