// The roads out, judged by Chromium: its own decoders read the GIF and WebP
// that `tgl render` writes, and Phaser 3 draws the sheets of `tgl export`.
// Usage: TGL_NPM=... node --test roads_test.mjs   (TGL_TOOL, SAMPLE: the tool and a .tgl)
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { deflateSync } from 'node:zlib';

if (!existsSync(join(process.env.TGL_NPM, 'node_modules/puppeteer-core')) || !existsSync('/usr/bin/chromium')) {
  console.log('Chromium or the npm packages are not installed (./test installs them); skipped');
  process.exit(0);
}
const { closeAll, inPage, launch, serve } = await import('./browser.mjs');

const tgl = (...args) => execFileSync(process.env.TGL_TOOL, args, { stdio: ['ignore', 'pipe', 'ignore'] });
const folder = mkdtempSync(join(tmpdir(), 'tgl-browser-'));
const durations = JSON.parse(tgl('info', process.env.SAMPLE, '--json')).frames.map((f) => f.duration);
let browser, server;

before(async () => {
  tgl('render', process.env.SAMPLE, '--all', '-o', join(folder, 'frames'));
  for (const out of ['anim.gif', 'anim.webp', 'anim.apng']) tgl('render', process.env.SAMPLE, '-o', join(folder, out));
  tgl('export', process.env.SAMPLE, '--sheet', join(folder, 'hash.png'));
  tgl('export', process.env.SAMPLE, '--sheet', join(folder, 'array.png'), '--json-array');
  copyFileSync(join(process.env.TGL_NPM, 'node_modules/phaser/dist/phaser.min.js'), join(folder, 'phaser.js'));
  // A GIF whose frames are disposed to the background, brought back in.
  tgl('render', process.env.SAMPLE, '-o', join(folder, 'clear.gif'), '--background', 'none', '--crop');
  tgl('pack', join(folder, 'clear.gif'), '-o', join(folder, 'imported.tgl'), '--at', '0,0');
  tgl('render', join(folder, 'imported.tgl'), '--all', '-o', join(folder, 'imported'));
  writeGradient(join(folder, 'gradient.tga'));
  tgl('pack', join(folder, 'gradient.tga'), '-o', join(folder, 'gradient.tgl'), '--at', '300,200');
  tgl('render', join(folder, 'gradient.tgl'), '-o', join(folder, 'gradient.gif'));
  tgl('render', join(folder, 'gradient.tgl'), '-o', join(folder, 'gradient.png'));
  server = await serve(folder);
  browser = await launch();
});
after(() => closeAll(browser, server, folder));

const crcTable = Array.from({ length: 256 }, (_, n) => {
  for (let k = 0; k < 8; ++k) n = n & 1 ? 0xEDB88320 ^ (n >>> 1) : n >>> 1;
  return n >>> 0;
});
function chunk(type, data) {
  const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
  let crc = 0xFFFFFFFF;
  for (const byte of body) crc = crcTable[(crc ^ byte) & 255] ^ (crc >>> 8);
  const head = Buffer.alloc(4), tail = Buffer.alloc(4);
  head.writeUInt32BE(data.length);
  tail.writeUInt32BE((crc ^ 0xFFFFFFFF) >>> 0);
  return Buffer.concat([head, body, tail]);
}
// Rows of RGBA, each behind filter byte 0, deflated.
function imageData(width, height, colourAt) {
  const raw = Buffer.alloc((width * 4 + 1) * height);
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x) raw.set(colourAt(x, y), y * (width * 4 + 1) + 1 + x * 4);
  return deflateSync(raw);
}
// A 40 x 30 APNG of three frames: the whole canvas, then two smaller ones off
// its corner, with partial alpha everywhere; times 30, 250 ms and 1/3 s.
function ownApng(dispose, blend, withDefault) {
  const u32 = (...values) => Buffer.concat(values.map((v) => { const b = Buffer.alloc(4); b.writeUInt32BE(v); return b; }));
  const frames = [
    { x: 0, y: 0, w: 40, h: 30, delay: [3, 100], colour: (x, y) => [200, x * 6, y * 8, 40 + x * 5] },
    { x: 5, y: 4, w: 20, h: 15, delay: [250, 1000], colour: (x, y) => [0, 180, 90, (x + y) % 2 ? 255 : 100] },
    { x: 12, y: 10, w: 25, h: 18, delay: [1, 3], colour: (x) => [30, 30, 250, x < 12 ? 0 : 160] },
  ];
  const parts = [Buffer.from([0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A]),
    chunk('IHDR', Buffer.concat([u32(40, 30), Buffer.from([8, 6, 0, 0, 0])])),
    chunk('acTL', u32(frames.length, 0))];
  if (withDefault) parts.push(chunk('IDAT', imageData(40, 30, () => [90, 90, 90, 255])));
  let sequence = 0;
  frames.forEach((f, i) => {
    const delay = Buffer.alloc(4);
    delay.writeUInt16BE(f.delay[0]);
    delay.writeUInt16BE(f.delay[1], 2);
    parts.push(chunk('fcTL', Buffer.concat([u32(sequence++, f.w, f.h, f.x, f.y), delay, Buffer.from([dispose, blend])])));
    const data = imageData(f.w, f.h, f.colour);
    parts.push(i === 0 && !withDefault ? chunk('IDAT', data) : chunk('fdAT', Buffer.concat([u32(sequence++), data])));
  });
  parts.push(chunk('IEND', Buffer.alloc(0)));
  return Buffer.concat(parts);
}

