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
  site.py maskable IN.png OUT.png SIZE
      the picture as a maskable icon of SIZE: inside the safe zone, on black to the edges
  site.py publish STAGE SITE SW-TEMPLATE
      makes the site from STAGE, its files under their plain names: every file the page loads but
      the page itself and its manifest named after its contents and every reference rewritten,
      the hosts' headers file (_headers) and the service worker (below); fails on a file whose
      name a host may refuse
  site.py worker SITE SW-TEMPLATE
      writes the site's service worker, with every file the page needs and its SHA-256

Runs under Debian's Python (/usr/bin/python3), which has fontTools and its Brotli module.
"""

import hashlib
import os
import re
import runpy
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
    url(...) entries of the style sheet (tapirun.*.css beside index.html) to fonts/ipagp.ttf,
    fonts/ipamp.ttf and fonts/ipam.ttf with format("truetype"). The service worker, sw.js, lists
    every file the page needs with its digest, so write it again (dist/web/site.py worker SITE-DIR
    dist/web/sw.js.in, from Tapirun's source) or remove it; without it the page works, but not
    offline.
"""


def pixels(source):
    """The rows of an 8-bit RGBA PNG without filters, as the icon tool writes it: a list of rows of
    4-byte pixels."""
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
    return rows


def write_palette(rows, target):
    """Writes the rows as a PNG with a palette, at the least depth, fully compressed; False when
    they hold more than 256 colours."""
    width, height = len(rows[0]), len(rows)
    # Ordered fully, so that the same drawing always makes the same file, under the same name.
    colours = sorted({pixel for row in rows for pixel in row}, key=lambda p: (p[3], p))
    if len(colours) > 256:
        return False
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
    return True


def icon(source, target):
    """Rewrites an RGBA PNG of few colours with a palette, at the least depth, fully compressed."""
    if not write_palette(pixels(source), target):
        shutil.copyfile(source, target)


def maskable(source, target, size):
    """The icon a launcher may cut to any shape: the drawing enlarged by the largest whole factor
    that keeps it inside the safe zone, the circle of 40 % of the side round the centre (which
    holds a square of 0.8 / sqrt(2) of the side), on the page's black to the edges."""
    rows = pixels(source)
    width, height = len(rows[0]), len(rows)
    factor = int(size * 0.8 / 2 ** 0.5) // max(width, height)
    if factor < 1:
        sys.exit("site.py: %s does not fit a maskable icon of %d" % (source, size))
    black = b"\x00\x00\x00\xff"
    left, top = (size - width * factor) // 2, (size - height * factor) // 2
    out = [[black] * size for _ in range(size)]
    for y in range(height * factor):
        for x in range(width * factor):
            pixel = rows[y // factor][x // factor]
            if pixel[3] == 255:
                out[top + y][left + x] = pixel
            elif pixel[3]:
                sys.exit("site.py: %s has pixels neither opaque nor see-through" % source)
    if not write_palette(out, target):
        sys.exit("site.py: %s has too many colours for a palette" % source)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


# The names a host may refuse to serve: GitHub Pages' default build leaves out every file or folder
# whose name begins with "_" or ".", many servers refuse dotfiles and backup files ("~", "#"), and
# a name beyond plain ASCII letters, digits, ".", "-" and "_" is spelt differently by different
# hosts. The hosts' own configuration, which they read and never serve, is no file of the page.
SAFE_NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]*$")
HOST_FILES = {"_headers"}


def refused(path):
    """Why a host may refuse the file at PATH (relative, with "/"), or None."""
    if path in HOST_FILES:
        return None
    for part in path.split("/"):
        if not SAFE_NAME.match(part) or part.endswith("~"):
            return "%r is a name a host may refuse to serve" % part
    return None


def files_of(folder):
    """Every file under FOLDER, as relative paths with "/", sorted."""
    found = []
    for at, _, names in os.walk(folder):
        for name in names:
            found.append(os.path.relpath(os.path.join(at, name), folder).replace(os.sep, "/"))
    return sorted(found)


# What keeps its name: the page and its manifest, which every visit asks for at a fixed address,
# and the notes for people beside the faces. Everything else the page loads is named after its
# contents, so that no two releases' files can meet and any host or browser may keep them for ever.
KEPT = {"index.html", "manifest.webmanifest"}
# The files that name others, in the order their names are made: a file's references are written
# before its own name is made from its contents.
NAMING = ["tapirun.js", "tapirun.css", "boot.js", "manifest.webmanifest", "index.html"]


# What the page's own scripts, style and page carry for their readers: whole lines of comment,
# which the site leaves out (every learner's first visit downloads them).
COMMENT_LINES = {".js": re.compile(r"^[ \t]*//.*\n", re.M), ".css": re.compile(r"^[ \t]*/\*(?:[^*]|\*(?!/))*\*/\n", re.M),
                 ".html": re.compile(r"^[ \t]*<!--(?:[^-]|-(?!->))*-->\n", re.M)}


def without_comments(path, text):
    """TEXT, the file at PATH, without its lines of comment; the program's generated script keeps
    what it has."""
    kind = os.path.splitext(path)[1]
    if kind not in COMMENT_LINES or path == "tapirun.js":
        return text
    return COMMENT_LINES[kind].sub("", text)


