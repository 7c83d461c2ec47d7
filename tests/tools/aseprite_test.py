"""Aseprite files of our own writing, one per feature that `tgl pack` reads:
RGBA, grayscale and indexed sprites, palettes old and new, layer and cel
opacity, hidden layers and groups, linked cels, z-index, tags with their
directions and repeats, --layer, cels past the canvas. Each frame the viewer
shows equals what the file means: its layers drawn in order, "over", with
exact rounding (within 1 where a partly transparent pixel meets another).
Broken files give one line and exit 2, and nothing is written.

    /usr/bin/python3 aseprite_test.py TGL...
TGL... is the command that runs the tool (`wine tgl.exe` for Windows').
Skips, saying so, where Pillow is absent."""
import json
import os
import struct
import subprocess
import sys
import tempfile
import zlib

tool = sys.argv[1:]
try:
    from PIL import Image
except ImportError as missing:
    print(f'skipped: {missing}')
    sys.exit(0)

work = tempfile.mkdtemp()
failures = []


# The writer: chunks as the format's public description lays them out.
def chunk(kind, data):
    return struct.pack('<IH', len(data) + 6, kind) + data


def text(s):
    raw = s.encode()
    return struct.pack('<H', len(raw)) + raw


def layer(name, visible=True, group=False, level=0, opacity=255, blend=0, background=False):
    flags = (1 if visible else 0) | (8 if background else 0)
    return chunk(0x2004, struct.pack('<HHHHHHB3x', flags, 1 if group else 0, level, 0, 0, blend, opacity) + text(name))


def cel(index, x, y, w, h, pixels, opacity=255, z=0, compressed=True):
    head = struct.pack('<HhhBHh5x', index, x, y, opacity, 2 if compressed else 0, z) + struct.pack('<HH', w, h)
    return chunk(0x2005, head + (zlib.compress(pixels) if compressed else pixels))


def linked(index, frame):
    return chunk(0x2005, struct.pack('<HhhBHh5xH', index, 0, 0, 255, 1, 0, frame))


def palette(colours):
    body = struct.pack('<III8x', len(colours), 0, len(colours) - 1)
    return chunk(0x2019, body + b''.join(struct.pack('<H4B', 0, *c) for c in colours))


def old_palette(colours, six_bits=False):
    body = struct.pack('<HBB', 1, 0, len(colours) % 256) + b''.join(bytes(c) for c in colours)
    return chunk(0x0011 if six_bits else 0x0004, body)


def tags(entries):
    body = struct.pack('<H8x', len(entries))
    for name, start, end, direction, repeat in entries:
        body += struct.pack('<HHBH6x3xx', start, end, direction, repeat) + text(name)
    return chunk(0x2018, body)


def ase(width, height, depth, frames, transparent=0):
    """frames: (duration, [chunks]) each."""
    body = b''
    for duration, chunks in frames:
        data = b''.join(chunks)
        body += struct.pack('<IHHH2xI', 16 + len(data), 0xF1FA, len(chunks), duration, 0) + data
    header = struct.pack('<IHHHHHIH8xB3xHBBhhHH', 128 + len(body), 0xA5E0, len(frames), width, height,
                         depth, 1, 100, transparent, 0, 1, 1, 0, 0, 0, 0)
    return header + bytes(128 - len(header)) + body


def rgba(w, h, colour_at):
    return b''.join(bytes(colour_at(x, y)) for y in range(h) for x in range(w))