// 70 x 50 pixels, each its own colour (3,500), with partial alpha: past any
// one palette, so the GIF's quantizer decides what shows.
function writeGradient(path) {
  const width = 70, height = 50;
  const header = Buffer.from([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, width, 0, height, 0, 32, 8]);
  const pixels = Buffer.alloc(width * height * 4);
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x) {
      const at = ((height - 1 - y) * width + x) * 4; // rows bottom first
      pixels[at] = (x * 7 + y * 3) & 255;            // blue
      pixels[at + 1] = Math.round((y * 255) / 49);   // green
      pixels[at + 2] = Math.round((x * 255) / 69);   // red
      pixels[at + 3] = 96 + ((x * 5 + y * 11) % 160); // alpha
    }
  writeFileSync(path, Buffer.concat([header, pixels]));
}

// In the page: the pixels of `tgl render --all`, each frame's 800 x 600 RGBA,
// and the box where any frame differs from white.
const pageHelpers = `
  window.pixelsOf = (source, width, height) => {
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.drawImage(source, 0, 0);
    return context.getImageData(0, 0, width, height).data;
  };
  // The image drawn at (0, 0) of an 800 x 600 white picture.
  window.overWhite = (image) => {
    const canvas = new OffscreenCanvas(800, 600);
    const context = canvas.getContext('2d', { willReadFrequently: true });
    context.fillStyle = '#ffffff';
    context.fillRect(0, 0, 800, 600);
    context.drawImage(image, 0, 0);
    return context.getImageData(0, 0, 800, 600).data;
  };
  window.expectedFrames = async (count, folder = 'frames') => {
    const frames = [];
    for (let i = 0; i < count; ++i) {
      const name = folder + '/frame_' + String(i).padStart(3, '0') + '.png';
      const bitmap = await createImageBitmap(await (await fetch(name)).blob());
      frames.push(pixelsOf(bitmap, 800, 600));
    }
    let left = 800, top = 600, right = 0, bottom = 0;
    for (const f of frames)
      for (let y = 0; y < 600; ++y)
        for (let x = 0; x < 800; ++x)
          if (f[(y * 800 + x) * 4] !== 255 || f[(y * 800 + x) * 4 + 1] !== 255 || f[(y * 800 + x) * 4 + 2] !== 255) {
            left = Math.min(left, x); right = Math.max(right, x + 1);
            top = Math.min(top, y); bottom = Math.max(bottom, y + 1);
          }
    return { frames, box: { left, top, right, bottom } };
  };
  // The largest difference of a channel, and each channel's mean, inside the box.
  window.compare = (got, want, box) => {
    let largest = 0; const sums = [0, 0, 0];
    for (let y = box.top; y < box.bottom; ++y)
      for (let x = box.left; x < box.right; ++x)
        for (let c = 0; c < 3; ++c) {
          const d = Math.abs(got[(y * 800 + x) * 4 + c] - want[(y * 800 + x) * 4 + c]);
          largest = Math.max(largest, d); sums[c] += d;
        }
    const pixels = (box.right - box.left) * (box.bottom - box.top);
    return { largest, mean: sums.map((s) => s / pixels) };
  };`;

