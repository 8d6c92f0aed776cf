// Measures how the viewer copes with a long, crowded record (by hand, not
// a CTest case: it reports wall-clock figures, which a test must not assert):
//
//   node tests/viewer/perf/measure_smoothness.mjs RECORD [--from MS] [--seconds S]
//
// Prints the record's load time (fetch, decompress, parse, index), the 95th
// percentile and maximum of the requestAnimationFrame interval while the
// viewer plays at 16x with the trail drawn, the page's JavaScript heap and
// the renderer processes' resident memory.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { launchBrowser, newPage, serveFolders, waitForLoad } from '../browser_harness.mjs';

const args = process.argv.slice(2);
const record = path.resolve(args[0] || '');
if (!args[0] || !fs.existsSync(record)) {
  console.error('usage: measure_smoothness.mjs RECORD [--from MS] [--seconds S]');
  process.exit(2);
}
const opt = (name, fallback) => {
  const i = args.indexOf('--' + name);
  return i > 0 ? Number(args[i + 1]) : fallback;
};
const from = opt('from', 120000);
const seconds = opt('seconds', 10);
const viewer = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../viewer');

// The largest renderer process (the page's): resident size, and its private
// part, which leaves out the browser's shared libraries.
function rendererMemory() {
  const out = execFileSync('ps', ['-eo', 'pid=,args='], { encoding: 'utf8' });
  let best = { rss: 0, priv: 0 };
  for (const line of out.split('\n')) {
    if (!line.includes('chromium') || !line.includes('--type=renderer')) continue;
    const pid = line.trim().split(/\s+/)[0];
    let rollup;
    try {
      rollup = fs.readFileSync('/proc/' + pid + '/smaps_rollup', 'utf8');
    } catch (e) {
      continue;
    }
    const kb = (name) => Number((new RegExp('^' + name + ':\\s+(\\d+)', 'm').exec(rollup) || [0, 0])[1]);
    const m = { rss: kb('Rss') / 1024, priv: (kb('Private_Clean') + kb('Private_Dirty')) / 1024 };
    if (m.rss > best.rss) best = m;
  }
  return best;
}

const web = await serveFolders({ '/viewer/': viewer, '/record/': path.dirname(record) });
const { browser, close } = await launchBrowser();
try {
  const page = await newPage(browser);
  const started = Date.now();
  await page.goto(web.origin + '/viewer/index.html?record=/record/' + path.basename(record) + '#run=1&t=' + from);
  const s = await waitForLoad(page);
  const wall = Date.now() - started;
  if (s.page !== 'ready') throw new Error(s.message);
  console.log('record: %s, %s MB', path.basename(record), (s.load.bytes / 1e6).toFixed(1));
  console.log('load: %d ms inside the page (read, decompress, parse, index); %d ms from navigation to ready',
    Math.round(s.load.ms), wall);
  await page.select('#speed', '16');
  await page.keyboard.press('Space');
  const frames = await page.evaluate((ms) => new Promise((resolve) => {
    const times = [];
    const tick = (now) => {
      times.push(now);
      if (now - times[0] < ms) requestAnimationFrame(tick);
      else resolve({ times, t: RV.testHook.state().t });
    };
    requestAnimationFrame(tick);
  }), seconds * 1000);
  const gaps = frames.times.slice(1).map((t, i) => t - frames.times[i]).sort((a, b) => a - b);
  const p95 = gaps[Math.floor(gaps.length * 0.95)];
  console.log('playing at 16x from %d ms to %d ms: %d frames in %d s; rAF interval p95 %s ms, median %s ms, max %s ms',
    from, Math.round(frames.t), gaps.length, seconds, p95.toFixed(1), gaps[gaps.length >> 1].toFixed(1),
    gaps[gaps.length - 1].toFixed(1));
  const metrics = await page.metrics();
  const renderer = rendererMemory();
  console.log('memory: JS heap %s MB used of %s MB; renderer resident %s MB, of which private %s MB',
    (metrics.JSHeapUsedSize / 1e6).toFixed(0), (metrics.JSHeapTotalSize / 1e6).toFixed(0),
    renderer.rss.toFixed(0), renderer.priv.toFixed(0));
} finally {
  await close();
  await web.close();
}
