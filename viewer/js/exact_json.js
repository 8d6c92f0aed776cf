// Records write integers (seeds, time limits, scores, stamps) exactly, at
// any size. JSON.parse rounds those beyond 2^53, so a line that holds a long
// run of digits is parsed again here, keeping every integer token that is not
// a safe double as a BigInt. Readers of real-valued fields go through
// RV.real(), which turns such a BigInt back into a number.

// An integer token of 16 or more digits may be beyond 2^53 (9007199254740992).
RV.LONG_INTEGER = /[:,[]\s*-?\d{16,}\s*[,\]}]/;

RV.parseJsonLine = function (text) {
  if (!RV.LONG_INTEGER.test(text)) return JSON.parse(text);
  return RV.parseJsonExact(text);
};

RV.parseJsonExact = function (text) {
  let i = 0;
  const NUMBER = /-?(?:0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?/y;
  function fail(what) {
    throw new SyntaxError(what + ' at column ' + (i + 1));
  }
  function skipSpace() {
    while (i < text.length) {
      const c = text.charCodeAt(i);
      if (c === 32 || c === 9 || c === 10 || c === 13) i++;
      else break;
    }
  }
  function string() {
    const start = i++;
    while (i < text.length) {
      const c = text[i];
      if (c === '\\') i += 2;
      else if (c === '"') return JSON.parse(text.slice(start, ++i));
      else i++;
    }
    fail('unterminated string');
  }
  function number() {
    NUMBER.lastIndex = i;
    const m = NUMBER.exec(text);
    if (!m) fail('unexpected character');
    i = NUMBER.lastIndex;
    if (m[1] === undefined && m[2] === undefined) {
      const n = Number(m[0]);
      return Number.isSafeInteger(n) ? n : BigInt(m[0]);
    }
    return Number(m[0]);
  }
  function word(w, v) {
    if (!text.startsWith(w, i)) fail('unexpected character');
    i += w.length;
    return v;
  }
  function value() {
    skipSpace();
    const c = text[i];
    if (c === '{') {
      i++;
      const o = {};
      skipSpace();
      if (text[i] === '}') { i++; return o; }
      for (;;) {
        skipSpace();
        if (text[i] !== '"') fail('expected a member name');
        const key = string();
        skipSpace();
        if (text[i++] !== ':') fail("expected ':'");
        o[key] = value();
        skipSpace();
        const d = text[i++];
        if (d === '}') return o;
        if (d !== ',') fail("expected ',' or '}'");
      }
    }
    if (c === '[') {
      i++;
      const a = [];
      skipSpace();
      if (text[i] === ']') { i++; return a; }
      for (;;) {
        a.push(value());
        skipSpace();
        const d = text[i++];
        if (d === ']') return a;
        if (d !== ',') fail("expected ',' or ']'");
      }
    }
    if (c === '"') return string();
    if (c === 't') return word('true', true);
    if (c === 'f') return word('false', false);
    if (c === 'n') return word('null', null);
    return number();
  }
  const v = value();
  skipSpace();
  if (i !== text.length) fail('unexpected text after the value');
  return v;
};

// A real-valued field: a JSON number, a BigInt from the exact parse, or one
// of the strings the record uses for non-finite values.
RV.real = function (v) {
  if (typeof v === 'number') return v;
  if (typeof v === 'bigint') return Number(v);
  if (v === 'inf') return Infinity;
  if (v === '-inf') return -Infinity;
  return NaN;
};

// Integers for display: exact whatever their size.
RV.intText = function (v) {
  if (v === null || v === undefined) return '–';
  return String(v);
};
