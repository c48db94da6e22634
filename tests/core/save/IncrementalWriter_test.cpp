#include "core/save/IncrementalWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "SaveTestItems.h"
#include "WriterSource.h"
#include "support/ErrorText.h"
#include "support/ReaderFixtures.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::arrowItem;
using testing::errorOf;
using testing::inkItem;
using testing::itemsOnPage;
using testing::noteItem;
using testing::num;
using testing::PdfBuilder;
using testing::readFile;
using testing::refs;
using testing::TempDir;
using testing::textItem;
using testing::WriterSource;

class IncrementalWriterTest : public ::testing::Test {
  protected:
    void writeSource(const Bytes& bytes) {
        source = bytes;
        testing::writeFile(in, source);
    }
    // Writes the source and runs one update of it into "out.pdf".
    IncrementalWriteResult update(const Bytes& bytes, const PageItemMap& pages, int64_t pageCount = 1) {
        writeSource(bytes);
        return IncrementalWriter::appendUpdate(in, out, {.expectedPageCount = pageCount, .pages = pages});
    }
    // One new ink item on the only page.
    static IncrementalWriter::AppendOptions oneInk() {
        return {.expectedPageCount = 1, .pages = {{0, {inkItem(1, {{10, 10}, {50, 50}})}}}};
    }
    // What the update appended.
    Bytes tail() const { return readFile(out).substr(source.size()); }
    PDFValue annotsOfOutput(int index = 0) const {
        PDFFileReader reader(out);
        return PDFValue::array(testing::annotationsOfPage(reader, static_cast<size_t>(index)));
    }

    TempDir dir;
    Bytes source;
    std::filesystem::path in = dir.file("in.pdf");
    std::filesystem::path out = dir.file("out.pdf");
};

// A table entry in use at `offset`.
std::string entry(int64_t offset) {
    const std::string text = std::to_string(offset);
    return std::string(10 - text.size(), '0') + text + " 00000 n\r\n";
}

// The table (its subsections given) and trailer after a WriterSource.
std::string tableTail(const std::string& subsections, int64_t prev, int64_t size, int64_t xrefAt) {
    return "xref\n" + subsections +
           "trailer\n<</Root 1 0 R /Info 3 0 R /ID [(0123456789abcdef) (0123456789abcdef)] " + "/Prev " +
           std::to_string(prev) + " /Size " + std::to_string(size) + " >>\nstartxref\n" +
           std::to_string(xrefAt) + "\n%%EOF\n";
}

const std::string kPageWithOneAnnotation =
    "4 0 obj\n<</Type /Page /Parent 2 0 R /Contents 5 0 R /Annots [20 0 R] >>\nendobj\n";

TEST_F(IncrementalWriterTest, RemovingAnItemRewritesOnlyThePageAsATableSection) {
    WriterSource fixture;
    PDFRef foreign = fixture.addForeign();
    fixture.setAnnots(0, refs({foreign, fixture.addItem(inkItem(1, {{10, 10}, {90, 90}}), 0)}));

    IncrementalWriteResult result = update(fixture.build(), {{0, {}}});

    const auto pageAt = static_cast<int64_t>(source.size()) + 1;
    const auto xrefAt = pageAt + static_cast<int64_t>(kPageWithOneAnnotation.size());
    EXPECT_EQ(tail(), "\n" + kPageWithOneAnnotation +
                          tableTail("4 1\n" + entry(pageAt), fixture.startXref(), 23, xrefAt));
    EXPECT_EQ(result.pagesUpdated, 1);
    EXPECT_EQ(result.annotationsWritten, 0);
    EXPECT_EQ(result.bytesAppended, static_cast<int64_t>(tail().size()));
    EXPECT_EQ(result.pageRefs, std::vector<PDFRef>{WriterSource::page(0)});
}

TEST_F(IncrementalWriterTest, SavingTheSameItemsAgainAppendsNothing) {
    PageItemMap pages{{0, {inkItem(1, {{10, 10}, {50, 60}}), noteItem(2, {200, 300}, "n")}},
                      {1, {textItem(3, {100, 700}, "t"), arrowItem(4, {10, 10}, {90, 90}, "label")}}};
    update(WriterSource(2).build(), pages, 2);
    const Bytes first = readFile(out);
    const auto again = dir.file("again.pdf");

    IncrementalWriteResult result =
        IncrementalWriter::appendUpdate(out, again, {.expectedPageCount = 2, .pages = pages});

    EXPECT_EQ(result.bytesAppended, 0);
    EXPECT_EQ(result.annotationsReused, 4);
    EXPECT_EQ(result.annotationsWritten, 0);
    EXPECT_EQ(result.pagesUpdated, 0);
    EXPECT_EQ(readFile(again), first);
}

