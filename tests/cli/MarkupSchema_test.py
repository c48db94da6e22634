#!/usr/bin/env python3
"""The published JSON Schemas of the markup listing and of one item agree
with the tool: what `quillet list` prints for every kind of item validates,
and items or listings the schemas reject are refused by `quillet add --item`
and `quillet write` as well.

usage: MarkupSchema_test.py QUILLET DOCS_DIR
"""
import copy
import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema

QUILLET, DOCS = sys.argv[1], pathlib.Path(sys.argv[2])
ITEM_SCHEMA = json.loads((DOCS / "quillet-item.schema.json").read_text())
LISTING_SCHEMA = json.loads((DOCS / "quillet-listing.schema.json").read_text())
failures = []


def listing_validator():
    """The listing's validator, resolving its reference to the item schema
    the way a user's tool would: relative to the listing schema's file."""
    cls = jsonschema.Draft202012Validator
    cls.check_schema(ITEM_SCHEMA)
    cls.check_schema(LISTING_SCHEMA)
    try:
        from referencing import Registry, Resource
    except ImportError:  # jsonschema before 4.18
        base = (DOCS / "quillet-listing.schema.json").resolve().as_uri()
        resolver = jsonschema.RefResolver(base, LISTING_SCHEMA)
        return cls(LISTING_SCHEMA, resolver=resolver)
    registry = Registry().with_resource("quillet-item.schema.json", Resource.from_contents(ITEM_SCHEMA))
    return cls(LISTING_SCHEMA, registry=registry)


ITEM = jsonschema.Draft202012Validator(ITEM_SCHEMA)
LISTING = listing_validator()


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def quillet(*args, stdin=None):
    return subprocess.run([QUILLET, *args], input=stdin, capture_output=True, text=True)


