// The page's line editing without a browser: what the screen is sent for each change of the
// line, what the program is handed, and how the answer field keeps a line, long ones included.
// Usage: node --test web/test/line_editing_test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { AnswerField } from '../answer_field.mjs';
import { LineDiscipline } from '../line_discipline.mjs';

const ERASE = '\x1b[J';  // after one Backspace per column

test('a change of the line is echoed as the erasure of what changed and the new text', () => {
    const table = [  // before, after, what the screen is sent
        ['', '5.7', '5.7'], ['5.79', '5.7', `\b${ERASE}`], ['5.7s', '5.75', `\b${ERASE}5`], ['5.75', '', `\b\b\b\b${ERASE}`],
        ['1日', '1', `\b\b${ERASE}`], ['１２', '１', `\b\b${ERASE}`], ['cafe', 'cafe\u0301', `\b${ERASE}e\u0301`],
        ['e\u0301x', 'e\u0302x', `\b\b${ERASE}e\u0302x`], ['a😀', 'a😁', `\b${ERASE}😁`], ['1', '1\t2', ' 2'], ['same', 'same', ''],
        ['', `${'1'.repeat(3000)}${'2'.repeat(3000)}`, `${'1'.repeat(2000)} [... 2000 characters not shown / caratteri non mostrati ...] ${'2'.repeat(2000)}`],
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
    const got = (await Promise.all(reads)).map((bytes) => (bytes === null ? null : new TextDecoder().decode(bytes)));
    assert.deepEqual(got, ['5', '.75\n', '', null, `${'x'.repeat(1e6)}\n`]);
});

// The answer field without a browser: a field's value and selection, and the lines reported.
function typing() {
    const field = { value: '', selectionStart: 0, selectionEnd: 0, addEventListener: () => {} };
    const lines = [];
    const answer = new AnswerField(field, { edited: (line) => { lines.line = line; }, entered: () => lines.push(lines.line), pasted: () => {} });
    const type = (value) => {
        Object.assign(field, { value, selectionStart: value.length, selectionEnd: value.length });
        answer.take(answer.held + value);
    };
    const paste = (text) => answer.paste({ clipboardData: { getData: () => text }, preventDefault: () => {} });
    return { field, lines, type, paste };
}

test('line breaks in the field end lines; control characters go, tabs stay; a paste goes to the selection', () => {
    const { field, lines, type, paste } = typing();
    type('1\r\n2\n\u00003\x1b\t4');
    assert.deepEqual([...lines, lines.line, field.value], ['1', '2', '3\t4', '3\t4']);
    Object.assign(field, { selectionStart: 0, selectionEnd: 1 });
    paste('5.7');
    assert.equal(lines.line, '5.7\t4');
});

test('a long pasted line stays whole while the field keeps its end, and Backspace reaches back', () => {
    const { field, lines, type, paste } = typing();
    const line = `${'😀'.repeat(50000)}z`;  // the field's part starts inside a pair unless cut with care
    paste(line);
    assert.ok(lines.line === line && field.value.length <= 2048 && !/^[\udc00-\udfff]/.test(field.value));
    for (let i = 0; i < 3000; ++i) type(field.value.replace(/.$/u, ''));  // Backspace
    assert.ok(lines.line === line.slice(0, -5999) && field.value.length >= 256 && !/^[\udc00-\udfff]/.test(field.value));
    type(`${field.value}\n`);
    assert.deepEqual([lines.at(-1) === line.slice(0, -5999), lines.line, field.value], [true, '', '']);
});
