// The page in real browsers: node page_tests.mjs CONFIG TEST [BROWSER [SCALE]],
// where CONFIG is the JSON the build writes (paths of the pages, the expected-pixels
// program, the browsers). Each test starts its own HTTP server on a free
// loopback port and its own browser with a private profile, both stopped by
// pid however the test ends, and the whole test is bounded in time.
//
// Exit status: 0 passed, 1 failed, 77 skipped (no Chromium).

import { spawn, spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';

const SKIP = 77;
const [configPath, name, browserKind = 'chromium', scaleArg = '1'] = process.argv.slice(2);
const testName = [name, browserKind, scaleArg].join(' ');
const config = JSON.parse(readFileSync(configPath, 'utf8'));
// puppeteer-core as npm ci installed it in the build tree.
const puppeteer = createRequire(join(config.modules, 'package.json'))('puppeteer-core');

// What a test leaves running: ended by pid on every way out.
const pids = new Set();
const temporaries = new Set();
function cleanUp() {
  for (const pid of pids) {
    try { process.kill(pid, 'SIGKILL'); } catch { /* already gone */ }
  }
  pids.clear();
  for (const dir of temporaries)
    rmSync(dir, { recursive: true, force: true });
  temporaries.clear();
}
process.on('exit', cleanUp);

class Failure extends Error {}
let failures = 0;
function check(ok, what) {
  if (!ok) {
    ++failures;
    console.log(`FAIL: ${what}`);
  }
  return ok;
}
function equal(got, want, what) {
  return check(JSON.stringify(got) === JSON.stringify(want),
               `${what}: got ${JSON.stringify(got)}, want ${JSON.stringify(want)}`);
}
function within(promise, ms, what) {
  let timer;
  return Promise.race([promise, new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Failure(`${what}: no answer in ${ms} ms`)), ms);
  })]).finally(() => clearTimeout(timer));
}

// Python's HTTP server on port 0: it says which port it took.
async function serve(root) {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1', '--directory', root],
                       { stdio: ['ignore', 'pipe', 'ignore'] });
  pids.add(server.pid);
  const port = await within(new Promise((resolve, reject) => {
    let said = '';
    server.stdout.on('data', chunk => {
      said += chunk;
      const m = /port (\d+)/.exec(said);
      if (m)
        resolve(Number(m[1]));
    });
    server.on('exit', () => reject(new Failure('the HTTP server ended before serving')));
  }), 10000, 'starting the HTTP server');
  server.stdout.resume();
  return { url: path => `http://127.0.0.1:${port}/${path}`,
           stop: () => { try { process.kill(server.pid, 'SIGKILL'); } catch { /* gone */ } pids.delete(server.pid); } };
}

async function launch(kind = 'chromium') {
  const profile = mkdtempSync(join(tmpdir(), `kestivo1-${kind}-`));
  temporaries.add(profile);
  const options = kind === 'firefox'
    ? { browser: 'firefox', executablePath: config.firefox, headless: true, userDataDir: profile,
        // Scroll bars that take room, as where GTK has no overlay ones.
        extraPrefsFirefox: { 'network.proxy.type': 0, 'app.update.enabled': false,
                             'widget.gtk.overlay-scrollbars.enabled': false } }
    : { executablePath: config.chromium, headless: true, userDataDir: profile,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
               '--disable-background-networking', '--disable-component-update', '--disable-sync'] };
  const browser = await within(puppeteer.launch({ ...options, timeout: 30000 }), 40000, `starting ${kind}`);
  const pid = browser.process()?.pid;
  if (pid)
    pids.add(pid);
  return { browser,
           close: async () => {
             await within(browser.close(), 10000, `closing ${kind}`).catch(() => {});
             if (pid) {
               try { process.kill(pid, 'SIGKILL'); } catch { /* gone */ }
               pids.delete(pid);
             }
           } };
}

