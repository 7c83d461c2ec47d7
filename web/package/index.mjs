// .tgl animations in JavaScript: open(bytes) reads a file with the format
// library's limits; compose(i) gives what the viewer shows of frame i.
import createTgl from './tgl.mjs';

const moduleReady = createTgl();

export const width = 800;
export const height = 600;

// The frames of a .tgl file (Uint8Array or ArrayBuffer) as `tgl info` lists
// them (x, y, aux1, aux2, duration, offset, marker, second, length, inflated,
// image, status), and compose(i), frame i as width x height RGBA
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
  const frames = JSON.parse(tgl.UTF8ToString(tgl._tglFrames()));
  return {
    frames,
    compose(i) {
      if (!(i >= 0 && i < count)) throw new RangeError(`no frame ${i}`);
      const pixels = tgl._tglCompose(i);
      return new Uint8ClampedArray(tgl.HEAPU8.slice(pixels, pixels + width * height * 4));
    },
  };
}
