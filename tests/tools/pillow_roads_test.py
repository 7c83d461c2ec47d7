"""Roads for artists, judged by Pillow.

Animated PNG both ways: APNGs that Pillow writes (every
dispose x blend pair) are packed by `tgl` and rendered as the viewer shows
them, frame for frame and time for time; and Pillow reads back the frames and
times of `tgl render OUT.apng`, repeats merged and a time past APNG's
65.535 s kept. (Pillow blends a partly transparent frame over another with a
paste that is not an "over", and draws the first frame over a default image
outside the animation: the browser test judges those cases with Chromium.)
A strip or grid made here comes back frame for frame; and every output of
--scale N is the 1x picture with each pixel an N x N block.

    /usr/bin/python3 pillow_roads_test.py TGL SAMPLE
Skips, saying so, where Pillow is absent."""
import json
import os
import subprocess
import sys
import tempfile

tool = sys.argv[1]
try:
    from PIL import Image, ImageChops
except ImportError as missing:
    print(f'skipped: {missing}')
    sys.exit(0)

work = tempfile.TemporaryDirectory().name
os.makedirs(work)
failures = []


def run(*arguments):
    result = subprocess.run([tool, *arguments], capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit(f'FAILED: tgl {" ".join(arguments)}: {result.stderr.strip()}')
    return result.stdout


def pillow_frames(path):
    """Each frame as Pillow composes it, over white, with its time."""
    image, frames = Image.open(path), []
    for i in range(image.n_frames):
        image.seek(i)
        white = Image.new('RGBA', image.size, (255, 255, 255, 255))
        frames.append((Image.alpha_composite(white, image.convert('RGBA')).convert('RGB'),
                       int(image.info.get('duration', 0))))
    return frames


def viewer_frames(tgl, size):
    """Each frame as the viewer shows it, cut to the canvas at (0, 0), with its time."""
    shown = os.path.join(work, 'shown')
    run('render', tgl, '--all', '-o', shown, '--force')
    times = [f['duration'] for f in json.loads(run('info', '--json', tgl))['frames']]
    return [(Image.open(os.path.join(shown, f'frame_{i:03d}.png')).convert('RGB').crop((0, 0, *size)), t)
            for i, t in enumerate(times)]


def largest_difference(a, b):
    return max(high for _, high in ImageChops.difference(a, b).getextrema())


def squares(colours):
    """A frame per colour: a square moving right and down on transparency."""
    frames = []
    for i, colour in enumerate(colours):
        frame = Image.new('RGBA', (40, 30), (0, 0, 0, 0))
        frame.paste(Image.new('RGBA', (21, 15), colour), (4 + 5 * i, 5 + 3 * i))
        frames.append(frame)
    return frames


times = [10, 250, 7000, 40]
for dispose in (0, 1, 2):
    for blend, colours in ((0, [(255, 0, 0, 255), (0, 200, 0, 128), (0, 0, 255, 255), (250, 250, 0, 60)]),
                           (1, [(255, 0, 0, 255), (0, 200, 0, 255), (0, 0, 255, 255), (250, 250, 0, 255)])):
        frames = squares(colours)
        path = os.path.join(work, f'd{dispose}b{blend}.png')
        frames[0].save(path, save_all=True, append_images=frames[1:], duration=times, loop=0,
                       disposal=dispose, blend=blend)
        tgl = os.path.join(work, 'in.tgl')
        run('pack', path, '-o', tgl, '--no-trim', '--at', '0,0', '--force')
        judged, shown = pillow_frames(path), viewer_frames(tgl, (40, 30))
        if len(judged) != len(shown):
            failures.append(f'{path}: {len(shown)} frames, Pillow {len(judged)}')
            continue
        for i, ((want, want_time), (got, got_time)) in enumerate(zip(judged, shown)):
            if largest_difference(want, got) != 0 or want_time != got_time:
                failures.append(f'{os.path.basename(path)} frame {i}: differs by '
                                f'{largest_difference(want, got)}, {got_time} ms for {want_time}')

# Out: the sample's frames, a repeated frame and a long one, read back by Pillow.
sample = os.path.join(work, 'long.tgl')
still = os.path.join(work, 'still.png')
Image.new('RGBA', (8, 8), (0, 90, 200, 255)).save(still)
run('pack', still, still, still, '-o', sample, '--durations', '100,200,70000', '--force')
for tgl, expected_times in ((sys.argv[2], None), (sample, [70300])):
    apng = os.path.join(work, 'out.apng')
    run('render', tgl, '-o', apng, '--force')
    shown = viewer_frames(tgl, (800, 600))
    back = pillow_frames(apng)
    # Pillow gives a long time as frames of their own: add them up as a viewer does.
    merged = []
    for picture, time in back:
        if merged and largest_difference(merged[-1][0], picture) == 0:
            merged[-1] = (picture, merged[-1][1] + time)
        else:
            merged.append((picture, time))
    want = shown if expected_times is None else [(shown[0][0], expected_times[0])]
    if [t for _, t in merged] != [t for _, t in want]:
        failures.append(f'{tgl} as APNG: times {[t for _, t in merged]}, want {[t for _, t in want]}')
    for i, ((picture, _), (wanted, _)) in enumerate(zip(merged, want)):
        if largest_difference(picture, wanted) != 0:
            failures.append(f'{tgl} as APNG: frame {i} differs')

# A grid of 16 x 12 cells, 2 pixels of margin and 1 between, five cells drawn
# and a sixth left empty: five frames, each its cell.
sheet = Image.new('RGBA', (2 * 2 + 3 * 16 + 2, 2 * 2 + 2 * 12 + 1), (0, 0, 0, 0))
cells = []
for i in range(5):
    cell = Image.new('RGBA', (16, 12), (40 * i, 255 - 40 * i, 90, 255))
    cell.putpixel((i, i), (0, 0, 0, 100 + i))
    sheet.paste(cell, (2 + (i % 3) * 17, 2 + (i // 3) * 13))
    cells.append(cell)
strip = os.path.join(work, 'grid.png')
sheet.save(strip)
grid = os.path.join(work, 'grid.tgl')
run('pack', strip, '--grid', '16x12', '--margin', '2', '--spacing', '1', '--duration', '70',
    '-o', grid, '--no-trim', '--at', '0,0', '--force')
shown = viewer_frames(grid, (16, 12))
white = Image.new('RGBA', (16, 12), (255, 255, 255, 255))
wanted = [(Image.alpha_composite(white, cell).convert('RGB'), 70) for cell in cells]
if len(shown) != 5 or any(largest_difference(a, b) or at != bt for (a, at), (b, bt) in zip(shown, wanted)):
    failures.append(f'grid: {len(shown)} frames, not the five cells of 70 ms')

# --scale 3: every output the 1x picture, each pixel a 3 x 3 block.
sample = sys.argv[2]
outputs = {'one.png': [], 'anim.gif': ['--crop'], 'anim.webp': [], 'anim.apng': []}
for name, extra in outputs.items():
    one, three = (os.path.join(work, f'{scale}{name}') for scale in (1, 3))
    run('render', sample, '-o', one, *extra, '--force')
    run('render', sample, '-o', three, *extra, '--scale', '3', '--force')
    small, large = Image.open(one), Image.open(three)
    for i in range(getattr(small, 'n_frames', 1)):
        small.seek(i)
        large.seek(i)
        blocks = small.convert('RGBA').resize((small.width * 3, small.height * 3), Image.NEAREST)
        if large.size != blocks.size or largest_difference(large.convert('RGBA'), blocks):
            failures.append(f'--scale 3 {name}: frame {i} is not the 1x frame in 3 x 3 blocks')
run('render', sample, '--all', '--range', '2-3', '-o', os.path.join(work, 'all3'), '--scale', '3', '--force')
run('render', sample, '--frame', '2', '-o', os.path.join(work, 'two.png'), '--force')
blocks = Image.open(os.path.join(work, 'two.png')).resize((2400, 1800), Image.NEAREST)
if largest_difference(Image.open(os.path.join(work, 'all3', 'frame_002.png')), blocks):
    failures.append('--scale 3 --all: frame 2 is not the 1x frame in 3 x 3 blocks')

# Sheets: with --padding 3 --extrude 2, and at --scale 3, each sprite is the
# plain sheet's, in blocks where scaled, where the JSON says; cells (sprites and
# their repeated edges) lie 3 pixels apart at least.
def sheet(name, *extra):
    png = os.path.join(work, name + '.png')
    run('export', sample, '--sheet', png, '--json-array', '--force', *extra)
    with open(os.path.join(work, name + '.json')) as description:
        return Image.open(png).convert('RGBA'), json.load(description)['frames']


def sprite(image, frame):
    r = frame['frame']
    return image.crop((r['x'], r['y'], r['x'] + r['w'], r['y'] + r['h']))


plain, plain_frames = sheet('plain')
padded, padded_frames = sheet('padded', '--padding', '3', '--extrude', '2')
scaled, scaled_frames = sheet('scaled', '--scale', '3')
cells = []
for one, two, three in zip(plain_frames, padded_frames, scaled_frames):
    want = sprite(plain, one)
    if largest_difference(sprite(padded, two), want):
        failures.append(f'--extrude: {two["filename"]} is not its sprite')
    if largest_difference(sprite(scaled, three), want.resize((want.width * 3, want.height * 3), Image.NEAREST)):
        failures.append(f'--scale 3 sheet: {three["filename"]} is not its sprite in blocks')
    if [three['spriteSourceSize'][k] for k in 'xywh'] != [3 * one['spriteSourceSize'][k] for k in 'xywh']:
        failures.append(f'--scale 3 sheet: {three["filename"]} is not placed at three times')
    r = two['frame']
    for k in (1, 2):  # the edges, repeated outwards
        for y in range(r['y'], r['y'] + r['h']):
            if padded.getpixel((r['x'] - k, y)) != padded.getpixel((r['x'], y)) or \
                    padded.getpixel((r['x'] + r['w'] - 1 + k, y)) != padded.getpixel((r['x'] + r['w'] - 1, y)):
                failures.append(f'--extrude: {two["filename"]} row {y} is not repeated {k} out')
                break
    cells.append((r['x'] - 2, r['y'] - 2, r['x'] + r['w'] + 2, r['y'] + r['h'] + 2))
cells = sorted(set(cells))
for i, a in enumerate(cells):
    for b in cells[i + 1:]:
        apart = max(b[0] - a[2], a[0] - b[2], b[1] - a[3], a[1] - b[3])
        if apart < 3:
            failures.append(f'--padding 3: cells {a} and {b} are {apart} apart')

for failure in failures:
    print('FAILED:', failure)
print(f'{len(failures)} failure(s)')
sys.exit(1 if failures else 0)
