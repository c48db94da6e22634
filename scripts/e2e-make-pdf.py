#!/usr/bin/env python3
"""Writes a plain PDF for scripts/e2e: US Letter pages with a line of text each.

  e2e-make-pdf.py OUT [--pages N] [--rotate DEGREES] [--crop X0,Y0,X1,Y1]
                      [--last-word WORD]

Page i says "Page i of N"; the last page also says WORD (for a search that
must reach it). --rotate and --crop apply to every page (/Rotate, /CropBox).
"""
import argparse


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--pages", type=int, default=1)
    parser.add_argument("--rotate", type=int, default=0)
    parser.add_argument("--crop")
    parser.add_argument("--last-word", default="")
    args = parser.parse_args()

    n = args.pages
    # Objects: 1 catalog, 2 page tree, 3 font, then a page and its content per page.
    objects = {1: b"<< /Type /Catalog /Pages 2 0 R >>",
               3: b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"}
    kids = []
    extra = b""
    if args.rotate:
        extra += b" /Rotate %d" % args.rotate
    if args.crop:
        extra += b" /CropBox [%s]" % " ".join(args.crop.split(",")).encode()
    for i in range(n):
        page, content = 4 + 2 * i, 5 + 2 * i
        kids.append(b"%d 0 R" % page)
        text = "Page %d of %d" % (i + 1, n)
        lines = [text] + ([args.last_word] if i == n - 1 and args.last_word else [])
        ops = b"BT /F1 24 Tf 72 700 Td 30 TL " + b" ".join(b"(%s) '" % line.encode() for line in lines) + b" ET"
        objects[page] = (b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]%s"
                         b" /Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (extra, content))
        objects[content] = b"<< /Length %d >>\nstream\n%s\nendstream" % (len(ops), ops)
    objects[2] = b"<< /Type /Pages /Count %d /Kids [%s] >>" % (n, b" ".join(kids))

    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for number in sorted(objects):
        offsets[number] = len(out)
        out += b"%d 0 obj\n%s\nendobj\n" % (number, objects[number])
    xref = len(out)
    count = max(objects) + 1
    out += b"xref\n0 %d\n0000000000 65535 f \n" % count
    for number in range(1, count):
        out += b"%010d 00000 n \n" % offsets[number]
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (count, xref)
    with open(args.out, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
