// The page's line editing without a browser: what the screen is sent for each change of the line,
// what the program is handed, and how the answer field keeps a line, long ones included.
// Usage: node --test web/test/
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { AnswerField } from '../answer_field.mjs';
import { columns, LineDiscipline, shownLine } from '../line_discipline.mjs';

const ERASE_TO_END = '\x1b[J';
const decoded = (bytes) => (bytes === null ? null : new TextDecoder().decode(bytes));

test('columns as the terminal counts them', () => {
    const table = [
        ['5.75', 4], ['è', 1], ['e\u0301', 1], ['日本', 4], ['１２', 4], ['\u{20000}', 2], ['😀', 1], ['\u00ad', 1], ['a\tb', 3],
    ];
    for (const [text, expected] of table) assert.equal(columns(text), expected, JSON.stringify(text));
});

test('each change of the line is echoed as the erasure of what changed and the new text', () => {
    const table = [
        // the line before, after, what the screen is sent
        ['', '5.7', '5.7'],
        ['5.79', '5.7', `\b${ERASE_TO_END}`],
        ['5.7s', '5.75', `\b${ERASE_TO_END}5`],
        ['5.75', '', `\b\b\b\b${ERASE_TO_END}`],
        ['1日', '1', `\b\b${ERASE_TO_END}`],
        ['ab', 'abc', 'c'],
        ['cafe', 'cafe\u0301', `\b${ERASE_TO_END}e\u0301`],
        ['e\u0301x', 'e\u0302x', `\b\b${ERASE_TO_END}e\u0302x`],
        ['a😀', 'a😁', `\b${ERASE_TO_END}😁`],
        ['1', '1\t2', ' 2'],
        ['same', 'same', null],
    ];
    for (const [before, after, expected] of table) {
        const echoed = [];
        const discipline = new LineDiscipline((text) => echoed.push(text));
        discipline.edit(before);
        echoed.length = 0;
        discipline.edit(after);
        assert.deepEqual(echoed, expected === null ? [] : [expected], `${JSON.stringify(before)} to ${JSON.stringify(after)}`);
    }
});

test('a line of megabytes shows its two ends, and a change at its end echoes little', () => {
    const line = `0.${'0'.repeat(10 << 20)}5e10485761`;
    const shown = shownLine(line);
    assert.ok(shown.startsWith(`0.${'0'.repeat(1998)} [... ${line.length - 4000} characters not shown / caratteri non mostrati ...] 0`));
    assert.ok(shown.endsWith(`${'0'.repeat(1988)}5e10485761`) && shown.length < 4100);
    const echoed = [];
    const discipline = new LineDiscipline((text) => echoed.push(text));
    discipline.edit(line);
    discipline.edit(`${line}2`);
    assert.ok(echoed.every((text) => text.length < 5000), 'an echo of the whole line');
    discipline.enter();
    assert.equal(discipline.ready[0].length, line.length + 2);
});

test('Enter, Ctrl-D and Ctrl-C hand over what a terminal would', async () => {
    const discipline = new LineDiscipline(() => {});
    discipline.edit('5');
    discipline.endOfInput();   // Ctrl-D on a line with text: the text, no line end
    discipline.edit('.75');
    discipline.enter();
    discipline.endOfInput();   // Ctrl-D on the empty line: the end of the input
    discipline.interrupt();
    const read = [];
    for (let i = 0; i < 4; ++i) read.push(decoded(await discipline.read()));
    assert.deepEqual(read, ['5', '.75\n', '', null]);
});

test('a read waits for the next line; lines typed ahead wait for the reads', async () => {
    const discipline = new LineDiscipline(() => {});
    const waiting = discipline.read();
    discipline.edit('1');
    discipline.enter();
    discipline.edit('2');
    discipline.enter();
    assert.equal(decoded(await waiting), '1\n');
    assert.equal(decoded(await discipline.read()), '2\n');
});

// The answer field without a browser: a field's value and selection, and the reports it makes.
function fieldWithReports() {
    const field = { value: '', selectionStart: 0, selectionEnd: 0, addEventListener: () => {} };
    const reports = [];
    const answer = new AnswerField(field, {
        edited: (line) => reports.push(['edited', line]), entered: () => reports.push(['entered']),
        endOfInput: () => reports.push(['endOfInput']), interrupt: () => reports.push(['interrupt']),
        hasSelection: () => false,
    });
    const type = (value) => {
        field.value = value;
        field.selectionStart = field.selectionEnd = value.length;
        answer.take(answer.held + field.value);
    };
    const paste = (text) => answer.paste({ clipboardData: { getData: () => text }, preventDefault: () => {} });
    return { field, answer, reports, type, paste };
}

test('line breaks in the field end lines; control characters are dropped, tabs kept', () => {
    const { field, reports, type } = fieldWithReports();
    type('1\r\n2\n\u00003\x1b\t4');
    assert.deepEqual(reports, [['edited', '1'], ['entered'], ['edited', '2'], ['entered'], ['edited', '3\t4']]);
    assert.equal(field.value, '3\t4');
});

test('a long pasted line stays whole while the field keeps only its end, and Backspace reaches back', () => {
    const { field, answer, reports, type, paste } = fieldWithReports();
    const line = '7'.repeat(100000);
    paste(line);
    assert.equal(reports.at(-1)[1], line);
    assert.ok(field.value.length <= 2048, `the field holds ${field.value.length} characters`);
    for (let left = line.length; left > line.length - 3000; --left) type(field.value.slice(0, -1));  // Backspace
    assert.equal(reports.at(-1)[1], line.slice(0, -3000));
    assert.ok(field.value.length >= 256, 'the field ran dry');
    type(`${field.value}\n`);
    const lengths = reports.slice(-3).map(([report, text]) => [report, text?.length]);
    assert.deepEqual(lengths, [['edited', line.length - 3000], ['entered', undefined], ['edited', 0]]);
    assert.equal(reports.at(-3)[1], line.slice(0, -3000));
    assert.equal(answer.held + field.value, '');
});

test('a paste goes where the selection is, and a surrogate pair is never cut', () => {
    const { field, reports, type, paste } = fieldWithReports();
    type('5.9');
    field.selectionStart = 2;
    field.selectionEnd = 3;
    paste('75');
    assert.equal(reports.at(-1)[1], '5.75');
    type('');
    paste('😀'.repeat(3000));
    assert.equal(reports.at(-1)[1], '😀'.repeat(3000));
    assert.ok(!/^[\udc00-\udfff]/.test(field.value), 'the field starts in the middle of a pair');
});