async function decodeInChromium(file, type) {
  return inPage(browser, server.url, async (helpers, file, type, count) => {
    eval(helpers);
    const { frames, box } = await expectedFrames(count);
    const decoder = new ImageDecoder({ data: await (await fetch(file)).arrayBuffer(), type });
    await decoder.tracks.ready;
    await decoder.completed;
    const track = decoder.tracks.selectedTrack;
    const decoded = [];
    for (let i = 0; i < track.frameCount; ++i) {
      const { image } = await decoder.decode({ frameIndex: i });
      const pixels = pixelsOf(image, image.displayWidth, image.displayHeight);
      decoded.push({ duration: image.duration / 1000, ...compare(pixels, frames[i] ?? frames[0], box) });
      image.close();
    }
    return { frameCount: track.frameCount, repetitions: String(track.repetitionCount), decoded };
  }, pageHelpers, file, type, durations.length);
}

test('Chromium decodes the animated WebP: every frame exact, each for its own time', async () => {
  const webp = await decodeInChromium('anim.webp', 'image/webp');
  assert.equal(webp.frameCount, durations.length);
  webp.decoded.forEach((frame, i) => {
    assert.equal(frame.largest, 0, `frame ${i} differs`);
    assert.equal(frame.duration, durations[i], `frame ${i}'s duration`);
  });
});

test('Chromium decodes the animated PNG: every frame exact, each for its own time, for ever', async () => {
  const apng = await decodeInChromium('anim.apng', 'image/png');
  assert.equal(apng.frameCount, durations.length);
  assert.equal(apng.repetitions, 'Infinity');
  apng.decoded.forEach((frame, i) => {
    assert.equal(frame.largest, 0, `frame ${i} differs`);
    assert.equal(frame.duration, durations[i], `frame ${i}'s duration`);
  });
});

// APNGs of our own writing: every dispose x blend pair over partly transparent
// frames, frames off the corner, a default image outside the animation. What
// tgl pack makes of each, rendered, is Chromium's decode over white (within 1:
// Chromium truncates where a partly transparent pixel is blended over another).
test('tgl pack composes animated PNGs as Chromium does', async () => {
  const cases = [];
  for (const dispose of [0, 1, 2])
    for (const blend of [0, 1])
      for (const withDefault of [false, true]) cases.push({ dispose, blend, withDefault });
  const failures = [];
  for (const { dispose, blend, withDefault } of cases) {
    const name = `own_d${dispose}b${blend}${withDefault ? 'x' : ''}`;
    writeFileSync(join(folder, name + '.png'), ownApng(dispose, blend, withDefault));
    tgl('pack', join(folder, name + '.png'), '-o', join(folder, name + '.tgl'), '--no-trim', '--at', '0,0');
    tgl('render', join(folder, name + '.tgl'), '--all', '-o', join(folder, name));
    const times = JSON.parse(tgl('info', join(folder, name + '.tgl'), '--json')).frames.map((f) => f.duration);
    const result = await inPage(browser, server.url, async (helpers, file, folder, count) => {
      eval(helpers);
      const { frames } = await expectedFrames(count, folder);
      const decoder = new ImageDecoder({ data: await (await fetch(file)).arrayBuffer(), type: 'image/png' });
      await decoder.tracks.ready;
      await decoder.completed;
      const decoded = [];
      for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; ++i) {
        const { image } = await decoder.decode({ frameIndex: i });
        decoded.push({ duration: image.duration / 1000, ...compare(overWhite(image), frames[i], { left: 0, top: 0, right: 40, bottom: 30 }) });
        image.close();
      }
      return decoded;
    }, pageHelpers, name + '.png', name, times.length);
    if (result.length !== times.length) failures.push(`${name}: ${times.length} frames, Chromium ${result.length}`);
    result.forEach((frame, i) => {
      if (frame.largest > 1) failures.push(`${name}: frame ${i} off by ${frame.largest}`);
      if (frame.duration !== times[i]) failures.push(`${name}: frame ${i} lasts ${times[i]} ms, Chromium ${frame.duration}`);
    });
  }
  assert.deepEqual(failures, []);
});

