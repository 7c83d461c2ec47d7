// The web player (scripts/build-web) in Chromium: the canvas shows what
// `tgl render` draws, frame for frame; frames play for their own times; the
// fuzz corpus's files give a picture or one sentence, never a page error; and
// the npm package, packed and installed, composes frame 0 as `tgl render`.
// Usage: node --test web_player_test.mjs  (TGL_NPM, TGL_TOOL, SAMPLE, WEB_BUILD, CORPUS)
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createDeflate } from 'node:zlib';

const site = join(process.env.WEB_BUILD ?? '', 'site');
if (!existsSync(join(process.env.TGL_NPM, 'node_modules/puppeteer-core')) || !existsSync('/usr/bin/chromium') ||
    !existsSync(join(site, 'player.js'))) {
  console.log('Chromium, the npm packages or the web build (scripts/build-web) are missing; skipped');
  process.exit(0);
}
const { closeAll, launch, serve } = await import('./browser.mjs');

const tgl = (...args) => execFileSync(process.env.TGL_TOOL, args, { stdio: ['ignore', 'pipe', 'ignore'] });
const folder = mkdtempSync(join(tmpdir(), 'tgl-web-'));
const frameCount = (file) => JSON.parse(tgl('info', file, '--json')).frames.length;
let browser, server;

// Frames of every format the viewer reads, with partial alpha, some partly
// outside the window: PNG and JPEG, and BMP frames brought in from a GIF.
function ownFiles() {
  execFileSync('/usr/bin/python3', ['-c', `
from PIL import Image
import sys
folder = sys.argv[1]
a = Image.new('RGBA', (90, 70), (0, 0, 0, 0))
for x in range(90):
    for y in range(70):
        a.putpixel((x, y), (x * 2, y * 3, 200, (x * 3 + y) % 256))
a.save(folder + '/a.png')
Image.new('RGB', (120, 80), (30, 160, 90)).save(folder + '/b.jpg', quality=90)
frames = [Image.new('RGBA', (60, 40), c) for c in ((255, 0, 0, 255), (0, 0, 255, 128))]
frames[0].save(folder + '/c.gif', save_all=True, append_images=frames[1:], duration=[70, 90], loop=0)
`, folder]);
  tgl('pack', join(folder, 'a.png'), join(folder, 'b.jpg'), join(folder, 'a.png'), '-o', join(folder, 'own.tgl'),
      '--positions', '-30,-20;740,560;300,200', '--durations', '50,80,120');
  tgl('pack', join(folder, 'c.gif'), '-o', join(folder, 'bmp.tgl'), '--format', 'bmp', '--at', '770,-10');
}

// A frame whose image inflates to 4 GiB of zeros, in a file made by tgl pack.
async function writeBomb(path) {
  const deflate = createDeflate({ level: 1 });
  const parts = [];
  deflate.on('data', (part) => parts.push(part));
  const ended = new Promise((resolve) => deflate.on('end', resolve));
  const zeros = Buffer.alloc(64 << 20);
  for (let i = 0; i < 64; ++i)
    if (!deflate.write(zeros)) await new Promise((resolve) => deflate.once('drain', resolve));
  deflate.end();
  await ended;
  const payload = Buffer.concat(parts);
  tgl('pack', join(folder, 'a.png'), '-o', path + '.one');
  const block = JSON.parse(tgl('info', path + '.one', '--json')).frames[0].block.offset;
  const length = Buffer.alloc(4);
  length.writeInt32LE(payload.length);
  writeFileSync(path, Buffer.concat([readFileSync(path + '.one').subarray(0, block + 8), length, payload]));
}

before(async () => {
  cpSync(site, folder, { recursive: true });
  cpSync(process.env.SAMPLE, join(folder, 'sample.tgl'));
  ownFiles();
  await writeBomb(join(folder, 'bomb.tgl'));
  mkdirSync(join(folder, 'corpus'));
  for (const name of readdirSync(process.env.CORPUS)) cpSync(join(process.env.CORPUS, name), join(folder, 'corpus', name + '.tgl'));
  for (const file of ['sample', 'own', 'bmp']) tgl('render', join(folder, file + '.tgl'), '--all', '-o', join(folder, file));
  server = await serve(folder);
  browser = await launch();
});
after(() => closeAll(browser, server, folder));

