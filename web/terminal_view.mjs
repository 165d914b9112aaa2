// The terminal on the page: xterm.js shows what the program writes; the learner types into the
// page's own answer field (answer_field.mjs), which sits on the terminal's cursor, so that an
// input method's window and a mobile browser's scrolling find it there. The terminal's own
// hidden text field is left to what it does well, the context menu over a selection, and a
// paste through that menu is handed to the answer field.
import { Terminal } from '@xterm/xterm';
import { fontSizeFor, keepFitted } from './layout.mjs';

const REVERSE_WRAPAROUND = '\x1b[?45h';  // Backspace goes up a wrapped row, as Erase needs

// Copied lines carry no trailing blanks.
const withoutTrailingBlanks = (text) => text.replace(/[ \t]+$/gm, '');

// Writes to the terminal at once. The terminal takes a write in a later task, unless it follows
// the user's input (to show an echo without delay), and a frame would often be drawn between.
export function showNow(terminal, text) {
    terminal.input('', true);  // input of nothing, which only marks the next write as an answer
    terminal.write(text);
}

function openTerminal(container) {
    // The cursor as the terminal draws it while the answer field has the focus (keepFocus).
    const terminal = new Terminal({ convertEol: true, scrollback: 10000, cursorInactiveStyle: 'block',
                                    fontSize: fontSizeFor(container.clientWidth),
                                    theme: { selectionInactiveBackground: '#3a5d8f' } });
    terminal.open(container);
    showNow(terminal, REVERSE_WRAPAROUND);  // not to hold back the program's first lines
    terminal.textarea.tabIndex = -1;  // Tab leaves the page's answer field for what follows it
    return terminal;
}

// Keeps the answer field on the cursor's cell, or on the last row while the view is scrolled
// back. Where the cells lie is measured again only after a change of size (`remeasure`): a
// measure makes the browser lay out the page.
function followCursor(terminal, field) {
    let cells = null;
    const measure = () => {
        if (field.offsetParent === null) return null;  // not shown, as in print
        const screen = terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
        const origin = field.offsetParent.getBoundingClientRect();
        const width = screen.width / terminal.cols;
        const height = screen.height / terminal.rows;
        Object.assign(field.style, { width: `${width}px`, height: `${height}px` });
        return { left: screen.left - origin.left, top: screen.top - origin.top, width, height };
    };
    const place = () => {
        cells ??= measure();
        if (cells === null) return;
        const buffer = terminal.buffer.active;
        const row = Math.min(buffer.baseY + buffer.cursorY - buffer.viewportY, terminal.rows - 1);
        const column = Math.min(buffer.cursorX, terminal.cols - 1);
        field.style.left = `${cells.left + column * cells.width}px`;
        field.style.top = `${cells.top + row * cells.height}px`;
    };
    const remeasure = () => {
        cells = null;
        place();
    };
    terminal.onRender(place);
    terminal.onScroll(place);
    return remeasure;
}

// The field has the focus whenever the terminal would. A tap gives it the focus again even when
// it has it already: that raises an on-screen keyboard that was put away.
function keepFocus(terminal, container, field) {
    let contextMenu = false;  // the terminal's own field is serving the context menu
    const focusField = () => {
        contextMenu = false;
        field.focus({ preventScroll: true });
    };
    terminal.textarea.addEventListener('focus', () => {
        if (!contextMenu) focusField();
    });
    container.addEventListener('contextmenu', () => { contextMenu = true; }, true);
    container.addEventListener('mousedown', (event) => { contextMenu = event.button === 2; }, true);
    container.addEventListener('click', () => {
        if (document.activeElement === field) field.blur();
        focusField();
    });
    // A click elsewhere on the page (the heading, the help) brings the keys back to the answer,
    // unless it went to the licences or a button, or selected text to copy.
    document.addEventListener('click', (event) => {
        if (container.contains(event.target) || event.target.closest('footer, button')) return;
        if (document.getSelection().isCollapsed) focusField();
    });
    // The terminal's cursor looks as if the terminal had the focus while the field has it.
    const showCursor = () => {
        const style = document.activeElement === field ? 'block' : 'outline';
        if (terminal.options.cursorInactiveStyle !== style) terminal.options.cursorInactiveStyle = style;  // a change redraws
    };
    field.addEventListener('focus', showCursor);
    field.addEventListener('blur', showCursor);
    return () => {
        focusField();
        showCursor();
    };
}

// Copying takes the terminal's selection; a paste into the terminal's own field (its context
// menu) goes to the answer field.
function shareClipboard(terminal, container, answer) {
    container.addEventListener('copy', (event) => {
        if (!terminal.hasSelection()) return;
        event.clipboardData.setData('text/plain', withoutTrailingBlanks(terminal.getSelection()));
        event.preventDefault();
        event.stopPropagation();
    }, true);
    container.addEventListener('paste', (event) => {
        if (event.target === answer.field) return;
        event.preventDefault();
        event.stopPropagation();
        answer.append(event.clipboardData.getData('text/plain'));
        answer.field.focus({ preventScroll: true });
    }, true);
    // Keys that reach the terminal's field after its context menu closed belong to the answer.
    container.addEventListener('keydown', (event) => {
        if (event.target !== terminal.textarea) return;
        event.stopPropagation();
        answer.field.focus({ preventScroll: true });
        answer.key(event);
    }, true);
}

// A finger scrolls through earlier output; two fingers are left to the browser's pinch-zoom.
function scrollByTouch(terminal, container) {
    let lastY = null;
    let rest = 0;
    container.addEventListener('touchstart', (event) => {
        lastY = event.touches.length === 1 ? event.touches[0].clientY : null;
        rest = 0;
    }, { passive: true });
    container.addEventListener('touchmove', (event) => {
        if (lastY === null || event.touches.length !== 1) return;
        const cellHeight = terminal.element.querySelector('.xterm-screen').clientHeight / terminal.rows;
        rest += lastY - event.touches[0].clientY;
        lastY = event.touches[0].clientY;
        const rows = Math.trunc(rest / cellHeight);
        if (rows !== 0) {
            terminal.scrollLines(rows);
            rest -= rows * cellHeight;
        }
    }, { passive: true });
}

export function openTerminalView(container, field, makeAnswer) {
    const terminal = openTerminal(container);
    const answer = makeAnswer(terminal);
    const placeField = followCursor(terminal, field);
    keepFitted(terminal, container, placeField);
    // A screen reader hears and reads the session from the page's log (spoken_log.mjs), not
    // from the terminal's rows.
    terminal.element.setAttribute('aria-hidden', 'true');
    const focusField = keepFocus(terminal, container, field);
    shareClipboard(terminal, container, answer);
    scrollByTouch(terminal, container);
    field.addEventListener('input', () => terminal.scrollToBottom());  // typing shows the line typed on
    placeField();
    terminal.focus();  // the terminal draws no cursor until it has had the focus once
    focusField();
    return { terminal, answer };
}
