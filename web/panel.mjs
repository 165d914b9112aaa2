// The panel beside the terminal: what the pattern of the program's last answer holds, worked out
// by binary32.mjs, in the language chosen in the dialogue (both before the choice). It is fed
// with what the program writes and the lines it takes, as the spoken log is: a line taken at the
// decimal or the binary prompt is the text typed there, and a result line gives the pattern.
// Its 32 bits are toggle buttons, flipped by mouse, touch or keys (the arrows move among them,
// Space or Enter flips one, Tab leaves them); each flip shows what the new pattern holds, unheard.
import * as binary32 from './binary32.mjs';

const TEXTS = {
    heading: ['The pattern', 'Lo schema'], sign: ['sign', 'segno'], exponent: ['exponent', 'esponente'],
    fraction: ['fraction', 'frazione'], bit: ['bit', 'bit'], hex: ['Hexadecimal', 'Esadecimale'], bits: ['Bits', 'Bit'],
    signIs: ['Sign', 'Segno'], exponentIs: ['Exponent', 'Esponente'], significand: ['Significand', 'Mantissa'],
    exact: ['Exact value', 'Valore esatto'], shortest: ['Shortest decimal that reads back', 'Decimale più breve che torna uguale'],
    down: ['Next float down', 'Float precedente'], up: ['Next float up', 'Float successivo'],
    gap: ['Gap to the next (one unit in the last place)', 'Distanza dal successivo (unità nell\'ultima posizione)'],
    typed: ['Typed', 'Digitato'], stored: ['Stored exactly', 'Memorizzato esattamente'],
    cut: ['Digits cut off after the 23rd', 'Cifre tagliate dopo la 23ª'],
    error: ['Error of the stored value', 'Errore del valore memorizzato'], relative: ['relative', 'relativo'],
    rounded: ['Rounding to nearest (ties to even) stores', 'L\'arrotondamento al più vicino (pari in caso di parità) memorizza'],
    why: ['This program cuts the fraction off after its 23rd digit; a compiler rounds, looking at the first digit cut off (marked).',
          'Questo programma taglia la frazione dopo la 23ª cifra; un compilatore arrotonda, guardando la prima cifra tagliata (segnata).'],
    throughDouble: ['The program read this number through a double, which rounded it up first: its pattern is not the typed number cut off.',
                    'Il programma ha letto questo numero attraverso un double, che lo ha arrotondato per eccesso: lo schema non è il numero digitato troncato.'],
    notPlain: ['The program read this text in its own way (it is not a decimal number as written): no error to show.',
               'Il programma ha letto questo testo a modo suo (non è un numero decimale scritto per intero): nessun errore da mostrare.'],
    unknown: ['The number came on the line of an earlier answer: the panel does not know the text typed.',
              'Il numero è arrivato sulla riga di una risposta precedente: il pannello non conosce il testo digitato.'],
    outOfRange: ['Number out of range: the program stored no pattern.', 'Numero fuori dal range: il programma non ha memorizzato alcuno schema.'],
    failed: ['The program wrote an error: its fields are not a whole pattern.', 'Il programma ha scritto un errore: i campi non sono uno schema intero.'],
    filled: ['Digits typed, filled to 32 as the program fills them', 'Cifre digitate, completate a 32 come fa il programma'],
    finalResult: ['The program\'s result (six digits) and the exact value', 'Il risultato del programma (sei cifre) e il valore esatto'],
    type: ['Type this pattern', 'Scrivi questo schema'], zero: ['zero', 'zero'], subnormal: ['subnormal', 'denormalizzato'],
    normal: ['normal', 'normale'], infinity: ['infinity', 'infinito'], 'quiet NaN': ['NaN, quiet', 'NaN, silenzioso'],
    'signalling NaN': ['NaN, signalling', 'NaN, segnalante'], allZero: ['all 0: zero or subnormal, 2^-126, no hidden 1', 'tutti 0: zero o denormalizzato, 2^-126, senza 1 implicito'],
    allOnes: ['all 1: infinity or NaN', 'tutti 1: infinito o NaN'], summaryStores: ['stores exactly', 'memorizza esattamente'],
    summaryRounded: ['rounding to nearest would store', 'l\'arrotondamento al più vicino memorizzerebbe'],
};
const FIELD_OF = (bit) => (bit === 31 ? 'sign' : bit >= 23 ? 'exponent' : 'fraction');
const hex = (bits) => `0x${bits.toString(16).toUpperCase().padStart(8, '0')}`;
const binaryText = (bits) => bits.toString(2).padStart(32, '0');

