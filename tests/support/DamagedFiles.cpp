#include "support/DamagedFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

#include "support/PdfFixtures.h"

namespace quillet::testing {

namespace {

using Objects = std::vector<std::pair<int, std::string>>;

// The objects in order, then a classic table and the trailer, every line
// ended by `eol`; blue squares as page content, so pages need no fonts.
std::string documentOf(const Objects& objects, const std::string& eol = "\n",
                       const std::string& trailerExtra = "") {
    std::string out = "%PDF-1.7" + eol + "%\xE2\xE3\xCF\xD3" + eol;
    std::map<int, size_t> offsets;
    for (const auto& [num, body] : objects) {
        offsets[num] = out.size();
        out += std::to_string(num) + " 0 obj" + eol + body + eol + "endobj" + eol;
    }
    const size_t table = out.size();
    const int size = offsets.rbegin()->first + 1;
    out += "xref" + eol + "0 " + std::to_string(size) + eol;
    const std::string end = eol.size() == 2 ? eol : " " + eol;
    char entry[32];
    for (int num = 0; num < size; ++num) {
        const bool used = offsets.count(num) != 0;
        std::snprintf(entry, sizeof entry, "%010zu %05d %c", used ? offsets[num] : 0, used ? 0 : 65535,
                      used ? 'n' : 'f');
        out += entry + end;
    }
    out += "trailer" + eol + "<< /Size " + std::to_string(size) + " /Root 1 0 R" + trailerExtra + " >>" + eol;
    return out + "startxref" + eol + std::to_string(table) + eol + "%%EOF" + eol;
}

std::string pageObject(int parent) {
    return "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R /MediaBox [0 0 200 200] >>";
}

// A page held directly in its parent's /Kids, drawing its blue square from object 20.
const std::string kDirectPage = "<< /Type /Page /MediaBox [0 0 200 200] /Contents 20 0 R >>";
const std::pair<int, std::string> kDirectPageContent{
    20, "<< /Length 25 >>\nstream\n0 0 1 rg 10 10 50 50 re f\nendstream"};

// Catalog 1, page tree 2, and per page i the page 3 + 2i with content 4 + 2i.
Objects plainObjects(int pages) {
    std::string kids;
    Objects objects{{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, ""}};
    for (int i = 0; i < pages; ++i) {
        const int page = 3 + 2 * i;
        kids += std::to_string(page) + " 0 R ";
        const std::string content = "0 0 1 rg " + std::to_string(10 + i) + " 10 50 50 re f";
        objects.push_back({page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents " +
                                     std::to_string(page + 1) + " 0 R >>"});
        objects.push_back({page + 1, "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" +
                                         content + "\nendstream"});
    }
    objects[1].second = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
    return objects;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The file with its startxref value replaced.
std::string withStartXref(const std::string& file, int64_t value) {
    const size_t keyword = file.rfind("startxref");
    return file.substr(0, keyword) + "startxref\n" + std::to_string(value) + "\n%%EOF\n";
}

size_t lastSection(const std::string& file) {
    const size_t keyword = file.rfind("startxref");
    return std::stoul(file.substr(keyword + 10));
}

// The file cut at `fraction` of the way through its last section (the
// table with its trailer, or the cross-reference stream object).
std::string cutInLastSection(const std::string& file, double fraction) {
    const size_t from = lastSection(file), to = file.rfind("startxref");
    return file.substr(0, from + static_cast<size_t>(static_cast<double>(to - from) * fraction));
}

std::string qpdfRewrite(const TempDir& dir, const std::string& file, std::vector<std::string> options) {
    writeFile(dir.file("qpdf-in.pdf"), file);
    options.insert(options.begin(), dir.file("qpdf-in.pdf").string());
    options.push_back(dir.file("qpdf-out.pdf").string());
    CommandResult r = runQpdf(options);
    EXPECT_EQ(r.status, 0) << r.err;
    return readFile(dir.file("qpdf-out.pdf"));
}

const std::string kPlain = documentOf(plainObjects(3));

}  // namespace

void PrintTo(const Damage& damage, std::ostream* out) {
    *out << damage.name;
}

std::vector<Damage> damagedFiles() {
    std::vector<Damage> list;
    auto plain = [&](std::string name, std::function<std::string(const std::string&)> damage) {
        list.push_back({std::move(name), [damage](const TempDir&) { return damage(kPlain); }});
    };
    for (double fraction : {0.0, 0.2, 0.5, 0.8, 0.99})
        plain("CutInTable" + std::to_string(static_cast<int>(fraction * 100)),
              [fraction](const std::string& f) { return cutInLastSection(f, fraction); });
    // Into the last content stream, and just after its header.
    plain("CutInLastObject", [](const std::string& f) { return f.substr(0, f.rfind("endstream") - 10); });
    plain("CutAfterLastHeader", [](const std::string& f) { return f.substr(0, f.rfind(" obj") + 6); });
    for (int shift : {-100, -7, -1, 1, 7, 100})
        plain("StartXrefOff" + std::string(shift < 0 ? "Minus" : "Plus") + std::to_string(std::abs(shift)),
              [shift](const std::string& f) {
                  return withStartXref(f, static_cast<int64_t>(lastSection(f)) + shift);
              });
    plain("StartXrefBeyondTheEnd",
          [](const std::string& f) { return withStartXref(f, static_cast<int64_t>(f.size()) + 500); });
    plain("NoStartXrefNorEOF", [](const std::string& f) { return f.substr(0, f.rfind("startxref")); });
    plain("LFToCRLF", [](const std::string& f) { return replaceAll(f, "\n", "\r\n"); });
    list.push_back({
        "CRLFToLF",
        [](const TempDir&) { return replaceAll(documentOf(plainObjects(3), "\r\n"), "\r\n", "\n"); },
    });
    plain("JunkBefore", [](const std::string& f) { return std::string(300, 'J') + "\n" + f; });
    plain("JunkAfter", [](const std::string& f) { return f + std::string(2000, '\x01') + "\n"; });
    plain("PrevLoop", [](const std::string& f) {
        const size_t table = lastSection(f);
        // The section's /Prev leads back into the section itself.
        return replaceAll(f, "/Root 1 0 R", "/Root 1 0 R /Prev " + std::to_string(table + 5));
    });

    // Object streams: the cross-reference stream cut off, so the objects
    // are found in their streams; then a broken object stream besides.
    auto streams = [](const TempDir& dir) { return qpdfRewrite(dir, kPlain, {"--object-streams=generate"}); };
    list.push_back({"ObjectStreamsCutXRefStream",
                    [streams](const TempDir& dir) { return cutInLastSection(streams(dir), 0.5); }});
    list.push_back({
        "ObjectStreamsBrokenStream",
        [streams](const TempDir& dir) {
            std::string f = cutInLastSection(streams(dir), 0.5);
            return f +
                   "\n90 0 obj\n<< /Type /ObjStm /N 2 /First 8 /Length 9 /Filter /FlateDecode >>\n"
                   "stream\nnot flate\nendstream\nendobj\n";
        },
    });
    list.push_back({
        "EncryptedObjectStreamsStartXrefOff",
        [](const TempDir& dir) {
            std::string f = qpdfRewrite(dir, kPlain,
                                        {"--object-streams=generate", "--encrypt", "", "owner", "256", "--"});
            return withStartXref(f, static_cast<int64_t>(lastSection(f)) + 3);
        },
    });
    list.push_back({
        "EncryptedTableCut",
        [](const TempDir& dir) {
            std::string f = qpdfRewrite(
                dir, kPlain,
                {"--object-streams=disable", "--encrypt", "", "owner", "128", "--use-aes=y", "--"});
            return f.substr(0, f.rfind("startxref"));
        },
    });

    // Page trees: the root's /Count says how many pages pdfinfo reports and
    // pdftoppm draws. Fewer pages than that are all there is: pdftoppm draws
    // the missing ones as copies of the last one found, there is nothing to
    // mark up on them. More pages than /Count are not shown, so not taken.
    auto tree = [&](std::string name, std::string root, Objects extra, int pages, bool peersCount = true) {
        Objects objects{{1, "<< /Type /Catalog /Pages 2 0 R >>"}, {2, std::move(root)}};
        objects.insert(objects.end(), extra.begin(), extra.end());
        const std::string file = documentOf(objects);
        list.push_back({std::move(name), [file](const TempDir&) { return file; }, pages, peersCount});
    };
    tree("PageReachedTwice", "<< /Type /Pages /Kids [3 0 R 4 0 R 3 0 R] /Count 3 >>",
         {{3, pageObject(2)}, {4, pageObject(2)}}, 3);
    // The item goes onto the direct kid: the update makes it an object.
    tree("DirectKid", "<< /Type /Pages /Kids [" + kDirectPage + " 3 0 R 4 0 R] /Count 3 >>",
         {{3, pageObject(2)}, {4, pageObject(2)}, kDirectPageContent}, 3);
    list.push_back({
        "EncryptedDirectKidInAnObjectStream",
        [](const TempDir& dir) {
            Objects objects{{1, "<< /Type /Catalog /Pages 2 0 R >>"},
                            {2, "<< /Type /Pages /Kids [" + kDirectPage + " 3 0 R] /Count 2 >>"},
                            {3, pageObject(2)},
                            kDirectPageContent};
            return qpdfRewrite(
                dir, documentOf(objects),
                {"--object-streams=generate", "--encrypt", "", "owner", "128", "--use-aes=y", "--"});
        },
        2,
    });
    tree("DirectKidInADirectNode",
         "<< /Type /Pages /Kids [<< /Type /Pages /Kids [" + kDirectPage + "] /Count 1 >> 3 0 R] /Count 2 >>",
         {{3, pageObject(2)}, kDirectPageContent}, 2);
    tree("MissingKids", "<< /Type /Pages /Kids [3 0 R 9 0 R 4 0 R 5 0 R] /Count 2 >>",
         {{3, pageObject(2)}, {4, pageObject(2)}, {5, "42"}}, 2);
    tree("CountBelowThePages", "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 1 >>",
         {{3, pageObject(2)}, {4, pageObject(2)}, {5, pageObject(2)}}, 1);
    tree("CountAboveThePages", "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 5 >>",
         {{3, pageObject(2)}, {4, pageObject(2)}}, 2, false);
    tree("NoTypes", "<< /Kids [3 0 R 5 0 R] /Count 3 >>",
         {{3, "<< /Parent 2 0 R /MediaBox [0 0 200 200] >>"},
          {4, pageObject(5)},
          {5, "<< /Kids [4 0 R 6 0 R] /Count 2 >>"},
          {6, pageObject(5)}},
         3);
    tree("KidLoop", "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>",
         {{3, pageObject(2)}, {4, pageObject(5)}, {5, "<< /Type /Pages /Kids [4 0 R 2 0 R] /Count 1 >>"}}, 2);
    return list;
}

}  // namespace quillet::testing
