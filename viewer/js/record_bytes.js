// A record's bytes, from a file or a URL, gzip or not, to text, chunk by
// chunk: the viewer never holds the whole file, and a load stops as soon as
// the reader refuses a line or the size limit is reached, before the rest
// is read or decompressed.

RV.isGzip = function (bytes) {
  return bytes.length >= 2 && bytes[0] === 0x1f && bytes[1] === 0x8b;
};

// Reads until at least `count` bytes came or the stream ended.
RV.readHead = async function (reader, count) {
  const chunks = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) return { bytes: RV.concatBytes(chunks, length), done: true };
    chunks.push(value);
    length += value.length;
    if (length >= count) return { bytes: RV.concatBytes(chunks, length), done: false };
  }
};

// A stream reader that counts the bytes read through it.
RV.countingReader = function (reader) {
  return {
    bytes: 0,
    async read() {
      const r = await reader.read();
      if (!r.done) this.bytes += r.value.length;
      return r;
    },
    cancel() {
      return reader.cancel();
    },
  };
};

RV.concatBytes = function (chunks, length) {
  if (chunks.length === 1) return chunks[0];
  const out = new Uint8Array(length);
  let at = 0;
  for (const c of chunks) {
    out.set(c, at);
    at += c.length;
  }
  return out;
};

// Streams the record's text to onText(text, bytesSoFar), at most
// limits.maxBytes decompressed bytes. An exception from onText ends the
// load: it is raised here once the streams are cancelled. Returns
// { bytes, fileBytes, note }: the text's bytes, the file's, and a note that
// a gzip stream stopped early.
RV.streamRecordText = async function (source, onText, limits) {
  const input = RV.countingReader(source.getReader());
  const decoder = new TextDecoder('utf-8');
  let total = 0;
  let compressed = false;
  const take = function (bytes) {
    const room = limits.maxBytes - total;
    if (bytes.length > room) {
      // The lines before the limit are still checked: a fault in them is
      // the better message.
      total += room;
      onText(decoder.decode(bytes.subarray(0, room), { stream: true }), total);
      throw RV.tooLarge(limits, compressed ? 'decompressed' : '');
    }
    total += bytes.length;
    onText(decoder.decode(bytes, { stream: true }), total);
  };
  try {
    const head = await RV.readHead(input, 2);
    if (!RV.isGzip(head.bytes)) {
      take(head.bytes);
      if (!head.done) {
        for (;;) {
          const { done, value } = await input.read();
          if (done) break;
          take(value);
        }
      }
      onText(decoder.decode(), total);
      return { bytes: total, fileBytes: input.bytes, note: null };
    }
    compressed = true;
    const failure = await RV.gunzipInto(head, input, take);
    onText(decoder.decode(), total);
    if (failure === null) return { bytes: total, fileBytes: input.bytes, note: null };
    if (total === 0) {
      throw new RV.RecordError('The file looks like gzip but nothing in it could be decompressed (' +
        (failure.message || 'corrupt data') + ').');
    }
    return { bytes: total, fileBytes: input.bytes, note: 'The gzip stream ends early (no trailer); showing what was decompressed.' };
  } finally {
    input.cancel().catch(function () {});
  }
};

// Decompresses the input into take(bytes), keeping every byte decoded even
// when the stream ends early: the server flushes its gzip stream at every
// run end, so a record of a game that was killed has a readable prefix and
// no trailer. Returns the decompressor's failure, or null; an exception
// from take is raised.
RV.gunzipInto = async function (head, input, take) {
  const stream = new DecompressionStream('gzip');
  const writer = stream.writable.getWriter();
  const output = stream.readable.getReader();
  let stop = null;
  const reading = (async function () {
    for (;;) {
      let r;
      try {
        r = await output.read();
      } catch (e) {
        return; // the writer side reports the same failure
      }
      if (r.done) return;
      try {
        take(r.value);
      } catch (e) {
        stop = e;
        // Cancelling the output errors the writer's pending write, so the
        // input is read no further.
        output.cancel().catch(function () {});
        return;
      }
    }
  })();
  // The decompressor inflates a whole input chunk at once, and deflate
  // expands up to about 1000 times: small pieces keep what it holds before
  // the reader sees it (and can stop) to some MB.
  const feed = async function (bytes) {
    for (let at = 0; at < bytes.length && stop === null; at += RV.GZIP_PIECE) {
      await writer.write(bytes.subarray(at, at + RV.GZIP_PIECE));
    }
  };
  let failure = null;
  try {
    await feed(head.bytes);
    if (!head.done) {
      while (stop === null) {
        const { done, value } = await input.read();
        if (done) break;
        await feed(value);
      }
    }
    // A transform stream takes its next chunk only once the output of the
    // previous one has been read, so after this empty write every decoded
    // byte is ours even if closing then fails for a missing trailer (a
    // failing stream drops output that is still queued).
    if (stop === null) await writer.write(new Uint8Array(0));
    if (stop === null) await writer.close();
  } catch (e) {
    failure = e;
  }
  await reading;
  if (stop !== null) throw stop;
  return failure;
};

RV.GZIP_PIECE = 16384;

RV.fetchRecordStream = async function (url) {
  let response;
  try {
    response = await fetch(url);
  } catch (e) {
    const hint = location.protocol === 'file:'
      ? ' Pages opened as files cannot fetch other files; serve the folder (python3 -m http.server) or use "Open record…".'
      : '';
    throw new RV.RecordError('Could not fetch ' + url + ': ' + e.message + '.' + hint);
  }
  if (!response.ok) {
    throw new RV.RecordError('Could not fetch ' + url + ': ' + response.status + ' ' + response.statusText + '.');
  }
  return response.body || new Blob([]).stream();
};
