#!/usr/bin/python3
"""Builds the parts of the browser program's site that are made from other files.

  site.py faces OUT-DIR SOURCE...
      cuts each of the page's three faces down to the characters the program can draw (every
      string and character literal of SOURCE..., the program's own sources, and every text of
      the HTML pages among them) plus printable ASCII,
      the yen sign and the kana, and writes them to OUT-DIR as WOFF2 under names of their own,
      hinting kept, with the licence and a note on how to put the original faces back
  site.py icon IN.png OUT.png
      the same picture with a palette and full compression
  site.py publish SITE CSS FACES-DIR SW-TEMPLATE
      gives each face a name made from its contents, writes the page's style sheet pointing at
      them, and writes the service worker (below)
  site.py worker SITE SW-TEMPLATE
      writes the site's service worker, with every file of the site and its SHA-256

Runs under Debian's Python (/usr/bin/python3), which has fontTools and its Brotli module.
"""

import hashlib
import os
import shutil
import struct
import sys
import zlib

# The faces the page falls back to where the system has neither the Windows faces nor IPA's: the
# file of each, and the name its subset goes by. The licence forbids the original's name in the
# name or file name of a font made from it.
FACES = [
    ("gothic/ipagp.ttf", "tapirun-pgothic", "Tapirun PGothic Subset"),
    ("mincho/ipamp.ttf", "tapirun-pmincho", "Tapirun PMincho Subset"),
    ("mincho/ipam.ttf", "tapirun-mincho", "Tapirun Mincho Subset"),
]
FONT_DIR = "/usr/share/fonts/opentype/ipafont-"
LICENCE = "/usr/share/doc/fonts-ipafont-gothic/copyright"

# What a learner's stray key can show whatever the program's texts are: printable ASCII, the yen
# sign of the JIS keyboard, the ideographic space and punctuation, hiragana, katakana and the
# half-width katakana.
STRAY = [(0x20, 0x7E), (0xA5, 0xA5), (0x3000, 0x303F), (0x3041, 0x309F), (0x30A0, 0x30FF), (0xFF61, 0xFF9F)]


def literals(text):
    """Every string and character literal of a C++ or JavaScript source, comments left out."""
    out = []
    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            i = n if end < 0 else end + 2
        elif text[i] in "\"'":
            quote, j, chars = text[i], i + 1, []
            while j < n and text[j] != quote and text[j] != "\n":
                if text[j] == "\\" and j + 1 < n:
                    chars.append(text[j + 1])
                    j += 2
                else:
                    chars.append(text[j])
                    j += 1
            out.append("".join(chars))
            i = j + 1
        else:
            i += 1
    return out


def page_texts(text):
    """The texts and attribute values of an HTML page."""
    from html.parser import HTMLParser

    class Texts(HTMLParser):
        def __init__(self):
            super().__init__()
            self.found = []

        def handle_data(self, data):
            self.found.append(data)

        def handle_starttag(self, tag, attrs):
            self.found.extend(value for _, value in attrs if value)

    parser = Texts()
    parser.feed(text)
    return parser.found


def drawable(sources):
    """The characters the program can draw: its literals' and the stray keys'."""
    chars = set()
    for path in sources:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for literal in page_texts(text) if path.endswith(".html") else literals(text):
            chars.update(c for c in literal if c.isprintable())
    for first, last in STRAY:
        chars.update(chr(c) for c in range(first, last + 1))
    return "".join(sorted(chars))


def rename(font, family):
    """Every name of the font that names it, in every language, becomes one of our own."""
    style = "Regular"
    postscript = family.replace(" ", "")
    names = {1: family, 2: style, 3: postscript + "-" + style, 4: family, 6: postscript,
             16: family, 17: style}
    table = font["name"]
    table.names = [r for r in table.names if r.nameID not in names and r.nameID not in (18, 20, 21)]
    for name_id, value in names.items():
        table.setName(value, name_id, 3, 1, 0x409)
        table.setName(value, name_id, 1, 0, 0)
    if "CFF " in font:
        font["CFF "].cff.fontNames = [postscript]


def faces(out_dir, sources):
    from fontTools import subset
    from fontTools.ttLib import TTFont

    text = drawable(sources)
    os.makedirs(out_dir, exist_ok=True)
    for source, name, family in FACES:
        options = subset.Options()
        options.flavor = "woff2"
        options.hinting = True
        options.layout_features = ["*"]
        options.name_IDs = ["*"]
        options.name_languages = ["*"]
        options.notdef_outline = True
        # The original's date stays, so that the same build makes the same file, under the same name.
        font = TTFont(FONT_DIR + source, recalcTimestamp=False)
        subsetter = subset.Subsetter(options)
        subsetter.populate(text=text)
        subsetter.subset(font)
        rename(font, family)
        subset.save_font(font, os.path.join(out_dir, name + ".woff2"), options)
    with open(os.path.join(out_dir, "characters.txt"), "w", encoding="utf-8") as f:
        f.write(text + "\n")
    shutil.copyfile(LICENCE, os.path.join(out_dir, "LICENSE.txt"))
    with open(os.path.join(out_dir, "README.txt"), "w", encoding="utf-8") as f:
        f.write(README % {"faces": "\n".join("  %s.*.woff2  from  %s" % (name, os.path.basename(source))
                                             for source, name, _ in FACES)})


