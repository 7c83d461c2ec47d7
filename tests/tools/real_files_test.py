"""Still images nobody here made, through the tool: each file is packed and
rendered by `tgl`, and the picture compared with the judge named for it: the
suite's own reference picture where it has one, else an independent decoder
(Pillow, or gdk-pixbuf where Pillow is wrong or refuses).

    /usr/bin/python3 real_files_test.py TGL TESTDATA
Skips, saying so, where the folder, Pillow or gdk-pixbuf's bindings are absent."""
import glob
import os
import subprocess
import sys
import tarfile
import tempfile
import warnings

tool, testdata = sys.argv[1], sys.argv[2]
try:
    import gi
    gi.require_version('GdkPixbuf', '2.0')
    from gi.repository import GdkPixbuf
    from PIL import Image
except (ImportError, ValueError) as missing:
    print(f'skipped: {missing}')
    sys.exit(0)
if not os.path.isdir(testdata):
    print(f'skipped: no {testdata}')
    sys.exit(0)

warnings.simplefilter('ignore')  # Pillow's notes on odd files
folder = tempfile.TemporaryDirectory()
work = folder.name
for tarball in glob.glob(os.path.join(testdata, '*.tar.gz')):
    with tarfile.open(tarball) as archive:
        archive.extractall(work)
pillow_images = os.path.join(work, 'Tests/images')

# Pillow's RLE4 decoding is off and it refuses this bitfields layout.
GDK_PIXBUF_JUDGES = {'pal4rle.bmp', 'rgb32bf.bmp'}
# Files the viewer refuses although a judge reads them, and why.
REFUSED_KNOWINGLY = {
    'truncated_jpeg.jpg': 'the file is cut short',
    'ultrahdr.jpg': 'stb_image does not read this multi-picture (gain map) JPEG',
}


def through_the_tool(path):
    """The picture the viewer shows of the image at (0, 0) on white, or None when refused."""
    packed, shown = os.path.join(work, 'image.tgl'), os.path.join(work, 'shown.png')
    for command in ([tool, 'pack', path, '-o', packed, '--at', '0,0', '--force'],
                    [tool, 'render', packed, '-o', shown, '--force']):
        result = subprocess.run(command, capture_output=True)
        if result.returncode < 0:
            raise SystemExit(f'FAILED: {os.path.basename(path)}: {command[1]} died of signal {-result.returncode}')
        if result.returncode != 0:
            return None
    return Image.open(shown).convert('RGB')


def pillow(path):
    return Image.open(path)


def gdk_pixbuf(path):
    pixbuf = GdkPixbuf.Pixbuf.new_from_file(path)
    mode = 'RGBA' if pixbuf.get_has_alpha() else 'RGB'
    return Image.frombytes(mode, (pixbuf.get_width(), pixbuf.get_height()), pixbuf.get_pixels(),
                           'raw', mode, pixbuf.get_rowstride())


def over_white(image):
    image = image.convert('RGBA')
    return Image.alpha_composite(Image.new('RGBA', image.size, (255, 255, 255, 255)), image).convert('RGB')


def cases():
    """(file, judge's name, the judge's picture of it, largest and mean difference allowed)"""
    suite = os.path.join(work, 'tests/pngsuite')
    for path in sorted(glob.glob(f'{suite}/primary/*.png')):
        yield path, "PngSuite's reference", lambda p=path: pillow(p.replace('/primary/', '/primary_check/')), 1, 1
    for path in sorted(glob.glob(f'{pillow_images}/bmp/g/*.bmp')):
        name = os.path.basename(path)
        reference = f'{pillow_images}/bmp/html/{name[:-4]}.png'
        if os.path.exists(reference):
            yield path, "bmpsuite's reference", lambda r=reference: pillow(r), 1, 1
        elif name in GDK_PIXBUF_JUDGES:
            yield path, 'gdk-pixbuf', lambda p=path: gdk_pixbuf(p), 1, 1
        else:
            yield path, 'Pillow', lambda p=path: pillow(p), 1, 1
    for path in sorted(glob.glob(f'{pillow_images}/tga/common/*.tga')):
        yield path, "Pillow's reference PNG", lambda p=path: pillow(p.rsplit('_', 2)[0] + '.png'), 1, 1
    for path in sorted(glob.glob(f'{pillow_images}/*.jpg')):
        # Decoders may round the inverse DCT and the chroma upsampling differently.
        yield path, 'Pillow (libjpeg)', lambda p=path: pillow(p), 4, 0.2


failures, compared = [], 0
for path, judge, picture, largest, mean in cases():
    name = os.path.basename(path)
    shown = through_the_tool(path)
    if shown is None:
        if name not in REFUSED_KNOWINGLY:
            failures.append(f'{name}: refused, but {judge} reads it')
        continue
    try:
        expected = over_white(picture())
    except (OSError, ValueError, gi.repository.GLib.Error):
        print(f'{name}: shown, but no judge reads it')
        continue
    box = (0, 0, min(expected.width, 800), min(expected.height, 600))
    ours, theirs = shown.crop(box).tobytes(), expected.crop(box).tobytes()
    differences = [abs(a - b) for a, b in zip(ours, theirs)]
    worst, average = max(differences), sum(differences) / len(differences)
    compared += 1
    if worst > largest or average > mean:
        failures.append(f'{name}: off by {worst} at most, {average:.3f} on average, against {judge}')

# Broken files are refused or shown, never the end of the program.
broken = sorted(glob.glob(f'{work}/tests/pngsuite/corrupt/*.png')) + \
    sorted(glob.glob(f'{pillow_images}/bmp/b/*.bmp')) + sorted(glob.glob(f'{pillow_images}/bmp/q/*.bmp'))
for path in broken:
    through_the_tool(path)
corrupt_shown = [os.path.basename(p) for p in glob.glob(f'{work}/tests/pngsuite/corrupt/*.png')
                 if through_the_tool(p) is not None]
if corrupt_shown:
    failures.append(f'corrupt PNG files shown: {", ".join(corrupt_shown)}')

print(f'{compared} pictures compared with their judges; {len(broken)} broken or odd files read without harm')
for failure in failures:
    print('FAILED:', failure)
sys.exit(1 if failures else 0)
