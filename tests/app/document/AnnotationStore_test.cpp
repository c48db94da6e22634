// The annotation store: lazy loading, changes, generations, drafts and the
// refusal to treat a page it could not read as empty; its undo steps, and
// the user's unsaved edits applied on top of another program's version.
#include "app/document/AnnotationStore.h"

#include <gtest/gtest.h>

#include <QUndoStack>
#include <memory>

#include "app/document/FilePageItemSource.h"
#include "app/document/StoreCommand.h"
#include "app/document/StoreTestSupport.h"
#include "app/document/UnsavedChanges.h"
#include "core/markup/AnnotationSerializer.h"
#include "core/save/SaveTestItems.h"
#include "core/save/WriterSource.h"
#include "support/TempDir.h"

namespace quillet {
namespace {

using testing::FakePageSource;
using testing::inkItem;
using testing::itemId;
using testing::noteItem;

std::vector<UUID> idsOf(const std::vector<AnnotationItem>& items) {
    std::vector<UUID> ids;
    for (const AnnotationItem& item : items) ids.push_back(item.id);
    return ids;
}

AnnotationItem pen(int n) {
    return inkItem(n, {{10.0 * n, 10}, {10.0 * n + 5, 20}});
}

struct StoreFixture : ::testing::Test {
    std::shared_ptr<FakePageSource> source = std::make_shared<FakePageSource>();
    std::unique_ptr<AnnotationStore> store;
    std::vector<std::set<int>> changes;
    int draftChanges = 0;

    AnnotationStore& open(int pageCount = 8) {
        store = std::make_unique<AnnotationStore>(pageCount, source);
        store->setOnChange([this](const std::set<int>& pages) { changes.push_back(pages); });
        store->setOnDraftChange([this] { ++draftChanges; });
        return *store;
    }

    // Pens 1 to 3 on page 0, loaded, as the undo steps find them.
    AnnotationStore& openThreePens() {
        for (int n = 1; n <= 3; ++n) source->add(0, pen(n));
        AnnotationStore& s = open(2);
        EXPECT_TRUE(s.loadPage(0));
        return s;
    }
};

TEST_F(StoreFixture, LoadsEachPageOnceWhenFirstNeeded) {
    source->add(1, pen(1));
    AnnotationStore& s = open();
    EXPECT_TRUE(source->reads.empty());
    EXPECT_EQ(idsOf(s.itemsOnPage(1)), std::vector<UUID>{itemId(1)});
    EXPECT_TRUE(s.loadPage(1));
    EXPECT_EQ(source->reads[1], 1);
    EXPECT_EQ(s.pageOf(itemId(1)), 1);
    EXPECT_FALSE(s.loadPage(8));  // out of range: nothing read
    EXPECT_FALSE(s.loadPage(-1));
    EXPECT_FALSE(source->reads.contains(8));
    EXPECT_EQ(s.generation(), 0);  // loading is not a change
    EXPECT_TRUE(s.touchedPages().empty());
}

TEST_F(StoreFixture, CopiesOfOneItemBecomeItemsOfTheirOwn) {
    source->add(0, pen(1));
    source->add(0, pen(1));
    source->add(2, pen(1));
    AnnotationStore& s = open();
    std::vector<UUID> page0 = idsOf(s.itemsOnPage(0));
    std::vector<UUID> page2 = idsOf(s.itemsOnPage(2));
    ASSERT_EQ(page0.size(), 2u);
    EXPECT_EQ(page0[0], itemId(1));
    EXPECT_NE(page0[1], itemId(1));
    ASSERT_EQ(page2.size(), 1u);
    EXPECT_NE(page2[0], itemId(1));
    EXPECT_NE(page2[0], page0[1]);
    EXPECT_EQ(s.pageOf(page2[0]), 2);
    EXPECT_NE(s.annotation(page2[0]), nullptr);
    // The file's copies are all hidden from the page renderer.
    EXPECT_EQ(s.storedAnnotationKeys(0).size(), 2u);
}

TEST_F(StoreFixture, NoteTextEditedElsewhereIsTakenWithPlainLineBreaks) {
    source->add(0, noteItem(1, {100, 100}, "old"), "first\r\nsecond\rthird");
    source->add(0, noteItem(2, {200, 100}, "same"), "same");
    source->add(0, pen(3), "a pen's contents are ignored");
    AnnotationStore& s = open();
    const std::vector<AnnotationItem>& items = s.itemsOnPage(0);
    EXPECT_EQ(items[0].shape.note()->spec.text, "first\nsecond\nthird");
    EXPECT_EQ(items[1].shape.note()->spec.text, "same");
    EXPECT_EQ(items[2], pen(3));
}

TEST_F(StoreFixture, InsertionsClampTheirIndexAndCountGenerations) {
    source->add(3, pen(1));
    AnnotationStore& s = open();
    EXPECT_TRUE(s.apply(StoreChange::insert(pen(2), 3, 99)));
    EXPECT_TRUE(s.apply(StoreChange::insert(pen(3), 3, -4)));
    EXPECT_EQ(idsOf(s.itemsOnPage(3)), (std::vector<UUID>{itemId(3), itemId(1), itemId(2)}));
    EXPECT_EQ(s.locate(itemId(2)), (AnnotationStore::LocatedItem{pen(2), 3, 2}));
    EXPECT_EQ(s.generation(), 2);
    EXPECT_EQ(s.touchedPages(), std::set<int>{3});
    // An identifier the store holds already is not inserted twice.
    EXPECT_FALSE(s.apply(StoreChange::insert(pen(1), 4, 0)));
    EXPECT_EQ(s.pageOf(itemId(1)), 3);
    EXPECT_TRUE(s.itemsOnPage(4).empty());
    // Drawing objects follow the list order.
    std::vector<const ItemAnnotation*> views = s.annotationsOnPage(3);
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0]->id(), itemId(3));
}

