// The page's figures in headless Chromium: the browser's processor time
// while each pattern draws at its pace (its second drawing since the page
// loaded; the first also compiles its code), next to a bare page of the
// same size that animates its canvas at 60 frames a second with one small
// putImageData a frame; load to first paint; the page's weight, gzipped.
//
//   node bench/web/bench_page.mjs build/web/site build/web/tests/web/driver/node_modules [RUNS] [--phone]
//
// --phone: on a phone's emulation (390 x 844 CSS pixels at 3 device pixels
// each, touch, the form fitted) with the processor slowed 4 times, the
// bare page's canvas as large as the page's, and taps for clicks.
//
// The first is the web build's site folder; the second holds puppeteer-core,
// as the web tests installed it. Processor time is the whole browser's,
// every process of it, from /proc, in clock ticks.

import {createRequire} from 'node:module';
import {createServer} from 'node:http';
import {readFileSync, readdirSync, mkdtempSync, rmSync} from 'node:fs';
import {gzipSync} from 'node:zlib';
import {join, resolve, extname} from 'node:path';
import {tmpdir} from 'node:os';

const phone = process.argv.includes('--phone');
const [site, modules, runsArg] = process.argv.slice(2).filter((a) => a !== '--phone');
if (!site || !modules) {
  console.error('usage: bench_page.mjs SITE-DIR NODE-MODULES-DIR [RUNS]');
  process.exit(2);
}
const require = createRequire(join(resolve(modules), 'x.js'));
const puppeteer = require('puppeteer-core');
const runs = Number(runsArg || 3);
const tick = 100; // USER_HZ on Linux

// Every process of the browser: the launched one and its descendants.
function treeTicks(root) {
  const parents = new Map();
  for (const pid of readdirSync('/proc').filter((d) => /^\d+$/.test(d))) {
    try {
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parents.set(Number(pid), {ppid: Number(fields[1]), ticks: Number(fields[11]) + Number(fields[12])});
    } catch {
      // gone meanwhile
    }
  }
  let total = 0;
  const inTree = (pid) => {
    for (let p = pid; p > 1; p = parents.get(p)?.ppid ?? 0)
      if (p === root)
        return true;
    return false;
  };
  for (const [pid, info] of parents)
    if (inTree(pid))
      total += info.ticks;
  return total;
}

const types = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};
const server = createServer((req, res) => {
  const file = join(site, new URL(req.url, 'http://x').pathname.replace(/^\/$/, '/index.html'));
  try {
    const body = readFileSync(file);
    res.writeHead(200, {'Content-Type': types[extname(file)] || 'application/octet-stream'});
    res.end(body);
  } catch {
    res.writeHead(404);
    res.end();
  }
});
await new Promise((r) => server.listen(0, '127.0.0.1', r));
const base = `http://127.0.0.1:${server.address().port}`;

// A canvas of width x height device pixels shown cssWidth wide.
const bare = (width, height, cssWidth) => `<!doctype html><html><head>
<meta name="viewport" content="width=device-width, initial-scale=1"></head><body style="margin:0">
<canvas width="${width}" height="${height}" style="width: ${cssWidth}px"></canvas><script>
const c = document.querySelector('canvas').getContext('2d');
const dot = new ImageData(8, 8);
dot.data.fill(255);
let n = 0;
function frame() { c.putImageData(dot, (n * 8) % ${width}, ((n / 100) | 0) * 8 % ${height}); ++n; requestAnimationFrame(frame); }
requestAnimationFrame(frame);
</script></body></html>`;
const viewport = phone ? {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true}
                       : {width: 840, height: 640, deviceScaleFactor: 1};
async function prepare(page) {
  await page.setViewport(viewport);
  if (phone)
    await (await page.target().createCDPSession()).send('Emulation.setCPUThrottlingRate', {rate: 4});
}

