// Builds the page's script: the worker (the WebAssembly module's script and
// worker.js) goes inside player.js as text, so that the page works from disk
// too, where a browser loads no worker script from a file.
// Usage: node bundle.mjs MODULE.js WORKER.js PLAYER.js OUT.js
import { readFileSync, writeFileSync } from 'node:fs';

const [moduleScript, workerScript, playerScript, out] = process.argv.slice(2);
const worker = readFileSync(moduleScript, 'utf8') + '\n' + readFileSync(workerScript, 'utf8');
const player = readFileSync(playerScript, 'utf8');
if (!player.includes('WORKER_SOURCE')) throw new Error('player.js has no WORKER_SOURCE');
writeFileSync(out, player.replace('WORKER_SOURCE', () => JSON.stringify(worker)));
