#!/usr/bin/env python3
"""Writes samples/welcome.pdf: two pages of welcome text in the standard
Helvetica fonts, so the file needs no embedded font and stays small.

Usage: scripts/make-sample.py [OUTPUT.pdf]   (default: samples/welcome.pdf)
The output is deterministic: running it again gives the same bytes.
"""
import pathlib
import sys
import zlib

PAGE_WIDTH, PAGE_HEIGHT = 612, 792  # US Letter, points
LEFT = 72

PAGES = [
    [
        ("title", "Welcome to Verda Edits PDF"),
        ("gap", ""),
        ("body", "This is a small sample document; scripts/run opens it when it is"),
        ("body", "given no file. Started without a file, the application itself"),
        ("body", "reopens the documents of the last session or shows the Open panel."),
        ("gap", ""),
        ("head", "Looking around"),
        ("body", "Scroll with the mouse wheel, the arrow keys or Space and Shift+Space."),
        ("body", "Home and End go to the first and last page, Ctrl+PgDn and Ctrl+PgUp"),
        ("body", "to the next and previous one, Ctrl+Alt+G to a page by its number;"),
        ("body", "you can also type a page number into the status line."),
        ("body", "Ctrl++ (or Ctrl+=) zooms in, Ctrl+- zooms out, Ctrl+0 shows the actual"),
        ("body", "size, Ctrl+9 fits the width; Ctrl and the mouse wheel zoom around"),
        ("body", "the pointer. Ctrl+Alt+S shows the page thumbnails."),
        ("body", "Ctrl+F finds text: Return and Shift+Return (or Ctrl+G and"),
        ("body", "Ctrl+Shift+G) step through the matches, Escape clears them."),
        ("gap", ""),
        ("head", "Opening your own files"),
        ("body", "File > Open... (Ctrl+O) opens any PDF, and so does dropping PDF"),
        ("body", "files on a window. A password-protected file asks for its password"),
        ("body", "in its own window. Each file reopens where you left it."),
    ],
    [
        ("title", "Page two"),
        ("gap", ""),
        ("head", "Your markup stays in the file"),
        ("body", "Pen and highlighter ink, text boxes, arrows, comments and"),
        ("body", "signatures are written into the PDF itself as standard"),
        ("body", "annotations, appended as one incremental update, so every PDF"),
        ("body", "viewer shows them and the original bytes stay untouched."),
        ("gap", ""),
        ("head", "Keys"),
        ("body", "Help > Keyboard Shortcuts (F1 or Ctrl+?) lists every key."),
        ("gap", ""),
        ("head", "Language"),
        ("body", "The interface speaks English or Russian. View > Language"),
        ("body", "switches between them; the application restarts and reopens"),
        ("body", "the documents that were open."),
        ("gap", ""),
        ("body", "Enjoy!"),
    ],
]

STYLES = {"title": ("F2", 24, 34), "head": ("F2", 14, 22), "body": ("F1", 12, 17), "gap": ("F1", 12, 10)}


def pdf_string(text):
    escaped = text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    return "(" + escaped + ")"


def page_content(lines, number):
    ops = ["0.16 0.45 0.32 rg", f"0 {PAGE_HEIGHT - 40} {PAGE_WIDTH} 40 re f"]  # green band
    ops += ["BT", "1 1 1 rg", "/F2 12 Tf", f"{LEFT} {PAGE_HEIGHT - 26} Td", pdf_string("Verda Edits PDF") + " Tj", "ET"]
    y = PAGE_HEIGHT - 100
    ops += ["0 g"]
    for style, text in lines:
        font, size, advance = STYLES[style]
        if text:
            ops += ["BT", f"/{font} {size} Tf", f"{LEFT} {y} Td", pdf_string(text) + " Tj", "ET"]
        y -= advance
    footer = f"{number} / {len(PAGES)}"
    ops += ["0.5 g", "BT", "/F1 10 Tf", f"{PAGE_WIDTH / 2 - 10} 40 Td", pdf_string(footer) + " Tj", "ET"]
    return "\n".join(ops).encode("latin-1")


def build():
    objects = {}
    page_count = len(PAGES)
    first_page = 6
    kids = " ".join(f"{first_page + 2 * i} 0 R" for i in range(page_count))
    objects[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    objects[2] = f"<< /Type /Pages /Kids [{kids}] /Count {page_count} >>".encode()
    objects[3] = b"<< /Title (Welcome to Verda Edits PDF) /Producer (scripts/make-sample.py) >>"
    objects[4] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
    objects[5] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>"
    for i, lines in enumerate(PAGES):
        page, content = first_page + 2 * i, first_page + 2 * i + 1
        objects[page] = (
            f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 {PAGE_WIDTH} {PAGE_HEIGHT}] "
            f"/Resources << /Font << /F1 4 0 R /F2 5 0 R >> >> /Contents {content} 0 R >>"
        ).encode()
        data = zlib.compress(page_content(lines, i + 1), 9)
        objects[content] = (
            f"<< /Length {len(data)} /Filter /FlateDecode >>\nstream\n".encode() + data + b"\nendstream"
        )

    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num in sorted(objects):
        offsets[num] = len(out)
        out += f"{num} 0 obj\n".encode() + objects[num] + b"\nendobj\n"
    xref = len(out)
    size = max(objects) + 1
    out += f"xref\n0 {size}\n0000000000 65535 f \n".encode()
    for num in range(1, size):
        out += f"{offsets[num]:010d} 00000 n \n".encode()
    out += f"trailer\n<< /Size {size} /Root 1 0 R /Info 3 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
    return bytes(out)


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "samples" / "welcome.pdf"
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(build())
    print(f"wrote {target}")


if __name__ == "__main__":
    main()