README = """The faces in this folder are subsets of IPAPGothic, IPAPMincho and IPAMincho, the IPA
Fonts of the Information-technology Promotion Agency, Japan, made from the original outlines with
their hinting, converted to WOFF2 and renamed, under the IPA Font License Agreement v1.0, whose
full text is LICENSE.txt beside this note; they are licensed under the same agreement.

%(faces)s

Each holds the characters listed in characters.txt: every character the program can draw, plus
printable ASCII, the yen sign and the kana. They were made with fontTools' subsetter from the
files of Debian's fonts-ipafont-gothic and fonts-ipafont-mincho packages; the program that makes
them is dist/web/site.py in Tapirun's source.

To use the original fonts instead:
  - install the IPA fonts on the computer (Debian: fonts-ipafont-gothic and fonts-ipafont-mincho;
    elsewhere from https://moji.or.jp/ipafont/). The page asks for the installed faces first and
    then does not load these files at all; or
  - put the original ipagp.ttf, ipamp.ttf and ipam.ttf in this folder and change the three
    url(...) entries of tapirun.css to fonts/ipagp.ttf, fonts/ipamp.ttf and fonts/ipam.ttf with
    format("truetype"). The service worker, sw.js, lists every file of the site with its
    digest, so write it again (dist/web/site.py worker SITE-DIR dist/web/sw.js.in, from
    Tapirun's source) or remove it; without it the page works, but not offline.
"""


def icon(source, target):
    """Rewrites an RGBA PNG of few colours with a palette, at the least depth, fully compressed."""
    data = open(source, "rb").read()
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace:
        sys.exit("site.py: %s is not an 8-bit RGBA PNG" % source)
    raw = zlib.decompress(idat)
    stride = width * 4
    rows = []
    for y in range(height):
        row = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        if row[0] != 0:
            sys.exit("site.py: %s uses PNG filters" % source)
        rows.append([bytes(row[1 + x * 4:5 + x * 4]) for x in range(width)])
    colours = sorted({pixel for row in rows for pixel in row}, key=lambda p: p[3])
    if len(colours) > 256:
        shutil.copyfile(source, target)
        return
    index = {pixel: i for i, pixel in enumerate(colours)}
    bits = next(b for b in (1, 2, 4, 8) if len(colours) <= 1 << b)
    packed = bytearray()
    for row in rows:
        packed.append(0)
        value, filled = 0, 0
        for pixel in row:
            value = (value << bits) | index[pixel]
            filled += bits
            if filled == 8:
                packed.append(value)
                value, filled = 0, 0
        if filled:
            packed.append(value << (8 - filled))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    alpha = bytes(p[3] for p in colours if p[3] < 255)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bits, 3, 0, 0, 0))
    out += chunk(b"PLTE", b"".join(p[:3] for p in colours))
    if alpha:
        out += chunk(b"tRNS", alpha)
    out += chunk(b"IDAT", zlib.compress(bytes(packed), 9)) + chunk(b"IEND", b"")
    with open(target, "wb") as f:
        f.write(out)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def publish(site, css, faces_dir, template):
    """Names each face after its contents, so that a host may keep it for ever and the service
    worker keep it across releases, and lists the site for the service worker."""
    fonts = os.path.join(site, "fonts")
    os.makedirs(fonts, exist_ok=True)
    for old in os.listdir(fonts):
        os.remove(os.path.join(fonts, old))
    with open(css, encoding="utf-8") as f:
        style = f.read()
    for _, name, _ in FACES:
        source = os.path.join(faces_dir, name + ".woff2")
        hashed = "%s.%s.woff2" % (name, sha256(source)[:12])
        shutil.copyfile(source, os.path.join(fonts, hashed))
        plain = "fonts/%s.woff2" % name
        if plain not in style:
            sys.exit("site.py: %s does not name %s" % (css, plain))
        style = style.replace(plain, "fonts/" + hashed)
    for extra in ("LICENSE.txt", "README.txt", "characters.txt"):
        shutil.copyfile(os.path.join(faces_dir, extra), os.path.join(fonts, extra))
    with open(os.path.join(site, "tapirun.css"), "w", encoding="utf-8") as f:
        f.write(style)

    worker(site, template)


def worker(site, template):
    """Writes the service worker: every file of the site with its SHA-256, the faces apart, and a
    release name made from them all."""
    files = []
    for folder, _, names in os.walk(site):
        for name in names:
            path = os.path.relpath(os.path.join(folder, name), site).replace(os.sep, "/")
            if path != "sw.js":
                files.append(path)
    digests = {path: sha256(os.path.join(site, path)) for path in sorted(files)}
    faces = {path: digest for path, digest in digests.items() if path.startswith("fonts/") and path.endswith(".woff2")}
    app = {path: digest for path, digest in digests.items() if path not in faces}
    with open(template, encoding="utf-8") as f:
        text = f.read()
    # The worker's own code is part of the release: a new worker never shares a cache with the last.
    listing = "".join("%s:%s\n" % kv for kv in sorted(digests.items())) + text
    version = hashlib.sha256(listing.encode()).hexdigest()[:16]

    def table(entries):
        return "{\n" + "".join("  '%s': '%s',\n" % kv for kv in sorted(entries.items())) + "}"

    text = text.replace("@SITE_VERSION@", version).replace("@APP_FILES@", table(app)) \
        .replace("@FACE_FILES@", table(faces))
    with open(os.path.join(site, "sw.js"), "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if len(argv) >= 3 and argv[1] == "faces":
        faces(argv[2], argv[3:])
    elif len(argv) == 4 and argv[1] == "icon":
        icon(argv[2], argv[3])
    elif len(argv) == 6 and argv[1] == "publish":
        publish(*argv[2:])
    elif len(argv) == 4 and argv[1] == "worker":
        worker(*argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
