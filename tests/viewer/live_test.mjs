// Browser tests of the viewer's live mode with tools/live, one case per run:
//
//   node live_test.mjs CASE --records DIR --viewer DIR --out DIR --live tools/live/live
//                     [--play tools/play/play --tournament tools/tournament/tournament
//                      --build DIR --fixtures DIR]   (cases play and watch)
//
// Each case grows a record file step by step from a record of the real
// server (DIR of --records, made by make_records.py), cutting lines in two
// and compressing with sync flushes as the server does, while tools/live
// follows it and headless chromium shows it.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import { WAIT_MS, launchBrowser, newPage, state } from './browser_harness.mjs';

function options() {
  const args = process.argv.slice(2);
  const o = { case: args[0] };
  for (let i = 1; i < args.length; i += 2) o[args[i].replace(/^--/, '')] = path.resolve(args[i + 1]);
  for (const k of ['case', 'records', 'viewer', 'out', 'live']) if (!o[k]) throw new Error('missing ' + k);
  return o;
}

const opt = options();
const work = path.join(opt.out, 'live_' + opt.case);
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(work, { recursive: true });
const plainText = fs.readFileSync(path.join(opt.records, 'game.jsonl'), 'utf8');
const recordLines = plainText.split('\n').slice(0, -1);
// The places the tests grow the record to are counted from run 2's first line.
const run2 = recordLines.findIndex((l) => l.startsWith('{"type":"run_start","run":2')) + 1;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function until(what, check, ms = WAIT_MS) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    await sleep(20);
  }
}

// tools/live in its own empty folder; resolves once its first line (the
// address) has come through the pipe.
const running = new Set(); // tools/live processes to end if a case fails