def one_page_pdf(path):
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>",
    ]
    out = bytearray(b"%PDF-1.7\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    path.write_bytes(bytes(out))


SIGNATURE = {"v": 1, "t": "ink", "k": "signature", "st": [[10, 10, 20, 30, 40, 15]], "lw": 2, "c": [0, 0, 0, 1]}
FIXED_WIDTH_TEXT = {"v": 1, "t": "text", "p1": [72, 500], "tx": {"s": "wrapped", "f": 11, "w": 150, "b": True},
                    "lw": 1, "c": [0.1, 0.2, 0.3, 1]}
MARKED_TEXT = {"v": 1, "t": "markup", "k": "underline", "q": [[72, 612, 300, 612, 72, 600, 300, 600]],
               "s": "underlined", "lw": 1, "c": [0.1, 0.45, 0.9, 1]}
QUADS = "72,712,200.5,712,72,700,200.5,700; 72,698,120,698,72,686,120,686"

ADDS = [
    ["--text", "plain", "--at", "72,720"],
    ["--text", "boxed", "--at", "72,650", "--boxed", "--size", "14"],
    ["--note", "a note", "--at", "400,700"],
    ["--ink", "100,100 120,130 140,125; 200,200 210,215", "--color", "0,0,1", "--width", "3"],
    ["--ink", "50,400 300,400", "--highlighter"],
    ["--arrow", "300,300,400,500"],
    ["--arrow", "300,200,400,100", "--label", "this one"],
    ["--item", "-", json.dumps(SIGNATURE)],
    ["--item", "-", json.dumps(FIXED_WIDTH_TEXT)],
    ["--highlight", "--quads", QUADS, "--marked-text", "the quick brown fox", "--comment", "check"],
    ["--strike-out", "--quad-rect", "72,500,200,512", "--marked-text", "gone"],
    ["--squiggly", "--quad-rect", "72,400,200,412", "--color", "1,0,0,0.5"],
    ["--item", "-", json.dumps(MARKED_TEXT)],
]


def add(source, out, options):
    stdin = None
    if options[:2] == ["--item", "-"]:
        options, stdin = options[:2], options[2]
    return quillet("add", str(source), str(out), "--page", "1", *options, stdin=stdin)


def without(item, key):
    item = copy.deepcopy(item)
    del item[key]
    return item


def changed(item, path, value):
    item = copy.deepcopy(item)
    target = item
    for key in path[:-1]:
        target = target[key]
    target[path[-1]] = value
    return item


def wrong_items(items_by_kind):
    text, ink, arrow = items_by_kind["text"], items_by_kind["pen"], items_by_kind["arrow"]
    note, markup = items_by_kind["note"], items_by_kind["highlight"]
    return [
        ("no format version", without(text, "v")),
        ("another format version", changed(text, ["v"], 2)),
        ("id not a UUID", changed(text, ["id"], "not-a-uuid")),
        ("unknown kind", changed(text, ["t"], "circle")),
        ("no colour", without(text, "c")),
        ("colour with three components", changed(text, ["c"], [0, 0, 0])),
        ("negative line width", changed(ink, ["lw"], -1)),
        ("rotation as text", changed(text, ["r"], "90")),
        ("time with a fraction", changed(text, ["m"], 1.5)),
        ("text without its text", without(text, "tx")),
        ("text size as a string", changed(text, ["tx", "f"], "12")),
        ("point with three coordinates", changed(text, ["p1"], [1, 2, 3])),
        ("coordinate beyond the limit", changed(arrow, ["p2"], [1e8, 0])),
        ("note without a bubble", without(note, "p2")),
        ("ink of an unknown kind", changed(ink, ["k"], "brush")),
        ("ink without strokes", changed(ink, ["st"], [])),
        ("ink with only empty strokes", changed(ink, ["st"], [[], [5]])),
        ("stroke with a string", changed(ink, ["st"], [[1, 2, "3", 4]])),
        ("markup of an unknown kind", changed(markup, ["k"], "wavy")),
        ("markup without quads", changed(markup, ["q"], [])),
        ("quad with seven numbers", changed(markup, ["q"], [[72, 712, 200, 712, 72, 700, 200]])),
        ("quad with a coordinate beyond the limit", changed(markup, ["q", 0, 7], 1e8)),
        ("more quads than an item holds", changed(markup, ["q"], [markup["q"][0]] * 10001)),
        ("markup without its marked text", without(markup, "s")),
        ("comment not a string", changed(markup, ["cm"], 5)),
        ("not an object", [text]),
    ]


def main():
    with tempfile.TemporaryDirectory() as scratch:
        scratch = pathlib.Path(scratch)
        doc = scratch / "doc.pdf"
        one_page_pdf(doc)
        for options in ADDS:
            r = add(doc, doc, options)
            check(r.returncode == 0, f"add {options}: {r.stderr}")

        r = quillet("list", str(doc))
        check(r.returncode == 0, f"list: {r.stderr}")
        listing = json.loads(r.stdout)
        errors = [e.message for e in LISTING.iter_errors(listing)]
        check(not errors, f"the listing validates: {errors}")
        items = listing["pages"]["0"]
        by_kind = {}
        for item in items:
            by_kind[item.get("k", item["t"])] = item
            errors = [e.message for e in ITEM.iter_errors(item)]
            check(not errors, f"{item['t']} item validates: {errors}")
        kinds = {"pen", "highlighter", "signature", "text", "arrow", "note",
                 "highlight", "underline", "strikeOut", "squiggly"}
        check(set(by_kind) == kinds, f"every kind listed: {sorted(by_kind)}")
        check(any("w" in i.get("tx", {}) for i in items), "a fixed-width text is listed")
        check(any(i["t"] == "arrow" and "tx" in i for i in items), "a labelled arrow is listed")
        highlight = by_kind["highlight"]
        check(highlight["q"] == [[72, 712, 200.5, 712, 72, 700, 200.5, 700], [72, 698, 120, 698, 72, 686, 120, 686]]
              and highlight["s"] == "the quick brown fox" and highlight["cm"] == "check",
              f"a highlight is listed with its quads, text and comment: {highlight}")
        check("cm" not in by_kind["squiggly"], "markup without a comment is listed without one")

        # What validates is what the tool takes back: writing the listing
        # back appends nothing.
        r = quillet("write", str(doc), str(doc), "--markup", "-", stdin=r.stdout)
        check(r.returncode == 0 and json.loads(r.stdout)["bytesAppended"] == 0, f"write back: {r.stderr}")

        for name, item in wrong_items(by_kind):
            check(not ITEM.is_valid(item), f"the item schema rejects: {name}")
            r = add(doc, scratch / "out.pdf", ["--item", "-", json.dumps(item)])
            check(r.returncode == 1, f"quillet add --item refuses: {name} ({r.returncode})")

        # The tool ignores keys it does not know; the schema names them as
        # mistakes ("color" for "c").
        check(not ITEM.is_valid(changed(by_kind["text"], ["color"], [0, 0, 0, 1])), "the item schema rejects: unknown key")
        # Nor does it read the keys of another kind: quads belong to text markup only.
        for kind in ("text", "pen", "arrow", "note"):
            check(not ITEM.is_valid(changed(by_kind[kind], ["q"], by_kind["highlight"]["q"])),
                  f"the item schema rejects: quads on {kind}")
        check(not ITEM.is_valid(changed(by_kind["highlight"], ["p1"], [72, 700])), "the item schema rejects: a point on markup")

        for name, wrong in [
            ("page key with a leading zero", {"pages": {"00": items}}),
            ("negative page key", {"pages": {"-1": items}}),
            ("pages as a list", {"pages": [items]}),
            ("no pages", {"0": items}),
            ("a page that is not a list", {"pages": {"0": items[0]}}),
        ]:
            check(not LISTING.is_valid(wrong), f"the listing schema rejects: {name}")
            r = quillet("write", str(doc), str(scratch / "out.pdf"), "--markup", "-", stdin=json.dumps(wrong))
            check(r.returncode == 1, f"quillet write refuses: {name} ({r.returncode})")

    if failures:
        print(f"{len(failures)} check(s) failed", file=sys.stderr)
        return 1
    print("markup schemas agree with quillet")
    return 0


if __name__ == "__main__":
    sys.exit(main())
