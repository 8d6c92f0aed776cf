// Measures how the viewer's load time grows with a record's size (by hand,
// not a CTest case: it reports wall-clock figures, which a test must not
// assert). In one run: records of 1,000, 10,000 and 25,000 short runs and
// the five-minute, 20-Martian game, plain and gzip, each opened --repeat
// times in alternation, in headless Debian chromium.
//
//   node tests/viewer/perf/measure_load.mjs --server build/release/server [--out DIR] [--repeat 5]
//
// The records are played with the real server into DIR (default
// /tmp/viewer-load) by make_load_records.py, once. For each record it prints
// the median time from opening the record to the first frame that shows it
// (fetch, decompress, parse, index, list the runs, draw), that time per MB
// of record text, and the ratio of that to the five-minute record's: a
// loader whose time is proportional to size keeps the ratio near 1.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { WAIT_MS, launchBrowser, newPage, serveFolders } from '../browser_harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const opt = (name, fallback) => {
  const i = args.indexOf('--' + name);
  return i >= 0 ? args[i + 1] : fallback;
};
const server = opt('server');
const out = path.resolve(opt('out', '/tmp/viewer-load'));
const repeat = Number(opt('repeat', 5));
if (!server || !(repeat >= 1)) {
  console.error('usage: measure_load.mjs --server SERVER [--out DIR] [--repeat N]');
  process.exit(2);
}

execFileSync('python3', [path.join(here, 'make_load_records.py'), '--server', server, '--out', out],
  { stdio: 'inherit' });
const names = ['five_minutes', 'runs_1000', 'runs_10000', 'runs_25000'];
const records = names.flatMap((name) => ['.jsonl', '.jsonl.gz'].map((suffix) => name + suffix));

const web = await serveFolders({ '/viewer/': path.resolve(here, '../../../viewer'), '/records/': out });
const { browser, close } = await launchBrowser();
const times = Object.fromEntries(records.map((r) => [r, []]));
const loads = [];
const facts = {};
try {
  for (let round = 0; round < repeat; round++) {
    for (const record of records) {
      const page = await newPage(browser);
      await page.goto(web.origin + '/viewer/index.html?record=/records/' + record);
      await page.waitForFunction(() => window.RV && RV.lastLoad && RV.lastLoad.drawnMs !== undefined ||
        (RV.testHook && RV.testHook.state().page === 'error'), { timeout: WAIT_MS, polling: 50 });
      const s = await page.evaluate(() => Object.assign({ runs: RV.testHook.state().runs, message: RV.testHook.state().message },
        RV.lastLoad));
      if (s.drawnMs === undefined) throw new Error(record + ': ' + s.message);
      if (page.pageErrors.length) throw new Error(record + ': ' + page.pageErrors.join('; '));
      times[record].push(s.drawnMs);
      facts[record] = s;
      loads.push(os.loadavg()[0]);
      await page.close();
    }
  }
} finally {
  await close();
  await web.close();
}

const median = (a) => a.slice().sort((x, y) => x - y)[a.length >> 1];
const perMb = (record) => median(times[record]) / (facts[record].textBytes / 1e6);
console.log('\nopening a record to its first frame, median of %d (headless chromium, %d cores, load average %s to %s)',
  repeat, os.cpus().length, Math.min(...loads).toFixed(1), Math.max(...loads).toFixed(1));
console.log('%s %s %s %s %s %s %s', 'record'.padEnd(24), 'runs'.padStart(6), 'text MB'.padStart(8),
  'file MB'.padStart(8), 'ms'.padStart(7), 'ms/MB'.padStart(7), 'ratio'.padStart(6));
for (const record of records) {
  const base = record.endsWith('.gz') ? 'five_minutes.jsonl.gz' : 'five_minutes.jsonl';
  const f = facts[record];
  console.log('%s %s %s %s %s %s %s', record.padEnd(24), String(f.runs).padStart(6),
    (f.textBytes / 1e6).toFixed(1).padStart(8), (f.bytes / 1e6).toFixed(1).padStart(8),
    median(times[record]).toFixed(0).padStart(7), perMb(record).toFixed(1).padStart(7),
    (perMb(record) / perMb(base)).toFixed(2).padStart(6));
}
console.log('ratio: ms per MB against the five-minute record of the same encoding (goal for 25,000 runs: at most 2)');
