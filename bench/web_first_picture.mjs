// The web player's first picture: headless Chromium opens the page, and the
// time is measured in the page from the file picked to the canvas showing
// frame 0 (the worker started, the file read and decoded, frame 0 composed); the median of RUNS, with the smallest and the
// largest. Also the sizes of the page's script and of the WebAssembly in it.
//     TGL_NPM=build/npm node bench/web_first_picture.mjs build-web FILE.tgl... [--runs N]
import { readFileSync, statSync } from 'node:fs';
import { basename, join } from 'node:path';
import { launch, serve } from '../tests/browser/browser.mjs';

const args = process.argv.slice(2);
const runsAt = args.indexOf('--runs');
const runs = runsAt >= 0 ? Number(args.splice(runsAt, 2)[1]) : 5;
const [webBuild, ...files] = args;
const site = join(webBuild, 'site');
const wasmBase64 = readFileSync(join(webBuild, 'tgl_worker.js'), 'utf8').match(/base64,([A-Za-z0-9+/=]+)/)[1];
console.log(`page: index.html ${statSync(join(site, 'index.html')).size} B, player.js ` +
  `${statSync(join(site, 'player.js')).size} B, of which WebAssembly ${Buffer.from(wasmBase64, 'base64').length} B`);

const server = await serve(site);
const browser = await launch();
for (const file of files) {
  const times = [];
  for (let run = 0; run < runs; ++run) {
    const page = await browser.newPage();
    await page.goto(`${server.url}/index.html`);
    // From the picker's change (before the page's own handler) to frame 0 drawn.
    await page.evaluate(() => document.addEventListener('change', () => { window.picked = performance.now(); }, true));
    await (await page.$('#picker')).uploadFile(file);
    await page.waitForFunction(`document.getElementById('view').dataset.frame !== undefined`, { polling: 1 });
    times.push(await page.evaluate(() => performance.now() - window.picked));
    await page.close();
  }
  times.sort((a, b) => a - b);
  console.log(`${basename(file)}: first picture ${times[times.length >> 1].toFixed(1)} ms ` +
    `(${times[0].toFixed(1)} to ${times[times.length - 1].toFixed(1)}, ${runs} runs)`);
}
await browser.close();
server.close();
