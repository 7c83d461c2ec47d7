// One headless Chromium for every case, the system's own (no download), and
// a server on localhost for a folder of files: WebCodecs and Phaser want a
// secure context, which localhost is.
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { rmSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';

const require = createRequire(join(process.env.TGL_NPM, 'package.json'));
const puppeteer = require('puppeteer-core');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.json': 'application/json',
                '.png': 'image/png', '.gif': 'image/gif', '.webp': 'image/webp' };

// Serves `folder` on 127.0.0.1; resolves to its address and a close().
export async function serve(folder) {
  const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    try {
      const body = path === '/' ? '<!doctype html><title>tgl</title>' : await readFile(join(folder, path));
      response.writeHead(200, { 'content-type': types[extname(path)] ?? (path === '/' ? 'text/html' : 'application/octet-stream') });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

export async function launch() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Runs `work` in the page with its arguments; a timeout ends a hung case.
export async function inPage(browser, url, work, ...args) {
  const page = await browser.newPage();
  try {
    await page.goto(url);
    return await page.evaluate(work, ...args);
  } finally {
    await page.close();
  }
}

// Ends what a suite's `before` started, as far as it got, and removes its folder.
export async function closeAll(browser, server, folder) {
  await browser?.close();
  server?.close();
  rmSync(folder, { recursive: true, force: true });
}