TEST_F(StoreFixture, ABatchNotifiesOnceWithEveryPageItTouched) {
    source->add(5, pen(1));
    AnnotationStore& s = open();
    s.loadPage(5);
    AnnotationItem moved = pen(1);
    moved.lineWidth = 9;
    s.apply(StoreChange::batch({StoreChange::insert(pen(2), 2, 0), StoreChange::remove({itemId(1)}),
                                StoreChange::batch({}), StoreChange::replace({})}));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], (std::set<int>{2, 5}));
    EXPECT_FALSE(s.locate(itemId(1)));
    EXPECT_EQ(s.annotation(itemId(1)), nullptr);

    s.apply(StoreChange::batch({}));
    EXPECT_TRUE(StoreChange::batch({StoreChange::batch({}), StoreChange::remove({})}).isEmpty());
    EXPECT_EQ(changes.size(), 1u);
    // Removing or replacing what the store does not hold changes nothing.
    EXPECT_FALSE(s.apply(StoreChange::replace({moved})));
    EXPECT_FALSE(s.apply(StoreChange::remove({itemId(7)})));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_EQ(s.generation(), 2);
}

TEST_F(StoreFixture, ReplacingPagesKeepsItemsThatLiveElsewhereOnTheirPage) {
    source->add(0, pen(1));
    source->add(1, pen(2));
    AnnotationStore& s = open();
    s.loadPage(0);
    s.replacePages({{1, {pen(1), pen(3), pen(2), pen(3)}}, {42, {pen(4)}}});
    EXPECT_EQ(idsOf(s.itemsOnPage(1)), (std::vector<UUID>{itemId(3), itemId(2)}));
    EXPECT_EQ(s.pageOf(itemId(1)), 0);
    EXPECT_EQ(s.pageOf(itemId(4)), std::nullopt);
    EXPECT_EQ(s.touchedPages(), std::set<int>{1});
    EXPECT_EQ(s.generation(), 1);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], std::set<int>{1});
}

TEST_F(StoreFixture, TheDraftCountsOnceAndShowsInSnapshots) {
    source->add(0, pen(1));
    AnnotationStore& s = open();
    AnnotationItem edited = pen(1);
    edited.lineWidth = 12;
    EXPECT_TRUE(s.setDraft(edited, 0));
    EXPECT_TRUE(s.setDraft(edited, 0));
    EXPECT_EQ(s.generation(), 1);
    EXPECT_EQ(draftChanges, 1);
    // An edited item's draft stands in its place.
    StoreSnapshot snap = s.snapshot();
    EXPECT_EQ(snap.pages.at(0), std::vector<AnnotationItem>{edited});
    EXPECT_EQ(snap.generation, 1);

    // A new item being drawn is appended to its page.
    s.setDraft(pen(2), 0);
    EXPECT_EQ(idsOf(s.snapshot().pages.at(0)), (std::vector<UUID>{itemId(1), itemId(2)}));
    EXPECT_EQ(s.itemsOnPage(0), std::vector<AnnotationItem>{pen(1)});  // not committed

    s.setDraft(std::nullopt, 0);
    s.setDraft(std::nullopt, 0);
    EXPECT_EQ(s.generation(), 3);
    EXPECT_EQ(draftChanges, 3);
    EXPECT_FALSE(s.draft());
    // The touched page stays in every later snapshot.
    EXPECT_EQ(s.snapshot().pages.at(0), std::vector<AnnotationItem>{pen(1)});
}

