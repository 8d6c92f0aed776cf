// Tests of the JavaScript kit:  node --test kit.test.mjs  (in clients/javascript)

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import test from 'node:test';

import { ControlTracker, commandsToward } from './rover_controls.mjs';
import { Controls, End, Event, Init, MessageReader, ProtocolError, Telemetry } from './rover_messages.mjs';
import { Bot, Session } from './rover_session.mjs';

const TABLE = new URL('../testdata/messages.tsv', import.meta.url);
const ACCEL = { b: -1, '-': 0, a: 1 };
const TURN = { R: -2, r: -1, '-': 0, l: 1, L: 2 };

function unescape(field) {
  const named = { '\\': '\\', t: '\t', n: '\n', r: '\r' };
  const byte = (code) => named[code] ?? String.fromCharCode(parseInt(code.slice(1), 16));
  const text = field.replace(/\\(x[0-9a-f]{2}|.)/g, (_, code) => byte(code));
  return Buffer.from(text, 'latin1');
}

function loadTable() {
  return readFileSync(TABLE, 'ascii').split('\n').filter((line) => line !== '').map((line) => {
    const [bytes, ...row] = line.split('\t');
    return { bytes: unescape(bytes), row };
  });
}

// A real compares equal to the double nearest its text (NaN to NaN).
function assertReals(values, texts) {
  assert.equal(values.length, texts.length);
  values.forEach((value, i) => {
    const text = texts[i];
    const expected = text.endsWith('inf') ? (text[0] === '-' ? -Infinity : Infinity) : Number(text);
    assert.ok(value === expected || (Number.isNaN(value) && Number.isNaN(expected)), `${value} vs ${text}`);
  });
}

function assertMessage(message, [letter, ...fields]) {
  if (letter === 'I') {
    assert.ok(message instanceof Init);
    assert.equal(message.timeLimitMs, Number(fields[2]));
    const { sizeX, sizeY, rearView, frontView, maxSpeed, turn, hardTurn } = message;
    const reals = [sizeX, sizeY, rearView, frontView, maxSpeed, turn, hardTurn];
    assertReals(reals, [...fields.slice(0, 2), ...fields.slice(3)]);
  } else if (letter === 'T') {
    assert.ok(message instanceof Telemetry);
    assert.deepEqual([message.timeMs, message.control], [Number(fields[0]), fields[1]]);
    assert.deepEqual(message.controls, new Controls(ACCEL[fields[1][0]], TURN[fields[1][1]]));
    assertReals([message.x, message.y, message.heading, message.speed], fields.slice(2, 6));
    assert.equal(message.objects.length, Number(fields[6]));
    let rest = fields.slice(7);
    for (const seen of message.objects) {
      const width = rest[0] === 'm' ? 4 : 3;
      assert.equal(seen.kind, rest[0]);
      const third = seen.kind === 'm' ? [seen.heading, seen.speed] : [seen.radius];
      assertReals([seen.x, seen.y, ...third], rest.slice(1, width + 1));
      rest = rest.slice(width + 1);
    }
    assert.deepEqual(rest, []);
  } else if (letter === 'E') {
    const expected = [End, Number(fields[0]), Number(fields[1])];
    assert.deepEqual([message.constructor, message.timeMs, message.scoreMs], expected);
  } else {
    assert.deepEqual([message.constructor, message.kind, message.timeMs], [Event, letter, Number(fields[0])]);
  }
}

function readInPieces(table, cuts) {
  const stream = Buffer.concat(table.map(({ bytes }) => bytes));
  const reader = new MessageReader();
  const messages = [];
  let at = 0;
  for (const cut of [...cuts, stream.length]) {
    messages.push(...reader.feed(stream.subarray(at, cut)));
    at = cut;
  }
  assert.equal(reader.midMessage(), false);
  assert.equal(messages.length, table.length);
  messages.forEach((message, i) => assertMessage(message, table[i].row));
}

