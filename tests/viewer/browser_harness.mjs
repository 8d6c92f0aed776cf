// What the viewer's browser tests share: Debian's chromium started headless
// through puppeteer-core, a small static file server, reading pixels back
// from screenshots, and bounded waits.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

// Generous: CI shares two cores with other work. Waits end as soon as their
// condition holds, so this costs nothing when things are quick.
export const WAIT_MS = 60000;

export async function launchBrowser() {
  if (!fs.existsSync(CHROMIUM)) throw new Error(CHROMIUM + ' is missing: run scripts/install-deps.sh');
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'viewer-test-profile-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    protocolTimeout: WAIT_MS,
    args: [
      '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
  });
  return {
    browser,
    async close() {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A page at a fixed size and a device pixel ratio of 1, so that one CSS
// pixel is one screenshot pixel. Errors thrown in the page fail the test.
export async function newPage(browser) {
  const page = await browser.newPage();
  page.setDefaultTimeout(WAIT_MS);
  await page.setViewport({ width: 1280, height: 800, deviceScaleFactor: 1 });
  page.pageErrors = [];
  page.on('pageerror', (e) => page.pageErrors.push(e.message));
  return page;
}

// Serves each folder of `mounts` ({'/viewer/': dir, ...}) on a free loopback port.
export async function serveFolders(mounts) {
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://localhost');
    for (const [prefix, dir] of Object.entries(mounts)) {
      if (!url.pathname.startsWith(prefix)) continue;
      const file = path.join(dir, decodeURIComponent(url.pathname.slice(prefix.length)) || 'index.html');
      if (!file.startsWith(dir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) break;
      const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.gz': 'application/gzip' };
      res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      fs.createReadStream(file).pipe(res);
      return;
    }
    res.writeHead(404);
    res.end('not found');
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return {
    origin: 'http://127.0.0.1:' + server.address().port,
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// Waits until the viewer has finished with the record it was given.
export async function waitForLoad(page) {
  await page.waitForFunction(() => window.RV && RV.testHook &&
    ['ready', 'error'].includes(RV.testHook.state().page), { timeout: WAIT_MS });
  return page.evaluate(() => RV.testHook.state());
}

export function state(page) {
  return page.evaluate(() => RV.testHook.state());
}

// The RGB values of the 3 x 3 patch of screen pixels centred on (x, y).
export async function patchAt(page, x, y) {
  const png = await page.screenshot({ clip: { x: Math.round(x) - 1, y: Math.round(y) - 1, width: 3, height: 3 } });
  const image = decodePng(Buffer.from(png));
  const out = [];
  for (let i = 0; i < 9; i++) out.push(image.pixel(i % 3, Math.floor(i / 3)));
  return out;
}

// Enough of PNG for chromium's screenshots: 8-bit RGB or RGBA, not interlaced.
export function decodePng(buf) {
  let at = 8;
  let width = 0;
  let height = 0;
  let channels = 0;
  const data = [];
  while (at < buf.length) {
    const length = buf.readUInt32BE(at);
    const type = buf.toString('latin1', at + 4, at + 8);
    const body = buf.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0) throw new Error('unexpected PNG depth or interlace');
      channels = { 2: 3, 6: 4 }[body[9]];
      if (!channels) throw new Error('unexpected PNG colour type ' + body[9]);
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let i = 0; i < stride; i++) {
      const x = raw[y * (stride + 1) + 1 + i];
      const a = i >= channels ? pixels[y * stride + i - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
      const c = i >= channels && y > 0 ? pixels[(y - 1) * stride + i - channels] : 0;
      let p;
      if (filter === 0) p = 0;
      else if (filter === 1) p = a;
      else if (filter === 2) p = b;
      else if (filter === 3) p = (a + b) >> 1;
      else {
        const e = a + b - c;
        const pa = Math.abs(e - a);
        const pb = Math.abs(e - b);
        const pc = Math.abs(e - c);
        p = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + i] = (x + p) & 255;
    }
  }
  return {
    width,
    height,
    pixel: (x, y) => Array.from(pixels.subarray(y * stride + x * channels, y * stride + x * channels + 3)),
  };
}
