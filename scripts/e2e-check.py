#!/usr/bin/env python3
"""Checks for scripts/e2e that look at a PDF page the way a reader sees it.

  e2e-check.py QUILLET markup PDF BEFORE PAGE
      every markup item on PAGE (0-based) shows inside its annotation's /Rect:
      pdftoppm's rendering of PDF has pixels of the item's colour there that
      the rendering of BEFORE (the file without the markup) does not have.
  e2e-check.py QUILLET upright PDF BEFORE PAGE
      the one text box on PAGE reads upright: its ink is a wide line whose
      lower half (where lowercase letters sit) holds more ink than its upper.
  e2e-check.py QUILLET shows PDF PAGE REFERENCE COLOUR...
      PAGE of PDF shows more pixels of every COLOUR ("r,g,b" in 0..1) than
      the same page of REFERENCE (the file without markup) does.
  e2e-check.py QUILLET flat PDF PAGE REFERENCE COLOUR...
      as shows, and PDF has no annotations left.

The password of an encrypted file comes from QUILLET_PASSWORD (quillet reads it
too). Items are taken from `quillet list`, their bounds from the /Rect of the
annotation whose /NM is the item's id (read with qpdf, not with our reader).
Prints one line naming what is wrong and exits 1, or exits 0 silently.
"""
import json
import os
import subprocess
import sys
import tempfile

DPI = 72
MIN_PIXELS = 12  # anti-aliased ink of the thinnest stroke still gives this many


def password_args(tool):
    password = os.environ.get("QUILLET_PASSWORD")
    if not password:
        return []
    return {"qpdf": ["--password=" + password], "pdftoppm": ["-upw", password]}[tool]


def qpdf_json(pdf):
    out = subprocess.run(["qpdf", "--json=2", "--json-key=qpdf", "--json-key=pages"] + password_args("qpdf") + [pdf],
                         check=True, capture_output=True).stdout
    data = json.loads(out)
    return data["qpdf"][1], data["pages"]


def resolve(objects, value):
    if isinstance(value, str) and value.endswith(" R"):
        return objects.get("obj:" + value, {}).get("value")
    return value


def page_geometry(objects, pages, index):
    """The page's crop box and rotation, inherited values followed."""
    node = objects["obj:" + pages[index]["object"]]["value"]
    box = rotate = None
    while node is not None:
        box = box or resolve(objects, node.get("/CropBox")) or resolve(objects, node.get("/MediaBox"))
        rotate = rotate if rotate is not None else resolve(objects, node.get("/Rotate"))
        node = resolve(objects, node.get("/Parent"))
    x0, y0, x1, y1 = (float(v) for v in box)
    return (min(x0, x1), min(y0, y1), max(x0, x1), max(y0, y1)), int(rotate or 0) % 360


def annotations(objects, pages, index):
    node = objects["obj:" + pages[index]["object"]]["value"]
    found = []
    for ref in resolve(objects, node.get("/Annots")) or []:
        annot = resolve(objects, ref) or {}
        found.append(annot)
    return found


def text_of(value):
    return value[2:] if isinstance(value, str) and value.startswith("u:") else value


def render(pdf, page):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["pdftoppm", "-cropbox", "-r", str(DPI), "-f", str(page + 1), "-l", str(page + 1)] +
                       password_args("pdftoppm") + [pdf, folder + "/p"], check=True)
        name = os.path.join(folder, sorted(os.listdir(folder))[0])
        with open(name, "rb") as f:
            data = f.read()
    # P6: "P6\n<w> <h>\n255\n" then RGB bytes.
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:]


def pixel_box(rect, crop, rotate, width, height):
    """The rectangle (x0, y0, x1, y1) of rendered pixels that `rect` (user space) covers."""
    scale = DPI / 72.0
    cx0, cy0, cx1, cy1 = crop
    w, h = cx1 - cx0, cy1 - cy0
    xs, ys = [], []
    for x, y in ((rect[0], rect[1]), (rect[2], rect[3]), (rect[0], rect[3]), (rect[2], rect[1])):
        x, y = x - cx0, y - cy0
        u, v = {0: (x, h - y), 90: (y, x), 180: (w - x, y), 270: (h - y, w - x)}[rotate]
        xs.append(u * scale)
        ys.append(v * scale)
    return (max(0, int(min(xs))), max(0, int(min(ys))), min(width, int(max(xs)) + 1), min(height, int(max(ys)) + 1))


def of_colour(pixel, colour):
    """Whether `pixel` is `colour` laid over white at some strength (anti-aliasing, opacity)."""
    d = [255 - c for c in pixel]
    t = [255 * (1 - c) for c in colour]
    norm = sum(v * v for v in t)
    if norm < 1:  # white ink: nothing to tell it from the paper by
        return False
    a = sum(p * q for p, q in zip(d, t)) / norm
    residual = sum((p - a * q) ** 2 for p, q in zip(d, t)) ** 0.5
    # Off the colour's line by less the fainter the ink: text's grey
    # anti-aliasing lies near any colour's line at low strength.
    return a > 0.25 and residual < 48 * min(1.0, a / 0.5)


