// Browser tests of the replay viewer, one case per run:
//
//   node viewer_test.mjs CASE --records DIR --viewer DIR --fixtures DIR --out DIR
//
// DIR of --records holds game.jsonl and game.jsonl.gz, the lockstep fixture
// game of --fixtures (tests/fixtures), put there by make_records.py; --out
// gets a screenshot per case and the derived (cut) records.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { pathToFileURL } from 'node:url';
import {
  WAIT_MS, launchBrowser, newPage, patchAt, serveFolders, state, waitForLoad,
} from './browser_harness.mjs';
import {
  firstBounce, gunzipPrefix, recordLines, runResults, stepsOfRun, telemetryOfRun,
} from './record_facts.mjs';

const ROVER_RGB = [255, 0, 255];

function options() {
  const args = process.argv.slice(2);
  const o = { case: args[0] };
  for (let i = 1; i < args.length; i += 2) o[args[i].replace(/^--/, '')] = path.resolve(args[i + 1]);
  for (const k of ['case', 'records', 'viewer', 'fixtures', 'out']) if (!o[k]) throw new Error('missing ' + k);
  return o;
}

const opt = options();
const plainText = fs.readFileSync(path.join(opt.records, 'game.jsonl'), 'utf8');
const lines = recordLines(plainText);
const results = runResults(lines);
fs.mkdirSync(opt.out, { recursive: true });

// The run select's options and the results table, as the page shows them.
function shownResults(page) {
  return page.evaluate(() => ({
    options: document.querySelectorAll('#run-select option').length,
    rows: [...document.querySelectorAll('#result-rows .row')].map((row) => ({
      run: Number(row.children[0].textContent), outcome: row.children[1].textContent, score: row.children[2].textContent,
    })),
    outcome: document.getElementById('outcome').textContent,
  }));
}

function assertResultsShown(shown, expected) {
  assert.equal(shown.options, expected.length, 'run count in the run menu');
  assert.deepEqual(shown.rows, expected, 'results table');
  assert.equal(shown.outcome, 'Run 1: ' + expected[0].outcome + '; score ' + expected[0].score);
}

function nextFrames(page) {
  return page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
}

async function scrubTo(page, t) {
  await page.evaluate((value) => {
    const s = document.getElementById('scrubber');
    s.value = String(value);
    s.dispatchEvent(new Event('input', { bubbles: true }));
  }, t);
  await nextFrames(page);
}

// Opens a file through the page's file input and waits for that load to end.
async function upload(page, file) {
  const before = (await state(page)).loads;
  const input = await page.$('#file-input');
  await input.uploadFile(file);
  await page.waitForFunction((n) => RV.testHook.state().loads > n, { timeout: WAIT_MS }, before);
  return state(page);
}

// All the page shows of a record: after a failed load, none of it may stay.
function shownRecord(page) {
  return page.evaluate(() => ({
    options: document.querySelectorAll('#run-select option').length,
    rows: document.querySelectorAll('#result-rows .row').length,
    total: document.getElementById('results-total').textContent,
    info: document.getElementById('record-info').textContent,
    file: document.getElementById('file-name').textContent,
    outcome: document.getElementById('outcome').textContent,
    panels: ['outcome-details', 'telemetry', 'control-state'].map((id) => document.getElementById(id).textContent).join(''),
    time: document.getElementById('time').textContent,
    enabled: [...document.querySelectorAll('#bar button, #run-select, #scrubber')].filter((el) => !el.disabled).length,
  }));
}

const NOTHING_SHOWN = {
  options: 0, rows: 0, total: '–', info: '', file: '', outcome: 'No record open.', panels: '', time: '–', enabled: 0,
};

// The record with `line` put in place of line `at` (1-based; the lines from
// there on move down), as a file in --out.
function withLine(name, at, line) {
  const all = plainText.split('\n');
  all.splice(at - 1, 0, line);
  const file = path.join(opt.out, name + '.jsonl');
  fs.writeFileSync(file, all.join('\n'));
  return file;
}

