#!/usr/bin/python3
"""Makes the 420 files of the aged benchmark volume with real encoders.

    aged_volume_files.py STAGE SEED > LIST

Writes each file under STAGE/<folder>/<name> and prints one line per file,
"<kind>\t/<folder>/<name>", in the order they go onto the volume. Every name
is unique across the volume. The same seed makes the same files, except
where an encoder stamps its own version or the time into its output.
"""
import io
import os
import random
import sqlite3
import struct
import subprocess
import sys
import zlib

from PIL import Image, ImageDraw, ImageFilter

STAGE, SEED = sys.argv[1], int(sys.argv[2])
R = random.Random(SEED)
WORK = os.path.join(STAGE, ".work")
os.makedirs(WORK, exist_ok=True)
FIXED_TIME = "2024-05-01 12:00:00"
WORDS = ("cluster volume record deleted photo index journal holiday invoice garden kitchen letter "
         "meeting budget river mountain station report summary contract table window school").split()

planned = []


def out_path(folder, name):
    d = os.path.join(STAGE, folder)
    os.makedirs(d, exist_ok=True)
    return os.path.join(d, name)


def emit(kind, folder, name):
    planned.append((kind, "/%s/%s" % (folder, name)))


def run(*cmd, cwd=None):
    subprocess.run(cmd, check=True, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def text(n):
    lines, line = [], []
    for _ in range(n):
        line.append(R.choice(WORDS))
        if len(line) > R.randrange(6, 14):
            lines.append(" ".join(line).capitalize() + ".")
            line = []
    return ("\n".join(lines) + "\n").encode()


def grain(w, h):
    return Image.frombytes("L", (w, h), R.randbytes(w * h))


def photo(w, h):
    """A photo-like picture: smooth colour fields, shapes and sensor grain."""
    base = Image.new("RGB", (8, 6))
    base.putdata([tuple(R.randrange(30, 225) for _ in range(3)) for _ in range(48)])
    sw, sh = max(w // 4, 8), max(h // 4, 8)
    img = base.resize((sw, sh), Image.BICUBIC)
    draw = ImageDraw.Draw(img)
    for _ in range(R.randrange(4, 12)):
        x, y = R.randrange(sw), R.randrange(sh)
        rw, rh = R.randrange(sw // 10 + 1, sw // 3 + 2), R.randrange(sh // 10 + 1, sh // 3 + 2)
        draw.ellipse((x, y, x + rw, y + rh), fill=tuple(R.randrange(256) for _ in range(3)))
    img = img.filter(ImageFilter.GaussianBlur(1)).resize((w, h), Image.BICUBIC)
    return Image.blend(img, grain(w, h).convert("RGB"), R.uniform(0.06, 0.16))


def scan_page(w, h):
    """A scanned page: grey paper, lines of dark strokes, a little noise."""
    img = Image.new("L", (w, h), 235)
    draw = ImageDraw.Draw(img)
    y = h // 12
    while y < h - h // 12:
        x = w // 10
        while x < w - w // 10:
            n = R.randrange(8, 60)
            draw.rectangle((x, y, x + n, y + max(2, h // 90)), fill=R.randrange(20, 80))
            x += n + R.randrange(6, 16)
        y += max(6, h // 40)
    return Image.blend(img, grain(w, h), 0.08)


def exif_for(i):
    exif = Image.Exif()
    exif[0x010F] = R.choice(["Canon", "NIKON CORPORATION", "FUJIFILM", "OLYMPUS"])
    exif[0x0110] = "Model %d" % R.randrange(100, 999)
    exif[0x0132] = "2023:%02d:%02d %02d:%02d:%02d" % (R.randrange(1, 13), R.randrange(1, 29), R.randrange(24),
                                                     R.randrange(60), R.randrange(60))
    exif[0x010E] = "picture %d" % i
    return exif


def hand_pdf(pages):
    """A text PDF written object by object, with its cross-reference table."""
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>", None,
            b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    kids = []
    for _ in range(pages):
        lines = text(R.randrange(200, 900)).decode().splitlines()
        body = "BT /F1 10 Tf 50 780 Td 12 TL " + " ".join(
            "(%s) '" % l.replace("(", "").replace(")", "") for l in lines[:60]) + " ET"
        stream = zlib.compress(body.encode())
        objs.append(b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(stream) + stream + b"\nendstream")
        content = len(objs)
        objs.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R "
                    b"/Resources << /Font << /F1 3 0 R >> >> >>" % content)
        kids.append(len(objs))
    objs[1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(b"%d 0 R" % k for k in kids), len(kids))
    pdf = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for i, obj in enumerate(objs, 1):
        offsets.append(len(pdf))
        pdf += b"%d 0 obj\n" % i + obj + b"\nendobj\n"
    at = len(pdf)
    pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    pdf += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, at)
    return bytes(pdf)


def fixed_times(top):
    for d, _, files in os.walk(top):
        for f in files + [""]:
            run("touch", "-h", "-d", FIXED_TIME, os.path.join(d, f))


def office_tree(kind, at):
    """The member files of a DOCX or an ODT, under folder `at`."""
    body = text(R.randrange(800, 20000)).decode()
    files = {}
    if kind == "docx":
        files["[Content_Types].xml"] = '<?xml version="1.0"?><Types xmlns="ct"><Default Extension="xml"/></Types>'
        files["_rels/.rels"] = '<?xml version="1.0"?><Relationships/>'
        files["docProps/core.xml"] = '<?xml version="1.0"?><coreProperties><title>%s</title></coreProperties>' % (
            R.choice(WORDS))
        files["word/document.xml"] = '<?xml version="1.0"?><w:document><w:body>%s</w:body></w:document>' % "".join(
            "<w:p><w:r><w:t>%s</w:t></w:r></w:p>" % p for p in body.splitlines())
    else:
        files["mimetype"] = "application/vnd.oasis.opendocument.text"
        files["META-INF/manifest.xml"] = '<?xml version="1.0"?><manifest:manifest/>'
        files["content.xml"] = '<?xml version="1.0"?><office:document-content><office:text>%s</office:text>' \
                               '</office:document-content>' % "".join("<text:p>%s</text:p>" % p
                                                                      for p in body.splitlines())
        files["styles.xml"] = '<?xml version="1.0"?><office:document-styles/>'
    if R.random() < 0.4:
        pic = photo(R.randrange(200, 700), R.randrange(150, 500))
        buf = io.BytesIO()
        pic.save(buf, "JPEG", quality=85)
        files[("word/media/image1.jpeg" if kind == "docx" else "Pictures/image1.jpg")] = buf.getvalue()
    for name, data in files.items():
        p = os.path.join(at, name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)
    fixed_times(at)


def sound_wav(path, seconds, rate=44100):
    tones = " ".join("%s %d" % (R.choice(["sine", "triangle", "square"]), R.randrange(110, 1200))
                     for _ in range(R.randrange(1, 4)))
    run("sox", "-n", "-r", str(rate), "-c", "2", "-b", "16", path, "synth", "%.2f" % seconds,
        *tones.split(), "tremolo", str(R.randrange(2, 9)), "40", "gain", "-6")


def size_class():
    """Most files small or middling, a few of a few MiB."""
    return R.choices(["small", "medium", "large"], [45, 40, 15])[0]


def dims(cls):
    return {"small": (R.randrange(320, 800), R.randrange(240, 600)),
            "medium": (R.randrange(900, 1700), R.randrange(700, 1200)),
            "large": (R.randrange(2000, 3000), R.randrange(1500, 2200))}[cls]


# JPEG photos with EXIF, by Pillow (libjpeg).
for i in range(120):
    folder = "Photos/%d" % (2019 + i % 5)
    name = "IMG_%04d.jpg" % (1000 + i)
    w, h = dims(size_class())
    photo(w, h).save(out_path(folder, name), "JPEG", quality=R.randrange(80, 96), exif=exif_for(i))
    emit("jpeg", folder, name)
# JPEG by ImageMagick, from its plasma generator.
for i in range(20):
    folder, name = "Photos/Camera", "DSC%05d.jpg" % (i + 1)
    w, h = dims(R.choice(["small", "medium"]))
    run("convert", "-seed", str(SEED + i), "-size", "%dx%d" % (w, h), "plasma:", "-quality", "90",
        "-set", "comment", "camera roll %d" % i, out_path(folder, name))
    emit("jpeg", folder, name)
# PNG scans (Pillow) and pictures (ImageMagick).
for i in range(50):
    folder, name = "Scans", "scan_%03d.png" % i
    w, h = R.choice([(850, 1100), (1240, 1754), (620, 877)])
    scan_page(w, h).save(out_path(folder, name), "PNG", compress_level=R.randrange(3, 9))
    emit("png", folder, name)
for i in range(10):
    folder, name = "Pictures", "drawing_%02d.png" % i
    w, h = dims("small")
    run("convert", "-seed", str(SEED + 100 + i), "-size", "%dx%d" % (w, h), "plasma:", "-blur", "0x3",
        out_path(folder, name))
    emit("png", folder, name)
# GIF, TIFF, BMP.
for i in range(20):
    folder, name = "Pictures/gif", "anim_%02d.gif" % i
    w, h = R.randrange(120, 640), R.randrange(90, 480)
    frames = [photo(w, h).convert("P", palette=Image.ADAPTIVE, colors=R.choice([16, 64, 256]))
              for _ in range(R.choice([1, 1, 2, 3]))]
    frames[0].save(out_path(folder, name), "GIF", save_all=len(frames) > 1, append_images=frames[1:], duration=200)
    emit("gif", folder, name)
for i in range(15):
    folder, name = "Scans/tiff", "page_%02d.tif" % i
    img = scan_page(*R.choice([(850, 1100), (620, 877)])) if i % 2 else photo(*dims("small"))
    img.save(out_path(folder, name), "TIFF", compression=R.choice([None, "tiff_lzw", "tiff_deflate"]))
    emit("tiff", folder, name)
for i in range(15):
    folder, name = "Pictures/bmp", "icon_%02d.bmp" % i
    photo(R.randrange(64, 700), R.randrange(64, 500)).save(out_path(folder, name), "BMP")
    emit("bmp", folder, name)
# PDFs: pictures saved by Pillow, text written by hand.
for i in range(12):
    folder, name = "Documents/pdf", "brochure_%02d.pdf" % i
    pages = [photo(*dims("small")) for _ in range(R.randrange(1, 3))]
    pages[0].save(out_path(folder, name), "PDF", save_all=True, append_images=pages[1:], resolution=96)
    emit("pdf", folder, name)
for i in range(13):
    folder, name = "Documents/pdf", "letter_%02d.pdf" % i
    with open(out_path(folder, name), "wb") as f:
        f.write(hand_pdf(R.randrange(1, 6)))
    emit("pdf", folder, name)
# Office documents made with zip.
for i in range(30):
    kind = "docx" if i % 3 else "odt"
    folder, name = "Documents/office", "%s_%02d.%s" % (R.choice(WORDS), i, kind)
    tree = os.path.join(WORK, "office%d" % i)
    office_tree(kind, tree)
    target = os.path.abspath(out_path(folder, name))
    if kind == "odt":
        run("zip", "-X", "-q", "-0", target, "mimetype", cwd=tree)
        run("zip", "-X", "-q", "-r", "-9", target, ".", "-x", "mimetype", cwd=tree)
    else:
        run("zip", "-X", "-q", "-r", "-9", target, ".", cwd=tree)
    emit(kind, folder, name)
# Archives: zip, gzip, 7z.
for i in range(50):
    tree = os.path.join(WORK, "archive%d" % i)
    os.makedirs(tree)
    for j in range(R.randrange(1, 6)):
        with open(os.path.join(tree, "part%d.txt" % j), "wb") as f:
            f.write(text(R.randrange(200, 30000)))
    if R.random() < 0.5:
        photo(*dims("small")).save(os.path.join(tree, "cover.jpg"), "JPEG", quality=88)
    fixed_times(tree)
    if i < 20:
        folder, name = "Archives", "backup_%02d.zip" % i
        run("zip", "-X", "-q", "-r", "-%d" % R.randrange(1, 10), os.path.abspath(out_path(folder, name)), ".",
            cwd=tree)
        emit("zip", folder, name)
    elif i < 40:
        folder, name = "Archives", "log_%02d.txt.gz" % i
        with open(out_path(folder, name), "wb") as f:
            subprocess.run(["sh", "-c", "cat part*.txt | gzip -n -9"], check=True, cwd=tree, stdout=f)
        emit("gzip", folder, name)
    else:
        folder, name = "Archives", "bundle_%02d.7z" % i
        run("7z", "a", "-bd", "-mx=5", os.path.abspath(out_path(folder, name)), ".", cwd=tree)
        emit("7z", folder, name)
# Databases by SQLite.
for i in range(2):
    folder, name = "Data", "inventory_%d.sqlite" % i
    db = sqlite3.connect(out_path(folder, name))
    db.execute("CREATE TABLE item (id INTEGER PRIMARY KEY, name TEXT, note TEXT, price REAL)")
    db.executemany("INSERT INTO item (name, note, price) VALUES (?, ?, ?)",
                   [(R.choice(WORDS), text(R.randrange(5, 60)).decode(), R.randrange(100, 99999) / 100)
                    for _ in range(4000 + 6000 * i)])
    db.execute("CREATE INDEX item_name ON item (name)")
    db.commit()
    db.close()
    emit("sqlite", folder, name)
# Sound: WAV by sox, FLAC by flac, MP3 by lame.
for i in range(15):
    folder, name = "Music/wav", "take_%02d.wav" % i
    sound_wav(out_path(folder, name), R.uniform(0.5, 6))
    emit("wav", folder, name)
for i in range(15):
    folder, name = "Music/flac", "track_%02d.flac" % i
    wav = os.path.join(WORK, "f%d.wav" % i)
    sound_wav(wav, R.uniform(2, 15))
    run("flac", "-s", "-f", "-%d" % R.randrange(3, 9), "-o", out_path(folder, name), wav)
    emit("flac", folder, name)
for i in range(15):
    folder, name = "Music/mp3", "song_%02d.mp3" % i
    wav = os.path.join(WORK, "m%d.wav" % i)
    sound_wav(wav, R.uniform(5, 60))
    run("lame", "--quiet", "-b", str(R.choice([128, 192, 256])), "--tt", "song %d" % i, "--ta", "band", wav,
        out_path(folder, name))
    emit("mp3", folder, name)
# Plain text.
for i in range(18):
    folder = "Notes"
    ext = R.choice(["txt", "csv", "html", "md"])
    name = "note_%02d.%s" % (i, ext)
    body = text(R.randrange(100, 40000))
    if ext == "csv":
        body = b"".join(b"%d,%s,%d\n" % (j, R.choice(WORDS).encode(), R.randrange(1000)) for j in
                        range(R.randrange(100, 20000)))
    elif ext == "html":
        body = b"<!DOCTYPE html>\n<html><body><p>" + body.replace(b"\n", b"</p>\n<p>") + b"</p></body></html>\n"
    with open(out_path(folder, name), "wb") as f:
        f.write(body)
    emit("text", folder, name)

run("rm", "-rf", WORK)
assert len(planned) == 420, len(planned)
assert len({p.rsplit("/", 1)[1] for _, p in planned}) == 420, "names must be unique"
# The order they are written in: folders mixed, as a person fills a disk over time.
R.shuffle(planned)
for kind, path in planned:
    print("%s\t%s" % (kind, path))
