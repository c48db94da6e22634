#!/usr/bin/env python3
"""Writes the reader's and writer's fuzz seeds of hostile structure: files
that once crashed the reader or kept it decoding for minutes, scaled down to
seed size. Run from the repository root: python3 fuzz/make-hostile-seeds.py"""
import base64
import json
import os
import struct
import zlib


class Pdf:
    def __init__(self, junk=b""):
        self.data = bytearray(junk + b"%PDF-1.7\n")
        self.offsets = {}

    def obj(self, num, body):
        self.offsets[num] = len(self.data)
        self.data += b"%d 0 obj\n%s\nendobj\n" % (num, body)

    def stream(self, num, entries, payload):
        self.obj(num, b"<< %s /Length %d >>\nstream\n%s\nendstream" % (entries, len(payload), payload))

    def table(self, trailer, nums=None):
        at = len(self.data)
        nums = sorted(self.offsets) if nums is None else nums
        self.data += b"xref\n0 1\n0000000000 65535 f \n"
        for n in nums:
            self.data += b"%d 1\n%010d 00000 n \n" % (n, self.offsets[n])
        self.data += b"trailer\n%s\n" % trailer
        return at

    def startxref(self, at):
        self.data += b"startxref\n%d\n%%%%EOF\n" % at


def skeleton(pdf, annots=b""):
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] %s>>" % annots)


def metadata_everywhere():
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>")
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Annots [5 0 R] >>")
    pdf.stream(5, b"/Type /Metadata /Subtype /XML", b"<x:xmpmeta/>")
    pdf.startxref(pdf.table(b"<< /Size 6 /Root 1 0 R >>"))
    return pdf.data


def freed_by_update():
    pdf = Pdf()
    skeleton(pdf)
    prev = pdf.table(b"<< /Size 4 /Root 1 0 R >>")
    at = len(pdf.data)
    rows = b"\0" * 14 + struct.pack(">BIH", 1, at, 0)
    pdf.stream(4, b"/Type /XRef /Size 5 /Root 1 0 R /Prev %d /W [1 4 2] /Index [1 2 4 1]" % prev, rows)
    pdf.startxref(at)
    return pdf.data


def xrefstm_many_offsets():
    pdf = Pdf()
    skeleton(pdf)
    prev = pdf.table(b"<< /Size 4 /Root 1 0 R >>")
    spaces = len(pdf.data)
    pdf.data += b" " * 300
    pdf.stream(4, b"/Type /XRef /Size 5 /W [1 4 2] /Index [] /Filter /FlateDecode",
               zlib.compress(b"\0" * (16 << 20), 9))
    for i in range(300):
        at = len(pdf.data)
        pdf.data += b"xref\n0 0\ntrailer\n<< /Size 5 /Prev %d /XRefStm %d >>\n" % (prev, spaces + i)
        prev = at
    pdf.startxref(prev)
    return pdf.data