const DECIMAL_PROMPT = /(Insert decimal value|Inserisci valore decimale): $/;
const BINARY_PROMPT = /(Insert binary value|Inserisci valore in binario): $/;
const DECIMAL_RESULT = /^(ERRORE? )?(?:The binary number is|Il numero in binario è): (.*)$/m;
const BINARY_RESULT = /^1,([01]*) \* 2\^(-?\d+)\n[^\n]*\n\n(?:Final result|Risultato finale): (\S+)$/m;

export class Panel {
    // `root` is where the panel goes, made from `template` (index.html); `typeIntoAnswer` writes
    // text into the answer; `announce` says a text to a screen reader once.
    constructor(root, template, { typeIntoAnswer, announce }) {
        Object.assign(this, { root, template, typeIntoAnswer, announce });
        this.lang = null;  // until the dialogue's language is chosen: both
        this.pending = '';  // written since the program last waited
        this.prompt = '';   // the line the program last waited on
        this.typed = null;  // the text taken at the last decimal or binary prompt
        this.answer = null; // what the program's last answer adds: its kind and what it shows
        this.bits = 0;
        this.drawing = null;  // a result drawn in this turn of the program's
        this.build();
    }

    // The panel's elements, made anew in the dialogue's language and filled before they are put
    // in place: one change for a screen reader to take in, not one for each of the texts.
    build() {
        const open = this.content?.querySelector('details').open;
        const focused = this.content?.contains(document.activeElement) ? document.activeElement : null;
        this.content = document.createElement('div');
        this.content.append(this.template.content.cloneNode(true));
        for (const element of this.content.querySelectorAll('[data-text]')) element.textContent = this.text(element.dataset.text);
        this.content.querySelector('#bits').setAttribute('aria-label', this.text('bits'));
        this.makeBits();
        this.element('type-pattern').addEventListener('click', () => this.typeIntoAnswer(binaryText(this.bits)));
        this.element('next-down').addEventListener('click', () => this.step('down'));
        this.element('next-up').addEventListener('click', () => this.step('up'));
        this.render();
        if (open !== undefined) this.content.querySelector('details').open = open;
        this.root.replaceChildren(this.content);
        if (focused) this.content.querySelector(focused.id ? `#${focused.id}` : `[data-bit="${focused.dataset.bit}"]`)?.focus();
    }

    element(id) {
        return this.content.querySelector(`#${id}`);
    }

    text(key) {
        return textIn(this.lang, key);
    }

    // The 32 buttons, bit 31 first, in a toolbar that Tab enters and leaves as one stop (a screen
    // reader leaves the arrows of a toolbar to the page).
    makeBits() {
        const group = this.element('bits');
        this.buttons = [];
        for (let bit = 31; bit >= 0; --bit) {
            const button = document.createElement('button');
            button.type = 'button';
            button.className = `bit ${FIELD_OF(bit)}`;
            button.dataset.bit = bit;
            button.tabIndex = bit === 31 ? 0 : -1;
            button.addEventListener('click', () => this.flip(bit));
            button.addEventListener('keydown', (event) => this.moveAmongBits(event, bit));
            this.buttons.push(button);
            const cell = Object.assign(document.createElement('span'), { className: 'bit-cell' });
            cell.append(Object.assign(document.createElement('span'), { textContent: bit, ariaHidden: 'true' }), button);
            group.querySelector(`.${FIELD_OF(bit)} .cells`).append(cell);
        }
    }

    moveAmongBits(event, bit) {
        const step = { ArrowLeft: 1, ArrowUp: 1, ArrowRight: -1, ArrowDown: -1, Home: 31 - bit, End: -bit }[event.key];
        if (step === undefined) return;
        event.preventDefault();
        const next = Math.min(31, Math.max(0, bit + step));
        for (const button of this.buttons) button.tabIndex = Number(button.dataset.bit) === next ? 0 : -1;
        this.buttons[31 - next].focus();
    }

    flip(bit) {
        this.answer = null;  // the pattern is the learner's now, no longer the program's answer
        this.show((this.bits ^ (1 << bit)) >>> 0);
    }

    step(direction) {
        const next = binary32.neighbours(this.bits)[direction];
        if (next !== null) {
            this.answer = null;
            this.show(next);
        }
    }

    // What the program wrote; it is looked at when the program next waits.
    written(text) {
        this.pending += text.replace(/\r\n/g, '\n');
    }

    // The program waits for input: a result in what it wrote is shown, and its summary said.
    waiting() {
        const written = this.pending;
        this.pending = '';
        const lang = /Press 1 to convert binary-decimal/.test(written) ? 'en' : /Premi 1 per la conversione binario-decimale/.test(written) ? 'it'
            : /^Select the languages\//.test(written) ? null : this.lang;
        if (lang !== this.lang) {
            this.lang = lang;
            this.build();
        }
        this.prompt = written.slice(written.lastIndexOf('\n') + 1) || this.prompt;
        const result = this.resultIn(written);
        if (result) {
            this.answer = result;
            this.bits = result.bits ?? 0;
            this.drawSoon();
            this.announce(this.summary());
        }
    }

