// What a record says, read independently of the viewer, so the tests can
// compare the page with the file.
import zlib from 'node:zlib';

// The complete lines of a record's text, parsed; the raw text is kept for
// the integers that must be compared exactly.
export function recordLines(text) {
  const lines = text.split('\n');
  lines.pop();
  return lines.map((raw) => ({ raw, item: JSON.parse(raw) }));
}

export function runResults(lines) {
  return lines.filter((l) => l.item.type === 'run_end').map((l) => ({
    run: l.item.run,
    outcome: l.item.outcome,
    score: /"score":(-?\d+)/.exec(l.raw)[1],
  }));
}

export function firstBounce(lines) {
  const e = lines.find((l) => l.item.type === 'event' && l.item.kind === 'bounce');
  return e ? e.item : null;
}

export function stepsOfRun(lines, run) {
  return lines.filter((l) => l.item.type === 'step' && l.item.run === run).map((l) => l.item);
}

export function telemetryOfRun(lines, run) {
  return lines.filter((l) => l.item.type === 'msg' && l.item.run === run && l.item.text.startsWith('T ')).map((l) => l.item);
}

// What a reader can get out of gzip bytes that stop early: everything up to
// the cut, as the server's sync flushes make it decodable.
export function gunzipPrefix(bytes) {
  return zlib.gunzipSync(bytes, { finishFlush: zlib.constants.Z_SYNC_FLUSH }).toString('utf8');
}
