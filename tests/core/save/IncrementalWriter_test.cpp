// The incremental writer on small hand-made sources, where every object
// number and offset of the update is known.
#include "core/save/IncrementalWriter.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "SaveTestItems.h"
#include "WriterSource.h"
#include "core/pdf/FileAccessError.h"
#include "core/pdf/PDFWriter.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::arrowItem;
using testing::errorOf;
using testing::inkItem;
using testing::itemsOnPage;
using testing::noteItem;
using testing::readFile;
using testing::refs;
using testing::TempDir;
using testing::textItem;
using testing::WriterSource;

class IncrementalWriterTest : public ::testing::Test {
  protected:
    // Writes the source and runs one update of it into "out.pdf".
    IncrementalWriteResult update(const Bytes& bytes, const PageItemMap& pages, int64_t pageCount = 1,
                                  bool expandNotes = false) {
        source = bytes;
        testing::writeFile(in, source);
        return IncrementalWriter::appendUpdate(in, out, pageCount, pages, {}, {}, expandNotes);
    }
    // What the update appended.
    Bytes tail() const { return readFile(out).substr(source.size()); }
    // The page dictionary as the output's newest revision has it.
    PDFDictionary pageOfOutput(int index = 0) const {
        PDFFileReader reader(out);
        return *reader.resolve(PDFValue::ref(reader.pageRefs().at(static_cast<size_t>(index)))).dictValue();
    }
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

TEST_F(IncrementalWriterTest, EmptyPageMapLeavesAByteIdenticalCopy) {
    IncrementalWriteResult result = update(WriterSource(2).build(), {}, 2);
    EXPECT_EQ(result, IncrementalWriteResult{});
    EXPECT_FALSE(result.pageRefs);
    EXPECT_EQ(readFile(out), source);
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

TEST_F(IncrementalWriterTest, NewItemWritesAppearanceAnnotationAndPageInThatOrder) {
    WriterSource fixture;
    AnnotationItem ink = inkItem(1, {{10, 10}, {90, 90}});

    IncrementalWriteResult result = update(fixture.build(), {{0, {ink}}});

    auto output = AnnotationSerializer::serialize(ink, PDFRef{4, 0}, PDFRef{21, 0}, std::nullopt,
                                                  ItemCodec::encode(ink), false);
    Bytes objects;
    PDFWriter::writeStream(21, 0, output.appearance.dict, output.appearance.data, objects);
    const auto annotationAt = static_cast<int64_t>(objects.size());
    PDFWriter::writeObject(20, 0, PDFValue::dict(output.annotation), objects);
    const auto pageAt = static_cast<int64_t>(objects.size());
    objects += kPageWithOneAnnotation;
    const auto base = static_cast<int64_t>(source.size()) + 1;
    const std::string subsections =
        "4 1\n" + entry(base + pageAt) + "20 2\n" + entry(base + annotationAt) + entry(base);
    EXPECT_EQ(tail(), "\n" + objects +
                          tableTail(subsections, fixture.startXref(), 22,
                                    base + static_cast<int64_t>(objects.size())));
    EXPECT_EQ(result.annotationsWritten, 1);
    EXPECT_EQ(itemsOnPage(out, 0), std::vector{ink});
}

TEST_F(IncrementalWriterTest, NumbersNewObjectsDenselyFromTheTrailerSize) {
    for (bool xrefStream : {false, true}) {
        SCOPED_TRACE(xrefStream ? "stream" : "table");
        WriterSource fixture;
        fixture.setSize(40);
        AnnotationItem text = textItem(1, {100, 700}, "Hello");
        AnnotationItem note = noteItem(2, {300, 500}, "A note");

        IncrementalWriteResult result = update(fixture.build(xrefStream), {{0, {text, note}}});

        EXPECT_EQ(result.annotationsWritten, 2);
        PDFFileReader reader(out);
        EXPECT_EQ(reader.size(), xrefStream ? 46 : 45);
        EXPECT_EQ(reader.newestSectionIsStream(), xrefStream);
        EXPECT_EQ(*reader.trailer().find("Size"), PDFValue::integer(xrefStream ? 46 : 45));
        EXPECT_EQ(testing::annotationsOfPage(reader, 0),
                  std::vector({PDFValue::ref(40, 0), PDFValue::ref(42, 0), PDFValue::ref(44, 0)}));
        auto entry = [&](int64_t num, const char* key) {
            return *reader.resolve(PDFValue::ref(num, 0)).dictValue()->find(key);
        };
        EXPECT_EQ(entry(40, "AP"), PDFValue::dict({{"N", PDFValue::ref(41, 0)}}));
        EXPECT_EQ(entry(42, "Popup"), PDFValue::ref(44, 0));
        EXPECT_EQ(entry(44, "Parent"), PDFValue::ref(42, 0));
        EXPECT_TRUE(reader.object(41)->isStream() && reader.object(43)->isStream());
        EXPECT_EQ(tail().find("/W [1 4 2]") != Bytes::npos, xrefStream);
    }
}

TEST_F(IncrementalWriterTest, SavingTheSameItemsAgainAppendsNothing) {
    PageItemMap pages{{0, {inkItem(1, {{10, 10}, {50, 60}}), noteItem(2, {200, 300}, "n")}},
                      {1, {textItem(3, {100, 700}, "t"), arrowItem(4, {10, 10}, {90, 90}, "label")}}};
    update(WriterSource(2).build(), pages, 2);
    const Bytes first = readFile(out);
    const auto again = dir.file("again.pdf");

    IncrementalWriteResult result = IncrementalWriter::appendUpdate(out, again, 2, pages);

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

TEST_F(IncrementalWriterTest, ExpandedNotesAreNeverReusedAndGetNoPopup) {
    WriterSource fixture;
    AnnotationItem note = noteItem(1, {200, 300}, "n");
    PDFRef noteRef = fixture.addItem(note, 0);
    fixture.setAnnots(0, refs({noteRef, {noteRef.num + 2, 0}}));

    IncrementalWriteResult result = update(fixture.build(), {{0, {note}}}, 1, true);

    EXPECT_EQ(result.annotationsWritten, 1);
    EXPECT_EQ(result.annotationsReused, 0);
    EXPECT_EQ(annotsOfOutput(), refs({{23, 0}}));
    PDFFileReader reader(out);
    EXPECT_TRUE(reader.resolve(PDFValue::ref(23, 0)).dictValue()->find("Subtype")->isName("Stamp"));
    EXPECT_EQ(reader.size(), 25);
}

TEST_F(IncrementalWriterTest, TheFirstOfTwoAnnotationsWithOneIdentifierWins) {
    WriterSource fixture;
    AnnotationItem ink = inkItem(1, {{10, 10}, {50, 50}});
    PDFRef firstRef = fixture.addItem(ink, 0);
    PDFRef copyRef = fixture.addItem(ink, 0);
    fixture.setAnnots(0, refs({firstRef, copyRef}));

    IncrementalWriteResult result = update(fixture.build(), {{0, {ink}}});

    EXPECT_EQ(result.annotationsReused, 1);
    EXPECT_EQ(result.pagesUpdated, 1);
    EXPECT_EQ(annotsOfOutput(), refs({firstRef}));
}

TEST_F(IncrementalWriterTest, EmptyListRemovesAnnotsWhenNothingForeignRemains) {
    WriterSource fixture;
    PDFRef ours = fixture.addItem(inkItem(1, {{10, 10}, {50, 50}}), 0);
    fixture.setAnnots(0, refs({ours}));

    IncrementalWriteResult result = update(fixture.build(), {{0, {}}});

    EXPECT_EQ(result.pagesUpdated, 1);
    EXPECT_FALSE(pageOfOutput().contains("Annots"));
}

TEST_F(IncrementalWriterTest, IndirectAnnotsArrayIsReplacedByADirectOneAndLeftAlone) {
    WriterSource fixture;
    PDFRef foreign = fixture.addForeign();
    PDFRef array = fixture.addObject(refs({foreign}));
    fixture.setAnnots(0, PDFValue::ref(array));
    AnnotationItem ink = inkItem(1, {{10, 10}, {50, 50}});

    update(fixture.build(), {{0, {ink}}});
    EXPECT_EQ(*pageOfOutput().find("Annots"), refs({foreign, {22, 0}}));
    EXPECT_EQ(*PDFFileReader(out).object(array.num)->value(), refs({foreign}));

    // Unchanged, the indirect array compares equal element by element.
    WriterSource again;
    PDFRef ours = again.addItem(ink, 0);
    PDFRef ourArray = again.addObject(refs({ours}));
    again.setAnnots(0, PDFValue::ref(ourArray));
    EXPECT_EQ(update(again.build(), {{0, {ink}}}).bytesAppended, 0);
}

TEST_F(IncrementalWriterTest, DamagedExistingAnnotationsAreKeptAsForeign) {
    WriterSource fixture;
    PDFRef badPayload = fixture.addObject(PDFValue::dict(
        {{"Subtype", PDFValue::name("Ink")}, {"QuilletItem", PDFValue::string("QLT1:bm90IHpsaWI=")}}));
    PDFRef notADict = fixture.addObject(PDFValue::integer(5));
    PDFRef orphanPopup = fixture.addObject(
        PDFValue::dict({{"Subtype", PDFValue::name("Popup")}, {"Parent", PDFValue::ref(98, 0)}}));
    PDFValue entries = refs({badPayload, notADict, orphanPopup, {97, 0}});
    fixture.setAnnots(0, entries);

    update(fixture.build(), {{0, {inkItem(1, {{10, 10}, {50, 50}})}}});

    PDFArray expected = *entries.arrayValue();
    expected.push_back(PDFValue::ref(23, 0));
    EXPECT_EQ(annotsOfOutput(), PDFValue::array(expected));
}

TEST_F(IncrementalWriterTest, CachedPageReferencesReplaceThePageTreeWalk) {
    testing::writeFile(in, WriterSource(2).build());
    AnnotationItem ink = inkItem(1, {{10, 10}, {50, 50}});
    std::vector<PDFRef> swapped{WriterSource::page(1), WriterSource::page(0)};

    IncrementalWriteResult result = IncrementalWriter::appendUpdate(in, out, 2, {{0, {ink}}}, swapped);

    EXPECT_EQ(result.pageRefs, swapped);
    EXPECT_EQ(itemsOnPage(out, 1), std::vector{ink});
    EXPECT_TRUE(itemsOnPage(out, 0).empty());
}

TEST_F(IncrementalWriterTest, PageKeepsItsGenerationWhenRewritten) {
    WriterSource fixture;
    fixture.setGeneration(0, 3);
    update(fixture.build(), {{0, {inkItem(1, {{10, 10}, {50, 50}})}}});
    EXPECT_NE(tail().find("\n4 3 obj\n"), Bytes::npos);
    EXPECT_NE(tail().find(" 00003 n\r\n"), Bytes::npos);
}

// ---- failures ----

TEST_F(IncrementalWriterTest, RefusesAMapThatDoesNotFitTheDocumentBeforeCreatingTheDestination) {
    testing::writeFile(in, WriterSource(2).build());
    const PageItemMap one{{0, {}}};
    auto run = [&](int64_t count, const PageItemMap& pages, std::optional<std::vector<PDFRef>> cached = {}) {
        return errorOf([&] { IncrementalWriter::appendUpdate(in, out, count, pages, cached); });
    };
    EXPECT_EQ(run(3, one), "page count mismatch: expected 3, found 2");
    EXPECT_EQ(run(2, {{2, {}}}), "page index 2 out of range");
    EXPECT_EQ(run(2, {{-1, {}}}), "page index -1 out of range");
    EXPECT_EQ(run(1, one, std::vector<PDFRef>{{5, 0}}), "page 0 is not a dictionary");  // a stream
    EXPECT_EQ(run(1, one, std::vector<PDFRef>{{1, 0}, {77, 0}}), "page count mismatch: expected 1, found 2");
    EXPECT_EQ(run(2, {{1, {}}}, std::vector<PDFRef>{{4, 0}, {77, 0}}), "page 1 is not a dictionary");
    EXPECT_EQ(run(1, one, std::vector<PDFRef>{{4, 70000}}), "unsupported: generation number 70000");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(IncrementalWriterTest, RefusesToCloneAFileOntoItself) {
    source = WriterSource().build();
    testing::writeFile(in, source);
    const PageItemMap pages{{0, {inkItem(1, {{10, 10}, {50, 50}})}}};
    EXPECT_EQ(errorOf([&] { IncrementalWriter::appendUpdate(in, in, 1, pages); }),
              "I/O error: destination is the source file: " + in.string());
    std::filesystem::create_hard_link(in, out);
    EXPECT_EQ(errorOf([&] { IncrementalWriter::appendUpdate(in, out, 1, pages); }),
              "I/O error: destination is the source file: " + out.string());
    EXPECT_EQ(readFile(in), source);

    // A symbolic link at the destination is replaced, never followed.
    std::filesystem::remove(out);
    std::filesystem::create_symlink(in, out);
    IncrementalWriter::appendUpdate(in, out, 1, pages);
    EXPECT_FALSE(std::filesystem::is_symlink(out));
    EXPECT_EQ(readFile(in), source);
}

TEST_F(IncrementalWriterTest, FailedAppendIsAnIOErrorAndLeavesTheClone) {
    source = WriterSource().build();
    testing::writeFile(in, source);
    FileClonerCalls calls = FileClonerCalls::system();
    calls.fsync = [](int) { return (errno = EIO, -1); };
    const std::string text = errorOf([&] {
        IncrementalWriter::appendUpdate(in, out, 1, {{0, {inkItem(1, {{10, 10}, {50, 50}})}}}, {}, {}, false,
                                        calls);
    });
    EXPECT_TRUE(text.starts_with("I/O error: ")) << text;
    EXPECT_NE(text.find(out.string()), std::string::npos) << text;
    EXPECT_TRUE(readFile(out).starts_with(source));
}

TEST_F(IncrementalWriterTest, PassesReaderErrorsThrough) {
    testing::writeFile(in, "%PDF-1.7\nnot a pdf at all\n");
    EXPECT_THROW(IncrementalWriter::appendUpdate(in, out, 1, {}), PDFReaderError);
    EXPECT_THROW(IncrementalWriter::appendUpdate(dir.file("missing.pdf"), out, 1, {}), FileAccessError);
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace quillet