TEST_F(IncrementalWriterTest, ChangingOneItemOfFiveWritesOneAnnotationAndThePageOnce) {
    std::vector<AnnotationItem> items;
    for (int i = 0; i < 5; ++i) items.push_back(inkItem(i, {{10.0 * i, 10}, {10.0 * i + 5, 80}}));
    WriterSource fixture;
    PDFArray annots;
    for (const AnnotationItem& item : items) annots.push_back(PDFValue::ref(fixture.addItem(item, 0)));
    fixture.setAnnots(0, PDFValue::array(annots));
    items[2].color = RGBA(0, 0, 1, 1);

    IncrementalWriteResult result = update(fixture.build(), {{0, items}});

    EXPECT_EQ(result.annotationsReused, 4);
    EXPECT_EQ(result.annotationsWritten, 1);
    EXPECT_EQ(result.pagesUpdated, 1);
    annots[2] = PDFValue::ref(30, 0);
    EXPECT_EQ(annotsOfOutput(), PDFValue::array(annots));
    EXPECT_EQ(itemsOnPage(out, 0), items);
}

TEST_F(IncrementalWriterTest, ForeignEntriesStayFirstInTheirOrderFollowedByItemsInListOrder) {
    WriterSource fixture;
    PDFRef first = fixture.addForeign("Square");
    AnnotationItem ink = inkItem(1, {{10, 10}, {50, 50}});
    AnnotationItem note = noteItem(2, {200, 300}, "keep me");
    PDFRef inkRef = fixture.addItem(ink, 0);
    PDFRef noteRef = fixture.addItem(note, 0);
    PDFRef third = fixture.addForeign("Circle");
    PDFValue inlineForeign =
        PDFValue::dict({{"Type", PDFValue::name("Annot")}, {"Subtype", PDFValue::name("Text")}});
    PDFValue inlineOurs =
        PDFValue::dict({{"Subtype", PDFValue::name("Ink")}, {"QuilletItem", PDFValue::integer(0)}});
    PDFValue missing = PDFValue::ref(99, 0);
    PDFRef popup{noteRef.num + 2, 0};
    fixture.setAnnots(0, PDFValue::array({PDFValue::ref(first), PDFValue::ref(inkRef), inlineForeign,
                                          PDFValue::ref(popup), PDFValue::ref(third), inlineOurs, missing,
                                          PDFValue::integer(7), PDFValue::ref(noteRef)}));
    ink.lineWidth = 3;

    IncrementalWriteResult result = update(fixture.build(), {{0, {note, ink}}});

    EXPECT_EQ(result.annotationsReused, 1);
    EXPECT_EQ(result.annotationsWritten, 1);
    EXPECT_EQ(annotsOfOutput(), PDFValue::array({PDFValue::ref(first), inlineForeign, PDFValue::ref(third),
                                                 missing, PDFValue::integer(7), PDFValue::ref(noteRef),
                                                 PDFValue::ref(popup), PDFValue::ref(27, 0)}));
}

TEST_F(IncrementalWriterTest, NoteIsWrittenAnewWhenItsPopupDoesNotPointBack) {
    WriterSource fixture;
    PDFRef foreign = fixture.addForeign("Text");
    AnnotationItem note = noteItem(1, {200, 300}, "n");
    PDFRef noteRef = fixture.addItem(note, 0, foreign);
    PDFRef popup{noteRef.num + 2, 0};
    fixture.setAnnots(0, refs({foreign, noteRef, popup}));

    IncrementalWriteResult result = update(fixture.build(), {{0, {note}}});

    EXPECT_EQ(result.annotationsReused, 0);
    EXPECT_EQ(result.annotationsWritten, 1);
    // The stray pop-up belongs to a foreign annotation now, and stays.
    EXPECT_EQ(annotsOfOutput(), refs({foreign, popup, {24, 0}, {26, 0}}));
}

TEST_F(IncrementalWriterTest, ExpandedNotesAreNeverReusedEitherWay) {
    const AnnotationItem note = noteItem(1, {200, 300}, "n");
    update(WriterSource().build(), {{0, {note}}});
    // The same unchanged note, saved expanded and then with its pop-up again:
    // each time the stored annotation has the wrong form and is written anew.
    const auto expanded = dir.file("expanded.pdf"), collapsed = dir.file("collapsed.pdf");
    for (const auto& [from, to, expand, entries] :
         {std::tuple{out, expanded, true, size_t{1}}, std::tuple{expanded, collapsed, false, size_t{2}}}) {
        IncrementalWriteResult result = IncrementalWriter::appendUpdate(
            from, to, {.expectedPageCount = 1, .pages = {{0, {note}}}, .expandNotes = expand});
        EXPECT_EQ(result.annotationsReused, 0) << to;
        EXPECT_EQ(result.annotationsWritten, 1) << to;
        PDFFileReader reader(to);
        EXPECT_EQ(testing::annotationsOfPage(reader, 0).size(), entries) << to;
    }
}

TEST_F(IncrementalWriterTest, RefusesToCloneAFileOntoItself) {
    writeSource(WriterSource().build());
    EXPECT_EQ(errorOf([&] { IncrementalWriter::appendUpdate(in, in, oneInk()); }),
              "I/O error: destination is the source file: " + in.string());
    std::filesystem::create_hard_link(in, out);
    EXPECT_EQ(errorOf([&] { IncrementalWriter::appendUpdate(in, out, oneInk()); }),
              "I/O error: destination is the source file: " + out.string());
    EXPECT_EQ(readFile(in), source);

    // A symbolic link at the destination is replaced, never followed.
    std::filesystem::remove(out);
    std::filesystem::create_symlink(in, out);
    IncrementalWriter::appendUpdate(in, out, oneInk());
    EXPECT_FALSE(std::filesystem::is_symlink(out));
    EXPECT_EQ(readFile(in), source);
}