    // A line the program took: at a value's prompt, its first word is the text typed there.
    answered(line) {
        if (line === null || line.trim() === '') return;
        if (DECIMAL_PROMPT.test(this.prompt) || BINARY_PROMPT.test(this.prompt)) {
            this.typed = { at: DECIMAL_PROMPT.test(this.prompt) ? 'decimal' : 'binary', text: line.trim().split(/\s+/)[0] };
            this.prompt = '';
        }
    }

    resultIn(written) {
        const typed = this.typed;
        this.typed = null;
        return answerIn(written, typed);
    }

    show(bits) {
        this.bits = bits;
        this.render();
    }

    // A result is drawn as the panel made anew, put in place in one change, as a change of
    // language is: text by text, its hundred or so changes kept Orca in Firefox from speaking the
    // program's answer for over 20 s now and then. It is drawn before that answer is announced;
    // of a paste's many results, the first at once and then the last, when the program gives
    // the page its turn.
    drawSoon() {
        if (this.drawing !== null) {
            this.drawing.again = true;
            return;
        }
        this.build();
        const drawing = this.drawing = { again: false };
        setTimeout(() => {
            this.drawing = null;
            if (drawing.again) this.build();
        });
    }

    // Every text of the panel that the pattern and its answer give. Only what changes is written:
    // each change is an event that a screen reader takes in.
    render() {
        const set = (id, text) => setText(this.element(id), text);
        const noPattern = this.answer?.bits === null;
        this.element('pattern').hidden = noPattern;
        for (const button of this.buttons) {
            const bit = Number(button.dataset.bit);
            const value = (this.bits >>> bit) & 1;
            setText(button, String(value));
            setAttribute(button, 'aria-pressed', String(value === 1));
            setAttribute(button, 'aria-label', `${this.text('bit')} ${bit}, ${this.text(FIELD_OF(bit))}, ${value}`);
        }
        const { sign, exponent, fraction } = binary32.fields(this.bits);
        const klass = binary32.classOf(this.bits);
        const finite = klass !== 'infinity' && !klass.endsWith('NaN');
        set('hex', hex(this.bits));
        set('bits-text', binaryText(this.bits).replace(/^(.)(.{8})/, '$1 $2 '));
        set('sign-is', sign === 1 ? '−' : '+');
        set('exponent-is', exponent === 0 ? `0 (${this.text('allZero')})` : exponent === 255 ? `255 (${this.text('allOnes')})`
            : `${exponent} − 127 = ${exponent - 127}: 2^${exponent - 127}`);
        const lead = exponent === 0 ? '0' : '1';
        set('significand', finite ? `${lead}.${fraction.toString(2).padStart(23, '0')} = ${binary32.decimalText(
            { numerator: BigInt(fraction + (exponent === 0 ? 0 : 2 ** 23)), denominator: 2n ** 23n })}` : '—');
        set('class', this.text(klass));
        set('exact', finite ? binary32.exactValue(this.bits) : this.text(klass));
        set('shortest', finite ? binary32.shortestDecimal(this.bits) : '—');
        const { down, up } = binary32.neighbours(this.bits);
        this.neighbour('next-down', down);
        this.neighbour('next-up', up);
        set('gap', finite ? binary32.decimalText(binary32.unitInTheLastPlace(this.bits)) : '—');
        set('summary', noPattern ? this.text(this.answer.kind) : `${hex(this.bits)} = ${finite ? binary32.shortestDecimal(this.bits) : this.text(klass)}`);
        this.renderAnswer();
    }

    neighbour(id, bits) {
        const button = this.element(id);
        button.disabled = bits === null;
        setText(button.querySelector('.value'), bits === null ? '—'
            : `${hex(bits)} = ${binary32.classOf(bits) === 'infinity' ? this.text('infinity') : binary32.shortestDecimal(bits)}`);
    }