def keeps_name(path):
    return path in KEPT or path.endswith(".txt")


def content_name(path, data):
    folder, name = os.path.split(path)
    stem, ext = name.split(".", 1)
    named = "%s.%s.%s" % (stem, hashlib.sha256(data).hexdigest()[:12], ext)
    return folder + "/" + named if folder else named


def publish(stage, site, template):
    """Makes SITE from STAGE, the site's files under their plain names: every file the page loads
    but the page itself and its manifest is named after its contents, every reference to it
    rewritten, and the service worker and the hosts' headers file written. Files of an earlier
    release in SITE are removed once the new release's files are all written, and the service
    worker is written last. Fails on a file a host may
    refuse, and on a renamed file nothing names."""
    plain = files_of(stage)
    faults = [why for why in map(refused, plain) if why]
    if faults:
        sys.exit("site.py: %s: %s" % (stage, "; ".join(faults)))
    data = {}
    for path in plain:
        with open(os.path.join(stage, path), "rb") as f:
            data[path] = f.read()
        if os.path.splitext(path)[1] in COMMENT_LINES:
            data[path] = without_comments(path, data[path].decode("utf-8")).encode("utf-8")
    renamed = {}
    unnamed = set()
    for path in [p for p in plain if p not in NAMING] + [p for p in NAMING if p in data]:
        if path in NAMING:
            text = data[path].decode("utf-8")
            for old, new in renamed.items():
                for quote in "\"'":
                    if quote + old + quote in text:
                        text = text.replace(quote + old + quote, quote + new + quote)
                        unnamed.discard(old)
            data[path] = text.encode("utf-8")
        if not keeps_name(path):
            renamed[path] = content_name(path, data[path])
            unnamed.add(path)
    if unnamed:
        sys.exit("site.py: nothing in %s names %s" % (stage, ", ".join(sorted(unnamed))))
    published = {renamed.get(path, path): body for path, body in data.items()}
    for path, body in published.items():
        target = os.path.join(site, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target + ".new", "wb") as f:
            f.write(body)
        os.replace(target + ".new", target)
    for path in files_of(site):
        if path not in published and path not in ("sw.js", "_headers"):
            os.remove(os.path.join(site, path))
    # Last the service worker, whose list a browser checking for a new release reads.
    headers(site, sorted(renamed.values()))
    worker(site, template)


def headers(site, named):
    """The hosts' headers file, which Cloudflare Pages and Netlify read: the headers of every file,
    the page's and the service worker's own, and the files named after their contents kept for
    ever. The other files are left to the host's own caching, which on both asks again each time."""
    serve_web = runpy.run_path(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                                            "serve-web.py"), run_name="serve_web")
    lines = ["# The headers of every file of the site (README.md, \"Hosting the browser program\")", "/*"]
    lines += ["  %s: %s" % header for header in serve_web["HEADERS"]]
    for path in serve_web["PAGE_PATHS"]:
        lines += ["", path] + ["  %s: %s" % header for header in serve_web["PAGE_HEADERS"]]
    for path in named:
        lines += ["", "/" + path, "  Cache-Control: " + serve_web["FOREVER"]]
    with open(os.path.join(site, "_headers"), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


# The icons a launcher takes when the site is installed (the manifest's, and the one Safari puts on
# a home screen): the browser fetches them itself then, and the page never shows them.
LAUNCHER_ICONS = re.compile(r"^icons/tapirun-(192|512|maskable-512)\.")


# The files the page needs offline: all but the service worker itself, the hosts' configuration,
# the notes for people and the launcher's icons.
def offline_files(site):
    return [p for p in files_of(site) if p != "sw.js" and p not in HOST_FILES and not p.endswith(".txt") and
            not LAUNCHER_ICONS.match(p)]


def worker(site, template):
    """Writes the service worker: every file the page needs with its SHA-256, the faces apart, and a
    release name made from them all."""
    digests = {path: sha256(os.path.join(site, path)) for path in offline_files(site)}
    faces = {path: digest for path, digest in digests.items() if path.startswith("fonts/") and path.endswith(".woff2")}
    app = {path: digest for path, digest in digests.items() if path not in faces}
    with open(template, encoding="utf-8") as f:
        text = f.read()
    # The worker's own code is part of the release: a new worker never shares a cache with the last.
    listing = "".join("%s:%s\n" % kv for kv in sorted(digests.items())) + text
    version = hashlib.sha256(listing.encode()).hexdigest()[:16]

    def table(entries):
        return "{\n" + "".join("  '%s': '%s',\n" % kv for kv in sorted(entries.items())) + "}"

    text = without_comments("sw.js", text).replace("@SITE_VERSION@", version).replace("@APP_FILES@", table(app)) \
        .replace("@FACE_FILES@", table(faces))
    with open(os.path.join(site, "sw.js"), "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if len(argv) >= 3 and argv[1] == "faces":
        faces(argv[2], argv[3:])
    elif len(argv) == 4 and argv[1] == "icon":
        icon(argv[2], argv[3])
    elif len(argv) == 5 and argv[1] == "maskable":
        maskable(argv[2], argv[3], int(argv[4]))
    elif len(argv) == 5 and argv[1] == "publish":
        publish(*argv[2:])
    elif len(argv) == 4 and argv[1] == "worker":
        worker(*argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
