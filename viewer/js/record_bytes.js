// Getting a record's text from a file or a URL, gzip or not.

RV.isGzip = function (bytes) {
  return bytes.length >= 2 && bytes[0] === 0x1f && bytes[1] === 0x8b;
};

// Inflates gzip bytes and keeps everything decoded even when the stream ends
// early: the server flushes its gzip stream at every run end, so a record of
// a game that was killed has a readable prefix and no trailer.
RV.gunzipTolerant = async function (bytes) {
  const stream = new DecompressionStream('gzip');
  const writer = stream.writable.getWriter();
  const reader = stream.readable.getReader();
  const chunks = [];
  let total = 0;
  const reading = (async () => {
    try {
      for (;;) {
        const { done, value } = await reader.read();
        if (done) return;
        chunks.push(value);
        total += value.length;
      }
    } catch (e) {
      // The writer side reports the same failure.
    }
  })();
  let failure = null;
  try {
    await writer.write(bytes);
    // A transform stream takes its next chunk only once the output of the
    // previous one has been read, so after this empty write every decoded
    // byte is ours even if closing then fails for a missing trailer (a
    // failing stream drops output that is still queued).
    await writer.write(new Uint8Array(0));
    await writer.close();
  } catch (e) {
    failure = e;
  }
  await reading;
  const out = new Uint8Array(total);
  let at = 0;
  for (const c of chunks) {
    out.set(c, at);
    at += c.length;
  }
  return { bytes: out, complete: failure === null, failure: failure };
};

// Returns { text, note } where note says the gzip stream stopped early.
RV.decodeRecordBytes = async function (bytes) {
  let note = null;
  if (RV.isGzip(bytes)) {
    const result = await RV.gunzipTolerant(bytes);
    if (!result.complete) {
      if (result.bytes.length === 0) {
        throw new RV.RecordError('The file looks like gzip but nothing in it could be decompressed (' +
          (result.failure && result.failure.message ? result.failure.message : 'corrupt data') + ').');
      }
      note = 'The gzip stream ends early (no trailer); showing what was decompressed.';
    }
    bytes = result.bytes;
  }
  const text = new TextDecoder('utf-8').decode(bytes);
  return { text: text, note: note };
};

RV.fetchRecordBytes = async function (url) {
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
  return new Uint8Array(await response.arrayBuffer());
};
