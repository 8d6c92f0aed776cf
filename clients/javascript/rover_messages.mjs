// The server's messages, typed, and the reader that cuts them out of the byte stream.
//
//   const reader = new MessageReader();
//   for (const message of reader.feed(chunk)) {      // chunk: bytes in any split
//     if (message instanceof Telemetry) { ... }
//   }

// Telemetry's control characters; the index minus the offset is the state.
export const ACCEL_CHARS = 'b-a'; // brake -1, roll 0, accelerate 1
export const TURN_CHARS = 'Rr-lL'; // hard right -2 .. hard left 2

// The wire writes reals with a fixed number of decimals, or inf/-inf/nan for
// values a map can produce but no sane map does; times are whole numbers.
const REAL = /^(-?([0-9]+(\.[0-9]+)?|inf)|nan)$/;
const TIME = /^[0-9]+$/;

/** The server's bytes broke the message grammar. */
export class ProtocolError extends Error {}

/** The rover's control state: accel -1..1, turn -2..2 (positive is left). */
export class Controls {
  constructor(accel = 0, turn = 0) {
    this.accel = accel;
    this.turn = turn;
  }

  equals(other) {
    return this.accel === other.accel && this.turn === other.turn;
  }

  /** The state a telemetry control field such as "al" or "-R" shows. */
  static fromText(text) {
    const accel = ACCEL_CHARS.indexOf(text[0]);
    const turn = TURN_CHARS.indexOf(text[1]);
    if (text.length !== 2 || accel < 0 || turn < 0) throw new ProtocolError(`bad control field "${text}"`);
    return new Controls(accel - 1, turn - 2);
  }
}

/** I: sent once, before the first run. Sizes and views in metres, turns in degrees per second. */
export class Init {
  constructor(sizeX, sizeY, timeLimitMs, rearView, frontView, maxSpeed, turn, hardTurn) {
    Object.assign(this, { sizeX, sizeY, timeLimitMs, rearView, frontView, maxSpeed, turn, hardTurn });
  }
}

/** One object of a T: kind "b" boulder, "c" crater, "h" home (x, y, radius) or "m" Martian (x, y, heading, speed). */
export class SeenObject {
  constructor(kind, x, y, radius = 0, heading = 0, speed = 0) {
    Object.assign(this, { kind, x, y, radius, heading, speed });
  }
}

/** T: the rover and what it sees, every 100 ms of a run and after a bounce. */
export class Telemetry {
  constructor(timeMs, control, x, y, heading, speed, objects = []) {
    // control as the wire writes it ("a-"), controls the same as states.
    Object.assign(this, { timeMs, control, controls: Controls.fromText(control), x, y, heading, speed, objects });
  }
}

/** B (bounce), C (crater), K (killed), S (home): kind is the letter. */
export class Event {
  constructor(kind, timeMs) {
    Object.assign(this, { kind, timeMs });
  }
}

/** E: the run is over. */
export class End {
  constructor(timeMs, scoreMs) {
    Object.assign(this, { timeMs, scoreMs });
  }
}

/** The server's words for how a run ended, from the event that ended it ("S", "C", "K"; null: time limit). */
export function outcomeText(ending) {
  return { S: 'reached home', C: 'crashed into crater', K: 'killed by Martian' }[ending] ?? 'time limit exceeded';
}

function real(word) {
  if (!REAL.test(word)) throw new ProtocolError(`bad number "${word}"`);
  if (word.endsWith('inf')) return word[0] === '-' ? -Infinity : Infinity;
  return word === 'nan' ? NaN : Number(word);
}

// Times beyond 2^53 would lose digits in a Number; no map has them.
function time(word) {
  const value = Number(word);
  if (!TIME.test(word) || !Number.isSafeInteger(value)) throw new ProtocolError(`bad time "${word}"`);
  return value;
}

function count(words, letter, expected) {
  if (words.length !== expected) {
    throw new ProtocolError(`${letter} message with ${words.length} fields instead of ${expected}`);
  }
}

function objects(words) {
  const seen = [];
  for (let at = 0; at < words.length; ) {
    const kind = words[at];
    const width = kind === 'm' ? 4 : 3;
    if (!['b', 'c', 'h', 'm'].includes(kind)) throw new ProtocolError(`unknown object kind "${kind}"`);
    if (at + width >= words.length) throw new ProtocolError(`object "${kind}" cut short`);
    const [x, y, third] = [real(words[at + 1]), real(words[at + 2]), real(words[at + 3])];
    if (kind === 'm') seen.push(new SeenObject(kind, x, y, 0, third, real(words[at + 4])));
    else seen.push(new SeenObject(kind, x, y, third));
    at += width + 1;
  }
  return seen;
}

/** One message from its text without the ';' ("T 0 -- 1.000 ..."); throws ProtocolError. */
export function parseMessage(text) {
  const words = text.split(' ');
  if (words.length > 0 && words[words.length - 1] === '') words.pop(); // every field is followed by one space
  if (words.length === 0 || words.includes('')) throw new ProtocolError(`malformed message "${text.slice(0, 60)}"`);
  const [letter, ...rest] = words;
  if (letter === 'T') {
    if (rest.length < 6) throw new ProtocolError(`T message with ${rest.length} fields`);
    const [x, y, heading, speed] = rest.slice(2, 6).map(real);
    return new Telemetry(time(rest[0]), rest[1], x, y, heading, speed, objects(rest.slice(6)));
  }
  if (['B', 'C', 'K', 'S'].includes(letter)) {
    count(rest, letter, 1);
    return new Event(letter, time(rest[0]));
  }
  if (letter === 'E') {
    count(rest, letter, 2);
    return new End(time(rest[0]), time(rest[1]));
  }
  if (letter === 'I') {
    count(rest, letter, 8);
    return new Init(...rest.map((word, i) => (i === 2 ? time(word) : real(word))));
  }
  throw new ProtocolError(`unknown message letter "${letter.slice(0, 20)}"`);
}

/** Buffers the server's bytes and hands out each message once its ';' has arrived. */
export class MessageReader {
  // An unfinished message longer than this is garbage, not something to buffer for ever.
  static MAX_MESSAGE_BYTES = 1 << 20;

  constructor() {
    this.pending = '';
  }

  /** The complete messages that `chunk` (a Buffer or a string) finishes, in order; throws ProtocolError. */
  feed(chunk) {
    const text = typeof chunk === 'string' ? chunk : Buffer.from(chunk).toString('latin1');
    this.pending += text;
    let texts = [];
    if (text.includes(';')) {
      texts = this.pending.split(';');
      this.pending = texts.pop();
    }
    if (this.pending.length > MessageReader.MAX_MESSAGE_BYTES) {
      throw new ProtocolError(`message longer than ${MessageReader.MAX_MESSAGE_BYTES} bytes`);
    }
    return texts.map(parseMessage);
  }

  /** True while bytes of an unfinished message wait (the stream must not end here). */
  midMessage() {
    return this.pending.replaceAll(' ', '') !== '';
  }
}
