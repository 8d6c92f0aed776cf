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
    rows: [...document.querySelectorAll('#results tbody tr')].map((tr) => ({
      run: Number(tr.cells[0].textContent), outcome: tr.cells[1].textContent, score: tr.cells[2].textContent,
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
    await page.select('#speed', '16');
    await page.keyboard.press('Space');
    await page.waitForFunction(() => RV.testHook.state().t > 500, { timeout: WAIT_MS });
    assert.equal((await state(page)).playing, true);
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