TEST_F(StoreFixture, APageThatCannotBeReadIsNeverTakenAsEmpty) {
    source->add(2, pen(1));
    source->unreadable[2] = true;
    AnnotationStore& s = open();
    EXPECT_FALSE(s.isReadOnly());
    EXPECT_TRUE(s.itemsOnPage(2).empty());
    EXPECT_FALSE(s.isPageLoaded(2));
    EXPECT_TRUE(s.isReadOnly());
    EXPECT_EQ(s.unreadablePages(), std::set<int>{2});
    EXPECT_EQ(s.readFailureText(), "page damaged");
    EXPECT_FALSE(s.isPageWritable(2));
    EXPECT_TRUE(s.isPageWritable(3));

    EXPECT_FALSE(
        s.apply(StoreChange::batch({StoreChange::insert(pen(2), 2, 0), StoreChange::insert(pen(3), 3, 0)})));
    EXPECT_FALSE(s.setDraft(pen(4), 2));
    s.replacePages({{2, {pen(5)}}});
    StoreSnapshot snap = s.snapshot();
    EXPECT_FALSE(snap.pages.contains(2));
    EXPECT_EQ(idsOf(snap.pages.at(3)), std::vector<UUID>{itemId(3)});
    EXPECT_EQ(s.touchedPages(), std::set<int>{3});

    // Once the file reads (unlocked), the page's items come back.
    source->unreadable.clear();
    s.setSource(source);
    EXPECT_FALSE(s.isReadOnly());
    EXPECT_EQ(idsOf(s.itemsOnPage(2)), std::vector<UUID>{itemId(1)});
}

TEST_F(StoreFixture, HiddenItemsAreKeptButNotDisplayed) {
    source->add(0, pen(1));
    AnnotationStore& s = open();
    s.loadPage(0);
    std::vector<std::set<int>> displays;
    int token = s.observeDisplay([&](const std::set<int>& pages) { displays.push_back(pages); });
    s.setHidden(itemId(1), true);
    s.setHidden(itemId(1), true);
    s.setHidden(itemId(2), true);  // not stored yet
    EXPECT_FALSE(s.annotation(itemId(1))->isDisplayed());
    s.apply(StoreChange::insert(pen(2), 0, 1));
    EXPECT_FALSE(s.annotation(itemId(2))->isDisplayed());
    s.setHidden(itemId(1), false);
    EXPECT_TRUE(s.annotation(itemId(1))->isDisplayed());
    EXPECT_EQ(displays, (std::vector<std::set<int>>{{0}, {0}}));
    EXPECT_EQ(s.generation(), 1);  // hiding is not a change
    s.removeObserver(token);
    s.setHidden(itemId(2), false);
    EXPECT_EQ(displays.size(), 2u);
}

TEST_F(StoreFixture, OnlyAChangedItemBuildsItsAppearanceAgain) {
    for (int n = 1; n <= 3; ++n) source->add(0, pen(n));
    AnnotationStore& s = open();
    auto drawAll = [&] {
        for (const ItemAnnotation* a : s.annotationsOnPage(0)) a->appearance(true);
    };
    drawAll();
    int64_t before = ItemAnnotation::appearanceBuildCount();
    drawAll();
    EXPECT_EQ(ItemAnnotation::appearanceBuildCount(), before);
    AnnotationItem wider = pen(2);
    wider.lineWidth = 10;
    s.apply(StoreChange::replace({wider}));
    drawAll();
    EXPECT_EQ(ItemAnnotation::appearanceBuildCount(), before + 1);
    EXPECT_EQ(s.annotation(itemId(2))->item(), wider);
}