# What the file means: a model of its frames, drawn as the description says.
def over(source, target):
    sa, ta = source[3], target[3]
    if sa == 255 or ta == 0:
        return source
    if sa == 0:
        return target
    weight = ta * (255 - sa)
    total = sa * 255 + weight
    return tuple((s * sa * 255 + t * weight + total // 2) // total for s, t in zip(source[:3], target[:3])) + \
        ((total + 127) // 255,)


def draw(canvas, size, x0, y0, w, h, colour_at, opacity=255):
    for y in range(h):
        for x in range(w):
            if 0 <= x0 + x < size[0] and 0 <= y0 + y < size[1]:
                c = colour_at(x, y)
                c = (c[0], c[1], c[2], (c[3] * opacity + 127) // 255)
                canvas[(x0 + x, y0 + y)] = over(c, canvas.get((x0 + x, y0 + y), (0, 0, 0, 0)))


def on_white(canvas, size):
    picture = Image.new('RGB', size, (255, 255, 255))
    for (x, y), c in canvas.items():
        a = c[3]
        picture.putpixel((x, y), tuple((v * a + 255 * (255 - a) + 127) // 255 for v in c[:3]))
    return picture


def check(name, data, expected, *options):
    """expected: [(canvas, duration)] over a canvas of `size` placed at (0, 0)."""
    path, tgl = os.path.join(work, name + '.aseprite'), os.path.join(work, name + '.tgl')
    with open(path, 'wb') as out:
        out.write(data)
    result = subprocess.run([*tool, 'pack', path, '-o', tgl, '--no-trim', '--at', '0,0', '--force', *options],
                            capture_output=True, text=True)
    if result.returncode != 0:
        failures.append(f'{name}: {result.stderr.strip()}')
        return
    shown = os.path.join(work, name)
    subprocess.run([*tool, 'render', tgl, '--all', '-o', shown, '--force'], check=True, capture_output=True)
    times = [f['duration'] for f in json.loads(subprocess.run([*tool, 'info', '--json', tgl], check=True,
                                                              capture_output=True).stdout)['frames']]
    if times != [t for _, t, _ in expected]:
        failures.append(f'{name}: times {times}, not {[t for _, t, _ in expected]}')
    for i, (canvas, _, size) in enumerate(expected):
        got = Image.open(os.path.join(shown, f'frame_{i:03d}.png')).convert('RGB').crop((0, 0, *size))
        want = on_white(canvas, size)
        worst = max(max(abs(a - b) for a, b in zip(p, q)) for p, q in zip(got.getdata(), want.getdata()))
        if worst > 1:
            failures.append(f'{name}: frame {i} differs by {worst}')


red = lambda x, y: (220, 30, 30, 255)
glass = lambda x, y: (20, 60, 240, 40 + 20 * x)
shade = lambda x, y: (10 * x, 20 * y, 200, 255)

# RGBA: two layers, layer and cel opacity, raw and compressed cels, a cel past
# the canvas, short and long times.
frames, expected = [], []
for i, (duration, x) in enumerate([(10, -3), (250, 12)]):
    frames.append((duration, ([layer('back'), layer('front', opacity=128)] if i == 0 else []) + [
        cel(0, 2, 2, 8, 6, rgba(8, 6, shade), compressed=i == 0),
        cel(1, x, 4, 6, 5, rgba(6, 5, glass), opacity=200)]))
    canvas = {}
    draw(canvas, (16, 12), 2, 2, 8, 6, shade)
    draw(canvas, (16, 12), x, 4, 6, 5, glass, (200 * 128 + 127) // 255)
    expected.append((canvas, duration, (16, 12)))
check('rgba', ase(16, 12, 32, frames), expected)

# Grayscale: value and alpha.
grey = lambda x, y: (30 * x, 30 * x, 30 * x, 255 - 40 * y)
check('grayscale', ase(6, 4, 16, [(100, [layer('g'), cel(0, 0, 0, 6, 4, bytes(
    b for y in range(4) for x in range(6) for b in (30 * x, 255 - 40 * y)))])]),
      [({(x, y): grey(x, y) for x in range(6) for y in range(4)}, 100, (6, 4))])

# Indexed: the transparent index shows nothing but on the background layer;
# the new palette, the old one and the old one of 6 bits.
colours = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
indexes = bytes([1, 2, 3, 0] * 3)
for name, table in (('indexed', palette([c + (255,) for c in colours])), ('old_palette', old_palette(colours)),
                    ('old_palette_6bit', old_palette([tuple(v // 4 for v in c) for c in colours], True))):
    canvas = {}
    for y in range(3):
        for x in range(4):
            index = indexes[y * 4 + x]
            canvas[(x, y)] = colours[index] + (255,)  # the background layer's
            if index != 0:
                canvas[(x, y + 3)] = colours[index] + (255,)
    check(name, ase(4, 6, 8, [(100, [table, layer('bg', background=True), layer('top'),
                                     cel(0, 0, 0, 4, 3, indexes), cel(1, 0, 3, 4, 3, indexes)])], transparent=0),
          [(canvas, 100, (4, 6))])

# Hidden layers and groups; a group's opacity; z-index; linked cels; --layer.
blue = lambda x, y: (0, 0, 255, 255)
layers = [layer('hidden', visible=False), layer('shut', group=True, visible=False), layer('inside', level=1),
          layer('open', group=True, opacity=128), layer('child', level=1), layer('top')]
first = [cel(0, 0, 0, 4, 4, rgba(4, 4, red)), cel(2, 0, 0, 4, 4, rgba(4, 4, red)),
         cel(4, 1, 1, 3, 3, rgba(3, 3, blue)), cel(5, 0, 0, 2, 2, rgba(2, 2, red), z=-2)]
canvas = {}
draw(canvas, (4, 4), 0, 0, 2, 2, red)  # drawn before "child" by its z-index
draw(canvas, (4, 4), 1, 1, 3, 3, blue, 128)
check('layers', ase(4, 4, 32, [(60, layers + first), (70, [linked(4, 0), linked(5, 0)])]),
      [(canvas, 60, (4, 4)), (canvas, 70, (4, 4))])
only = {}
draw(only, (4, 4), 1, 1, 3, 3, blue, 128)
check('layer_option', ase(4, 4, 32, [(60, layers + first)]), [(only, 60, (4, 4))], '--layer', 'open')

# Tags: forward, reverse, ping-pong, ping-pong reverse, a repeat count.
def solid(i):
    return lambda x, y: (40 * i, 255 - 40 * i, 0, 255)


tagged = [(10 + i, ([layer('l'), tags([('f', 1, 3, 0, 0), ('r', 1, 3, 1, 0), ('p', 0, 3, 2, 0),
                                       ('q', 0, 2, 3, 0), ('twice', 2, 3, 0, 2)])] if i == 0 else [])
           + [cel(0, 0, 0, 2, 2, rgba(2, 2, solid(i)))]) for i in range(5)]
for tag, order in (('f', [1, 2, 3]), ('r', [3, 2, 1]), ('p', [0, 1, 2, 3, 2, 1]), ('q', [2, 1, 0, 1]),
                   ('twice', [2, 3, 2, 3])):
    check('tag_' + tag, ase(2, 2, 32, tagged),
          [({(x, y): solid(i)(x, y) for x in range(2) for y in range(2)}, 10 + i, (2, 2)) for i in order], '--tag', tag)

# A blend mode other than normal is drawn as normal, and said.
blended = ase(2, 2, 32, [(100, [layer('multiply', blend=1), cel(0, 0, 0, 2, 2, rgba(2, 2, red))])])
with open(os.path.join(work, 'blend.aseprite'), 'wb') as out:
    out.write(blended)
result = subprocess.run([*tool, 'pack', os.path.join(work, 'blend.aseprite'), '-o', os.path.join(work, 'b.tgl'),
                         '--force'], capture_output=True, text=True)
if result.returncode != 0 or 'drawn as normal' not in result.stderr:
    failures.append(f'blend mode: {result.returncode}, {result.stderr.strip()}')

# Broken files: one line, exit 2, nothing written.
good = ase(4, 4, 32, [(60, layers + first)])
big = ase(4, 4, 32, [(60, [layer('l'), cel(0, 0, 0, 16385, 1, b'')])])
# One cel of 2^24 pixels drawn in 257 frames: past the 2^32 pixels composed.
bomb = ase(2, 2, 32, [(10, [layer('l'), cel(0, 0, 0, 4096, 4096, bytes(4096 * 4096 * 4))])] +
           [(10, [linked(0, 0)])] * 256)
for name, data in (('cut', good[:len(good) - 9]), ('magic', good[:4] + b'\0\0' + good[6:]), ('big_cel', big), ('bomb', bomb),
                   ('depth', good[:12] + b'\x18\x00' + good[14:]), ('no_layer', ase(2, 2, 32, [(1, [cel(3, 0, 0, 1, 1, b'abcd')])]))):
    path, out = os.path.join(work, name + '.aseprite'), os.path.join(work, name + '.tgl')
    with open(path, 'wb') as f:
        f.write(data)
    result = subprocess.run([*tool, 'pack', path, '-o', out], capture_output=True, text=True)
    if result.returncode != 2 or os.path.exists(out) or len(result.stderr.strip().splitlines()) != 1:
        failures.append(f'{name}: exit {result.returncode}, said {result.stderr.strip()!r}')

for failure in failures:
    print('FAILED:', failure)
print(f'{len(failures)} failure(s)')
sys.exit(1 if failures else 0)