def inked(after, before, colour, box):
    """The pixels in `box` that show `colour` in `after` and not in `before`."""
    width, _, a = after
    _, _, b = before
    found = []
    for y in range(box[1], box[3]):
        for x in range(box[0], box[2]):
            at = 3 * (y * width + x)
            pixel = a[at:at + 3]
            if pixel != b[at:at + 3] and of_colour(pixel, colour):
                found.append((x, y))
    return found


def items_on(quillet, pdf, page):
    listing = json.loads(subprocess.run([quillet, "list", pdf], check=True, capture_output=True).stdout)
    return listing.get("pages", {}).get(str(page), [])


def located(quillet, pdf, before, page):
    """(item, pixel box, rendering after, rendering before) for each item on the page."""
    objects, pages = qpdf_json(pdf)
    crop, rotate = page_geometry(objects, pages, page)
    rects = {str(text_of(a.get("/NM"))).lower(): [float(v) for v in a.get("/Rect", [])]
             for a in annotations(objects, pages, page)}
    after, prior = render(pdf, page), render(before, page)
    if after[:2] != prior[:2]:
        sys.exit("the page renders at another size than before the markup")
    rows = []
    for item in items_on(quillet, pdf, page):
        rect = rects.get(item["id"].lower())
        if not rect or len(rect) != 4:
            sys.exit("item %s has no annotation with its /NM and a /Rect" % item["id"])
        rows.append((item, pixel_box(rect, crop, rotate, after[0], after[1]), after, prior))
    return rows


def check_markup(quillet, pdf, before, page):
    rows = located(quillet, pdf, before, page)
    if not rows:
        sys.exit("no markup items on page %d" % page)
    for item, box, after, prior in rows:
        n = len(inked(after, prior, item["c"][:3], box))
        if n < MIN_PIXELS:
            sys.exit("%s %s: %d pixels of its colour inside %s" % (item.get("k") or item["t"], item["id"], n, box))


def without_frame(ink):
    """`ink` less the box's frame: the rows and columns inked along most of the
    box, and a margin beside them that holds the frame's rounded corners."""
    rows, columns = {}, {}
    for x, y in ink:
        rows[y] = rows.get(y, 0) + 1
        columns[x] = columns.get(x, 0) + 1
    if not ink:
        return ink
    # A frame's side runs along most of the inked height (less its rounded
    # corners); a letter's stem along half of it at most.
    width, height = max(columns) - min(columns) + 1, max(rows) - min(rows) + 1
    frame_rows = [y for y, n in rows.items() if n > 0.8 * width]
    frame_columns = [x for x, n in columns.items() if n > 0.6 * height]
    return [(x, y) for x, y in ink
            if all(abs(y - r) > 3 for r in frame_rows) and all(abs(x - c) > 6 for c in frame_columns)]


def check_upright(quillet, pdf, before, page):
    texts = [row for row in located(quillet, pdf, before, page) if row[0]["t"] == "text"]
    if len(texts) != 1:
        sys.exit("%d text boxes on page %d, expected 1" % (len(texts), page))
    item, box, after, prior = texts[0]
    ink = without_frame(inked(after, prior, item["c"][:3], box))
    if len(ink) < MIN_PIXELS:
        sys.exit("the text box shows %d pixels of its colour inside %s, its frame left out" % (len(ink), box))
    xs, ys = [p[0] for p in ink], [p[1] for p in ink]
    width, height = max(xs) - min(xs) + 1, max(ys) - min(ys) + 1
    if width < 2 * height:
        sys.exit("the text's ink is %dx%d pixels: not a horizontal line" % (width, height))
    middle = (min(ys) + max(ys)) / 2
    lower = sum(1 for y in ys if y > middle)
    upper = sum(1 for y in ys if y < middle)
    if lower <= upper:
        sys.exit("the text's ink is heavier above its middle (%d) than below (%d): upside down" % (upper, lower))


def colour_pixels(pdf, page, colour):
    width, height, data = render(pdf, page)
    white = (width, height, bytes([255]) * len(data))
    return len(inked((width, height, data), white, colour, (0, 0, width, height)))


def check_shows(pdf, page, reference, colours):
    for text in colours:
        colour = [float(v) for v in text.split(",")]
        n, before = colour_pixels(pdf, page, colour), colour_pixels(reference, page, colour)
        if n < before + MIN_PIXELS:
            sys.exit("page %d shows %d pixels of colour %s, the file without markup %d" % (page, n, text, before))


def check_flat(pdf, page, reference, colours):
    objects, pages = qpdf_json(pdf)
    for index in range(len(pages)):
        if annotations(objects, pages, index):
            sys.exit("page %d still has annotations" % index)
    check_shows(pdf, page, reference, colours)


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    quillet, command = argv[1], argv[2]
    if command == "markup":
        check_markup(quillet, argv[3], argv[4], int(argv[5]))
    elif command == "upright":
        check_upright(quillet, argv[3], argv[4], int(argv[5]))
    elif command in ("shows", "flat"):
        (check_shows if command == "shows" else check_flat)(argv[3], int(argv[4]), argv[5], argv[6:])
    else:
        sys.exit("unknown check " + command)


if __name__ == "__main__":
    main(sys.argv)