TEST(ItemAnnotation, ANoteShrinksToItsIconWhileCommentTextIsHidden) {
    ItemAnnotation note(testing::noteItem(1, {100, 300}, "A comment long enough to need a bubble"));
    Rect shown = note.bounds(true);
    Rect hidden = note.bounds(false);
    EXPECT_TRUE(shown.contains(hidden));
    EXPECT_LT(hidden.width * hidden.height, shown.width * shown.height);
    EXPECT_LE(hidden.width, 24);
    ItemAnnotation ink(pen(2));
    EXPECT_EQ(ink.bounds(true), ink.bounds(false));
    EXPECT_TRUE(ItemCodec::isPayload(ink.payload()));
}

// A file whose page 0 lists the given annotation dictionaries (each its own
// object) and whose page 1 has a damaged /Annots.
std::filesystem::path writeFile(const testing::TempDir& dir, const std::vector<PDFDictionary>& annotations) {
    testing::WriterSource pdf(2);
    PDFArray annots;
    for (const PDFDictionary& annotation : annotations)
        annots.push_back(PDFValue::ref(pdf.addObject(PDFValue::dict(annotation))));
    pdf.setAnnots(0, PDFValue::array(annots));
    pdf.setAnnots(1, PDFValue::integer(7));
    std::filesystem::path file = dir.file("items.pdf");
    testing::writeFile(file, pdf.build());
    return file;
}

PDFDictionary annotationOf(const AnnotationItem& item) {
    return AnnotationSerializer::serialize(item, std::nullopt, PDFRef{99, 0}, std::nullopt, std::nullopt,
                                           false)
        .annotation;
}

TEST(FilePageItemSource, ReadsItemsWithTheirKeysAndLeavesForeignAnnotations) {
    testing::TempDir dir;
    PDFDictionary withoutName = annotationOf(pen(2));
    withoutName.set("NM", std::nullopt);
    PDFDictionary edited = annotationOf(noteItem(3, {50, 50}, "x"));
    edited.set("Contents", PDFValue::text("Привет\r\nworld"));
    PDFDictionary foreign{{"Type", PDFValue::name("Annot")}, {"Subtype", PDFValue::name("Square")}};
    std::filesystem::path file = writeFile(dir, {annotationOf(pen(1)), foreign, withoutName, edited});

    AnnotationStore store(2, std::make_shared<FilePageItemSource>(file, std::nullopt));
    EXPECT_EQ(idsOf(store.itemsOnPage(0)), (std::vector<UUID>{itemId(1), itemId(2), itemId(3)}));
    EXPECT_EQ(store.itemsOnPage(0)[2].shape.note()->spec.text, "Привет\nworld");
    std::vector<AnnotationKey> keys = store.storedAnnotationKeys(0);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].name, *annotationOf(pen(1)).find("NM")->stringBytes());
    EXPECT_EQ(keys[0].subtype, "Ink");
    EXPECT_FALSE(keys[1].name);
    EXPECT_FALSE(keys[1].rect.isNull());
    EXPECT_EQ(keys[2].subtype, "Text");
    // A page whose /Annots is not an array is unreadable, not empty.
    EXPECT_FALSE(store.loadPage(1));
    EXPECT_TRUE(store.isReadOnly());
}

// A page read in part would lose its undecoded items at the next save, so a
// page whose payloads pass the bound is unreadable rather than short.
TEST(FilePageItemSource, APageWhosePayloadsPassTheBoundIsUnreadable) {
    testing::TempDir dir;
    std::filesystem::path file = writeFile(dir, {annotationOf(pen(1)), annotationOf(pen(2))});
    EXPECT_EQ(FilePageItemSource(file, std::nullopt).readPage(0)->size(), 2u);
    AnnotationStore store(2, std::make_shared<FilePageItemSource>(file, std::nullopt, nullptr, 1));
    EXPECT_FALSE(store.loadPage(0));
    EXPECT_TRUE(store.isReadOnly());
}

TEST(FilePageItemSource, ALockedFileReadsNothingUntilItsPasswordIsGiven) {
    if (!testing::qpdfAvailable()) GTEST_SKIP() << "qpdf not installed";
    testing::TempDir dir;
    std::filesystem::path plain = writeFile(dir, {annotationOf(pen(1))});
    std::filesystem::path locked = dir.file("locked.pdf");
    ASSERT_EQ(
        testing::runQpdf({"--encrypt", "user", "owner", "256", "--", plain.string(), locked.string()}).status,
        0);

    AnnotationStore store(2, std::make_shared<FilePageItemSource>(locked, std::nullopt));
    EXPECT_FALSE(store.loadPage(0));
    EXPECT_TRUE(store.isReadOnly());
    EXPECT_FALSE(store.readFailureText().empty());
    store.setSource(std::make_shared<FilePageItemSource>(locked, "user"));
    EXPECT_EQ(idsOf(store.itemsOnPage(0)), std::vector<UUID>{itemId(1)});
    EXPECT_FALSE(store.isReadOnly());
}

