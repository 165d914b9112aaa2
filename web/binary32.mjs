// What a binary32 pattern holds, worked out exactly in integers (BigInt), never through a double:
// its fields and class, its exact decimal value, the shortest decimal that reads back to it, its
// neighbours and the gap to the next; and for a decimal number, the patterns that rounding to
// nearest (ties to even) and cutting off store, and the binary digits that cutting off loses.
// A pattern is a Number from 0 to 2^32 - 1; a magnitude is a rational { numerator, denominator }
// of BigInts. No DOM: the panel (panel.mjs) shows what this works out.

const FRACTION_BITS = 23;
const BIAS = 127;
const SIGN_BIT = 2 ** 31;
const INFINITY = 0x7f800000;

const rational = (numerator, denominator = 1n) => ({ numerator, denominator });
// a × 2^k as a rational, for any integer k.
const timesPowerOfTwo = ({ numerator, denominator }, k) => (k >= 0 ? rational(numerator << BigInt(k), denominator)
    : rational(numerator, denominator << BigInt(-k)));
const compare = (a, b) => Math.sign(Number(a.numerator * b.denominator - b.numerator * a.denominator));

export const fields = (bits) => ({ sign: bits >= SIGN_BIT ? 1 : 0, exponent: Math.floor(bits / 2 ** 23) % 256, fraction: bits % 2 ** 23 });

// zero, subnormal, normal, infinity, quiet NaN or signalling NaN (the first fraction bit 0).
export function classOf(bits) {
    const { exponent, fraction } = fields(bits);
    if (exponent === 0) return fraction === 0 ? 'zero' : 'subnormal';
    if (exponent < 255) return 'normal';
    if (fraction === 0) return 'infinity';
    return fraction >= 2 ** 22 ? 'quiet NaN' : 'signalling NaN';
}

// The power of two of one unit in the last place: exponent − 150, and −149 for the subnormals.
const lastPlace = (bits) => Math.max(fields(bits).exponent, 1) - BIAS - FRACTION_BITS;

// A finite pattern's magnitude, exactly: its significand (with the hidden 1 of a normal number)
// times one unit in its last place.
export function magnitudeOf(bits) {
    const { exponent, fraction } = fields(bits);
    return timesPowerOfTwo(rational(BigInt(fraction + (exponent === 0 ? 0 : 2 ** 23))), lastPlace(bits));
}

// One unit in the last place of a finite pattern: the gap to the next float away from zero.
export const unitInTheLastPlace = (bits) => timesPowerOfTwo(rational(1n), lastPlace(bits));

// All the decimal digits of a rational whose denominator is a power of two (2^-k has k digits
// after the point), with "-" where negative.
export function decimalText({ numerator, denominator }, negative = false) {
    const places = denominator.toString(2).length - 1;
    const digits = (numerator * 5n ** BigInt(places)).toString().padStart(places + 1, '0');
    const whole = digits.slice(0, digits.length - places);
    const fraction = digits.slice(digits.length - places).replace(/0+$/, '');
    return `${negative ? '-' : ''}${whole}${fraction ? `.${fraction}` : ''}`;
}

// The exact value of a finite pattern, every digit, with its sign (-0 for the negative zero).
export const exactValue = (bits) => decimalText(magnitudeOf(bits), fields(bits).sign === 1);

// The neighbouring patterns: the next float down (toward −∞) and up (toward +∞); null past an
// infinity, and for a NaN. A zero's neighbours are the smallest subnormals of either sign.
export function neighbours(bits) {
    if (classOf(bits).endsWith('NaN')) return { down: null, up: null };
    const { sign } = fields(bits);
    const magnitude = bits % SIGN_BIT;
    if (magnitude === 0) return { down: SIGN_BIT + 1, up: 1 };
    const larger = magnitude === INFINITY ? null : bits + 1;
    const smaller = bits - 1;
    return sign === 0 ? { down: smaller, up: larger } : { down: larger, up: smaller };
}