// The page at `query`, once `ready` holds in it (or 10 s); its errors kept.
async function openPage(query, ready) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(`${server.url}/index.html${query}`);
  await page.waitForFunction(ready, { timeout: 10000, polling: 5 }).catch(() => {});
  return { page, errors };
}

test('the canvas shows what tgl render draws, frame for frame', async () => {
  for (const file of ['sample', 'own', 'bmp']) {
    const count = frameCount(join(folder, file + '.tgl'));
    for (const frame of [...new Set([0, Math.floor(count / 2), count - 1])]) {
      const { page } = await openPage(`?file=${file}.tgl&frame=${frame}`,
        `document.getElementById('view').dataset.frame === '${frame}'`);
      const differing = await page.evaluate(async (name) => {
        const shown = document.getElementById('view').getContext('2d').getImageData(0, 0, 800, 600).data;
        const bitmap = await createImageBitmap(await (await fetch(name)).blob());
        const canvas = new OffscreenCanvas(800, 600);
        const context = canvas.getContext('2d');
        context.drawImage(bitmap, 0, 0);
        const wanted = context.getImageData(0, 0, 800, 600).data;
        let count = 0;
        for (let i = 0; i < wanted.length; ++i) if (wanted[i] !== shown[i]) ++count;
        return count;
      }, `${file}/frame_${String(frame).padStart(3, '0')}.png`);
      await page.close();
      assert.equal(differing, 0, `${file} frame ${frame}: ${differing} bytes differ from tgl render`);
    }
  }
});

test('each frame plays for its own time, in order, looping', async () => {
  const durations = JSON.parse(tgl('info', process.env.SAMPLE, '--json')).frames.map((f) => f.duration);
  const { page } = await openPage('?file=sample.tgl', `document.getElementById('view').dataset.frame !== undefined`);
  const changes = await page.evaluate(() => new Promise((resolve) => {
    const seen = [];
    const view = document.getElementById('view');
    const start = performance.now();
    const sample = () => {
      const frame = Number(view.dataset.frame);
      if (seen.length === 0 || seen[seen.length - 1].frame !== frame) seen.push({ frame, at: performance.now() });
      if (performance.now() - start < 3000) setTimeout(sample, 2); else resolve(seen);
    };
    sample();
  }));
  await page.close();
  assert.ok(changes.length > durations.length, `only ${changes.length} frames in 3 s`);
  for (let i = 1; i + 1 < changes.length; ++i) {
    assert.equal(changes[i].frame, (changes[i - 1].frame + 1) % durations.length, 'frames in order');
    const lasted = changes[i + 1].at - changes[i].at;
    assert.ok(Math.abs(lasted - durations[changes[i].frame]) <= 20,
      `frame ${changes[i].frame} showed ${lasted.toFixed(1)} ms for ${durations[changes[i].frame]}`);
  }
});

test('hostile files give a picture or one sentence, and the page goes on', async () => {
  const failures = [];
  let pictures = 0, alerts = 0;
  for (const name of readdirSync(join(folder, 'corpus'))) {
    const { page, errors } = await openPage(`?file=corpus/${name}`,
      `document.getElementById('view').dataset.frame !== undefined || !document.getElementById('problem').hidden`);
    const state = await page.evaluate(() => ({
      frame: document.getElementById('view').dataset.frame,
      problem: document.getElementById('problem').hidden ? null : document.getElementById('problem').textContent,
      alive: 1 + 1,
    }));
    await page.close();
    if (errors.length) failures.push(`${name}: ${errors[0]}`);
    else if (state.frame !== undefined) ++pictures;
    else if (state.problem && state.problem.length <= 300 && !state.problem.includes('\n')) ++alerts;
    else failures.push(`${name}: neither a picture nor one sentence (${JSON.stringify(state)})`);
  }
  console.log(`${pictures} pictures, ${alerts} sentences`);
  assert.deepEqual(failures, []);
  // 4 GiB of zeros behind one frame: refused from its first 4 KiB, within seconds.
  const started = Date.now();
  const { page } = await openPage('?file=bomb.tgl', `!document.getElementById('problem').hidden ||
    document.querySelector('#frames tbody tr td:last-child')?.textContent !== undefined`);
  const status = await page.evaluate(() => document.querySelector('#frames tbody tr td:last-child')?.textContent);
  await page.close();
  console.log(`the 4 GiB bomb: "${status}" after ${Date.now() - started} ms`);
  assert.ok(status && status !== 'ok' && Date.now() - started < 10000, `the bomb: ${status}`);
});