TEST(FilePageItemSource, PassesOnTheReadersRepairsOnceWhenTheFileIsFirstRead) {
    testing::TempDir dir;
    std::filesystem::path file = writeFile(dir, {annotationOf(pen(1))});
    std::string bytes = testing::readFile(file);
    const size_t table = bytes.rfind("\nxref\n") + 1;
    testing::writeFile(file, bytes.substr(0, bytes.rfind("startxref")) + "startxref\n" +
                                 std::to_string(table + 9) + "\n%%EOF\n");
    std::vector<std::string> logged;
    AnnotationStore store(
        2, std::make_shared<FilePageItemSource>(file, std::nullopt,
                                                [&](const ReaderWarning& w) { logged.push_back(w.text); }));
    EXPECT_EQ(idsOf(store.itemsOnPage(0)), std::vector<UUID>{itemId(1)});
    store.loadPage(1);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0], "cross-reference section expected at " + std::to_string(table + 9) + " found at " +
                             std::to_string(table));
}

TEST(FilePageItemSource, DecodesPDFTextStrings) {
    EXPECT_EQ(FilePageItemSource::decodeTextString("plain"), "plain");
    EXPECT_EQ(FilePageItemSource::decodeTextString(std::string("\xFE\xFF\x00\x41\xD8\x3D\xDE\x00", 8)), "A😀");
    EXPECT_EQ(FilePageItemSource::decodeTextString("\xEF\xBB\xBFok"), "ok");
    EXPECT_EQ(FilePageItemSource::decodeTextString("\x80\xE9"), "•é");
}

TEST_F(StoreFixture, ChangesRecordedOneAfterAnotherUndoLastFirstBackToTheirPlaces) {
    AnnotationStore& store = openThreePens();
    QUndoStack stack;
    // An eraser gesture: item 2 goes, then item 1, each while the other is gone.
    AppliedChanges applied;
    applied.apply(store, StoreChange::remove({pen(2).id}));
    applied.apply(store, StoreChange::remove({pen(1).id}));
    StoreCommand::record(stack, store, QStringLiteral("Erase"), applied);
    ASSERT_EQ(idsOf(store.itemsOnPage(0)), std::vector<UUID>{pen(3).id}) << "recording applies nothing again";

    stack.undo();
    EXPECT_EQ(idsOf(store.itemsOnPage(0)), (std::vector<UUID>{pen(1).id, pen(2).id, pen(3).id}));
    stack.redo();
    EXPECT_EQ(idsOf(store.itemsOnPage(0)), std::vector<UUID>{pen(3).id});
}

TEST_F(StoreFixture, AStyleVisitIsOneStepAndOneThatEndsWhereItBeganLeavesNone) {
    AnnotationStore& store = openThreePens();
    QUndoStack stack;
    AnnotationItem blue = pen(2);
    blue.color = {0, 0, 1, 1};
    blue.modified += std::chrono::seconds(5);
    AnnotationItem green = blue;
    green.color = {0, 1, 0, 1};
    const QString name = QStringLiteral("Change Style");

    StoreCommand::push(stack, store, name, StoreChange::replace({blue}), 7);
    StoreCommand::push(stack, store, name, StoreChange::replace({green}), 7);
    ASSERT_EQ(stack.count(), 1);
    EXPECT_EQ(store.locate(pen(2).id)->item, green);
    stack.undo();
    EXPECT_EQ(store.locate(pen(2).id)->item, pen(2));
    stack.redo();
    EXPECT_EQ(store.locate(pen(2).id)->item, green);

    // Another visit, back to green's colour with a later time: nothing left to undo.
    AnnotationItem red = green;
    red.color = {1, 0, 0, 1};
    AnnotationItem greenAgain = green;
    greenAgain.modified += std::chrono::seconds(5);
    StoreCommand::push(stack, store, name, StoreChange::replace({red}), 8);
    StoreCommand::push(stack, store, name, StoreChange::replace({greenAgain}), 8);
    EXPECT_EQ(stack.count(), 1);
    EXPECT_EQ(store.locate(pen(2).id)->item, green) << "the item as it was, its time too";

    // A step under another key, or none, does not join.
    StoreCommand::push(stack, store, name, StoreChange::replace({red}), 9);
    StoreCommand::push(stack, store, name, StoreChange::remove({pen(1).id}));
    EXPECT_EQ(stack.count(), 3);
}