test('Chromium decodes the animated GIF: every frame within its palette, times in hundredths', async () => {
  const gif = await decodeInChromium('anim.gif', 'image/gif');
  assert.equal(gif.frameCount, durations.length);
  assert.equal(gif.repetitions, 'Infinity', 'it loops forever');
  let shown = 0, wanted = 0;
  gif.decoded.forEach((frame, i) => {
    frame.mean.forEach((m) => assert.ok(m <= 3, `frame ${i}: a mean error of ${m} per channel`));
    shown += frame.duration;
    wanted += durations[i];
    assert.ok(Math.abs(shown - wanted) < 10, `frame ${i} ends at ${shown} ms, not ${wanted}`);
  });
  console.log(`GIF: largest mean error per channel ${Math.max(...gif.decoded.flatMap((f) => f.mean)).toFixed(2)}`);
});

// Disposal to the background clears to transparency, as browsers show it:
// tgl pack's frames are Chromium's, over white.
test('tgl pack composes a GIF disposed to the background as Chromium does', async () => {
  const result = await inPage(browser, server.url, async (helpers, count) => {
    eval(helpers);
    const { frames } = await expectedFrames(count, 'imported');
    const decoder = new ImageDecoder({ data: await (await fetch('clear.gif')).arrayBuffer(), type: 'image/gif' });
    await decoder.tracks.ready;
    const largest = [];
    for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; ++i) {
      const { image } = await decoder.decode({ frameIndex: i });
      const shown = overWhite(image);
      image.close();
      largest.push(compare(shown, frames[i], { left: 0, top: 0, right: 800, bottom: 600 }).largest);
    }
    return largest;
  }, pageHelpers, durations.length);
  assert.equal(result.length, durations.length);
  result.forEach((largest, i) => assert.equal(largest, 0, `frame ${i} differs from Chromium's by ${largest}`));
});

// The world's animated GIF and WebP files (../shared/testdata, where present):
// what tgl pack makes of each, rendered, is Chromium's decode over white,
// frame by frame, each for the same time.
const pillowImages = process.env.TGL_TESTDATA && join(process.env.TGL_TESTDATA, 'pillow-images.tar.gz');
test('tgl pack reads the world\'s GIF, WebP and APNG files as Chromium does', { skip: !existsSync(pillowImages ?? '') && 'no test data' }, async () => {
  execFileSync('tar', ['xzf', pillowImages, '-C', folder, 'Tests/images']);
  mkdirSync(join(folder, 'world'));
  const images = join(folder, 'Tests/images');
  const files = readdirSync(images).filter((name) => /\.(gif|webp)$/.test(name))
    .concat(readdirSync(join(images, 'apng')).map((name) => 'apng/' + name));
  mkdirSync(join(folder, 'world', 'apng'));
  const failures = [], refused = [];
  let compared = 0;
  for (const name of files) {
    const out = join(folder, 'world', name);
    try {
      tgl('pack', join(images, name), '-o', out + '.tgl', '--at', '0,0');
    } catch {
      refused.push(name); // over the limits, or no picture; Chromium is not asked
      continue;
    }
    tgl('render', out + '.tgl', '--all', '-o', out);
    const times = JSON.parse(tgl('info', out + '.tgl', '--json')).frames.map((f) => f.duration);
    const result = await inPage(browser, server.url, async (helpers, file, folder, count) => {
      eval(helpers);
      const { frames } = await expectedFrames(count, folder);
      const type = file.endsWith('.gif') ? 'image/gif' : file.endsWith('.png') ? 'image/png' : 'image/webp';
      const decoder = new ImageDecoder({ data: await (await fetch(file)).arrayBuffer(), type });
      await decoder.tracks.ready;
      await decoder.completed;
      const decoded = [];
      for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; ++i) {
        const { image } = await decoder.decode({ frameIndex: i });
        const box = { left: 0, top: 0, right: Math.min(800, image.displayWidth), bottom: Math.min(600, image.displayHeight) };
        decoded.push({ duration: image.duration / 1000, ...(frames[i] ? compare(overWhite(image), frames[i], box) : {}) });
        image.close();
      }
      return decoded;
    }, pageHelpers, 'Tests/images/' + name, 'world/' + name, times.length).catch((e) => ({ error: String(e) }));
    if (result.error) {
      failures.push(`${name}: tgl reads it, Chromium does not (${result.error})`);
      continue;
    }
    compared += 1;
    const lossy = readFileSync(join(images, name)).includes('VP8 ');
    if (result.length !== times.length) failures.push(`${name}: ${times.length} frames, Chromium ${result.length}`);
    result.forEach((frame, i) => {
      // Lossy WebP is YUV: Chromium turns it into RGB its own way, libwebp another.
      const close = lossy ? frame.mean.every((m) => m <= 2.5) : frame.largest <= 1;
      if (!close) failures.push(`${name}: frame ${i} off by ${frame.largest} (mean ${frame.mean.map((m) => m.toFixed(2))})`);
      // WebCodecs gives the file's own time; Chromium shows a GIF's 10 ms or less as 100.
      const shown = name.endsWith('.gif') && frame.duration <= 10 ? 100 : frame.duration;
      // A single frame is a still: it has no time.
      if (result.length > 1 && times[i] !== undefined && shown !== times[i]) failures.push(`${name}: frame ${i} lasts ${times[i]} ms, Chromium ${shown}`);
    });
  }
  console.log(`${compared} of ${files.length} GIF, WebP and APNG files compared with Chromium's decode; refused: ${refused.join(' ')}`);
  assert.deepEqual(failures, []);
});

