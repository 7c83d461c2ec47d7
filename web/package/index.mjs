// .tgl animations in JavaScript: open(bytes) reads a file with the format
// library's limits; compose(i) gives what the viewer shows of frame i.
import createTgl from './tgl.mjs';

const moduleReady = createTgl();

export const width = 800;
export const height = 600;

// The frames of a .tgl file (Uint8Array or ArrayBuffer): their places, times,
// image sizes and statuses, and compose(i), frame i as width x height RGBA
// (white where nothing is). One animation at a time: opening another
// replaces it. Throws an Error with one sentence for a file it cannot read.
export async function open(bytes) {
  const tgl = await moduleReady;
  const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
  const at = tgl._malloc(Math.max(data.length, 1));
  tgl.HEAPU8.set(data, at);
  const count = tgl._tglOpen(at, data.length);
  tgl._free(at);
  if (count < 0) throw new Error(tgl.UTF8ToString(tgl._tglProblem()));
  const frames = [];
  for (let i = 0; i < count; ++i)
    frames.push({ x: tgl._tglFrameX(i), y: tgl._tglFrameY(i), duration: tgl._tglFrameDuration(i),
                  width: tgl._tglFrameWidth(i), height: tgl._tglFrameHeight(i),
                  status: tgl.UTF8ToString(tgl._tglFrameStatus(i)) });
  return {
    frames,
    compose(i) {
      if (!(i >= 0 && i < count)) throw new RangeError(`no frame ${i}`);
      const pixels = tgl._tglCompose(i);
      return new Uint8ClampedArray(tgl.HEAPU8.slice(pixels, pixels + width * height * 4));
    },
  };
}
