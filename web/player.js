// The page: a .tgl file from a drop, the picker or ?file=URL, played as the
// viewer plays it. The worker reads the file and composes each frame; this
// script draws the frame that is due, each for its own time, for ever.
(() => {
  'use strict';
  const workerSource = WORKER_SOURCE;
  const width = 800, height = 600;
  const zooms = [0.25, 0.5, 1, 2, 4, 8];
  const cacheSize = 48; // composed frames kept, 1.9 MB each
  const canvas = document.getElementById('view');
  const context = canvas.getContext('2d');
  const problem = document.getElementById('problem');
  const overlay = document.getElementById('overlay');
  const rows = document.querySelector('#frames tbody');

  let worker = null;
  let frames = [];           // the table: x, y, duration, width, height, status
  let cache = new Map();     // frame index -> ImageData
  let asked = new Set();     // frames the worker composes now
  let current = -1, wanted = -1, due = 0, timer = 0;
  let paused = false, zoom = 2, overlayShown = false;

  function say(sentence) {
    problem.textContent = sentence.replace(/\s+/g, ' ').slice(0, 300);
    problem.hidden = false;
  }

  function startWorker() {
    if (worker) worker.terminate();
    worker = new Worker(URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' })));
    worker.onmessage = received;
    worker.onerror = (event) => {
      event.preventDefault();
      say('The file could not be read: it asks for more than this page can give.');
      startWorker();
    };
  }

  function open(bytes) {
    clearTimeout(timer);
    startWorker();
    frames = []; cache = new Map(); asked = new Set();
    current = wanted = -1;
    problem.hidden = true;
    rows.textContent = '';
    worker.postMessage({ type: 'open', bytes }, [bytes]);
  }

  function ask(index) {
    if (index < 0 || index >= frames.length || cache.has(index) || asked.has(index)) return;
    asked.add(index);
    worker.postMessage({ type: 'compose', index });
  }

  function received({ data }) {
    if (data.type === 'failed') return say(data.problem);
    if (data.type === 'opened') return opened(data.frames);
    asked.delete(data.index);
    cache.set(data.index, new ImageData(new Uint8ClampedArray(data.pixels), width, height));
    for (const index of cache.keys())
      if (cache.size > cacheSize && index !== current && index !== wanted) cache.delete(index);
    if (data.index === wanted) show(wanted, performance.now());
  }

  function opened(table) {
    frames = table;
    if (frames.length === 0) return say('The file has no frames.');
    fillTable();
    const start = Number(new URLSearchParams(location.search).get('frame'));
    paused = new URLSearchParams(location.search).has('frame');
    wanted = Number.isInteger(start) && start >= 0 && start < frames.length ? start : 0;
    // The first frame first, then as many as the cache keeps, so that the
    // first loop does not wait for the worker.
    for (let i = 0; i < Math.min(frames.length, cacheSize); ++i) ask((wanted + i) % frames.length);
  }

  // Frame `index` drawn now; the next one is due its time later.
  function show(index, now) {
    context.putImageData(cache.get(index), 0, 0);
    canvas.dataset.frame = String(index);
    current = index;
    due = now + Math.max(frames[index].duration, 0);
    describe();
    ask((index + 1) % frames.length);
    ask((index + 2) % frames.length);
    schedule();
  }

  function schedule() {
    clearTimeout(timer);
    if (!paused && frames.length > 1) timer = setTimeout(advance, Math.max(0, due - performance.now()));
  }

  // The schedule is absolute: a late timer does not stretch the animation; a
  // frame not composed yet is waited for, then shown for its whole time.
  function advance() {
    const next = (current + 1) % frames.length;
    wanted = next;
    if (!cache.has(next)) return ask(next);
    const now = performance.now();
    show(next, now - due < 1000 ? due : now);
  }

  function step(index) {
    paused = true;
    clearTimeout(timer);
    wanted = ((index % frames.length) + frames.length) % frames.length;
    if (cache.has(wanted)) show(wanted, performance.now()); else ask(wanted);
  }

  // tgl info's columns.
  function fillTable() {
    const columns = ['x', 'y', 'aux1', 'aux2', 'duration', 'offset', 'marker', 'second', 'length',
                     'inflated', 'image', 'status'];
    const cell = (value) => `<td>${String(value).replace(/[<&]/g, (c) => (c === '<' ? '&lt;' : '&amp;'))}</td>`;
    rows.innerHTML = frames.map((f, i) =>
      `<tr id="frame-${i}">${cell(i)}${columns.map((c) => cell(f[c])).join('')}</tr>`).join('');
  }

  function describe() {
    document.querySelector('#frames tr.shown')?.classList.remove('shown');
    document.getElementById('frame-' + current)?.classList.add('shown');
    let start = 0, loop = 0;
    frames.forEach((f, i) => { if (i < current) start += Math.max(f.duration, 0); loop += Math.max(f.duration, 0); });
    const f = frames[current];
    overlay.textContent = `frame ${current} of ${frames.length}${paused ? ' (paused)' : ''}\n` +
      `${f.duration} ms, at ${start} of ${loop} ms\nposition ${f.x}, ${f.y}`;
    overlay.hidden = !overlayShown;
  }

  function setZoom(index) {
    zoom = Math.min(Math.max(index, 0), zooms.length - 1);
    canvas.style.transform = `scale(${zooms[zoom]})`;
    canvas.parentElement.style.width = width * zooms[zoom] + 'px';
    canvas.parentElement.style.height = height * zooms[zoom] + 'px';
  }

  document.addEventListener('keydown', (event) => {
    if (frames.length === 0 || current < 0) return;
    const keys = {
      ' ': () => { paused = !paused; if (!paused) due = performance.now(); describe(); schedule(); },
      ArrowLeft: () => step(current - 1),
      ArrowRight: () => step(current + 1),
      Home: () => step(0),
      z: () => setZoom(zoom + 1),
      Z: () => setZoom(zoom - 1),
      o: () => { overlayShown = !overlayShown; describe(); },
    };
    if (!keys[event.key]) return;
    event.preventDefault();
    keys[event.key]();
  });

  function openFile(file) {
    if (!file) return;
    file.arrayBuffer().then(open, () => say('The file could not be read.'));
  }
  document.getElementById('picker').addEventListener('change', (e) => openFile(e.target.files[0]));
  // The frame shown, as the PNG `tgl render --frame N` writes of it.
  document.getElementById('save').addEventListener('click', () => {
    if (current < 0) return;
    canvas.toBlob((png) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(png);
      link.download = `frame_${String(current).padStart(3, '0')}.png`;
      link.click();
    }, 'image/png');
  });
  document.addEventListener('dragover', (e) => { e.preventDefault(); document.body.classList.add('dragging'); });
  document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    openFile(e.dataTransfer.files[0]);
  });

  setZoom(2);
  const url = new URLSearchParams(location.search).get('file');
  if (url)
    fetch(url).then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(r.status)))
      .then(open, () => say(`The file ${url} could not be fetched.`));
})();
