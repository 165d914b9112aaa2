// The page's float arithmetic (binary32.mjs) against the machine's own: a pattern's value as the
// engine reads it (DataView), its exact digits from that double (toFixed is exact to 100 places;
// a subnormal times 2^149 is an integer), and rounding through Math.fround, which rounds to
// nearest, ties to even. Patterns: every exponent field with its fraction all 0s, all 1s, each
// single bit and random ones, both signs, and the families of 0.1, 1/3, 16777217, the smallest
// subnormal and the largest float.
// Usage: node --test web/test/binary32_test.mjs
import assert from 'node:assert/strict';
import { test } from 'node:test';
import * as binary32 from '../binary32.mjs';

const view = new DataView(new ArrayBuffer(4));
const floatOf = (bits) => view.setUint32(0, bits) ?? view.getFloat32(0);
const bitsOf = (value) => view.setFloat32(0, value) ?? view.getUint32(0);
// The float that the engine reads a decimal text as, to nearest: through a double, which may
// round twice where it falls on the midpoint between two floats and is no whole number (then null).
function engineReads(text) {
    const double = Math.abs(Number(text));
    const nearest = Math.fround(double);
    const other = floatOf(bitsOf(nearest) + (nearest > double ? -1 : 1));
    const twice = double === (nearest + other) / 2 && !(Number.isInteger(double) && double < 2 ** 53 && /^-?\d+$/.test(text));
    return twice ? null : bitsOf(Math.fround(Number(text)));
}

let seed = 20261210;
const random = () => (seed = (seed * 1103515245 + 12345) % 2 ** 31) / 2 ** 31;
const PATTERNS = [];
for (let exponent = 0; exponent < 256; ++exponent) {
    for (const fraction of [0, 2 ** 23 - 1, ...Array.from({ length: 23 }, (_, bit) => 2 ** bit), Math.floor(random() * 2 ** 23)]) {
        PATTERNS.push(exponent * 2 ** 23 + fraction, 2 ** 31 + exponent * 2 ** 23 + fraction);
    }
}
const FAMILIES = [0x3dcccccd, 0x3eaaaaab, 0x4b800000, 0x4b800001, 0x00000001, 0x7f7fffff].flatMap((bits) => [bits - 1, bits, bits + 1]);
const FINITE = [...PATTERNS, ...FAMILIES].filter((bits) => Number.isFinite(floatOf(bits)));

// The exact digits of a float, from the double that holds it.
function exactDigits(value) {
    const magnitude = Math.abs(value);
    if (magnitude >= 2 ** 53) return BigInt(magnitude).toString();
    if (magnitude >= 2 ** -77 || magnitude === 0) return magnitude.toFixed(100).replace(/\.?0+$/, '');
    const scaled = (BigInt(magnitude * 2 ** 149) * 5n ** 149n).toString().padStart(150, '0');
    return `0.${scaled.slice(1)}`.replace(/0+$/, '');
}

test('the class, the exact value and the gap of every pattern are the engine\'s', () => {
    for (const bits of [...PATTERNS, ...FAMILIES]) {
        const value = floatOf(bits);
        const klass = Number.isNaN(value) ? (bits % 2 ** 23 >= 2 ** 22 ? 'quiet NaN' : 'signalling NaN')
            : !Number.isFinite(value) ? 'infinity' : value === 0 ? 'zero' : Math.abs(value) < 2 ** -126 ? 'subnormal' : 'normal';
        assert.equal(binary32.classOf(bits), klass, bits.toString(16));
        if (!Number.isFinite(value)) continue;
        assert.equal(binary32.exactValue(bits), `${Object.is(value, -0) || value < 0 ? '-' : ''}${exactDigits(value)}`, bits.toString(16));
        const { up, down } = binary32.neighbours(bits);
        const away = floatOf(value < 0 || Object.is(value, -0) ? down : up);
        if (Number.isFinite(away) && value !== 0) {
            assert.equal(binary32.decimalText(binary32.unitInTheLastPlace(bits)), exactDigits(away - value), bits.toString(16));
        }
    }
});

test('the neighbours are the next floats down and up', () => {
    for (const bits of FINITE) {
        const { down, up } = binary32.neighbours(bits);
        const value = floatOf(bits);
        for (const [next, direction] of [[down, -1], [up, 1]]) {
            if (next === null) continue;
            assert.ok(Math.sign(floatOf(next) - value) === direction || (value === 0 && floatOf(next) !== 0), `${bits.toString(16)} ${next}`);
            // No float between: halfway is not a float of its own.
            const halfway = (floatOf(next) + value) / 2;
            assert.ok(Math.fround(halfway) === value || Math.fround(halfway) === floatOf(next) || !Number.isFinite(halfway), bits.toString(16));
        }
    }
});

test('the shortest decimal reads back to the same float, and no shorter one does', () => {
    for (const bits of FINITE) {
        const shortest = binary32.shortestDecimal(bits);
        assert.equal(engineReads(shortest), bits, `${bits.toString(16)} ${shortest}`);
        const digits = shortest.replace(/^-/, '').replace(/e.*/, '').replace('.', '').replace(/^0+/, '').replace(/0+$/, '').length;
        if (digits > 1) {
            const shorter = Number(floatOf(bits).toPrecision(digits - 1));
            const [below, above] = [shorter, shorter + Math.sign(floatOf(bits) - shorter) * 10 ** (Math.floor(Math.log10(Math.abs(shorter))) - digits + 2)];
            for (const candidate of [below, above]) assert.notEqual(engineReads(candidate.toPrecision(digits - 1)), bits, `${bits.toString(16)} ${candidate}`);
        }
    }
});

test('rounding to nearest, ties to even, and cutting off store what the engine stores', () => {
    const texts = ['0.1', '1e-46', '7e-46', '1.5e-45', '2.5e-45', '16777217', '16777219', '16777218', '3.4028235e38', '3.4028236e38',
                   ...FINITE.map((bits) => Math.abs(floatOf(bits)).toPrecision(17))];
    for (let i = 0; i < 2000; ++i) texts.push((random() * 10 ** Math.floor(random() * 60 - 30)).toPrecision(1 + Math.floor(random() * 15)));
    for (const text of texts) {
        const { magnitude } = binary32.readDecimal(text);
        const nearest = engineReads(text);
        if (nearest === null) continue;
        assert.equal(binary32.roundToNearest(magnitude), nearest, text);
        // Cut off: the float below where the typed number lies below the nearest (as a double).
        const nearestValue = floatOf(nearest);
        if (Number(text) === nearestValue) continue;
        const towardZero = !Number.isFinite(nearestValue) ? 0x7f7fffff : nearestValue > Number(text) ? nearest - 1 : nearest;
        assert.equal(binary32.roundTowardZero(magnitude), towardZero, text);
    }
});

test('the digits cut off are the typed number\'s past the 23rd fraction digit', () => {
    const table = [['0.1', '110011001100'], ['1', '000000000000'], ['16777217', '100000000000'], ['0.333333333333333333333333333333', '101010101010'],
                   ['8388607.75', '100000000000']];
    for (const [text, digits] of table) assert.equal(binary32.digitsCutOff(binary32.readDecimal(text).magnitude, 12), digits, text);
    assert.deepEqual(['abc', '1x.5', '', '.', '-', '1e', '5e-1.9e9'].map(binary32.readDecimal), Array(7).fill(null));
});