const profile = mkdtempSync(join(tmpdir(), 'kestivo1-bench-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium', headless: true, userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
const root = browser.process().pid;
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// The browser's processor time (ms) and the wall time while a button's
// pattern draws: from a click at the button, as a user's, to the form no
// longer busy. Nothing of the driver's runs in the page meanwhile: its
// click and wait would be counted as the page's.
async function drawn(page, button) {
  const box = await (await page.$(button)).boundingBox();
  await page.evaluate(() => {
    const form = document.getElementById('Form1');
    window.drawn = new Promise((resolve) => new MutationObserver((_, observer) => {
      if (form.getAttribute('aria-busy') === 'false') {
        observer.disconnect();
        resolve();
      }
    }).observe(form, {attributes: true, attributeFilter: ['aria-busy']}));
  });
  const ticks0 = treeTicks(root), wall0 = performance.now();
  if (phone)
    await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
  else
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  await page.evaluate(() => window.drawn);
  return {wall: performance.now() - wall0, cpu: (treeTicks(root) - ticks0) / tick * 1000};
}

const patterns = [['border', '#CmdHwbk'], ['ellipse', '#CmdHwty'], ['four windows', '#CmdSgxc']];
const results = {};
for (let run = 0; run < runs; ++run) {
  const page = await browser.newPage();
  await prepare(page);
  await page.goto(`${base}/index.html`);
  await page.waitForSelector('#CmdHwbk');
  await page.waitForFunction(() => performance.getEntriesByName('kestivo1-shown').length > 0);
  const [paint, shown] = await page.evaluate(() => [
    performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? NaN,
    performance.getEntriesByName('kestivo1-shown')[0].startTime]);
  (results.load ??= []).push(paint);
  (results.shown ??= []).push(shown);
  await sleep(500);
  const canvas = await page.$eval('#picture', (c) => [c.width, c.height, c.getBoundingClientRect().width]);
  for (const [name, button] of patterns) {
    // The first drawing after loading also compiles the pattern's code:
    // the later ones are the drawing's own cost, the difference the
    // compiling's. They last 1.5 s or more in all, for clock ticks of 10 ms.
    const drawings = [];
    do {
      await (phone ? page.tap('#CmdCls') : page.click('#CmdCls'));
      await sleep(300);
      drawings.push(await drawn(page, button));
    } while (drawings.length < 2 || drawings.slice(1).reduce((sum, d) => sum + d.wall, 0) < 1500);
    const [first, ...later] = drawings;
    const wall = later.reduce((sum, d) => sum + d.wall, 0), cpu = later.reduce((sum, d) => sum + d.cpu, 0);
    // The bare page over the same time, waited for the same way.
    const other = await browser.newPage();
    await prepare(other);
    await other.setContent(bare(...canvas));
    await sleep(300);
    const bare0 = treeTicks(root);
    await other.evaluate((ms) => new Promise((resolve) => setTimeout(resolve, ms)), wall);
    const bareTicks = treeTicks(root) - bare0;
    await other.close();
    (results[name] ??= []).push({wall, cpu, bare: bareTicks / tick * 1000, drawing: later[0].wall,
                                 compiling: first.cpu - cpu / wall * first.wall});
  }
  await page.close();
}
await browser.close();
server.close();
rmSync(profile, {recursive: true, force: true});

const best = (xs, f) => Math.min(...xs.map(f));
if (phone)
  console.log('on a 390 x 844 x 3 phone, the processor slowed 4x:');
for (const [name] of patterns) {
  const r = results[name];
  const share = best(r, (x) => x.cpu / x.wall), bareShare = best(r, (x) => x.bare / x.wall);
  console.log(`${name}: ${(r[0].drawing / 1000).toFixed(2)} s, browser ${(100 * share).toFixed(1)} % of a core; ` +
              `bare page ${(100 * bareShare).toFixed(1)} % (${(share / bareShare).toFixed(2)}x), best of ${runs}; ` +
              `the first after loading ${(r.reduce((sum, x) => sum + x.compiling, 0) / r.length).toFixed(0)} ms more`);
}
console.log(`load to first contentful paint: ${best(results.load, (x) => x).toFixed(0)} ms; ` +
            `to the form and its picture shown: ${best(results.shown, (x) => x).toFixed(0)} ms (best of ${runs})`);

const single = readFileSync(join(site, 'Kestivo1.html'), 'utf8');
const withoutFonts = single.replace(/url\("data:font\/woff2;base64,[^"]*"\)/g, 'url("")');
const kb = (s) => (gzipSync(s, {level: 9}).length / 1024).toFixed(1);
const fonts = ['kestivo1-kai.woff2', 'kestivo1-song.woff2'].map((f) => readFileSync(join(site, f)).length);
console.log(`Kestivo1.html gzipped: ${kb(single)} KB; without the fonts ${kb(withoutFonts)} KB; ` +
            `fonts ${(fonts[0] / 1024).toFixed(1)} + ${(fonts[1] / 1024).toFixed(1)} KB (WOFF2)`);