    // What the program's answer adds: for a decimal, the typed number beside the stored value, the
    // digits cut off, the errors and what rounding stores; for a pattern, the digits typed and the
    // program's six-digit result beside the exact value.
    renderAnswer() {
        const answer = this.answer;
        const section = this.element('answer-details');
        if (answer === null) {
            if (section.firstChild) section.replaceChildren();
            return;
        }
        const lines = [];
        const line = (key, value, extra = {}) => lines.push({ label: this.text(key), value, ...extra });
        if (answer.kind === 'outOfRange' || answer.kind === 'failed') {
            lines.push({ note: this.text(answer.kind) });
        } else if (answer.kind === 'binary') {
            if (answer.typed) line('filled', `${answer.typed} → ${binaryText(answer.bits)}`);
            const exact = binary32.exactValue(answer.bits);
            if (answer.finalResult !== exact) line('finalResult', `${answer.finalResult} ≈ ${exact}`);
        } else {
            this.decimalLines(answer, line, lines);
        }
        section.replaceChildren(...lines.map(({ label, value, note, cut }) => {
            const row = document.createElement('p');
            if (note) {
                row.textContent = note;
                return row;
            }
            const name = Object.assign(document.createElement('span'), { className: 'label', textContent: `${label}: ` });
            row.append(name, value);
            if (cut) {
                // The digits kept, then those cut off set apart, the first marked: rounding looks at it.
                const marked = Object.assign(document.createElement('mark'), { textContent: cut[0] });
                row.append(' | ', marked, cut.slice(1), '…');
            }
            return row;
        }));
    }

    decimalLines({ bits, reading, rounded, typed }, line, lines) {
        if (reading === null) {
            lines.push({ note: this.text(typed === null ? 'unknown' : 'notPlain') });
            return;
        }
        const { magnitude, negative } = reading;
        const errorOf = (pattern) => signed(binary32.difference(binary32.magnitudeOf(pattern), magnitude), negative);
        const error = errorOf(bits);
        line('typed', typed);
        line('stored', binary32.exactValue(bits));
        if (binary32.roundTowardZero(magnitude, negative ? 1 : 0) !== bits) lines.push({ note: this.text('throughDouble') });
        line('cut', binary32.fields(bits).fraction.toString(2).padStart(23, '0'), { cut: binary32.digitsCutOff(magnitude, 12) });
        const relative = magnitude.numerator === 0n ? '' : `, ${this.text('relative')} ${binary32.approximately(
            { numerator: error.numerator * magnitude.denominator, denominator: error.denominator * magnitude.numerator })}`;
        line('error', `${binary32.approximately(error)}${relative}`);
        line('rounded', `${hex(rounded)} = ${binary32.exactValue(rounded)} (${binary32.approximately(errorOf(rounded))})`);
        lines.push({ note: this.text('why') });
    }

    // One sentence for a screen reader, after the program's own answer.
    summary() {
        return summaryOf(this.answer, this.lang);
    }
}

// The program's answer in what it wrote before it waited, with the text typed at the value's
// prompt ({ at, text }, or null): its kind ('decimal', 'binary', 'outOfRange' or 'failed'), the
// pattern (null where there is none) and what else the panel shows of it; null for no answer.
export function answerIn(written, typed) {
    const decimal = DECIMAL_RESULT.exec(written);
    if (decimal) {
        const [, error, fieldsText] = decimal;
        if (/^(Number out of range|Numero fuori dal range) $/.test(fieldsText)) return { kind: 'outOfRange', bits: null };
        if (error || !/^[01]\|[01]{8}\|[01]{23}$/.test(fieldsText)) return { kind: 'failed', bits: null };
        const bits = parseInt(fieldsText.replaceAll('|', ''), 2);
        const text = typed?.at === 'decimal' ? typed.text : null;
        const reading = text === null ? null : binary32.readDecimal(text);
        const rounded = reading && binary32.roundToNearest(reading.magnitude, reading.negative ? 1 : 0);
        return { kind: 'decimal', bits, typed: text, reading, rounded };
    }
    const binary = BINARY_RESULT.exec(written);
    if (!binary) return null;
    const [, fraction, exponent, finalResult] = binary;
    const bits = parseInt(`${finalResult.startsWith('-') ? 1 : 0}${(Number(exponent) + 127).toString(2).padStart(8, '0')}${fraction.padEnd(23, '0')}`, 2);
    return { kind: 'binary', bits, typed: typed?.at === 'binary' ? typed.text : null, finalResult };
}

// The summary of an answer, in a language ('en', 'it', or null for both), said after it.
export function summaryOf(answer, lang) {
    if (answer.bits === null) return textIn(lang, answer.kind);
    const stores = `${hex(answer.bits)} ${textIn(lang, 'summaryStores')} ${binary32.exactValue(answer.bits)}`;
    return answer.rounded && answer.rounded !== answer.bits ? `${stores}; ${textIn(lang, 'summaryRounded')} ${hex(answer.rounded)}.` : `${stores}.`;
}

const setText = (element, text) => { if (element.textContent !== text) element.textContent = text; };
const setAttribute = (element, name, value) => { if (element.getAttribute(name) !== value) element.setAttribute(name, value); };

const textIn = (lang, key) => {
    const [en, it] = TEXTS[key];
    return lang === 'en' ? en : lang === 'it' ? it : `${en} / ${it}`;
};

// A difference of magnitudes as the difference of the signed values.
const signed = (difference, negative) => (negative ? { numerator: -difference.numerator, denominator: difference.denominator } : difference);
