#!/usr/bin/env node
// A speech-dispatcher output module that speaks into a file: each utterance that the screen
// reader sends is appended, as plain text, to the file named by the module's argument. It speaks
// instantly, so it never refuses a message for being busy, as the generic module does now and then
// (and then speech-dispatcher sends it nothing more).
// speechd.conf: AddModule "file" "/path/to/speech_to_file.mjs" "/path/to/spoken.txt"
import { appendFileSync } from 'node:fs';
import { createInterface } from 'node:readline';

const [spokenFile] = process.argv.slice(2);
const reply = (...lines) => process.stdout.write(lines.map((line) => `${line}\n`).join(''));

// SSML as plain text: the tags dropped, the five entities read.
const ENTITIES = { lt: '<', gt: '>', amp: '&', quot: '"', apos: "'" };
const plainText = (ssml) => ssml.replace(/<[^>]*>/g, '').replace(/&(lt|gt|amp|quot|apos);/g, (_, name) => ENTITIES[name]);

// Commands that are followed by lines of data up to a lone ".", and what each answers before
// and after its data.
const WITH_DATA = {
    SPEAK: ['202 OK RECEIVING MESSAGE', '200 OK SPEAKING'],
    CHAR: ['202 OK RECEIVING MESSAGE', '200 OK SPEAKING'],
    KEY: ['202 OK RECEIVING MESSAGE', '200 OK SPEAKING'],
    SOUND_ICON: ['202 OK RECEIVING MESSAGE', '200 OK SPEAKING'],
    SET: ['203 OK RECEIVING SETTINGS', '203 OK SETTINGS RECEIVED'],
    AUDIO: ['207 OK RECEIVING AUDIO SETTINGS', '203 OK AUDIO INITIALIZED'],
    LOGLEVEL: ['207 OK RECEIVING LOGLEVEL SETTINGS', '203 OK LOGLEVEL SET'],
};
const SIMPLE = {
    INIT: ['299-speaks into a file', '299 OK LOADED SUCCESSFULLY'],
    'LIST VOICES': ['200-en\ten\tMALE1', '200 OK VOICE LIST SENT'],
};

let receiving = null;  // the command whose data lines are coming, and the lines so far
for await (const line of createInterface({ input: process.stdin, crlfDelay: Infinity })) {
    if (receiving !== null) {
        if (line !== '.') {
            receiving.lines.push(line.startsWith('..') ? line.slice(1) : line);
            continue;
        }
        reply(WITH_DATA[receiving.command][1]);
        if (receiving.command !== 'SET' && receiving.command !== 'AUDIO' && receiving.command !== 'LOGLEVEL') {
            const text = receiving.command === 'SPEAK' ? plainText(receiving.lines.join('\n')) : receiving.lines.join('\n');
            if (receiving.command !== 'SOUND_ICON') appendFileSync(spokenFile, `${text}\n`);
            reply('701 BEGIN', '702 END');
        }
        receiving = null;
    } else if (WITH_DATA[line]) {
        receiving = { command: line, lines: [] };
        reply(WITH_DATA[line][0]);
    } else if (SIMPLE[line]) {
        reply(...SIMPLE[line]);
    } else if (line === 'QUIT') {
        process.exit(0);
    } else if (line !== 'STOP' && line !== 'PAUSE') {
        reply('300 ERR UNKNOWN COMMAND');  // STOP and PAUSE have no answer; speech is over at once
    }
}
