// The page's line editing without a browser: what the screen is sent for each change of the
// line, what the program is handed, and how the answer field keeps a line, long ones included.
// Usage: node --test web/test/line_editing_test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { AnswerField } from '../answer_field.mjs';
import { LineDiscipline } from '../line_discipline.mjs';

const ERASE = '\x1b[J';  // after one Backspace per column

test('a change of the line is echoed as the erasure of what changed and the new text', () => {
    // Back over what changed, the new text, then what is left cleared (never from a row's first
    // column, which would cut the row off the one it continues); a line cut short is cut back a
    // character further, written again, so that its end never sits on a row's first column.
    const table = [  // before, after, what the screen is sent
        ['', '5.7', '5.7'], ['5.79', '5.7', `\b\b7${ERASE}`], ['5.7s', '5.75', `\b5${ERASE}`], ['5.75', '', `\b\b\b\b${ERASE}`],
        ['1日', '1', `\b\b\b1${ERASE}`], ['１２', '１', `\b\b\b\b１${ERASE}`], ['cafe', 'cafe\u0301', `\be\u0301${ERASE}`],
        ['e\u0301x', 'e\u0302x', `\b\be\u0302x${ERASE}`], ['a😀', 'a😁', `\b😁${ERASE}`], ['1', '1\t2', ' 2'],
        ['same', 'same', ''],
        ['', `${'1'.repeat(3000)}${'2'.repeat(3000)}`, `${'1'.repeat(2000)} [... 2000 characters not shown / caratteri non mostrati ...] ${'2'.repeat(2000)}`],
        // both ends of a long line whole, the cut never inside a surrogate pair
        ['', `a${'😀'.repeat(3000)}z`, `a${'😀'.repeat(999)} [... 2002 characters not shown / caratteri non mostrati ...] ${'😀'.repeat(1000)}z`],
        // a mark at the start of a line on a base of its own, a direction mark there not shown:
        // neither joins the prompt's last cell, and Backspace takes all back
        ['', '\u0301', '\u25cc\u0301'], ['\u0301', '', `\b${ERASE}`], ['', '\u200f\u20dd5', '\u25cc\u20dd5'],
        ['', '\u200f', ''], ['\u200f5', '\u200f', `\b${ERASE}`],
    ];
    for (const [before, after, expected] of table) {
        const discipline = new LineDiscipline(() => {});
        discipline.edit(before);
        discipline.echo = (text) => { discipline.echoed = text; };
        discipline.echoed = '';
        discipline.edit(after);
        assert.equal(discipline.echoed, expected, `${JSON.stringify(before)} to ${JSON.stringify(after)}`);
    }
});

test('Enter, Ctrl-D and Ctrl-C hand over what a terminal would, in order, to reads that wait', async () => {
    const discipline = new LineDiscipline(() => {});
    const reads = [discipline.read()];
    for (const [line, end] of [['5', 'endOfInput'], ['.75', 'enter'], ['', 'endOfInput'], ['12', 'interrupt'], ['x'.repeat(1e6), 'enter']]) {
        discipline.edit(line);
        discipline[end]();
    }
    for (let i = 0; i < 4; ++i) reads.push(discipline.read());
    const got = await Promise.all(reads);
    assert.deepEqual(got, ['5', ['.75', '\n'], '', null, ['x'.repeat(1e6), '\n']]);
});

// The answer field without a browser: a field's value and selection, and the lines reported.
function typing() {
    const field = { value: '', selectionStart: 0, selectionEnd: 0, addEventListener: () => {} };
    const lines = [];
    const answer = new AnswerField(field, { edited: (line) => { lines.line = line; }, entered: () => lines.push(lines.line), pasted: () => {} });
    const type = (value) => {
        Object.assign(field, { value, selectionStart: value.length, selectionEnd: value.length });
        answer.take(value);
    };
    const paste = (text) => answer.paste({ clipboardData: { getData: () => text }, preventDefault: () => {} });
    // What a copy of the field's selection puts on the clipboard (the browser's own copy: the selection).
    const copy = () => {
        let copied = field.value.slice(field.selectionStart, field.selectionEnd);
        answer.copy({ clipboardData: { setData: (type, text) => { copied = text; } }, preventDefault: () => {} });
        return copied;
    };
    return { field, lines, type, paste, copy };
}

test('line breaks in the field end lines; control characters go, tabs stay; a lone surrogate is U+FFFD; a paste goes to the selection', () => {
    const { field, lines, type, paste } = typing();
    type('1\r\n2\n0\r5\r\u00003\x1b\t4\ud800');
    assert.deepEqual([...lines, lines.line, field.value], ['1', '2', '0', '5', '3\t4\ufffd', '3\t4\ufffd']);
    Object.assign(field, { selectionStart: 0, selectionEnd: 1 });
    paste('5.7');
    assert.equal(lines.line, '5.7\t4\ufffd');
});

test('a long pasted line stays whole while the field keeps its end, is copied whole, and Backspace reaches back', () => {
    const { field, lines, type, paste, copy } = typing();
    const line = `${'😀'.repeat(50000)}z`;  // the field's part starts inside a pair unless cut with care
    paste(line);
    assert.ok(lines.line === line && field.value.length <= 2048 && !/^[\udc00-\udfff]/.test(field.value));
    Object.assign(field, { selectionStart: 0, selectionEnd: field.value.length });  // Ctrl-A, then Ctrl-C
    assert.ok(copy() === line);
    Object.assign(field, { selectionStart: field.value.length - 1, selectionEnd: field.value.length });
    assert.equal(copy(), 'z');
    for (let i = 0; i < 3000; ++i) type(field.value.replace(/.$/u, ''));  // Backspace
    assert.ok(lines.line === line.slice(0, -5999) && field.value.length >= 256 && !/^[\udc00-\udfff]/.test(field.value));
    type(`${field.value}\n`);
    assert.deepEqual([lines.at(-1) === line.slice(0, -5999), lines.line, field.value], [true, '', '']);
});