def object_streams_in_turn(streams=2, pages=8):
    """Pages taken in turn from `streams` object streams padded with blanks."""
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    kids = b" ".join(b"%d 0 R" % (10 + i) for i in range(pages))
    pdf.obj(2, b"<< /Type /Pages /Kids [%s] /Count %d >>" % (kids, pages))
    rows = {}
    for k in range(streams):
        stream, header, body = 5 + k, b"", b""
        for index, page in enumerate(range(10 + k, 10 + pages, streams)):
            header += b"%d %d " % (page, len(body))
            body += b"<< /Type /Page /Parent 2 0 R >>" + b" " * (1 << 20)
            rows[page] = struct.pack(">BIH", 2, stream, index)
        pdf.stream(stream, b"/Type /ObjStm /N %d /First %d /Filter /FlateDecode" % (pages // streams, len(header)),
                   zlib.compress(header + body, 9))
    xref = 10 + pages + 2
    at = len(pdf.data)
    rows.update({n: struct.pack(">BIH", 1, pdf.offsets[n], 0) for n in [1, 2] + [5 + k for k in range(streams)]})
    rows[0] = struct.pack(">BIH", 0, 0, 65535)
    rows[xref] = struct.pack(">BIH", 1, at, 0)
    data = b"".join(rows.get(n, b"\0" * 7) for n in range(xref + 1))
    pdf.stream(xref, b"/Type /XRef /Size %d /Root 1 0 R /W [1 4 2]" % (xref + 1), data)
    pdf.startxref(at)
    return pdf.data


def unparsable_number():
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>")
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Rotate 1.2.3 >>")
    pdf.startxref(pdf.table(b"<< /Size 4 /Root 1 0 R >>"))
    return pdf.data


def payload(item):
    text = json.dumps(item, separators=(",", ":")).encode()
    return b"QLT1:" + base64.b64encode(zlib.compress(text, 9))


def repeated_annotation():
    item = {"v": 1, "id": "5E6A1D2C-0000-4000-8000-000000000001", "t": "ink", "k": "pen",
            "c": [1, 0, 0, 1], "lw": 2, "m": 1780000000, "r": 0, "st": [[10, 10, 50, 80]]}
    pdf = Pdf()
    skeleton(pdf, b"/Annots [%s] " % b" ".join([b"5 0 R"] * 200))
    pdf.obj(5, b"<< /Type /Annot /Subtype /Ink /Rect [0 0 60 90] /QuilletItem (%s) >>" % payload(item))
    pdf.startxref(pdf.table(b"<< /Size 6 /Root 1 0 R >>"))
    return pdf.data


def size_at_the_limit():
    pdf = Pdf()
    skeleton(pdf)
    pdf.startxref(pdf.table(b"<< /Size 9999999 /Root 1 0 R >>"))
    return pdf.data


def damaged_chain():
    """A cut-off table, a startxref past the end and a page tree with a
    loop, a repeated page, a direct kid and a missing one: the reader
    rebuilds the table by scanning and walks the tree with warnings."""
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [3 0 R 3 0 R << /Type /Page >> 9 0 R 4 0 R] /Count 9 >>")
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
    pdf.obj(4, b"<< /Kids [2 0 R 3 0 R] >>")
    at = pdf.table(b"<< /Size 5 /Root 1 0 R >>")
    pdf.data = pdf.data[: at + 40] + b"\nstartxref\n999999\n%%EOF\n"
    return pdf.data


def direct_kids():
    """Pages held as direct dictionaries in /Kids, one inside a direct node,
    under a /Count below the pages: the reader numbers them past the table
    and the writer makes them objects of their own."""
    page = b"<< /Type /Page /MediaBox [0 0 612 792] >>"
    pdf = Pdf()
    pdf.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    pdf.obj(2, b"<< /Type /Pages /Kids [%s << /Type /Pages /Kids [%s] >> 3 0 R %s] /Count 3 >>" % (page, page, page))
    pdf.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")
    pdf.startxref(pdf.table(b"<< /Size 4 /Root 1 0 R >>"))
    return pdf.data


def object_streams_without_xref():
    """Objects only in object streams (one of them broken) and no
    cross-reference data at all: the scan reads the streams."""
    pdf = Pdf()
    header, body = b"", b""
    for num, obj in ((1, b"<< /Type /Catalog /Pages 2 0 R >>"), (2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
                     (3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>")):
        header += b"%d %d " % (num, len(body))
        body += obj + b" "
    pdf.stream(5, b"/Type /ObjStm /N 3 /First %d /Filter /FlateDecode" % len(header), zlib.compress(header + body))
    pdf.stream(6, b"/Type /ObjStm /N 2 /First 8 /Filter /FlateDecode", b"not flate")
    return pdf.data.replace(b"\n", b"\r\n")


SEEDS = {
    "damaged-chain.pdf": (damaged_chain, ["reader_fuzz"]),
    "object-streams-without-xref.pdf": (object_streams_without_xref, ["reader_fuzz"]),
    "direct-kids.pdf": (direct_kids, ["reader_fuzz", "writer_fuzz"]),
    "metadata-everywhere.pdf": (metadata_everywhere, ["reader_fuzz", "writer_fuzz"]),
    "freed-by-update.pdf": (freed_by_update, ["reader_fuzz", "writer_fuzz"]),
    "xrefstm-many-offsets.pdf": (xrefstm_many_offsets, ["reader_fuzz"]),
    "alternating-object-streams.pdf": (object_streams_in_turn, ["reader_fuzz"]),
    "object-streams-in-turn.pdf": (lambda: object_streams_in_turn(4, 16), ["reader_fuzz"]),
    "unparsable-number.pdf": (unparsable_number, ["reader_fuzz", "writer_fuzz"]),
    "repeated-annotation.pdf": (repeated_annotation, ["reader_fuzz", "writer_fuzz"]),
    "size-at-the-limit.pdf": (size_at_the_limit, ["writer_fuzz"]),
}

if __name__ == "__main__":
    for name, (make, targets) in SEEDS.items():
        data = make()
        for target in targets:
            with open(os.path.join("fuzz", "corpus", target, name), "wb") as out:
                out.write(data)
