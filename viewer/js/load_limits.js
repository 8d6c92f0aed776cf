// How much of a record the viewer reads before it gives up. A record may
// come from a stranger, so a file that decompresses to gigabytes, or a line
// that never ends, stops the load with a message instead of exhausting the
// tab. Both limits sit far above real records (a six-minute game on the
// densest map is about 13 MB; its longest line, the header, a few MB) and
// can be raised from the address: ?max-size=2G&max-line=256M.

RV.DEFAULT_LIMITS = {
  maxBytes: 1024 * 1024 * 1024, // decompressed bytes of the whole record
  maxLine: 64 * 1024 * 1024, // characters of one line
  maxDepth: 64, // nesting of arrays and objects in one line (real lines: 7)
};

RV.SIZE_UNITS = { '': 1, k: 1024, m: 1024 * 1024, g: 1024 * 1024 * 1024 };

// "512M", "2G", "1.5g", "100000" (bytes) to a number of bytes, or null.
RV.parseSize = function (text) {
  const m = /^\s*(\d+(?:\.\d+)?)\s*([kmg]?)(?:i?b)?\s*$/i.exec(text);
  if (!m) return null;
  const bytes = Math.floor(Number(m[1]) * RV.SIZE_UNITS[m[2].toLowerCase()]);
  return bytes >= 1 ? bytes : null;
};

// "1 GiB", "64 MiB", "310105 bytes": a limit as the messages show it,
// exact.
RV.sizeText = function (bytes) {
  for (const [unit, name] of [['g', 'GiB'], ['m', 'MiB'], ['k', 'KiB']]) {
    const size = RV.SIZE_UNITS[unit];
    if (bytes >= size && bytes % size === 0) return bytes / size + ' ' + name;
  }
  return bytes + ' bytes';
};

// A limit to suggest when one was reached: four times it, in whole MiB or GiB.
RV.largerSize = function (bytes) {
  const m = Math.ceil(4 * bytes / RV.SIZE_UNITS.m);
  return m < 1024 ? m + 'M' : Math.ceil(m / 1024) + 'G';
};

// The limits for this page: the defaults, changed by max-size and max-line
// in the query string. A value that is not a size is an error the page
// shows, not a silent fallback.
RV.limitsFromQuery = function (search) {
  const params = new URLSearchParams(search);
  const limits = Object.assign({}, RV.DEFAULT_LIMITS);
  for (const [name, key] of [['max-size', 'maxBytes'], ['max-line', 'maxLine']]) {
    const text = params.get(name);
    if (text === null) continue;
    const bytes = RV.parseSize(text);
    if (bytes === null) {
      throw new RV.RecordError('The address gives ' + name + '=' + text + ', which is not a size (examples: ' +
        name + '=200M, ' + name + '=2G).');
    }
    limits[key] = bytes;
  }
  return limits;
};

// The error of a record over the size limit; `what` tells how it was
// counted ("decompressed" for gzip).
RV.tooLarge = function (limits, what) {
  return new RV.RecordError('The record is larger than the limit of ' + RV.sizeText(limits.maxBytes) +
    (what ? ' ' + what : '') + '; reading stopped there and nothing is shown. ' +
    'To open it, raise the limit in the page address, e.g. ?max-size=' + RV.largerSize(limits.maxBytes) + '.');
};