test('the keys of tgl play, the overlay, the table, and a file from disk', async () => {
  const { page } = await openPage('?file=sample.tgl&frame=2', `document.getElementById('view').dataset.frame === '2'`);
  const frame = () => page.evaluate(() => document.getElementById('view').dataset.frame);
  const after = async (key, wanted) => {
    await page.keyboard.press(key);
    await page.waitForFunction(`document.getElementById('view').dataset.frame === '${wanted}'`, { timeout: 5000 });
  };
  await after('ArrowRight', '3');
  await after('ArrowLeft', '2');
  await after('Home', '0');
  await page.keyboard.press('o');
  const overlay = await page.evaluate(() => document.getElementById('overlay').hidden ? '' : document.getElementById('overlay').textContent);
  assert.match(overlay, /frame 0 of 12/);
  await page.keyboard.press('z');
  assert.match(await page.evaluate(() => document.getElementById('view').style.transform), /scale\(2\)/);
  assert.equal(await page.evaluate(() => document.querySelectorAll('#frames tbody tr').length), 12);
  await page.keyboard.press('Space');
  await page.waitForFunction(`document.getElementById('view').dataset.frame !== '0'`, { timeout: 5000 });
  assert.notEqual(await frame(), '0', 'Space plays again');
  await page.close();
  // From disk: the page and its WebAssembly in one script, a file from the picker.
  const local = await browser.newPage();
  await local.goto(`file://${join(folder, 'index.html')}`);
  await (await local.$('#picker')).uploadFile(process.env.SAMPLE);
  await local.waitForFunction(`document.getElementById('view').dataset.frame !== undefined`, { timeout: 10000 });
  await local.close();
});

test('the npm package, packed and installed, composes frame 0 as tgl render draws it', () => {
  const project = join(folder, 'project');
  mkdirSync(project);
  const tarball = execFileSync('npm', ['pack', '--silent', '--pack-destination', project],
    { cwd: join(process.env.WEB_BUILD, 'package') }).toString().trim().split('\n').pop();
  writeFileSync(join(project, 'package.json'), '{"name": "check", "private": true, "type": "module"}');
  execFileSync('npm', ['install', '--silent', '--offline', '--no-audit', '--no-fund', join(project, tarball)], { cwd: project });
  writeFileSync(join(project, 'check.mjs'), `
    import { open } from 'tgl-animation';
    import { readFileSync } from 'node:fs';
    const animation = await open(readFileSync(process.argv[2]));
    process.stdout.write(JSON.stringify({ frames: animation.frames.length, first: animation.frames[0] }) + '\\n');
    process.stdout.write(Buffer.from(animation.compose(0)).toString('base64'));`);
  const big = { maxBuffer: 64 << 20 };
  const [described, pixels] = execFileSync('node', ['check.mjs', process.env.SAMPLE], { cwd: project, ...big })
    .toString().split('\n');
  const wanted = execFileSync('/usr/bin/python3', ['-c',
    'import sys, base64; from PIL import Image; sys.stdout.write(base64.b64encode(Image.open(sys.argv[1]).convert("RGBA").tobytes()).decode())',
    join(folder, 'sample', 'frame_000.png')], big).toString();
  const info = JSON.parse(described);
  assert.equal(info.frames, frameCount(process.env.SAMPLE));
  assert.equal(info.first.duration, JSON.parse(tgl('info', process.env.SAMPLE, '--json')).frames[0].duration);
  assert.ok(pixels === wanted, 'frame 0 differs from tgl render');
});