async function startLive(args) {
  const cwd = fs.mkdtempSync(path.join(work, 'cwd-'));
  const proc = spawn(opt.live, args, { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
  running.add(proc);
  proc.on('exit', () => running.delete(proc));
  let out = '';
  let err = '';
  proc.stdout.on('data', (d) => { out += d; });
  proc.stderr.on('data', (d) => { err += d; });
  const exited = new Promise((resolve) => proc.on('exit', (code, signal) => resolve({ code, signal })));
  await until('the address from tools/live (stderr: ' + err + ')', () => out.includes('\n') || proc.exitCode !== null);
  const base = out.split('\n')[0];
  assert.match(base, /^http:\/\/127\.0\.0\.1:\d+\/$/, 'first line: the address; stderr: ' + err);
  return {
    base, cwd, proc, output: () => out, errors: () => err,
    port: Number(new URL(base).port),
    async stop() {
      proc.kill('SIGTERM');
      const end = await exited;
      assert.deepEqual(end, { code: 0, signal: null }, 'tools/live ends with status 0 on SIGTERM');
      assert.equal(err, '', 'tools/live wrote nothing to stderr');
      assert.deepEqual(fs.readdirSync(cwd), [], 'tools/live wrote no file');
    },
  };
}

// A controller that waits (at most a minute) for the file argv[1], then
// becomes the program argv[2] with the rest: a game then starts only once
// the test's page is open.
const waitThenPilot = 'import os, sys, time\nend = time.monotonic() + 60\n' +
  'while not os.path.exists(sys.argv[1]) and time.monotonic() < end: time.sleep(0.02)\n' +
  'os.execv(sys.argv[2], sys.argv[2:])\n';

// A program of ours (play, tournament) with its output kept: out() and err()
// so far, and its exit as { code, signal }.
function startTool(program, args, cwd) {
  const proc = spawn(program, args, { cwd, stdio: ['ignore', 'pipe', 'pipe'] });
  running.add(proc);
  let out = '';
  let err = '';
  proc.stdout.on('data', (d) => { out += d; });
  proc.stderr.on('data', (d) => { err += d; });
  const exited = new Promise((resolve) => proc.on('exit', (code, signal) => resolve({ code, signal })));
  return { proc, out: () => out, err: () => err, exited };
}

// Writes a record the way the server does: lines appended in pieces (the
// last one often cut in two), plain or as one gzip stream flushed at each
// piece and finished only at the end.
class Grower {
  constructor(file, gzip) {
    this.file = file;
    this.gzip = gzip ? zlib.createGzip({ level: 1 }) : null;
    this.text = '';
    this.written = 0; // characters of plainText written
    if (this.gzip) this.gzip.on('data', (chunk) => fs.appendFileSync(file, chunk));
  }

  // Complete lines written so far.
  get lines() {
    return this.text.split('\n').length - 1;
  }

  async to(characters, finish = false) {
    const piece = plainText.slice(this.written, characters);
    this.written = characters;
    this.text += piece;
    if (!this.gzip) {
      fs.appendFileSync(this.file, piece);
      return;
    }
    this.gzip.write(piece);
    await new Promise((resolve) => (finish ? this.gzip.end(resolve) : this.gzip.flush(zlib.constants.Z_SYNC_FLUSH, resolve)));
  }

  // Up to the middle of line `n` (1-based), so that its second half comes later.
  toMiddleOfLine(n) {
    let at = 0;
    for (let k = 1; k < n; k++) at = plainText.indexOf('\n', at) + 1;
    return this.to(at + Math.floor((plainText.indexOf('\n', at) - at) / 2));
  }
}

// The newest (run, t) of the text so far, as the page must show it.
function newestMoment(text) {
  let run = 0;
  let t = 0;
  for (const line of text.split('\n').slice(0, -1)) {
    const item = JSON.parse(line);
    if (item.run > 0 && item.run >= run) {
      if (item.run > run) t = 0;
      run = item.run;
      t = Math.max(t, item.t);
    }
  }
  return { run, t };
}

// All the model the page built from the record, in a form to compare.
function model(page) {
  return page.evaluate(() => {
    const record = RV.testHook.record();
    const json = (v) => JSON.stringify(v, (k, x) => (typeof x === 'bigint' ? x.toString() + 'n' : x));
    return {
      init: record.initMessage,
      footer: json(record.footer),
      runs: record.runs.map((r) => json({
        number: r.number, endTime: r.endTime, steps: r.steps, messages: r.messages, telemetry: r.telemetry,
        martians: r.martianTicks, events: r.events, cmds: r.cmds, recvs: r.recvs, replies: r.replies, end: r.end,
      })),
    };
  });
}

// What the bar shows: the run menu, the time and the "live" marker.
function bar(page) {
  return page.evaluate(() => {
    const live = document.getElementById('live');
    return {
      run: document.getElementById('run-select').value,
      time: document.getElementById('time').textContent,
      live: live.offsetParent !== null ? live.innerText : null,
    };
  });
}

async function waitForLines(page, count) {
  await page.waitForFunction((n) => {
    const s = RV.testHook.state();
    return s.page === 'error' || (s.live && s.live.lines === n);
  }, { timeout: WAIT_MS, polling: 20 }, count);
  const s = await state(page);
  assert.notEqual(s.page, 'error', s.message);
}

// While the record grows the page follows its newest moment and says "live".
async function assertLiveAt(page, text) {
  const newest = newestMoment(text);
  const want = { run: String(newest.run), time: newest.t + ' / ' + newest.t + ' ms', live: 'live' };
  await until('the page at ' + JSON.stringify(want), async () => JSON.stringify(await bar(page)) === JSON.stringify(want))
    .catch(async (e) => assert.deepEqual(await bar(page), want, e.message + ' ' + JSON.stringify(await state(page))));
}

// Moves the scrubber to the middle of the run on show; returns the bar then.
async function scrubBack(page) {
  await page.evaluate(() => {
    const s = document.getElementById('scrubber');
    s.value = String(Math.floor(Number(s.max) / 2));
    s.dispatchEvent(new Event('input', { bubbles: true }));
  });
  const shown = await bar(page);
  assert.ok(await page.$eval('#live', (el) => el.classList.contains('behind')), '"live" says the page is behind');
  const [t, end] = shown.time.split(' / ').map(parseFloat);
  assert.ok(t < end, 'moved back: ' + shown.time);
  return shown;
}

async function waitForEnd(page) {
  await page.waitForFunction(() => ['ready', 'error'].includes(RV.testHook.state().page), { timeout: WAIT_MS });
  const s = await state(page);
  assert.equal(s.page, 'ready', s.message);
  assert.equal((await bar(page)).live, null, 'no "live" after the footer');
  return s;
}

async function finishedModel(browser, live) {
  const page = await newPage(await browser.createBrowserContext());
  await page.goto(live.base + 'viewer/?record=/records/1');
  await waitForEnd(page);
  const m = await model(page);
  assert.deepEqual(page.pageErrors, []);
  await page.close();
  return m;
}

// A GET; an event stream is read until its body matches `until`.
function get(url, headers = {}, until = /^/) {
  return new Promise((resolve, reject) => {
    const req = http.get(url, { headers }, (res) => {
      let body = '';
      res.setEncoding('latin1');
      res.on('data', (d) => {
        body += d;
        if (until.test(body)) req.destroy();
      });
      res.on('close', () => resolve({ status: res.statusCode, body }));
    });
    req.on('error', (e) => (e.code === 'ECONNRESET' ? resolve({ status: 0, body: '' }) : reject(e)));
    req.setTimeout(WAIT_MS, () => req.destroy(new Error('timeout: ' + url)));
  });
}

// A raw GET with the path exactly as given (no client-side normalisation).
function rawGet(port, target) {
  return new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port, path: target, method: 'GET' }, (res) => {
      res.resume();
      res.on('end', () => resolve(res.statusCode));
    });
    req.on('error', reject);
    req.end();
  });
}