// A small seeded generator (mulberry32), so a failing split can be replayed.
function generator(seed) {
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

test('the table has a long T and a B followed by its T', () => {
  const table = loadTable();
  assert.ok(table.some(({ bytes, row }) => row[0] === 'T' && bytes.length > 1200));
  assert.ok(table.some(({ row }, i) => row[0] === 'B' && table[i + 1]?.row[0] === 'T'));
});

test('the reader reads the table byte by byte', () => {
  const table = loadTable();
  const size = table.reduce((sum, { bytes }) => sum + bytes.length, 0);
  readInPieces(table, Array.from({ length: size - 1 }, (_, i) => i + 1));
});

test('the reader reads the table in seeded random splits', () => {
  const table = loadTable();
  const size = table.reduce((sum, { bytes }) => sum + bytes.length, 0);
  for (let seed = 0; seed < 8; seed++) {
    const random = generator(seed);
    const pieces = [3, 40, 400][Math.floor(random() * 3)];
    const cuts = [...new Set(Array.from({ length: pieces }, () => 1 + Math.floor(random() * (size - 1))))];
    readInPieces(table, cuts.sort((a, b) => a - b));
  }
});

test('unescape', () => {
  assert.deepEqual(unescape('a\\\\b\\t\\n\\r\\x00\\xff;'), Buffer.from([0x61, 0x5c, 0x62, 9, 10, 13, 0, 0xff, 0x3b]));
});

test('the reader rejects malformed messages and endless ones', () => {
  for (const text of ['', 'X 10 ', 't 0 -- 1.000 2.000 3.0 4.000 ', 'B ', 'B 10 20 ', 'B -10 ', 'B 1.5 ', 'E 100 ',
    'I 1.000 1.000 30000 5.000 30.000 10.000 20.0 ', 'T 0 -- 1.000 2.000 3.0 ', 'T 0 x- 1.000 2.000 3.0 4.000 ',
    'T 0 a 1.000 2.000 3.0 4.000 ', 'T 0 -- 1.0x0 2.000 3.0 4.000 ', 'T 0 -- 1.000 2.000 3.0 4.000 q 1 2 3 ',
    'T 0 -- 1.000 2.000 3.0 4.000 b 1.000 2.000 ', 'T 0 -- 1.000 2.000 3.0 4.000 m 1.000 2.000 3.0 ',
    'T 0 --  1.000 2.000 3.0 4.000 ', 'B 9007199254740993 ']) {
    assert.throws(() => new MessageReader().feed(text + ';'), ProtocolError, text);
  }
  const reader = new MessageReader();
  assert.throws(() => {
    for (let i = 0; i < MessageReader.MAX_MESSAGE_BYTES / 65536 + 2; i++) reader.feed('x'.repeat(65536));
  }, ProtocolError);
});

test('commands toward a wanted state, at most two per reply, none repeated in flight', () => {
  for (const [now, wanted, expected] of [[[0, 0], [0, 0], []], [[0, 0], [1, 2], ['al', 'l']],
    [[1, 1], [-1, -1], ['br', 'br']], [[-1, -2], [1, 2], ['al', 'al', 'l', 'l']], [[1, -1], [0, 2], ['bl', 'l', 'l']],
    [[0, 0], [5, -9], ['ar', 'r']]]) {
    assert.deepEqual(commandsToward(new Controls(...now), new Controls(...wanted)), expected);
  }
  const at = (timeMs, control) => new Telemetry(timeMs, control, 0, 0, 0, 0);
  const tracker = new ControlTracker();
  assert.deepEqual(tracker.steer(at(0, 'bR'), new Controls(1, 2)), ['al', 'al']);
  assert.deepEqual(tracker.steer(at(100, 'bR'), new Controls(1, 2)), ['l', 'l']); // the T predates the read
  assert.deepEqual(tracker.steer(at(200, 'al'), new Controls(1, 2)), []);
  assert.deepEqual(tracker.steer(at(400, 'al'), new Controls(1, 2)), ['l']); // settled: the T is the truth
});

const INIT = 'I 100.000 100.000 30000 5.000 30.000 10.000 20.0 60.0 ;';
const T0 = 'T 0 -- 30.000 0.000 180.0 0.000 ;';

class Accelerate extends Bot {
  calls = [];
  onRunStart(run) { this.calls.push(`run ${run}`); }
  onTelemetry() { return new Controls(1, 0); }
  onEvent(event) { this.calls.push(event.kind); }
  onEnd(end) { this.calls.push(`end ${end.scoreMs}`); }
}

test('a session replies once per T', () => {
  const bot = new Accelerate();
  const session = new Session(bot);
  assert.equal(session.onBytes(INIT), '');
  assert.equal(session.onBytes(T0), 'a;;');
  assert.equal(session.canEndHere(), false);
  // A bounce's extra T in the same read as the periodic one: two replies.
  assert.equal(session.onBytes('T 100 a- 1.000 0.000 0.0 1.000 ;B 110 ;T 110 a- 1.0'), ';');
  assert.equal(session.onBytes('00 0.000 0.0 0.500 ;T 200 a- 1.000 0.000 0.0 0.500 ;E 200 3'), ';;');
  assert.equal(session.canEndHere(), false);
  assert.equal(session.onBytes('0100 ;' + T0 + 'S 50 ;E 50 50 ;'), 'a;;');
  assert.equal(session.canEndHere(), true);
  assert.deepEqual(bot.calls, ['run 1', 'B', 'end 30100', 'run 2', 'S', 'end 50']);
  for (const stream of [T0, INIT + 'S 100 ;', INIT + 'E 100 100 ;']) {
    assert.throws(() => new Session(new Bot()).onBytes(stream), ProtocolError, stream);
  }
});