// A decimal number as written ("0.1", "-12.375", ".5", "1.5e3"): its sign and exact magnitude;
// null for any other text, and for one beyond what a binary32 can come near (|exponent| > 400).
const DECIMAL = /^([+-]?)(?=\.?\d)(\d*)(?:\.(\d*))?(?:[eE]([+-]?\d{1,4}))?$/;
export function readDecimal(text) {
    const match = DECIMAL.exec(text);
    if (!match) return null;
    const [, sign, whole, fraction = '', exponent = '0'] = match;
    const shift = Number(exponent) - fraction.length;
    if (Math.abs(shift) > 400 + fraction.length || `${whole}${fraction}`.length > 400) return null;
    const digits = BigInt(`${whole}${fraction}`);
    return { negative: sign === '-', magnitude: shift >= 0 ? rational(digits * 10n ** BigInt(shift)) : rational(digits, 10n ** BigInt(-shift)) };
}

// The power of two of a positive rational's leading 1: 2^e <= magnitude < 2^(e + 1).
function binaryExponent(magnitude) {
    let e = magnitude.numerator.toString(2).length - magnitude.denominator.toString(2).length;
    const atLeast = (k) => compare(magnitude, timesPowerOfTwo(rational(1n), k)) >= 0;
    while (!atLeast(e)) e -= 1;
    while (atLeast(e + 1)) e += 1;
    return e;
}

// The pattern that rounding a magnitude to nearest, ties to even, gives: with the sign bit `sign`,
// and infinity past the largest float.
export function roundToNearest(magnitude, sign = 0) {
    if (magnitude.numerator === 0n) return sign * SIGN_BIT;
    // The scale of the last digit kept: 23 digits below the leading 1, at most 2^-149.
    const exponent = Math.max(binaryExponent(magnitude), 1 - BIAS);
    const { numerator, denominator } = timesPowerOfTwo(magnitude, FRACTION_BITS - exponent);
    let significand = numerator / denominator;
    const twiceRest = 2n * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest === denominator && significand % 2n === 1n)) significand += 1n;
    // A significand that rounds up to 2^24 carries into the exponent field, as the sum does.
    return sign * SIGN_BIT + Math.min((exponent + BIAS - 1) * 2 ** 23 + Number(significand), INFINITY);
}

// The pattern of a magnitude cut off after its 23rd fraction digit (toward zero).
export function roundTowardZero(magnitude, sign = 0) {
    const nearest = roundToNearest(magnitude);
    return sign * SIGN_BIT + (compare(magnitudeOf(nearest), magnitude) > 0 ? nearest - 1 : nearest);
}

// The first `count` binary digits of a magnitude past the last digit that cutting it off keeps.
export function digitsCutOff(magnitude, count) {
    const scaled = timesPowerOfTwo(magnitude, -lastPlace(roundTowardZero(magnitude)));
    let rest = scaled.numerator % scaled.denominator;
    let digits = '';
    for (let i = 0; i < count; ++i) {
        rest *= 2n;
        digits += rest >= scaled.denominator ? '1' : '0';
        rest %= scaled.denominator;
    }
    return digits;
}

// The difference stored − typed, exactly, as a rational with its sign; and relative to `typed`.
export const difference = (stored, typed) => rational(stored.numerator * typed.denominator - typed.numerator * stored.denominator,
                                                       stored.denominator * typed.denominator);

// A rational's approximate value in scientific notation with `digits` significant digits and its
// sign ("-5.96e-9"), for the errors, whose exact digits would bury them.
export function approximately(value, digits = 3) {
    if (value.numerator === 0n) return '0';
    const negative = value.numerator < 0n;
    const magnitude = rational(negative ? -value.numerator : value.numerator, value.denominator);
    let e = decimalExponent(magnitude);
    let { n } = nearestWithDigits(magnitude, digits, e);
    if (n.toString().length > digits) {  // rounded up to the next power of ten
        n /= 10n;
        e += 1;
    }
    const text = n.toString();
    return `${negative ? '-' : '+'}${text[0]}${digits > 1 ? `.${text.slice(1)}` : ''}e${e < 0 ? '-' : ''}${Math.abs(e)}`;
}

