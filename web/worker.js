// The page's worker: the file is read and each frame composed here, so that
// no file, however hostile, freezes the page. Appended to the WebAssembly
// module's script (createTgl) when the page is built.
const moduleReady = createTgl();

onmessage = async (event) => {
  const tgl = await moduleReady;
  const message = event.data;
  if (message.type === 'open') {
    const bytes = new Uint8Array(message.bytes);
    const at = tgl._malloc(Math.max(bytes.length, 1));
    tgl.HEAPU8.set(bytes, at);
    const count = tgl._tglOpen(at, bytes.length);
    tgl._free(at);
    if (count < 0) postMessage({ type: 'failed', problem: tgl.UTF8ToString(tgl._tglProblem()) });
    else postMessage({ type: 'opened', frames: JSON.parse(tgl.UTF8ToString(tgl._tglFrames())) });
  } else if (message.type === 'compose') {
    const at = tgl._tglCompose(message.index);
    const pixels = tgl.HEAPU8.slice(at, at + 800 * 600 * 4).buffer;
    postMessage({ type: 'frame', index: message.index, pixels }, [pixels]);
  }
};
