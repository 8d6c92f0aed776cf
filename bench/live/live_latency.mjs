// How late a browser shows a real-time game, and how many spectators one
// tools/live serves before that gets worse: a benchmark, run by hand.
//
//   node bench/live/live_latency.mjs [--games 5] [--spectators 0,10,50]
//        [--map maps/martian_patrol.json] [--build build/release]
//
// Each game: the server in real time with a .gz record, tools/live on it
// under nice, a headless chromium page on its live view with the &stamps
// flag, N extra Server-Sent Events clients that only read, and pilot
// playing through a probe that stamps each "T" as it arrives from the
// server (Date.now()). The page stamps each new (run, t) in the frame that
// draws it (performance.timeOrigin + now()). Joined by (run, t): the
// latency from the wire to the screen. Prints median, p99 and max per
// spectator count, beside the load averages; the goal is p99 < 250 ms.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, newPage, WAIT_MS } from '../../tests/viewer/browser_harness.mjs';

const SOURCE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const opt = { games: 5, spectators: '0', map: path.join(SOURCE, 'maps', 'martian_patrol.json'), build: path.join(SOURCE, 'build', 'release') };
for (let i = 2; i < process.argv.length; i += 2) opt[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'live_latency_'));
const loadAverage = () => fs.readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');
const exited = (proc) => new Promise((resolve) => (proc.exitCode !== null ? resolve() : proc.on('exit', resolve)));

function firstLine(proc) {
  return new Promise((resolve, reject) => {
    let out = '';
    proc.stdout.on('data', (d) => {
      out += d;
      if (out.includes('\n')) resolve(out.split('\n')[0]);
    });
    proc.on('exit', () => reject(new Error('exited before its first line')));
  });
}

// A free port, taken and given back at once.
function freePort() {
  return new Promise((resolve) => {
    const s = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

// Listens for the controller, connects it to the server, passes bytes both
// ways and stamps every T from the server by (run, t).
async function probe(serverPort, stamps) {
  const server = net.createServer((controller) => {
    const upstream = net.connect(serverPort, '127.0.0.1');
    let run = 1;
    let rest = '';
    upstream.on('data', (data) => {
      const now = Date.now();
      const messages = (rest + data.toString('latin1')).split(';');
      rest = messages.pop();
      for (const m of messages) {
        const text = m.trimStart();
        if (text[0] === 'T') stamps.set(run + ':' + Number(text.split(' ')[1]), now);
        if (text[0] === 'E') run += 1;
      }
      controller.write(data);
    });
    controller.on('data', (data) => upstream.write(data));
    upstream.on('close', () => controller.destroy());
    controller.on('close', () => upstream.destroy());
    controller.on('error', () => {});
    upstream.on('error', () => {});
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return server;
}

// Clients that read the event stream and nothing more.
function spectators(url, count) {
  const requests = [];
  for (let i = 0; i < count; i++) {
    const req = http.get(url, (res) => res.on('data', () => {}));
    req.on('error', () => {});
    requests.push(req);
  }
  return () => requests.forEach((r) => r.destroy());
}

async function game(browser, number, extra) {
  const record = path.join(work, `game${number}.jsonl.gz`);
  const port = await freePort();
  const server = spawn(path.join(opt.build, 'server'), ['-p', String(port), '--record', record, opt.map], { stdio: 'ignore' });
  const live = spawn('nice', ['-n', '10', path.join(SOURCE, 'tools', 'live', 'live'), record], { stdio: ['ignore', 'pipe', 'inherit'] });
  const base = await firstLine(live);
  const page = await newPage(await browser.createBrowserContext());
  await page.goto(base + 'viewer/?live=/live/1&stamps');
  await page.waitForFunction(() => window.RV && RV.testHook && /Waiting/.test(RV.testHook.state().message || ''), { timeout: WAIT_MS });
  const stop = spectators(base + 'live/1', extra);
  const stamps = new Map();
  const proxy = await probe(port, stamps);
  const pilot = spawn(path.join(opt.build, 'pilot'), ['127.0.0.1', String(proxy.address().port)], { stdio: 'ignore' });
  await exited(server);
  await page.waitForFunction(() => RV.testHook.state().page === 'ready', { timeout: WAIT_MS });
  const shown = await page.evaluate(() => RV.liveStamps);
  stop();
  proxy.close();
  live.kill('SIGTERM');
  await Promise.all([exited(live), exited(pilot)]);
  await page.browserContext().close();
  const latencies = [];
  let missing = 0;
  for (const [run, t, wall] of shown) {
    const sent = stamps.get(run + ':' + t);
    if (sent === undefined) missing += 1;
    else latencies.push(wall - sent);
  }
  return { latencies, missing, ts: stamps.size };
}

const percentile = (sorted, p) => sorted[Math.min(sorted.length - 1, Math.ceil((p / 100) * sorted.length) - 1)];

async function main() {
  const { browser, close } = await launchBrowser();
  try {
    console.log(`${path.basename(opt.map)}, ${opt.games} real-time games per spectator count; load average ${loadAverage()} at the start`);
    console.log('spectators  Ts shown  not joined   median ms   p99 ms   max ms   load average after');
    for (const extra of opt.spectators.split(',').map(Number)) {
      const all = [];
      let missing = 0;
      let shown = 0;
      for (let g = 1; g <= Number(opt.games); g++) {
        const r = await game(browser, g, extra);
        all.push(...r.latencies);
        missing += r.missing;
        shown += r.latencies.length + r.missing;
      }
      all.sort((a, b) => a - b);
      const fmt = (v) => v.toFixed(1).padStart(9);
      console.log(`${String(extra).padStart(10)} ${String(shown).padStart(9)} ${String(missing).padStart(11)} ${fmt(percentile(all, 50))}  ${fmt(percentile(all, 99))} ${fmt(all[all.length - 1])}   ${loadAverage()}`);
    }
  } finally {
    await close();
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