// The power of ten of a positive rational's leading digit: 10^e <= magnitude < 10^(e + 1).
function decimalExponent(magnitude) {
    let e = magnitude.numerator.toString().length - magnitude.denominator.toString().length;
    const tenTo = (k) => (k >= 0 ? rational(10n ** BigInt(k)) : rational(1n, 10n ** BigInt(-k)));
    while (compare(magnitude, tenTo(e)) < 0) e -= 1;
    while (compare(magnitude, tenTo(e + 1)) >= 0) e += 1;
    return e;
}

// The decimals with `digits` significant digits just below and just above a positive rational
// (the same one where it has no more digits), as rationals with their digits and scale.
function decimalsAround(magnitude, digits, e = decimalExponent(magnitude)) {
    const scale = digits - 1 - e;  // the value of the last digit is 10^-scale
    const scaled = scale >= 0 ? rational(magnitude.numerator * 10n ** BigInt(scale), magnitude.denominator)
        : rational(magnitude.numerator, magnitude.denominator * 10n ** BigInt(-scale));
    const below = scaled.numerator / scaled.denominator;
    const exact = scaled.numerator % scaled.denominator === 0n;
    const asRational = (n) => (scale >= 0 ? rational(n, 10n ** BigInt(scale)) : rational(n * 10n ** BigInt(-scale)));
    return (exact ? [below] : [below, below + 1n]).map((n) => ({ n, scale, value: asRational(n) }));
}

// A decimal's text: plain, or with an exponent part where it is below 10^-6 or from 10^21 on.
function decimalDigits({ n, scale }) {
    const digits = n.toString();
    const e = digits.length - 1 - scale;
    if (e < -6 || e >= 21) {
        const mantissa = digits.replace(/0+$/, '');
        return `${mantissa[0]}${mantissa.length > 1 ? `.${mantissa.slice(1)}` : ''}e${e < 0 ? '-' : '+'}${Math.abs(e)}`;
    }
    if (scale <= 0) return `${digits}${'0'.repeat(-scale)}`;
    const padded = digits.padStart(scale + 1, '0');
    const fraction = padded.slice(padded.length - scale).replace(/0+$/, '');
    return `${padded.slice(0, padded.length - scale)}${fraction ? `.${fraction}` : ''}`;
}

function nearestWithDigits(magnitude, digits, e) {
    const [below, above = below] = decimalsAround(magnitude, digits, e);
    const nearer = compare(difference(magnitude, below.value), difference(above.value, magnitude)) <= 0 ? below : above;
    return { ...nearer, text: decimalDigits(nearer) };
}

// The shortest decimal that rounding to nearest reads back as this finite pattern, and of those
// the nearest to its value, with its sign.
export function shortestDecimal(bits) {
    const magnitude = magnitudeOf(bits);
    const sign = fields(bits).sign === 1 ? '-' : '';
    if (magnitude.numerator === 0n) return `${sign}0`;
    for (let digits = 1; ; ++digits) {
        const readingBack = decimalsAround(magnitude, digits).filter((candidate) => roundToNearest(candidate.value) === bits % SIGN_BIT);
        if (readingBack.length > 0) {
            const distance = (candidate) => { const d = difference(candidate.value, magnitude); return rational(d.numerator < 0n ? -d.numerator : d.numerator, d.denominator); };
            const nearest = readingBack.reduce((a, b) => (compare(distance(b), distance(a)) < 0 ? b : a));
            return `${sign}${decimalDigits(nearest)}`;
        }
    }
}