// Item n drawn elsewhere than pen(n).
AnnotationItem moved(int n) {
    return inkItem(n, {{300, 300}, {320, 340}});
}
using Pages = UnsavedChanges::Pages;

TEST(UnsavedChanges, NamesAddedChangedMovedAndRemovedItemsById) {
    const AnnotationItem kept = pen(1);
    const AnnotationItem toOtherPage = pen(3);
    const AnnotationItem gone = pen(4);
    const AnnotationItem fresh = pen(5);
    const Pages baseline{{0, {kept, pen(2), toOtherPage, gone}}};
    const Pages current{{0, {kept, moved(2), fresh}}, {1, {toOtherPage}}};

    const UnsavedChanges changes = UnsavedChanges::between(baseline, current);
    EXPECT_EQ(changes.added(), (std::vector<UnsavedChanges::Placed>{{fresh, 0}}));
    EXPECT_EQ(changes.changed(), (std::vector<UnsavedChanges::Placed>{{moved(2), 0}, {toOtherPage, 1}}));
    EXPECT_EQ(changes.removed(), std::vector<UUID>{gone.id});
    EXPECT_EQ(changes.count(), 4);
    EXPECT_TRUE(UnsavedChanges::between(current, current).empty());
}

// The other program's version: item 1 as it was, item 2 changed there, item
// 3 removed there, its own item 9 added, and only two pages.
class OtherVersion : public StoreFixture {
  protected:
    void SetUp() override {
        source->add(0, pen(1));
        source->add(0, moved(2));
        source->add(0, inkItem(9, {{50, 50}, {60, 60}}));
        open(2);
    }

    UnsavedChanges::Outcome applyOurs(const Pages& current) {
        return UnsavedChanges::between(baseline, current).applyTo(*store, baseline);
    }

    const Pages baseline{{0, {pen(1), pen(2), pen(3)}}};
};

TEST_F(OtherVersion, EditsGoOnTopAndTheOtherProgramsItemsStay) {
    // Ours: item 1 removed, item 3 removed (as there: no conflict), item 5
    // added on page 1, item 6 on page 4 (gone there); item 2 only they changed.
    const UnsavedChanges::Outcome outcome =
        applyOurs({{0, {pen(2)}}, {1, {inkItem(5, {{1, 1}, {2, 2}})}}, {4, {inkItem(6, {{1, 1}, {2, 2}})}}});

    EXPECT_EQ(idsOf(store->itemsOnPage(0)), (std::vector<UUID>{moved(2).id, inkItem(9, {}).id}));
    EXPECT_EQ(store->locate(pen(2).id)->item, moved(2)) << "only the other program changed it";
    EXPECT_EQ(idsOf(store->itemsOnPage(1)), std::vector<UUID>{inkItem(5, {}).id});
    EXPECT_EQ(outcome.setAside, (Pages{{4, {inkItem(6, {{1, 1}, {2, 2}})}}}));
    EXPECT_EQ(outcome.applied, 2);
    EXPECT_EQ(outcome.conflicts, 0) << "items only the other program changed are not ours to report";
}

TEST_F(OtherVersion, WhereBothChangedAnItemOursWinsAndIsCounted) {
    // Ours: item 2 changed (the other program changed it too), item 3 changed
    // (removed there), item 1 kept.
    const AnnotationItem ours2 = inkItem(2, {{400, 400}, {410, 410}});
    const AnnotationItem ours3 = inkItem(3, {{400, 400}, {410, 410}});
    EXPECT_EQ(applyOurs({{0, {pen(1), ours2, ours3}}}).conflicts, 2);
    EXPECT_EQ(store->locate(ours2.id)->item, ours2);
    EXPECT_EQ(store->locate(ours3.id)->item, ours3);
    EXPECT_TRUE(store->locate(inkItem(9, {}).id));
}

}  // namespace
}  // namespace quillet