// Past 256 colours the palette is the quantizer's: Chromium's picture stays
// close to the viewer's.
test('Chromium decodes a GIF frame of 3,500 colours close to what the viewer shows', async () => {
  const result = await inPage(browser, server.url, async (helpers) => {
    eval(helpers);
    const want = pixelsOf(await createImageBitmap(await (await fetch('gradient.png')).blob()), 800, 600);
    const decoder = new ImageDecoder({ data: await (await fetch('gradient.gif')).arrayBuffer(), type: 'image/gif' });
    const { image } = await decoder.decode({ frameIndex: 0 });
    return compare(pixelsOf(image, 800, 600), want, { left: 300, top: 200, right: 370, bottom: 250 });
  }, pageHelpers);
  console.log(`3,500 colours: mean error per channel ${result.mean.map((m) => m.toFixed(2)).join(' ')}, largest ${result.largest}`);
  result.mean.forEach((m) => assert.ok(m <= 4.5, `a mean error of ${m} per channel`));
});

// Phaser places each frame where the viewer shows it: at tglOrigin, with the
// trim offsets it reads from the JSON.
for (const sheet of ['hash', 'array']) {
  test(`Phaser 3 draws every frame of the ${sheet} sheet as the viewer shows it`, async () => {
    const result = await inPage(browser, server.url, async (helpers, sheet, count) => {
      eval(helpers);
      const { frames, box } = await expectedFrames(count);
      const json = await (await fetch(sheet + '.json')).json();
      await new Promise((resolve) => {
        const script = document.createElement('script');
        script.src = 'phaser.js';
        script.onload = resolve;
        document.head.append(script);
      });
      const scene = await new Promise((resolve) => {
        new Phaser.Game({
          type: Phaser.CANVAS, width: 800, height: 600, backgroundColor: '#ffffff',
          banner: false, audio: { noAudio: true },
          scene: {
            preload() { this.load.atlas('sheet', sheet + '.png', sheet + '.json'); },
            create() { resolve(this); },
          },
        });
      });
      const names = scene.textures.get('sheet').getFrameNames();
      const sprite = scene.add.image(json.meta.tglOrigin.x, json.meta.tglOrigin.y, 'sheet', names[0]).setOrigin(0);
      const results = [];
      for (const name of names) {
        sprite.setFrame(name);
        await new Promise((resolve) => scene.game.events.once('postrender', resolve));
        const index = Number(name.split('_').pop());
        results.push({ name, index, ...compare(pixelsOf(scene.game.canvas, 800, 600), frames[index], box) });
      }
      return results;
    }, pageHelpers, sheet, durations.length);
    assert.equal(result.length, durations.length, 'frame names');
    for (const frame of result) assert.ok(frame.largest <= 1, `${frame.name}: off by ${frame.largest}`);
  });
}