const cases = {
  // The record's runs and outcomes appear in the run menu, the results
  // table and the outcome panel; the keyboard moves to the next run.
  async load(page, web) {
    await page.goto(web.origin + '/viewer/index.html?record=/records/game.jsonl');
    const s = await waitForLoad(page);
    assert.equal(s.page, 'ready', 'page state; message: ' + s.message);
    assert.equal(s.message, '', 'a complete record shows no message');
    assert.ok(results.length >= 2, 'the test game has several runs');
    assertResultsShown(await shownResults(page), results);
    // The seed is beyond 2^53: shown digit for digit, not rounded.
    const seed = /"seed":(\d+)/.exec(plainText)[1];
    assert.ok(BigInt(seed) > 2n ** 53n, 'the test record has a large seed');
    const info = await page.$eval('#record-info', (el) => el.textContent);
    assert.ok(info.includes('seed' + seed), 'exact seed in the record panel: ' + info);
    await page.keyboard.press('ArrowDown');
    await page.waitForFunction((text) => document.getElementById('outcome').textContent === text, {},
      'Run 2: ' + results[1].outcome + '; score ' + results[1].score);
  },

  // At a bounce's stamp the rover is drawn where the record puts it, also
  // when the moment comes from a link's hash.
  async bounce(page, web) {
    const bounce = firstBounce(lines);
    assert.ok(bounce, 'the test record has a bounce');
    const base = web.origin + '/viewer/index.html?record=/records/game.jsonl';
    await page.goto(base);
    assert.equal((await waitForLoad(page)).page, 'ready');
    await page.select('#run-select', String(bounce.run));
    const where = await page.evaluate((x, y) => RV.testHook.worldToScreen(x, y), bounce.x, bounce.y);
    // At the run's start the rover is elsewhere, so the patch cannot be the
    // rover's colour by accident.
    assert.notDeepEqual((await patchAt(page, where.x, where.y))[4], ROVER_RGB, 'rover colour before the bounce');
    await scrubTo(page, bounce.t);
    const s = await state(page);
    assert.equal(s.run, bounce.run);
    assert.equal(s.t, bounce.t);
    for (const rgb of await patchAt(page, where.x, where.y)) assert.deepEqual(rgb, ROVER_RGB, 'pixel at the bounce');
    const link = await page.evaluate(() => location.href);
    assert.ok(link.endsWith('#run=' + bounce.run + '&t=' + bounce.t), 'the hash names the moment: ' + link);

    await page.goto('about:blank');
    await page.goto(link);
    const again = await waitForLoad(page);
    assert.equal(again.run, bounce.run);
    assert.equal(again.t, bounce.t);
    await nextFrames(page);
    const there = await page.evaluate((x, y) => RV.testHook.worldToScreen(x, y), bounce.x, bounce.y);
    for (const rgb of await patchAt(page, there.x, there.y)) assert.deepEqual(rgb, ROVER_RGB, 'pixel after the link');
  },

  // Space plays and pauses; the arrows step by physics step and by
  // telemetry message, back and forth.
  async play(page, web) {
    await page.goto(web.origin + '/viewer/index.html?record=/records/game.jsonl');
    assert.equal((await waitForLoad(page)).page, 'ready');
    assert.equal((await state(page)).t, 0);
    // Run 1 of the fixture game lasts 1000 ms: at 2x the page plays it for
    // half a second, long enough to be seen playing past 500 ms.
    await page.select('#speed', '2');
    await page.keyboard.press('Space');
    await page.waitForFunction(() => RV.testHook.state().t > 500 && RV.testHook.state().playing, { timeout: WAIT_MS });
    await page.keyboard.press('Space');
    await page.waitForFunction(() => !RV.testHook.state().playing, { timeout: WAIT_MS });
    const paused = (await state(page)).t;
    await nextFrames(page);
    assert.equal((await state(page)).t, paused, 'time stands still while paused');
    assert.ok(await page.evaluate(() => /^#run=1&t=\d+$/.test(location.hash)), 'hash follows the moment');

    await page.keyboard.press('Home');
    const steps = stepsOfRun(lines, 1);
    const telemetry = telemetryOfRun(lines, 1);
    await page.keyboard.press('ArrowRight');
    assert.equal((await state(page)).t, steps[0].t, 'one physics step forward');
    await page.keyboard.press('ArrowRight');
    assert.equal((await state(page)).t, steps[1].t, 'another physics step forward');
    await page.keyboard.press('ArrowLeft');
    assert.equal((await state(page)).t, steps[0].t, 'one physics step back');
    await page.keyboard.down('Shift');
    await page.keyboard.press('ArrowRight');
    await page.keyboard.up('Shift');
    assert.equal((await state(page)).t, telemetry[1].t, 'next telemetry message');
    const shown = await page.$eval('#telemetry', (el) => el.textContent);
    assert.equal(shown, telemetry[1].text, 'the T message on show is the raw text');
    await page.keyboard.press('End');
    assert.equal((await state(page)).t, Math.max(...lines.filter((l) => l.item.run === 1).map((l) => l.item.t)));
  },

  // A record cut in the middle of a run shows what it holds and says it is
  // truncated; a file that is no record, or of another version, says so
  // instead of showing nothing.
  async truncated(page, web) {
    const lastStart = plainText.lastIndexOf('{"type":"run_start"');
    const cut = plainText.slice(0, lastStart + Math.floor((plainText.length - lastStart) / 2));
    fs.writeFileSync(path.join(opt.out, 'truncated.jsonl'), cut);
    fs.writeFileSync(path.join(opt.out, 'not_a_record.jsonl'), 'PK\u0003\u0004 this is not a record\n');

    await page.goto(web.origin + '/viewer/index.html?record=/out/not_a_record.jsonl');
    const bad = await waitForLoad(page);
    assert.equal(bad.page, 'error');
    assert.match(bad.message, /not a game record/);
    assert.ok(await page.$eval('#message', (el) => el.offsetHeight > 0), 'the message is on screen');

    fs.writeFileSync(path.join(opt.out, 'version_2.jsonl'), plainText.replace('"version":1', '"version":2'));
    await page.goto(web.origin + '/viewer/index.html?record=/out/version_2.jsonl');
    const newer = await waitForLoad(page);
    assert.equal(newer.page, 'error');
    assert.match(newer.message, /Unsupported record version 2/);

    await page.goto(web.origin + '/viewer/index.html?record=/out/truncated.jsonl');
    const s = await waitForLoad(page);
    assert.equal(s.page, 'ready');
    assert.match(s.message, /This record is truncated/);
    assert.ok(await page.$eval('#message', (el) => el.offsetHeight > 0), 'the message is on screen');
    const expected = runResults(recordLines(cut));
    assert.equal(s.runs, expected.length + 1, 'the complete runs and the cut one');
    const shown = await shownResults(page);
    assert.deepEqual(shown.rows.slice(0, expected.length), expected);
    assert.equal(shown.rows[expected.length].outcome, 'no result');
  },

  // The gzip record reads like the plain one, and a gzip record without its
  // end still shows the runs that were flushed before the cut.
  async gzip(page, web) {
    await page.goto(web.origin + '/viewer/index.html?record=/records/game.jsonl.gz');
    const s = await waitForLoad(page);
    assert.equal(s.page, 'ready', s.message);
    assert.equal(s.message, '');
    assert.ok(s.load.bytes < plainText.length, 'the compressed file was read');
    assertResultsShown(await shownResults(page), results);

    const packed = fs.readFileSync(path.join(opt.records, 'game.jsonl.gz'));
    const cut = packed.subarray(0, Math.floor(packed.length * 0.8));
    fs.writeFileSync(path.join(opt.out, 'cut.jsonl.gz'), cut);
    const expected = runResults(recordLines(gunzipPrefix(cut)));
    assert.ok(expected.length >= 1, 'the cut keeps at least one flushed run');
    await page.goto(web.origin + '/viewer/index.html?record=/out/cut.jsonl.gz');
    const c = await waitForLoad(page);
    assert.equal(c.page, 'ready', c.message);
    assert.match(c.message, /gzip stream ends early/);
    assert.deepEqual((await shownResults(page)).rows.filter((r) => r.outcome !== 'no result'), expected);
  },

  // The view ellipse is the server's: for each set of numbers in
  // view_ellipses.json, which the C++ fixture test checks against the
  // server's own computation, the page finds the same centre and axes,
  // double for double. One set has a rear view larger than the front.
  async ellipse(page, web) {
    const sets = JSON.parse(fs.readFileSync(path.join(opt.fixtures, 'view_ellipses.json'), 'utf8'));
    assert.ok(sets.some((s) => s.rear_view > s.front_view), 'a set with a rear view larger than the front');
    await page.goto(web.origin + '/viewer/index.html?record=/records/game.jsonl');
    assert.equal((await waitForLoad(page)).page, 'ready');
    const shown = await page.evaluate((all) => all.map((s) => RV.viewEllipse(
      { x: s.x, y: s.y, h: s.heading }, { front_view: s.front_view, rear_view: s.rear_view })), sets);
    sets.forEach((s, i) => {
      for (const [name, server] of [['x', 'centre_x'], ['y', 'centre_y'], ['major', 'major'], ['minor', 'minor']]) {
        assert.ok(Object.is(shown[i][name], s[server]), `set ${i}, ${server}: page ${shown[i][name]}, server ${s[server]}`);
      }
    });
  },

  // A record of 2,000 runs (one physics step each) opens and lists every
  // run, with its outcome and score, in the run menu and the results list.
  async many_runs(page, web) {
    const many = recordLines(zlib.gunzipSync(fs.readFileSync(path.join(opt.records, 'many_runs.jsonl.gz'))).toString());
    const expected = runResults(many);
    assert.ok(expected.length >= 1000, 'the test record has many runs');
    await page.goto(web.origin + '/viewer/index.html?record=/records/many_runs.jsonl.gz');
    const s = await waitForLoad(page);
    assert.equal(s.page, 'ready', s.message);
    assert.equal(s.runs, expected.length);
    assertResultsShown(await shownResults(page), expected);
    const options = await page.$$eval('#run-select option', (all) => all.map((o) => o.textContent));
    assert.deepEqual(options, expected.map((r) => r.run + ' · ' + r.outcome), 'the run menu');
    const total = expected.reduce((sum, r) => sum + BigInt(r.score), 0n);
    assert.equal(await page.$eval('#results-total', (el) => el.textContent), String(total));
    // The last run, chosen in the list, is marked there and on show.
    await page.evaluate((n) => document.querySelector('#result-rows .row[data-run="' + n + '"] span').click(), expected.length);
    const last = expected[expected.length - 1];
    assert.equal((await state(page)).run, last.run);
    assert.equal(await page.$eval('#result-rows .row.current', (el) => el.dataset.run), String(last.run));
    assert.equal(await page.$eval('#run-select', (el) => el.value), String(last.run));
  },

  // The first line that cannot be in a record stops the load with a message
  // naming it, and nothing of the record is shown. Brackets inside a string
  // are no nesting; a line after the footer is.
  async impossible_lines(page, web) {
    await page.goto(web.origin + '/viewer/index.html');
    await page.waitForFunction(() => window.RV && RV.testHook);
    const footer = plainText.split('\n').length - 1; // the footer's line number; the file ends with a newline
    const run2 = plainText.split('\n').findIndex((l) => l.startsWith('{"type":"run_start","run":2')) + 1;
    const faults = [
      ['empty', 7, '', /^Line 7 is empty/],
      ['unknown_type', 7, '{"type":"teleport","run":1,"t":0}', /^Line 7 \(teleport\) is of an unknown type/],
      ['second_header', 7, plainText.slice(0, plainText.indexOf('\n')), /^Line 7 \(header\) is a second header/],
      ['not_json', 7, '{"type":"step","run":1,', /^Line 7 is not valid JSON/],
      ['deep', 7, '{"type":"cmd","run":1,"t":0,"cmds":' + '['.repeat(65) + ']'.repeat(65) + '}', /^Line 7 is nested deeper than 64 levels/],
      ['run_back', run2 + 2, '{"type":"cmd","run":1,"t":0,"cmds":["a"]}', new RegExp('^Line ' + (run2 + 2) + ' \\(cmd\\) goes back to run 1 during run 2')],
      ['bad_field', 7, '{"type":"step","run":1,"t":10,"x":1,"y":2,"h":0,"v":0,"w":0,"c":["a","-"],"hash":"0"}', /^Line 7 \(step\) c is not a string/],
      ['bad_score', run2 - 1, '{"type":"run_end","run":1,"t":99,"outcome":"x","code":1,"score":1.5,"run_ms":99,"bounces":{"boulder":0,"wall":0},"commands":0,"late_replies":0}', new RegExp('^Line ' + (run2 - 1) + ' \\(run_end\\) score is not an integer')],
      ['after_footer', footer + 1, plainText.split('\n')[2], new RegExp('^Line ' + (footer + 1) + ' follows the footer')],
    ];
    for (const [name, at, line, message] of faults) {
      const s = await upload(page, withLine(name, at, line));
      assert.equal(s.page, 'error', name + ': ' + s.message);
      assert.match(s.message, message, name);
      assert.deepEqual(await shownRecord(page), NOTHING_SHOWN, name + ': nothing of the record is shown');
    }
    // 300 brackets inside a string nest nothing: the record opens.
    const fine = await upload(page, withLine('brackets_in_text', 7,
      '{"type":"cmd","run":1,"t":0,"cmds":["' + '['.repeat(300) + '"]}'));
    assert.equal(fine.page, 'ready', fine.message);
    assert.equal(fine.runs, results.length);
  },

  // The size limit counts decompressed bytes and can be changed in the
  // address: the record's exact size opens, one byte less is refused. A
  // small gzip file of a record followed by 50 MB of newlines stops at the
  // first empty line, long before the rest is decompressed; a line longer
  // than max-line stops at that line.
  async limits(page, web) {
    const size = Buffer.byteLength(plainText);
    const open = async (query, record) => {
      await page.goto(web.origin + '/viewer/index.html?' + query + '&record=' + record);
      return waitForLoad(page);
    };
    for (const record of ['/records/game.jsonl', '/records/game.jsonl.gz']) {
      const exact = await open('max-size=' + size, record);
      assert.equal(exact.page, 'ready', record + ' at its size: ' + exact.message);
      const over = await open('max-size=' + (size - 1), record);
      assert.equal(over.page, 'error', record + ' one byte over');
      // It suggests four times the limit, in whole MiB.
      assert.match(over.message, new RegExp('larger than the limit of ' + (size - 1) + ' bytes' +
        (record.endsWith('.gz') ? ' decompressed' : '') + ';.*\\?max-size=' + Math.ceil(4 * (size - 1) / 2 ** 20) + 'M\\.$'));
      assert.equal(over.read, size - 1, 'read up to the limit, no further');
      assert.deepEqual(await shownRecord(page), NOTHING_SHOWN);
    }
    const bad = await open('max-size=lots', '/records/game.jsonl');
    assert.equal(bad.page, 'error');
    assert.match(bad.message, /max-size=lots, which is not a size/);

    const newlines = zlib.gzipSync(Buffer.concat([Buffer.from(plainText), Buffer.alloc(50e6, 10)]));
    fs.writeFileSync(path.join(opt.out, 'newlines.jsonl.gz'), newlines);
    const flood = await open('', '/out/newlines.jsonl.gz');
    assert.equal(flood.page, 'error');
    assert.match(flood.message, new RegExp('^Line ' + (plainText.split('\n').length) + ' is empty'));
    assert.ok(flood.read < size + 5e6, 'stopped early: ' + flood.read + ' bytes decompressed of ' + (size + 50e6));

    const header = plainText.indexOf('\n');
    const long = await open('max-line=' + (header - 1), '/records/game.jsonl');
    assert.equal(long.page, 'error');
    assert.match(long.message, /^Line 1 is longer than the limit of/);
    assert.equal((await open('max-line=' + header, '/records/game.jsonl')).page, 'ready');
  },

  // A load that fails takes away everything an earlier record showed: the
  // run list, the panels, the map. Here the second record holds two good
  // runs before a damaged line.
  async cleared(page, web) {
    await page.goto(web.origin + '/viewer/index.html');
    await page.waitForFunction(() => window.RV && RV.testHook);
    const good = await upload(page, path.join(opt.records, 'game.jsonl'));
    assert.equal(good.page, 'ready');
    assert.notDeepEqual(await shownRecord(page), NOTHING_SHOWN);
    const start = firstBounce(lines);
    await page.select('#run-select', String(start.run));
    await scrubTo(page, start.t);
    const where = await page.evaluate((x, y) => RV.testHook.worldToScreen(x, y), start.x, start.y);
    assert.deepEqual((await patchAt(page, where.x, where.y))[4], ROVER_RGB, 'the rover before the failed load');

    const all = plainText.split('\n');
    const run3 = all.findIndex((l) => l.startsWith('{"type":"run_start","run":3')) + 1;
    const bad = await upload(page, withLine('damaged_run_3', run3 + 3, '{"type":"step","run":3}'));
    assert.equal(bad.page, 'error');
    assert.match(bad.message, new RegExp('^Line ' + (run3 + 3) + ' \\(step\\) t is not an integer'));
    assert.deepEqual(await shownRecord(page), NOTHING_SHOWN);
    await nextFrames(page);
    for (const rgb of await patchAt(page, where.x, where.y)) assert.notDeepEqual(rgb, ROVER_RGB, 'no rover after it');
    assert.equal((await state(page)).run, null);
  },

  // Opened as a file, with no browser flags, the page reads a record given
  // to its file input.
  async file_url(page) {
    await page.goto(pathToFileURL(path.join(opt.viewer, 'index.html')).href);
    await page.waitForFunction(() => window.RV && RV.testHook);
    assert.equal((await state(page)).page, 'empty');
    const input = await page.$('#file-input');
    await input.uploadFile(path.join(opt.records, 'game.jsonl'));
    const s = await waitForLoad(page);
    assert.equal(s.page, 'ready', s.message);
    assertResultsShown(await shownResults(page), results);
  },
};

async function main() {
  const test = cases[opt.case];
  if (!test) throw new Error('unknown case ' + opt.case + '; cases: ' + Object.keys(cases).join(' '));
  const web = await serveFolders({ '/viewer/': opt.viewer, '/records/': opt.records, '/out/': opt.out });
  const { browser, close } = await launchBrowser();
  let page;
  try {
    page = await newPage(browser);
    await test(page, web);
    assert.deepEqual(page.pageErrors, [], 'errors thrown in the page');
  } finally {
    if (page) await page.screenshot({ path: path.join(opt.out, opt.case + '.png') }).catch(() => {});
    await close();
    await web.close();
  }
  console.log('viewer ' + opt.case + ': passed; screenshot ' + path.join(opt.out, opt.case + '.png'));
}

main().catch((e) => {
  console.error('viewer ' + opt.case + ': FAILED\n' + (e && e.stack ? e.stack : e));
  process.exit(1);
});