// A page at a device-pixel ratio, its errors collected, and a log of the
// form's aria-busy changes stamped with the page's own clock.
async function open(browser, url, scale, viewport = { width: 840, height: 640 }) {
  const page = await browser.newPage();
  page.errors = [];
  page.on('pageerror', e => page.errors.push(String(e)));
  page.said = [];
  page.on('console', m => {
    page.said.push(m.text());
    if (m.type() === 'error')
      page.errors.push(m.text());
  });
  await page.setViewport({ ...viewport, deviceScaleFactor: scale });
  await page.goto(url, { waitUntil: 'load', timeout: 20000 });
  await page.waitForSelector('#Form1 #CmdHwbk', { timeout: 20000 });
  await page.evaluate(() => {
    window.busyLog = [];
    new MutationObserver(() => {
      window.busyLog.push({ busy: document.getElementById('Form1').getAttribute('aria-busy'), at: performance.now() });
    }).observe(document.getElementById('Form1'), { attributes: true, attributeFilter: ['aria-busy'] });
  });
  return page;
}

const busyChanges = page => page.evaluate(() => window.busyLog.length);
// Waits for the routine begun after `from` busy changes to go busy and end.
async function routineDone(page, from, ms = 20000) {
  await page.waitForFunction(n => window.busyLog.length >= n + 2 && window.busyLog.at(-1).busy === 'false',
                             { timeout: ms, polling: 20 }, from);
}
async function press(page, id) {
  const from = await busyChanges(page);
  await page.click(`#${id}`);
  await routineDone(page, from);
}

// FNV-1a (32 bits) over the canvas's RGBA bytes, in the page.
const canvasHash = page => page.evaluate(() => {
  const c = document.getElementById('picture');
  const bytes = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let h = 0x811c9dc5;
  for (let i = 0; i < bytes.length; ++i)
    h = Math.imul(h ^ bytes[i], 16777619);
  return (h >>> 0).toString(16).padStart(8, '0');
});

function runExpected(args) {
  const r = spawnSync(config.emulator, [config.expected, ...args], { encoding: 'utf8', timeout: 60000 });
  if (r.status !== 0)
    throw new Failure(`expected_pixels ${args.join(' ')}: ${r.error ?? r.stderr}`);
  return r.stdout;
}
const expectedHashes = new Map();
function expectedHash(scale, name) {
  if (!expectedHashes.has(scale))
    expectedHashes.set(scale, new Map(runExpected([String(scale)]).trim().split('\n').map(l => l.split(' '))));
  return expectedHashes.get(scale).get(name);
}

// The canvas against the core's picture of the same buttons: by hash, and
// on a difference, pixel by pixel.
async function checkPicture(page, scale, name, what) {
  const got = await canvasHash(page);
  if (got === expectedHash(scale, name))
    return true;
  const file = join(mkdtempSync(join(tmpdir(), 'kestivo1-expected-')), `${name}.rgba`);
  temporaries.add(join(file, '..'));
  runExpected([String(scale), name, file]);
  const want = readFileSync(file);
  const { width, data } = await page.evaluate(() => {
    const c = document.getElementById('picture');
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let s = '';
    for (let i = 0; i < d.length; i += 0x8000)
      s += String.fromCharCode.apply(null, d.subarray(i, i + 0x8000));
    return { width: c.width, data: btoa(s) };
  });
  const have = Buffer.from(data, 'base64');
  let differ = 0, first = null;
  for (let i = 0; i < Math.max(have.length, want.length); i += 4) {
    if (have.readUInt32BE(i) !== want.readUInt32BE(i)) {
      ++differ;
      first ??= `(${(i / 4) % width}, ${Math.floor(i / 4 / width)}): ` +
                `${have.subarray(i, i + 4).toString('hex')} for ${want.subarray(i, i + 4).toString('hex')}`;
    }
  }
  check(false, `${what} at ${scale}x: hash ${got}, want ${expectedHash(scale, name)}; ` +
               `${have.length === want.length ? '' : `${have.length} bytes for ${want.length}; `}` +
               `${differ} pixels differ, the first at ${first}`);
  return false;
}