TEST_F(IncrementalWriterTest, FailedAppendIsAnIOErrorAndLeavesTheClone) {
    writeSource(WriterSource().build());
    IncrementalWriter::AppendOptions options = oneInk();
    options.calls.fsync = [](int) { return (errno = EIO, -1); };
    const std::string text = errorOf([&] { IncrementalWriter::appendUpdate(in, out, options); });
    EXPECT_TRUE(text.starts_with("I/O error: ")) << text;
    EXPECT_NE(text.find(out.string()), std::string::npos) << text;
    EXPECT_TRUE(readFile(out).starts_with(source));
}

// Pages held as direct dictionaries in /Kids become objects under the
// numbers the page list gave them, all at once, so that the list holds for
// the result, and annotations name their page.
TEST_F(IncrementalWriterTest, DirectKidsBecomeObjectsUnderTheNumbersOfThePageList) {
    const PDFValue page = PDFValue::dict({{"Type", PDFValue::name("Page")},
                                          {"MediaBox", PDFValue::array({num(0), num(0), num(99), num(99)})}});
    PdfBuilder b;
    b.add(1, PDFValue::dict({{"Type", PDFValue::name("Catalog")}, {"Pages", PDFValue::ref(2, 0)}}));
    b.add(2, PDFValue::dict({{"Type", PDFValue::name("Pages")},
                             {"Kids", PDFValue::array({page, PDFValue::ref(3, 0), page})},
                             {"Count", num(3)}}));
    b.add(3, page);
    b.finishWithTable({{"Size", num(4)}, {"Root", PDFValue::ref(1, 0)}});
    const std::vector<PDFRef> pages{{4, 0}, {3, 0}, {5, 0}};
    IncrementalWriteResult result = update(b.bytes(), {{2, {inkItem(1, {{10, 10}, {50, 50}})}}}, 3);
    EXPECT_EQ(result.pageRefs, pages);
    PDFFileReader written(out);
    EXPECT_EQ(written.pageRefs(), pages);
    EXPECT_TRUE(written.directKids().empty());
    EXPECT_EQ(written.resolve(annotsOfOutput(2).arrayValue()->at(0)).dictValue()->get("P"),
              PDFValue::ref(5, 0));
    // A later save of the source given that list (an earlier save's) numbers them again.
    IncrementalWriter::appendUpdate(in, dir.file("again.pdf"),
                                    {.expectedPageCount = 3,
                                     .pages = {{0, {inkItem(2, {{10, 10}, {50, 50}})}}},
                                     .cachedPageRefs = pages});
    PDFFileReader again(dir.file("again.pdf"));
    EXPECT_EQ(again.pageRefs(), pages);
    EXPECT_EQ(testing::annotationsOfPage(again, 0).size(), 1u);
}

// Asked for the rebuilt table, only a source the reader had to rebuild gets
// an update with no page in it: the table, after which the file reads
// without repair, with the same pages.
TEST_F(IncrementalWriterTest, TheRebuiltTableAloneIsAppendedOnlyToARepairedSourceAndOnlyWhenAsked) {
    const Bytes sound = testing::simpleDocument(2);
    const Bytes cut = sound.substr(0, sound.rfind("xref"));
    const struct {
        const char* name;
        const Bytes& source;
        bool asked;
        bool appends;
    } cases[] = {
        {"sound, asked", sound, true, false},
        {"cut before its table, asked", cut, true, true},
        {"cut before its table, not asked", cut, false, false},
    };
    for (const auto& c : cases) {
        writeSource(c.source);
        const IncrementalWriteResult result =
            IncrementalWriter::appendUpdate(in, out, {.writeRebuiltTable = c.asked});
        EXPECT_EQ(result.bytesAppended > 0, c.appends) << c.name;
        EXPECT_EQ(result.pagesUpdated, 0) << c.name;
        EXPECT_TRUE(readFile(out).starts_with(c.source)) << c.name;
        PDFFileReader written(out);
        EXPECT_EQ(written.wasRepaired(), c.source == cut && !c.appends) << c.name;
        EXPECT_EQ(written.pageRefs().size(), 2u) << c.name;
    }
}

TEST_F(IncrementalWriterTest, RefusesObjectNumbersNoReaderWouldTake) {
    Bytes base = WriterSource().build();
    // The same source claiming almost the largest object count readers accept.
    const std::string size = "/Size 20";
    base.replace(base.rfind(size), size.size(), "/Size 9999999");
    testing::writeFile(in, base);
    EXPECT_EQ(errorOf([&] { IncrementalWriter::appendUpdate(in, out, oneInk()); }),
              "unsupported: object number 10000000: files may hold at most 10000000 objects");
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace quillet