const cases = {
  // A page follows a plain record from before it exists to its footer,
  // through a restart of tools/live, and ends with the same model as a page
  // that opens the finished record.
  async follow(browser) {
    const file = path.join(work, 'game.jsonl');
    let live = await startLive(['--stale', '60', file]);
    assert.match(live.output(), new RegExp('view 1: ' + live.base + 'viewer/\\?live=/live/1 '));
    const page = await newPage(browser);
    await page.goto(live.base + 'viewer/?live=/live/1&stamps');
    await page.waitForFunction(() => /Waiting for the game to start/.test(RV.testHook.state().message),
      { timeout: WAIT_MS });

    const grower = new Grower(file, false);
    await grower.toMiddleOfLine(2);
    await waitForLines(page, 1);
    await grower.toMiddleOfLine(run2 - 40);
    await waitForLines(page, grower.lines);
    await assertLiveAt(page, grower.text);

    // A restart while lines keep coming: the page resumes after its last
    // line, with no gap and no repeat.
    await live.stop();
    await grower.toMiddleOfLine(run2 + 30);
    live = await startLive(['--port', String(live.port), '--stale', '60', file]);
    await waitForLines(page, grower.lines);
    await assertLiveAt(page, grower.text);
    await grower.toMiddleOfLine(run2 + 60);
    await waitForLines(page, grower.lines);
    await assertLiveAt(page, grower.text);

    // Scrubbed back, the page stays at that moment while lines arrive; a
    // click on "live" follows the game again.
    const back = await scrubBack(page);
    await grower.toMiddleOfLine(run2 + 120);
    await waitForLines(page, grower.lines);
    const still = await bar(page);
    assert.deepEqual([still.run, still.time.split(' / ')[0], still.live], [back.run, back.time.split(' / ')[0], 'live'],
      'the moment stays where the user put it');
    assert.notEqual(still.time, back.time, 'while the run grows');
    await page.click('#live');
    await assertLiveAt(page, grower.text);

    // Scrubbed back when the game ends: the replay keeps that moment.
    await grower.toMiddleOfLine(recordLines.length - 1);
    await waitForLines(page, grower.lines);
    await assertLiveAt(page, grower.text);
    const kept = await scrubBack(page);
    await grower.to(plainText.length);
    await waitForEnd(page);
    assert.deepEqual(await bar(page), Object.assign(kept, { live: null }), 'the replay keeps the moment');
    assert.deepEqual(await model(page), await finishedModel(browser, live), 'the followed model is the finished one');
    assert.deepEqual(page.pageErrors, []);

    // The latency benchmark's stamps: every T message once, in order, at
    // wall-clock times that never go back.
    const stamps = await page.evaluate(() => RV.liveStamps);
    const sent = recordLines.map((l) => JSON.parse(l)).filter((i) => i.type === 'msg' && i.text[0] === 'T');
    assert.deepEqual(stamps.map((s) => [s[0], s[1]]), sent.map((i) => [i.run, i.t]));
    assert.ok(stamps.every((s, k) => k === 0 || s[2] >= stamps[k - 1][2]) && stamps[0][2] > 1.5e12, 'wall-clock stamps');
    await page.screenshot({ path: path.join(opt.out, 'live_follow.png') });
    await live.stop();
  },

  // Two pages follow a gzip record at once, both opened in the middle of
  // run 2: each shows run 2 from its first step, and both end with the
  // finished record's model.
  async two_pages(browser) {
    const file = path.join(work, 'game.jsonl.gz');
    const grower = new Grower(file, true);
    await grower.toMiddleOfLine(run2 + 40);
    const live = await startLive([file]);
    // Each in a window of its own: a background tab draws no frames.
    const pages = [await newPage(await browser.createBrowserContext()), await newPage(await browser.createBrowserContext())];
    for (const page of pages) {
      await page.goto(live.base + 'viewer/?live=/live/1');
      await waitForLines(page, grower.lines);
      await assertLiveAt(page, grower.text);
      const shown = await page.evaluate(() => {
        const run = RV.testHook.record().runs[1];
        return { steps: run.steps.n, first: run.steps.t[0] };
      });
      const written = grower.text.split('\n').slice(0, -1).map((l) => JSON.parse(l))
        .filter((item) => item.type === 'step' && item.run === 2);
      assert.deepEqual(shown, { steps: written.length, first: written[0].t }, 'run 2 from its start');
    }
    for (const at of [run2 + 80, run2 + 120, recordLines.length - 5]) {
      await grower.toMiddleOfLine(at);
      for (const page of pages) {
        await waitForLines(page, grower.lines);
        await assertLiveAt(page, grower.text);
      }
    }
    await grower.to(plainText.length, true);
    const finished = await finishedModel(browser, live);
    for (const page of pages) {
      await waitForEnd(page);
      assert.deepEqual(await model(page), finished);
      assert.deepEqual(page.pageErrors, []);
    }
    await pages[0].screenshot({ path: path.join(opt.out, 'live_two_pages.png') });
    await live.stop();
  },

  // A record that stops growing without its footer leaves live mode after
  // --stale seconds and is shown as a cut record; a second stream after the
  // end is refused with 204, so the browser does not reconnect. A record of
  // another version, or over the page's size limit, is refused, live as
  // from a file.
  async stale(browser) {
    const file = path.join(work, 'game.jsonl');
    const grower = new Grower(file, false);
    await grower.toMiddleOfLine(run2 + 30);
    const newer = path.join(work, 'version_2.jsonl');
    fs.writeFileSync(newer, plainText.slice(0, 50000).replace('"version":1', '"version":2'));
    const live = await startLive(['--stale', '1', file, newer]);
    const refused = await newPage(await browser.createBrowserContext());
    await refused.goto(live.base + 'viewer/?live=/live/2');
    await refused.waitForFunction(() => RV.testHook.state().page === 'error', { timeout: WAIT_MS });
    assert.match((await state(refused)).message, /^Unsupported record version 2/);
    await refused.goto(live.base + 'viewer/?live=/live/1&max-size=20000');
    await refused.waitForFunction(() => RV.testHook.state().page === 'error', { timeout: WAIT_MS });
    assert.match((await state(refused)).message, /^The record is larger than the limit of 20000 bytes;/);
    assert.deepEqual(refused.pageErrors, []);
    const page = await newPage(browser);
    await page.goto(live.base + 'viewer/?live=/live/1');
    const s = await waitForEnd(page);
    assert.match(s.message, /has not grown for 1 s and has no footer/);
    assert.match(s.message, /This record is truncated/);
    assert.equal(s.runs, newestMoment(grower.text).run);
    assert.deepEqual(page.pageErrors, []);

    // Growing again, up to its footer: a new stream gets all of it.
    await grower.to(plainText.length);
    const stream = await until('the whole record from tools/live', async () => {
      const got = await get(live.base + 'live/1', {}, /\nevent: (end|stale)\n/);
      return got.body.includes('\nevent: end\n') && got;
    });
    const ids = [...stream.body.matchAll(/^id: (.*)$/gm)].map((m) => m[1]);
    assert.equal(ids[ids.length - 1].split('.')[0], String(recordLines.length), 'the stream ends at the last line');
    assert.equal((await get(live.base + 'live/1', { 'Last-Event-ID': ids[ids.length - 1] })).status, 204);
    const other = await get(live.base + 'live/1', { 'Last-Event-ID': '5.0badc0de' }, /\nid: /);
    assert.match(other.body, /^retry: \d+\n\nevent: reset\n/, 'an id of another game starts afresh');
    await live.stop();
  },

  // A real-time game of play --live, watched from before it starts: its
  // address comes before the game, the page says "live" while it runs and
  // ends with the model of the finished record, which play keeps serving
  // until Ctrl-C; then play exits with the game's status and leaves no
  // tools/live behind. Its controller waits for the page before it
  // connects, so the page is there when the game starts.
  async play(browser) {
    for (const k of ['play', 'build', 'fixtures']) if (!opt[k]) throw new Error('missing --' + k);
    const map = JSON.parse(fs.readFileSync(path.join(opt.fixtures, 'short_map.json'), 'utf8'));
    Object.assign(map, { timeLimit: 2500, runs: map.runs.slice(0, 2) });
    const mapFile = path.join(work, 'live_map.json');
    fs.writeFileSync(mapFile, JSON.stringify(map));
    const go = path.join(work, 'go');
    const cwd = fs.mkdtempSync(path.join(work, 'cwd-'));
    const { proc, out, err, exited } = startTool(opt.play, ['--build', opt.build, '--realtime', '--live', mapFile, '--',
      'python3', '-c', waitThenPilot, go, path.join(opt.build, 'pilot'), '{host}', '{port}'], cwd);
    const address = await until('the live address from play (' + out() + err() + ')',
      () => (out().match(/^play: watch the game live at (http:\/\/127\.0\.0\.1:\d+\/viewer\/\?live=\/live\/1)\n/m) || [])[1]);
    assert.ok(!out().includes('Round '), 'the address comes before the game');
    const record = out().match(/^play: --live without --record: recording the game to (.*)\n/m)[1];
    const page = await newPage(browser);
    await page.goto(address);
    await page.waitForFunction(() => /Waiting for the game to start/.test(RV.testHook.state().message),
      { timeout: WAIT_MS });
    fs.writeFileSync(go, '');
    await page.waitForFunction(() => {
      const live = document.getElementById('live');
      return live.offsetParent !== null && live.innerText === 'live' && RV.testHook.state().live.lines > 5;
    }, { timeout: WAIT_MS, polling: 20 });
    const serving = new RegExp('^play: the game is over; still serving it at ' + address.replace(/[?.]/g, '\\$&') +
      ' until Ctrl-C\n', 'm');
    await until('the game to end (' + out() + err() + ')', () => serving.test(out()));
    assert.match(out(), /^Round 1: .*\nRound 2: .*\nplay: all 2 runs played; total score \d+\n/m);
    await waitForEnd(page);
    const base = address.slice(0, address.indexOf('viewer/'));
    assert.deepEqual(await model(page), await finishedModel(browser, { base }), 'the followed model is the finished one');
    assert.deepEqual(page.pageErrors, []);
    const livePids = () => fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n)).filter((n) => {
      try { return fs.readFileSync('/proc/' + n + '/cmdline', 'latin1').includes(record); } catch { return false; }
    });
    assert.equal(livePids().length, 1, 'tools/live serves the record');
    proc.kill('SIGINT');
    assert.deepEqual(await exited, { code: 0, signal: null }, "the game's status, not 130");
    assert.equal(err(), '');
    assert.deepEqual(livePids(), [], 'no tools/live outlives play');
    assert.deepEqual(fs.readdirSync(cwd), [path.basename(record)], 'the record of its own, in the current folder');
  },

  // tournament run --live: the page of `tournament watch` beside the runner
  // shows a game running with its live view, then finished, with its
  // controller's leaderboard row changing; a controller's bytes in a reason
  // stay text; the runner skips no game; the page writes nothing into the
  // folder and ends with the runner.
  async watch(browser) {
    for (const k of ['tournament', 'build', 'fixtures']) if (!opt[k]) throw new Error('missing --' + k);
    const map = JSON.parse(fs.readFileSync(path.join(opt.fixtures, 'short_map.json'), 'utf8'));
    Object.assign(map, { timeLimit: 1500, runs: map.runs.slice(0, 1) });
    fs.writeFileSync(path.join(work, 'one_run.json'), JSON.stringify(map));
    const go = path.join(work, 'go');
    const shouty = 'import sys\nsys.exit("<b id=injected>&amp; shouted</b>")\n';
    fs.writeFileSync(path.join(work, 'tournament.json'), JSON.stringify({
      controllers: [
        { name: 'pilot', command: ['/usr/bin/python3', '-c', waitThenPilot, go, path.join(opt.build, 'pilot'), '{host}', '{port}'] },
        { name: 'shouty', command: ['/usr/bin/python3', '-c', shouty, '{port}'] }],
      maps: ['one_run.json'], seeds: [1], mode: 'realtime', sandbox: 'none', game_time_limit_s: 60,
    }));
    const dir = path.join(work, 'tournament');
    const planned = spawn(opt.tournament, ['plan', path.join(work, 'tournament.json'), '-o', dir, '--build', opt.build],
      { stdio: 'ignore' });
    assert.equal(await new Promise((resolve) => planned.on('exit', resolve)), 0, 'tournament plan');
    const before = fs.readdirSync(dir).sort();
    const { proc, out, err, exited } = startTool(opt.tournament, ['run', dir, '--engine', 'local', '--realtime-jobs', '1',
      '--live'], work);
    const base = await until('the page address (' + out() + err() + ')',
      () => (out().match(/^tournament: watch the tournament at (http:\/\/127\.0\.0\.1:\d+\/)\n/m) || [])[1]);
    const page = await newPage(browser);
    await page.goto(base);
    // The page reloads itself: a look may fall between two loads.
    const look = () => page.evaluate(() => {
      const rows = (heading) => {
        let at = [...document.querySelectorAll('h2')].find((h) => h.textContent.startsWith(heading));
        while (at && at.tagName !== 'TABLE') at = at.nextElementSibling;
        return at ? [...at.tBodies[0].rows] : [];
      };
      const standing = rows('Standings').find((r) => r.cells[1].textContent === 'pilot');
      const live = document.querySelector('a[href^="/viewer/?live="]');
      return {
        progress: document.getElementById('progress').textContent,
        timeLeft: document.getElementById('time-left').textContent,
        live: live && live.getAttribute('href'),
        pilot: standing && [...standing.cells].map((c) => c.textContent).join('|'),
        finished: rows('Finished').map((r) => [...r.cells].slice(1, 5).map((c) => c.textContent)),
        injected: document.getElementById('injected') !== null,
      };
    }).catch(() => null);
    const pilotGame = 'pilot.one_run.s1.r1';
    const first = await until('pilot\'s game running', async () => {
      const l = await look();
      return l && /^1 running, 0 finished, 1 to play, of 2 games/.test(l.progress) && l;
    });
    assert.equal(first.live, '/viewer/?live=/live/' + pilotGame);
    assert.match(first.timeLeft, /known once a game has finished/);
    const liveView = await newPage(await browser.createBrowserContext());
    await liveView.goto(base + first.live.slice(1));
    await liveView.waitForFunction(() => /Waiting for the game to start/.test(RV.testHook.state().message) ||
      RV.testHook.state().live, { timeout: WAIT_MS });
    fs.writeFileSync(go, '');
    await waitForEnd(liveView);
    assert.deepEqual(liveView.pageErrors, []);
    const last = await until('both games finished', async () => {
      const l = await look();
      return l && /^0 running, 2 finished, 0 to play/.test(l.progress) && l;
    });
    assert.deepEqual(last.finished.map((f) => f.slice(0, 2)), [['pilot', 'one_run'], ['shouty', 'one_run']]);
    assert.equal(last.finished[0][2], 'completed');
    assert.match(last.finished[1][3], /<b id=injected>&amp; shouted<\/b>/, 'the reason, as text');
    assert.equal(last.injected, false);
    assert.notEqual(last.pilot, first.pilot, 'the leaderboard row changed');
    assert.match(last.timeLeft, /Every game has an outcome/);
    assert.deepEqual(page.pageErrors, []);
    await page.screenshot({ path: path.join(opt.out, 'live_watch.png') });

    await until('the run to end (' + out() + err() + ')', () => /^tournament: still serving the page at /m.test(out()));
    assert.match(out(), /every game has an outcome \(2 games played in this run\)/);
    assert.doesNotMatch(out(), /skipped/, 'the runner skipped no game');
    const watchPids = () => fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n)).filter((n) => {
      try { return fs.readFileSync('/proc/' + n + '/cmdline', 'latin1').includes('\0watch\0' + dir); } catch { return false; }
    });
    assert.equal(watchPids().length, 1);
    proc.kill('SIGINT');
    assert.deepEqual(await exited, { code: 0, signal: null });
    assert.deepEqual(watchPids(), [], 'the page ends with the runner');
    const after = fs.readdirSync(dir).sort();
    assert.deepEqual(after.filter((f) => !before.includes(f)).sort(), ['local.joblog', 'local.pending'],
      'the page wrote nothing: no leaderboard, no __pycache__');
  },

  // tools/live serves its viewer, its records by id and nothing else: no
  // path out of the viewer's folder, encoded or not, no symbolic link out of
  // it, no folder listing, no record that became a symbolic link. It
  // listens on 127.0.0.1 only and writes nothing (no __pycache__ either).
  async paths() {
    const viewer = path.join(work, 'viewer');
    fs.cpSync(opt.viewer, viewer, { recursive: true });
    fs.symlinkSync('/etc', path.join(viewer, 'etc'));
    fs.symlinkSync('/etc/passwd', path.join(viewer, 'passwd.html'));
    fs.symlinkSync('index.html', path.join(viewer, 'inside.html'));
    const record = path.join(work, 'later.jsonl');
    const carriage = path.join(work, 'carriage.jsonl');
    fs.writeFileSync(carriage, recordLines.slice(0, 5).join('\n') + '\n{"type":"msg",\r"run":1}\n' + recordLines[5] + '\n');
    const toolFiles = fs.readdirSync(path.dirname(opt.live)).sort();
    const live = await startLive(['--viewer', viewer, path.join(opt.records, 'game.jsonl'), record, carriage]);
    const port = live.port;
    const expect = {
      '/': 200, '/viewer/': 200, '/viewer/index.html': 200, '/viewer/js/app.js': 200, '/viewer/inside.html': 200,
      '/records/1': 200, '/viewer/js': 404, '/viewer/js/': 404, '/viewer/..': 404,
      '/viewer/../viewer/index.html': 404, '/viewer/%2e%2e/viewer/index.html': 404,
      '/viewer/%2E%2E/%2E%2E/etc/passwd': 404, '/viewer/..%2f..%2fetc%2fpasswd': 404, '/viewer//etc/passwd': 404,
      '/viewer/%2fetc%2fpasswd': 404, '/etc/passwd': 404, '/viewer/etc/passwd': 404, '/viewer/passwd.html': 404,
      '/records/4': 404, '/records/..%2f..%2fetc%2fpasswd': 404, ['/records/' + encodeURIComponent(record)]: 404,
      '/live/%2e%2e': 404, '/tools/live/live': 404,
    };
    const got = {};
    for (const target of Object.keys(expect)) got[target] = await rawGet(port, target);
    assert.deepEqual(got, expect);
    const rebound = await new Promise((resolve, reject) => {
      http.get({ host: '127.0.0.1', port, path: '/records/1', headers: { Host: 'games.example:' + port } },
        (res) => { res.resume(); resolve(res.statusCode); }).on('error', reject);
    });
    assert.equal(rebound, 403, 'a request for another host name (DNS rebinding) is refused');
    const index = await get(live.base);
    assert.ok(index.body.includes('href="/viewer/?live=/live/2"'), 'the index links each live view');

    // A carriage return would cut a line of the event stream in two: the
    // lines before it are served, then a fault.
    const cut = await get(live.base + 'live/3', {}, /event: fault\n.*\n/);
    assert.match(cut.body, /^retry: \d+\n\n(event: waiting\ndata: \n\n)?id: 5\.[0-9a-f]{8}\n(data: .*\n){5}\nevent: fault\ndata: line 6 holds a carriage return\n/);

    // The listening socket is bound to 127.0.0.1 (0100007F in /proc).
    const hexPort = port.toString(16).toUpperCase().padStart(4, '0');
    const listening = fs.readFileSync('/proc/net/tcp', 'utf8').split('\n')
      .filter((l) => l.includes(':' + hexPort + ' ') && / 0A /.test(l)).map((l) => l.trim().split(/\s+/)[1]);
    assert.deepEqual(listening, ['0100007F:' + hexPort]);

    // The record that did not exist yet appears as a symbolic link out.
    fs.symlinkSync('/etc/passwd', record);
    const stream = await get(live.base + 'live/2', {}, /event: fault\n.*\n/);
    assert.match(stream.body, /event: fault\ndata: the record is a symbolic link\n/);
    assert.ok(!stream.body.includes('root:'), 'nothing of the link\'s target');

    // The first line reaches a file as well as a pipe.
    const lines = path.join(work, 'address.txt');
    const fd = fs.openSync(lines, 'w');
    const second = spawn(opt.live, [record], { stdio: ['ignore', fd, 'ignore'] });
    running.add(second);
    fs.closeSync(fd);
    await until('the address in a file', () => fs.readFileSync(lines, 'utf8').includes('\n'));
    assert.match(fs.readFileSync(lines, 'utf8'), /^http:\/\/127\.0\.0\.1:\d+\/\n/);
    second.kill('SIGTERM');
    await new Promise((resolve) => second.on('exit', resolve));
    await live.stop();
    assert.deepEqual(fs.readdirSync(path.dirname(opt.live)).sort(), toolFiles, 'no __pycache__ or other file');
  },
};

async function main() {
  const test = cases[opt.case];
  if (!test) throw new Error('unknown case ' + opt.case + '; cases: ' + Object.keys(cases).join(' '));
  const { browser, close } = await launchBrowser();
  try {
    await test(browser);
  } finally {
    for (const proc of running) proc.kill('SIGKILL');
    await close();
  }
  console.log('live ' + opt.case + ': passed');
}

main().catch((e) => {
  console.error('live ' + opt.case + ': FAILED\n' + (e && e.stack ? e.stack : e));
  process.exit(1);
});