// The contrast ratio of an element's text on the page's background.
const contrast = (page, selector) => page.evaluate(selector => {
  const luminance = colour => {
    const [r, g, b] = colour.match(/\d+/g).slice(0, 3).map(v => {
      const c = v / 255;
      return c <= 0.04045 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * b;
  };
  const [a, b] = [getComputedStyle(document.querySelector(selector)).color,
                  getComputedStyle(document.documentElement).backgroundColor].map(luminance);
  return Math.round((Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05) * 100) / 100;
}, selector);

// ---------------------------------------------------------------- tests

// Twips of the layout table, and the form's client area.
const TWIPS = {
  CmdHwbk: [3360, 7560, 1095, 375], CmdHwty: [4680, 7560, 975, 375], CmdSgxc: [5880, 7560, 975, 375],
  CmdCls: [7080, 7560, 975, 375], CmdExit: [8280, 7560, 975, 375],
  Label4: [5040, 3000, 2175, 375], Label1: [4320, 3720, 3375, 495], Label2: [4560, 4560, 2775, 375],
  Label3: [5400, 5160, 1215, 375], Shape1: [120, 120, 11775, 8055],
};
const CLIENT = [12000, 8280];

// The page around the form: a readable footer whose licence wraps, labels
// a double click does not select, the form printed as shown, and each
// label's text whole in its box.
async function pageDetails(page) {
  check(await contrast(page, 'footer') >= 4.5, `the footer's contrast: ${await contrast(page, 'footer')}`);
  await page.click('footer summary');
  equal(await page.$eval('footer pre', pre => pre.scrollWidth <= pre.clientWidth), true, 'the licence wraps');
  await page.click('#Label1', { clickCount: 2 });
  equal(await page.evaluate(() => getSelection().toString()), '', 'text selected by a double click on a label');
  await page.emulateMediaType('print');
  equal(await page.$$eval('.caption, .label', es => es.map(e => getComputedStyle(e).printColorAdjust)),
        Array(5).fill('exact'), 'the title line and the labels printed with their colours');
  await page.emulateMediaType('screen');
  // The ink below each label's box, seen in a copy of it twice as tall.
  for (const id of ['Label1', 'Label2', 'Label3', 'Label4']) {
    const box = await page.evaluate(id => {
      const label = document.getElementById(id), copy = label.cloneNode(true);
      copy.id = 'copy';
      copy.style.top = '0px';
      copy.style.height = 2 * label.offsetHeight + 'px';
      document.querySelector('#copy')?.remove();
      label.parentNode.appendChild(copy);
      const r = copy.getBoundingClientRect();
      return { x: r.left, y: r.top + label.offsetHeight, width: r.width, height: label.offsetHeight };
    }, id);
    const png = await page.screenshot({ clip: box, encoding: 'base64' });
    const below = await page.evaluate(async data => {
      const image = await createImageBitmap(await (await fetch(`data:image/png;base64,${data}`)).blob());
      const c = new OffscreenCanvas(image.width, image.height).getContext('2d');
      c.drawImage(image, 0, 0);
      return Array.from(c.getImageData(0, 0, image.width, image.height).data).filter((v, i) => i % 4 !== 3 && v > 64).length;
    }, png);
    equal(below, 0, `${id}'s ink below its box`);
  }
  await page.evaluate(() => document.querySelector('#copy').remove());
}

const tests = {
  // Every control where the layout table puts it, in CSS pixels, at either
  // scale; the canvas backed by device pixels.
  async layout({ server, browser }) {
    for (const scale of [1, 2]) {
      const page = await open(browser, server.url(config.index), scale);
      const boxes = await page.evaluate(ids => {
        const form = document.getElementById('Form1');
        const f = form.getBoundingClientRect();
        const box = e => {
          const r = e.getBoundingClientRect();
          return [r.left - f.left - form.clientLeft, r.top - f.top - form.clientTop, r.width, r.height];
        };
        const c = document.getElementById('picture');
        return { controls: Object.fromEntries(ids.map(id => [id, box(document.getElementById(id))])),
                 form: [form.clientWidth, form.clientHeight], canvas: [c.width, c.height, ...box(c).slice(2)] };
      }, Object.keys(TWIPS));
      for (const [id, twips] of Object.entries(TWIPS))
        equal(boxes.controls[id], twips.map(t => t / 15), `${id} at ${scale}x`);
      equal(boxes.form, CLIENT.map(t => t / 15), `Form1's client area at ${scale}x`);
      equal(boxes.canvas, [800 * scale, 552 * scale, 800, 552], `the canvas (device, then CSS pixels) at ${scale}x`);
      if (scale === 1)
        await pageDetails(page);
      equal(page.errors, [], `page errors at ${scale}x`);
      await page.close();
    }
  },

  // Each pattern, the three together, and clearing, pixel for pixel as the
  // core draws them; from 1x, the picture drawn again at 2x in the middle of
  // drawing the last pattern again (which leaves the picture as it was), and
  // that drawing going on at 2x.
  async exact({ server, browser, scale }) {
    const page = await open(browser, server.url(config.index), scale);
    await checkPicture(page, scale, 'empty', 'the start picture');
    for (const [id, name] of [['CmdHwbk', 'hwbk'], ['CmdHwty', 'hwty'], ['CmdSgxc', 'sgxc']]) {
      await press(page, id);
      await checkPicture(page, scale, name, id);
      await press(page, 'CmdCls');
      await checkPicture(page, scale, 'empty', `清除 after ${id}`);
    }
    for (const id of ['CmdHwbk', 'CmdHwty', 'CmdSgxc'])
      await press(page, id);
    await checkPicture(page, scale, 'all', 'the three patterns');
    if (scale === 1) {
      // Moved to a 2x screen while drawing. (Emulated device metrics fire no
      // resolution change on their own; with the window's size they fire a
      // resize, as a zoom does.)
      await page.evaluate(() => new MutationObserver(() => {
        window.busyAtRescale ??= document.getElementById('Form1').getAttribute('aria-busy');
      }).observe(document.getElementById('picture'), { attributes: true, attributeFilter: ['width'] }));
      const from = await busyChanges(page);
      await page.click('#CmdSgxc');
      const viewport = page.viewport();
      await page.setViewport({...viewport, width: viewport.width + 1, deviceScaleFactor: 2});
      await routineDone(page, from);
      scale = 2;
      equal(await page.evaluate(() => [document.getElementById('picture').width, document.getElementById('picture').style.width,
                                       window.busyAtRescale]),
            [1600, '800px', 'true'], 'the canvas after moving to 2x while drawing');
      await checkPicture(page, scale, 'all', 'the three patterns drawn again at 2x');
    }
    await press(page, 'CmdCls');
    await checkPicture(page, scale, 'empty', '清除 after the three');
    equal(page.errors, [], 'page errors');
  },

  // The border at its pace (about a second, longer if the page stalls), its
  // colour passes shown as they are drawn: a row rose's colours sampled at
  // every frame. Then the page asks for no more frames.
  async pacing({ server, browser }) {
    const page = await open(browser, server.url(config.index), 1);
    const region = [30, 38, 36, 32]; // around the first top-row rose (700, 800 twips)
    await page.evaluate(([x, y, w, h]) => {
      const c = document.getElementById('picture').getContext('2d');
      const colours = () => new Set(Array.from(new Uint32Array(c.getImageData(x, y, w, h).data.buffer)));
      window.seen = new Set();
      const raf = window.requestAnimationFrame.bind(window);
      window.asked = 0; // by the page
      window.requestAnimationFrame = f => (++window.asked, raf(f));
      const sample = () => {
        if (document.getElementById('Form1').getAttribute('aria-busy') === 'true')
          colours().forEach(v => window.seen.add(v));
        if (window.busyLog.length < 2)
          return raf(sample);
        window.final = colours();
        const asked = window.asked;
        raf(() => raf(() => { window.askedAfter = window.asked - asked; }));
      };
      raf(sample);
      window.background = colours();
    }, region);
    await press(page, 'CmdHwbk');
    await page.waitForFunction(() => window.askedAfter !== undefined, { timeout: 5000, polling: 20 });
    const { log, passes, askedAfter } = await page.evaluate(() => ({
      log: window.busyLog, askedAfter: window.askedAfter,
      passes: [...window.seen].filter(v => !window.final.has(v) && !window.background.has(v)).length,
    }));
    const seconds = (log[1].at - log[0].at) / 1000;
    console.log(`the border took ${seconds.toFixed(3)} s; colours seen only while drawing: ${passes}`);
    equal(log.map(e => e.busy), ['true', 'false'], 'aria-busy changes');
    check(seconds >= 0.9 && seconds <= 2, `the border took ${seconds} s, not about 1 s`);
    check(passes >= 2, `only ${passes} earlier colour passes seen while drawing`);
    equal(askedAfter, 0, 'animation frames asked for once drawn');
    await checkPicture(page, 1, 'hwbk', 'the paced border');
  },

  // While drawing, clicks and keys are discarded, 退出 included, and so is a
  // mouse press begun then and released after; a held Enter presses once,
  // Space on release; Tab goes round the buttons by their tab indexes.
  async input({ server, browser }) {
    const page = await open(browser, server.url(config.index), 1);
    const focused = () => page.evaluate(() => document.activeElement?.id || document.activeElement?.localName);
    equal(await focused(), 'CmdHwbk', 'the focus at load');
    // The page's keyboard is not trapped: past the last button, the footer.
    const round = ['CmdCls', 'CmdExit', 'CmdSgxc', 'CmdHwty', 'summary'];
    const order = [];
    for (const _ of round) {
      await page.keyboard.press('Tab');
      order.push(await focused());
    }
    equal(order, round, 'Tab order');
    order.length = 0;
    await page.keyboard.down('Shift');
    for (const _ of round) {
      await page.keyboard.press('Tab');
      order.push(await focused());
    }
    await page.keyboard.press('Tab');
    order.push(await focused());
    await page.keyboard.up('Shift');
    equal(order, ['CmdHwty', 'CmdSgxc', 'CmdExit', 'CmdCls', 'CmdHwbk', 'body'], 'Shift+Tab order, out before the first');
    await page.focus('#CmdHwbk');

    await page.keyboard.down('Enter');
    await page.waitForFunction(() => window.busyLog.length >= 1, { timeout: 5000 });
    await page.keyboard.down('Enter'); // repeats
    await page.click('#CmdHwty');
    await page.keyboard.press(' ');
    await page.click('#CmdExit');
    await page.keyboard.down('Enter');
    const held = await page.$eval('#CmdHwty', b => b.getBoundingClientRect().toJSON());
    await page.mouse.move(held.x + held.width / 2, held.y + held.height / 2);
    await page.mouse.down();
    equal(await page.$eval('#CmdHwty', b => getComputedStyle(b).borderTopColor), 'rgb(255, 255, 255)',
          'a button pressed while drawing is not shown down');
    check(await busyChanges(page) === 1, 'the input given while drawing: the border had ended first');
    await routineDone(page, 0);
    await page.mouse.up();
    for (let i = 0; i < 3; ++i)
      await page.keyboard.down('Enter');
    await page.keyboard.up('Enter');
    const state = await page.evaluate(() => ({
      busy: window.busyLog.map(e => e.busy),
      form: !!document.getElementById('Form1'),
      ended: !document.getElementById('ended').hidden,
    }));
    equal(state, { busy: ['true', 'false'], form: true, ended: false },
          'one routine from a held Enter, nothing from the input during it nor the press released after it, not ended');
    equal(await focused(), 'CmdHwbk', 'the focus after drawing');
    // Space pushes the focused button in, and clicks it when let go.
    await page.keyboard.down(' ');
    equal([await busyChanges(page), await page.$eval('#CmdHwbk', b => getComputedStyle(b).borderTopColor)],
          [2, 'rgb(64, 64, 64)'], 'Space held: busy changes, and the button shown down');
    await page.keyboard.up(' ');
    await routineDone(page, 2);
    await checkPicture(page, 1, 'hwbk', 'the picture after discarded input');
    equal(page.errors, [], 'page errors');
  },

  // What a screen reader is told before, during and after drawing.
  async accessibility({ server, browser }) {
    const page = await open(browser, server.url(config.index), 1);
    const cdp = await page.target().createCDPSession();
    const tree = async label => {
      const { nodes } = await cdp.send('Accessibility.getFullAXTree');
      const byId = new Map(nodes.map(n => [n.nodeId, n]));
      const lines = [];
      const summary = n => {
        const props = Object.fromEntries((n.properties ?? []).map(p => [p.name, p.value.value]));
        return { role: n.role?.value, name: n.name?.value ?? '', description: n.description?.value ?? '', props };
      };
      const walk = (n, depth) => {
        const s = summary(n);
        const shown = !n.ignored && !['none', 'generic', 'StaticText', 'InlineTextBox', 'LineBreak'].includes(s.role);
        if (shown) {
          const props = Object.entries(s.props).filter(([k, v]) => ['busy', 'disabled', 'focused', 'focusable'].includes(k) && v)
            .map(([k, v]) => (v === true ? k : `${k}=${v}`));
          lines.push(`${'  '.repeat(depth)}${s.role} "${s.name}"${s.description ? ` (${s.description})` : ''}` +
                     `${props.length ? ` [${props.join(', ')}]` : ''}`);
        }
        for (const c of n.childIds ?? [])
          if (byId.has(c))
            walk(byId.get(c), depth + (shown ? 1 : 0));
      };
      walk(nodes[0], 0);
      console.log(`--- ${label}\n${lines.join('\n')}`);
      const find = (role, name) => nodes.map(summary).find(s => s.role === role && s.name === name);
      const read = nodes.filter(n => !n.ignored && n.role?.value === 'StaticText').map(n => n.name?.value);
      return { find, read };
    };
    const buttons = {
      花纹边框: '画出花纹边框：淡黄色方框，四边排列小玫瑰线', 花纹椭圆: '画出花纹椭圆：二十四朵五瓣玫瑰线沿椭圆弧排列',
      四个小窗: '画出四个小窗：四个带框的彩色方窗，各有一朵大玫瑰线', 清除: '清除所画的全部图形', 退出: '立即结束程序',
    };
    const state = (t, busy, picture, when) => {
      const form = t.find('group', 'VB 图形程序设计 QuarnholtTavisko 2007.1.');
      if (check(form, `${when}: the form, a group named by its caption`))
        equal(!!form.props.busy, busy, `${when}: the form busy`);
      const image = t.find('image', '图形');
      if (check(image, `${when}: an image named 图形`))
        equal(image.description, picture, `${when}: the picture's description`);
      for (const [name, help] of Object.entries(buttons)) {
        const b = t.find('button', name);
        if (check(b, `${when}: a button named ${name}`))
          equal([b.description, !!b.props.disabled], [help, busy], `${when}: ${name}'s description and disabled state`);
      }
    };
    const before = await tree('before drawing');
    state(before, false, '空白', 'before');
    equal(before.read.filter(t => Object.values(buttons).includes(t) || t === '空白'), [],
          'descriptions read as loose text too');
    await page.click('#CmdHwbk');
    await page.waitForFunction(() => window.busyLog.length >= 1, { timeout: 5000 });
    const during = await tree('while drawing 花纹边框');
    state(during, true, '空白', 'during');
    await routineDone(page, 0);
    state(await tree('after drawing'), false, '已画：花纹边框', 'after');
    equal(page.errors, [], 'page errors');
  },

  // 退出 ends the program; a run-time error is reported, then ends it; so
  // does a scale it cannot start at.
  async ending({ server, browser }) {
    const ended = page => page.evaluate(() => ({
      form: !!document.getElementById('Form1'),
      ended: !document.getElementById('ended').hidden,
      status: document.getElementById('ended').dataset.status,
    }));
    const page = await open(browser, server.url(config.index), 1);
    await page.click('#CmdExit');
    await page.waitForSelector('#ended:not([hidden])', { timeout: 5000 });
    equal(await ended(page), { form: false, ended: true, status: '0' }, '退出');
    equal(await page.evaluate(() => [document.title, document.getElementById('ended').textContent]),
          ['Kestivo1 已结束。', 'Kestivo1 已结束。重新启动'], 'the title and the line after 退出');
    check(await contrast(page, '#ended') >= 4.5, `the ended line's contrast: ${await contrast(page, '#ended')}`);
    equal(page.errors, [], 'page errors after 退出');

    const faulty = await open(browser, server.url(config.faulty), 1);
    await faulty.click('#CmdHwbk');
    await faulty.waitForSelector('dialog#error[open]', { timeout: 10000 });
    const report = await faulty.evaluate(() => ({
      title: document.getElementById('error-title').textContent,
      message: document.getElementById('error-message').textContent,
    }));
    equal(report, { title: 'Kestivo1', message: '运行时错误：Form1.PSet 绘图操作失败。\n程序将结束。' }, 'the report');
    equal(await ended(faulty), { form: true, ended: false, status: undefined }, 'running while the report is up');
    await faulty.click('dialog#error button');
    await faulty.waitForSelector('#ended:not([hidden])', { timeout: 5000 });
    equal(await ended(faulty), { form: false, ended: true, status: '1' }, 'after the report');
    // The report goes to the console too, as standard error (which some
    // Emscripten versions write as console errors): that and nothing else.
    const reported = ['Kestivo1: 运行时错误：Form1.PSet 绘图操作失败。', '程序将结束。'];
    check(reported.every(line => faulty.said.includes(line)), `the report on the console: ${JSON.stringify(faulty.said)}`);
    equal(faulty.errors.filter(e => !reported.includes(e)), [], 'page errors after the report');

    // A start-up scale the picture cannot be drawn at is refused, in one line.
    const refused = await browser.newPage();
    const said = [];
    refused.on('console', m => said.push(`${m.type()}: ${m.text()}`));
    refused.on('pageerror', e => said.push(`pageerror: ${e}`));
    await refused.setViewport({ width: 840, height: 640, deviceScaleFactor: 9 });
    await refused.goto(server.url(config.index), { waitUntil: 'load', timeout: 20000 });
    await refused.waitForSelector('#ended:not([hidden])', { timeout: 10000 });
    equal(await ended(refused), { form: false, ended: true, status: '1' }, 'a start-up scale of 9');
    equal(said, ["error: Kestivo1: the window's scale would be 9 (from the browser's zoom and the screen): " +
                 'the window is drawn at a number from 0.25 to 8'], 'what a start-up scale of 9 says');
  },

  // On phones and tablets in either orientation (and a desktop window too
  // small for the form): the form scaled down into the viewport, nothing
  // to scroll to; the canvas on device pixels, backed by exactly those it
  // covers and holding the core's picture at that scale; a tap presses
  // once, and one during drawing is discarded. At one phone size, every
  // pattern, 清除, and a rotation while drawing.
  async fitted({ server, browser, scale }) {
    const sizes = scale ? [[560, 420, scale]]
      : [[360, 640, 3], [390, 844, 3], [412, 915, 2.625], [640, 360, 3], [844, 390, 3], [915, 412, 2.625],
         [820, 1180, 2], [1180, 820, 2]];
    const touch = !scale;
    const click = (page, id) => (touch ? page.tap(`#${id}`) : page.click(`#${id}`));
    const tapped = async (page, id) => {
      const from = await busyChanges(page);
      await click(page, id);
      await routineDone(page, from);
    };
    const fits = async (page, what, [width, height]) => {
      // Two frames: a fit that the first layout's scroll bar asks for is done.
      const m = await page.evaluate(() => new Promise(resolve => requestAnimationFrame(() => requestAnimationFrame(() => {
        const c = document.getElementById('picture'), w = document.querySelector('.window').getBoundingClientRect();
        const r = c.getBoundingClientRect(), root = document.documentElement;
        const done = device => resolve({
          inside: w.left >= 0 && w.top >= 0 && w.right <= visualViewport.width && w.bottom <= visualViewport.height,
          scrolls: root.scrollWidth > root.clientWidth, ratio: devicePixelRatio, scale: c.dataset.scale,
          backing: [c.width, c.height], device, at: [r.left, r.top].map(v => Math.abs(v * devicePixelRatio % 1)) });
        if (!('devicePixelContentBoxSize' in ResizeObserverEntry.prototype))
          return done(null);
        new ResizeObserver((e, o) => {
          o.disconnect();
          done([e[0].devicePixelContentBoxSize[0].inlineSize, e[0].devicePixelContentBoxSize[0].blockSize]);
        }).observe(c, { box: 'device-pixel-content-box' });
      }))));
      check(m.inside && !m.scrolls, `${what}: the window inside the viewport, no sideways scrolling`);
      check(width >= 820 && height >= 592 ? Number(m.scale) === m.ratio : Number(m.scale) < m.ratio,
            `${what}: fitted only if it must be (the picture at ${m.scale} on a ${m.ratio} screen)`);
      // Layout rounds to a 64th of a CSS pixel, and painting snaps to device pixels.
      check(m.at.every(v => v < 0.2 || v > 0.8), `${what}: the canvas on device pixels (off by ${m.at})`);
      if (m.device && !touch) // (phone emulation reports CSS pixels there)
        equal(m.device, m.backing, `${what}: the canvas's device pixels and its backing`);
      return m.scale;
    };
    for (const [width, height, ratio] of sizes) {
      const what = `${width} x ${height} x ${ratio}`;
      const page = await open(browser, server.url(config.index), ratio,
                              { width, height, isMobile: touch, hasTouch: touch, isLandscape: width > height });
      let at = await fits(page, what, [width, height]);
      const from = await busyChanges(page);
      await click(page, 'CmdHwbk');
      await page.waitForFunction(n => window.busyLog.length > n, { timeout: 5000 }, from);
      await click(page, 'CmdCls'); // discarded
      await routineDone(page, from);
      equal(await busyChanges(page) - from, 2, `${what}: one routine from a press and a press while drawing`);
      await checkPicture(page, at, 'hwbk', `${what}: 花纹边框`);
      if (width === 820) { // a tablet's keyboard: the same focus rule
        const order = [];
        for (const _ of [1, 2]) {
          await page.keyboard.press('Tab');
          order.push(await page.evaluate(() => document.activeElement.id));
        }
        equal(order, ['CmdCls', 'CmdExit'], `${what}: the focus by keyboard`);
        await page.keyboard.press('Enter');
        await page.waitForSelector('#ended:not([hidden])', { timeout: 5000 }); // 退出
      }
      if (width === 390) {
        for (const id of ['CmdHwty', 'CmdSgxc'])
          await tapped(page, id);
        await checkPicture(page, at, 'all', `${what}: the three patterns`);
        await tapped(page, 'CmdCls');
        await checkPicture(page, at, 'empty', `${what}: 清除`);
        await tapped(page, 'CmdHwbk');
        await tapped(page, 'CmdHwty');
        const before = await busyChanges(page);
        await click(page, 'CmdSgxc');
        await page.setViewport({ width: height, height: width, deviceScaleFactor: ratio, isMobile: true, hasTouch: true,
                                 isLandscape: true });
        await routineDone(page, before);
        at = await fits(page, `${what} turned while drawing`, [height, width]);
        await checkPicture(page, at, 'all', `${what} turned while drawing: the three patterns`);
      }
      equal(page.errors, [], `${what}: page errors`);
      await page.close();
    }
  },

  // The self-contained file, from file://.
  async file({ browser }) {
    const page = await open(browser, pathToFileURL(config.single).href, 1);
    await press(page, 'CmdHwbk');
    await checkPicture(page, 1, 'hwbk', 'the border from file://');
    equal(page.errors, [], 'page errors');
  },
};

async function main() {
  const test = tests[name];
  if (!test)
    throw new Failure(`no test ${testName}`);
  const executable = browserKind === 'firefox' ? config.firefox : config.chromium;
  if (!existsSync(executable)) {
    console.log(`${executable} is not installed: skipped`);
    return SKIP;
  }
  const server = name === 'file' ? null : await serve(config.root);
  const { browser, close } = await launch(browserKind);
  try {
    await test({ server, browser, scale: Number(scaleArg) });
  } finally {
    await close();
    server?.stop();
  }
  console.log(failures ? `${testName}: ${failures} checks failed` : `${testName}: passed`);
  return failures ? 1 : 0;
}

const deadline = setTimeout(() => {
  console.log(`${testName}: no end in ${config.timeout} s`);
  cleanUp();
  process.exit(1);
}, Number(config.timeout) * 1000);
main().then(status => {
  clearTimeout(deadline);
  cleanUp();
  process.exit(status);
}, error => {
  console.log(`${testName}: ${error instanceof Failure ? error.message : error.stack}`);
  cleanUp();
  process.exit(1);
});
